#include "assets/bsp.h"

#include <cmath>
#include <cstring>

#include "assets/byte_reader.h"
#include "base/mem.h"

namespace {

struct BspCounts {
  uint32_t materials, nodes, groups, triangles, vertices, indices;
};

bool finite_all(const float* values, uint32_t count) {
  for (uint32_t i = 0; i < count; i++)
    if (!std::isfinite(values[i])) return false;
  return true;
}

// Reads min x, y, z and max x, y, z into a bounding box; false when one is not finite.
bool read_bounds(ByteReader* r, Bounds* out) {
  float v[6];
  for (float& f : v) f = byte_reader_f32(r);
  *out = bounds_make({v[0], v[1], v[2]}, {v[3], v[4], v[5]});
  return finite_all(v, 6);
}

bool in_range(uint64_t first, uint64_t count, uint64_t limit) { return first + count <= limit; }

bool read_nodes(ByteReader* r, BspObject* bsp, const BspCounts& c, int32_t* children) {
  for (uint32_t i = 0; i < c.nodes; i++) {
    BspNode* node = &bsp->nodes[i];
    node->leaf_value = byte_reader_i32(r);
    int32_t back = byte_reader_i32(r), front = byte_reader_i32(r);
    float plane[4];
    for (float& f : plane) f = byte_reader_f32(r);
    node->plane = {plane[0], plane[1], plane[2], plane[3]};
    if (!finite_all(plane, 4) || !read_bounds(r, &node->bounds)) return false;
    uint32_t group_count = byte_reader_u32(r), first_group = byte_reader_u32(r);
    uint32_t triangle_count = byte_reader_u32(r), first_triangle = byte_reader_u32(r);
    if (back >= (int64_t)c.nodes || front >= (int64_t)c.nodes) return false;
    if (group_count > BSP_GROUPS_MAX || first_group > BSP_GROUPS_MAX || triangle_count > BSP_TRIANGLES_MAX ||
        first_triangle > BSP_TRIANGLES_MAX)
      return false;
    if (!in_range(first_group, group_count, c.groups) ||
        !in_range(first_triangle, triangle_count, c.triangles))
      return false;
    children[2 * i] = back;
    children[2 * i + 1] = front;
    node->back = back >= 0 ? &bsp->nodes[back] : nullptr;
    node->front = front >= 0 ? &bsp->nodes[front] : nullptr;
    node->groups = group_count ? &bsp->groups[first_group] : nullptr;
    node->group_count = group_count;
    node->triangles = triangle_count ? &bsp->triangles[first_triangle] : nullptr;
    node->triangle_count = triangle_count;
  }
  return true;
}

// One tree under node 0 no deeper than BSP_DEPTH_MAX, and no face group in two leaves.
bool check_tree(const BspObject* bsp, const int32_t* children) {
  uint32_t n = bsp->node_count;
  uint8_t* parented = (uint8_t*)mem_calloc(n, 1);
  bool ok = true;
  for (uint32_t i = 0; i < 2 * n && ok; i++) {
    int32_t child = children[i];
    if (child < 0) continue;
    ok = child != 0 && !parented[child];
    parented[child] = 1;
  }
  mem_free(parented);
  if (!ok) return false;

  // With one parent per node and none for the root, the walk from the root cannot loop.
  uint32_t* stack = (uint32_t*)mem_alloc(sizeof(uint32_t) * 2 * n);
  uint32_t top = 0, reached = 0;
  stack[top++] = 0;
  stack[top++] = 1;
  uint8_t* owned = (uint8_t*)mem_calloc(bsp->group_count ? bsp->group_count : 1, 1);
  while (top > 0 && ok) {
    uint32_t depth = stack[--top];
    uint32_t index = stack[--top];
    reached++;
    if (depth > BSP_DEPTH_MAX) ok = false;
    const BspNode* node = &bsp->nodes[index];
    if (!node->back && !node->front) {
      uint32_t first = (uint32_t)(node->groups ? node->groups - bsp->groups : 0);
      for (uint32_t g = 0; g < node->group_count && ok; g++) {
        ok = !owned[first + g];
        owned[first + g] = 1;
      }
    }
    for (int side = 0; side < 2; side++) {
      int32_t child = children[2 * index + side];
      if (child < 0) continue;
      stack[top++] = (uint32_t)child;
      stack[top++] = depth + 1;
    }
  }
  mem_free(owned);
  mem_free(stack);
  return ok && reached == n;
}

bool read_groups(ByteReader* r, BspObject* bsp, const BspCounts& c) {
  for (uint32_t i = 0; i < c.groups; i++) {
    BspFaceGroup* g = &bsp->groups[i];
    g->material = byte_reader_u16(r);
    g->vertex_count = byte_reader_u16(r);
    g->triangle_count = byte_reader_u32(r);
    uint32_t first_vertex = byte_reader_u32(r);
    uint32_t first_index = byte_reader_u32(r);
    if (!read_bounds(r, &g->bounds)) return false;
    if (g->material >= c.materials || first_vertex > BSP_VERTICES_MAX) return false;
    if (!in_range(first_vertex, g->vertex_count, c.vertices)) return false;
    if (!in_range(first_index, 3ull * g->triangle_count, c.indices)) return false;
    g->vertices = &bsp->vertices[first_vertex];
    g->indices = &bsp->indices[first_index];
  }
  return true;
}

bool read_triangles(ByteReader* r, BspObject* bsp, const BspCounts& c, uint32_t* corner_indices) {
  for (uint32_t i = 0; i < c.triangles; i++) {
    BspCollisionTriangle* t = &bsp->triangles[i];
    t->material = byte_reader_u16(r);
    t->surface = byte_reader_u32(r);
    uint32_t shade = byte_reader_u32(r);
    t->shade[0] = (uint8_t)shade;
    t->shade[1] = (uint8_t)(shade >> 8);
    t->shade[2] = (uint8_t)(shade >> 16);
    t->spare = 0;
    for (int k = 0; k < 3; k++) {
      corner_indices[3 * i + k] = byte_reader_u32(r);
      if (corner_indices[3 * i + k] >= c.vertices) return false;
    }
    for (int v = 0; v < 2; v++)
      for (int k = 0; k < 3; k++) t->vectors[v][k] = byte_reader_f32(r);
    if (t->material >= c.materials) return false;
  }
  return true;
}

// Vertices arrive in the memory layout; only the normal word keeps its low byte.
bool read_vertices(ByteReader* r, BspObject* bsp) {
  if (!byte_reader_take(r, bsp->vertices, (size_t)BSP_VERTEX_FILE_SIZE * bsp->vertex_count)) return false;
  bool finite = true;
  for (uint32_t i = 0; i < bsp->vertex_count; i++) {
    RenderVertex* v = &bsp->vertices[i];
    finite &= std::isfinite(v->x) & std::isfinite(v->y) & std::isfinite(v->z);
    v->spare &= 0xFF;
  }
  return finite;
}

bool check_group_indices(const BspObject* bsp) {
  for (uint32_t i = 0; i < bsp->group_count; i++) {
    const BspFaceGroup* g = &bsp->groups[i];
    uint32_t limit = g->vertex_count, count = 3 * g->triangle_count;
    uint32_t worst = 0;
    for (uint32_t k = 0; k < count; k++) worst = g->indices[k] > worst ? g->indices[k] : worst;
    if (count > 0 && worst >= limit) return false;
  }
  return true;
}

void link_triangles(BspObject* bsp, const uint32_t* corner_indices) {
  for (uint32_t i = 0; i < bsp->triangle_count; i++) {
    BspCollisionTriangle* t = &bsp->triangles[i];
    for (int k = 0; k < 3; k++) t->corners[k] = &bsp->vertices[corner_indices[3 * i + k]].x;
    for (int axis = 0; axis < 3; axis++) {
      float a = t->corners[0][axis], b = t->corners[1][axis], c = t->corners[2][axis];
      t->min[axis] = fminf(a, fminf(b, c));
      t->max[axis] = fmaxf(a, fmaxf(b, c));
    }
  }
}

void fill_buckets(BspObject* bsp) {
  for (uint32_t i = 0; i < bsp->group_count; i++) bsp->bucket_starts[bsp->groups[i].material + 1]++;
  for (uint32_t m = 0; m < bsp->material_count; m++) bsp->bucket_starts[m + 1] += bsp->bucket_starts[m];
}

}  // namespace

BspObject* bsp_decode(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < BSP_HEADER_SIZE) return nullptr;
  ByteReader r = byte_reader(bytes, length);
  uint32_t magic = byte_reader_u32(&r), version = byte_reader_u32(&r);
  BspCounts c;
  c.materials = byte_reader_u32(&r);
  c.nodes = byte_reader_u32(&r);
  c.groups = byte_reader_u32(&r);
  c.triangles = byte_reader_u32(&r);
  c.vertices = byte_reader_u32(&r);
  c.indices = byte_reader_u32(&r);
  if (magic != BSP_MAGIC || version != BSP_VERSION) return nullptr;
  if (c.materials > BSP_MATERIALS_MAX || c.nodes < 1 || c.nodes > BSP_NODES_MAX ||
      c.groups > BSP_GROUPS_MAX || c.triangles > BSP_TRIANGLES_MAX || c.vertices > BSP_VERTICES_MAX ||
      c.indices > BSP_INDICES_MAX)
    return nullptr;
  uint64_t expected = BSP_HEADER_SIZE + 2ull * c.materials + (uint64_t)BSP_NODE_FILE_SIZE * c.nodes +
                      (uint64_t)BSP_GROUP_FILE_SIZE * c.groups +
                      (uint64_t)BSP_TRIANGLE_FILE_SIZE * c.triangles +
                      (uint64_t)BSP_VERTEX_FILE_SIZE * c.vertices + 2ull * c.indices;
  if (length != expected) return nullptr;

  BspObject* bsp = (BspObject*)mem_calloc(1, sizeof(BspObject));
  bsp->node_count = c.nodes;
  bsp->material_count = c.materials;
  bsp->group_count = c.groups;
  bsp->triangle_count = c.triangles;
  bsp->vertex_count = c.vertices;
  bsp->index_count = c.indices;
  bsp->nodes = (BspNode*)mem_calloc(c.nodes, sizeof(BspNode));
  bsp->root = &bsp->nodes[0];
  bsp->material_keys = (uint16_t*)mem_calloc(c.materials + 1, sizeof(uint16_t));
  bsp->groups = (BspFaceGroup*)mem_calloc(c.groups + 1, sizeof(BspFaceGroup));
  bsp->draw_list = (BspFaceGroup**)mem_calloc(c.groups + 1, sizeof(BspFaceGroup*));
  bsp->bucket_starts = (uint32_t*)mem_calloc(c.materials + 1, sizeof(uint32_t));
  bsp->counters = (uint32_t*)mem_calloc(2ull * c.materials + 1, sizeof(uint32_t));
  bsp->triangles = (BspCollisionTriangle*)mem_calloc(c.triangles + 1, sizeof(BspCollisionTriangle));
  bsp->vertices = (RenderVertex*)mem_alloc_aligned((size_t)sizeof(RenderVertex) * c.vertices + 1, 16);
  bsp->indices = (uint16_t*)mem_alloc(2ull * c.indices + 1);

  // Scratch for what the file gives as indices and the object keeps as pointers.
  int32_t* children = (int32_t*)mem_alloc(sizeof(int32_t) * 2 * c.nodes);
  uint32_t* corner_indices = (uint32_t*)mem_alloc(sizeof(uint32_t) * 3 * (c.triangles + 1ull));

  for (uint32_t i = 0; i < c.materials; i++) bsp->material_keys[i] = byte_reader_u16(&r);
  bool ok = read_nodes(&r, bsp, c, children) && check_tree(bsp, children) && read_groups(&r, bsp, c) &&
            read_triangles(&r, bsp, c, corner_indices) && read_vertices(&r, bsp) &&
            byte_reader_take(&r, bsp->indices, 2ull * c.indices) && check_group_indices(bsp) && !r.error;
  if (ok) {
    link_triangles(bsp, corner_indices);
    fill_buckets(bsp);
  }
  mem_free(children);
  mem_free(corner_indices);
  if (!ok) {
    bsp_destroy(bsp);
    return nullptr;
  }
  return bsp;
}

void bsp_destroy(BspObject* bsp) {
  if (!bsp) return;
  mem_free(bsp->nodes);
  mem_free(bsp->material_keys);
  mem_free(bsp->groups);
  mem_free(bsp->draw_list);
  mem_free(bsp->bucket_starts);
  mem_free(bsp->counters);
  mem_free(bsp->triangles);
  mem_free_aligned(bsp->vertices);
  mem_free(bsp->indices);
  mem_free(bsp);
}

void* bsp_decode_asset(const uint8_t* bytes, uint32_t length) { return bsp_decode(bytes, length); }
void bsp_destroy_asset(void* object) { bsp_destroy((BspObject*)object); }
