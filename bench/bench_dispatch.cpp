// Decode and dispatch of the most frequent message, the compact movement update (MSG_MOVE,
// 17 bytes), to a stubbed effect, beside a plain memcpy of the same payload bytes (the floor
// for touching the message at all). Items processed = messages.
#include <benchmark/benchmark.h>

#include <cstring>

#include "net/dispatch.h"

static const uint8_t kMove[17] = {0x2A, 0,    0,    0,    2,    1,    0x00, 0x80, 0x01,
                                  0x10, 0x00, 0xFF, 0x40, 0x20, 0x00, 0x00, 0x40};

static volatile float g_sink;
static void stub_move(const NetEvent*, const MsgMove* m) { g_sink = m->position[0] + m->heading; }

static void BM_DispatchMove(benchmark::State& state) {
  net_effects_clear();
  net_effects()->move = stub_move;
  uint8_t payload[17];
  memcpy(payload, kMove, sizeof payload);
  for (auto _ : state) {
    net_dispatch_payload(MSG_MOVE, payload, sizeof payload);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  net_effects_clear();
}
BENCHMARK(BM_DispatchMove);

static void BM_MemcpyMovePayload(benchmark::State& state) {
  uint8_t payload[17];
  uint8_t copy[17];
  memcpy(payload, kMove, sizeof payload);
  for (auto _ : state) {
    benchmark::DoNotOptimize(payload);
    memcpy(copy, payload, sizeof copy);
    benchmark::DoNotOptimize(copy);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemcpyMovePayload);
