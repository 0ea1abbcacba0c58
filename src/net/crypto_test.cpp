#include "net/crypto.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <string>
#include <vector>

static std::vector<uint8_t> unhex(const std::string& text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back((uint8_t)std::stoul(text.substr(i, 2), nullptr, 16));
  return out;
}

// Pinned random bytes: the secret key of x25519_keypair comes from here.
static std::vector<uint8_t> g_pinned;
static int32_t pinned_source(uint8_t* bytes, int32_t count) {
  for (int32_t i = 0; i < count; i++) bytes[i] = g_pinned.empty() ? 0 : g_pinned[(size_t)i % g_pinned.size()];
  return 1;
}

struct CryptoTest : ::testing::Test {
  void SetUp() override { ASSERT_EQ(secure_random_open(), 1); }
  void TearDown() override { secure_random_set_source(nullptr); }
};

// RFC 7748 section 6.1 key pairs, their shared secret and NaCl's "firstkey" for them.
TEST_F(CryptoTest, Rfc7748KeyPairsAndNaclFirstKey) {
  struct Party {
    const char *secret, *pub;
  } alice = {"77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a",
             "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a"},
    bob = {"5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb",
           "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f"};
  const auto firstkey = unhex("1b27556473e985d462cd51197a9a46c76009549eac6474f206c4ee0844f68389");
  for (const Party* p : {&alice, &bob}) {
    g_pinned = unhex(p->secret);
    secure_random_set_source(pinned_source);
    uint8_t pub[32], secret[32];
    x25519_keypair(pub, secret);
    EXPECT_EQ(std::vector<uint8_t>(secret, secret + 32), unhex(p->secret));
    EXPECT_EQ(std::vector<uint8_t>(pub, pub + 32), unhex(p->pub));
    const Party* other = p == &alice ? &bob : &alice;
    uint8_t shared[32];
    ASSERT_EQ(session_key_derive(shared, unhex(other->pub).data(), secret), 0);
    EXPECT_EQ(std::vector<uint8_t>(shared, shared + 32), firstkey);
  }
}

// RFC 7748 section 5.2: the two single products and the iterated ladder (1 and 1000 steps),
// through the same library calls that x25519_keypair and session_key_derive make.
TEST_F(CryptoTest, Rfc7748ScalarMultiplication) {
  struct Case {
    const char *scalar, *u, *out;
  } cases[] = {
      {"a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4",
       "e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c",
       "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552"},
      {"4b66e9d4d1b4673c5ad22691957d6af5c11b6421e0ea01d42ca4169e7918ba0d",
       "e5210f12786811d3f4b7959d0538ae2c31dbe7106fc03c3efc4cd549c715a493",
       "95cbde9476e8907d7aade45cb4b873f88b595a68799fa152e6f8f7647aac7957"},
  };
  for (const Case& c : cases) {
    uint8_t out[32];
    ASSERT_EQ(crypto_scalarmult(out, unhex(c.scalar).data(), unhex(c.u).data()), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 32), unhex(c.out));
  }
  uint8_t k[32] = {9}, u[32] = {9}, next[32];
  for (int i = 1; i <= 1000; i++) {
    ASSERT_EQ(crypto_scalarmult(next, k, u), 0);
    memcpy(u, k, 32);
    memcpy(k, next, 32);
    if (i == 1) {
      EXPECT_EQ(std::vector<uint8_t>(k, k + 32),
                unhex("422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079"));
    }
  }
  EXPECT_EQ(std::vector<uint8_t>(k, k + 32),
            unhex("684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51"));
}

TEST_F(CryptoTest, RejectsPeerKeysOfSmallOrder) {
  uint8_t secret[32], shared[32];
  for (int i = 0; i < 32; i++) secret[i] = (uint8_t)(i * 7 + 1);
  const char* low_order[] = {
      "0000000000000000000000000000000000000000000000000000000000000000",  // u = 0
      "0100000000000000000000000000000000000000000000000000000000000000",  // u = 1
      "e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800",  // order 8
      "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // p - 1
  };
  for (const char* key : low_order) {
    memset(shared, 0xAA, sizeof shared);
    EXPECT_EQ(session_key_derive(shared, unhex(key).data(), secret), -1) << key;
    for (uint8_t b : shared) ASSERT_EQ(b, 0) << "output must not hold stale bytes";
  }
}

TEST_F(CryptoTest, SecureRandomArguments) {
  uint8_t bytes[64] = {};
  EXPECT_EQ(secure_random(nullptr, 8), 0);
  EXPECT_EQ(secure_random(bytes, 0), 0);
  EXPECT_EQ(secure_random(bytes, -3), 0);
  EXPECT_NE(secure_random(bytes, 64), 0);
  int nonzero = 0;
  for (uint8_t b : bytes) nonzero += b != 0;
  EXPECT_GT(nonzero, 40);  // 64 zero-filled bytes would stay (almost) all zero
}

TEST(CryptoDeathTest, MissingRandomSourceIsFatal) {
  EXPECT_EXIT(
      {
        secure_random_close();
        uint8_t b[8];
        secure_random(b, 8);
      },
      ::testing::ExitedWithCode(1),
      "Failed to access the secure random number source - the application will now close\\.");
}
