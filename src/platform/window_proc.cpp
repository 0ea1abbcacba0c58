#include "platform/window_proc.h"

#include <cstring>

#include "base/event_bus.h"
#include "base/utf8.h"
#include "platform/display.h"
#include "platform/keymap.h"
#include "platform/quit.h"

static void post_key(uint32_t code, uint32_t action) {
  EventKey key = {code, action};
  event_post_copy(EVENT_KEY, &key, sizeof key);
}

static void post_button(uint32_t button, uint32_t action) {
  EventButton b = {button, action};
  event_post_copy(EVENT_MOUSE_BUTTON, &b, sizeof b);
}

void window_post_code_point(uint32_t code_point, int repeat) {
  uint8_t bytes[4];
  int n = utf8_encode(code_point, bytes);
  if (repeat < 1) repeat = 1;
  for (int r = 0; r < repeat; r++)
    for (int i = 0; i < n; i++) event_post_copy(EVENT_TEXT, &bytes[i], 1);
}

uint32_t utf16_next(const uint16_t** cursor) {
  if (!cursor || !*cursor) return 0;
  const uint16_t* p = *cursor;
  uint32_t unit = p[0];
  if (unit == 0) return 0;
  if (unit >= 0xDC00 && unit <= 0xDFFF) return 0;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    uint32_t low = p[1];
    if (low < 0xDC00 || low > 0xDFFF) return 0;
    *cursor += 2;
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  }
  *cursor += 1;
  return unit;
}

static void window_char(Window* window, uint32_t unit, int repeat) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    window->pending_high_surrogate = unit;
    return;
  }
  uint32_t code_point = unit;
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (!window->pending_high_surrogate) return;
    code_point = 0x10000 + ((window->pending_high_surrogate - 0xD800) << 10) + (unit - 0xDC00);
  }
  window->pending_high_surrogate = 0;
  if (code_point) window_post_code_point(code_point, repeat);
}

static const uint32_t BUTTON_BITS[3] = {1, 2, 4};

static void window_capture_lost(Window* window) {
  for (uint32_t b = 0; b < 3; b++)
    if (window->held_buttons & BUTTON_BITS[b]) post_button(b, ACTION_RELEASED);
  window->held_buttons = 0;
}

static void window_release_capture(Window* window) {
  window->has_capture = 0;
  window_system()->capture(window->handle, 0);
}

static void window_activate_app(Window* window, int gaining) {
  const WindowSystem* sys = window_system();
  if (display_mode_active()) {
    if (gaining) {
      if (display_mode_state() == 2 && display_reapply()) {
        DisplayMode mode = display_mode_size();
        sys->set_topmost(window->handle, 1);
        sys->set_client_rect(window->handle, Rect{0, 0, mode.width, mode.height});
        sys->restore(window->handle);
        window_renderer_suspend(window, 0);
      }
    } else if (display_mode_state() == 1) {
      window_renderer_suspend(window, 1);
      sys->set_topmost(window->handle, 0);
      sys->minimise(window->handle);
      display_undo_for_background();
    }
    return;
  }
  if (window->display_mode != DISPLAY_BORDERLESS) return;
  monitor_rects(window, window->monitor, &window->monitor_rect, &window->work_rect);
  if (gaining) {
    sys->set_client_rect(window->handle, window->monitor_rect);
    return;
  }
  Rect m = window->monitor_rect, w = window->work_rect;
  // A work area as large as the monitor leaves nothing to uncover (no task bar to show).
  if (w.right - w.left >= m.right - m.left && w.bottom - w.top >= m.bottom - m.top) return;
  sys->set_client_rect(window->handle, w);
}

void window_proc(Window* window, const WindowMessage* msg) {
  switch (msg->kind) {
    case WMSG_CLOSE:
      request_quit();
      break;
    case WMSG_SIZE:
      if (!msg->param && msg->x > 0 && msg->y > 0) window_renderer_resize(msg->x, msg->y);
      break;
    case WMSG_ACTIVATE:
      event_post_copy(msg->param ? EVENT_ACTIVATE : EVENT_DEACTIVATE, nullptr, 0);
      event_dispatch();
      break;
    case WMSG_ACTIVATE_APP:
      window_activate_app(window, msg->param != 0);
      break;
    case WMSG_SET_CURSOR:
      if (msg->param) {
        event_post_copy(EVENT_SET_CURSOR, nullptr, 0);
        event_dispatch();
      }
      break;
    case WMSG_SETTINGS_CHANGE:
      if (window->display_mode == DISPLAY_BORDERLESS) {
        // In the background the task bar stays uncovered: the work area, without activation.
        const WindowSystem* sys = window_system();
        monitor_rects(window, window->monitor, &window->monitor_rect, &window->work_rect);
        int active = sys->is_active(window->handle);
        sys->set_client_rect(window->handle, active ? window->monitor_rect : window->work_rect);
      }
      break;
    case WMSG_KEY_DOWN: {
      uint32_t code = key_code_from_scan(msg->param);
      if (!code) break;
      if (msg->param & KEY_PARAM_REPEAT) {
        post_key(code, ACTION_REPEAT);
      } else {
        post_key(code, ACTION_PRESSED);
        post_key(code, ACTION_HELD);
      }
      window->pressed[code] = 1;
      break;
    }
    case WMSG_KEY_UP: {
      uint32_t code = key_code_from_scan(msg->param);
      if (!code) break;
      if (!window->pressed[code]) {
        post_key(code, ACTION_PRESSED);
        post_key(code, ACTION_HELD);
      }
      post_key(code, ACTION_RELEASED);
      window->pressed[code] = 0;
      break;
    }
    case WMSG_CHAR:
      window_char(window, msg->param & 0xFFFF, msg->code);
      break;
    case WMSG_TEXT: {
      uint32_t n = msg->length < sizeof msg->text ? msg->length : (uint32_t)sizeof msg->text;
      for (uint32_t i = 0; i < n; i++) event_post_copy(EVENT_TEXT, &msg->text[i], 1);
      break;
    }
    case WMSG_BUTTON_DOWN:
      if (msg->param > 2) break;
      post_button(msg->param, ACTION_PRESSED);
      post_button(msg->param, ACTION_HELD);
      window->held_buttons |= BUTTON_BITS[msg->param];
      if (!window->has_capture) {
        window->has_capture = 1;
        window_system()->capture(window->handle, 1);
      }
      break;
    case WMSG_BUTTON_UP:
      if (msg->param > 2) break;
      post_button(msg->param, ACTION_RELEASED);
      window->held_buttons &= ~BUTTON_BITS[msg->param];
      if (!window->held_buttons && window->has_capture) window_release_capture(window);
      break;
    case WMSG_KILL_FOCUS:
      if (window->has_capture) {
        window_release_capture(window);
        window_capture_lost(window);
      }
      break;
    case WMSG_CAPTURE_LOST:
      window->has_capture = 0;
      window_capture_lost(window);
      break;
    case WMSG_WHEEL:
      // A notch without vertical movement (a horizontal scroll) is not a wheel step.
      if (msg->code != 0) {
        EventAxis axis = {0, msg->code > 0 ? 1.0f : -1.0f};
        event_post_copy(EVENT_AXIS, &axis, sizeof axis);
      }
      break;
    default:
      break;
  }
}
