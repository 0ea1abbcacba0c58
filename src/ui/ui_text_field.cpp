// Text fields: editing the screen's buffer from the frame's keys and typed characters, and
// choosing the part of the text that is shown.
#include <cstring>

#include "input/input.h"
#include "platform/keymap.h"
#include "ui/text_layout.h"
#include "ui/ui_context.h"
#include "ui/ui_frame.h"

namespace {

uint32_t clamp_index(uint32_t v, uint32_t count) { return v > count ? count : v; }

void remove_range(UiTextBuffer* b, uint32_t from, uint32_t to) {
  memmove(b->text + from, b->text + to, (b->count - to) * sizeof(uint32_t));
  b->count -= to - from;
}

// Removes the code point before the caret; after a closing marker, the link back to its
// opening marker, or only the marker when no link opens before it.
void delete_before(UiTextBuffer* b, uint32_t* caret) {
  if (*caret == 0) return;
  uint32_t end = *caret, from = end - 1;
  if (b->text[from] == TEXT_LINK_CLOSE) {
    for (uint32_t i = from; i-- > 0;) {
      if (b->text[i] == TEXT_LINK_CLOSE) break;
      if (text_link_id(b->text[i])) {
        from = i;
        break;
      }
    }
  }
  remove_range(b, from, end);
  *caret = from;
}

void insert(UiTextBuffer* b, uint32_t* caret, uint32_t c, uint32_t id, const UiCallbacks* cb) {
  if (b->count >= b->capacity) return;
  if (cb->accept_char && !cb->accept_char(id, c, b->count + 1)) return;
  memmove(b->text + *caret + 1, b->text + *caret, (b->count - *caret) * sizeof(uint32_t));
  b->text[*caret] = c;
  b->count++;
  (*caret)++;
}

void edit(UiTextBuffer* b, uint32_t* caret, const Font* font, uint32_t id, const UiCallbacks* cb) {
  int left = key_pressed_or_repeated(KEY_LEFT), right = key_pressed_or_repeated(KEY_RIGHT);
  if (left && !right && *caret > 0) (*caret)--;
  if (right && !left && *caret < b->count) (*caret)++;
  if ((left || right) && cb->caret_set) cb->caret_set(id, *caret);
  if (key_pressed(KEY_HOME)) *caret = 0;
  if (key_pressed(KEY_END)) *caret = b->count;
  if (key_pressed_or_repeated(KEY_BACKSPACE) || key_pressed_or_repeated(KEY_DELETE)) delete_before(b, caret);
  if (key_pressed_or_repeated(KEY_SPACE)) insert(b, caret, ' ', id, cb);
  for (uint32_t c; (c = text_next_char()) != 0;) {
    if (c < 32 || c == 127 || c == ' ') continue;  // controls; the space comes with its key
    if (font && font_glyph(font, c)) insert(b, caret, c, id, cb);
  }
}

int32_t run_width(const Font* font, const uint32_t* run, uint32_t from, uint32_t to) {
  int32_t w = 0;
  for (uint32_t i = from; i < to; i++) w += text_advance(font, run[i]);
  return w;
}

}  // namespace

void ui_text_field(uint32_t id, UiTextBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t order, int32_t anchor, const UiCallbacks* callbacks) {
  // The field's background: text entries draw only their glyphs.
  ui_declare_widget(UI_KIND_BOX, 0, x, y, width, height, order, anchor, nullptr);
  UiWidget* w = ui_declare_widget(UI_KIND_TEXT_FIELD, id, x, y, width, height, order, anchor, callbacks);
  if (!w || !buffer || !buffer->text || !callbacks) return;
  if (buffer->count > buffer->capacity) buffer->count = buffer->capacity;
  const UiStyle* s = w->style;
  const Font* font = ui_style_font(s);
  uint32_t caret =
      clamp_index(callbacks->caret_get ? callbacks->caret_get(id) : buffer->count, buffer->count);
  uint32_t start =
      clamp_index(callbacks->scroll_start_get ? callbacks->scroll_start_get(id) : 0, buffer->count);
  int focused = callbacks->focused && callbacks->focused(id);
  if (focused) {
    g_ui.focus_declared = 1;
    edit(buffer, &caret, font, id, callbacks);
  }
  if (callbacks->edited) callbacks->edited(id, buffer->text, buffer->count);
  if (buffer->count > buffer->capacity) buffer->count = buffer->capacity;
  uint32_t count = buffer->count;
  caret = clamp_index(caret, count);
  start = clamp_index(start, count);
  uint32_t* shown = count ? (uint32_t*)ui_frame_alloc(count * sizeof(uint32_t)) : nullptr;
  for (uint32_t i = 0; i < count; i++)
    shown[i] = callbacks->glyph ? callbacks->glyph(id, buffer->text[i]) : buffer->text[i];
  uint32_t end = count;
  if (font) {
    if (caret < start) start = caret;
    if (run_width(font, shown, start, caret) > width)
      start = text_scroll_left(font, shown, count, caret, width);
    end = text_scroll_right(font, shown, count, start, width);
    if (focused && s->caret_width > 0 && s->caret_height > 0) {
      int32_t cx = w->x + run_width(font, shown, start, caret);
      UiWidget* box =
          ui_declare_widget(UI_KIND_BOX, 0, 0, 0, s->caret_width, s->caret_height, order + 1, 1, nullptr);
      UiStyle* caret_style = (UiStyle*)ui_frame_alloc(sizeof(UiStyle));
      if (box && caret_style) {
        *caret_style = UiStyle{};
        caret_style->fill_colour = s->text_colour;
        box->style = caret_style;
        box->image = 0;
        box->x = cx;
        box->y = w->y + (height - s->caret_height) / 2;
      }
    }
  }
  if (callbacks->caret_set) callbacks->caret_set(id, caret);
  if (callbacks->scroll_start_set) callbacks->scroll_start_set(id, start);
  w->text = font ? shown + start : nullptr;
  w->text_count = font ? end - start : 0;
}
