#pragma once
// Test-only helpers shared by the math and camera tests: a fixture that runs a test once with
// the processor's SSE variants and once on the scalar paths (as without CPUID), and a runner
// for reference computations in Debian's Python.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/cpu_features.h"

class MathVariants : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { cpu_features_force_no_cpuid(!GetParam()); }
  void TearDown() override { cpu_features_force_no_cpuid(0); }
};

#define INSTANTIATE_MATH_VARIANTS(fixture)            \
  INSTANTIATE_TEST_SUITE_P(                           \
      Paths, fixture, ::testing::Values(true, false), \
      [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Sse" : "NoCpuid"; })

static inline bool reference_tools_required(void) {
  const char* ci = getenv("CI");
  return ci && strcmp(ci, "true") == 0;
}

// Runs script with input on stdin and collects stdout, both through files in a private
// folder so nothing depends on pipe timing. Answers 1 on success, 0 when Python or numpy is
// missing, -1 when the script failed (problem then holds its exit status and stderr). One
// BLAS thread: the machine's other tests already use every core.
static inline int run_reference_python(const char* script, const std::string& input, std::string* output,
                                       std::string* problem) {
  std::string pattern = testing::TempDir() + "ostrevane_reference_XXXXXX";
  std::vector<char> folder(pattern.begin(), pattern.end());
  folder.push_back(0);
  if (!mkdtemp(folder.data())) {
    *problem = "cannot make a temporary folder";
    return -1;
  }
  const std::string dir = folder.data();
  auto write_file = [](const std::string& path, const char* bytes, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && fwrite(bytes, 1, size, f) == size;
    if (f) ok = fclose(f) == 0 && ok;
    return ok;
  };
  auto read_file = [](const std::string& path, std::string* into) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) into->append(buffer, n);
    fclose(f);
  };
  int answer = -1;
  if (!write_file(dir + "/in", input.data(), input.size()) ||
      !write_file(dir + "/script.py", script, strlen(script))) {
    *problem = "cannot write the reference input";
  } else {
    std::string command =
        "cd '" + dir +
        "' && OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1 /usr/bin/python3 -I script.py < in > out 2> err";
    int status = system(command.c_str());
    std::string err;
    read_file(dir + "/err", &err);
    if (status == 0) {
      read_file(dir + "/out", output);
      answer = 1;
    } else if (access("/usr/bin/python3", X_OK) != 0 ||
               err.find("No module named 'numpy'") != std::string::npos) {
      answer = 0;
    } else {
      *problem = "python exited with status " + std::to_string(status) + ": " + err;
    }
  }
  for (const char* name : {"/in", "/script.py", "/out", "/err"}) unlink((dir + name).c_str());
  rmdir(dir.c_str());
  return answer;
}

// A failing script always fails the test; a missing Python or numpy fails it under CI and
// skips it elsewhere.
#define REQUIRE_REFERENCE_PYTHON(script, input, output)                                    \
  do {                                                                                     \
    std::string problem_;                                                                  \
    int ran_ = run_reference_python(script, input, output, &problem_);                     \
    if (ran_ < 0) FAIL() << "reference computation failed: " << problem_;                  \
    if (ran_ == 0) {                                                                       \
      if (reference_tools_required()) FAIL() << "/usr/bin/python3 with numpy is required"; \
      GTEST_SKIP() << "/usr/bin/python3 with numpy is not available";                      \
    }                                                                                      \
  } while (0)

// The bit pattern of a float, for exact comparisons (NaN payloads and signed zeros included).
static inline uint32_t float_bits(float f) {
  uint32_t b;
  memcpy(&b, &f, 4);
  return b;
}

// Bytes as lower-case hexadecimal, the way the reference scripts read and print them.
static inline std::string hex_of_bytes(const void* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; i++) {
    snprintf(b, sizeof b, "%02x", ((const uint8_t*)p)[i]);
    s += b;
  }
  return s;
}
