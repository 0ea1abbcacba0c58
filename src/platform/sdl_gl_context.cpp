// The GL context over SDL.
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/gl_context.h"
#include "platform/window.h"

namespace {

SDL_Window* sdl_window(Window* window) { return window ? (SDL_Window*)window->handle : nullptr; }

void* sdl_gl_create(Window* window) {
  SDL_Window* w = sdl_window(window);
  if (!w) return nullptr;
  SDL_GLContext context = SDL_GL_CreateContext(w);
  if (!context) {
    fprintf(stderr, "OpenGL context creation failed: %s\n", SDL_GetError());
    return nullptr;
  }
  if (SDL_GL_MakeCurrent(w, context) != 0) {
    SDL_GL_DeleteContext(context);
    return nullptr;
  }
  return context;
}

int sdl_gl_make_current(Window* window, void* context) {
  // Releasing needs no window: SDL accepts a null window with a null context.
  return SDL_GL_MakeCurrent(context ? sdl_window(window) : nullptr, (SDL_GLContext)context) == 0;
}

void sdl_gl_destroy(void* context) {
  if (context) SDL_GL_DeleteContext((SDL_GLContext)context);
}

int sdl_gl_swap(Window* window) {
  SDL_Window* w = sdl_window(window);
  if (!w) return 0;
  SDL_GL_SwapWindow(w);
  return 1;
}

int sdl_gl_set_swap_interval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

// SDL answers -1 from SetSwapInterval when the driver has no swap control, so re-applying
// the interval in force tells without changing anything.
int sdl_gl_swap_control_supported(void) {
  int current = SDL_GL_GetSwapInterval();
  return SDL_GL_SetSwapInterval(current < 0 ? 0 : current) == 0;
}

void* sdl_gl_proc_address(const char* name) { return name ? SDL_GL_GetProcAddress(name) : nullptr; }

int sdl_gl_depth_bits(void) {
  int bits = 0;
  return SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &bits) == 0 ? bits : 0;
}

const GlContextSystem SDL_GL_SYSTEM = {
    sdl_gl_create,       sdl_gl_make_current,      sdl_gl_destroy,
    sdl_gl_swap,         sdl_gl_set_swap_interval, sdl_gl_swap_control_supported,
    sdl_gl_proc_address, sdl_gl_depth_bits,
};

const GlContextSystem* g_system = &SDL_GL_SYSTEM;

}  // namespace

void gl_context_set_system(const GlContextSystem* system) { g_system = system ? system : &SDL_GL_SYSTEM; }
const GlContextSystem* gl_context_system(void) { return g_system; }

void gl_context_request_depth(int depth_bits) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
}
