// UTF-8 decoding and encoding, and Text appends, inserts and conversions over arbitrary
// bytes: no crash, no read past the terminator, and every decoded code point re-encodes to
// the bytes it came from unless the input used an overlong form.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/text.h"
#include "base/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> s(data, data + size);
  s.push_back(0);
  const char* p = s.data();
  uint32_t c;
  while ((c = utf8_decode(&p)) != 0) {
    uint8_t out[4];
    int n = utf8_encode(c, out);
    // Four-byte leads reach up to 0x1FFFFF; only values up to 0x10FFFF can be encoded again.
    if (c <= 0x10FFFF ? (n < 1 || n > 4) : n != 0) abort();
  }
  if (p < s.data() || p > s.data() + size) abort();
  utf8_length(s.data());

  Text* t = text_create((uint32_t)(size % 7));
  text_append_utf8(t, s.data());
  text_append_ascii(t, s.data());
  text_insert_utf8(t, size ? data[0] % (t->count + 2) : 0, s.data());
  if (size > 1) text_remove_at(t, data[1]);
  if (size > 2) text_replace_utf8(t, s.data() + size / 2, s.data());
  text_trim_left(t);
  text_trim_right(t);
  char buffer[64];
  text_to_utf8(t, buffer, size % sizeof buffer);
  text_to_bytes(t, buffer, sizeof buffer);
  if (strlen(buffer) >= sizeof buffer) abort();
  uint32_t cps[16];
  text_copy_codepoints(t, cps, 16, size > 3 ? (int8_t)data[3] : 0, size > 4 ? (int8_t)data[4] : -1);
  text_destroy(t);
  return 0;
}
