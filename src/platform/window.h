#pragma once
// The client's one top-level window: creation in one of three display modes (0 windowed,
// 1 full screen, 2 borderless on one monitor), placement, full-screen mode changes with
// their retry ladder and the 0/1/2 display-mode state, and the window procedure that turns
// window messages into event-bus events (keys with the client's key codes, text bytes,
// mouse buttons, wheel, activation, cursor requests).
//
// The system side (SDL here) is reached only through the WindowSystem table, so all of the
// logic runs in tests against a fake system without a display.
#include <cstdint>

#include "platform/display.h"

struct Rect {
  int left, top, right, bottom;
};

enum : int { DISPLAY_WINDOWED = 0, DISPLAY_FULL_SCREEN = 1, DISPLAY_BORDERLESS = 2 };

struct Window {
  void* handle;
  int width, height;  // requested client size, at least 320 x 200
  int bit_depth, refresh;
  int display_mode;
  int monitor;  // negative: the monitor nearest the window
  int vsync;
  uint32_t held_buttons;  // 1 left, 2 right, 4 middle
  int has_capture;
  Rect monitor_rect, work_rect;
  uint32_t pending_high_surrogate;
  uint8_t pressed[121];
};

// The system's window services. Every slot must be filled.
struct WindowSystem {
  // A hidden 1 x 1 window at (0, 0); popup: topmost without frame (full screen). Null on failure.
  void* (*create)(const char* title, int popup);
  void (*destroy)(void* handle);
  // Moves and sizes the window so that its client area is the rectangle.
  void (*set_client_rect)(void* handle, Rect client);
  void (*set_bordered)(void* handle, int bordered);
  void (*set_topmost)(void* handle, int topmost);
  void (*show)(void* handle);
  void (*minimise)(void* handle);
  void (*restore)(void* handle);
  // Frame thickness around the client area (0 when unknown).
  void (*frame)(void* handle, Rect* frame);
  void (*set_minimum_client_size)(void* handle, int width, int height);
  int (*dpi)(void* handle);
  int (*monitor_count)(void);
  // Monitor and work-area rectangles of monitor index; 0 when there is no such monitor.
  int (*monitor_rects)(int index, Rect* monitor, Rect* work);
  int (*monitor_of_window)(void* handle);
  int (*list_modes)(void* handle, DisplayMode* out, int capacity);
  // The desktop's current settings; 0 when they cannot be read.
  int (*desktop_mode)(void* handle, DisplayMode* out);
  // The screen's size (the primary display's bounds) with the colour depth and refresh rate
  // the system reports for the screen, 0 where unknown; 0 when even the size is unknown.
  int (*screen_metrics)(void* handle, DisplayMode* out);
  // Full-screen change to the listed mode, setting the fields named; 1 on success.
  int (*change_mode)(void* handle, const DisplayMode* mode, uint32_t fields);
  void (*restore_desktop)(void* handle);
  void (*capture)(void* handle, int on);
  // 1 when the window is the active (foreground, keyboard-focus) window.
  int (*is_active)(void* handle);
  // The cursor in client pixels from the client's top-left corner (possibly outside the
  // client area); 0 when it cannot be read.
  int (*cursor_position)(void* handle, int* x, int* y);
  // Moves the cursor to a client pixel (top-left origin).
  void (*warp_cursor)(void* handle, int x, int y);
  // Shows (1) or hides (0) the system cursor over the window.
  void (*show_cursor)(void* handle, int show);
  // 1 when the pointer is over this window with no other window on top of it.
  int (*mouse_focus)(void* handle);
};

// Installs the system side (null: SDL).
void window_set_system(const WindowSystem* system);
const WindowSystem* window_system(void);

// Calls out to the renderer, installed by the composition root (null: nothing happens).
struct WindowRendererHooks {
  void (*resize)(int width, int height);
  void (*suspend)(Window* window, int flag);
};
void window_set_renderer_hooks(const WindowRendererHooks* hooks);
// The window procedure's calls through those hooks.
void window_renderer_resize(int width, int height);
void window_renderer_suspend(Window* window, int flag);

// Also makes a fatal end of the process put the desktop display mode back.
int window_create(Window* window, int width, int height, int bit_depth, int refresh, int display_mode,
                  int monitor, int vsync, const char* title);
// Full screen only (other modes succeed at once): matches the requested mode and applies it,
// then the desktop's depth and refresh, then size alone; 0 after restoring the desktop mode.
int window_set_display_mode(Window* window);
void window_place_and_show(Window* window);
void window_destroy(Window* window);
void monitor_rects(Window* window, int monitor, Rect* monitor_rect, Rect* work_rect);

// Outer rectangle of a windowed client area: width x dpi / 96 by height x dpi / 96 (rounded),
// grown by the frame, clamped to the work area and centred in it.
Rect window_windowed_rect(int width, int height, int dpi, Rect frame, Rect work);
// Smallest client size the player may drag the window to at this DPI.
void window_minimum_client_size(int dpi, int* width, int* height);
