#pragma once
// File helpers shared by the unit tests (header-only; never part of the client library).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A new folder under the test temporary folder (TMPDIR when set), named from prefix.
inline std::string test_make_temp_dir(const std::string& prefix) {
  std::string pattern = testing::TempDir() + prefix + "_XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  const char* made = mkdtemp(buffer.data());
  EXPECT_NE(made, nullptr);
  return made ? std::string(made) : std::string();
}

// A private folder under the test temporary folder, removed with everything in it when the
// record goes: tests never share fixed names in the temporary folder, nor leave files there.
struct TestTempDir {
  std::string path;
  explicit TestTempDir(const std::string& prefix) : path(test_make_temp_dir(prefix)) {}
  ~TestTempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline void test_write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string test_read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
