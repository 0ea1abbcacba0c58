// Game objects in a live world under arbitrary sequences: spawns of the four kinds, removals,
// update messages decoded from the input's own bytes and per-frame ticks, all on ids drawn from
// a handful so that repeats, unknown ids and wrong kinds are common. A second stream feeds a
// bare movement track arbitrary samples, stamps and frame times. Remote players and the track
// must stay finite throughout; everything else runs under the sanitizers.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/move_track.h"
#include "game/object_effects.h"
#include "game/spawn.h"
#include "net/dispatch.h"
#include "net/opcodes.h"

#include "fuzz_bytes.h"

namespace {

struct Input : FuzzBytes {
  // Positions within +-2048 at 1/16 steps, so nearby samples are common.
  float coord(void) {
    const int16_t v = (int16_t)(byte() | byte() << 8);
    return (float)v / 16.0f;
  }
};

const uint16_t kUpdates[] = {
    MSG_MOVE,
    MSG_MOVE_EXTRA,
    MSG_PLAYER_FLAG_A,
    MSG_PLAYER_VALUE,
    MSG_PLAYER_VALUE_B,
    MSG_LOCAL_FLAG,
    MSG_LOCAL_PAIR,
    MSG_OBJECT_ATTRS,
    MSG_OBJECT_NAMES,
    MSG_OBJECT_FLAGS,
    MSG_OBJECT_PLACE,
    MSG_OBJECT_TELEPORT,
    MSG_OBJECT_ATTR_A,
    MSG_OBJECT_EFFECT,
    MSG_OBJECT_LISTED,
    MSG_CREATURE_MOTION,
    MSG_CREATURE_HEALTH,
    MSG_CREATURE_SPEEDS,
    MSG_CREATURE_VALUE_A,
    MSG_STATUS_EFFECT_SET,
    MSG_STATUS_EFFECT_CLEAR,
    MSG_CREATURE_VALUE_B,
    MSG_CREATURE_VALUE_C,
    MSG_CREATURE_EFFECT_START,
    MSG_CREATURE_EFFECT_B,
    MSG_CREATURE_EFFECT_STOP,
    MSG_CREATURE_EFFECT_END,
    MSG_REMOVE,
};

uint32_t small_id(Input* in) { return in->byte() % 8 + 1; }

void spawn(Input* in, int kind) {
  const uint32_t id = small_id(in);
  const float x = in->coord(), y = in->coord(), z = in->coord();
  if (kind == 0) {
    SpawnObject s = {};
    s.id = id;
    s.secondary_id = in->byte() % 4;
    s.position[0] = x, s.position[1] = y, s.position[2] = z;
    s.heading = in->coord();
    s.scale = 1;
    s.appearance = in->byte() % 3;
    s.flags = in->byte() & 1 ? 0x40 : 0;
    spawn_object(&s);
    return;
  }
  SpawnCharacter s = {};
  s.id = id;
  s.position[0] = x, s.position[1] = y, s.position[2] = z;
  s.heading = in->coord();
  s.scale = 1;
  s.appearance = 1;
  s.flags = in->byte() & 1 ? 0x40 : 0;
  for (int i = 0; i < 3; i++) {
    s.motion.a[i] = in->coord();
    s.motion.b[i] = in->coord();
    s.motion.c[i] = in->coord();
  }
  s.motion.flags = in->byte();
  s.walk_speed = in->byte() / 16.0f, s.run_speed = in->byte() / 16.0f, s.swim_speed = in->byte() / 16.0f;
  if (kind == 1) spawn_creature(&s);
  if (kind == 2) spawn_player(&s);
  if (kind == 3) spawn_local_player(&s);
}

void update(Input* in) {
  const uint16_t opcode = kUpdates[in->byte() % (sizeof kUpdates / sizeof kUpdates[0])];
  uint8_t payload[64];
  const size_t length = in->byte() % sizeof payload;
  for (size_t i = 0; i < length; i++) payload[i] = in->byte();
  // Most updates start with the id; keep it among the few live ones.
  if (length >= 4) {
    const uint32_t id = payload[0] % 8 + 1;
    memcpy(payload, &id, 4);
  }
  net_dispatch_payload(opcode, payload, (uint32_t)length);
}

bool finite3(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void check_track(const MoveTrack* t) {
  FUZZ_CHECK(t->count >= 0 && t->count <= MOVE_TRACK_SAMPLES);
  for (int32_t i = 0; i < t->count; i++) {
    FUZZ_CHECK(finite3(t->samples[i].position) && std::isfinite(t->samples[i].heading));
    FUZZ_CHECK(std::isfinite(t->samples[i].stamp));
  }
  FUZZ_CHECK(std::isfinite(t->playback_time) && std::isfinite(t->average) && std::isfinite(t->jitter));
  FUZZ_CHECK(t->average >= 0.05 && t->average <= 0.5);
}

// Every remote player's track and where it is shown.
void check_players(void) {
  EntityWorld* world = game_world();
  const ComponentPool* tracks = space_pool(world_space(world, SPACE_PLAYERS), COMPONENT_MOVE_TRACK);
  for (uint32_t i = 0; tracks && i < tracks->dense_count; i++)
    check_track((const MoveTrack*)pool_at(tracks, i));
  const ComponentPool* shown = space_pool(world_space(world, SPACE_PLAYERS), COMPONENT_TRANSFORM);
  for (uint32_t i = 0; shown && i < shown->dense_count; i++) {
    const Transform* t = (const Transform*)pool_at(shown, i);
    FUZZ_CHECK(finite3(t->position) && std::isfinite(t->rotation.y));
  }
}

void track_stream(Input* in) {
  MoveTrack track;
  move_track_reset(&track);
  Vec3 here = {in->coord(), in->coord(), in->coord()};
  float heading = in->coord();
  while (in->left) {
    const uint8_t op = in->byte();
    if (op & 1) {
      MoveSample s = {{in->coord(), in->coord(), in->coord()}, in->coord(), in->byte(), in->byte(), 0};
      // The stamp is the track's to assign; an arbitrary one must not leak through.
      s.stamp = (double)in->coord() * 1e6;
      move_track_sample(&track, here, heading, &s, op & 2 ? MOVE_MODE_EXTRA : MOVE_MODE_REGULAR);
    } else {
      int32_t air;
      move_track_playback(&track, (float)(op >> 1) / 64.0f, &here, &heading, &air);
      FUZZ_CHECK(finite3(here) && std::isfinite(heading));
    }
    check_track(&track);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Input in = {data + 1, size - 1};
  if (data[0] & 0x80) {
    track_stream(&in);
    return 0;
  }
  net_effects_clear();
  game_world_replace(catalogue_world_create(1, nullptr));
  game_objects_start();
  while (in.left) {
    const uint8_t op = in.byte() % 8;
    if (op < 4) {
      spawn(&in, op);
    } else if (op < 6) {
      update(&in);
    } else {
      game_objects_frame((float)in.byte() / 255.0f * 0.5f);
      check_players();
    }
  }
  game_objects_shutdown();
  game_world_shutdown();
  net_effects_clear();
  return 0;
}
