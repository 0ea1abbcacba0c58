#include "render/gl_arrays/gl_arrays.h"

#include <cstddef>

#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_state.h"
#include "render/gl_shared/gl_textures.h"

namespace {

uint32_t arrays_store(const Texture* texture) {
  GLenum format;
  GLint alignment;
  if (!gl_texture_formats(texture, &format, &alignment)) return 0;
  GLuint name = 0;
  g_gl.GenTextures(1, &name);
  if (!name) return 0;
  gl_state_bind(name);
  gl_texture_specify(texture, (GLint)format, format, alignment, 1);
  return name;
}

void arrays_release(uint32_t name) {
  GLuint n = name;
  g_gl.DeleteTextures(1, &n);
}

void arrays_send(DrawRecord* r, GLenum mode) {
  const char* base = (const char*)r->vertices;
  gl_state_pointer(GL_ARRAY_VERTEX, 3, GL_FLOAT, sizeof(RenderVertex), base + offsetof(RenderVertex, x));
  gl_state_pointer(GL_ARRAY_TEXCOORD, 2, GL_FLOAT, sizeof(RenderVertex), base + offsetof(RenderVertex, u));
  gl_state_pointer(GL_ARRAY_COLOUR, 4, GL_UNSIGNED_BYTE, sizeof(RenderVertex),
                   base + offsetof(RenderVertex, colour));
  if (r->index_total > 0 && r->indices)
    g_gl.DrawElements(mode, (GLsizei)r->index_total, GL_UNSIGNED_SHORT, r->indices);
  else
    g_gl.DrawArrays(mode, 0, (GLsizei)r->count);
}

const GlBackendOps ARRAYS_OPS = {arrays_store, arrays_release, gl_state_bind, arrays_send, 1};

}  // namespace

int gl_arrays_init(Window* window, RenderBackend* table) {
  if (!gl_shared_create_context(window)) return 0;
  int major = 0, minor = 0;
  if (!gl_context_version(&major, &minor) || !gl_version_has_arrays(major, minor)) {
    gl_shared_drop_context(window);
    return 0;
  }
  gl_shared_fill(table, &ARRAYS_OPS);
  return 1;
}
