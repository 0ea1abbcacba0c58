#include "input/mouse.h"

#include "base/event_bus.h"
#include "platform/display.h"

struct MouseState {
  Window* window;
  bool started;
  bool polled;  // the first poll takes the current position as the previous one
  int x, y;
  int previous_x, previous_y;
  bool captured;
  int capture_x, capture_y;
  float sensitivity;
  float accumulated_x, accumulated_y;
};

static MouseState g_mouse = {nullptr, false, false, 0, 0, 0, 0, false, 0, 0, 1.0f, 0.0f, 0.0f};
static MouseClientSize g_client_size;

void mouse_set_client_size_source(MouseClientSize source) { g_client_size = source; }

static bool mouse_has_window(void) { return g_mouse.started && g_mouse.window && g_mouse.window->handle; }

static int client_height(void) {
  if (g_client_size) return (int)(uint32_t)(g_client_size() >> 32);
  return g_mouse.window ? g_mouse.window->height : 0;
}
static int client_width(void) {
  if (g_client_size) return (int)(uint32_t)g_client_size();
  return g_mouse.window ? g_mouse.window->width : 0;
}

// The system cursor, bottom-up; 0 when it cannot be read.
static int read_cursor(int* x, int* y) {
  int wx = 0, wy = 0;
  if (!window_system()->cursor_position(g_mouse.window->handle, &wx, &wy)) return 0;
  *x = wx;
  *y = client_height() - wy;
  return 1;
}

static void put_cursor(int x, int y) {
  window_system()->warp_cursor(g_mouse.window->handle, x, client_height() - y);
}

void mouse_start(Window* window) {
  if (g_mouse.started) return;
  float sensitivity = g_mouse.sensitivity;
  g_mouse = MouseState{};
  g_mouse.sensitivity = sensitivity;
  g_mouse.window = window;
  g_mouse.started = true;
  event_subscribe(mouse_on_event);
}

void mouse_stop(void) {
  if (!g_mouse.started) return;
  event_unsubscribe(mouse_on_event);
  if (g_mouse.captured && mouse_has_window()) window_system()->show_cursor(g_mouse.window->handle, 1);
  float sensitivity = g_mouse.sensitivity;
  g_mouse = MouseState{};
  g_mouse.sensitivity = sensitivity;
}

static void post_axis(uint32_t axis, float value) {
  EventAxis e = {axis, value};
  event_post_copy(EVENT_AXIS, &e, sizeof e);
}

void mouse_update(void) {
  if (!mouse_has_window()) return;
  int x = g_mouse.x, y = g_mouse.y;
  read_cursor(&x, &y);
  if (!g_mouse.polled) {
    g_mouse.polled = true;
    g_mouse.previous_x = x;
    g_mouse.previous_y = y;
  }
  g_mouse.x = x;
  g_mouse.y = y;
  post_axis(1, (float)(g_mouse.previous_x - x) * g_mouse.sensitivity);
  post_axis(2, (float)(g_mouse.previous_y - y) * g_mouse.sensitivity);
  if (g_mouse.captured) {
    g_mouse.x = g_mouse.capture_x;
    g_mouse.y = g_mouse.capture_y;
    put_cursor(g_mouse.capture_x, g_mouse.capture_y);
    g_mouse.previous_x = g_mouse.capture_x;
    g_mouse.previous_y = g_mouse.capture_y;
  } else {
    g_mouse.previous_x = x;
    g_mouse.previous_y = y;
  }
}

void mouse_position(int* x, int* y) {
  *x = g_mouse.captured ? g_mouse.capture_x : g_mouse.x;
  *y = g_mouse.captured ? g_mouse.capture_y : g_mouse.y;
}

void mouse_capture(void) {
  if (!mouse_has_window() || g_mouse.captured) return;
  int x = g_mouse.x, y = g_mouse.y;
  read_cursor(&x, &y);
  g_mouse.capture_x = x;
  g_mouse.capture_y = y;
  g_mouse.captured = true;
  window_system()->show_cursor(g_mouse.window->handle, 0);
}

void mouse_release(void) {
  if (!g_mouse.captured) return;
  g_mouse.captured = false;
  if (!mouse_has_window()) return;
  g_mouse.x = g_mouse.capture_x;
  g_mouse.y = g_mouse.capture_y;
  put_cursor(g_mouse.capture_x, g_mouse.capture_y);
  window_system()->show_cursor(g_mouse.window->handle, 1);
}

int mouse_captured(void) { return g_mouse.captured ? 1 : 0; }

int mouse_outside_client(void) {
  if (!mouse_has_window()) return 1;
  if (display_mode_active()) return 0;
  int wx = 0, wy = 0;
  const WindowSystem* sys = window_system();
  if (!sys->cursor_position(g_mouse.window->handle, &wx, &wy)) return 1;
  if (!sys->mouse_focus(g_mouse.window->handle)) return 1;
  return wx < 0 || wy < 0 || wx >= client_width() || wy >= client_height() ? 1 : 0;
}

void mouse_set_sensitivity(float value) {
  g_mouse.sensitivity = value;
  g_mouse.accumulated_x = 0.0f;
  g_mouse.accumulated_y = 0.0f;
}

int mouse_uses_directinput(void) { return 0; }

void mouse_on_event(uint32_t event, const void*) {
  if (event == EVENT_DEACTIVATE) {
    mouse_release();
  } else if (event == EVENT_SET_CURSOR) {
    // Until cursor images exist, the standard arrow is shown wherever the cursor is visible.
    if (!g_mouse.captured && mouse_has_window()) window_system()->show_cursor(g_mouse.window->handle, 1);
  }
}
