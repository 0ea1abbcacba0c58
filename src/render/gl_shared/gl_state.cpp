#include "render/gl_shared/gl_state.h"

#include <cstring>

namespace {

struct Shadow {
  uint32_t generation[32];  // per item; 0 is never current (generations start at 1)
  int enabled[GL_ITEM_ENABLE_COUNT];
  uint32_t bound;
  uint32_t list;
  GLenum depth_function;
  GLenum blend_source, blend_destination;
  int depth_mask, colour_mask;
  float point_size, line_width;
  GLint fog_mode;
  float fog_range[2];
  float fog_colour[4];
  int scissor[4];
  struct Pointer {
    GLint size;
    GLenum type;
    GLsizei stride;
    const void* pointer;
  } pointers[3];
  GLenum matrix_mode;
  Mat4 matrices[2];
  int identity[2];
};

enum ShadowItem : int {
  ITEM_ENABLE_FIRST = 0,  // one per GlEnableItem
  ITEM_BOUND = GL_ITEM_ENABLE_COUNT,
  ITEM_LIST,
  ITEM_DEPTH_FUNCTION,
  ITEM_BLEND,
  ITEM_DEPTH_MASK,
  ITEM_COLOUR_MASK,
  ITEM_POINT_SIZE,
  ITEM_LINE_WIDTH,
  ITEM_FOG_MODE,
  ITEM_FOG_RANGE,
  ITEM_FOG_COLOUR,
  ITEM_SCISSOR,
  ITEM_POINTER_FIRST,  // three
  ITEM_MATRIX_MODE = ITEM_POINTER_FIRST + 3,
  ITEM_MATRIX_FIRST,  // two
  ITEM_COUNT = ITEM_MATRIX_FIRST + 2
};
static_assert(ITEM_COUNT <= 32, "shadow items");

Shadow g_shadow;
uint32_t g_generation = 1;

const GLenum ENABLE_CAPS[GL_ITEM_ENABLE_COUNT] = {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_ALPHA_TEST,  GL_CULL_FACE,
                                                  GL_BLEND,      GL_FOG,        GL_SCISSOR_TEST};
const GLenum MATRIX_MODES[2] = {GL_PROJECTION, GL_MODELVIEW};

// True when the item must be issued; the caller then stores the value.
bool stale(int item, bool same_value) {
  if (g_shadow.generation[item] == g_generation && same_value) return false;
  g_shadow.generation[item] = g_generation;
  return true;
}

void matrix_mode(GLenum mode) {
  if (!stale(ITEM_MATRIX_MODE, g_shadow.matrix_mode == mode)) return;
  g_shadow.matrix_mode = mode;
  g_gl.MatrixMode(mode);
}

}  // namespace

void gl_state_reset(void) {
  memset(&g_shadow, 0, sizeof g_shadow);
  g_generation = 1;
}

void gl_state_new_generation(void) {
  if (++g_generation == 0) g_generation = 1;
}

void gl_state_enable(GlEnableItem item, int on) {
  on = on ? 1 : 0;
  if (!stale((int)ITEM_ENABLE_FIRST + (int)item, g_shadow.enabled[item] == on)) return;
  g_shadow.enabled[item] = on;
  if (on)
    g_gl.Enable(ENABLE_CAPS[item]);
  else
    g_gl.Disable(ENABLE_CAPS[item]);
}

void gl_state_bind(uint32_t name) {
  if (!stale(ITEM_BOUND, g_shadow.bound == name)) return;
  g_shadow.bound = name;
  g_gl.BindTexture(GL_TEXTURE_2D, name);
}

void gl_state_call_list(uint32_t list) {
  if (list == 0) {
    g_shadow.list = 0;
    g_shadow.generation[ITEM_LIST] = 0;
    return;
  }
  if (!stale(ITEM_LIST, g_shadow.list == list)) return;
  g_shadow.list = list;
  g_gl.CallList(list);
}

void gl_state_pointer(GlArray array, GLint size, GLenum type, GLsizei stride, const void* pointer) {
  Shadow::Pointer* p = &g_shadow.pointers[array];
  bool same = p->size == size && p->type == type && p->stride == stride && p->pointer == pointer;
  if (!stale((int)ITEM_POINTER_FIRST + (int)array, same)) return;
  *p = Shadow::Pointer{size, type, stride, pointer};
  if (array == GL_ARRAY_VERTEX)
    g_gl.VertexPointer(size, type, stride, pointer);
  else if (array == GL_ARRAY_TEXCOORD)
    g_gl.TexCoordPointer(size, type, stride, pointer);
  else
    g_gl.ColorPointer(size, type, stride, pointer);
}

void gl_state_depth_function(GLenum f) {
  if (!stale(ITEM_DEPTH_FUNCTION, g_shadow.depth_function == f)) return;
  g_shadow.depth_function = f;
  g_gl.DepthFunc(f);
}

void gl_state_blend_function(GLenum s, GLenum d) {
  if (!stale(ITEM_BLEND, g_shadow.blend_source == s && g_shadow.blend_destination == d)) return;
  g_shadow.blend_source = s;
  g_shadow.blend_destination = d;
  g_gl.BlendFunc(s, d);
}

void gl_state_depth_mask(int on) {
  if (!stale(ITEM_DEPTH_MASK, g_shadow.depth_mask == on)) return;
  g_shadow.depth_mask = on;
  g_gl.DepthMask(on ? GL_TRUE : GL_FALSE);
}

void gl_state_colour_mask(int on) {
  if (!stale(ITEM_COLOUR_MASK, g_shadow.colour_mask == on)) return;
  g_shadow.colour_mask = on;
  GLboolean b = on ? GL_TRUE : GL_FALSE;
  g_gl.ColorMask(b, b, b, b);
}

void gl_state_point_size(float size) {
  if (!stale(ITEM_POINT_SIZE, g_shadow.point_size == size)) return;
  g_shadow.point_size = size;
  g_gl.PointSize(size);
}

void gl_state_line_width(float width) {
  if (!stale(ITEM_LINE_WIDTH, g_shadow.line_width == width)) return;
  g_shadow.line_width = width;
  g_gl.LineWidth(width);
}

void gl_state_fog(float start, float end, const float rgb[3]) {
  if (stale(ITEM_FOG_MODE, g_shadow.fog_mode == GL_LINEAR)) {
    g_shadow.fog_mode = GL_LINEAR;
    g_gl.Fogi(GL_FOG_MODE, GL_LINEAR);
  }
  if (stale(ITEM_FOG_RANGE, g_shadow.fog_range[0] == start && g_shadow.fog_range[1] == end)) {
    g_shadow.fog_range[0] = start;
    g_shadow.fog_range[1] = end;
    g_gl.Fogf(GL_FOG_START, start);
    g_gl.Fogf(GL_FOG_END, end);
  }
  const float colour[4] = {rgb[0], rgb[1], rgb[2], 1.0f};
  if (stale(ITEM_FOG_COLOUR, memcmp(g_shadow.fog_colour, colour, sizeof colour) == 0)) {
    memcpy(g_shadow.fog_colour, colour, sizeof colour);
    g_gl.Fogfv(GL_FOG_COLOR, colour);
  }
}

void gl_state_scissor(const int* rect) {
  if (!stale(ITEM_SCISSOR, memcmp(g_shadow.scissor, rect, sizeof g_shadow.scissor) == 0)) return;
  memcpy(g_shadow.scissor, rect, sizeof g_shadow.scissor);
  g_gl.Scissor(rect[0], rect[1], rect[2], rect[3]);
}

void gl_state_load_matrix(GlMatrix which, const Mat4* m) {
  Mat4* stored = &g_shadow.matrices[which];
  int* stored_identity = &g_shadow.identity[which];
  bool identity = m == nullptr;
  bool same = identity ? *stored_identity : (!*stored_identity && memcmp(stored, m, sizeof *m) == 0);
  if (!stale((int)ITEM_MATRIX_FIRST + (int)which, same)) return;
  matrix_mode(MATRIX_MODES[which]);
  *stored_identity = identity;
  if (identity) {
    g_gl.LoadIdentity();
  } else {
    *stored = *m;
    g_gl.LoadMatrixf(m->m);
  }
}
