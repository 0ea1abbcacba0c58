#pragma once
// File helpers shared by the unit tests (header-only; never part of the client library).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A new folder under the test temporary folder, named from prefix.
inline std::string test_make_temp_dir(const std::string& prefix) {
  std::string pattern = testing::TempDir() + prefix + "_XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  const char* made = mkdtemp(buffer.data());
  EXPECT_NE(made, nullptr);
  return made ? std::string(made) : std::string();
}

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
