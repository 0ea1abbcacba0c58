#pragma once
// Little-endian reads over a byte range for the asset decoders. A read past the end yields 0
// and sets the sticky error flag; decoders check the flag once at the end.
#include <bit>
#include <cstdint>
#include <cstring>

// Decoders copy whole runs of file records into memory records of the same layout.
static_assert(std::endian::native == std::endian::little, "asset records are little-endian");

struct ByteReader {
  const uint8_t* at;
  const uint8_t* end;
  int error;
};

inline ByteReader byte_reader(const uint8_t* bytes, size_t length) { return {bytes, bytes + length, 0}; }

inline int byte_reader_take(ByteReader* r, void* out, size_t n) {
  if ((size_t)(r->end - r->at) < n || r->error) {
    r->error = 1;
    memset(out, 0, n);
    return 0;
  }
  memcpy(out, r->at, n);
  r->at += n;
  return 1;
}

inline uint8_t byte_reader_u8(ByteReader* r) {
  uint8_t v;
  byte_reader_take(r, &v, 1);
  return v;
}
inline uint16_t byte_reader_u16(ByteReader* r) {
  uint16_t v;
  byte_reader_take(r, &v, 2);
  return v;
}
inline uint32_t byte_reader_u32(ByteReader* r) {
  uint32_t v;
  byte_reader_take(r, &v, 4);
  return v;
}
inline int32_t byte_reader_i32(ByteReader* r) { return (int32_t)byte_reader_u32(r); }
inline float byte_reader_f32(ByteReader* r) {
  float v;
  byte_reader_take(r, &v, 4);
  return v;
}
