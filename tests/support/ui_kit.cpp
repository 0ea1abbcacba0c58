#include "support/ui_kit.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "input/input.h"
#include "input/keybind.h"
#include "platform/clock.h"
#include "support/draw_capture.h"
#include "support/font_testing.h"
#include "ui/ui.h"
#include "ui/ui_draw.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"
#include "ui/ui_draw_list.h"

namespace {

struct Kit {
  UiKitOptions options;
  uint64_t us;
  uint32_t frame;
  UiKitRow last;
  std::map<uint32_t, UiKitItem> items;
  std::vector<UiKitCall> calls;
  std::string dir;
  size_t triangles;
};
Kit* g_kit;

int fake_frequency(uint64_t* out) {
  *out = 1000000;
  return 1;
}
uint64_t fake_counter(void) { return g_kit ? g_kit->us : 0; }
uint32_t fake_ms(void) { return g_kit ? (uint32_t)(g_kit->us / 1000) : 0; }
const ClockSource FAKE_CLOCK = {fake_frequency, fake_counter, fake_ms};

void provide_mouse(int32_t* x, int32_t* y) {
  *x = g_kit->last.x;
  *y = g_kit->last.y;
}

void record(int slot, uint32_t id, std::initializer_list<int32_t> a, float f = 0) {
  UiKitCall c = {};
  c.frame = g_kit->frame;
  c.slot = slot;
  c.id = id;
  int i = 0;
  for (int32_t v : a) c.a[i++] = v;
  c.f = f;
  g_kit->calls.push_back(c);
}

void k_state(uint32_t id, uint32_t st) { record(0, id, {(int32_t)st}); }
void k_placed(uint32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
  record(1, id, {x, y, w, h});
  UiKitItem* it = ui_kit_item(id);
  it->x = x, it->y = y, it->width = w, it->height = h;
}
int k_toggle(uint32_t id, int proposed) {
  record(2, id, {proposed});
  int a = ui_kit_item(id)->toggle_answer;
  return a < 0 ? proposed : a;
}
void k_pressed(void) { record(3, 0, {}); }
int k_move(uint32_t id, int32_t x, int32_t y) {
  record(4, id, {x, y});
  UiKitItem* it = ui_kit_item(id);
  if (it->move_answer) it->x = x, it->y = y;
  return it->move_answer;
}
int k_resize(uint32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
  record(5, id, {x, y, w, h});
  UiKitItem* it = ui_kit_item(id);
  if (it->resize_answer) it->x = x, it->y = y, it->width = w, it->height = h;
  return it->resize_answer;
}
float k_scroll_get(uint32_t id, int32_t view, int32_t content) {
  record(6, id, {view, content});
  return ui_kit_item(id)->scroll;
}
void k_scroll_set(uint32_t id, float f) {
  record(7, id, {}, f);
  ui_kit_item(id)->scroll = f;
}
int k_accept(uint32_t id, uint32_t cp, uint32_t length) {
  record(8, id, {(int32_t)cp, (int32_t)length});
  UiKitItem* it = ui_kit_item(id);
  if (it->max_length && length > it->max_length) return 0;
  return cp != it->refuse || it->refuse == 0;
}
void k_edited(uint32_t id, const uint32_t* text, uint32_t count) {
  record(9, id, {(int32_t)count});
  g_kit->calls.back().text.assign(text, text + count);
}
uint32_t k_glyph(uint32_t id, uint32_t cp) {
  uint32_t m = ui_kit_item(id)->mask;
  return m ? m : cp;
}
uint32_t k_start_get(uint32_t id) { return ui_kit_item(id)->start; }
uint32_t k_caret_get(uint32_t id) { return ui_kit_item(id)->caret; }
int k_focused(uint32_t id) { return ui_kit_item(id)->focused; }
void k_caret_set(uint32_t id, uint32_t index) {
  record(14, id, {(int32_t)index});
  ui_kit_item(id)->caret = index;
}
void k_text_click(uint32_t id, uint32_t index) {
  record(15, id, {(int32_t)index});
  ui_kit_item(id)->caret = index;
}
void k_start_set(uint32_t id, uint32_t index) {
  record(16, id, {(int32_t)index});
  ui_kit_item(id)->start = index;
}
void k_slider(uint32_t id, float f) {
  record(17, id, {}, f);
  ui_kit_item(id)->slider = f;
}
void k_capture(uint32_t id, int on) {
  record(18, id, {on});
  ui_kit_item(id)->captured = on;
}
UiColour k_link_colour(uint32_t, uint32_t, UiColour base) { return base; }
void k_link_hover(uint32_t id, uint32_t link, uint32_t st) { record(20, id, {(int32_t)link, (int32_t)st}); }

// Slots 10-13 answer without recording: they are asked every frame and say nothing new.
const UiCallbacks KIT_CALLBACKS = {
    k_state,      k_placed,     k_toggle,    k_pressed, k_move,      k_resize,      k_scroll_get,
    k_scroll_set, k_accept,     k_edited,    k_glyph,   k_start_get, k_caret_get,   k_focused,
    k_caret_set,  k_text_click, k_start_set, k_slider,  k_capture,   k_link_colour, k_link_hover};

const int ARG_COUNT[21] = {1, 4, 1, 0, 2, 4, 2, 0, 2, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 2};

bool listed(const uint32_t* list, uint32_t key) {
  for (int i = 0; i < 4 && list[i]; i++)
    if (list[i] == key) return true;
  return false;
}

void post_key(uint32_t event, uint32_t code, uint32_t action) {
  if (event == EVENT_KEY) {
    EventKey k = {code, action};
    event_post_copy(EVENT_KEY, &k, sizeof k);
  } else {
    EventButton b = {code, action};
    event_post_copy(EVENT_MOUSE_BUTTON, &b, sizeof b);
  }
}

void post_row(const UiKitRow& row) {
  const UiKitRow& prev = g_kit->last;
  for (uint32_t b = 0; b < 3; b++) {
    bool was = prev.buttons & (1u << b), now = row.buttons & (1u << b);
    if (now && !was) {
      post_key(EVENT_MOUSE_BUTTON, b, ACTION_PRESSED);
      post_key(EVENT_MOUSE_BUTTON, b, ACTION_HELD);
    } else if (!now && was) {
      post_key(EVENT_MOUSE_BUTTON, b, ACTION_RELEASED);
    }
  }
  for (int i = 0; i < 4 && prev.keys[i]; i++)
    if (!listed(row.keys, prev.keys[i])) post_key(EVENT_KEY, prev.keys[i], ACTION_RELEASED);
  for (int i = 0; i < 4 && row.keys[i]; i++) {
    if (listed(prev.keys, row.keys[i])) continue;
    post_key(EVENT_KEY, row.keys[i], ACTION_PRESSED);
    post_key(EVENT_KEY, row.keys[i], ACTION_HELD);
  }
  for (int i = 0; i < 4 && row.repeats[i]; i++) post_key(EVENT_KEY, row.repeats[i], ACTION_REPEAT);
  for (const char* t = row.text; t && *t; t++) event_post_copy(EVENT_TEXT, t, 1);
}

void write_font_archive(const std::string& dir) {
  std::vector<uint8_t> bytes = test_font_fixed_bytes();
  ArchiveSource source = {UI_KIT_FONT, bytes.data(), bytes.size()};
  size_t size = 0;
  uint8_t* image = archive_build(&source, 1, 1, &size, nullptr, 0);
  std::ofstream out(dir + "/font.dat", std::ios::binary | std::ios::trunc);
  out.write((const char*)image, (std::streamsize)size);
  mem_free(image);
}

}  // namespace

void ui_kit_skin_in_kit_font(void) {
  for (uint32_t id : {UI_SKIN_PANEL, UI_SKIN_BUTTON, UI_SKIN_LABEL, UI_SKIN_FIELD, UI_SKIN_TOGGLE, UI_SKIN_TITLE}) {
    UiStyle s = {};
    s.font = UI_KIT_FONT;
    ui_style_register(id, &s);
  }
}

void ui_kit_start(const UiKitOptions& options) {
  g_kit = new Kit();
  g_kit->options = options;
  g_kit->us = 1000000;
  clock_set_source(&FAKE_CLOCK);
  frame_clock_reset();
  event_bus_start();
  input_start();
  keybind_init();
  keybind_start();
  keybind_load();
  draw_capture_install();
  ui_draw_startup();
  ui_widgets_startup();
  ui_set_mouse_provider(provide_mouse);
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ui_kit_XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (mkdtemp(buffer.data())) g_kit->dir = buffer.data();
  if (options.with_font && !g_kit->dir.empty()) write_font_archive(g_kit->dir);
  assets_startup(g_kit->dir.c_str());
  if (options.with_font) {
    AssetHandle h;
    asset_request_wait(&h, ASSET_FONT, UI_KIT_FONT);
  }
}

void ui_kit_stop(void) {
  if (!g_kit) return;
  assets_shutdown();
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
  ui_set_mouse_provider(nullptr);
  ui_widgets_shutdown();
  ui_draw_shutdown();
  draw_capture_uninstall();
  keybind_shutdown();
  input_stop();
  event_bus_stop();
  clock_set_source(nullptr);
  std::error_code ignored;
  if (!g_kit->dir.empty()) std::filesystem::remove_all(g_kit->dir, ignored);
  delete g_kit;
  g_kit = nullptr;
}

void ui_kit_frame(const UiKitRow& row, UiKitDeclare declare) {
  post_row(row);
  g_kit->last = row;
  g_kit->us += (uint64_t)((row.dt > 0 ? row.dt : 1.0f / 60) * 1e6f);
  frame_clock_tick();
  event_dispatch();
  input_update();
  keybind_frame();
  g_kit->frame++;
  ui_begin_frame(g_kit->options.default_style, g_kit->options.width, g_kit->options.height);
  if (declare) declare();
  ui_end_frame();
  draw_capture_clear();
  ui_draw_list(nullptr);
  g_kit->triangles = 0;
  for (const CapturedDraw& d : draw_capture_draws()) g_kit->triangles += d.triangles.size() / 3;
}

void ui_kit_run(const std::vector<UiKitRow>& rows, UiKitDeclare declare) {
  for (const UiKitRow& r : rows) ui_kit_frame(r, declare);
}

uint32_t ui_kit_frame_number(void) { return g_kit ? g_kit->frame : 0; }

const UiCallbacks* ui_kit_callbacks(void) { return &KIT_CALLBACKS; }

UiKitItem* ui_kit_item(uint32_t id) {
  auto found = g_kit->items.find(id);
  if (found != g_kit->items.end()) return &found->second;
  UiKitItem item = {};
  item.toggle_answer = -1;
  item.move_answer = 1;
  item.resize_answer = 1;
  return &g_kit->items.emplace(id, item).first->second;
}

const std::vector<UiKitCall>& ui_kit_calls(void) { return g_kit->calls; }
void ui_kit_clear_calls(void) { g_kit->calls.clear(); }

std::string ui_kit_calls_text(uint32_t slot_mask) {
  std::string out;
  char line[160];
  for (const UiKitCall& c : g_kit->calls) {
    if (!(slot_mask & (1u << c.slot))) continue;
    int n = snprintf(line, sizeof line, "%u %d %u", c.frame, c.slot, c.id);
    for (int i = 0; i < ARG_COUNT[c.slot]; i++) n += snprintf(line + n, sizeof line - n, " %d", c.a[i]);
    if (c.slot == 7 || c.slot == 17) snprintf(line + n, sizeof line - n, " %g", c.f);
    out += line;
    out += "\n";
  }
  return out;
}

std::string ui_kit_entries_text(void) {
  const UiDrawEntry* entries = nullptr;
  uint32_t count = ui_draw_list_entries(&entries);
  std::string out;
  char line[160];
  for (uint32_t i = 0; i < count; i++) {
    const UiDrawEntry& e = entries[i];
    if (e.widget)
      snprintf(line, sizeof line, "%d %d %u %d %d %d %d\n", e.layer, e.order, e.widget->id, e.widget->x,
               e.widget->y, e.widget->width, e.widget->height);
    else
      snprintf(line, sizeof line, "%d %d w%u %d %d %d %d\n", e.layer, e.order, e.window->id, e.window->x,
               e.window->y, e.window->width, e.window->height);
    out += line;
  }
  return out;
}

size_t ui_kit_triangles(void) { return g_kit ? g_kit->triangles : 0; }
