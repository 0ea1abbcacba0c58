#include "render/draw.h"

#include <cstring>

#include "base/cpu_features.h"
#include "base/fatal.h"
#include "base/mem.h"

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

DrawRecord g_record;
DrawStageFn g_vertex_stage;
DrawStageFn g_transform_stage;

uint32_t power_of_two_at_least(uint64_t n) {
  uint64_t c = 1;
  while (c < n) c <<= 1;
  return (uint32_t)c;
}

void grow_vertices(uint64_t needed) {
  DrawRecord* r = &g_record;
  if (r->vertex_capacity >= needed) return;
  uint32_t capacity = power_of_two_at_least(needed);
  size_t bytes = (size_t)capacity * sizeof(RenderVertex);
  r->source_vertices = (RenderVertex*)mem_realloc_aligned(r->source_vertices, bytes, 16);
  r->output_vertices = (RenderVertex*)mem_realloc_aligned(r->output_vertices, bytes, 16);
  r->vertex_capacity = capacity;
}

void grow_indices(uint64_t needed) {
  DrawRecord* r = &g_record;
  if (r->index_capacity >= needed) return;
  uint32_t capacity = power_of_two_at_least(needed);
  r->index_buffer = (uint16_t*)mem_realloc_aligned(r->index_buffer, (size_t)capacity * sizeof(uint16_t), 16);
  r->index_capacity = capacity;
}

// Room for k more vertices, or 0 when the batch would pass what its 16-bit indices (or the
// 32-bit count) can address.
int reserve_vertices(uint64_t k, bool indexed) {
  DrawRecord* r = &g_record;
  if (!r->source_vertices) return 0;  // not started
  uint64_t total = (uint64_t)r->vertex_count + k;
  bool limited = indexed || r->index_count > 0;
  if ((limited && total > DRAW_INDEXED_VERTEX_LIMIT) || total > 0x40000000u) {
    BASE_ASSERT(!"draw batch past its vertex limit");
    return 0;
  }
  grow_vertices(total);
  return 1;
}

void clear_draw_fields(DrawRecord* r) {
  r->vertices = nullptr;
  r->count = 0;
  r->colours_converted = 0;
  r->spare[0] = r->spare[1] = 0;
  r->indices = nullptr;
  r->index_total = 0;
}

DrawSource* current(DrawRecord* r) { return (DrawSource*)r->current_source; }

// Screen-space vertices are already in device coordinates: only w is made explicit.
void set_w_one(RenderVertex* v, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) v[i].w = 1.0f;
}

void combined_matrix(const DrawRecord* r, Mat4* out) {
  Mat4 model_view;
  mat4_multiply(&r->model, &r->view, &model_view);
  mat4_multiply(&model_view, &r->projection, out);
}

}  // namespace

void draw_startup(void) {
  DrawRecord* r = &g_record;
  grow_vertices(DRAW_INITIAL_CAPACITY);
  grow_indices(DRAW_INITIAL_CAPACITY);
  r->depth_function = DEPTH_LESS;
  r->blend = BLEND_ALPHA;
  r->flags = 0;
  r->point_size = 1.0f;
  r->line_width = 1.0f;
  r->model = r->view = r->projection = MAT4_IDENTITY;
}

void draw_shutdown(void) {
  mem_free_aligned(g_record.source_vertices);
  mem_free_aligned(g_record.output_vertices);
  mem_free_aligned(g_record.index_buffer);
  memset(&g_record, 0, sizeof g_record);
  g_vertex_stage = nullptr;
  g_transform_stage = nullptr;
}

DrawRecord* draw_record(void) { return &g_record; }

void draw_reset(void) {
  g_record.vertex_count = 0;
  g_record.index_count = 0;
  g_record.external_source.count = 0;
  g_record.current_source = nullptr;
}

void draw_set_blend(int32_t mode) { g_record.blend = mode; }
void draw_set_depth_function(int32_t function) { g_record.depth_function = function; }
void draw_set_fog(float start, float end, float red, float green, float blue) {
  g_record.fog_start = start;
  g_record.fog_end = end;
  g_record.fog_colour[0] = red;
  g_record.fog_colour[1] = green;
  g_record.fog_colour[2] = blue;
}
void draw_set_user_extra(void* extra) { g_record.user_extra = extra; }
void draw_set_model(const Mat4* m) { g_record.model = m ? *m : MAT4_IDENTITY; }
void draw_set_view(const Mat4* m) { g_record.view = m ? *m : MAT4_IDENTITY; }
void draw_set_projection(const Mat4* m) { g_record.projection = m ? *m : MAT4_IDENTITY; }
void draw_set_texture(int32_t id) {
  g_record.texture = id;
  g_record.texture2 = 0;
}
void draw_set_textures(int32_t id, int32_t id2) {
  g_record.texture = id;
  g_record.texture2 = id2;
}
void draw_set_vertex_stage(DrawStageFn stage) { g_vertex_stage = stage; }
void draw_set_transform_stage(DrawStageFn stage) { g_transform_stage = stage; }
void draw_set_flags(uint32_t flags) { g_record.flags = flags; }
uint32_t draw_get_flags(void) { return g_record.flags; }
void draw_set_point_size(float size) { g_record.point_size = size; }
void draw_set_line_width(float width) { g_record.line_width = width; }
uint32_t draw_vertex_count(void) { return g_record.vertex_count; }
int draw_transforms_vertices(void) { return render_transforms_vertices(); }
int draw_can_pair_textures(int32_t a, int32_t b) { return render_can_pair_textures(a, b); }

int draw_add_triangle(const RenderVertex* a, const RenderVertex* b, const RenderVertex* c) {
  if (!a || !b || !c || !reserve_vertices(3, false)) return 0;
  RenderVertex* out = g_record.source_vertices + g_record.vertex_count;
  out[0] = *a;
  out[1] = *b;
  out[2] = *c;
  g_record.vertex_count += 3;
  return 1;
}

int draw_add_fan(const RenderVertex* v, uint32_t n) {
  if (!v || n < 3 || !reserve_vertices(3 * (uint64_t)(n - 2), false)) return 0;
  RenderVertex* out = g_record.source_vertices + g_record.vertex_count;
  for (uint32_t i = 1; i + 1 < n; i++) {
    *out++ = v[0];
    *out++ = v[i];
    *out++ = v[i + 1];
  }
  g_record.vertex_count += 3 * (n - 2);
  return 1;
}

int draw_add_strip(const RenderVertex* v, uint32_t n) {
  if (!v || n < 3 || !reserve_vertices(3 * (uint64_t)(n - 2), false)) return 0;
  RenderVertex* out = g_record.source_vertices + g_record.vertex_count;
  for (uint32_t i = 0; i + 2 < n; i++) {
    if ((i & 1) == 0) {
      *out++ = v[i];
      *out++ = v[i + 2];
      *out++ = v[i + 1];
    } else {
      *out++ = v[i + 1];
      *out++ = v[i + 2];
      *out++ = v[i];
    }
  }
  g_record.vertex_count += 3 * (n - 2);
  return 1;
}

int draw_add_indexed(const uint16_t* indices, uint32_t index_count, const RenderVertex* vertices,
                     uint32_t vertex_count) {
  if (!indices || !vertices || index_count == 0 || vertex_count == 0) return 0;
  // An index past the appended vertices would make the backend read outside the batch.
  for (uint32_t i = 0; i < index_count; i++)
    if (indices[i] >= vertex_count) return 0;
  if (!reserve_vertices(vertex_count, true)) return 0;
  DrawRecord* r = &g_record;
  uint64_t index_total = (uint64_t)r->index_count + index_count;
  if (index_total > 0x40000000u) return 0;
  grow_indices(index_total);
  uint32_t base = r->vertex_count;
  memcpy(r->source_vertices + base, vertices, (size_t)vertex_count * sizeof(RenderVertex));
  uint16_t* out = r->index_buffer + r->index_count;
  for (uint32_t i = 0; i < index_count; i++) out[i] = (uint16_t)(indices[i] + base);
  r->vertex_count += vertex_count;
  r->index_count += index_count;
  return 1;
}

void draw_flush(void* user_data) {
  DrawRecord* r = &g_record;
  if (!g_vertex_stage || !g_transform_stage || r->vertex_count < 1) return;
  r->user_data = user_data;
  r->external_source.count = 0;
  // The accumulated source is the record's first four fields.
  r->current_source = r;
  r->source_id = 0;
  clear_draw_fields(r);
  r->count = r->vertex_count;
  r->vertices = r->source_vertices;
  if (r->index_count > 0) {
    r->index_total = r->index_count;
    r->indices = r->index_buffer;
  }
  g_vertex_stage(r);
  g_transform_stage(r);
}

void draw_prepared_mesh(const DrawMesh* mesh, void* user_data) {
  DrawRecord* r = &g_record;
  if (!g_vertex_stage || !g_transform_stage || !mesh || !r->source_vertices) return;
  if (mesh->count > 0 && !mesh->vertices) return;
  grow_vertices(mesh->count);
  r->external_source = DrawSource{mesh->vertices, r->output_vertices, mesh->count, mesh->count};
  r->current_source = &r->external_source;
  r->user_data = user_data;
  r->source_id = mesh->id;
  clear_draw_fields(r);
  g_vertex_stage(r);
  g_transform_stage(r);
}

void draw_primitives(int32_t primitive) {
  DrawRecord* r = &g_record;
  DrawSource* s = current(r);
  if (!s || s->count < 1) return;
  r->primitive = primitive;
  render_draw(r);
}

void draw_indexed(uint16_t* indices, uint32_t n) {
  DrawRecord* r = &g_record;
  DrawSource* s = current(r);
  if (!s || s->count < 1 || !indices || n < 1) return;
  r->indices = indices;
  r->index_total = n;
  r->primitive = PRIM_TRIANGLES;
  render_draw(r);
  r->indices = nullptr;
  r->index_total = 0;
}

void stage_none(DrawRecord*) {}

void draw_transform_scalar(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m) {
  const float* a = m->m;
  for (uint32_t i = 0; i < count; i++) {
    float x = in[i].x, y = in[i].y, z = in[i].z;
    float r[4];
    for (int c = 0; c < 4; c++) r[c] = x * a[c] + y * a[4 + c] + z * a[8 + c] + a[12 + c];
    out[i].x = r[0];
    out[i].y = r[1];
    out[i].z = r[2];
    out[i].w = r[3];
  }
}

#if defined(__i386__) || defined(__x86_64__)
void draw_transform_sse(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m) {
  __m128 row0 = _mm_loadu_ps(m->m), row1 = _mm_loadu_ps(m->m + 4);
  __m128 row2 = _mm_loadu_ps(m->m + 8), row3 = _mm_loadu_ps(m->m + 12);
  for (uint32_t i = 0; i < count; i++) {
    __m128 sum = _mm_mul_ps(_mm_set1_ps(in[i].x), row0);
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(in[i].y), row1));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(in[i].z), row2));
    sum = _mm_add_ps(sum, row3);
    // x, y, z, w are the vertex's first 16 bytes.
    _mm_storeu_ps(&out[i].x, sum);
  }
}
#endif

void draw_transform(const RenderVertex* in, RenderVertex* out, uint32_t count, const Mat4* m) {
#if defined(__i386__) || defined(__x86_64__)
  if (cpu_has_sse()) {
    draw_transform_sse(in, out, count, m);
    return;
  }
#endif
  draw_transform_scalar(in, out, count, m);
}

void transform_in_place(DrawRecord* record) {
  if (!record) return;
  DrawSource* s = current(record);
  if (!s || !s->vertices) return;
  if (record->flags & DRAW_SCREEN_SPACE) {
    set_w_one(s->vertices, s->count);
    return;
  }
  if (render_transforms_vertices()) return;
  Mat4 m;
  combined_matrix(record, &m);
  draw_transform(s->vertices, s->vertices, s->count, &m);
}

void transform_to_output(DrawRecord* record) {
  if (!record) return;
  DrawSource* s = current(record);
  if (!s || !s->vertices || !s->output) return;
  if (record->flags & DRAW_SCREEN_SPACE) {
    for (uint32_t i = 0; i < s->count; i++) {
      s->output[i].x = s->vertices[i].x;
      s->output[i].y = s->vertices[i].y;
      s->output[i].z = s->vertices[i].z;
      s->output[i].w = 1.0f;
    }
  } else if (render_transforms_vertices()) {
    for (uint32_t i = 0; i < s->count; i++) {
      s->output[i].x = s->vertices[i].x;
      s->output[i].y = s->vertices[i].y;
      s->output[i].z = s->vertices[i].z;
      s->output[i].w = s->vertices[i].w;
    }
  } else {
    Mat4 m;
    combined_matrix(record, &m);
    draw_transform(s->vertices, s->output, s->count, &m);
  }
  record->vertices = s->output;
  record->count = s->count;
}
