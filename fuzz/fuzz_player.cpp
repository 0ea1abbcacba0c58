// The local player's control, camera, movement and water state under arbitrary sequences:
// key, button and axis events (axis values of any bit pattern, NaN and infinities included),
// frame times of any float, stored camera pitch and distance of any float, teleports to any
// finite point, water volumes and walls at arbitrary places, and world replacement. The
// player's and the camera's transforms, the camera's view and the report fields must stay
// finite throughout; everything else runs under the sanitizers.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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
#include "scene/water.h"
#include "settings/settings.h"

#include "fuzz_bytes.h"

namespace {

struct Input : FuzzBytes {
  // Finite, from small to huge.
  float finite(void) {
    const float f = raw();
    return std::isfinite(f) ? f : (float)(int8_t)byte();
  }
};

float g_wall = 2;  // fraction of a trace where the fake world is hit (beyond 1: no hit)
int fake_trace(Vec3 from, Vec3 to, TraceHit* out) {
  if (!(g_wall >= 0 && g_wall <= 1)) return 0;
  const Vec3 p = {from.x + (to.x - from.x) * g_wall, from.y + (to.y - from.y) * g_wall,
                  from.z + (to.z - from.z) * g_wall};
  if (out) *out = {p, {0, 1, 0}, 0, 0};
  return 1;
}
int fake_gather(Vec3, Vec3, float, int32_t, uint32_t* out, int capacity) {
  const ComponentPool* pool = space_pool(world_space(game_world(), SPACE_WATER), COMPONENT_ENTITY_HEADER);
  int n = 0;
  for (uint32_t i = 0; pool && i < pool->dense_count && n < capacity; i++)
    out[n++] = ((const EntityHeader*)pool_at(pool, i))->handle;
  return n;
}
uint8_t g_grid[243];
const uint8_t* fake_grid(uint32_t id) { return id & 1 ? g_grid : nullptr; }
void no_send(uint16_t, const OutMove* m) {
  if (!m) return;
  for (float v : m->position) FUZZ_CHECK(std::isfinite(v));
  FUZZ_CHECK(std::isfinite(m->heading));
}

void new_world(void) {
  game_world_replace(catalogue_world_create(1, nullptr));
  catalogue_entity_create(game_world(), SPACE_CAMERA, 0, 0);
}

void spawn(Input* in) {
  SpawnCharacter s = {};
  s.id = 7;
  s.position[0] = in->finite(), s.position[1] = in->finite(), s.position[2] = in->finite();
  s.heading = in->finite();
  s.scale = 1;
  s.appearance = in->byte() % 4;
  s.walk_speed = in->finite(), s.run_speed = in->finite(), s.swim_speed = in->finite();
  s.flags = in->byte() & 1 ? 0x1000 : 0;
  const uint32_t h = spawn_local_player(&s);
  if (h) camera_attach(h);
}

void check_finite(void) {
  EntityWorld* w = game_world();
  for (uint32_t space : {SPACE_CAMERA, SPACE_LOCAL_PLAYER}) {
    const ComponentPool* pool = space_pool(world_space(w, space), COMPONENT_TRANSFORM);
    for (uint32_t i = 0; pool && i < pool->dense_count; i++) {
      const Transform* t = (const Transform*)pool_at(pool, i);
      FUZZ_CHECK(std::isfinite(t->position.x) && std::isfinite(t->position.y) &&
                 std::isfinite(t->position.z));
      FUZZ_CHECK(std::isfinite(t->rotation.x) && std::isfinite(t->rotation.y));
    }
  }
  if (camera_followed()) {
    const ComponentPool* pool = space_pool(world_space(w, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
    const CameraState* c = (const CameraState*)pool_at(pool, 0);
    for (float v : c->camera.view.m) FUZZ_CHECK(std::isfinite(v));
    FUZZ_CHECK(std::isfinite(camera_desired_distance()) && std::isfinite(camera_actual_distance()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    started = true;
    event_bus_start();
    input_start();
    keybind_init();
    keybind_start();
    net_effects_clear();
    game_objects_start();
    player_control_start();
    player_camera_start();
    player_set_sender(no_send);
    world_queries_install(fake_trace, fake_trace, fake_gather);
    water_set_colour_grid_source(fake_grid);
  }
  new_world();
  Input in = {{data, size}};
  g_wall = 2;
  for (int steps = 0; in.left && steps < 256; steps++) {
    switch (in.byte() % 10) {
      case 0: {
        const EventKey k = {in.byte() % 121u, 1u + in.byte() % 4u};
        event_post_copy(EVENT_KEY, &k, sizeof k);
        break;
      }
      case 1: {
        const EventButton b = {in.byte() % 4u, 1u + in.byte() % 3u};
        event_post_copy(EVENT_MOUSE_BUTTON, &b, sizeof b);
        break;
      }
      case 2: {
        const EventAxis a = {in.byte() % 3u, in.raw()};
        event_post_copy(EVENT_AXIS, &a, sizeof a);
        break;
      }
      case 3:
        camera_set_pitch(in.raw());
        camera_set_distance(in.raw());
        spawn(&in);
        break;
      case 4: {
        GameObject* o = object_by_id(7);
        const float x = in.finite(), y = in.finite(), z = in.finite(), h = in.finite();
        if (o) o->slots->teleport(o, x, y, z, h);
        break;
      }
      case 5: {
        const uint32_t h = catalogue_entity_create(game_world(), SPACE_WATER, 0, 1);
        if (!h) break;
        const Vec3 a = {in.finite(), in.finite(), in.finite()}, b = {in.finite(), in.finite(), in.finite()};
        ((PropBounds*)entity_component(game_world(), COMPONENT_PROP_BOUNDS, h))->local = bounds_make(a, b);
        ((WaterSurface*)entity_component(game_world(), COMPONENT_WATER_SURFACE, h))->colour_grid_id =
            in.byte();
        break;
      }
      case 6:
        g_wall = in.raw();
        break;
      case 7:
        if (in.byte() < 16) new_world();
        break;
      case 8:
        if (in.byte() & 1)
          entity_remove_by_id(7);
        else
          player_follow(in.byte());
        break;
      default: {
        const float dt = in.byte() & 1 ? in.raw() : (float)in.byte() / 600.0f;
        event_dispatch();
        input_update();
        keybind_frame();
        camera_look(dt);
        player_control(dt);
        player_physics_step(dt);
        camera_update(dt);
        water_state_update();
        check_finite();
        float colour[3];
        water_liquid_colour(colour);
        for (float v : colour) FUZZ_CHECK(std::isfinite(v));
        break;
      }
    }
  }
  game_world_replace(nullptr);
  return 0;
}
