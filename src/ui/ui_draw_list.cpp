#include "ui/ui_draw_list.h"

#include <algorithm>
#include <cmath>

#include "assets/cache.h"
#include "assets/font.h"
#include "base/mem.h"
#include "ui/ninepatch.h"
#include "ui/text_layout.h"
#include "ui/ui_frame.h"

namespace {

UiDrawEntry* g_entries;
uint32_t g_entry_count;

constexpr UiColour WHITE = {1, 1, 1, 1};

// The last font looked up, kept for one draw-list pass only: most labels share a font, and
// nothing may hold a font across frames.
struct FontMemo {
  bool valid;
  uint32_t id;
  const Font* font;
};
FontMemo g_memo;

const Font* find_font(uint32_t id) {
  if (g_memo.valid && g_memo.id == id) return g_memo.font;
  AssetHandle handle;
  asset_request(&handle, ASSET_FONT, id);
  g_memo = FontMemo{true, id, handle.ready ? (const Font*)handle.object : nullptr};
  return g_memo.font;
}

bool before(const UiDrawEntry& a, const UiDrawEntry& b) {
  if (a.layer != b.layer) return a.layer < b.layer;
  if (a.order != b.order) return a.order < b.order;
  return a.sequence < b.sequence;
}

void collect(void) {
  g_entry_count = 0;
  for (uint32_t i = ui_frame_window_count(); i-- > 0;) {
    const UiWindow* w = ui_frame_window(i);
    if (!w->visible) continue;
    if (g_entry_count == UI_DRAW_ENTRY_LIMIT) return;
    g_entries[g_entry_count] = UiDrawEntry{w, nullptr, w->layer, 0, g_entry_count};
    g_entry_count++;
    for (const UiWidget* widget = w->first; widget; widget = widget->next) {
      if (g_entry_count == UI_DRAW_ENTRY_LIMIT) return;
      g_entries[g_entry_count] = UiDrawEntry{w, widget, w->layer, widget->order, g_entry_count};
      g_entry_count++;
    }
  }
}

struct EntryView {
  int32_t x, y, width, height;
  uint32_t image;
  const UiStyle* style;
  uint32_t state;
};

EntryView view_of(const UiDrawEntry& e) {
  if (e.widget) {
    const UiWidget* w = e.widget;
    return EntryView{w->x, w->y, w->width, w->height, w->image, w->style, w->state};
  }
  const UiWindow* w = e.window;
  return EntryView{w->x, w->y, w->width, w->height, w->image, w->style, 0};
}

bool inside_clip(const EntryView& v, const UiClip& c) {
  if (c.width <= 0 || c.height <= 0) return true;
  return (int64_t)v.x < (int64_t)c.x + c.width && (int64_t)v.x + v.width > c.x &&
         (int64_t)v.y < (int64_t)c.y + c.height && (int64_t)v.y + v.height > c.y;
}

bool image_is_ninepatch(const EntryView& v) { return v.style && (v.style->flags & UI_STYLE_NINEPATCH); }

void draw_image(const EntryView& v, float x, float y, float width, float height, const UiColour* colour) {
  if (image_is_ninepatch(v)) {
    ui_draw_ninepatch(x, y, width, height, v.image, colour);
    return;
  }
  ui_draw_bind((int32_t)v.image);
  ui_draw_rect(x, y, width, height, colour);
}

void draw_styled(const EntryView& v) {
  const UiStyle* s = v.style;
  if (!s) {
    draw_image(v, (float)v.x, (float)v.y, (float)v.width, (float)v.height, &WHITE);
    return;
  }
  bool pressed = v.state & (UI_STATE_HELD | UI_STATE_PRESSED);
  bool hovered = v.state & UI_STATE_HOVERED;
  float x = (float)v.x, y = (float)v.y, w = (float)v.width, h = (float)v.height;
  float border = (float)s->border_width;
  if (s->border_width > 0) {
    const UiColour* c = pressed   ? &s->border_pressed_colour
                        : hovered ? &s->border_hovered_colour
                                  : &s->border_colour;
    ui_draw_bind(0);
    ui_draw_rect(x, y, w, h, c);
  }
  float inner_w = w - 2 * (border > 0 ? border : 0), inner_x = x + (border > 0 ? border : 0);
  float top = y + h - (border > 0 ? border : 0);
  float title = s->title_height > 0 ? (float)s->title_height : 0;
  if (title > 0) {
    ui_draw_bind(0);
    ui_draw_rect(inner_x, top - title, inner_w, title, &s->title_colour);
  }
  float body_y = y + (border > 0 ? border : 0), body_h = top - title - body_y;
  if (v.image) {
    draw_image(v, inner_x, body_y, inner_w, body_h, &WHITE);
    return;
  }
  const UiColour* fill = pressed   ? &s->pressed_fill_colour
                         : hovered ? &s->hovered_fill_colour
                                   : &s->fill_colour;
  ui_draw_bind(0);
  ui_draw_rect(inner_x, body_y, inner_w, body_h, fill);
}

void draw_text(const UiWidget* widget, UiCharColourFn char_colour) {
  const UiStyle* s = widget->style;
  const Font* font = s ? find_font(s->font) : nullptr;
  if (!font) return;
  ui_draw_bind((int32_t)font->atlas);
  UiColour base = s->text_colour, colour = base;
  uint32_t argb = ui_colour_argb(&colour);
  bool visible = std::fabs(colour.a) > 0.0001f;
  const UiCallbacks* callbacks = widget->callbacks;
  float left = (float)widget->x, pen = left;
  float baseline = (float)widget->y + (float)widget->height - font->ascent;
  float scale = font->scale;
  for (uint32_t i = 0; i < widget->text_count; i++) {
    uint32_t c = widget->text[i];
    if (c == '\n') {
      pen = left;
      baseline -= (float)font->line_height;
      continue;
    }
    if (c == TEXT_LINK_CLOSE || text_link_id(c)) {
      colour = base;
      if (c != TEXT_LINK_CLOSE && callbacks && callbacks->link_colour)
        colour = callbacks->link_colour(widget->id, text_link_id(c), base);
      argb = ui_colour_argb(&colour);
      visible = std::fabs(colour.a) > 0.0001f;
      continue;
    }
    if (c == ' ' || c == '\t') {
      pen += (float)font->space_advance;
      continue;
    }
    const Glyph* g = font_glyph(font, c);
    if (!g) continue;
    UiTexRect t = {g->uv[GLYPH_BOTTOM_LEFT][0], g->uv[GLYPH_BOTTOM_LEFT][1], g->uv[GLYPH_TOP_RIGHT][0],
                   g->uv[GLYPH_TOP_RIGHT][1]};
    float x = pen + (float)g->x_offset * scale, y = baseline + (float)g->y_offset * scale;
    float w = (float)g->width * scale, h = (float)g->height * scale;
    if (char_colour) {
      UiColour drawn = char_colour(widget, i, c, colour);
      ui_draw_quad(x, y, w, h, &drawn, &t);
    } else if (visible) {
      ui_draw_quad_argb(x, y, w, h, argb, &t);
    }
    pen += (float)(g->advance > 0 ? g->advance : 0);
  }
}

}  // namespace

void ui_draw_list_startup(void) {
  if (!g_entries) g_entries = (UiDrawEntry*)mem_alloc(UI_DRAW_ENTRY_LIMIT * sizeof(UiDrawEntry));
  g_entry_count = 0;
}

void ui_draw_list_shutdown(void) {
  mem_free(g_entries);
  g_entries = nullptr;
  g_entry_count = 0;
  ui_frame_release();
}

void ui_draw_list(UiCharColourFn char_colour) {
  if (!g_entries) return;
  g_memo = FontMemo{};
  collect();
  std::sort(g_entries, g_entries + g_entry_count, before);
  for (uint32_t i = 0; i < g_entry_count; i++) {
    const UiDrawEntry& e = g_entries[i];
    ui_draw_set_clip(&e.window->clip);
    if (e.widget && e.widget->text) {
      draw_text(e.widget, char_colour);
      continue;
    }
    EntryView v = view_of(e);
    if (inside_clip(v, e.window->clip)) draw_styled(v);
  }
  ui_draw_flush();
  ui_draw_set_clip(nullptr);
  g_memo = FontMemo{};
}

uint32_t ui_draw_list_entries(const UiDrawEntry** entries) {
  if (entries) *entries = g_entries;
  return g_entry_count;
}
