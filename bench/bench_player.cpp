// One frame of the local player's systems, beside a plain reference in the same run:
// mouse look, control (running forward), the stand-in movement with its report, camera
// placement and the water state, with a fake prop gather that scans 100 water boxes; beside
// glm::lookAt + glm::perspective and a linear scan of the same 100 boxes for the capsule and
// the four near corners. Items processed: frames.
#include <benchmark/benchmark.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <vector>

#include "base/event_bus.h"
#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/object_effects.h"
#include "game/object_requests.h"
#include "game/player_camera.h"
#include "game/player_control.h"
#include "game/player_physics.h"
#include "game/player_report.h"
#include "game/spawn.h"
#include "game/world_queries.h"
#include "input/input.h"
#include "input/keybind.h"
#include "net/dispatch.h"
#include "platform/keymap.h"
#include "scene/water.h"

static constexpr int kBoxes = 100;
static constexpr float kFrame = 1.0f / 60.0f;
static std::vector<Bounds> g_boxes;
static std::vector<uint32_t> g_handles;

static bool overlaps(const Bounds& b, Vec3 a, Vec3 c, float r) {
  return std::fmax(a.x, c.x) + r >= b.min.x && std::fmin(a.x, c.x) - r <= b.max.x &&
         std::fmax(a.y, c.y) + r >= b.min.y && std::fmin(a.y, c.y) - r <= b.max.y &&
         std::fmax(a.z, c.z) + r >= b.min.z && std::fmin(a.z, c.z) - r <= b.max.z;
}

static int gather(Vec3 a, Vec3 b, float r, int32_t, uint32_t* out, int capacity) {
  int n = 0;
  for (int i = 0; i < kBoxes && n < capacity; i++)
    if (overlaps(g_boxes[i], a, b, r)) out[n++] = g_handles[i];
  return n;
}

static void no_send(uint16_t, const OutMove*) {}

static void world_start(void) {
  event_bus_start();
  input_start();
  keybind_init();
  keybind_start();
  net_effects_clear();
  game_world_replace(catalogue_world_create(1, nullptr));
  catalogue_entity_create(game_world(), SPACE_CAMERA, 0, 0);
  game_objects_start();
  player_control_start();
  player_camera_start();
  player_set_sender(no_send);
  world_queries_install(nullptr, nullptr, gather);
  g_boxes.clear();
  g_handles.clear();
  // A row of pools along the player's way; the player wades through every tenth one.
  for (int i = 0; i < kBoxes; i++) {
    const float x = (float)(i % 10) * 30 - 150, z = (float)(i / 10) * -30;
    const Bounds b = bounds_make({x, -4, z - 10}, {x + 20, i % 10 == 5 ? 0.5f : -2.0f, z + 10});
    const uint32_t h = catalogue_entity_create(game_world(), SPACE_WATER, 0, 1);
    ((PropBounds*)entity_component(game_world(), COMPONENT_PROP_BOUNDS, h))->local = b;
    g_boxes.push_back(b);
    g_handles.push_back(h);
  }
  SpawnCharacter s = {};
  s.id = 7;
  s.scale = 1;
  s.appearance = 1;
  s.run_speed = 2, s.walk_speed = 1, s.swim_speed = 0.5f;
  const uint32_t player = spawn_local_player(&s);
  camera_attach(player);
  const EventKey press = {key_letter('W'), ACTION_PRESSED}, held = {key_letter('W'), ACTION_HELD};
  event_post_copy(EVENT_KEY, &press, sizeof press);
  event_post_copy(EVENT_KEY, &held, sizeof held);
}

static void world_stop(void) {
  world_queries_install(nullptr, nullptr, nullptr);
  player_set_sender(nullptr);
  player_camera_shutdown();
  player_control_shutdown();
  game_objects_shutdown();
  game_world_shutdown();
  net_effects_clear();
  keybind_shutdown();
  input_stop();
  event_bus_stop();
}

static void BM_PlayerFrame(benchmark::State& state) {
  world_start();
  for (auto _ : state) {
    event_dispatch();
    input_update();
    keybind_frame();
    camera_look(kFrame);
    player_control(kFrame);
    player_physics_step(kFrame);
    camera_update(kFrame);
    water_state_update();
    benchmark::DoNotOptimize(water_state());
  }
  state.SetItemsProcessed(state.iterations());
  world_stop();
}
BENCHMARK(BM_PlayerFrame);

static void BM_ReferenceLookAtAndScan(benchmark::State& state) {
  world_start();
  glm::vec3 eye(0, 3, 6), target(0, 1.7f, 0);
  for (auto _ : state) {
    eye.z -= 0.01f;
    target.z -= 0.01f;
    const glm::mat4 view = glm::lookAt(eye, target, glm::vec3(0, 1, 0));
    const glm::mat4 projection = glm::perspective(glm::radians(60.0f), 4.0f / 3.0f, 0.1f, 500.0f);
    benchmark::DoNotOptimize(view);
    benchmark::DoNotOptimize(projection);
    int hits = 0;
    const Vec3 feet = {target.x, target.y - 1.7f, target.z}, head = {feet.x, feet.y + 2, feet.z};
    for (int i = 0; i < kBoxes; i++) hits += overlaps(g_boxes[i], feet, head, 0.5f);
    for (int corner = 0; corner < 4; corner++) {
      const Vec3 c = {eye.x + (corner & 1 ? 0.05f : -0.05f), eye.y + (corner & 2 ? 0.05f : -0.05f),
                      eye.z - 0.1f};
      for (int i = 0; i < kBoxes; i++) hits += overlaps(g_boxes[i], c, c, 0);
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations());
  world_stop();
}
BENCHMARK(BM_ReferenceLookAtAndScan);
