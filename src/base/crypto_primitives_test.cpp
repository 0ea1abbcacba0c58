#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "base/crc32.h"
#include "base/xtea.h"

TEST(Crc32, CheckValueAndZlib) {
  EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc32("", 0), 0u);
  std::mt19937 rng(7);
  for (size_t length : {1u, 7u, 8u, 9u, 63u, 64u, 1000u, 65536u}) {
    std::vector<uint8_t> data(length);
    for (auto& b : data) b = (uint8_t)rng();
    uLong reference = ::crc32(0L, data.data(), (uInt)length);
    EXPECT_EQ(crc32(data.data(), length), (uint32_t)reference) << length;
    // Split at an odd point: the running register continues across pieces.
    size_t cut = length / 3;
    uint32_t s = crc32_update(0xFFFFFFFFu, data.data(), cut);
    s = crc32_update(s, data.data() + cut, length - cut);
    EXPECT_EQ(crc32_final(s), (uint32_t)reference);
  }
}

TEST(Xtea, PublishedWordVectors) {
  struct Case {
    uint32_t key[4], plain[2], cipher[2];
  } cases[] = {
      {{0x00010203, 0x04050607, 0x08090a0b, 0x0c0d0e0f}, {0x41424344, 0x45464748}, {0x497df3d0, 0x72612cb5}},
      {{0, 0, 0, 0}, {0, 0}, {0xdee9d4d8, 0xf7131ed9}},
  };
  for (const Case& c : cases) {
    uint32_t block[2] = {c.plain[0], c.plain[1]};
    xtea_encipher(block, c.key);
    EXPECT_EQ(block[0], c.cipher[0]);
    EXPECT_EQ(block[1], c.cipher[1]);
    xtea_decipher(block, c.key);
    EXPECT_EQ(block[0], c.plain[0]);
    EXPECT_EQ(block[1], c.plain[1]);
  }
}

// CFB against its definition written out block by block, for every tail length.
TEST(Xtea, CfbMatchesDefinitionAndRoundTrips) {
  const uint32_t key[4] = {1, 2, 3, 4};
  const uint32_t iv[2] = {0xdeadbeef, 0x01234567};
  std::mt19937 rng(3);
  for (size_t length = 0; length <= 40; length++) {
    std::vector<uint8_t> plain(length);
    for (auto& b : plain) b = (uint8_t)rng();
    std::vector<uint8_t> expected = plain;
    uint32_t reg[2] = {iv[0], iv[1]};
    for (size_t at = 0; at < length; at += 8) {
      uint32_t stream[2] = {reg[0], reg[1]};
      xtea_encipher(stream, key);
      uint8_t bytes[8];
      memcpy(bytes, stream, 8);
      for (size_t i = 0; i < 8 && at + i < length; i++) expected[at + i] ^= bytes[i];
      if (at + 8 <= length) memcpy(reg, &expected[at], 8);
    }
    std::vector<uint8_t> data = plain;
    xtea_cfb_encipher(data.data(), length, key, iv);
    EXPECT_EQ(data, expected) << length;
    xtea_cfb_decipher(data.data(), length, key, iv);
    EXPECT_EQ(data, plain) << length;
  }
}
