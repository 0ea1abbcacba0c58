#include "platform/keymap.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

// The key table as the game's key list gives it: each code with its normal and extended
// scan codes. Every one of the 512 (scan code, extended) pairs is checked against it; all
// other pairs must map to 0.
struct KeyRow {
  uint32_t code;
  std::vector<uint32_t> normal, extended;
};

static const std::vector<KeyRow>& key_rows() {
  static const std::vector<KeyRow> rows = [] {
    std::vector<KeyRow> r = {
        {1, {0x0E}, {}},     {2, {0x0F}, {}},     {4, {0x1C}, {}},       {5, {0x2A, 0x36}, {}},
        {6, {0x38}, {0x38}}, {7, {0x1D}, {0x1D}}, {8, {}, {0x5D}},       {10, {0x3A}, {}},
        {11, {0x01}, {}},    {12, {0x39}, {}},    {13, {}, {0x49}},      {14, {}, {0x51}},
        {15, {}, {0x4F}},    {16, {}, {0x47}},    {17, {}, {0x4B}},      {18, {}, {0x48}},
        {19, {}, {0x4D}},    {20, {}, {0x50}},    {22, {0x54}, {0x37}},  {23, {}, {0x52}},
        {24, {}, {0x53}},    {25, {0x63}, {}},    {26, {0x0B}, {}},      {62, {}, {0x5B, 0x5C}},
        {73, {0x37}, {}},    {74, {0x4E}, {}},    {75, {0x4A}, {}},      {76, {0x53}, {}},
        {77, {}, {0x35}},    {78, {}, {0x1C}},    {89, {0x57}, {}},      {90, {0x58}, {}},
        {102, {0x76}, {}},   {103, {}, {0x45}},   {104, {0x46}, {}},     {105, {0x27}, {}},
        {106, {0x0D}, {}},   {107, {0x33}, {}},   {108, {0x0C}, {}},     {109, {0x34}, {}},
        {110, {0x35}, {}},   {111, {0x29}, {}},   {112, {0x1A}, {}},     {113, {0x2B}, {}},
        {114, {0x1B}, {}},   {115, {0x28}, {}},   {116, {0x45}, {0x46}},
    };
    for (uint32_t d = 1; d <= 9; d++) r.push_back({26 + d, {0x01 + d}, {}});
    // QWERTY rows, read off the keyboard: the letter's scan code by position.
    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const uint32_t scans[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                              0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    for (int i = 0; letters[i]; i++) r.push_back({36u + (uint32_t)i, {scans[i]}, {}});
    const uint32_t keypad[] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
    for (uint32_t i = 0; i < 10; i++) r.push_back({63 + i, {keypad[i]}, {}});
    for (uint32_t i = 0; i < 10; i++) r.push_back({79 + i, {0x3B + i}, {}});
    for (uint32_t i = 0; i < 11; i++) r.push_back({91 + i, {0x64 + i}, {}});
    return r;
  }();
  return rows;
}

TEST(KeyMap, AllScanCodePairs) {
  std::map<std::pair<uint32_t, int>, uint32_t> expected;
  for (const KeyRow& row : key_rows()) {
    for (uint32_t s : row.normal) ASSERT_TRUE(expected.emplace(std::make_pair(s, 0), row.code).second) << s;
    for (uint32_t s : row.extended) ASSERT_TRUE(expected.emplace(std::make_pair(s, 1), row.code).second) << s;
  }
  for (uint32_t scan = 0; scan < 256; scan++)
    for (int ext = 0; ext < 2; ext++) {
      auto it = expected.find({scan, ext});
      uint32_t want = it == expected.end() ? 0 : it->second;
      EXPECT_EQ(key_code_from_scan(key_param_make(scan, ext, 0)), want) << std::hex << scan << " ext " << ext;
      // The repeat flag and the low bits of the parameter do not change the key.
      EXPECT_EQ(key_code_from_scan(key_param_make(scan, ext, 1) | 0xFFFF), want);
    }
  // Codes 3, 9, 21 and 117..120 come from no key.
  for (const auto& [pair, code] : expected)
    EXPECT_TRUE(code != 3 && code != 9 && code != 21 && code < 117) << code;
}
