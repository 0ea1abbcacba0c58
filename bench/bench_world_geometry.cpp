// World drawing: the lighting stage over world vertices without and with four dynamic lights,
// beside memcpy of the same vertices; and the world geometry item over 25 cells of the demo
// zone in view (its 16 cells plus 9 more decoded copies, all seen from above) on a backend
// that does nothing, beside copying the vertices of the face groups it draws.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/bsp.h"
#include "assets/map.h"
#include "base/camera.h"
#include "base/mem.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/lighting.h"
#include "scene/world_geometry.h"
#include "support/backend_testing.h"

namespace {

constexpr uint32_t VERTICES = 4096;

std::vector<RenderVertex> make_vertices(uint8_t mask) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> near(-3, 3);
  std::vector<RenderVertex> v(VERTICES);
  for (RenderVertex& r : v) {
    r.x = near(rng);
    r.y = near(rng);
    r.z = near(rng);
    uint32_t material = 0x80000000u | (rng() & 0xFFFFFF);
    memcpy(&r.w, &material, 4);
    r.colour = rng();
    r.spare = (rng() & 255) | (uint32_t)mask << 24;
  }
  return v;
}

// Four lights whose reach covers every vertex, so each vertex takes all four.
LightBlock four_lights(void) {
  LightBlock block{};
  block.count = 4;
  const Vec3 at[4] = {{1, 1, 1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, 1}};
  for (int j = 0; j < 4; j++) {
    LightSource& l = block.lights[j];
    l.inv_radius = 1.0f / 20;
    l.radius_sq = 400;
    l.red = 200;
    l.green = 150;
    l.blue = 100;
    l.position = at[j];
    l.bounds = bounds_make(Vec3{-20, -20, -20}, Vec3{20, 20, 20});
  }
  return block;
}

void light_stage(benchmark::State& state) {
  const int lights = (int)state.range(0);
  std::vector<RenderVertex> v = make_vertices(lights ? 0x0F : 0);
  LightBlock block = four_lights();
  const int8_t sun[3] = {40, 100, 60};
  const uint8_t colour[4] = {230, 220, 200, 255};
  lighting_tables_build(sun, colour);
  DrawRecord record{};
  record.source_vertices = v.data();
  record.vertex_count = VERTICES;
  record.current_source = &record;
  record.user_extra = lights ? &block : nullptr;
  for (auto _ : state) {
    world_light_stage(&record);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed((int64_t)state.iterations() * VERTICES);
}
BENCHMARK(light_stage)->Arg(0)->Arg(4)->ArgName("lights");

void memcpy_vertices(benchmark::State& state) {
  std::vector<RenderVertex> a = make_vertices(0), b(VERTICES);
  for (auto _ : state) {
    memcpy(b.data(), a.data(), VERTICES * sizeof(RenderVertex));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed((int64_t)state.iterations() * VERTICES);
}
BENCHMARK(memcpy_vertices);

// ---- The world item over the demo zone.
struct Zone {
  std::vector<BspObject*> bsps;
  std::vector<MapObject*> maps;
  bool ok = false;
};

Zone& demo_zone(void) {
  static Zone zone;
  static bool loaded = false;
  if (loaded) return zone;
  loaded = true;
  std::string dir = std::string(OSTREVANE_BINARY_DIR) + "/assets/";
  Archive* maps = archive_open((dir + "map.dat").c_str());
  Archive* bsps = archive_open((dir + "bsp.dat").c_str());
  if (!maps || !bsps) return zone;
  for (uint32_t k = 0; k < 25; k++) {
    uint32_t id = 3u << 16 | (k % 16 / 4) << 8 | (k % 4);
    uint32_t size = 0;
    uint8_t* bytes = archive_read(maps, id, &size);
    MapObject* map = bytes ? map_decode(bytes, size) : nullptr;
    mem_free(bytes);
    if (!map) return zone;
    bytes = archive_read(bsps, map->bsp_id, &size);
    BspObject* bsp = bytes ? bsp_decode(bytes, size) : nullptr;
    mem_free(bytes);
    if (!bsp) return zone;
    zone.maps.push_back(map);
    zone.bsps.push_back(bsp);
  }
  archive_close(maps);
  archive_close(bsps);
  zone.ok = true;
  return zone;
}

// High above the zone's middle looking straight down (the pitch whose forward, -axis_z,
// points down).
Camera overhead(void) {
  Camera c;
  for (float pitch : {-90.0f, 90.0f}) {
    camera_build(&c, 128, 260, 128, pitch, 0, 0, 60, 0.5f, 600, 1024, 768);
    if (c.axis_z.y > 0.99f) break;
  }
  return c;
}

// Vertices of the groups a draw appends, from the buckets the walk left.
uint64_t drawn_vertices(const Zone& zone) {
  uint64_t n = 0;
  for (BspObject* b : zone.bsps) {
    for (uint32_t m = 0; m < b->material_count; m++) {
      uint32_t start = b->bucket_starts[m], end = b->bucket_starts[m + 1];
      for (uint32_t i = 0; i < b->counters[2 * m]; i++) n += b->draw_list[start + i]->vertex_count;
      for (uint32_t i = 0; i < b->counters[2 * m + 1]; i++) n += b->draw_list[end - 1 - i]->vertex_count;
    }
  }
  return n;
}

void world_draw(benchmark::State& state) {
  Zone& zone = demo_zone();
  if (!zone.ok) {
    state.SkipWithError("build the assets target first");
    return;
  }
  render_set_backend_inits(quiet_backend_inits());
  render_install(nullptr, 0);
  draw_startup();
  const int8_t sun[3] = {40, 100, 60};
  const uint8_t colour[4] = {230, 220, 200, 255};
  lighting_tables_build(sun, colour);
  Camera camera = overhead();
  // Distinct objects (decoded separately) so none is skipped as shared.
  std::vector<WorldCell> cells;
  for (size_t i = 0; i < zone.bsps.size(); i++) cells.push_back(WorldCell{zone.bsps[i], zone.maps[i]});
  uint32_t groups = 0;
  for (auto _ : state) {
    groups = world_geometry_draw_cells(cells.data(), (uint32_t)cells.size(), &camera, nullptr);
    benchmark::ClobberMemory();
  }
  uint64_t vertices = drawn_vertices(zone);
  state.counters["cells"] = (double)cells.size();
  state.counters["groups"] = groups;
  state.counters["vertices"] = (double)vertices;
  state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)vertices);
  draw_shutdown();
  render_uninstall(nullptr);
  render_set_backend_inits(nullptr);
}
BENCHMARK(world_draw)->Unit(benchmark::kMicrosecond);

// The reference: copying the vertices the world item draws, group by group.
void world_draw_copy_reference(benchmark::State& state) {
  Zone& zone = demo_zone();
  if (!zone.ok) {
    state.SkipWithError("build the assets target first");
    return;
  }
  Camera camera = overhead();
  for (BspObject* b : zone.bsps) world_geometry_traverse(b, &camera, nullptr);
  std::vector<const BspFaceGroup*> groups;
  for (BspObject* b : zone.bsps) {
    for (uint32_t m = 0; m < b->material_count; m++) {
      uint32_t start = b->bucket_starts[m], end = b->bucket_starts[m + 1];
      for (uint32_t i = 0; i < b->counters[2 * m]; i++) groups.push_back(b->draw_list[start + i]);
      for (uint32_t i = 0; i < b->counters[2 * m + 1]; i++) groups.push_back(b->draw_list[end - 1 - i]);
    }
  }
  uint64_t vertices = drawn_vertices(zone);
  std::vector<RenderVertex> out(vertices);
  for (auto _ : state) {
    RenderVertex* p = out.data();
    for (const BspFaceGroup* g : groups) {
      memcpy(p, g->vertices, g->vertex_count * sizeof(RenderVertex));
      p += g->vertex_count;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["vertices"] = (double)vertices;
  state.SetItemsProcessed((int64_t)state.iterations() * (int64_t)vertices);
}
BENCHMARK(world_draw_copy_reference)->Unit(benchmark::kMicrosecond);

}  // namespace
