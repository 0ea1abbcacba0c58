#include "platform/quit.h"

#include <SDL2/SDL.h>

#include <cstring>

#include "platform/sdl_video.h"

static QuitFn g_quit_hook;
void quit_set_hook(QuitFn hook) { g_quit_hook = hook; }

void request_quit_code(int code) {
  if (g_quit_hook) {
    g_quit_hook(code);
    return;
  }
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_Event e;
  memset(&e, 0, sizeof e);
  e.type = sdl_quit_event_type();
  e.user.code = code;
  SDL_PushEvent(&e);
}

void request_quit(void) { request_quit_code(0); }
