// Random scripts against a screen of every widget kind, and random sequences of window
// begin/end and style push/pop, through the scripted interface kit.
//
// First byte even: a script of 6-byte rows (mouse x, mouse y, buttons, key, typed byte, step)
// over a window holding a button, a toggle, a draggable box, a label with a link, a text field,
// a slider and a list window with a resizable, movable frame. Every callback aborts when it
// runs outside a frame, and a click bit is allowed only in a frame where a button came up.
// First byte odd: each byte is an operation (begin a window, end one, push, push a record, pop,
// declare a widget, end the frame and begin another); the nesting depth never passes the limit,
// the style stack holds between 1 and 16 entries inside a frame and nothing outside.
#include <cstdint>
#include <cstdlib>

#include "platform/keymap.h"
#include "support/ui_kit.h"
#include "ui/ui.h"
#include "ui/ui_style.h"

namespace {

uint32_t g_released;  // buttons that came up in the current row
uint32_t g_text[48];
UiTextBuffer g_buffer = {g_text, 0, 48};
int g_checked, g_captured;
float g_slider, g_scroll;
uint32_t g_caret, g_start;
int32_t g_x = 50, g_y = 50, g_w = 300, g_h = 200;
UiStyle g_frame_style, g_drag_style, g_field_style, g_slider_style;

void inside(void) {
  if (!ui_in_frame()) abort();
}
void on_state(uint32_t, uint32_t st) {
  inside();
  if ((st & UI_STATE_CLICKED) && !g_released) abort();
}
void on_placed(uint32_t, int32_t, int32_t, int32_t, int32_t) { inside(); }
int on_toggle(uint32_t, int proposed) {
  inside();
  if (!g_released) abort();
  return g_checked = proposed;
}
void on_pressed(void) { inside(); }
int on_move(uint32_t id, int32_t x, int32_t y) {
  inside();
  if (id == 1) g_x = x, g_y = y;
  return 1;
}
int on_resize(uint32_t, int32_t x, int32_t y, int32_t w, int32_t h) {
  inside();
  if (w < 0 || h < 0) abort();
  g_x = x, g_y = y, g_w = w, g_h = h;
  return w > 40 && h > 40;
}
float on_scroll_get(uint32_t, int32_t, int32_t) {
  inside();
  return g_scroll;
}
void on_scroll_set(uint32_t, float f) {
  inside();
  if (!(f >= 0 && f <= 1)) abort();
  g_scroll = f + 0.1f;
}
int on_accept(uint32_t, uint32_t cp, uint32_t length) {
  inside();
  return cp != 'q' && length <= 40;
}
void on_edited(uint32_t, const uint32_t*, uint32_t count) {
  inside();
  if (count > g_buffer.capacity) abort();
}
uint32_t on_glyph(uint32_t, uint32_t cp) { return cp == 'x' ? '*' : cp; }
uint32_t on_start_get(uint32_t) { return g_start; }
uint32_t on_caret_get(uint32_t) { return g_caret + 3; }  // out of range at times: clamped
int on_focused(uint32_t) { return 1; }
void on_caret_set(uint32_t, uint32_t i) {
  inside();
  if (i > g_buffer.count) abort();
  g_caret = i;
}
void on_text_click(uint32_t, uint32_t i) {
  inside();
  g_caret = i;
}
void on_start_set(uint32_t, uint32_t i) {
  inside();
  if (i > g_buffer.count) abort();
  g_start = i;
}
void on_slider(uint32_t, float f) {
  inside();
  if (!(f >= 0 && f <= 1)) abort();
  g_slider = f;
}
void on_capture(uint32_t, int on) {
  inside();
  g_captured = on;
}
UiColour on_link_colour(uint32_t, uint32_t, UiColour c) { return c; }
void on_link_hover(uint32_t, uint32_t, uint32_t) { inside(); }

const UiCallbacks CALLBACKS = {
    on_state,      on_placed,     on_toggle,    on_pressed, on_move,      on_resize,      on_scroll_get,
    on_scroll_set, on_accept,     on_edited,    on_glyph,   on_start_get, on_caret_get,   on_focused,
    on_caret_set,  on_text_click, on_start_set, on_slider,  on_capture,   on_link_colour, on_link_hover};

void screen(void) {
  ui_style_push_record(&g_frame_style);
  ui_window_begin(1, 0, g_x, g_y, g_w, g_h, 3, 1, &CALLBACKS);
  ui_button(2, 10, 10, 40, 20, 1, 0, &CALLBACKS);
  ui_toggle(3, g_checked, 60, 10, 16, 16, 2, 0, &CALLBACKS);
  ui_style_push_record(&g_drag_style);
  ui_button(4, 90, 10, 30, 30, 3, 0, &CALLBACKS);
  ui_style_pop();
  ui_style_push_record(&g_field_style);
  ui_label(5, "see \xF3\xB0\x80\x83the gate\xEE\x80\x80 now", 10, 40, 200, 12, 1, 0, &CALLBACKS, nullptr,
           nullptr);
  ui_text_field(6, &g_buffer, 10, 60, 60, 12, 1, 0, &CALLBACKS);
  ui_style_pop();
  ui_style_push_record(&g_slider_style);
  ui_slider(7, g_slider, g_captured, 10, 80, 100, 10, 1, 0, &CALLBACKS);
  ui_style_pop();
  ui_window_begin(8, UI_WINDOW_LIST | UI_WINDOW_CLIP, 10, 100, 120, 60, 3, 0, &CALLBACKS);
  for (int i = 0; i < 7; i++) ui_button(20 + (uint32_t)i, 0, 0, 100, 12, 1, 1, &CALLBACKS);
  ui_window_end();
  ui_window_end();
  ui_style_pop();
}

const uint32_t KEYS[8] = {0, KEY_LEFT, KEY_RIGHT, KEY_BACKSPACE, KEY_DELETE, KEY_HOME, KEY_END, KEY_SPACE};

void run_script(const uint8_t* data, size_t size) {
  uint32_t previous = 0;
  for (size_t i = 0; i + 6 <= size; i += 6) {
    const uint8_t* r = data + i;
    UiKitRow row = {};
    row.x = (int32_t)r[0] * 2 - 20;
    row.y = (int32_t)r[1] * 2 - 20;
    row.buttons = r[2] & 7;
    row.keys[0] = KEYS[r[3] & 7];
    if (r[3] & 8) row.repeats[0] = row.keys[0];
    char text[2] = {(char)r[4], 0};
    row.text = r[4] ? text : nullptr;
    row.dt = (float)r[5] / 255.0f;
    // The input layer shows one change per frame, so a release may surface a frame or two
    // after the row that lifted the button: allow clicks while any button came up lately.
    g_released = (previous & ~row.buttons) ? 3 : (g_released > 0 ? g_released - 1 : 0);
    previous = row.buttons;
    ui_kit_frame(row, screen);
  }
}

void run_sequence(const uint8_t* data, size_t size) {
  static UiStyle record = {};
  ui_begin_frame(0, 640, 480);
  for (size_t i = 0; i < size; i++) {
    switch (data[i] % 8) {
      case 0:
        ui_window_begin(data[i], data[i] & 0x06, 0, 0, 100, 100, 0, data[i] % 9, nullptr);
        break;
      case 1:
        ui_window_end();
        break;
      case 2:
        ui_style_push(data[i] >> 3);
        break;
      case 3:
        ui_style_push_record(&record);
        break;
      case 4:
        ui_style_pop();
        break;
      case 5:
        ui_box(1, 1, 5, 5, 0, 1);
        break;
      case 6:
        ui_end_frame();
        if (ui_window_depth() != 0 || ui_style_depth() != 0) abort();
        ui_window_end();
        ui_style_push(1);
        ui_box(0, 0, 1, 1, 0, 1);
        if (ui_style_depth() != 0) abort();
        ui_begin_frame(0, 640, 480);
        break;
      default:
        ui_window_begin(7, 0, -50, -50, 900, 900, 1, 8, nullptr);
        break;
    }
    if (ui_window_depth() > UI_NEST_LIMIT) abort();
    if (ui_style_depth() < 1 || ui_style_depth() > UI_STYLE_STACK) abort();
  }
  ui_end_frame();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    ui_kit_start(UiKitOptions{640, 480, 0, 1});
    g_frame_style.flags = UI_STYLE_RESIZABLE | UI_STYLE_PRESS_DRAGS | UI_STYLE_RIGHT_BUTTON;
    g_frame_style.border_width = 6;
    g_frame_style.list_spacing = 2;
    g_drag_style.flags = UI_STYLE_DRAGGABLE | UI_STYLE_MIDDLE_BUTTON;
    g_field_style.font = UI_KIT_FONT;
    g_field_style.caret_width = 1;
    g_field_style.caret_height = 8;
    g_field_style.flags = UI_STYLE_CUT;
    g_slider_style.slider_steps = 4;
    started = true;
  }
  if (size == 0) return 0;
  if (data[0] % 2 == 0)
    run_script(data + 1, size - 1);
  else
    run_sequence(data + 1, size - 1);
  return 0;
}
