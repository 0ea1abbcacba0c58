// The fake window system's table: every call logged into the installed FakeWindowSystem.
#include "support/fake_window_system.h"

static FakeWindowSystem* g_fake;
static void log_call(const std::string& s) { g_fake->calls.push_back(s); }
static std::string rect_text(Rect r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

static const WindowSystem FAKE = {
    [](const char*, int popup) -> void* {
      log_call(popup ? "create popup" : "create");
      return (void*)0x1;
    },
    [](void*) { log_call("destroy"); },
    [](void*, Rect r) {
      g_fake->last_client = r;
      log_call("rect " + rect_text(r));
    },
    [](void*, int b) { log_call(b ? "bordered" : "borderless"); },
    [](void*, int t) { log_call(t ? "topmost" : "not topmost"); },
    [](void*) { log_call("show"); },
    [](void*) { log_call("minimise"); },
    [](void*) { log_call("restore"); },
    [](void*, Rect* f) { *f = g_fake->frame; },
    [](void*, int w, int h) { log_call("min " + std::to_string(w) + "x" + std::to_string(h)); },
    [](void*) { return g_fake->dpi; },
    []() { return 1; },
    [](int index, Rect* m, Rect* w) {
      if (index != 0) return 0;
      *m = g_fake->monitor;
      *w = g_fake->work;
      return 1;
    },
    [](void*) { return 0; },
    [](void*, DisplayMode* out, int capacity) {
      int n = 0;
      for (const DisplayMode& m : g_fake->modes)
        if (n < capacity) out[n++] = m;
      return n;
    },
    [](void*, DisplayMode* out) {
      if (!g_fake->desktop_readable) return 0;
      *out = g_fake->desktop;
      return 1;
    },
    [](void*, DisplayMode* out) {
      *out = g_fake->screen;
      return g_fake->screen.width > 0 ? 1 : 0;
    },
    [](void*, const DisplayMode* m, uint32_t fields) {
      g_fake->change_fields.push_back(fields);
      bool ok = true;
      if (!g_fake->change_results.empty()) {
        ok = g_fake->change_results.front();
        g_fake->change_results.erase(g_fake->change_results.begin());
      }
      log_call("change " + std::to_string(m->width) + "x" + std::to_string(m->height) + "x" +
               std::to_string(m->bit_depth) + "@" + std::to_string(m->refresh) + " fields " +
               std::to_string(fields) + (ok ? " ok" : " fail"));
      return ok ? 1 : 0;
    },
    [](void*) { log_call("desktop back"); },
    [](void*, int on) { log_call(on ? "capture" : "release capture"); },
    [](void*) { return g_fake->active ? 1 : 0; },
    [](void*, int* x, int* y) {
      if (!g_fake->cursor_readable) return 0;
      *x = g_fake->cursor_x;
      *y = g_fake->cursor_y;
      return 1;
    },
    [](void*, int x, int y) {
      g_fake->cursor_x = x;
      g_fake->cursor_y = y;
      log_call("warp " + std::to_string(x) + "," + std::to_string(y));
    },
    [](void*, int show) { log_call(show ? "show cursor" : "hide cursor"); },
    [](void*) { return g_fake->mouse_focus ? 1 : 0; },
};

void fake_window_system_install(FakeWindowSystem* fake) {
  g_fake = fake;
  window_set_system(fake ? &FAKE : nullptr);
}
