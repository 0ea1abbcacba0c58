// Collision queries and the movement tick, each beside a brute-force loop over the same
// triangles in the same run: zone_trace over nine loaded cells of the demo zone (beside a
// Moller-Trumbore pass over every triangle of the nine), zone_capsule_contact (beside
// capsule_triangle_contact on every triangle), world_shade_at for model volumes (beside the
// nearest shaded triangle of the cell by brute force), and one movement tick of a player
// running over the playground cell's 0.25 riser (beside sixteen brute-force capsule passes
// over the playground's triangles: about the queries a tick makes). Items: queries or ticks.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/bsp.h"
#include "assets/map.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/ray.h"
#include "base/triangle.h"
#include "base/vec3_ops.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/movement.h"
#include "game/object_effects.h"
#include "game/player_control.h"
#include "game/player_report.h"
#include "game/spawn.h"
#include "scene/collision.h"
#include "scene/zone_collision.h"
#include "scene/zone_stream.h"
#include "support/collision_fixture.h"

namespace {

// Nine cells (columns and rows 0..2) of the demo zone 3.
std::vector<FixtureCell> nine_cells(void) {
  std::vector<FixtureCell> cells;
  const std::string dir = std::string(OSTREVANE_BINARY_DIR) + "/assets/";
  Archive* maps = archive_open((dir + "map.dat").c_str());
  Archive* bsps = archive_open((dir + "bsp.dat").c_str());
  for (uint32_t c = 0; maps && bsps && c < 3; c++) {
    for (uint32_t r = 0; r < 3; r++) {
      uint32_t size = 0;
      uint8_t* bytes = archive_read(maps, 3u << 16 | c << 8 | r, &size);
      MapObject* map = bytes ? map_decode(bytes, size) : nullptr;
      mem_free(bytes);
      if (!map) continue;
      bytes = archive_read(bsps, map->bsp_id, &size);
      map_destroy(map);
      BspObject* bsp = bytes ? bsp_decode(bytes, size) : nullptr;
      mem_free(bytes);
      if (bsp) cells.push_back({c, r, bsp});
    }
  }
  if (maps) archive_close(maps);
  if (bsps) archive_close(bsps);
  return cells;
}

Vec3 corner(const BspCollisionTriangle* t, int i) { return {t->corners[i][0], t->corners[i][1], t->corners[i][2]}; }

struct Queries {
  std::vector<Vec3> from, to;
};
// Segments of 2..30 units from above the ground to below it, as line-of-sight and ground
// probes over the nine cells (192 x 192 units).
Queries segments(void) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> at(2, 190), up(1, 8), reach(-15, 15), unit(0, 1);
  Queries q;
  for (int i = 0; i < 1024; i++) {
    const Vec3 a = {at(rng), up(rng), at(rng)};
    q.from.push_back(a);
    q.to.push_back({a.x + reach(rng), a.y - 10 * unit(rng), a.z + reach(rng)});
  }
  return q;
}

void BM_ZoneTrace(benchmark::State& state) {
  CollisionFixtureZone zone(nine_cells(), 64);
  if (!zone.ok() || zone_loaded_cell_count() != 9) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const Queries q = segments();
  size_t i = 0;
  for (auto _ : state) {
    TraceHit hit;
    benchmark::DoNotOptimize(zone_trace(q.from[i], q.to[i], &hit));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ZoneTrace);

void BM_ReferenceTraceEveryTriangle(benchmark::State& state) {
  CollisionFixtureZone zone(nine_cells(), 64);
  if (!zone.ok() || zone_loaded_cell_count() != 9) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const Queries q = segments();
  size_t i = 0;
  for (auto _ : state) {
    const Ray ray = ray_from_points(q.from[i], q.to[i]);
    float best = vec3_distance_squared(q.from[i], q.to[i]);
    for (uint32_t c = 0; c < 9; c++) {
      const BspObject* cell = zone_loaded_cell(c);
      for (uint32_t k = 0; k < cell->triangle_count; k++) {
        const BspCollisionTriangle* t = &cell->triangles[k];
        Vec3 p;
        if (ray_hits_triangle(&ray, corner(t, 0), corner(t, 1), corner(t, 2), 0, &p))
          best = fminf(best, vec3_distance_squared(p, q.from[i]));
      }
    }
    benchmark::DoNotOptimize(best);
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceTraceEveryTriangle);

// Capsules standing on or near the ground of the nine cells.
std::vector<Capsule> capsules(void) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> at(2, 190), lift(0.8f, 1.2f);
  std::vector<Capsule> out;
  for (int i = 0; i < 1024; i++) {
    const float x = at(rng), z = at(rng);
    TraceHit hit;
    const float ground = zone_trace_world({x, 100, z}, {x, -100, z}, &hit) ? hit.point.y : 0;
    out.push_back(capsule_make({x, ground + lift(rng), z}, 0.5f, 2));
  }
  return out;
}

void BM_ZoneCapsuleContact(benchmark::State& state) {
  CollisionFixtureZone zone(nine_cells(), 64);
  if (!zone.ok() || zone_loaded_cell_count() != 9) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const std::vector<Capsule> c = capsules();
  size_t i = 0;
  for (auto _ : state) {
    Contact contact;
    benchmark::DoNotOptimize(zone_capsule_contact(&c[i], &contact));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ZoneCapsuleContact);

void BM_ReferenceCapsuleEveryTriangle(benchmark::State& state) {
  CollisionFixtureZone zone(nine_cells(), 64);
  if (!zone.ok() || zone_loaded_cell_count() != 9) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const std::vector<Capsule> c = capsules();
  size_t i = 0;
  for (auto _ : state) {
    float deepest = 0;
    for (uint32_t k = 0; k < 9; k++) {
      const BspObject* cell = zone_loaded_cell(k);
      for (uint32_t n = 0; n < cell->triangle_count; n++) {
        const BspCollisionTriangle* t = &cell->triangles[n];
        Contact contact;
        if (capsule_triangle_contact(&c[i], corner(t, 0), corner(t, 1), corner(t, 2), &contact))
          deepest = fmaxf(deepest, contact.penetration);
      }
    }
    benchmark::DoNotOptimize(deepest);
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceCapsuleEveryTriangle);

// Model volumes (1 x 2 x 1) standing on the ground of the first cell.
std::vector<Bounds> volumes(const BspObject* cell) {
  std::mt19937 rng(6);
  std::uniform_real_distribution<float> at(1, 63);
  std::vector<Bounds> out;
  for (int i = 0; i < 1024; i++) {
    const float x = at(rng), z = at(rng);
    TraceHit hit;
    const float ground = world_trace(cell, {x, 100, z}, {x, -100, z}, 0, &hit) ? hit.point.y : 0;
    out.push_back(bounds_make({x - 0.5f, ground - 1, z - 0.5f}, {x + 0.5f, ground + 2, z + 0.5f}));
  }
  return out;
}

void BM_WorldShadeAt(benchmark::State& state) {
  std::vector<FixtureCell> cells = nine_cells();
  CollisionFixtureZone zone(cells, 64);
  if (!zone.ok() || cells.empty()) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const BspObject* cell = cells[0].bsp;
  const std::vector<Bounds> v = volumes(cell);
  size_t i = 0;
  for (auto _ : state) {
    const Vec3 p = {v[i].centre.x, v[i].min.y + 1, v[i].centre.z};
    benchmark::DoNotOptimize(world_shade_at(cell, p, &v[i]));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WorldShadeAt);

void BM_ReferenceShadeEveryTriangle(benchmark::State& state) {
  std::vector<FixtureCell> cells = nine_cells();
  CollisionFixtureZone zone(cells, 64);
  if (!zone.ok() || cells.empty()) {
    state.SkipWithError("build the assets target first");
    return;
  }
  const BspObject* cell = cells[0].bsp;
  const std::vector<Bounds> v = volumes(cell);
  size_t i = 0;
  for (auto _ : state) {
    const Vec3 p = {v[i].centre.x, v[i].min.y + 1, v[i].centre.z};
    float best = INFINITY, shade = 1;
    for (uint32_t n = 0; n < cell->triangle_count; n++) {
      const BspCollisionTriangle* t = &cell->triangles[n];
      if (t->surface & BSP_SURFACE_NO_SHADE) continue;
      float w[3];
      const Vec3 q = closest_point_on_triangle(corner(t, 0), corner(t, 1), corner(t, 2), p, w);
      const float d2 = vec3_distance_squared(p, q);
      if (d2 < best) {
        best = d2;
        shade = (w[0] * t->shade[0] + w[1] * t->shade[1] + w[2] * t->shade[2]) / 255;
      }
    }
    benchmark::DoNotOptimize(shade);
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceShadeEveryTriangle);

void no_send(uint16_t, const OutMove*) {}

// The local player running from (22, 0, 46) towards -z over the 0.25 riser, put back every
// 90 ticks.
struct PlaygroundRun {
  std::vector<FixtureTriangle> tris;
  CollisionFixtureZone* zone;
  uint32_t player;
  PlaygroundRun() {
    collision_fixture_playground(&tris);
    zone = new CollisionFixtureZone({{0, 0, collision_fixture_cell(tris)}}, 64);
    event_bus_start();
    game_world_replace(catalogue_world_create(1, nullptr));
    catalogue_entity_create(game_world(), SPACE_CAMERA, 0, 0);
    game_objects_start();
    player_set_sender(no_send);
    SpawnCharacter s = {};
    s.id = 7;
    s.scale = 1;
    s.appearance = 1;
    s.run_speed = 2, s.walk_speed = 1, s.swim_speed = 0.5f;
    player = spawn_local_player(&s);
  }
  ~PlaygroundRun() {
    player_set_sender(nullptr);
    game_objects_shutdown();
    game_world_shutdown();
    event_bus_stop();
    delete zone;
  }
  void restart(void) {
    LocalView v;
    if (!player_local_view(&v)) return;
    PositionHistory* h = (PositionHistory*)entity_component(v.world, COMPONENT_POSITION_HISTORY, v.handle);
    h->previous = h->current = {22, 0, 46};
    v.motion->on_ground = 1;
    v.motion->ground_normal = {0, 1, 0};
    v.motion->control.move_direction = {0, 0, -1};
    v.motion->control.speed = 10;
  }
};

void BM_PhysicsTick(benchmark::State& state) {
  PlaygroundRun run;
  run.restart();
  int n = 0;
  for (auto _ : state) {
    movement_tick();
    if (++n == 90) {
      n = 0;
      run.restart();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PhysicsTick);

void BM_ReferenceSixteenCapsulePasses(benchmark::State& state) {
  std::vector<FixtureTriangle> tris;
  collision_fixture_playground(&tris);
  float z = 46;
  for (auto _ : state) {
    float deepest = 0;
    for (int pass = 0; pass < 16; pass++) {
      const Capsule c = capsule_make({22, 1.02f, z - 0.02f * (float)pass}, 0.5f, 2);
      for (const FixtureTriangle& t : tris) {
        Contact contact;
        if (capsule_triangle_contact(&c, t.a, t.b, t.c, &contact)) deepest = fmaxf(deepest, contact.penetration);
      }
    }
    benchmark::DoNotOptimize(deepest);
    z = z < 30 ? 46 : z - 0.17f;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceSixteenCapsulePasses);

}  // namespace
