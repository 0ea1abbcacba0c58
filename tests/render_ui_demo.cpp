#include "render_ui_demo.h"

#include <cstdarg>
#include <cstdio>

#include "assets/cache.h"
#include "assets/locale.h"
#include "base/event_bus.h"
#include "base/thread.h"
#include "input/input.h"
#include "input/keybind.h"
#include "input/mouse.h"
#include "platform/keymap.h"
#include "platform/message_source.h"
#include "platform/window_proc.h"
#include "render/render.h"
#include "render_ui_scenes.h"
#include "ui/ui.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

enum : uint32_t {
  ID_WINDOW = 1,
  ID_TITLE = 2,
  ID_BUTTON = 10,
  ID_TOGGLE = 11,
  ID_FIELD = 12,
  ID_SLIDER = 13,
  ID_LIST = 14,
  ID_STATUS = 15,
};

struct Demo {
  int32_t x, y, width, height;  // the window, bottom-left anchored
  int checked;
  uint32_t text[64];
  UiTextBuffer buffer;
  uint32_t caret, start;
  int focused;
  float slider;
  int captured;
  float scroll;
  int clicks;
  uint32_t states[32];
};
Demo g_demo;

void line(const char* format, ...) __attribute__((format(printf, 1, 2)));
void line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  printf("\n");
  fflush(stdout);
}

void on_state(uint32_t id, uint32_t st) {
  if (id < 32 && g_demo.states[id] != st) line("state %u %u", id, st);
  if (id < 32) g_demo.states[id] = st;
  if (id == ID_BUTTON && (st & UI_STATE_CLICKED) && !(st & UI_STATE_DRAGGED)) {
    g_demo.clicks++;
    line("click %u", id);
  }
  if (id == ID_FIELD && (st & UI_STATE_PRESSED) && !g_demo.focused) {
    g_demo.focused = 1;
    line("focus %u", id);
  }
}
int on_toggle(uint32_t id, int proposed) {
  g_demo.checked = proposed;
  line("toggle %u %d", id, proposed);
  return proposed;
}
int on_move(uint32_t id, int32_t x, int32_t y) {
  g_demo.x = x, g_demo.y = y;
  line("move %u %d %d", id, x, y);
  return 1;
}
int on_resize(uint32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (w < 220 || h < 230) return 0;
  g_demo.x = x, g_demo.y = y, g_demo.width = w, g_demo.height = h;
  line("resize %u %d %d %d %d", id, x, y, w, h);
  return 1;
}
void on_edited(uint32_t id, const uint32_t* text, uint32_t count) {
  static uint32_t last_count = 0;
  static uint32_t last[64];
  bool same = count == last_count;
  for (uint32_t i = 0; same && i < count; i++) same = last[i] == text[i];
  if (same) return;
  char utf8[80];
  uint32_t n = 0;
  for (uint32_t i = 0; i < count && n + 1 < sizeof utf8; i++) utf8[n++] = text[i] < 128 ? (char)text[i] : '?';
  utf8[n] = 0;
  line("text %u %s", id, utf8);
  last_count = count;
  for (uint32_t i = 0; i < count && i < 64; i++) last[i] = text[i];
}
uint32_t caret_get(uint32_t) { return g_demo.caret; }
void caret_set(uint32_t, uint32_t index) { g_demo.caret = index; }
uint32_t start_get(uint32_t) { return g_demo.start; }
void start_set(uint32_t, uint32_t index) { g_demo.start = index; }
int focused(uint32_t) { return g_demo.focused; }
void text_click(uint32_t, uint32_t index) { g_demo.caret = g_demo.start + index; }
void on_slider(uint32_t id, float f) {
  if (f != g_demo.slider) line("slider %u %.2f", id, f);
  g_demo.slider = f;
}
void on_capture(uint32_t id, int on) {
  line("capture %u %d", id, on);
  if (id == ID_SLIDER) g_demo.captured = on;  // only the slider follows the mouse while captured
}
float scroll_get(uint32_t, int32_t, int32_t) { return g_demo.scroll; }
void scroll_set(uint32_t, float f) { g_demo.scroll = f; }

UiCallbacks callbacks(void) {
  UiCallbacks c = {};
  c.state = on_state;
  c.toggle = on_toggle;
  c.move = on_move;
  c.resize = on_resize;
  c.scroll_get = scroll_get;
  c.scroll_set = scroll_set;
  c.edited = on_edited;
  c.caret_get = caret_get;
  c.caret_set = caret_set;
  c.scroll_start_get = start_get;
  c.scroll_start_set = start_set;
  c.focused = focused;
  c.text_click = text_click;
  c.slider = on_slider;
  c.capture = on_capture;
  return c;
}
const UiCallbacks CALLBACKS = callbacks();

UiStyle g_panel, g_title, g_list;

void declare(void) {
  Demo& d = g_demo;
  ui_style_push_record(&g_panel);
  ui_window_begin(ID_WINDOW, 0, d.x, d.y, d.width, d.height, 10, 1, &CALLBACKS);
  ui_style_push_record(&g_title);
  ui_box(6, -6, d.width - 12, 20, 0, 0);  // the strip; the label draws only its text
  ui_label(ID_TITLE, "Widgets", 6, -6, d.width - 12, 20, 1, 0, &CALLBACKS, nullptr, nullptr);
  ui_style_pop();
  ui_style_push(UI_SKIN_BUTTON);
  ui_button(ID_BUTTON, 16, -36, 90, 26, 1, 0, &CALLBACKS);
  ui_label(0, "Press", 16, -36, 90, 26, 2, 0, nullptr, nullptr, nullptr);
  ui_style_pop();
  ui_style_push(UI_SKIN_TOGGLE);
  ui_toggle(ID_TOGGLE, d.checked, 124, -41, 16, 16, 1, 0, &CALLBACKS);
  ui_style_pop();
  ui_style_push(UI_SKIN_LABEL);
  ui_label(0, "Remember", 146, -42, 80, 16, 1, 0, nullptr, nullptr, nullptr);
  ui_style_pop();
  ui_style_push(UI_SKIN_FIELD);
  ui_text_field(ID_FIELD, &d.buffer, 16, -76, 180, 20, 1, 0, &CALLBACKS);
  ui_style_pop();
  ui_style_push(UI_SKIN_SLIDER);
  ui_slider(ID_SLIDER, d.slider, d.captured, 16, -106, 180, 12, 1, 0, &CALLBACKS);
  ui_style_pop();
  ui_style_push_record(&g_list);
  ui_window_begin(ID_LIST, UI_WINDOW_LIST | UI_WINDOW_CLIP, 16, 40, 180, 50, 10, 1, &CALLBACKS);
  static const char* const ROWS[] = {"First row", "Second row", "Third row", "Fourth row", "Fifth row"};
  for (const char* r : ROWS) ui_label(0, r, 0, 0, 170, 14, 1, 1, nullptr, nullptr, nullptr);
  ui_window_end();
  ui_style_pop();
  ui_style_push(UI_SKIN_LABEL);
  char status[96];
  snprintf(status, sizeof status, "clicks %d  checked %d  slider %.2f", d.clicks, d.checked, d.slider);
  ui_label(ID_STATUS, status, 16, 12, d.width - 32, 16, 1, 1, nullptr, nullptr, nullptr);
  ui_style_pop();
  ui_window_end();
  ui_style_pop();
}

bool wait_textures(void) {
  for (int32_t id = UI_TEX_TITLE; id <= UI_TEX_ARROW_DOWN; id++) {
    AssetHandle h;
    asset_request_wait(&h, ASSET_TEXTURE, (uint32_t)id);
    if (!h.object || h.failed) {
      line("FAIL texture %d", id);
      return false;
    }
  }
  event_dispatch();
  return true;
}

}  // namespace

int ui_demo_run(Window* window, const char* assets_dir) {
  locale_load(assets_dir, 1);  // the demo archives hold English as language 1
  if (!ui_scenes_start(assets_dir) || !wait_textures()) return 1;
  mouse_set_sensitivity(1.0f);
  mouse_start(window);
  input_start();
  keybind_init();
  keybind_start();
  keybind_load();
  ui_widgets_startup();
  ui_skin_setup();
  ui_style_get(UI_SKIN_PANEL, &g_panel);
  g_panel.flags |= UI_STYLE_RESIZABLE;
  g_panel.border_width = 8;
  ui_style_get(UI_SKIN_TITLE, &g_title);
  g_title.flags |= UI_STYLE_DRAGS_WINDOW;
  ui_style_get(UI_SKIN_LABEL, &g_list);
  g_list.list_spacing = 2;
  g_list.list_indent = 4;
  g_demo = Demo{};
  g_demo.x = 20, g_demo.y = 10, g_demo.width = 240, g_demo.height = 240;
  g_demo.buffer = UiTextBuffer{g_demo.text, 0, 40};
  bool announced = false;
  int code = 0;
  for (bool quit = false; !quit;) {
    if (window_pump_messages(window, &code)) quit = true;
    mouse_update();
    input_update();
    keybind_frame();
    if (g_demo.focused && key_pressed(KEY_ESCAPE)) {
      g_demo.focused = 0;
      line("focus 0");
    }
    uint64_t size = render_get_size();
    render_clear(0.08f, 0.1f, 0.16f, CLEAR_COLOUR | CLEAR_DEPTH);
    ui_begin_frame(0, (int32_t)(size & 0xFFFFFFFF), (int32_t)(size >> 32));
    declare();
    ui_end_frame();
    ui_draw_list(nullptr);
    render_present(window);
    event_dispatch();
    if (!announced) {
      line("ready");
      announced = true;
    }
    sleep_ms(5);
  }
  ui_widgets_shutdown();
  keybind_shutdown();
  input_stop();
  mouse_stop();
  ui_scenes_stop();
  locale_unload();
  return code;
}
