#include "assets/archive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "assets/archive_keys.h"
#include "assets/archive_writer.h"
#include "assets/lzss.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/xtea.h"
#include "support/test_files.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string temp_path(const char* name) {
  static TestTempDir dir("archive_test");
  return dir / name;
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put32(Bytes* b, size_t at, uint32_t v) {
  if (b->size() < at + 4) b->resize(at + 4);
  for (int i = 0; i < 4; i++) (*b)[at + i] = (uint8_t)(v >> (8 * i));
}

Bytes compress(const Bytes& plain) {
  size_t n = 0;
  uint8_t* p = lzss_encode(plain.data(), plain.size(), &n);
  Bytes out(p, p + n);
  mem_free(p);
  return out;
}

// An archive with a directory written by hand: data blob at 16, then the given plain
// directory words enciphered under the shared key schedule. Lets tests forge entries the
// builder refuses to make.
Bytes forge(const Bytes& data, const std::vector<ArchiveEntry>& entries, uint32_t salt,
            int64_t directory_offset = -1, int64_t count = -1) {
  Bytes file(16 + data.size());
  if (!data.empty()) memcpy(file.data() + 16, data.data(), data.size());
  uint32_t dir = directory_offset >= 0 ? (uint32_t)directory_offset : (uint32_t)file.size();
  uint32_t n = count >= 0 ? (uint32_t)count : (uint32_t)entries.size();
  put32(&file, 0, ARCHIVE_MAGIC);
  put32(&file, 4, n);
  put32(&file, 8, dir);
  put32(&file, 12, salt);
  ArchiveKeyState keys;
  archive_keys_begin(&keys, n, dir, salt);
  size_t at = file.size();
  for (uint32_t i = 0; i < entries.size(); i++) {
    uint32_t key[4];
    archive_keys_make(&keys, i, key);
    uint32_t a[2] = {entries[i].id, entries[i].offset};
    uint32_t b[2] = {entries[i].stored_size, entries[i].size};
    xtea_encipher(a, key);
    xtea_encipher(b, key);
    uint32_t stored[4] = {a[0], a[1], b[0], b[1]};
    for (int w = 0; w < 4; w++) put32(&file, at + 4 * w, stored[w]);
    at += 16;
    archive_keys_advance(&keys, stored);
  }
  return file;
}

Bytes build(const std::vector<std::pair<uint32_t, Bytes>>& items, uint32_t salt) {
  std::vector<ArchiveSource> sources;
  for (auto& it : items) sources.push_back({it.first, it.second.data(), it.second.size()});
  size_t size = 0;
  char error[128];
  uint8_t* image = archive_build(sources.data(), (uint32_t)sources.size(), salt, &size, error, sizeof error);
  EXPECT_NE(image, nullptr) << error;
  Bytes out(image, image + size);
  mem_free(image);
  return out;
}

Bytes read_entry(Archive* a, uint32_t id, bool* ok) {
  uint32_t size = 0;
  uint8_t* p = archive_read(a, id, &size);
  *ok = p != nullptr;
  Bytes out(p, p + size);
  mem_free(p);
  return out;
}

}  // namespace

TEST(Archive, BuildThenReadBack) {
  std::mt19937 rng(5);
  Bytes random(9000);
  for (auto& b : random) b = (uint8_t)rng();
  std::vector<std::pair<uint32_t, Bytes>> items = {
      {7, Bytes{'x'}},
      {0xFFFFFFFFu, Bytes(4096, ' ')},
      {3, Bytes(4097, 0)},
      {100, random},
      {0x80000000u, Bytes{'h', 'e', 'l', 'l', 'o'}},
  };
  std::string path = temp_path("round.dat");
  write_file(path, build(items, 0x1234));
  Archive* a = archive_open(path.c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->count, items.size());
  EXPECT_EQ(a->salt, 0x1234u);
  for (auto& it : items) {
    bool ok;
    EXPECT_EQ(read_entry(a, it.first, &ok), it.second);
    EXPECT_TRUE(ok);
    EXPECT_EQ(archive_entry_size(a, it.first), it.second.size());
    Bytes into(it.second.size());
    EXPECT_EQ(archive_read_into(a, it.first, into.data(), into.size()), 1);
    EXPECT_EQ(into, it.second);
    EXPECT_EQ(archive_read_into(a, it.first, into.data(), into.size() - 1), 0);
  }
  bool ok;
  uint32_t size = 99;
  EXPECT_EQ(archive_read(a, 8, &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(archive_entry_size(a, 8), 0u);
  EXPECT_EQ(archive_read_into(a, 7, nullptr, 10), 0);
  EXPECT_EQ(read_entry(nullptr, 7, &ok).size(), 0u);
  EXPECT_FALSE(ok);
  EXPECT_EQ(archive_close(a), 1);
  EXPECT_EQ(archive_close(nullptr), 0);
}

TEST(Archive, BuilderRefusesBadInput) {
  Bytes one{'a'};
  struct Case {
    const char* what;
    std::vector<ArchiveSource> sources;
  } cases[] = {
      {"id 0", {{0, one.data(), 1}}},
      {"duplicate id", {{5, one.data(), 1}, {6, one.data(), 1}, {5, one.data(), 1}}},
      {"empty entry", {{5, one.data(), 0}}},
  };
  for (const Case& c : cases) {
    size_t size = 1;
    char error[128];
    EXPECT_EQ(archive_build(c.sources.data(), (uint32_t)c.sources.size(), 0, &size, error, sizeof error),
              nullptr)
        << c.what;
    EXPECT_EQ(size, 0u);
    EXPECT_NE(error[0], 0) << c.what;
  }
  // Same inputs, same bytes.
  std::vector<std::pair<uint32_t, Bytes>> items = {{1, Bytes(300, 'q')}, {2, one}};
  EXPECT_EQ(build(items, 9), build(items, 9));
  EXPECT_NE(build(items, 9), build(items, 10));
}

TEST(Archive, EmptyArchiveOpensWithoutDirectory) {
  // N = 0: the directory offset is never used, whatever it says.
  Bytes file = forge(Bytes(), {}, 0, 0xFFFFFF00);
  std::string path = temp_path("empty.dat");
  write_file(path, file);
  Archive* a = archive_open(path.c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->count, 0u);
  EXPECT_EQ(a->map->count, 0u);
  EXPECT_EQ(archive_entry_size(a, 1), 0u);
  archive_close(a);
}

TEST(Archive, FirstEntryWinsForRepeatedIds) {
  Bytes first = compress(Bytes{'o', 'n', 'e'});
  Bytes second = compress(Bytes{'t', 'w', 'o', '!'});
  Bytes data = first;
  data.insert(data.end(), second.begin(), second.end());
  Bytes file = forge(
      data, {{9, 0, (uint32_t)first.size(), 3}, {9, (uint32_t)first.size(), (uint32_t)second.size(), 4}}, 77);
  std::string path = temp_path("dup.dat");
  write_file(path, file);
  Archive* a = archive_open(path.c_str());
  ASSERT_NE(a, nullptr);
  bool ok;
  EXPECT_EQ(read_entry(a, 9, &ok), (Bytes{'o', 'n', 'e'}));
  EXPECT_TRUE(archive_entry_usable(a, 0));
  EXPECT_FALSE(archive_entry_usable(a, 1));
  archive_close(a);
}

TEST(Archive, RejectsBrokenHeadersAndDirectories) {
  Bytes good = build({{1, Bytes{'a', 'b', 'c'}}}, 5);
  struct Case {
    const char* what;
    Bytes file;
  } cases[] = {
      {"empty file", Bytes()},
      {"short header", Bytes(good.begin(), good.begin() + 15)},
      {"wrong magic",
       [&] {
         Bytes b = good;
         b[0] ^= 1;
         return b;
       }()},
      {"directory truncated", Bytes(good.begin(), good.end() - 1)},
      {"directory offset inside the header", forge(Bytes(16, 0), {}, 0, 8, 1)},
      {"directory past the end", forge(Bytes(), {}, 0, 1000, 1)},
      {"count larger than the file", forge(Bytes(64, 0), {}, 0, 16, 0x10000000)},
      {"count overflowing 32 bits", forge(Bytes(64, 0), {}, 0, 16, 0xFFFFFFFF)},
  };
  for (const Case& c : cases) {
    std::string path = temp_path("bad.dat");
    write_file(path, c.file);
    Archive* a = archive_open(path.c_str());
    EXPECT_EQ(a, nullptr) << c.what;
    archive_close(a);
  }
  EXPECT_EQ(archive_open(nullptr), nullptr);
  EXPECT_EQ(archive_open(temp_path("missing.dat").c_str()), nullptr);
}

TEST(Archive, EntriesOutOfBoundsAreAbsent) {
  Bytes abc = compress(Bytes{'a', 'b', 'c'});
  uint32_t n = (uint32_t)abc.size();
  Bytes data = abc;
  struct Case {
    const char* what;
    ArchiveEntry entry;
    bool usable;
  } cases[] = {
      {"in bounds", {1, 0, n, 3}, true},
      {"data runs into the directory", {1, 1, n, 3}, false},
      {"data starts past the file", {1, 0xFFFFFFF0u, n, 3}, false},
      {"offset plus size wraps 32 bits", {1, 0xFFFFFFFFu, 2, 3}, false},
      {"size beyond what the stream can expand to", {1, 0, n, n / 2 * 17 + 1}, false},
      {"size at the expansion limit", {1, 0, n, n / 2 * 17}, true},
  };
  for (const Case& c : cases) {
    std::string path = temp_path("bounds.dat");
    write_file(path, forge(data, {c.entry}, 1));
    Archive* a = archive_open(path.c_str());
    ASSERT_NE(a, nullptr) << c.what;
    EXPECT_EQ(archive_find(a, 1) != nullptr, c.usable) << c.what;
    archive_close(a);
  }
}

TEST(Archive, ReadMustProduceExactlyTheSize) {
  Bytes abc = compress(Bytes{'a', 'b', 'c'});
  uint32_t n = (uint32_t)abc.size();
  struct Case {
    const char* what;
    uint32_t size;
    bool ok;
  } cases[] = {
      {"exact", 3, true},
      {"stream ends early", 4, false},
      {"stream overflows", 2, false},
  };
  for (const Case& c : cases) {
    std::string path = temp_path("exact.dat");
    write_file(path, forge(abc, {{1, 0, n, c.size}}, 1));
    Archive* a = archive_open(path.c_str());
    ASSERT_NE(a, nullptr);
    bool ok;
    Bytes got = read_entry(a, 1, &ok);
    EXPECT_EQ(ok, c.ok) << c.what;
    Bytes into(16);
    EXPECT_EQ(archive_read_into(a, 1, into.data(), into.size()), c.ok ? 1 : 0) << c.what;
    archive_close(a);
  }
}

TEST(Archive, GoldenArchivePinsTheFormat) {
  // Built once by assetpack from tests/data/golden; the packer test rebuilds it byte for byte.
  std::string dir = std::string(OSTREVANE_SOURCE_DIR) + "/tests/data/golden/";
  Archive* a = archive_open((dir + "golden.dat").c_str());
  ASSERT_NE(a, nullptr);
  struct Case {
    uint32_t id;
    const char* file;
  } cases[] = {{1, "hello.txt"}, {2, "spaces.bin"}, {0xC0FFEE, "pattern.bin"}};
  EXPECT_EQ(a->count, 3u);
  for (const Case& c : cases) {
    bool ok;
    EXPECT_EQ(read_entry(a, c.id, &ok), read_file(dir + c.file)) << c.file;
    EXPECT_TRUE(ok);
  }
  archive_close(a);
}

TEST(Archive, OpensFromAnyStream) {
  Bytes image = build({{4, Bytes{'m', 'e', 'm'}}}, 3);
  FILE* f = fmemopen(image.data(), image.size(), "rb");
  Archive* a = archive_open_file(f, nullptr);
  ASSERT_NE(a, nullptr);
  bool ok;
  EXPECT_EQ(read_entry(a, 4, &ok), (Bytes{'m', 'e', 'm'}));
  archive_close(a);
  EXPECT_EQ(archive_open_file(nullptr, "x"), nullptr);
}
