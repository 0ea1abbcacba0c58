#include "base/hash_mix.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

TEST(HashMix, MatchesValuesComputedInPython) {
  // From an independent big-integer implementation of the same xor-shift-multiply steps.
  struct Case {
    uint32_t in, out;
  } cases[] = {{0, 0},
               {1, 0x688990C0u},
               {2, 0xD1132181u},
               {0x12345678u, 0xF5E71C96u},
               {0xFFFFFFFFu, 0x6768824Au},
               {0x80000000u, 0xCC4B4124u}};
  for (const Case& c : cases) EXPECT_EQ(hash_mix32(c.in), c.out) << std::hex << c.in;
}

TEST(HashMix, InvertsThroughThePublishedInverse) {
  // The published inverse of the mix undoes it for every input, so the mix is a bijection.
  std::mt19937 rng(3);
  for (uint32_t x : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
    EXPECT_EQ(hash_unmix32(hash_mix32(x)), x);
  for (int i = 0; i < 100000; i++) {
    uint32_t x = rng();
    ASSERT_EQ(hash_unmix32(hash_mix32(x)), x);
    ASSERT_EQ(hash_mix32(hash_unmix32(x)), x);
  }
}

TEST(HashMix, SecretsDifferFromCallToCall) {
  int record;
  std::set<uint32_t> seen;
  for (int i = 0; i < 1000; i++) seen.insert(hash_mix_secret(&record));
  EXPECT_EQ(seen.size(), 1000u);
}
