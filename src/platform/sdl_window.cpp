#include "platform/sdl_window.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/gl_context.h"
#include "platform/sdl_video.h"

static SDL_Window* win(void* handle) { return (SDL_Window*)handle; }

// Why the system refused, for whoever reads stderr; the player sees the client's message.
static void sdl_report(const char* what) { fprintf(stderr, "%s: %s\n", what, SDL_GetError()); }

static void* sdl_create(const char* title, int popup) {
  if (!sdl_video_start()) {
    sdl_report("video start-up failed");
    return nullptr;
  }
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL;
  flags |= popup ? (SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP) : SDL_WINDOW_RESIZABLE;
  // The framebuffer is fixed when the window is made: 32 depth bits where the driver has
  // them, else 24 (software rasterisers offer 24).
  gl_context_request_depth(32);
  SDL_Window* window = SDL_CreateWindow(title, 0, 0, 1, 1, flags);
  if (!window) {
    gl_context_request_depth(24);
    window = SDL_CreateWindow(title, 0, 0, 1, 1, flags);
  }
  if (!window) sdl_report("window creation failed");
  return window;
}

static void sdl_destroy(void* h) {
  SDL_HideWindow(win(h));
  SDL_DestroyWindow(win(h));
}

static void sdl_set_client_rect(void* h, Rect r) {
  SDL_SetWindowSize(win(h), r.right - r.left, r.bottom - r.top);
  SDL_SetWindowPosition(win(h), r.left, r.top);
}

static void sdl_set_bordered(void* h, int bordered) {
  SDL_SetWindowBordered(win(h), bordered ? SDL_TRUE : SDL_FALSE);
}
static void sdl_set_topmost(void* h, int on) { SDL_SetWindowAlwaysOnTop(win(h), on ? SDL_TRUE : SDL_FALSE); }
static void sdl_show(void* h) { SDL_ShowWindow(win(h)); }
static void sdl_minimise(void* h) { SDL_MinimizeWindow(win(h)); }
static void sdl_restore(void* h) { SDL_RestoreWindow(win(h)); }

static void sdl_frame(void* h, Rect* frame) {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(win(h), &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
  *frame = Rect{left, top, right, bottom};
}

static void sdl_set_minimum(void* h, int w, int hgt) { SDL_SetWindowMinimumSize(win(h), w, hgt); }

// SDL has no per-window DPI on every system; 96 is the neutral answer.
static int sdl_dpi(void*) { return 96; }

static int sdl_monitor_count(void) { return SDL_GetNumVideoDisplays(); }

static Rect rect_of(const SDL_Rect& r) { return Rect{r.x, r.y, r.x + r.w, r.y + r.h}; }

static int sdl_monitor_rects(int index, Rect* monitor, Rect* work) {
  if (index < 0 || index >= SDL_GetNumVideoDisplays()) return 0;
  SDL_Rect m, w;
  if (SDL_GetDisplayBounds(index, &m) != 0) return 0;
  if (SDL_GetDisplayUsableBounds(index, &w) != 0) w = SDL_Rect{0, 0, 0, 0};
  *monitor = rect_of(m);
  *work = rect_of(w);
  return 1;
}

static int sdl_monitor_of_window(void* h) {
  int index = h ? SDL_GetWindowDisplayIndex(win(h)) : 0;
  return index < 0 ? 0 : index;
}

static int display_of(void* h) { return sdl_monitor_of_window(h); }

// SDL reports a 24-bit desktop where the system would say 32.
static DisplayMode mode_of(const SDL_DisplayMode& m) {
  int bpp = (int)SDL_BITSPERPIXEL(m.format);
  if (bpp == 24) bpp = 32;
  return DisplayMode{m.w, m.h, bpp, m.refresh_rate};
}

static int sdl_list_modes(void* h, DisplayMode* out, int capacity) {
  int display = display_of(h);
  int n = SDL_GetNumDisplayModes(display);
  if (n < 1) sdl_report("the display lists no modes");
  int count = 0;
  for (int i = 0; i < n && count < capacity; i++) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(display, i, &m) == 0) out[count++] = mode_of(m);
  }
  return count;
}

static int sdl_desktop_mode(void* h, DisplayMode* out) {
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(display_of(h), &m) != 0) return 0;
  *out = mode_of(m);
  return 1;
}

static int sdl_screen_metrics(void* h, DisplayMode* out) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) return 0;
  *out = DisplayMode{bounds.w, bounds.h, 0, 0};
  SDL_DisplayMode current;
  if (SDL_GetCurrentDisplayMode(0, &current) == 0) {
    DisplayMode m = mode_of(current);
    out->bit_depth = m.bit_depth;
    out->refresh = m.refresh;
  } else if (h) {
    // The window's surface has the screen's colour format.
    Uint32 format = SDL_GetWindowPixelFormat(win(h));
    if (format != SDL_PIXELFORMAT_UNKNOWN) {
      int bpp = (int)SDL_BITSPERPIXEL(format);
      out->bit_depth = bpp == 24 ? 32 : bpp;
    }
  }
  return 1;
}

static int sdl_change_mode(void* h, const DisplayMode* mode, uint32_t fields) {
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(display_of(h), &desktop) != 0) return 0;
  SDL_DisplayMode want = desktop;
  if (fields & MODE_FIELD_WIDTH) want.w = mode->width;
  if (fields & MODE_FIELD_HEIGHT) want.h = mode->height;
  want.refresh_rate = (fields & MODE_FIELD_REFRESH) ? mode->refresh : 0;
  // Desktops today run at one colour depth: the pixel format stays the desktop's, and a
  // request that names a bit depth is satisfied at that depth or not at all.
  if ((fields & MODE_FIELD_BIT_DEPTH) && mode->bit_depth != mode_of(desktop).bit_depth) return 0;
  // Full screen on X is a request to the window manager; with none running (a kiosk, a bare
  // X server) the window would keep its created size of one pixel. Sized to the mode while it
  // is still windowed, it covers the screen either way.
  if (!(SDL_GetWindowFlags(win(h)) & SDL_WINDOW_FULLSCREEN)) {
    SDL_SetWindowPosition(win(h), 0, 0);
    SDL_SetWindowSize(win(h), want.w, want.h);
  }
  if (SDL_SetWindowDisplayMode(win(h), &want) != 0 ||
      SDL_SetWindowFullscreen(win(h), SDL_WINDOW_FULLSCREEN) != 0) {
    sdl_report("display mode change failed");
    return 0;
  }
  return 1;
}

static void sdl_restore_desktop(void* h) {
  if (h) SDL_SetWindowFullscreen(win(h), 0);
}

static void sdl_capture(void*, int on) { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }

static int sdl_is_active(void* h) {
  return h && (SDL_GetWindowFlags(win(h)) & SDL_WINDOW_INPUT_FOCUS) ? 1 : 0;
}

static int sdl_cursor_position(void* h, int* x, int* y) {
  if (!h) return 0;
  // Over the window, the position its motion events carried; elsewhere the global query,
  // which some X servers only refresh from raw-motion events and may answer late.
  if (SDL_GetMouseFocus() == win(h)) {
    SDL_GetMouseState(x, y);
    return 1;
  }
  int gx = 0, gy = 0, wx = 0, wy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  SDL_GetWindowPosition(win(h), &wx, &wy);
  *x = gx - wx;
  *y = gy - wy;
  return 1;
}

static void sdl_warp_cursor(void* h, int x, int y) {
  if (h) SDL_WarpMouseInWindow(win(h), x, y);
}

static void sdl_show_cursor(void*, int show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

static int sdl_mouse_focus(void* h) { return h && SDL_GetMouseFocus() == win(h) ? 1 : 0; }

static const WindowSystem SDL_WINDOW_SYSTEM = {
    sdl_create,
    sdl_destroy,
    sdl_set_client_rect,
    sdl_set_bordered,
    sdl_set_topmost,
    sdl_show,
    sdl_minimise,
    sdl_restore,
    sdl_frame,
    sdl_set_minimum,
    sdl_dpi,
    sdl_monitor_count,
    sdl_monitor_rects,
    sdl_monitor_of_window,
    sdl_list_modes,
    sdl_desktop_mode,
    sdl_screen_metrics,
    sdl_change_mode,
    sdl_restore_desktop,
    sdl_capture,
    sdl_is_active,
    sdl_cursor_position,
    sdl_warp_cursor,
    sdl_show_cursor,
    sdl_mouse_focus,
};

const WindowSystem* sdl_window_system(void) { return &SDL_WINDOW_SYSTEM; }
