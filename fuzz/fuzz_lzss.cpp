// Raw LZSS decoding of arbitrary streams into an output of arbitrary capacity (the first two
// bytes choose it), from memory and through the chunked stream reader; both must agree.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assets/lzss.h"
#include "base/mem.h"

namespace {
struct Source {
  const uint8_t* data;
  size_t at;
};
size_t read_source(void* context, uint8_t* buffer, size_t want) {
  Source* s = (Source*)context;
  memcpy(buffer, s->data + s->at, want);
  s->at += want;
  return want;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t capacity = (size_t)data[0] << 8 | data[1];
  data += 2;
  size -= 2;
  uint8_t* a = (uint8_t*)mem_alloc(capacity + 1);
  uint8_t* b = (uint8_t*)mem_alloc(capacity + 1);
  size_t produced_a = 0, produced_b = 0;
  int ok_a = lzss_decode(data, size, a, capacity, &produced_a);
  Source source = {data, 0};
  int ok_b = lzss_decode_stream(read_source, &source, size, b, capacity, &produced_b);
  if (ok_a != ok_b || produced_a != produced_b || memcmp(a, b, produced_a) != 0) abort();
  if (produced_a > capacity || produced_a > lzss_max_output(size)) abort();
  mem_free(a);
  mem_free(b);
  return 0;
}
