#include "platform/keymap.h"

struct KeyTables {
  uint8_t normal[256];
  uint8_t extended[256];
};

static constexpr KeyTables key_make_tables() {
  KeyTables t{};
  // Letters in alphabetical order: A = 36 ... Z = 61.
  const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                               0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; i++) t.normal[letters[i]] = (uint8_t)(36 + i);
  t.normal[0x0B] = 26;  // digit 0
  for (int d = 1; d <= 9; d++) t.normal[0x01 + d] = (uint8_t)(26 + d);
  const uint8_t keypad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  for (int i = 0; i < 10; i++) t.normal[keypad[i]] = (uint8_t)(63 + i);
  for (int i = 0; i < 10; i++) t.normal[0x3B + i] = (uint8_t)(79 + i);  // F1..F10
  t.normal[0x57] = 89;
  t.normal[0x58] = 90;
  for (int i = 0; i < 11; i++) t.normal[0x64 + i] = (uint8_t)(91 + i);  // F13..F23
  t.normal[0x76] = 102;

  const uint8_t normal_pairs[][2] = {
      {0x0E, 1},   {0x0F, 2},   {0x1C, 4},   {0x2A, 5},   {0x36, 5},   {0x38, 6},   {0x1D, 7},   {0x3A, 10},
      {0x01, 11},  {0x39, 12},  {0x54, 22},  {0x63, 25},  {0x37, 73},  {0x4E, 74},  {0x4A, 75},  {0x53, 76},
      {0x46, 104}, {0x27, 105}, {0x0D, 106}, {0x33, 107}, {0x0C, 108}, {0x34, 109}, {0x35, 110}, {0x29, 111},
      {0x1A, 112}, {0x2B, 113}, {0x1B, 114}, {0x28, 115}, {0x45, 116},
  };
  for (const auto& p : normal_pairs) t.normal[p[0]] = p[1];

  const uint8_t extended_pairs[][2] = {
      {0x38, 6},  {0x1D, 7},  {0x5D, 8},  {0x49, 13}, {0x51, 14},  {0x4F, 15},  {0x47, 16},
      {0x4B, 17}, {0x48, 18}, {0x4D, 19}, {0x50, 20}, {0x37, 22},  {0x52, 23},  {0x53, 24},
      {0x5B, 62}, {0x5C, 62}, {0x35, 77}, {0x1C, 78}, {0x45, 103}, {0x46, 116},
  };
  for (const auto& p : extended_pairs) t.extended[p[0]] = p[1];
  return t;
}

static constexpr KeyTables KEYS = key_make_tables();

uint32_t key_code_from_scan(uint32_t key_param) {
  uint32_t scan = (key_param >> 16) & 0xFF;
  return (key_param & KEY_PARAM_EXTENDED) ? KEYS.extended[scan] : KEYS.normal[scan];
}
