#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

// A box blocks until someone closes it, so it is shown only where a display exists.
static int display_exists(void) {
  const char* x = getenv("DISPLAY");
  const char* w = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

static void system_box(int kind, const char* title, const char* text) {
  if (!display_exists()) return;
  SDL_ShowSimpleMessageBox(kind ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING, title, text, nullptr);
}

static MessageBoxFn g_show = system_box;

void message_box_set(MessageBoxFn show) { g_show = show ? show : system_box; }

void message_warning(const char* text) {
  fprintf(stderr, "%s\n", text);
  fflush(stderr);
  g_show(0, "Client Warning", text);
}

void message_error(const char* text) {
  fprintf(stderr, "%s\n", text);
  fflush(stderr);
  g_show(1, "Client Error", text);
}

void message_show_box(int kind, const char* text) {
  g_show(kind, kind ? "Client Error" : "Client Warning", text);
}

void message_error_box_only(const char* text) { message_show_box(1, text); }
