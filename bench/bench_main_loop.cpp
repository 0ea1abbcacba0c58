// The cost of one pass of the frame list with every module slot still empty: the frame
// clock, the event dispatch and the present of a recording backend (which returns at once
// instead of pacing the loop). Reference: the same number of calls through an array of
// empty function pointers.
#include <benchmark/benchmark.h>

#include "app/modules.h"
#include "base/event_bus.h"
#include "platform/clock.h"
#include "support/backend_testing.h"
#include "render/render.h"

static int recording_arrays(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  return 1;
}
static int pixel_format_ok(Window*) { return 1; }

static void FrameListEmptySlots(benchmark::State& state) {
  static const RenderBackendInits inits = {pixel_format_ok, recording_arrays, nullptr,
                                           nullptr,         nullptr,          nullptr};
  render_set_backend_inits(&inits);
  Window window = {};
  render_install(&window, 0);
  event_bus_start();
  frame_clock_reset();
  for (auto _ : state) game_modules_frame(&window);
  event_bus_stop();
  render_uninstall(&window);
  render_set_backend_inits(nullptr);
}

static void empty_slot(void) { benchmark::ClobberMemory(); }

static void ArrayOf26EmptyCalls(benchmark::State& state) {
  void (*volatile slots[26])(void);
  for (auto& s : slots) s = empty_slot;
  for (auto _ : state)
    for (auto s : slots) s();
}

BENCHMARK(FrameListEmptySlots);
BENCHMARK(ArrayOf26EmptyCalls);
