// The frame: a whole frame of 10,000 entities through the render layers with a backend that
// does nothing, item submission alone, and the environment's per-frame step, each beside a
// reference in the same run: the same items kept in std::unordered_map<uint32_t,
// std::vector<Item>> and walked, and the camera record's own build.
#include <benchmark/benchmark.h>

#include <cstring>
#include <unordered_map>
#include <vector>

#include "assets/mesh.h"
#include "base/camera.h"
#include "base/mem.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/frame.h"
#include "scene/model_draw.h"
#include "scene/render_layers.h"
#include "scene/scene_traversal.h"
#include "support/backend_testing.h"

namespace {

constexpr uint32_t FRAME_ENTITIES = 10000;
constexpr uint32_t MESH_IDS = 64;

// Every mesh is the unit cube, so each entity draws 24 lit vertices.
const Mesh* cube_meshes(uint32_t, int* ready, int* failed) {
  *ready = 1;
  *failed = 0;
  return mesh_unit_cube();
}

void start_renderer(void) {
  render_set_backend_inits(quiet_backend_inits());
  render_install(nullptr, 0);
  draw_startup();
  frame_startup();
  model_draw_set_mesh_source(cube_meshes);
}

void stop_renderer(void) {
  game_world_replace(nullptr);
  model_draw_set_mesh_source(nullptr);
  frame_shutdown();
  draw_shutdown();
  render_uninstall(nullptr);
  render_set_backend_inits(nullptr);
}

// A zone with a camera at the origin looking down -z and an environment.
EntityWorld* make_zone(void) {
  EntityWorld* world = catalogue_world_create(4, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  camera_build(&c->camera, 0, 0, 0, 0, 0, 0, 60, 0.1f, 500, 1024, 768);
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  const float white[3] = {1, 1, 1};
  env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, env), white, 100,
                  1000, 50, 400, 3, 64);
  return world;
}

// 10,000 cubes in spaces 3, 8, 9 and 10; every other one in front of the camera, the rest
// behind it.
void fill_zone(EntityWorld* world) {
  const uint32_t spaces[4] = {SPACE_PROPS, SPACE_PLAYERS, SPACE_CREATURES, SPACE_OBJECTS};
  for (uint32_t i = 0; i < FRAME_ENTITIES; i++) {
    uint32_t h = catalogue_entity_create(world, spaces[i % 4], 0, 3);
    ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, h))->mesh_id = 1 + (i * 7) % MESH_IDS;
    Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, h);
    float side = (float)((int)(i % 17) - 8), up = (float)((int)(i / 17 % 13) - 6);
    float depth = 20.0f + (float)(i % 97);
    t->position = {side, up, (i / 2) % 2 ? depth : -depth};
  }
  model_bounds_update(world, 0);
}

void BM_FrameRender(benchmark::State& state) {
  start_renderer();
  EntityWorld* world = make_zone();
  fill_zone(world);
  frame_render(nullptr);  // keys and arrays made once
  CameraState* camera =
      (CameraState*)pool_at(space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE), 0);
  scene_traverse(world, &camera->camera);
  state.counters["visible"] = render_layer_item_count(1) + render_layer_item_count(2);
  render_layers_empty();
  uint64_t allocations = mem_allocation_count();
  for (auto _ : state) frame_render(nullptr);
  state.counters["allocations"] = (double)(mem_allocation_count() - allocations);
  state.counters["per_entity"] = benchmark::Counter(
      FRAME_ENTITIES, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  stop_renderer();
}
BENCHMARK(BM_FrameRender)->Unit(benchmark::kMicrosecond);

// The layers' share of a frame: the visible half's items submitted by mesh id, walked and
// emptied, with an empty draw function.
struct Item {
  int32_t layer;
  int32_t key;
  alignas(8) uint8_t payload[RENDER_PAYLOAD_BYTES];
  RenderItemFn fn;
};
void draw_nothing(EntityWorld*, const void* payload) { benchmark::DoNotOptimize(payload); }

void BM_LayersSubmitWalkEmpty(benchmark::State& state) {
  render_layers_startup();
  uint8_t payload[RENDER_PAYLOAD_BYTES] = {};
  for (auto _ : state) {
    for (uint32_t i = 0; i < FRAME_ENTITIES / 2; i++) {
      payload[0] = (uint8_t)i;
      submit_render_item(1, 1 + (i * 7) % MESH_IDS, payload, draw_nothing);
    }
    render_layers_walk(nullptr, 0, RENDER_LAYER_COUNT - 1);
    render_layers_empty();
  }
  state.counters["per_item"] = benchmark::Counter(
      FRAME_ENTITIES / 2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  render_layers_shutdown();
}
BENCHMARK(BM_LayersSubmitWalkEmpty)->Unit(benchmark::kMicrosecond);

void BM_ReferenceUnorderedMapSubmitWalkClear(benchmark::State& state) {
  std::unordered_map<uint32_t, std::vector<Item>> layer;
  Item item = {};
  item.fn = draw_nothing;
  for (auto _ : state) {
    for (uint32_t i = 0; i < FRAME_ENTITIES / 2; i++) {
      item.payload[0] = (uint8_t)i;
      item.key = (int32_t)(1 + (i * 7) % MESH_IDS);
      layer[(uint32_t)item.key].push_back(item);
    }
    for (auto& entry : layer)
      for (const Item& it : entry.second) it.fn(nullptr, it.payload);
    for (auto& entry : layer) entry.second.clear();
  }
  state.counters["per_item"] = benchmark::Counter(
      FRAME_ENTITIES / 2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReferenceUnorderedMapSubmitWalkClear)->Unit(benchmark::kMicrosecond);

// One submission; the layers are emptied every 1024 items, outside the timing's unit.
constexpr uint32_t SUBMIT_BATCH = 1024;

void BM_SubmitRenderItem(benchmark::State& state) {
  render_layers_startup();
  uint8_t payload[RENDER_PAYLOAD_BYTES] = {};
  for (auto _ : state) {
    for (uint32_t i = 0; i < SUBMIT_BATCH; i++)
      submit_render_item(1, 1 + (i * 7) % MESH_IDS, payload, draw_nothing);
    render_layers_empty();
  }
  state.counters["per_item"] = benchmark::Counter(
      SUBMIT_BATCH, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  render_layers_shutdown();
}
BENCHMARK(BM_SubmitRenderItem);

void BM_ReferenceUnorderedMapPush(benchmark::State& state) {
  std::unordered_map<uint32_t, std::vector<Item>> layer;
  Item item = {};
  item.fn = draw_nothing;
  for (auto _ : state) {
    for (uint32_t i = 0; i < SUBMIT_BATCH; i++) {
      item.key = (int32_t)(1 + (i * 7) % MESH_IDS);
      layer[(uint32_t)item.key].push_back(item);
    }
    for (auto& entry : layer) entry.second.clear();
  }
  state.counters["per_item"] = benchmark::Counter(
      SUBMIT_BATCH, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReferenceUnorderedMapPush);

void BM_EnvUpdate(benchmark::State& state) {
  start_renderer();
  make_zone();
  for (auto _ : state) env_update();
  stop_renderer();
}
BENCHMARK(BM_EnvUpdate);

void BM_ReferenceCameraBuild(benchmark::State& state) {
  Camera camera;
  float angle = 0;
  for (auto _ : state) {
    camera_build(&camera, 1, 2, 3, 10, angle, 0, 60, 0.1f, 500, 1024, 768);
    angle += 0.1f;
    benchmark::DoNotOptimize(camera);
  }
}
BENCHMARK(BM_ReferenceCameraBuild);

}  // namespace
