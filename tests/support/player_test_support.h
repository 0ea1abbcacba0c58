#pragma once
// A world with a camera and a local player, input fed as window events, and a recorder of
// what the player sends: the fixture of the player-control, report and camera tests
// (header-only; never part of the client library).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
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
#include "settings/settings.h"
#include "support/test_files.h"

struct SentMessage {
  uint16_t opcode;
  int has_move;
  OutMove move;
};

inline std::vector<SentMessage>& player_sent(void) {
  static std::vector<SentMessage> sent;
  return sent;
}
inline void player_record_send(uint16_t opcode, const OutMove* move) {
  player_sent().push_back({opcode, move ? 1 : 0, move ? *move : OutMove{}});
}
inline int player_sent_count(uint16_t opcode) {
  int n = 0;
  for (const SentMessage& m : player_sent()) n += m.opcode == opcode;
  return n;
}

inline SpawnCharacter player_spawn_record(uint32_t id, float x, float y, float z, float heading) {
  SpawnCharacter s = {};
  s.id = id;
  s.position[0] = x, s.position[1] = y, s.position[2] = z;
  s.heading = heading;
  s.scale = 1;
  s.appearance = 1;
  s.name = "Ida";
  s.title = "";
  for (float* p : {s.motion.a, s.motion.b, s.motion.c}) p[0] = x, p[1] = y, p[2] = z;
  s.health_max = s.health = 10;
  s.walk_speed = 1, s.run_speed = 2, s.swim_speed = 0.5f;
  return s;
}

// Water volumes for the fake queries: a gather that tests each space-4 entity's box against
// the capsule's box, and a zone trace that meets flat ground at a chosen height.
struct FakeWater {
  float ground = -1e30f;  // no ground
};
inline FakeWater& fake_water(void) {
  static FakeWater w;
  return w;
}
inline int fake_water_gather(Vec3 a, Vec3 b, float radius, int32_t, uint32_t* handles, int capacity) {
  EntityWorld* world = game_world();
  const ComponentPool* headers = space_pool(world_space(world, SPACE_WATER), COMPONENT_ENTITY_HEADER);
  int n = 0;
  for (uint32_t i = 0; headers && i < headers->dense_count && n < capacity; i++) {
    const uint32_t h = ((const EntityHeader*)pool_at(headers, i))->handle;
    const Bounds& v = ((const PropBounds*)entity_component(world, COMPONENT_PROP_BOUNDS, h))->local;
    const float lo_y = std::fmin(a.y, b.y) - radius, hi_y = std::fmax(a.y, b.y) + radius;
    if (a.x + radius >= v.min.x && a.x - radius <= v.max.x && a.z + radius >= v.min.z &&
        a.z - radius <= v.max.z && hi_y >= v.min.y && lo_y <= v.max.y)
      handles[n++] = h;
  }
  return n;
}
inline int fake_ground_trace(Vec3 from, Vec3 to, TraceHit* out) {
  const float g = fake_water().ground;
  if (!(from.y >= g && to.y <= g)) return 0;
  if (out) *out = {{from.x, g, from.z}, {0, 1, 0}, from.y - g, 0};
  return 1;
}
// A water volume over min .. max whose colour grid has the id.
inline uint32_t fake_water_volume(Vec3 min, Vec3 max, uint32_t grid_id) {
  EntityWorld* world = game_world();
  const uint32_t h = catalogue_entity_create(world, SPACE_WATER, 0, 1);
  ((PropBounds*)entity_component(world, COMPONENT_PROP_BOUNDS, h))->local = bounds_make(min, max);
  ((WaterSurface*)entity_component(world, COMPONENT_WATER_SURFACE, h))->colour_grid_id = grid_id;
  return h;
}

class PlayerFixture : public ::testing::Test {
 protected:
  static constexpr uint32_t LOCAL_ID = 7;
  static constexpr float DT = 1.0f / 60;
  TestTempDir dir{"player"};

  void SetUp() override {
    profile_load((dir / "profile.ini").c_str());
    camera_set_pitch(10);
    camera_set_distance(6);
    event_bus_start();
    input_start();
    keybind_init();
    keybind_start();
    net_effects_clear();
    game_world_replace(catalogue_world_create(1, nullptr));
    camera_entity = catalogue_entity_create(game_world(), SPACE_CAMERA, 0, 0);
    game_objects_start();
    player_control_start();
    player_camera_start();
    world_queries_install(nullptr, nullptr, nullptr);
    player_set_sender(player_record_send);
    player_sent().clear();
    object_requests_clear();
    spawn_local(0, 0, 0, 0);
  }
  void TearDown() override {
    player_set_sender(nullptr);
    world_queries_install(nullptr, nullptr, nullptr);
    water_set_colour_grid_source(nullptr);
    player_camera_shutdown();
    player_control_shutdown();
    game_objects_shutdown();
    game_world_shutdown();
    net_effects_clear();
    input_set_text_focus_query(nullptr);
    keybind_shutdown();
    input_stop();
    event_bus_stop();
    settings_close();
    water_state_update();  // no world: the water state back to dry
  }

  void spawn_local(float x, float y, float z, float heading) {
    SpawnCharacter s = player_spawn_record(LOCAL_ID, x, y, z, heading);
    player = spawn_local_player(&s);
    camera_attach(player);
  }

  // Input as the window posts it.
  static void key(uint32_t code, uint32_t action) {
    EventKey k = {code, action};
    event_post_copy(EVENT_KEY, &k, sizeof k);
  }
  // A press is followed by the held message, as the window sends it.
  static void press(uint32_t code) {
    key(code, ACTION_PRESSED);
    key(code, ACTION_HELD);
  }
  static void release(uint32_t code) { key(code, ACTION_RELEASED); }
  static void button(uint32_t b, uint32_t action) {
    EventButton e = {b, action};
    event_post_copy(EVENT_MOUSE_BUTTON, &e, sizeof e);
  }
  static void button_press(uint32_t b) {
    button(b, ACTION_PRESSED);
    button(b, ACTION_HELD);
  }
  static void button_release(uint32_t b) { button(b, ACTION_RELEASED); }
  static void axis(uint32_t a, float value) {
    EventAxis e = {a, value};
    event_post_copy(EVENT_AXIS, &e, sizeof e);
  }

  // One whole frame in the order of the frame lists.
  void frame(float dt = DT) {
    event_dispatch();
    input_update();
    keybind_frame();
    camera_look(dt);
    player_control(dt);
    player_physics_step(dt);
    camera_update(dt);
    water_state_update();
  }
  void frames(int n, float dt = DT) {
    for (int i = 0; i < n; i++) frame(dt);
  }

  LocalView view(void) {
    LocalView v = {};
    EXPECT_TRUE(player_local_view(&v));
    return v;
  }
  const PlayerMotion& motion(void) { return view().motion->control; }
  Transform* camera_transform(void) {
    return (Transform*)entity_component(game_world(), COMPONENT_TRANSFORM, camera_entity);
  }
  CameraState* camera_state(void) {
    return (CameraState*)entity_component(game_world(), COMPONENT_CAMERA_STATE, camera_entity);
  }

  uint32_t camera_entity = 0;
  uint32_t player = 0;
};
