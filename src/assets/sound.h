#pragma once
// Sampled sounds (the objects of sound assets), converted at load to one common form:
// 22050 samples per second, mono, signed 16-bit, so the mixer never resamples.
//
// Accepted entry: exactly the canonical 44-byte RIFF WAVE header followed by the samples,
// little-endian: "RIFF", chunk size = length - 8, "WAVE", "fmt ", format size 16, a format
// tag (not read), channels 1 or 2, rate 8000, 11025, 16000, 22050, 44100 or 48000, byte rate
// channels x 2 x rate, block align channels x 2, 16 bits, "data", data size = length - 44.
// Anything else is rejected (null), so a sound can never be half-understood.
//
// Conversion: F = data size / block align source frames (a stray last byte is ignored) give
// S = (F mod R) x 22050 / R + (F / R) x 22050 samples, in 64 bits. A 16.16 step R / 22050
// walks the source; each output is s(m) + ((s(n) - s(m)) x (f >> 1)) >> 15 with m the
// position, n the next frame (both held at the last frame) and f the fraction, shifts
// arithmetic. A stereo frame counts as (left + right) >> 1. F = 0 gives a sound of no samples.
// The decoder is a pure function over the bytes (any thread).
#include <cstdint>

enum : uint32_t {
  SOUND_HEADER_SIZE = 44,
  SOUND_OUTPUT_RATE = 22050,
  // Largest entry loaded: about three minutes of 48 kHz stereo; bounds the converted copy.
  SOUND_FILE_MAX = 32u << 20,
};

struct SoundObject {
  uint32_t id;        // written by the loader
  uint32_t channels;  // always 1
  uint32_t rate;      // always 22050
  uint32_t bits;      // from the file: 16
  uint32_t reserved;  // 0
  uint32_t sample_count;
  uint32_t playable_count;  // equals sample_count
  int16_t* samples;         // null when sample_count is 0
};

// Null on any rejection. length may be anything; the size of the result is bounded by it.
SoundObject* sound_decode(const uint8_t* bytes, uint32_t length);
void sound_destroy(SoundObject* sound);

// Output count for F source frames at rate R (R > 0), as the decoder computes it.
uint64_t sound_output_count(uint64_t frames, uint32_t rate);

// The same two in the shape of the asset cache's decoder table.
void* sound_decode_asset(const uint8_t* bytes, uint32_t length);
void sound_destroy_asset(void* object);
