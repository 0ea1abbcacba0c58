#pragma once
// CRC-32 (the zlib/PNG polynomial 0xEDB88320, reflected, initial and final value
// 0xFFFFFFFF): crc32("123456789") = 0xCBF43926. crc32_update works on the running
// (non-inverted) register so a checksum can be built from pieces:
//   crc32_final(crc32_update(crc32_update(0xFFFFFFFF, a), b)) == crc32(a ++ b).
// Missing bytes are ignored: crc32(null, n) is 0 and crc32_update(v, null, n) is v.
#include <cstddef>
#include <cstdint>

uint32_t crc32(const void* data, size_t length);
uint32_t crc32_update(uint32_t state, const void* data, size_t length);
static inline uint32_t crc32_final(uint32_t state) { return state ^ 0xFFFFFFFFu; }
