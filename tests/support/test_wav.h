#pragma once
// A canonical 16-bit PCM wave file in memory (the 44-byte header, then the interleaved samples
// as written), for the sound decoder's and the mixer's tests and benchmarks.
#include <cstdint>
#include <cstring>
#include <vector>

inline std::vector<uint8_t> test_wav(uint32_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b(44 + samples.size() * 2);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) b[at + i] = (uint8_t)(v >> (8 * i));
  };
  memcpy(&b[0], "RIFF", 4);
  put(4, (uint32_t)b.size() - 8, 4);
  memcpy(&b[8], "WAVEfmt ", 8);
  put(16, 16, 4);
  put(20, 1, 2);  // PCM
  put(22, channels, 2);
  put(24, rate, 4);
  put(28, rate * channels * 2, 4);
  put(32, channels * 2, 2);
  put(34, 16, 2);
  memcpy(&b[36], "data", 4);
  put(40, (uint32_t)samples.size() * 2, 4);
  for (size_t i = 0; i < samples.size(); i++) put(44 + 2 * i, (uint16_t)samples[i], 2);
  return b;
}
