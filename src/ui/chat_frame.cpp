#include "ui/chat_frame.h"

#include "assets/cache.h"
#include "assets/font.h"
#include "platform/clock.h"
#include "settings/settings.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_layout.h"
#include "ui/chat_log.h"
#include "ui/ui.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

// This frame's styles: the chat styles, the log windows' own (no image, nothing drawn), the
// input field's with and without its caret. Records pushed must outlive the frame.
struct ChatFrameStyles {
  UiStyle lines[CHAT_STYLE_COUNT];
  UiStyle window;
  UiStyle field, field_no_caret;
};
ChatFrameStyles g_styles;

// The input buffer as the text field edits it this frame, and the caret it started from.
UiTextBuffer g_field;
uint32_t g_caret_read;

void make_styles(void) {
  UiStyle base;
  ui_style_get(UI_SKIN_LABEL, &base);
  // A line is as high as its wrapped text: the list stacks lines by their heights.
  base.flags |= UI_STYLE_ANCHOR_TEXT;
  base.image = 0;
  for (int32_t s = 0; s < CHAT_STYLE_COUNT; s++) g_styles.lines[s] = chat_style_make(&base, s);
  g_styles.window = base;
  g_styles.window.fill_colour = UiColour{0, 0, 0, 0};
  UiStyle field;
  ui_style_get(UI_SKIN_CHAT_FIELD, &field);
  // The box under the field draws the frame; the field itself only its text and caret.
  field.image = field.pressed_image = field.hovered_image = 0;
  field.fill_colour = field.pressed_fill_colour = field.hovered_fill_colour = UiColour{0, 0, 0, 0};
  field.border_width = 0;
  g_styles.field = field;
  field.caret_width = field.caret_height = 0;
  g_styles.field_no_caret = field;
}

const Font* font_of(const UiStyle* style) {
  AssetHandle h;
  if (!style->font || !asset_find(&h, ASSET_FONT, style->font)) return nullptr;
  return (const Font*)h.object;
}

// --- log windows -----------------------------------------------------------------------
int32_t log_of_window(uint32_t id) { return id == CHAT_WINDOW_MAIN ? CHAT_LOG_MAIN : CHAT_LOG_SECOND; }

float on_scroll_get(uint32_t id, int32_t view_height, int32_t content_height) {
  const Font* font = font_of(&g_styles.lines[0]);
  float line = font && font->line_height > 0 ? (float)font->line_height : (float)CHAT_LINE_PIXELS;
  return chat_scroll_fraction(log_of_window(id), (float)content_height, (float)view_height, line);
}
// The counter is the state: the list's own fraction follows it every frame.
void on_scroll_set(uint32_t, float) {}

UiColour on_link_colour(uint32_t id, uint32_t link, UiColour) {
  int32_t log, age;
  if (!chat_line_of_id(id, &log, &age)) return chat_link_colour(0, 0);
  const ChatLine* line = chat_log_line(chat_log(log), age);
  return chat_link_colour(chat_link_hovered(log, age, link, frame_count()), line ? line->entity : 0);
}

void on_link_hover(uint32_t id, uint32_t link, uint32_t state) {
  int32_t log, age;
  if (!link || !chat_line_of_id(id, &log, &age)) return;
  chat_link_hover(log, age, link, frame_count());
  if (state & UI_STATE_CLICKED) chat_link_click(log, age, link);
}

const UiCallbacks LOG_CALLBACKS = [] {
  UiCallbacks c = {};
  c.scroll_get = on_scroll_get;
  c.scroll_set = on_scroll_set;
  return c;
}();
const UiCallbacks LINK_CALLBACKS = [] {
  UiCallbacks c = {};
  c.link_colour = on_link_colour;
  c.link_hover = on_link_hover;
  return c;
}();

void declare_log(int32_t log_id, uint32_t window, const ChatRect& r, int32_t anchor) {
  ui_style_push_record(&g_styles.window);
  ui_window_begin(window, CHAT_WINDOW_FLAGS, r.x, r.y, r.width, r.height, CHAT_WINDOW_LAYER, anchor,
                  &LOG_CALLBACKS);
  const ChatLog* log = chat_log(log_id);
  for (int32_t age = 0; age < log->count; age++) {
    const ChatLine* line = chat_log_line(log, age);
    int32_t style = line->style >= 0 && line->style < CHAT_STYLE_COUNT ? line->style : 0;
    ui_style_push_record(&g_styles.lines[style]);
    ui_label(chat_line_id(log_id, age), line->text, 0, 0, r.width, 0, 0, 1,
             line->has_link ? &LINK_CALLBACKS : nullptr, nullptr, nullptr);
    ui_style_pop();
  }
  ui_window_end();
  ui_style_pop();
}

// --- scroll buttons --------------------------------------------------------------------
void on_button_state(uint32_t id, uint32_t state) {
  if (state & UI_STATE_CLICKED) chat_scroll_click(id);
}
const UiCallbacks BUTTON_CALLBACKS = [] {
  UiCallbacks c = {};
  c.state = on_button_state;
  return c;
}();

// A column beside the log (left of the main log, right of the second): older at the top,
// newer under it, newest at the bottom.
void declare_buttons(int32_t log_id, uint32_t window, const ChatRect& r, int32_t anchor) {
  int32_t outside = CHAT_BUTTON_GAP + CHAT_BUTTON_SIZE;
  int32_t x = log_id == CHAT_LOG_MAIN ? r.x - outside : r.x + outside;
  ui_style_push_record(&g_styles.window);
  ui_window_begin(window, 0, x, r.y, CHAT_BUTTON_SIZE, r.height, CHAT_WINDOW_LAYER, anchor, nullptr);
  static const struct {
    uint32_t style, direction;
    int32_t y, anchor;
  } kButtons[3] = {
      {UI_SKIN_SCROLL_OLDER, CHAT_SCROLL_OLDER, 0, 0},
      {UI_SKIN_SCROLL_NEWER, CHAT_SCROLL_NEWER, -(CHAT_BUTTON_SIZE + 2), 0},
      {UI_SKIN_SCROLL_NEWEST, 0, 0, 1},
  };
  for (const auto& b : kButtons) {
    ui_style_push(b.style);
    ui_button(chat_scroll_button_id(log_id, b.direction), 0, b.y, CHAT_BUTTON_SIZE, CHAT_BUTTON_SIZE, 0,
              b.anchor, &BUTTON_CALLBACKS);
    ui_style_pop();
  }
  ui_window_end();
  ui_style_pop();
}

// --- input line ------------------------------------------------------------------------
int on_accept(uint32_t, uint32_t code_point, uint32_t) {
  Text view = {};
  view.code_points = g_field.text;
  view.count = g_field.count;
  view.capacity = g_field.capacity;
  return chat_input_accepts(&view, code_point);
}
void on_edited(uint32_t, const uint32_t*, uint32_t count) {
  g_field.count = count;
  chat_input()->buffer->count = count;
}
uint32_t on_caret_get(uint32_t) { return chat_input()->caret; }
int on_focused(uint32_t) { return chat_input()->open; }
// The caret moves past a link in the direction it was moving this frame.
void on_caret_set(uint32_t, uint32_t index) {
  int32_t direction = index < g_caret_read ? -1 : index > g_caret_read ? 1 : 0;
  chat_input()->caret = chat_caret_settle(g_field.text, g_field.count, index, direction);
}
void on_text_click(uint32_t, uint32_t index) {
  ChatInput* input = chat_input();
  input->caret = chat_caret_settle(g_field.text, g_field.count, input->scroll + index, 0);
  g_caret_read = input->caret;
}
uint32_t on_start_get(uint32_t) { return chat_input()->scroll; }
void on_start_set(uint32_t, uint32_t index) { chat_input()->scroll = index; }

const UiCallbacks FIELD_CALLBACKS = [] {
  UiCallbacks c = {};
  c.accept_char = on_accept;
  c.edited = on_edited;
  c.caret_get = on_caret_get;
  c.focused = on_focused;
  c.caret_set = on_caret_set;
  c.text_click = on_text_click;
  c.scroll_start_get = on_start_get;
  c.scroll_start_set = on_start_set;
  return c;
}();

void declare_input(const ChatLayout& l) {
  ChatInput* input = chat_input();
  Text* buffer = input->buffer;
  if (!input->open || !buffer) return;
  const ChatRect& box = l.input_box;
  ui_style_push(UI_SKIN_CHAT_FIELD);
  ui_window_begin(CHAT_WINDOW_INPUT, 0, box.x, box.y, box.width, box.height, CHAT_WINDOW_LAYER, 1, nullptr);
  ui_box(0, 0, box.width, box.height, 0, 1);
  uint32_t capacity = buffer->capacity < (uint32_t)CHAT_INPUT_CODE_POINTS ? buffer->capacity : (uint32_t)CHAT_INPUT_CODE_POINTS;
  g_field = UiTextBuffer{buffer->code_points, buffer->count, capacity};
  g_caret_read = input->caret;
  ui_style_push_record(chat_caret_visible(input->blink) ? &g_styles.field : &g_styles.field_no_caret);
  ui_text_field(CHAT_FIELD_ID, &g_field, l.input.x - box.x, l.input.y - box.y, l.input.width, l.input.height,
                1, 1, &FIELD_CALLBACKS);
  ui_style_pop();
  buffer->count = g_field.count;
  ui_window_end();
  ui_style_pop();
}

}  // namespace

uint32_t chat_line_id(int32_t log, int32_t age) {
  return CHAT_LINE_ID_BASE + (uint32_t)log * 0x100u + (uint32_t)age;
}

int32_t chat_line_of_id(uint32_t id, int32_t* log, int32_t* age) {
  if (id < CHAT_LINE_ID_BASE) return 0;
  uint32_t rest = id - CHAT_LINE_ID_BASE;
  int32_t l = (int32_t)(rest / 0x100u), a = (int32_t)(rest % 0x100u);
  if (l >= CHAT_LOG_COUNT || a >= CHAT_LOG_LINES) return 0;
  if (log) *log = l;
  if (age) *age = a;
  return 1;
}

void chat_declare_lines(int32_t frame_width, int32_t chat_lines) {
  if (!ui_in_frame()) return;
  make_styles();
  ChatLayout l;
  chat_layout(frame_width, chat_lines, &l);
  declare_log(CHAT_LOG_MAIN, CHAT_WINDOW_MAIN, l.main_log, 1);
  declare_log(CHAT_LOG_SECOND, CHAT_WINDOW_SECOND, l.second_log, 4);
  declare_buttons(CHAT_LOG_MAIN, CHAT_WINDOW_MAIN_BUTTONS, l.main_log, 1);
  declare_buttons(CHAT_LOG_SECOND, CHAT_WINDOW_SECOND_BUTTONS, l.second_log, 4);
  declare_input(l);
}

void chat_declare(int32_t frame_width) { chat_declare_lines(frame_width, setting_chat_lines()); }
