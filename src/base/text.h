#pragma once
// Text: a growable string of 32-bit code points (no terminator) with UTF-8 conversion.
// When n code points do not fit, the capacity becomes 2 x count + 2 x n. Appending a zero
// byte or code point appends nothing. Every function takes the text first; a null text
// makes it return 0 or null without effect.
#include <cstddef>
#include <cstdint>

struct Text {
  uint32_t* code_points;
  uint32_t count;
  uint32_t capacity;
  // Scratch space used while appending; grows to the needed length and never shrinks.
  uint8_t* scratch_bytes;
  uint32_t* scratch_code_points;
  uint32_t scratch_capacity;
};

Text* text_create(uint32_t capacity);
void text_destroy(Text* text);
void text_clear(Text* text);
// Zeroes every stored code point (for secrets), then count 0.
void text_wipe(Text* text);

uint32_t text_append_utf8(Text* text, const char* string);
uint32_t text_append_ascii(Text* text, const char* string);
uint32_t text_append_int(Text* text, int32_t value);
uint32_t text_append_uint(Text* text, uint32_t value);
uint32_t text_append_char(Text* text, int value);
void text_append_codepoint(Text* text, uint32_t code_point);

// An index above count does nothing; index == count appends.
void text_insert_codepoint(Text* text, uint32_t index, uint32_t code_point);
void text_insert_utf8(Text* text, uint32_t index, const char* string);
int text_remove_at(Text* text, uint32_t index);
// Replaces the first occurrence of find; nothing when find is empty, longer or absent.
// Returns 1 when something was replaced.
int text_replace_utf8(Text* text, const char* find, const char* replacement);
void text_trim_left(Text* text);
void text_trim_right(Text* text);

// Copies the inclusive range [first, last] (clamped) into destination; returns the number
// copied (at most capacity; 0 for an empty text).
uint32_t text_copy_codepoints(const Text* text, uint32_t* destination, uint32_t capacity, int32_t first,
                              int32_t last);
// Low byte of each code point, at most size - 1, then a zero byte. Null destination or size
// 0 gives null; a null text gives an empty string.
char* text_to_bytes(const Text* text, char* destination, size_t size);
// UTF-8 of the code points, stopping before the first that would not fit in size - 1 bytes;
// unencodable code points are skipped. Null destination or size 0 gives null.
char* text_to_utf8(const Text* text, char* destination, size_t size);
