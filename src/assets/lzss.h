#pragma once
// LZSS as used by the asset archives: a 2048-byte window whose positions 0..2030 start as
// spaces (0x20) and 2031..2047 as zeros, write position starting at 2031; the input is a bit
// stream read most significant bit first. Flag 1: an 8-bit literal. Flag 0: an 11-bit
// window position and a 4-bit length L, copying L + 2 bytes (2..17) byte by byte from the
// window, overlap allowed. The stream ends where the next token needs more bits than remain,
// which also absorbs the padding of the last byte.
//
// Decoding writes straight into the caller's output and fails (returns 0) when a byte would
// go past the capacity or the source reports a read error; otherwise it returns 1 and the
// number of bytes produced, which may be fewer than the capacity (callers that know the
// exact size compare it themselves). Nothing is read past input_size.
//
// The encoder finds matches with hash chains over the same pre-filled window, so a stream it
// writes decodes with any decoder that follows the rules above.
#include <cstddef>
#include <cstdint>

// Fills buffer with exactly want bytes from the source; returns the number actually read (a
// smaller number is a read error).
typedef size_t (*LzssReadFn)(void* context, uint8_t* buffer, size_t want);

constexpr uint32_t LZSS_WINDOW = 2048;
constexpr uint32_t LZSS_START = 2048 - 17;  // first write position; also where the zero-filled tail begins
constexpr uint32_t LZSS_MIN_MATCH = 2;
constexpr uint32_t LZSS_MAX_MATCH = 17;
constexpr uint32_t LZSS_INPUT_CHUNK = 4096;  // bytes pulled from a stream source at a time

int lzss_decode(const uint8_t* input, size_t input_size, uint8_t* output, size_t capacity, size_t* produced);
// Streams input_size bytes from read through a 4 KiB buffer.
int lzss_decode_stream(LzssReadFn read, void* context, uint64_t input_size, uint8_t* output, size_t capacity,
                       size_t* produced);

// The largest output a stream of input_size bytes can produce: 17 bytes per 16-bit match
// token, and a tail of 8 bits holds no token at all.
static inline uint64_t lzss_max_output(uint64_t input_size) { return input_size / 2 * 17; }

// Compresses size bytes; returns a mem_alloc'd stream (never null) and its length. The output
// is at most ceil(9 * size / 8) bytes.
uint8_t* lzss_encode(const uint8_t* input, size_t size, size_t* out_size);
