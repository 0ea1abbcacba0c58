// utf16_next over arbitrary units: it never moves past the terminator and every code point
// it returns is a valid scalar value or a lone BMP unit.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/window_proc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint16_t> units(size / 2 + 1, 0);
  if (size >= 2) memcpy(units.data(), data, size / 2 * 2);  // an empty input may come as null
  const uint16_t* p = units.data();
  const uint16_t* end = units.data() + units.size();
  uint32_t c;
  while ((c = utf16_next(&p)) != 0) {
    if (p > end - 1 && *(end - 1) != 0) abort();
    if (c > 0x10FFFF || (c >= 0xDC00 && c <= 0xDFFF)) abort();
  }
  if (p >= end) abort();
  return 0;
}
