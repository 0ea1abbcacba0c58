#include "base/crc32.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CRC32_HAVE_CLMUL 1
#else
#define CRC32_HAVE_CLMUL 0
#endif

// Slicing-by-8: eight tables let the loop fold eight bytes per step instead of one. Used for
// short ranges, tails, and machines without carry-less multiply.
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

static uint32_t crc32_slice8(uint32_t c, const uint8_t* p, size_t length) {
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

#if CRC32_HAVE_CLMUL
// Folding with carry-less multiplication: four 128-bit lanes are folded forward by 512 bits
// per step, then into one lane, then reduced to 32 bits (Barrett). The constants are
// x^(k) mod P for the reflected polynomial, bit-reflected, for the fold distances used.
// Takes and returns the running register; length is a multiple of 16 and at least 64.
__attribute__((target("pclmul,sse2"))) static uint32_t crc32_clmul(uint32_t crc, const uint8_t* p,
                                                                   size_t length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

  __m128i x1 = _mm_loadu_si128((const __m128i*)(p + 0));
  __m128i x2 = _mm_loadu_si128((const __m128i*)(p + 16));
  __m128i x3 = _mm_loadu_si128((const __m128i*)(p + 32));
  __m128i x4 = _mm_loadu_si128((const __m128i*)(p + 48));
  x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128((int)crc));
  p += 64;
  length -= 64;
  while (length >= 64) {
    __m128i x5 = _mm_clmulepi64_si128(x1, k1k2, 0x00);
    __m128i x6 = _mm_clmulepi64_si128(x2, k1k2, 0x00);
    __m128i x7 = _mm_clmulepi64_si128(x3, k1k2, 0x00);
    __m128i x8 = _mm_clmulepi64_si128(x4, k1k2, 0x00);
    x1 = _mm_clmulepi64_si128(x1, k1k2, 0x11);
    x2 = _mm_clmulepi64_si128(x2, k1k2, 0x11);
    x3 = _mm_clmulepi64_si128(x3, k1k2, 0x11);
    x4 = _mm_clmulepi64_si128(x4, k1k2, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), _mm_loadu_si128((const __m128i*)(p + 0)));
    x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), _mm_loadu_si128((const __m128i*)(p + 16)));
    x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), _mm_loadu_si128((const __m128i*)(p + 32)));
    x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), _mm_loadu_si128((const __m128i*)(p + 48)));
    p += 64;
    length -= 64;
  }
  // Four lanes into one.
  __m128i x5 = _mm_clmulepi64_si128(x1, k3k4, 0x00);
  x1 = _mm_clmulepi64_si128(x1, k3k4, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x2), x5);
  x5 = _mm_clmulepi64_si128(x1, k3k4, 0x00);
  x1 = _mm_clmulepi64_si128(x1, k3k4, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x3), x5);
  x5 = _mm_clmulepi64_si128(x1, k3k4, 0x00);
  x1 = _mm_clmulepi64_si128(x1, k3k4, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x4), x5);
  while (length >= 16) {
    x5 = _mm_clmulepi64_si128(x1, k3k4, 0x00);
    x1 = _mm_clmulepi64_si128(x1, k3k4, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, _mm_loadu_si128((const __m128i*)p)), x5);
    p += 16;
    length -= 16;
  }
  // 128 bits to 64.
  x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, low32);
  x1 = _mm_clmulepi64_si128(x1, k5, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  // Barrett reduction to 32 bits.
  x2 = _mm_and_si128(x1, low32);
  x2 = _mm_clmulepi64_si128(x2, poly, 0x10);
  x2 = _mm_and_si128(x2, low32);
  x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(x1, 4));
}

static int crc32_clmul_available(void) {
  static const int available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2") ? 1 : 0;
  return available;
}
#endif

uint32_t crc32_update(uint32_t c, const void* data, size_t length) {
  if (!data) return c;
  const uint8_t* p = (const uint8_t*)data;
#if CRC32_HAVE_CLMUL
  if (length >= 64 && crc32_clmul_available()) {
    size_t whole = length & ~(size_t)15;
    c = crc32_clmul(c, p, whole);
    p += whole;
    length -= whole;
  }
#endif
  return crc32_slice8(c, p, length);
}

uint32_t crc32(const void* data, size_t length) {
  if (!data || length == 0) return 0;
  return crc32_final(crc32_update(0xFFFFFFFFu, data, length));
}
