#include "base/random.h"

static uint32_t g_seed;

void random_seed(uint32_t value) { g_seed = value; }

int random_next(void) {
  g_seed = g_seed * 214013u + 2531011u;
  return (int)((g_seed >> 16) & 0x7FFF);
}

int random_int(int low, int high) {
  if (high <= low) return low;
  // The range is computed in 64 bits so that low = INT_MIN, high = INT_MAX cannot overflow.
  int64_t range = (int64_t)high - low;
  return (int)(low + random_next() % range);
}

float random_float(float low, float high) {
  return low + (float)random_next() * (1.0f / 32767.0f) * (high - low);
}
