#pragma once
// The draw slot of the OpenGL backends: the record's state through the shadow, its texture
// (see gl_textures.h for what a draw naming one gets), the matrices, the one-time colour
// conversion, then the backend's own send. The mapping tables of the record's fields are here
// too. Main thread only.
#include <cstdint>

#include "render/gl_shared/gl_api.h"
#include "render/render.h"

// 1 drawn; 0 skipped (null record, texture not settled, unknown primitive, no vertices).
int gl_draw(DrawRecord* record);
int gl_draw_transforms_vertices(void);  // always 1: GL applies the record's matrices

// Depth function of the record; GL_LESS for values outside 0..7.
GLenum gl_depth_function(int32_t function);
// 0 when the mode leaves the factors unchanged.
int gl_blend_factors(int32_t blend, GLenum* source, GLenum* destination);
// 0xAARRGGBB words to the bytes R, G, B, A in place.
void gl_convert_colours(RenderVertex* vertices, uint32_t count);
