#pragma once
// Clocks: a microsecond counter that wraps modulo 2^32, and the frame clock every module
// reads. The counter divides the high-resolution counter N by its frequency F as
// (N / F) x 1e6 + ((N mod F) x 1e6) / F in 64-bit integers, so the product never
// overflows; with no usable counter (frequency 0) it is the millisecond time x 1000.
// The frame clock takes the unsigned 32-bit difference of two readings, so a wrap of the
// counter between frames still gives the true small delta; the delta is never clamped.
#include <cstdint>

uint32_t clock_us(void);
// The conversion above for one counter reading (frequency > 0).
uint32_t clock_us_from_counter(uint64_t counter, uint64_t frequency);

// Where the clock reads time: the monotonic clock here, fakes in tests.
struct ClockSource {
  // 1 and the counter frequency, or 0 when it cannot be queried.
  int (*frequency)(uint64_t* out);
  uint64_t (*counter)(void);
  uint32_t (*milliseconds)(void);
};
// Installs a source (null: the system's) and forgets the cached frequency.
void clock_set_source(const ClockSource* source);

void frame_clock_reset(void);
void frame_clock_tick(void);
uint32_t frame_count(void);
float frame_delta(void);
