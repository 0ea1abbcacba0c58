#include "scene/world_geometry.h"

#include <cmath>

#include "assets/bsp.h"
#include "assets/map.h"
#include "game/components.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/zone_stream.h"
#include "settings/settings.h"
#include "world/entity_world.h"

namespace {

constexpr uint32_t WORLD_FLAGS = DRAW_TEXTURE | DRAW_CULL | DRAW_DEPTH_TEST | DRAW_FOG;
constexpr uint32_t BATCH_VERTICES = 256;
constexpr uint32_t ALL_PLANES = 63;
// A camera this close to a split plane counts as on its front side.
constexpr float SIDE_EPSILON = -0.0001f;
// The walk pushes at most one entry more than the deepest path holds.
constexpr uint32_t STACK_ENTRIES = BSP_DEPTH_MAX + 2;

WorldLightSourceFn g_light_source;
uint32_t g_groups_drawn;

struct StackEntry {
  BspNode* node;
  uint32_t mask;
};
StackEntry g_stack[STACK_ENTRIES];

// Tests the planes still in the mask: -1 outside, else the planes the box is not yet wholly
// inside of.
int32_t cull(const Camera* camera, const Bounds& b, uint32_t mask) {
  for (uint32_t i = 0; i < 6; i++) {
    if (!(mask & (1u << i))) continue;
    const Plane& p = camera->planes[i];
    float s = p.a * b.centre.x + p.b * b.centre.y + p.c * b.centre.z + p.d;
    float r = fabsf(p.a) * b.half.x + fabsf(p.b) * b.half.y + fabsf(p.c) * b.half.z;
    if (r + s <= 0) return -1;
    if (s >= r) mask &= ~(1u << i);
  }
  return (int32_t)mask;
}

void write_light_mask(BspFaceGroup* g, uint8_t mask) {
  for (uint32_t i = 0; i < g->vertex_count; i++) ((uint8_t*)&g->vertices[i].spare)[3] = mask;
}

// Inside groups from the bucket's front, crossing ones from its back; a bucket that is
// already full drops the group rather than write into its neighbour.
bool bucket_put(BspObject* bsp, BspFaceGroup* g, bool inside) {
  uint32_t m = g->material;
  if (m >= bsp->material_count) return false;
  uint32_t start = bsp->bucket_starts[m], end = bsp->bucket_starts[m + 1];
  uint32_t* in = &bsp->counters[2 * m];
  uint32_t* cross = &bsp->counters[2 * m + 1];
  if (end > bsp->group_count || start + *in + *cross >= end) return false;
  if (inside)
    bsp->draw_list[start + (*in)++] = g;
  else
    bsp->draw_list[end - 1 - (*cross)++] = g;
  return true;
}

struct CellCursor {
  BspObject* bsp;
  const MapObject* map;
  uint32_t material;
};

void flush_batch(void) {
  if (draw_vertex_count() == 0) return;
  draw_flush(nullptr);
  draw_primitives(PRIM_TRIANGLES);
  draw_reset();
}

uint32_t append_group(const BspFaceGroup* g) {
  if (draw_vertex_count() > 0 && draw_vertex_count() + g->vertex_count > BATCH_VERTICES) flush_batch();
  return draw_add_indexed(g->indices, g->triangle_count * 3, g->vertices, g->vertex_count) ? 1 : 0;
}

CameraState* camera_of(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (CameraState*)pool_at(pool, 0) : nullptr;
}

}  // namespace

Vec3 world_camera_eye(const Camera* camera) {
  // Rows are vectors: eye = -t x R^T for the view's rotation R and translation t.
  const float* m = camera->view.m;
  float tx = m[12], ty = m[13], tz = m[14];
  return Vec3{-(tx * m[0] + ty * m[1] + tz * m[2]), -(tx * m[4] + ty * m[5] + tz * m[6]),
              -(tx * m[8] + ty * m[9] + tz * m[10])};
}

void world_geometry_set_light_source(WorldLightSourceFn source) { g_light_source = source; }

uint32_t world_geometry_groups_drawn(void) { return g_groups_drawn; }

uint32_t world_geometry_traverse(BspObject* bsp, const Camera* camera, const LightBlock* block) {
  if (!bsp || !bsp->root || !camera) return 0;
  for (uint32_t j = 0; j < 2 * bsp->material_count; j++) bsp->counters[j] = 0;
  const bool lights = block && block->count > 0;
  const Vec3 eye = world_camera_eye(camera);
  uint32_t visible = 0, depth = 0;
  g_stack[depth++] = StackEntry{bsp->root, ALL_PLANES};
  while (depth > 0) {
    StackEntry e = g_stack[--depth];
    BspNode* node = e.node;
    int32_t mask = cull(camera, node->bounds, e.mask);
    if (mask < 0) continue;
    node->plane_mask = (uint32_t)mask;
    if (node->back || node->front) {
      const Plane& p = node->plane;
      float s = p.a * eye.x + p.b * eye.y + p.c * eye.z + p.d;
      // The camera's side first: pushed last, popped first.
      BspNode* first = s < SIDE_EPSILON ? node->back : node->front;
      BspNode* second = s < SIDE_EPSILON ? node->front : node->back;
      if (second && depth < STACK_ENTRIES) g_stack[depth++] = StackEntry{second, (uint32_t)mask};
      if (first && depth < STACK_ENTRIES) g_stack[depth++] = StackEntry{first, (uint32_t)mask};
      continue;
    }
    for (uint32_t i = 0; i < node->group_count; i++) {
      BspFaceGroup* g = &node->groups[i];
      int32_t group_mask = (uint32_t)mask ? cull(camera, g->bounds, (uint32_t)mask) : 0;
      if (group_mask < 0) continue;
      write_light_mask(g, lights ? face_group_light_mask(&g->bounds, block) : 0);
      if (bucket_put(bsp, g, group_mask == 0)) visible++;
    }
  }
  return visible;
}

uint32_t world_geometry_draw_cells(const WorldCell* cells, uint32_t count, const Camera* camera,
                                   const LightBlock* block) {
  if (!cells || !camera) return 0;
  CellCursor cursors[ZONE_CELL_SLOTS];
  uint32_t n = 0;
  for (uint32_t i = 0; i < count && n < ZONE_CELL_SLOTS; i++) {
    BspObject* bsp = cells[i].bsp;
    if (!bsp) continue;
    bool seen = false;
    for (uint32_t k = 0; k < n && !seen; k++) seen = cursors[k].bsp == bsp;
    if (seen) continue;
    world_geometry_traverse(bsp, camera, block);
    cursors[n++] = CellCursor{bsp, cells[i].map, 0};
  }

  draw_set_user_extra((void*)block);
  draw_set_vertex_stage(world_light_stage);
  draw_set_transform_stage(transform_in_place);
  draw_set_model(nullptr);
  uint32_t flags = WORLD_FLAGS;
  draw_set_flags(flags);
  draw_set_depth_function(DEPTH_LESS);
  const bool smooth = setting_smooth_terrain() != 0;
  bool blending = false;
  uint32_t drawn = 0;
  for (;;) {
    draw_reset();
    int32_t key = -1;
    for (uint32_t k = 0; k < n; k++) {
      CellCursor& c = cursors[k];
      while (c.material < c.bsp->material_count && c.bsp->counters[2 * c.material] == 0 &&
             c.bsp->counters[2 * c.material + 1] == 0)
        c.material++;
      if (c.material < c.bsp->material_count) {
        int32_t k2 = c.bsp->material_keys[c.material];
        if (key < 0 || k2 < key) key = k2;
      }
    }
    if (key < 0) break;
    if (key & 0x8000) {
      if (!smooth) break;
      if (!blending) {
        blending = true;
        flags |= DRAW_BLEND | DRAW_NO_DEPTH_WRITE;
        draw_set_blend(BLEND_ALPHA);
        draw_set_depth_function(DEPTH_LESS_EQUAL);
      }
    }
    auto in_set = [&](const CellCursor& c) {
      return c.material < c.bsp->material_count && c.bsp->material_keys[c.material] == key;
    };
    for (uint32_t k = 0; k < n; k++) {
      if (!in_set(cursors[k])) continue;
      const MapObject* map = cursors[k].map;
      uint32_t m = cursors[k].material;
      draw_set_texture(
          map && map->material_textures && m < map->material_count ? (int32_t)map->material_textures[m] : 0);
      break;
    }

    draw_set_flags(flags | DRAW_NO_CLIP);
    for (uint32_t k = 0; k < n; k++) {
      CellCursor& c = cursors[k];
      if (!in_set(c)) continue;
      uint32_t start = c.bsp->bucket_starts[c.material];
      for (uint32_t i = 0; i < c.bsp->counters[2 * c.material]; i++)
        drawn += append_group(c.bsp->draw_list[start + i]);
    }
    flush_batch();

    draw_set_flags(flags);
    for (uint32_t k = 0; k < n; k++) {
      CellCursor& c = cursors[k];
      if (!in_set(c)) continue;
      uint32_t end = c.bsp->bucket_starts[c.material + 1];
      uint32_t crossing = c.bsp->counters[2 * c.material + 1];
      for (uint32_t i = 0; i < crossing; i++) drawn += append_group(c.bsp->draw_list[end - 1 - i]);
      c.material++;
    }
    flush_batch();
  }
  draw_set_depth_function(DEPTH_LESS);
  draw_set_user_extra(nullptr);
  return drawn;
}

void world_geometry_draw(EntityWorld* world, const void*) {
  g_groups_drawn = 0;
  CameraState* camera = world ? camera_of(world) : nullptr;
  uint32_t count = zone_loaded_cell_count();
  if (!camera || count == 0) return;
  static LightBlock block;
  block = LightBlock{};
  env_light_direction(block.direction);
  if (g_light_source) g_light_source(&block);
  if (block.count < 0) block.count = 0;
  if (block.count > (int32_t)LIGHT_BLOCK_MAX) block.count = LIGHT_BLOCK_MAX;
  WorldCell cells[ZONE_CELL_SLOTS];
  for (uint32_t i = 0; i < count && i < ZONE_CELL_SLOTS; i++)
    cells[i] = WorldCell{zone_loaded_cell(i), zone_cell_map(i)};
  g_groups_drawn = world_geometry_draw_cells(cells, count, &camera->camera, &block);
}
