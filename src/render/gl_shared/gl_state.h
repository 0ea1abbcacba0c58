#pragma once
// The state shadow of the OpenGL backends: every item of GL state they set remembers its value
// and the generation at which it was set, and is issued only when the value differs or its
// generation is not the current one. A new generation (a new device, a resume) therefore makes
// the next draw issue everything again. Matrices are shadowed too.
//
// Process-wide, main thread only; everything goes through the g_gl table.
#include <cstdint>

#include "base/math.h"
#include "render/gl_shared/gl_api.h"

// Forgets every value (a new context); the generation starts again.
void gl_state_reset(void);
// Every item is issued again at its next use, values kept.
void gl_state_new_generation(void);

enum GlEnableItem : int {
  GL_ITEM_TEXTURE,
  GL_ITEM_DEPTH_TEST,
  GL_ITEM_ALPHA_TEST,
  GL_ITEM_CULL,
  GL_ITEM_BLEND,
  GL_ITEM_FOG,
  GL_ITEM_SCISSOR,
  GL_ITEM_ENABLE_COUNT
};
void gl_state_enable(GlEnableItem item, int on);
void gl_state_bind(uint32_t name);       // texture object on GL_TEXTURE_2D
void gl_state_call_list(uint32_t list);  // 0: forget the last list called
enum GlArray : int { GL_ARRAY_VERTEX, GL_ARRAY_TEXCOORD, GL_ARRAY_COLOUR };
void gl_state_pointer(GlArray array, GLint size, GLenum type, GLsizei stride, const void* pointer);

void gl_state_depth_function(GLenum function);
void gl_state_blend_function(GLenum source, GLenum destination);
void gl_state_depth_mask(int on);
void gl_state_colour_mask(int on);  // all four channels
void gl_state_point_size(float size);
void gl_state_line_width(float width);
// Linear fog from start to end in the colour (alpha 1); mode, range and colour are three items.
void gl_state_fog(float start, float end, const float colour[3]);
void gl_state_scissor(const int rect[4]);

enum GlMatrix : int { GL_MATRIX_PROJECTION, GL_MATRIX_MODELVIEW };
// Loads m, or identity for null, into one matrix (switching the matrix mode as needed).
void gl_state_load_matrix(GlMatrix which, const Mat4* m);
