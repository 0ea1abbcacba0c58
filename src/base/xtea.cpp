#include "base/xtea.h"

#include <cstring>

static const uint32_t XTEA_DELTA = 0x9E3779B9u;

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

// One CFB pass; `decipher` selects which side of the XOR is fed back.
static void xtea_cfb(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2],
                     bool decipher) {
  uint32_t reg[2] = {iv[0], iv[1]};
  while (length >= 8) {
    xtea_encipher(reg, key);
    uint32_t words[2];
    memcpy(words, data, 8);
    uint32_t out[2] = {words[0] ^ reg[0], words[1] ^ reg[1]};
    memcpy(data, out, 8);
    if (decipher) {
      reg[0] = words[0];
      reg[1] = words[1];
    } else {
      reg[0] = out[0];
      reg[1] = out[1];
    }
    data += 8;
    length -= 8;
  }
  if (length) {
    xtea_encipher(reg, key);
    uint8_t stream[8];
    memcpy(stream, reg, 8);
    for (size_t i = 0; i < length; i++) data[i] ^= stream[i];
  }
}

void xtea_cfb_encipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  xtea_cfb(data, length, key, iv, false);
}

void xtea_cfb_decipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]) {
  xtea_cfb(data, length, key, iv, true);
}

static void xtea_iv_words(const uint8_t iv[8], uint32_t words[2]) {
  words[0] = (uint32_t)iv[0] | (uint32_t)iv[1] << 8 | (uint32_t)iv[2] << 16 | (uint32_t)iv[3] << 24;
  words[1] = (uint32_t)iv[4] | (uint32_t)iv[5] << 8 | (uint32_t)iv[6] << 16 | (uint32_t)iv[7] << 24;
}

void xtea_cfb_encrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count) {
  if (!bytes || !key || !iv || count < 1) return;
  uint32_t words[2];
  xtea_iv_words(iv, words);
  xtea_cfb(bytes, (size_t)count, key, words, false);
}

void xtea_cfb_decrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count) {
  if (!bytes || !key || !iv || count < 1) return;
  uint32_t words[2];
  xtea_iv_words(iv, words);
  xtea_cfb(bytes, (size_t)count, key, words, true);
}
