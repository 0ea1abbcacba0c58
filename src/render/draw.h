#pragma once
// Draw submission: the one draw record through which all 3D and 2D drawing reaches the
// backend, its geometry arrays, the appends (triangles, fans and strips expanded to triangle
// lists, indexed meshes), the two vertex stages and the hand-over to the backend.
//
// Vertex arrays (source and output, sharing one capacity) and the index array are 16-byte
// aligned, hold a power-of-two count of entries, start at 256 and never shrink before
// draw_shutdown. Growth is the only allocation; out of memory is fatal. Indices are 16-bit,
// so an indexed batch never holds more than 65536 vertices: an append that would take it past
// that is refused (asserted in debug builds). Every entry point tolerates null or empty input
// by doing nothing and reports nothing. Main thread only.
#include <cstdint>

#include "render/render.h"

typedef void (*DrawStageFn)(DrawRecord* record);

// What a prepared mesh hands to draw submission; the mesh owns the vertices, which are
// never modified here.
struct DrawMesh {
  int32_t id;
  RenderVertex* vertices;
  uint32_t count;
};

enum : uint32_t { DRAW_INDEXED_VERTEX_LIMIT = 65536, DRAW_INITIAL_CAPACITY = 256 };

void draw_startup(void);
void draw_shutdown(void);
DrawRecord* draw_record(void);

void draw_reset(void);
void draw_set_blend(int32_t mode);
void draw_set_depth_function(int32_t function);
void draw_set_fog(float start, float end, float red, float green, float blue);
void draw_set_user_extra(void* extra);
// Null loads the identity.
void draw_set_model(const Mat4* m);
void draw_set_view(const Mat4* m);
void draw_set_projection(const Mat4* m);
void draw_set_texture(int32_t id);
void draw_set_textures(int32_t id, int32_t id2);
void draw_set_vertex_stage(DrawStageFn stage);
void draw_set_transform_stage(DrawStageFn stage);
void draw_set_flags(uint32_t flags);
uint32_t draw_get_flags(void);
void draw_set_point_size(float size);
void draw_set_line_width(float width);
uint32_t draw_vertex_count(void);
int draw_transforms_vertices(void);
int draw_can_pair_textures(int32_t a, int32_t b);

// Appends; each answers 1 when geometry was appended, 0 when nothing was.
int draw_add_triangle(const RenderVertex* a, const RenderVertex* b, const RenderVertex* c);
// (v0, vi, vi+1) for i = 1 .. n-2.
int draw_add_fan(const RenderVertex* vertices, uint32_t n);
// Even i: (vi, vi+2, vi+1); odd i: (vi+1, vi+2, vi). Every triangle keeps the winding of the
// first, so with clockwise front faces a strip reads as one surface.
int draw_add_strip(const RenderVertex* vertices, uint32_t n);
// Indices are offset by the vertices accumulated before the call; an index outside the
// appended vertices refuses the whole append.
int draw_add_indexed(const uint16_t* indices, uint32_t index_count, const RenderVertex* vertices,
                     uint32_t vertex_count);

// Run the stages (both must be installed); neither draws.
void draw_flush(void* user_data);
void draw_prepared_mesh(const DrawMesh* mesh, void* user_data);
void draw_primitives(int32_t primitive);
void draw_indexed(uint16_t* indices, uint32_t n);

// Standard stages.
void stage_none(DrawRecord* record);
void transform_in_place(DrawRecord* record);
void transform_to_output(DrawRecord* record);

// The vertex kernels behind the transform stages: out[i] = (x, y, z, 1) x m, for tests and
// benchmarks. out may equal in. The SSE variant exists on x86 only and sums in the same order.
void draw_transform_scalar(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m);
#if defined(__i386__) || defined(__x86_64__)
void draw_transform_sse(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m);
#endif
void draw_transform(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m);
