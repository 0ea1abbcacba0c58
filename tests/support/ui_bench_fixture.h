#pragma once
// The interface as the benchmarks run it: the fixed test font as asset 1 in a private folder
// (under TMPDIR), the cache started over it and the font loaded, the draw and widget modules
// started, the mouse parked at (300, 200). The destructor stops everything and removes the
// folder. Exits the process when the folder or its archive cannot be written.
#include <string>

struct UiBenchFixture {
  std::string folder;
  explicit UiBenchFixture(const char* name);
  ~UiBenchFixture();
  UiBenchFixture(const UiBenchFixture&) = delete;
  UiBenchFixture& operator=(const UiBenchFixture&) = delete;
};
