// MsgBuf reads over arbitrary bytes: byte 0 is the number of operations, the next bytes choose
// them, the rest is the buffer. The cursor must stay within the length, a set error flag must
// stay set, and failed reads must hand out zeros.
#include <cstdint>
#include <cstring>

#include "base/fatal.h"
#include "base/mem.h"
#include "net/msgbuf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t ops = data[0] % 64;
  if (ops > size - 1) ops = size - 1;
  const uint8_t* script = data + 1;
  const uint8_t* bytes = script + ops;
  uint32_t length = (uint32_t)(size - 1 - ops);
  MsgBuf v;
  msgbuf_wrap(&v, bytes, length, length);
  for (size_t i = 0; i < ops; i++) {
    int32_t was_error = v.error;
    int32_t r = 1;
    uint32_t u32 = 1;
    switch (script[i] % 10) {
      case 0: {
        uint8_t x = 1;
        r = get_u8(&v, &x);
        u32 = x;
        break;
      }
      case 1: {
        uint16_t x = 1;
        r = get_u16(&v, &x);
        u32 = x;
        break;
      }
      case 2:
        r = get_u32(&v, &u32);
        break;
      case 3: {
        float x, y, z;
        r = get_vec3(&v, &x, &y, &z);
        u32 = r ? 0 : (uint32_t)(z != 0);  // earlier fields may have been read
        break;
      }
      case 4: {
        uint32_t a = 1, b = 1;
        r = get_u32_pair(&v, &a, &b);
        u32 = r ? 0 : b;
        break;
      }
      case 5: {
        char* text = nullptr;
        r = get_str(&v, &text, nullptr);
        if (r && (!text || strlen(text) > length)) fatal_exit("bad string");
        mem_free(text);
        u32 = 0;
        break;
      }
      case 6:
        msgbuf_seek(&v, script[i] * 3u);
        u32 = 0;
        break;
      case 7:
        msgbuf_rewind(&v);
        was_error = 0;
        u32 = 0;
        break;
      case 8: {
        int32_t x = 1;
        r = get_bool(&v, &x);
        if (x != 0 && x != 1) fatal_exit("bool out of range");
        u32 = x;
        break;
      }
      default:
        msgbuf_read_raw(&v, script[i]);
        u32 = 0;
        break;
    }
    if (v.cursor > v.length) fatal_exit("cursor past the length");
    if (was_error && !v.error) fatal_exit("error flag cleared by a read");
    if (!r && u32 != 0) fatal_exit("failed read handed out a value");
  }
  return 0;
}
