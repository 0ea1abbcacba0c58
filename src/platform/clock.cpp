#include "platform/clock.h"

#include <time.h>

static int system_frequency(uint64_t* out) {
  *out = 1000000000u;  // clock_gettime counts nanoseconds
  return 1;
}

static uint64_t system_counter(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

static uint32_t system_milliseconds(void) { return (uint32_t)(system_counter() / 1000000u); }

static const ClockSource SYSTEM_CLOCK = {system_frequency, system_counter, system_milliseconds};

static const ClockSource* g_source = &SYSTEM_CLOCK;
static bool g_frequency_known;
static uint64_t g_frequency;

struct FrameClock {
  uint32_t last;
  uint32_t count;
  float delta;
};
static FrameClock g_frame;

void clock_set_source(const ClockSource* source) {
  g_source = source ? source : &SYSTEM_CLOCK;
  g_frequency_known = false;
}

uint32_t clock_us_from_counter(uint64_t n, uint64_t f) {
  return (uint32_t)((n / f) * 1000000u + ((n % f) * 1000000u) / f);
}

uint32_t clock_us(void) {
  if (!g_frequency_known) {
    uint64_t f = 0;
    if (!g_source->frequency(&f)) f = 0;
    // A frequency that does not fit a signed 64-bit value would be non-positive there.
    if ((int64_t)f <= 0) f = 0;
    g_frequency = f;
    g_frequency_known = true;
  }
  if (g_frequency == 0) return g_source->milliseconds() * 1000u;
  return clock_us_from_counter(g_source->counter(), g_frequency);
}

void frame_clock_reset(void) {
  g_frame.count = 0;
  g_frame.delta = 0;
  g_frame.last = clock_us();
}

void frame_clock_tick(void) {
  uint32_t now = clock_us();
  uint32_t elapsed = now - g_frame.last;
  g_frame.delta = (float)elapsed * 0.000001f;
  g_frame.last = now;
  g_frame.count++;
}

uint32_t frame_count(void) { return g_frame.count; }
float frame_delta(void) { return g_frame.delta; }
