#include "platform/window.h"

#include <cstring>

#include "base/fatal.h"
#include "platform/display.h"
#include "platform/sdl_window.h"

static const WindowSystem* g_system;
static WindowRendererHooks g_hooks;

void window_set_system(const WindowSystem* system) { g_system = system; }

const WindowSystem* window_system(void) {
  if (!g_system) g_system = sdl_window_system();
  return g_system;
}

void window_set_renderer_hooks(const WindowRendererHooks* hooks) {
  if (hooks)
    g_hooks = *hooks;
  else
    g_hooks = WindowRendererHooks{};
}

void window_renderer_resize(int width, int height) {
  if (g_hooks.resize) g_hooks.resize(width, height);
}

void window_renderer_suspend(Window* window, int flag) {
  if (g_hooks.suspend) g_hooks.suspend(window, flag);
}

int window_create(Window* window, int width, int height, int bit_depth, int refresh, int display_mode,
                  int monitor, int vsync, const char* title) {
  memset(window, 0, sizeof *window);
  void* handle = window_system()->create(title, display_mode == DISPLAY_FULL_SCREEN);
  if (!handle) return 0;
  window->handle = handle;
  window->width = width < 320 ? 320 : width;
  window->height = height < 200 ? 200 : height;
  window->bit_depth = bit_depth;
  window->refresh = refresh;
  window->display_mode = display_mode;
  window->monitor = monitor;
  window->vsync = vsync;
  display_set_window(handle);
  fatal_set_display_restore(display_restore);
  return 1;
}

// Multiplies and divides with rounding, as a DPI scale does.
static int mul_div(int value, int numerator, int denominator) {
  int64_t product = (int64_t)value * numerator;
  int64_t half = denominator / 2;
  return (int)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

Rect window_windowed_rect(int width, int height, int dpi, Rect frame, Rect work) {
  int client_w = mul_div(width, dpi, 96);
  int client_h = mul_div(height, dpi, 96);
  int outer_w = client_w + frame.left + frame.right;
  int outer_h = client_h + frame.top + frame.bottom;
  int work_w = work.right - work.left;
  int work_h = work.bottom - work.top;
  if (outer_w > work_w) outer_w = work_w;
  if (outer_h > work_h) outer_h = work_h;
  int x = work.left + (work_w - outer_w) / 2;
  int y = work.top + (work_h - outer_h) / 2;
  return Rect{x, y, x + outer_w, y + outer_h};
}

void window_minimum_client_size(int dpi, int* width, int* height) {
  *width = mul_div(320, dpi, 96);
  *height = mul_div(200, dpi, 96);
}

void monitor_rects(Window* window, int monitor, Rect* monitor_rect, Rect* work_rect) {
  const WindowSystem* sys = window_system();
  if (monitor >= 0 && sys->monitor_rects(monitor, monitor_rect, work_rect)) return;
  int nearest = window && window->handle ? sys->monitor_of_window(window->handle) : 0;
  if (!sys->monitor_rects(nearest, monitor_rect, work_rect) &&
      !sys->monitor_rects(0, monitor_rect, work_rect)) {
    *monitor_rect = Rect{0, 0, 640, 480};
    *work_rect = *monitor_rect;
  }
  // An empty work area means the system did not report one: use the whole monitor.
  if (work_rect->right <= work_rect->left || work_rect->bottom <= work_rect->top) *work_rect = *monitor_rect;
}

// The client rectangle inside an outer rectangle.
static Rect client_of(Rect outer, Rect frame) {
  return Rect{outer.left + frame.left, outer.top + frame.top, outer.right - frame.right,
              outer.bottom - frame.bottom};
}

int window_set_display_mode(Window* window) {
  if (window->display_mode != DISPLAY_FULL_SCREEN) return 1;
  DisplayMode modes[DISPLAY_MODES_MAX];
  int count = window_system()->list_modes(window->handle, modes, DISPLAY_MODES_MAX);
  DisplayMode desktop = display_current_mode();
  DisplayMode request = {window->width, window->height, window->bit_depth, window->refresh};
  if (!display_match_mode(modes, count, desktop, &request)) return 0;
  window->width = request.width;
  window->height = request.height;
  if (display_apply(request.width, request.height, request.bit_depth, request.refresh)) return 1;
  if (display_apply(request.width, request.height, desktop.bit_depth, desktop.refresh)) return 1;
  if (desktop.bit_depth == 0 && desktop.refresh == 0) return 1;
  if (display_apply(request.width, request.height, 0, 0)) return 1;
  display_restore();
  return 0;
}

void window_place_and_show(Window* window) {
  const WindowSystem* sys = window_system();
  void* h = window->handle;
  if (window->display_mode == DISPLAY_BORDERLESS) {
    monitor_rects(window, window->monitor, &window->monitor_rect, &window->work_rect);
    sys->set_bordered(h, 0);
    sys->set_client_rect(h, window->monitor_rect);
  } else if (window->display_mode == DISPLAY_FULL_SCREEN) {
    sys->set_topmost(h, 1);
    sys->set_client_rect(h, Rect{0, 0, window->width, window->height});
  } else {
    int dpi = sys->dpi(h);
    if (dpi <= 0) dpi = 96;
    Rect frame = {0, 0, 0, 0};
    sys->frame(h, &frame);
    Rect monitor, work;
    monitor_rects(window, window->monitor, &monitor, &work);
    Rect outer = window_windowed_rect(window->width, window->height, dpi, frame, work);
    int min_w, min_h;
    window_minimum_client_size(dpi, &min_w, &min_h);
    sys->set_minimum_client_size(h, min_w, min_h);
    sys->set_client_rect(h, client_of(outer, frame));
  }
  sys->show(h);
}

void window_destroy(Window* window) {
  if (!window->handle) return;
  display_restore();
  window_system()->destroy(window->handle);
  display_set_window(nullptr);
  window->handle = nullptr;
}
