// BSP decoding of arbitrary bytes, then the collision queries over the decoded cell (traces,
// sphere and capsule contacts, merged contacts, shade) at points drawn from a hash of the
// input, and the local player moving over it as the only loaded cell with input, frame
// lengths and jumps from the same hash: every position stays a finite number.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "assets/bsp.h"
#include "base/event_bus.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/movement.h"
#include "game/object_effects.h"
#include "game/player_control.h"
#include "game/player_report.h"
#include "game/spawn.h"
#include "scene/collision.h"
#include "scene/zone_collision.h"
#include "support/collision_fixture.h"

namespace {

void no_send(uint16_t, const OutMove*) {}

void world_once(void) {
  static bool started = false;
  if (started) return;
  started = true;
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
  spawn_local_player(&s);
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > BSP_FILE_MAX) return 0;
  BspObject* bsp = bsp_decode(data, (uint32_t)size);
  if (!bsp) return 0;
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
  auto next = [&h]() {
    h = h * 1103515245u + 12345u;
    return (float)(h >> 8) / 16777216.0f;
  };
  const Bounds b = bsp->root->bounds;
  auto point = [&]() {
    return Vec3{b.min.x + (b.max.x - b.min.x) * (next() * 1.4f - 0.2f),
                b.min.y + (b.max.y - b.min.y) * (next() * 1.4f - 0.2f),
                b.min.z + (b.max.z - b.min.z) * (next() * 1.4f - 0.2f)};
  };
  Contact contacts[COLLISION_CONTACTS_MAX];
  for (int i = 0; i < 16; i++) {
    const Vec3 a = point(), c = point();
    TraceHit hit;
    if (world_trace(bsp, a, c, i & 1, &hit) && !(hit.distance >= 0)) __builtin_trap();
    int count = 0;
    world_sphere_contacts(bsp, a, next() * 4, contacts, COLLISION_CONTACTS_MAX, &count);
    if (count < 0 || count > COLLISION_CONTACTS_MAX) __builtin_trap();
    const Capsule capsule = capsule_make(c, next() * 2, next() * 4);
    world_capsule_contacts(bsp, &capsule, contacts, COLLISION_CONTACTS_MAX, &count);
    if (count < 0 || count > COLLISION_CONTACTS_MAX) __builtin_trap();
    Contact merged;
    world_capsule_contact(bsp, &capsule, &merged);
    const Bounds search = bounds_make({a.x - 2, a.y - 3, a.z - 2}, {a.x + 2, a.y + 1, a.z + 2});
    const float shade = world_shade_at(bsp, a, &search);
    if (!(shade >= 0 && shade <= 1.0001f)) __builtin_trap();
  }

  // The player over the cell: a grid of one huge cell, so every point is ready.
  world_once();
  CollisionFixtureZone zone({{0, 0, bsp}}, 1u << 16);
  LocalView v;
  if (!player_local_view(&v)) return 0;
  PositionHistory* history = (PositionHistory*)entity_component(v.world, COMPONENT_POSITION_HISTORY, v.handle);
  MotionState* m = v.motion;
  const Vec3 start = point();
  history->previous = history->current = start;
  history->accumulator = 0;
  m->air_state = 0;
  m->vertical_speed = 0;
  m->airborne = AirborneRecord{};
  m->on_ground = (int32_t)(h & 1);
  for (int frame = 0; frame < 12; frame++) {
    const float angle = next() * 6.2831853f;
    m->control.move_direction = {cosf(angle), 0, sinf(angle)};
    m->control.speed = next() < 0.2f ? 0.0f : 10 * next();
    if (m->air_state == 0 && next() < 0.1f) {
      m->air_state = 1;
      m->vertical_speed = PLAYER_JUMP_SPEED;
      m->air_direction = {0, 1, 0};
      m->airborne.jump_flag = 1;
      m->airborne.air_time = 0;
    }
    movement_frame(next() * 0.3f);
    if (!finite(history->current) || !finite(v.transform->position)) __builtin_trap();
  }
  return 0;
}
