#include "scene/model_draw.h"

#include "render/draw.h"
#include "scene/scene_traversal.h"

namespace {

constexpr uint32_t BOX_COLOURS[8] = {
    0xFFC04040u, 0xFF40C040u, 0xFF4040C0u, 0xFFC0C040u, 0xFFC040C0u, 0xFF40C0C0u, 0xFFC08040u, 0xFFA0A0A0u,
};

// Corner i takes x from bit 2, y from bit 1, z from bit 0 (set: the maximum). Faces are drawn
// with culling off, so their winding does not matter.
constexpr uint16_t BOX_INDICES[36] = {
    0, 1, 3, 0, 3, 2,  // x min
    4, 6, 7, 4, 7, 5,  // x max
    0, 4, 5, 0, 5, 1,  // y min
    2, 3, 7, 2, 7, 6,  // y max
    0, 2, 6, 0, 6, 4,  // z min
    1, 5, 7, 1, 7, 3,  // z max
};

}  // namespace

uint32_t model_placeholder_colour(uint32_t mesh_id) { return BOX_COLOURS[mesh_id & 7]; }

int model_placeholder_bounds(uint32_t, uint32_t, Bounds* out) {
  *out = bounds_make({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
  return 1;
}

void model_draw(EntityWorld*, const void* payload) {
  const ScenePayload* p = (const ScenePayload*)payload;
  const Bounds& b = p->world_bounds;
  RenderVertex corners[8] = {};
  uint32_t colour = model_placeholder_colour(p->mesh_id);
  for (int i = 0; i < 8; i++) {
    corners[i].x = i & 4 ? b.max.x : b.min.x;
    corners[i].y = i & 2 ? b.max.y : b.min.y;
    corners[i].z = i & 1 ? b.max.z : b.min.z;
    corners[i].w = 1.0f;
    corners[i].colour = colour;
  }
  draw_reset();
  draw_set_model(nullptr);
  draw_set_texture(0);
  draw_set_depth_function(DEPTH_LESS);
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  draw_set_flags(DRAW_DEPTH_TEST | DRAW_FOG | (p->inside ? (uint32_t)DRAW_NO_CLIP : 0u));
  if (!draw_add_indexed(BOX_INDICES, 36, corners, 8)) return;
  draw_flush(nullptr);
  draw_primitives(PRIM_TRIANGLES);
}
