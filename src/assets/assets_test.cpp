#include "assets/assets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/test_files.h"

namespace {

const char* const ALL_FILES[] = {"anim.dat", "bsp.dat",   "font.dat",  "light.dat",   "locale.dat", "map.dat",
                                 "mesh.dat", "music.dat", "sound.dat", "texture.dat", "morph.dat"};

// The folders live as long as the test program; each holds empty stand-ins for the archives.
std::string make_dir_without(const char* missing) {
  static std::vector<std::unique_ptr<TestTempDir>> folders;
  folders.push_back(std::make_unique<TestTempDir>("presence_test"));
  std::string dir = folders.back()->path;
  for (const char* name : ALL_FILES) {
    if (missing && std::string(name) == missing) continue;
    FILE* f = fopen((dir + "/" + name).c_str(), "wb");
    fclose(f);
  }
  return dir;
}

}  // namespace

TEST(AssetsPresence, EachRequiredFileMissingInTurn) {
  EXPECT_EQ(assets_check_present(make_dir_without(nullptr).c_str()), 1);
  for (const char* name : ALL_FILES) {
    int expected = std::string(name) == "morph.dat" ? 1 : 0;  // optional
    EXPECT_EQ(assets_check_present(make_dir_without(name).c_str()), expected) << name;
  }
  // A trailing separator is accepted; no directory at all is not.
  EXPECT_EQ(assets_check_present((make_dir_without(nullptr) + "/").c_str()), 1);
  EXPECT_EQ(assets_check_present(""), 0);
  EXPECT_EQ(assets_check_present(nullptr), 0);
  EXPECT_EQ(assets_check_present(std::string(ASSET_PATH_MAX, 'a').c_str()), 0);
}

TEST(AssetsPresence, JoinPath) {
  char out[16];
  struct Case {
    const char* dir;
    const char* name;
    size_t size;
    const char* expected;  // null: refused
  } cases[] = {
      {"a", "b.dat", 16, "a/b.dat"},        {"a/", "b.dat", 16, "a/b.dat"},
      {"", "b.dat", 16, "b.dat"},           {nullptr, "b.dat", 16, "b.dat"},
      {"abcdefghij", "b.dat", 16, nullptr}, {"abcdefghi", "b.dat", 16, "abcdefghi/b.dat"},
  };
  for (const Case& c : cases) {
    int ok = assets_join_path(out, c.size, c.dir, c.name);
    EXPECT_EQ(ok, c.expected ? 1 : 0) << c.dir;
    if (c.expected && ok) {
      EXPECT_STREQ(out, c.expected);
    }
  }
}
