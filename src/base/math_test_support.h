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

// Runs script with input on stdin and collects stdout. False when Python or numpy is missing
// or fails.
static inline bool run_reference_python(const char* script, const std::string& input, std::string* output) {
  char input_path[] = "/tmp/ostrevane_math_XXXXXX";
  int fd = mkstemp(input_path);
  if (fd < 0) return false;
  bool written = write(fd, input.data(), input.size()) == (ssize_t)input.size();
  close(fd);
  char script_path[] = "/tmp/ostrevane_math_py_XXXXXX";
  fd = mkstemp(script_path);
  if (fd < 0) {
    unlink(input_path);
    return false;
  }
  written = written && write(fd, script, strlen(script)) == (ssize_t)strlen(script);
  close(fd);
  std::string command = std::string("/usr/bin/python3 ") + script_path + " < " + input_path + " 2>/dev/null";
  FILE* pipe = written ? popen(command.c_str(), "r") : nullptr;
  bool ok = false;
  if (pipe) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    ok = pclose(pipe) == 0;
  }
  unlink(input_path);
  unlink(script_path);
  return ok;
}

// Under CI a missing reference fails the test; elsewhere it skips it.
#define REQUIRE_REFERENCE_PYTHON(script, input, output)                                    \
  do {                                                                                     \
    if (!run_reference_python(script, input, output)) {                                    \
      if (reference_tools_required()) FAIL() << "/usr/bin/python3 with numpy is required"; \
      GTEST_SKIP() << "/usr/bin/python3 with numpy is not available";                      \
    }                                                                                      \
  } while (0)
