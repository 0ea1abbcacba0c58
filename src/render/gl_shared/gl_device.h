#pragma once
// The device side shared by the two OpenGL backends: the framebuffer check, the context and
// its version test, the device-wide record, and the operation table that both backends fill
// from the shared slots. Each backend adds only how it stores and binds a texture and how it
// sends vertices (GlBackendOps); the slots themselves live with their topic (gl_textures,
// gl_frame, gl_draw, gl_screenshot).
//
// Device life: context created (held until destroy) -> init_device -> frames ->
// shutdown_device -> destroy. A suspend releases the context and every device texture; the
// resume makes it current again, starts a new state generation and uploads the resident
// textures again. One GL backend is active at a time; all of this is process-wide and
// main-thread only. No GL error is ever queried.
#include <cstdint>

#include "assets/texture.h"
#include "render/gl_shared/gl_api.h"
#include "render/render.h"

struct Window;

struct GlBackendOps {
  // Stores the texture (already checked and replaced by the fallback where needed) under a
  // new name; 0 when nothing was stored.
  uint32_t (*store)(const Texture* texture);
  void (*release)(uint32_t name);
  // Makes name the texture of the next draw (through the shadow); 0 forgets the last one.
  void (*bind)(uint32_t name);
  void (*send)(DrawRecord* record, GLenum mode);
  int arrays;  // client arrays and anisotropy exist
};

struct GlShared {
  Window* window;
  void* context;
  const GlBackendOps* ops;
  float max_anisotropy;
  int suspended;
  int vsync_on;
  int vsync_known, vsync_supported;
  int viewport[4];
};
extern GlShared g_gl_shared;

// Parses "major.minor" from the start of a version string; 0 when it does not match.
int gl_parse_version(const char* text, int* major, int* minor);
// Vertex arrays and texture objects need more than OpenGL 1.0.
int gl_version_has_arrays(int major, int minor);
// The version of the current context, parsed once for the process; 0 when unreadable.
int gl_context_version(int* major, int* minor);
// The next gl_context_version parses again (tests that fake drivers of different versions).
void gl_context_forget_version(void);
// A whole space-separated word of a list (extension strings).
int gl_has_word(const char* list, const char* word);

// The framebuffer was chosen when the window was made; this only checks there is one.
int gl_pixel_format(Window* window);
// Creates the context on the window and makes it current; 0 on failure with nothing left.
int gl_shared_create_context(Window* window);
// Releases and destroys the context made by gl_shared_create_context.
void gl_shared_drop_context(Window* window);
// Fills the table with the shared slots and remembers the backend's operations.
void gl_shared_fill(RenderBackend* table, const GlBackendOps* ops);
