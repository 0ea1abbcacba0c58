#include "render/gl_legacy/gl_lists.h"

#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_state.h"
#include "render/gl_shared/gl_textures.h"

namespace {

uint32_t lists_store(const Texture* texture) {
  GLenum format;
  GLint alignment;
  if (!gl_texture_formats(texture, &format, &alignment)) return 0;
  GLuint list = g_gl.GenLists(1);
  if (!list) return 0;
  g_gl.NewList(list, GL_COMPILE);
  gl_texture_specify(texture, format == GL_RGBA ? 4 : 3, format, alignment, 0);
  g_gl.EndList();
  return list;
}

void lists_release(uint32_t list) { g_gl.DeleteLists(list, 1); }

void send_vertex(const RenderVertex* v) {
  g_gl.Color4ubv((const GLubyte*)&v->colour);
  g_gl.TexCoord2fv(&v->u);
  g_gl.Vertex3fv(&v->x);
}

void lists_send(DrawRecord* r, GLenum mode) {
  g_gl.Begin(mode);
  if (r->index_total > 0 && r->indices) {
    for (uint32_t i = 0; i < r->index_total; i++) {
      uint16_t index = r->indices[i];
      if (index < r->count) send_vertex(&r->vertices[index]);
    }
  } else {
    for (uint32_t i = 0; i < r->count; i++) send_vertex(&r->vertices[i]);
  }
  g_gl.End();
}

const GlBackendOps LISTS_OPS = {lists_store, lists_release, gl_state_call_list, lists_send, 0};

}  // namespace

int gl_lists_init(Window* window, RenderBackend* table) {
  if (!gl_shared_create_context(window)) return 0;
  gl_shared_fill(table, &LISTS_OPS);
  return 1;
}
