// Game objects under load, each beside a plain reference in the same run:
// - a frame of remote movement for 256 players (one sample each, then playback), beside a
//   std::deque of samples per player and a lerp between its two newest samples;
// - 1,000 creature spawns into a fresh world, beside filling a vector with 1,000 records;
// - the compact movement message from payload to buffered sample, beside a memcpy of the
//   payloads. Items processed: players, creatures or messages.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_objects.h"
#include "game/game_world.h"
#include "game/move_track.h"
#include "game/object_effects.h"
#include "game/spawn.h"
#include "net/dispatch.h"
#include "net/opcodes.h"

static constexpr int kPlayers = 256;
static constexpr int kCreatures = 1000;
static constexpr float kFrame = 1.0f / 60.0f;

static SpawnCharacter character(uint32_t id, float x) {
  SpawnCharacter s = {};
  s.id = id;
  s.position[0] = x;
  s.scale = 1;
  s.appearance = 1;
  s.motion.a[0] = s.motion.b[0] = s.motion.c[0] = x;
  s.walk_speed = 1, s.run_speed = 2, s.swim_speed = 0.5f;
  return s;
}

static void world_fresh(void) {
  game_objects_shutdown();
  game_world_shutdown();
  net_effects_clear();
  game_world_replace(catalogue_world_create(1, nullptr));
  game_objects_start();
}

static void world_done(void) {
  game_objects_shutdown();
  game_world_shutdown();
  net_effects_clear();
}

// Each player walks along x; a sample arrives for every player every frame.
static void BM_MovePlayers256(benchmark::State& state) {
  world_fresh();
  uint32_t handles[kPlayers];
  for (int i = 0; i < kPlayers; i++) {
    const SpawnCharacter s = character((uint32_t)i + 1, (float)i * 10);
    handles[i] = spawn_player(&s);
  }
  EntityWorld* world = game_world();
  float step = 0;
  int32_t air;
  for (auto _ : state) {
    step += 0.05f;
    if (step > 1) step = 0;  // stays within 2 units: the buffer keeps running
    for (int i = 0; i < kPlayers; i++) {
      const MoveSample s = {{(float)i * 10 + step, 0, 0}, 90, MOTION_RUNNING, 1, 0};
      move_sample(world, handles[i], &s, MOVE_MODE_REGULAR);
    }
    for (int i = 0; i < kPlayers; i++)
      benchmark::DoNotOptimize(move_playback(world, handles[i], kFrame, &air));
  }
  state.SetItemsProcessed(state.iterations() * kPlayers);
  world_done();
}
BENCHMARK(BM_MovePlayers256);

struct PlainSample {
  float x, y, z, heading;
  double stamp;
};

static void BM_MovePlayers256Reference(benchmark::State& state) {
  std::vector<std::deque<PlainSample>> tracks(kPlayers);
  std::vector<PlainSample> shown(kPlayers);
  double clock = 0;
  float step = 0;
  for (auto _ : state) {
    step += 0.05f;
    if (step > 1) step = 0;
    clock += kFrame;
    for (int i = 0; i < kPlayers; i++) {
      std::deque<PlainSample>& t = tracks[i];
      if (t.size() == 16) t.pop_front();
      t.push_back({(float)i * 10 + step, 0, 0, 90, clock});
    }
    for (int i = 0; i < kPlayers; i++) {
      const std::deque<PlainSample>& t = tracks[i];
      const PlainSample& a = t.size() > 1 ? t[t.size() - 2] : t.back();
      const PlainSample& b = t.back();
      const float u = 0.5f;
      shown[i] = {a.x + u * (b.x - a.x), a.y + u * (b.y - a.y), a.z + u * (b.z - a.z),
                  a.heading + u * (b.heading - a.heading), b.stamp};
    }
    benchmark::DoNotOptimize(shown.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlayers);
}
BENCHMARK(BM_MovePlayers256Reference);

// 1,000 creatures into an empty world; the world's replacement is outside the timing.
static void BM_SpawnCreatures1000(benchmark::State& state) {
  std::vector<SpawnCharacter> spawns;
  for (int i = 0; i < kCreatures; i++) spawns.push_back(character((uint32_t)i + 1, (float)(i % 100)));
  for (auto _ : state) {
    state.PauseTiming();
    world_fresh();
    state.ResumeTiming();
    for (const SpawnCharacter& s : spawns) benchmark::DoNotOptimize(spawn_creature(&s));
  }
  state.SetItemsProcessed(state.iterations() * kCreatures);
  world_done();
}
BENCHMARK(BM_SpawnCreatures1000)->Unit(benchmark::kMicrosecond);

static void BM_SpawnCreatures1000Reference(benchmark::State& state) {
  std::vector<Creature> records;
  for (auto _ : state) {
    records.clear();
    records.shrink_to_fit();
    for (int i = 0; i < kCreatures; i++) {
      Creature c;
      memset(&c, 0, sizeof c);
      c.object.server_id = (uint32_t)i + 1;
      c.walk_speed = 1, c.run_speed = 2, c.swim_speed = 0.5f;
      records.push_back(c);
    }
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * kCreatures);
}
BENCHMARK(BM_SpawnCreatures1000Reference)->Unit(benchmark::kMicrosecond);

// Opcode 19 payloads for the 256 players: id, motion state, direction, packed position and
// heading. The packed part is taken from a real message; only the id changes.
static const uint8_t kMove[17] = {0x2A, 0,    0,    0,    2,    1,    0x00, 0x80, 0x01,
                                  0x10, 0x00, 0xFF, 0x40, 0x20, 0x00, 0x00, 0x40};

static void move_payloads(std::vector<uint8_t>* bytes) {
  bytes->resize((size_t)kPlayers * sizeof kMove);
  for (int i = 0; i < kPlayers; i++) {
    uint8_t* p = bytes->data() + (size_t)i * sizeof kMove;
    memcpy(p, kMove, sizeof kMove);
    const uint32_t id = (uint32_t)i + 1;
    memcpy(p, &id, 4);
  }
}

static void BM_MoveMessageToSample(benchmark::State& state) {
  world_fresh();
  for (int i = 0; i < kPlayers; i++) {
    const SpawnCharacter s = character((uint32_t)i + 1, 0);
    spawn_player(&s);
  }
  std::vector<uint8_t> bytes;
  move_payloads(&bytes);
  for (auto _ : state) {
    for (int i = 0; i < kPlayers; i++)
      net_dispatch_payload(MSG_MOVE, bytes.data() + (size_t)i * sizeof kMove, sizeof kMove);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlayers);
  world_done();
}
BENCHMARK(BM_MoveMessageToSample);

static void BM_MoveMessageMemcpy(benchmark::State& state) {
  std::vector<uint8_t> bytes, copy(sizeof kMove);
  move_payloads(&bytes);
  for (auto _ : state) {
    for (int i = 0; i < kPlayers; i++) {
      memcpy(copy.data(), bytes.data() + (size_t)i * sizeof kMove, sizeof kMove);
      benchmark::DoNotOptimize(copy.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * kPlayers);
}
BENCHMARK(BM_MoveMessageMemcpy);
