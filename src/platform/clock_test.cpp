#include "platform/clock.h"

#include <gtest/gtest.h>

#include <random>

static uint64_t g_counter;
static uint64_t g_frequency;
static uint32_t g_ms;
static const ClockSource FAKE_CLOCK = {
    [](uint64_t* out) {
      *out = g_frequency;
      return g_frequency != 0 ? 1 : 0;
    },
    [] { return g_counter; },
    [] { return g_ms; },
};

TEST(Clock, MatchesWideArithmetic) {
  std::mt19937_64 rng(3);
  const uint64_t frequencies[] = {1,        3,          1000,          3579545,
                                  10000000, 1000000000, 2400000000ull, 10000000000000ull};
  for (uint64_t f : frequencies)
    for (int i = 0; i < 2000; i++) {
      uint64_t n = rng();
      unsigned __int128 exact = (unsigned __int128)n * 1000000u / f;
      ASSERT_EQ(clock_us_from_counter(n, f), (uint32_t)exact) << n << " / " << f;
    }
}

TEST(Clock, FrequencyZeroCountsMillisecondsInStepsOfAThousand) {
  g_frequency = 0;
  clock_set_source(&FAKE_CLOCK);
  g_ms = 5;
  EXPECT_EQ(clock_us(), 5000u);
  g_ms = 4294968;  // x 1000 wraps in 32 bits
  EXPECT_EQ(clock_us(), (uint32_t)(4294968ull * 1000u));
  clock_set_source(nullptr);
}

TEST(FrameClock, WrapGivesTheTrueSmallDelta) {
  g_frequency = 1000000;  // one tick per microsecond
  clock_set_source(&FAKE_CLOCK);
  g_counter = 0xFFFFFFFFull - 999;  // 1000 us before the 32-bit wrap
  frame_clock_reset();
  EXPECT_EQ(frame_count(), 0u);
  EXPECT_EQ(frame_delta(), 0.0f);
  g_counter += 17000;  // across the wrap
  frame_clock_tick();
  EXPECT_EQ(frame_count(), 1u);
  EXPECT_FLOAT_EQ(frame_delta(), 0.017f);
  g_counter += 5000000;  // a long stall is not clamped
  frame_clock_tick();
  EXPECT_FLOAT_EQ(frame_delta(), 5.0f);
  EXPECT_EQ(frame_count(), 2u);
  clock_set_source(nullptr);
}
