#include "assets/mesh.h"

#include <cmath>
#include <cstring>

#include "assets/byte_reader.h"
#include "assets/normal_table.h"
#include "base/mem.h"

namespace {

// The first entry of the largest integer dot product; -128 counts as -127 so that every
// component lies on the table's scale.
uint8_t nearest_normal(const int8_t n[3]) {
  int32_t x = n[0] < -127 ? -127 : n[0], y = n[1] < -127 ? -127 : n[1], z = n[2] < -127 ? -127 : n[2];
  uint32_t best = 0;
  int32_t best_dot = INT32_MIN;
  for (uint32_t i = 0; i < NORMAL_TABLE_SIZE; i++) {
    const int8_t* e = NORMAL_TABLE[i];
    int32_t dot = x * e[0] + y * e[1] + z * e[2];
    if (dot > best_dot) {
      best_dot = dot;
      best = i;
    }
  }
  return (uint8_t)best;
}

bool read_vertex(ByteReader* r, uint32_t flags, RenderVertex* v, MeshSkin* skin) {
  bool finite = true;
  if (flags & MESH_UV) {
    v->u = byte_reader_f32(r);
    v->v = byte_reader_f32(r);
    finite = std::isfinite(v->u) && std::isfinite(v->v);
  }
  if (flags & MESH_COLOUR) v->colour = byte_reader_u32(r);
  if (flags & MESH_NORMAL) byte_reader_take(r, &v->spare, 3);
  if (flags & MESH_SKIN) {
    for (uint16_t& bone : skin->bones) bone = byte_reader_u16(r);
    for (float& weight : skin->weights) {
      weight = byte_reader_f32(r);
      finite = finite && std::isfinite(weight);
    }
    skin->count = 4;
  }
  v->x = byte_reader_f32(r);
  v->y = byte_reader_f32(r);
  v->z = byte_reader_f32(r);
  return finite && std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z);
}

// Heaviest influence first; an influence moves ahead only past a strictly lighter one, so
// equal weights keep their file order.
void keep_heaviest(MeshSkin* s) {
  for (int i = 1; i < 4; i++) {
    uint16_t bone = s->bones[i];
    float weight = s->weights[i];
    int j = i;
    while (j > 0 && weight > s->weights[j - 1]) {
      s->bones[j] = s->bones[j - 1];
      s->weights[j] = s->weights[j - 1];
      j--;
    }
    s->bones[j] = bone;
    s->weights[j] = weight;
  }
  s->count = 1;
  s->weights[0] = s->weights[0] <= MESH_WEIGHT_EPSILON ? 0.0f : 1.0f;
}

// Stable counting sort of the vertices by kept bone; the index array follows.
void order_by_bone(Mesh* m) {
  uint32_t n = m->vertex_count, span = m->bone_last - m->bone_first + 1;
  uint32_t* starts = (uint32_t*)mem_calloc(span + 1, sizeof(uint32_t));
  uint32_t* where = (uint32_t*)mem_alloc(sizeof(uint32_t) * n);
  RenderVertex* vertices = (RenderVertex*)mem_alloc_aligned(sizeof(RenderVertex) * n, 16);
  MeshSkin* skin = (MeshSkin*)mem_alloc(sizeof(MeshSkin) * n);
  for (uint32_t i = 0; i < n; i++) starts[m->skin[i].bones[0] - m->bone_first + 1]++;
  for (uint32_t b = 0; b < span; b++) starts[b + 1] += starts[b];
  for (uint32_t i = 0; i < n; i++) {
    uint32_t to = starts[m->skin[i].bones[0] - m->bone_first]++;
    where[i] = to;
    vertices[to] = m->vertices[i];
    skin[to] = m->skin[i];
  }
  for (uint32_t i = 0; i < 3 * m->triangle_count; i++) m->indices[i] = (uint16_t)where[m->indices[i]];
  mem_free_aligned(m->vertices);
  mem_free(m->skin);
  m->vertices = vertices;
  m->skin = skin;
  mem_free(where);
  mem_free(starts);
}

void prepare_skin(Mesh* m) {
  uint32_t highest = 0;
  for (uint32_t i = 0; i < m->vertex_count; i++) {
    keep_heaviest(&m->skin[i]);
    if (m->skin[i].bones[0] > highest) highest = m->skin[i].bones[0];
  }
  uint32_t lowest = highest;
  for (uint32_t i = 0; i < m->vertex_count; i++)
    if (m->skin[i].bones[0] < lowest) lowest = m->skin[i].bones[0];
  m->bone_first = lowest;
  m->bone_last = highest;
  order_by_bone(m);
}

}  // namespace

uint32_t mesh_vertex_file_size(uint32_t flags) {
  return 12 + (flags & MESH_UV ? 8 : 0) + (flags & MESH_COLOUR ? 4 : 0) + (flags & MESH_NORMAL ? 3 : 0) +
         (flags & MESH_SKIN ? 24 : 0);
}

Mesh* mesh_decode(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < MESH_HEADER_SIZE) return nullptr;
  ByteReader r = byte_reader(bytes, length);
  uint32_t flags = byte_reader_u32(&r), vertex_count = byte_reader_u32(&r),
           triangle_count = byte_reader_u32(&r);
  if (vertex_count < 1 || vertex_count > MESH_VERTICES_MAX || triangle_count > MESH_TRIANGLES_MAX)
    return nullptr;
  uint64_t expected =
      MESH_HEADER_SIZE + (uint64_t)vertex_count * mesh_vertex_file_size(flags) + 12ull * triangle_count;
  if (length != expected) return nullptr;
  float box[6];
  for (float& f : box) f = byte_reader_f32(&r);
  for (float f : box)
    if (!std::isfinite(f)) return nullptr;

  Mesh* m = (Mesh*)mem_calloc(1, sizeof(Mesh));
  m->flags = flags;
  m->bounds = bounds_make({box[0], box[1], box[2]}, {box[3], box[4], box[5]});
  m->vertex_count = vertex_count;
  m->triangle_count = triangle_count;
  m->vertices = (RenderVertex*)mem_alloc_aligned(sizeof(RenderVertex) * vertex_count, 16);
  memset(m->vertices, 0, sizeof(RenderVertex) * vertex_count);
  if (flags & MESH_SKIN) m->skin = (MeshSkin*)mem_calloc(vertex_count, sizeof(MeshSkin));
  if (triangle_count) m->indices = (uint16_t*)mem_alloc(6ull * triangle_count);

  bool finite = true;
  for (uint32_t i = 0; i < vertex_count; i++)
    finite = read_vertex(&r, flags, &m->vertices[i], m->skin ? &m->skin[i] : nullptr) && finite;
  for (uint32_t i = 0; i < 3 * triangle_count; i++) {
    uint32_t index = byte_reader_u32(&r);
    m->indices[i] = (uint16_t)(index < vertex_count ? index : vertex_count - 1);
  }
  if (r.error || !finite) {
    mesh_destroy(m);
    return nullptr;
  }
  if ((flags & MESH_QUANTISE) && (flags & MESH_NORMAL)) {
    for (uint32_t i = 0; i < vertex_count; i++) {
      int8_t n[3];
      memcpy(n, &m->vertices[i].spare, 3);
      m->vertices[i].spare = nearest_normal(n);
    }
  }
  if (flags & MESH_SKIN) prepare_skin(m);
  return m;
}

void mesh_destroy(Mesh* mesh) {
  if (!mesh || mesh == mesh_unit_cube()) return;
  mem_free_aligned(mesh->vertices);
  mem_free(mesh->skin);
  mem_free(mesh->indices);
  mem_free(mesh);
}

void* mesh_decode_asset(const uint8_t* bytes, uint32_t length) { return mesh_decode(bytes, length); }
void mesh_destroy_asset(void* object) { mesh_destroy((Mesh*)object); }
