#include <cfloat>
#include <cmath>

#include "game/components.h"
#include "game/game_world.h"
#include "game/world_queries.h"
#include "scene/water.h"

namespace {

constexpr float WATER_LOWEST = -FLT_MAX;
constexpr float WATER_WADING = 0.75f;  // x body height: shallower water is waded
constexpr float WATER_PROBE = 32.0f;   // how far below the surface the ground is looked for
const float UNLOADED[3] = {0, 1, 1};

struct WaterModule {
  int in_liquid;
  float colour[3];
  int32_t state;
  float level;
  WaterColourGridFn grid_source;
};
WaterModule g = {0, {1, 1, 1}, 0, WATER_LOWEST, nullptr};

void set_colour(float out[3], const float in[3]) {
  for (int i = 0; i < 3; i++) out[i] = in[i];
}

// A volume's top and its colour at (x, z); 0 when the handle is not a water volume.
int volume_at(EntityWorld* world, uint32_t handle, float x, float z, float* level, float colour[3]) {
  if (entity_space_of(handle) != SPACE_WATER) return 0;
  const PropBounds* b = (const PropBounds*)entity_component(world, COMPONENT_PROP_BOUNDS, handle);
  if (!b || !std::isfinite(b->local.max.y)) return 0;
  *level = b->local.max.y;
  const WaterSurface* s = (const WaterSurface*)entity_component(world, COMPONENT_WATER_SURFACE, handle);
  const uint8_t* grid = s && g.grid_source ? g.grid_source(s->colour_grid_id) : nullptr;
  water_grid_colour(grid, b->local.min.x, b->local.min.z, b->local.max.x, b->local.max.z, x, z, colour);
  return 1;
}

// The fraction of v across lo .. hi, times 8: a cell index 0..7 and the weight inside it.
void grid_cell(float lo, float hi, float v, int* cell, float* weight) {
  float f = hi > lo ? (v - lo) / (hi - lo) : 0.0f;
  if (!(f > 0)) f = 0;  // NaN too
  if (f > 1) f = 1;
  f *= 8;
  int c = (int)f;
  if (c > 7) c = 7;
  *cell = c;
  *weight = f - (float)c;
}

Vec3 camera_position(EntityWorld* world, Vec3 fallback) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_TRANSFORM);
  return pool && pool->dense_count ? ((const Transform*)pool_at(pool, 0))->position : fallback;
}

const CameraState* camera_record(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (const CameraState*)pool_at(pool, 0) : nullptr;
}

void camera_step(EntityWorld* world) {
  const CameraState* camera = camera_record(world);
  if (!camera) return;
  float highest = WATER_LOWEST;
  uint32_t hits[WATER_GATHER_MAX];
  // Corners 0, 2, 4 and 6 are the near plane's (z runs fastest).
  for (int corner = 0; corner < 8; corner += 2) {
    const Vec3 c = camera->camera.corners[corner];
    const int n = prop_gather(c, c, 0, 1, hits, WATER_GATHER_MAX);
    for (int i = 0; i < n; i++) {
      float level, colour[3];
      if (!volume_at(world, hits[i], c.x, c.z, &level, colour)) continue;
      g.in_liquid = 1;
      if (level > highest) {
        highest = level;
        set_colour(g.colour, colour);
      }
    }
  }
}

void player_step(EntityWorld* world) {
  const uint32_t handle = entity_by_id(local_player_id());
  const Transform* t = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  const MotionState* m = (const MotionState*)entity_component(world, COMPONENT_MOTION_STATE, handle);
  if (!t || !m) return;
  const Vec3 p = t->position;
  const float h = m->height, r = m->radius, centre = p.y + m->centre_offset;
  const float half = 2 * r <= h ? h / 2 - r : 0.0f;
  uint32_t hits[WATER_GATHER_MAX];
  const int n =
      prop_gather({p.x, centre - half, p.z}, {p.x, centre + half, p.z}, r, 1, hits, WATER_GATHER_MAX);
  const Vec3 eye = camera_position(world, p);
  int any = 0;
  for (int i = 0; i < n; i++) {
    float level, colour[3];
    if (!volume_at(world, hits[i], eye.x, eye.z, &level, colour)) continue;
    any = 1;
    if (level > g.level) {
      g.level = level;
      set_colour(g.colour, colour);
    }
  }
  if (!any) return;
  g.state = WATER_SHALLOW;
  const Vec3 s = {p.x, g.level, p.z};
  const float wading = WATER_WADING * h;
  TraceHit hit;
  if (zone_trace(s, {p.x, g.level - WATER_PROBE, p.z}, &hit)) {
    const float dy = s.y - hit.point.y;
    if (dy < wading) return;
  }
  const float dx = s.x - p.x, dy = s.y - p.y, dz = s.z - p.z;
  if (sqrtf(dx * dx + dy * dy + dz * dz) < wading) return;
  g.state = p.y + h <= g.level ? WATER_UNDER : WATER_IN;
}

}  // namespace

void water_set_colour_grid_source(WaterColourGridFn source) { g.grid_source = source; }

void water_grid_colour(const uint8_t* grid, float min_x, float min_z, float max_x, float max_z, float x,
                       float z, float out[3]) {
  if (!grid) {
    set_colour(out, UNLOADED);
    return;
  }
  int cx, cz;
  float wx, wz;
  grid_cell(min_x, max_x, x, &cx, &wx);
  grid_cell(min_z, max_z, z, &cz, &wz);
  const uint8_t* c00 = grid + 3 * (cz * 9 + cx);
  const uint8_t* c10 = c00 + 3;
  const uint8_t* c01 = c00 + 27;
  const uint8_t* c11 = c01 + 3;
  for (int i = 0; i < 3; i++) {
    const float top = c00[i] * (1 - wx) + c10[i] * wx, bottom = c01[i] * (1 - wx) + c11[i] * wx;
    out[i] = (top * (1 - wz) + bottom * wz) / 255.0f;
  }
}

void water_state_update(void) {
  g.level = WATER_LOWEST;
  set_colour(g.colour, UNLOADED);
  g.in_liquid = 0;
  g.state = WATER_DRY;
  EntityWorld* world = game_world();
  if (!world) return;
  camera_step(world);
  player_step(world);
}

int32_t water_state(void) { return g.state; }
float water_level(void) { return g.level; }
void water_liquid_colour(float out[3]) { set_colour(out, g.colour); }

int water_camera_in_liquid(float colour[3]) {
  if (!g.in_liquid) return 0;
  if (colour) set_colour(colour, g.colour);
  return 1;
}

void water_set_camera_in_liquid(int in_liquid, const float colour[3]) {
  g.in_liquid = in_liquid ? 1 : 0;
  for (int i = 0; i < 3; i++) g.colour[i] = colour ? colour[i] : 1.0f;
}
