#include "render/gl_shared/gl_draw.h"

#include <cstring>

#include "base/math.h"
#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_state.h"
#include "render/gl_shared/gl_textures.h"

namespace {

void load_matrices(const DrawRecord* r) {
  if (r->flags & DRAW_SCREEN_SPACE) {
    gl_state_load_matrix(GL_MATRIX_PROJECTION, nullptr);
    gl_state_load_matrix(GL_MATRIX_MODELVIEW, nullptr);
    return;
  }
  gl_state_load_matrix(GL_MATRIX_PROJECTION, &r->projection);
  // The product is kept with its factors: most draws of a frame repeat both.
  static Mat4 model, view, modelview;
  if (memcmp(&model, &r->model, sizeof model) != 0 || memcmp(&view, &r->view, sizeof view) != 0) {
    model = r->model;
    view = r->view;
    mat4_multiply(&model, &view, &modelview);
  }
  gl_state_load_matrix(GL_MATRIX_MODELVIEW, &modelview);
}

}  // namespace

int gl_draw(DrawRecord* r) {
  GlShared* s = &g_gl_shared;
  if (!r) return 0;
  uint32_t name = 0;
  if ((r->flags & DRAW_TEXTURE) && !gl_texture_for_draw(r->texture, &name)) return 0;
  gl_state_enable(GL_ITEM_TEXTURE, name != 0);
  if (name) s->ops->bind(name);

  int depth_test = (r->flags & DRAW_DEPTH_TEST) != 0;
  gl_state_enable(GL_ITEM_DEPTH_TEST, depth_test);
  if (depth_test) gl_state_depth_function(gl_depth_function(r->depth_function));
  gl_state_enable(GL_ITEM_ALPHA_TEST, (r->flags & DRAW_ALPHA_TEST) != 0);
  gl_state_enable(GL_ITEM_CULL, (r->flags & DRAW_CULL) != 0);
  int blend = (r->flags & DRAW_BLEND) != 0;
  gl_state_enable(GL_ITEM_BLEND, blend);
  GLenum source, destination;
  if (blend && gl_blend_factors(r->blend, &source, &destination))
    gl_state_blend_function(source, destination);
  gl_state_depth_mask((r->flags & DRAW_NO_DEPTH_WRITE) == 0);
  gl_state_colour_mask((r->flags & DRAW_NO_COLOUR_WRITE) == 0);

  GLenum mode;
  switch (r->primitive) {
    case PRIM_TRIANGLES:
      mode = GL_TRIANGLES;
      break;
    case PRIM_POINTS:
      mode = GL_POINTS;
      gl_state_point_size(r->point_size);
      break;
    case PRIM_LINES:
      mode = GL_LINES;
      gl_state_line_width(r->line_width);
      break;
    default:
      return 0;
  }

  int fogged = (r->flags & DRAW_FOG) && !(r->flags & DRAW_SCREEN_SPACE) && r->fog_end > r->fog_start;
  gl_state_enable(GL_ITEM_FOG, fogged);
  if (fogged) gl_state_fog(r->fog_start, r->fog_end, r->fog_colour);
  load_matrices(r);

  if (!r->vertices || r->count == 0) return 0;
  if (!r->colours_converted) {
    gl_convert_colours(r->vertices, r->count);
    r->colours_converted = 1;
  }
  s->ops->send(r, mode);
  return 1;
}

int gl_draw_transforms_vertices(void) { return 1; }

GLenum gl_depth_function(int32_t function) {
  static const GLenum FUNCTIONS[8] = {GL_NEVER,   GL_LESS,   GL_EQUAL,    GL_LEQUAL,
                                      GL_GREATER, GL_GEQUAL, GL_NOTEQUAL, GL_ALWAYS};
  return function >= 0 && function < 8 ? FUNCTIONS[function] : GL_LESS;
}

int gl_blend_factors(int32_t blend, GLenum* source, GLenum* destination) {
  switch (blend) {
    case BLEND_ALPHA:
      *source = GL_SRC_ALPHA;
      *destination = GL_ONE_MINUS_SRC_ALPHA;
      return 1;
    case BLEND_PREMULTIPLIED:
      *source = GL_ONE;
      *destination = GL_ONE_MINUS_SRC_ALPHA;
      return 1;
    case BLEND_ADDITIVE:
      *source = GL_ONE;
      *destination = GL_ONE;
      return 1;
    default:
      return 0;
  }
}

void gl_convert_colours(RenderVertex* vertices, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) {
    uint32_t c = __builtin_bswap32(vertices[i].colour);
    vertices[i].colour = c >> 8 | c << 24;
  }
}
