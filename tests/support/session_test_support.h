#pragma once
// Shared by the session tests: golden frames made by the server side (devserver/golden.py),
// a pinned random source, an injectable frame time and a plain frame builder checked with
// zlib's CRC-32.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes unhex(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back((uint8_t)std::stoul(text.substr(i, 2), nullptr, 16));
  return out;
}

inline std::map<std::string, Bytes> load_golden_frames() {
  std::map<std::string, Bytes> golden;
  std::ifstream in(OSTREVANE_SOURCE_DIR "/src/net/testdata/golden_frames.txt");
  std::string name, hex;
  while (in >> name >> hex) golden[name] = unhex(hex);
  return golden;
}

// Plain frame: header, payload, trailer; CRC-32 from zlib over header (CRC zero) and payload.
inline Bytes plain_frame(uint16_t type, uint16_t opcode, const Bytes& payload, uint8_t nonce_byte = 0x55) {
  Bytes f = {1, (uint8_t)payload.size(), (uint8_t)(payload.size() >> 8)};
  for (int i = 0; i < 8; i++) f.push_back(nonce_byte);
  f.push_back((uint8_t)type);
  f.push_back((uint8_t)(type >> 8));
  f.push_back((uint8_t)opcode);
  f.push_back((uint8_t)(opcode >> 8));
  for (int i = 0; i < 4; i++) f.push_back(0);
  f.push_back(2);
  f.insert(f.end(), payload.begin(), payload.end());
  uLong crc = crc32(0L, f.data(), (uInt)f.size());
  for (int i = 0; i < 4; i++) f[15 + i] = (uint8_t)(crc >> (8 * i));
  f.push_back(3);
  return f;
}

// Random bytes handed out in order from a queue (then zeros).
struct PinnedRandom {
  static Bytes& queue() {
    static Bytes q;
    return q;
  }
  static int32_t source(uint8_t* bytes, int32_t count) {
    Bytes& q = queue();
    for (int32_t i = 0; i < count; i++) {
      if (q.empty()) {
        bytes[i] = 0;
      } else {
        bytes[i] = q.front();
        q.erase(q.begin());
      }
    }
    return 1;
  }
  static void push(const Bytes& b) { queue().insert(queue().end(), b.begin(), b.end()); }
};

struct FrameClock {
  static float& step() {
    static float s = 0.0f;
    return s;
  }
  static float source(void) { return step(); }
};
