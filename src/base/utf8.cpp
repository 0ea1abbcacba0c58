#include "base/utf8.h"

int utf8_encode(uint32_t c, uint8_t out[4]) {
  if (c < 0x80) {
    out[0] = (uint8_t)c;
    return 1;
  }
  if (c < 0x800) {
    out[0] = (uint8_t)(0xC0 | (c >> 6));
    out[1] = (uint8_t)(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = (uint8_t)(0xE0 | (c >> 12));
    out[1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
    out[2] = (uint8_t)(0x80 | (c & 0x3F));
    return 3;
  }
  if (c <= 0x10FFFF) {
    out[0] = (uint8_t)(0xF0 | (c >> 18));
    out[1] = (uint8_t)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (uint8_t)(0x80 | (c & 0x3F));
    return 4;
  }
  return 0;
}

int utf8_sequence_length(uint8_t lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

uint32_t utf8_decode(const char** cursor) {
  if (!cursor || !*cursor) return 0;
  const uint8_t* p = (const uint8_t*)*cursor;
  int length = utf8_sequence_length(p[0]);
  if (p[0] == 0 || length == 0) return 0;
  static const uint8_t LEAD_MASK[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  uint32_t c = p[0] & LEAD_MASK[length];
  for (int i = 1; i < length; i++) {
    // A terminator inside the sequence is not a continuation byte, so this also stops there.
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3F);
  }
  // An overlong form of zero would read as the end of the text; treat it as the end.
  if (c == 0) return 0;
  *cursor += length;
  return c;
}

uint32_t utf8_decode_lenient(const char** cursor) {
  if (!cursor || !*cursor || **cursor == 0) return 0;
  uint32_t c = utf8_decode(cursor);
  if (c) return c;
  *cursor += 1;
  return UTF8_REPLACEMENT;
}

uint32_t utf8_length(const char* string) {
  if (!string) return 0;
  uint32_t n = 0;
  while (utf8_decode(&string)) n++;
  return n;
}
