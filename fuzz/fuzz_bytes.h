#pragma once
// What the fuzz targets share: a check that stops the run where a fuzzer sees it, and the
// input read a byte at a time (zeros once it runs out, so every input is a whole script).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond)  \
  do {                    \
    if (!(cond)) abort(); \
  } while (0)

struct FuzzBytes {
  const uint8_t* p;
  size_t left;
  uint8_t byte(void) {
    if (!left) return 0;
    left--;
    return *p++;
  }
  // Any bit pattern, NaN and infinities included.
  float raw(void) {
    uint32_t bits =
        (uint32_t)byte() | (uint32_t)byte() << 8 | (uint32_t)byte() << 16 | (uint32_t)byte() << 24;
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
  }
};
