#include "platform/sdl_video.h"

#include <SDL2/SDL.h>

static unsigned g_quit_event = (unsigned)-1;

int sdl_video_start(void) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return 1;
  // The client decides itself when to quit and when to minimise.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return 0;
  g_quit_event = SDL_RegisterEvents(1);
  return 1;
}

void sdl_video_stop(void) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

unsigned sdl_quit_event_type(void) { return g_quit_event; }
