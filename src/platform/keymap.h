#pragma once
// Keyboard scan codes to the client's key codes 1..120 (0 = not a key the client knows).
// The key message parameter carries the set-1 scan code in bits 16..23, the extended-key
// flag in bit 24 and the repeat flag in bit 30; extended keys use their own table.
#include <cstdint>

enum : uint32_t {
  KEY_PARAM_EXTENDED = 1u << 24,
  KEY_PARAM_REPEAT = 1u << 30,
};

// Named client key codes: the one place where their numbers appear.
enum : uint32_t {
  KEY_NONE = 0,  // no key; never matches anything
  KEY_BACKSPACE = 1,
  KEY_TAB = 2,
  KEY_ENTER = 4,
  KEY_SHIFT = 5,
  KEY_ALT = 6,
  KEY_CTRL = 7,
  KEY_CAPS_LOCK = 10,
  KEY_ESCAPE = 11,
  KEY_SPACE = 12,
  KEY_PAGE_UP = 13,
  KEY_PAGE_DOWN = 14,
  KEY_END = 15,
  KEY_HOME = 16,
  KEY_LEFT = 17,
  KEY_UP = 18,
  KEY_RIGHT = 19,
  KEY_DOWN = 20,
  KEY_PRINT_SCREEN = 22,
  KEY_INSERT = 23,
  KEY_DELETE = 24,
  KEY_DIGIT_0 = 26,  // digits 0..9 are 26..35
  KEY_A = 36,        // letters A..Z are 36..61
  KEY_KEYPAD_0 = 63,
  KEY_KEYPAD_DOT = 76,
  KEY_KEYPAD_SLASH = 77,
  KEY_F1 = 79,  // F1..F24 are 79..102
  KEY_NUM_LOCK = 103,
  KEY_BACKQUOTE = 111,
  KEY_COUNT = 121,  // codes are 0..120
};
constexpr uint32_t key_letter(char upper) { return KEY_A + (uint32_t)(upper - 'A'); }
constexpr uint32_t key_digit(int digit) { return KEY_DIGIT_0 + (uint32_t)digit; }

uint32_t key_code_from_scan(uint32_t key_param);
// Builds a key message parameter.
static inline uint32_t key_param_make(uint32_t scan, int extended, int repeat) {
  return ((scan & 0xFF) << 16) | (extended ? (uint32_t)KEY_PARAM_EXTENDED : 0u) |
         (repeat ? (uint32_t)KEY_PARAM_REPEAT : 0u);
}
