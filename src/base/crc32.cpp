#include "base/crc32.h"

#include <cstring>

// Slicing-by-8: eight tables let the loop fold eight bytes per step instead of one.
struct Crc32Tables {
  uint32_t t[8][256];
};

static constexpr Crc32Tables crc32_make_tables() {
  Crc32Tables tables{};
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = i;
    for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables.t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; i++)
    for (int s = 1; s < 8; s++) {
      uint32_t prev = tables.t[s - 1][i];
      tables.t[s][i] = (prev >> 8) ^ tables.t[0][prev & 0xFF];
    }
  return tables;
}

static constexpr Crc32Tables CRC32 = crc32_make_tables();

uint32_t crc32_update(uint32_t c, const void* data, size_t length) {
  if (!data) return c;
  const uint8_t* p = (const uint8_t*)data;
  while (length >= 8) {
    uint32_t lo, hi;
    memcpy(&lo, p, 4);
    memcpy(&hi, p + 4, 4);
    lo ^= c;  // little-endian host: the first byte is the low byte
    c = CRC32.t[7][lo & 0xFF] ^ CRC32.t[6][(lo >> 8) & 0xFF] ^ CRC32.t[5][(lo >> 16) & 0xFF] ^
        CRC32.t[4][lo >> 24] ^ CRC32.t[3][hi & 0xFF] ^ CRC32.t[2][(hi >> 8) & 0xFF] ^
        CRC32.t[1][(hi >> 16) & 0xFF] ^ CRC32.t[0][hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length--) c = CRC32.t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}

uint32_t crc32(const void* data, size_t length) {
  if (!data || length == 0) return 0;
  return crc32_final(crc32_update(0xFFFFFFFFu, data, length));
}
