#pragma once
// The OpenGL context of the client's window, over SDL: the framebuffer attributes chosen
// before the window is created (double-buffered, 8 bits per colour channel, 32 depth bits
// preferred and 24 accepted), the rendering context, buffer swaps, the swap interval and
// entry-point look-up. The GL backends reach all of it through the GlContextSystem table so
// their context handling can be tested against a fake; GL calls themselves live in the
// backends.
//
// Every call answers 0 or null on failure and reports nothing beyond stderr. Main thread only.
#include <cstdint>

struct Window;

struct GlContextSystem {
  // Creates a rendering context on the window and makes it current. Null on failure.
  void* (*create)(Window* window);
  // Makes the context current on the window; a null context releases the current one.
  int (*make_current)(Window* window, void* context);
  void (*destroy)(void* context);
  int (*swap)(Window* window);
  // 1 when the interval was applied.
  int (*set_swap_interval)(int interval);
  // 1 when the system lets the swap interval be changed at all.
  int (*swap_control_supported)(void);
  void* (*proc_address)(const char* name);
  // Depth bits of the window's framebuffer (0 when unknown).
  int (*depth_bits)(void);
};

// Installs the system side (null: SDL).
void gl_context_set_system(const GlContextSystem* system);
const GlContextSystem* gl_context_system(void);

// Framebuffer attributes for the next window: called by window creation with 32 and, when
// that fails, again with 24.
void gl_context_request_depth(int depth_bits);
