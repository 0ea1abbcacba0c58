#pragma once
// UTF-8 helpers. Decoding accepts overlong forms and stops (returning 0 without moving the
// cursor) at the terminator or at an invalid sequence; encoding handles values up to
// 0x10FFFF, surrogate values included.
#include <cstdint>

// Writes 1..4 bytes to out; 0 for values above 0x10FFFF.
int utf8_encode(uint32_t code_point, uint8_t out[4]);
// Decodes the next code point and advances the cursor; 0 at the end or at an invalid sequence.
uint32_t utf8_decode(const char** cursor);
// The same decoding for text that must be walked to its end whatever it holds (layout, typed
// text): an invalid or truncated sequence, or an overlong zero, answers U+FFFD and moves
// exactly one byte, so the bytes after it are still read; 0 without moving only at the
// terminator.
uint32_t utf8_decode_lenient(const char** cursor);
enum : uint32_t { UTF8_REPLACEMENT = 0xFFFD };
// 1, 2, 3 or 4 for a lead byte, 0 for a byte that cannot start a sequence.
int utf8_sequence_length(uint8_t lead);
// Code points decoded before the terminator or the first invalid sequence.
uint32_t utf8_length(const char* string);
