#pragma once
// The game's random generator: one process-wide linear congruential generator with the
// classic runtime-library constants (seed = seed x 214013 + 2531011; results are bits 16..30).
// Main thread only; seeded once at start-up from the microsecond clock.
#include <cstdint>

void random_seed(uint32_t value);
// 0..32767.
int random_next(void);
// low <= result < high; high <= low gives low.
int random_int(int low, int high);
// low..high inclusive of both ends.
float random_float(float low, float high);
