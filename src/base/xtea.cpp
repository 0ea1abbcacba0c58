#include "base/xtea.h"

#include <cstring>

static const uint32_t XTEA_DELTA = 0x9E3779B9u;

// The 64 per-half-round values sum + k[...] depend on the key only; computing them once per
// call takes the key look-ups off the enciphering chain.
struct XteaSchedule {
  uint32_t rk[64];
};

static inline void xtea_schedule(XteaSchedule* s, const uint32_t k[4]) {
  uint32_t sum = 0;
  for (int i = 0; i < 32; i++) {
    s->rk[2 * i] = sum + k[sum & 3];
    sum += XTEA_DELTA;
    s->rk[2 * i + 1] = sum + k[(sum >> 11) & 3];
  }
}

static inline void xtea_encipher_scheduled(uint32_t& v0, uint32_t& v1, const XteaSchedule* s) {
  for (int i = 0; i < 32; i++) {
    v0 += (((v1 << 4) ^ (v1 >> 5)) + v1) ^ s->rk[2 * i];
    v1 += (((v0 << 4) ^ (v0 >> 5)) + v0) ^ s->rk[2 * i + 1];
  }
}

void xtea_encipher(uint32_t v[2], const uint32_t k[4]) {
  uint32_t v0 = v[0], v1 = v[1], sum = 0;
  for (int i = 0; i < 32; i++) {
    v0 += (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + k[sum & 3]);
    sum += XTEA_DELTA;
    v1 += (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + k[(sum >> 11) & 3]);
  }
  v[0] = v0;
  v[1] = v1;
}

void xtea_decipher(uint32_t v[2], const uint32_t k[4]) {
  uint32_t v0 = v[0], v1 = v[1], sum = XTEA_DELTA * 32;
  for (int i = 0; i < 32; i++) {
    v1 -= (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + k[(sum >> 11) & 3]);
    sum -= XTEA_DELTA;
    v0 -= (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + k[sum & 3]);
  }
  v[0] = v0;
  v[1] = v1;
}

static inline void xtea_tail(uint8_t* data, size_t length, uint32_t y, uint32_t z, const XteaSchedule* s) {
  xtea_encipher_scheduled(y, z, s);
  uint32_t words[2] = {y, z};
  uint8_t stream[8];
  memcpy(stream, words, 8);
  for (size_t i = 0; i < length; i++) data[i] ^= stream[i];
}

// Enciphering is one chain: each register is the previous output block.
static void xtea_cfb_forward(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  XteaSchedule s;
  xtea_schedule(&s, key);
  uint32_t y = iv[0], z = iv[1];
  while (length >= 8) {
    xtea_encipher_scheduled(y, z, &s);
    uint32_t w[2];
    memcpy(w, data, 8);
    y ^= w[0];
    z ^= w[1];
    w[0] = y;
    w[1] = z;
    memcpy(data, w, 8);
    data += 8;
    length -= 8;
  }
  if (length) xtea_tail(data, length, y, z, &s);
}

// Deciphering knows every register up front (they are the ciphertext blocks), so four
// independent chains run side by side.
static void xtea_cfb_backward(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  XteaSchedule s;
  xtea_schedule(&s, key);
  uint32_t y = iv[0], z = iv[1];
  while (length >= 32) {
    uint32_t c[8];
    memcpy(c, data, 32);
    uint32_t a0 = y, a1 = z, b0 = c[0], b1 = c[1], d0 = c[2], d1 = c[3], e0 = c[4], e1 = c[5];
    for (int i = 0; i < 32; i++) {
      const uint32_t r0 = s.rk[2 * i], r1 = s.rk[2 * i + 1];
      a0 += (((a1 << 4) ^ (a1 >> 5)) + a1) ^ r0;
      b0 += (((b1 << 4) ^ (b1 >> 5)) + b1) ^ r0;
      d0 += (((d1 << 4) ^ (d1 >> 5)) + d1) ^ r0;
      e0 += (((e1 << 4) ^ (e1 >> 5)) + e1) ^ r0;
      a1 += (((a0 << 4) ^ (a0 >> 5)) + a0) ^ r1;
      b1 += (((b0 << 4) ^ (b0 >> 5)) + b0) ^ r1;
      d1 += (((d0 << 4) ^ (d0 >> 5)) + d0) ^ r1;
      e1 += (((e0 << 4) ^ (e0 >> 5)) + e0) ^ r1;
    }
    uint32_t p[8] = {c[0] ^ a0, c[1] ^ a1, c[2] ^ b0, c[3] ^ b1, c[4] ^ d0, c[5] ^ d1, c[6] ^ e0, c[7] ^ e1};
    memcpy(data, p, 32);
    y = c[6];
    z = c[7];
    data += 32;
    length -= 32;
  }
  while (length >= 8) {
    uint32_t c[2];
    memcpy(c, data, 8);
    uint32_t k0 = y, k1 = z;
    xtea_encipher_scheduled(k0, k1, &s);
    uint32_t p[2] = {c[0] ^ k0, c[1] ^ k1};
    memcpy(data, p, 8);
    y = c[0];
    z = c[1];
    data += 8;
    length -= 8;
  }
  if (length) xtea_tail(data, length, y, z, &s);
}

void xtea_cfb_encipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  xtea_cfb_forward(data, length, key, iv);
}

void xtea_cfb_decipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  xtea_cfb_backward(data, length, key, iv);
}

static void xtea_iv_words(const uint8_t iv[8], uint32_t words[2]) {
  words[0] = (uint32_t)iv[0] | (uint32_t)iv[1] << 8 | (uint32_t)iv[2] << 16 | (uint32_t)iv[3] << 24;
  words[1] = (uint32_t)iv[4] | (uint32_t)iv[5] << 8 | (uint32_t)iv[6] << 16 | (uint32_t)iv[7] << 24;
}

void xtea_cfb_encrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count) {
  if (!bytes || !key || !iv || count < 1) return;
  uint32_t words[2];
  xtea_iv_words(iv, words);
  xtea_cfb_forward(bytes, (size_t)count, key, words);
}

void xtea_cfb_decrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count) {
  if (!bytes || !key || !iv || count < 1) return;
  uint32_t words[2];
  xtea_iv_words(iv, words);
  xtea_cfb_backward(bytes, (size_t)count, key, words);
}
