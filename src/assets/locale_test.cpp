#include "assets/locale.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/locale_keys.h"
#include "base/mem.h"
#include "support/test_files.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Record {
  uint32_t key, kind, value;
};

Bytes blob(uint32_t version, const std::vector<Record>& records, const std::string& strings,
           int64_t count = -1) {
  Bytes b;
  auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
  };
  put(version);
  put(0xABCD);
  put(count >= 0 ? (uint32_t)count : (uint32_t)records.size());
  for (const Record& r : records) {
    put(r.key);
    put(r.kind);
    put(r.value);
  }
  b.insert(b.end(), strings.begin(), strings.end());
  return b;
}

class Locale : public ::testing::Test {
 protected:
  void TearDown() override { locale_unload(); }
};

}  // namespace

TEST(NameHash, VectorsAndZlib) {
  EXPECT_EQ(name_hash(""), 0u);
  EXPECT_EQ(name_hash(nullptr), 0u);
  EXPECT_EQ(name_hash("abc"), 0x352441C2u);
  std::mt19937 rng(1);
  for (int i = 0; i < 1000; i++) {
    std::string name;
    for (int n = (int)(rng() % 40) + 1; n > 0; n--) name += (char)(rng() % 255 + 1);
    uint32_t expected = (uint32_t)crc32(0, (const Bytef*)name.data(), (uInt)name.size()) & 0x7FFFFFFFu;
    ASSERT_EQ(name_hash(name.c_str()), expected) << name;
  }
}

TEST_F(Locale, LooksUpByKindAndKey) {
  Bytes b = blob(2,
                 {
                     {0x80000001u, 0, 1},  // sorts after the small keys as an unsigned number
                     {5, 0, 0},
                     {7, 1, 4242},
                     {9, 2, 17},
                     {11, 0, 3},            // index equal to the string count
                     {13, 0x80000000u, 9},  // unknown kind: value dropped
                     {15, 0, 2},
                     {3, 3, 99},
                 },
                 std::string("first\0second\0tail", 17), -1);
  ASSERT_EQ(locale_load_blob(b.data(), b.size(), 1), 1);
  struct Case {
    uint32_t key;
    const char* text;
    uint32_t asset;
  } cases[] = {
      {5, "first", 0},      {0x80000001u, "second", 0},
      {15, "tail", 0},      {7, "", 4242},
      {9, "", 0},           {11, "", 0},
      {13, "", 0},          {3, "", 0},
      {4, "", 0},           {0, "", 0},
      {0xFFFFFFFFu, "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(locale_string(c.key), c.text) << c.key;
    EXPECT_EQ(locale_asset_id(c.key), c.asset) << c.key;
  }
  EXPECT_EQ(locale_count(), 8u);
}

TEST_F(Locale, RefusesMalformedBlobs) {
  struct Case {
    const char* what;
    Bytes b;
    int ok;
  } cases[] = {
      {"shorter than the header", Bytes(11, 0), 0},
      {"version 1", blob(1, {}, ""), 0},
      {"count beyond the length", blob(2, {{1, 0, 0}}, "", 2), 0},
      {"count of 2^32 - 1", blob(2, {}, "", 0xFFFFFFFF), 0},
      {"no records, no strings", blob(2, {}, ""), 1},
      {"empty string area", blob(2, {{1, 0, 0}}, ""), 1},
  };
  for (const Case& c : cases) {
    locale_unload();
    EXPECT_EQ(locale_load_blob(c.b.data(), c.b.size(), 1), c.ok) << c.what;
    EXPECT_STREQ(locale_string(1), "") << c.what;
  }
}

TEST_F(Locale, LoadsItsEntryFromTheArchive) {
  TestTempDir temp("locale_test");
  const std::string& dir = temp.path;
  Bytes english = blob(2, {{name_hash("HELLO"), 0, 0}}, std::string("Hello\0", 6));
  Bytes other = blob(2, {{name_hash("HELLO"), 0, 0}}, std::string("Hallo\0", 6));
  ArchiveSource sources[] = {{1, english.data(), english.size()}, {2, other.data(), other.size()}};
  size_t size = 0;
  uint8_t* image = archive_build(sources, 2, 0, &size, nullptr, 0);
  std::ofstream(dir + "/locale.dat", std::ios::binary).write((const char*)image, (std::streamsize)size);
  mem_free(image);

  locale_load(dir.c_str(), 1);
  EXPECT_STREQ(locale_string(name_hash("HELLO")), "Hello");
  locale_load(dir.c_str(), 2);
  EXPECT_STREQ(locale_string(name_hash("HELLO")), "Hallo");
  // A missing entry or file leaves no table at all.
  locale_load(dir.c_str(), 3);
  EXPECT_FALSE(locale_is_loaded());
  EXPECT_STREQ(locale_string(name_hash("HELLO")), "");
  locale_load(dir.c_str(), 1);
  EXPECT_TRUE(locale_is_loaded());
  locale_load((dir + "/nowhere").c_str(), 1);
  EXPECT_FALSE(locale_is_loaded());
}

TEST(DemoLocale, HoldsTheLoginTexts) {
  // The demo assets built into build/assets by the content target.
  std::string dir = std::string(OSTREVANE_BINARY_DIR) + "/assets";
  locale_load(dir.c_str(), 1);
  ASSERT_TRUE(locale_is_loaded());
  EXPECT_STREQ(locale_string(LOCALE_KEY_HOST_DEFAULT), "127.0.0.1");
  const uint32_t keys[] = {
      LOCALE_KEY_CREDENTIAL_PREFIX,  LOCALE_KEY_CREDENTIAL_SEPARATOR, LOCALE_KEY_OK,
      LOCALE_KEY_STATUS_CONNECTING,  LOCALE_KEY_STATUS_CONNECTED,     LOCALE_KEY_STATUS_ENCRYPTED,
      LOCALE_KEY_STATUS_ACCEPTED,    LOCALE_KEY_STATUS_REJECTED_9,    LOCALE_KEY_STATUS_REJECTED_10,
      LOCALE_KEY_STATUS_REJECTED_11, LOCALE_KEY_STATUS_REJECTED_12,   LOCALE_KEY_STATUS_REJECTED_13,
      LOCALE_KEY_STATUS_REJECTED_14, LOCALE_KEY_STATUS_REJECTED_16,   LOCALE_KEY_STATUS_TIMED_OUT,
      LOCALE_KEY_STATUS_FAILED,      LOCALE_KEY_CHAR_NOTICE_A};
  for (uint32_t key : keys) EXPECT_STRNE(locale_string(key), "") << std::hex << key;
  locale_unload();
}
