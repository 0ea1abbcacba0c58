#pragma once
// Keyboard scan codes to the client's key codes 1..120 (0 = not a key the client knows).
// The key message parameter carries the set-1 scan code in bits 16..23, the extended-key
// flag in bit 24 and the repeat flag in bit 30; extended keys use their own table.
#include <cstdint>

enum : uint32_t {
  KEY_PARAM_EXTENDED = 1u << 24,
  KEY_PARAM_REPEAT = 1u << 30,
};

uint32_t key_code_from_scan(uint32_t key_param);
// Builds a key message parameter.
static inline uint32_t key_param_make(uint32_t scan, int extended, int repeat) {
  return ((scan & 0xFF) << 16) | (extended ? (uint32_t)KEY_PARAM_EXTENDED : 0u) |
         (repeat ? (uint32_t)KEY_PARAM_REPEAT : 0u);
}
