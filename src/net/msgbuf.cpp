#include "net/msgbuf.h"

#include <cstring>

#include "base/mem.h"

MsgBuf* msgbuf_create(void) {
  MsgBuf* b = (MsgBuf*)mem_calloc(1, sizeof(MsgBuf));
  b->owns_storage = 1;
  b->storage = (uint8_t*)mem_alloc(MSGBUF_INITIAL_CAPACITY);
  b->capacity = MSGBUF_INITIAL_CAPACITY;
  return b;
}

MsgBuf* msgbuf_wrap(MsgBuf* view, const uint8_t* bytes, uint32_t capacity, uint32_t length) {
  if (!view) return nullptr;
  memset(view, 0, sizeof *view);
  if (capacity == 0 || capacity < length || !bytes) return view;
  // A view is never written through: storage is only non-const for owned buffers.
  view->storage = (uint8_t*)bytes;
  view->capacity = capacity;
  view->length = length;
  return view;
}

void msgbuf_free(MsgBuf* buffer) {
  if (!buffer) return;
  if (buffer->owns_storage) mem_free(buffer->storage);
  mem_free(buffer);
}

void msgbuf_reset(MsgBuf* buffer) {
  if (!buffer) return;
  buffer->cursor = 0;
  buffer->length = 0;
  buffer->error = 0;
}

void msgbuf_wipe(MsgBuf* buffer) {
  if (!buffer) return;
  msgbuf_reset(buffer);
  if (buffer->storage && buffer->owns_storage) {
    volatile uint8_t* p = buffer->storage;
    for (uint32_t i = 0; i < buffer->capacity; i++) p[i] = 0;
  }
}

void msgbuf_rewind(MsgBuf* buffer) {
  if (!buffer) return;
  buffer->cursor = 0;
  buffer->error = 0;
}

void msgbuf_seek(MsgBuf* buffer, uint32_t position) {
  if (!buffer || buffer->length == 0) return;
  buffer->cursor = position < buffer->length ? position : buffer->length;
}

void msgbuf_write_raw(MsgBuf* b, uint32_t count) {
  if (!b || b->error || !b->storage || b->capacity == 0) return;
  if (count > MSGBUF_SCRATCH) {
    b->error = 1;
    return;
  }
  if ((uint64_t)b->length + count > b->capacity) {
    uint64_t grown = 2 * ((uint64_t)b->length + count);
    if (!b->owns_storage || grown > UINT32_MAX) {
      b->error = 1;
      return;
    }
    b->storage = (uint8_t*)mem_realloc(b->storage, (size_t)grown);
    b->capacity = (uint32_t)grown;
  }
  memcpy(b->storage + b->cursor, b->scratch, count);
  b->cursor += count;
  if (b->cursor > b->length) b->length = b->cursor;
}

void msgbuf_read_raw(MsgBuf* b, uint32_t count) {
  if (!b || b->error || !b->storage || b->capacity == 0) return;
  // The count is checked before the scratch is touched: it holds 32 bytes only.
  if (count > MSGBUF_SCRATCH) {
    b->error = 1;
    return;
  }
  memset(b->scratch, 0, count);
  if ((uint64_t)b->cursor + count > b->length) {
    b->error = 1;
    return;
  }
  memcpy(b->scratch, b->storage + b->cursor, count);
  b->cursor += count;
}

static inline int32_t ok(const MsgBuf* b) { return b && !b->error ? 1 : 0; }

// Values go through the scratch so that a failed read hands out zeros. A buffer without
// storage never reaches msgbuf_read_raw's zeroing, so the scratch is cleared for it here.
static inline int32_t read_value(MsgBuf* b, uint32_t count) {
  if (!b) return 0;
  if (b->error || !b->storage) {
    memset(b->scratch, 0, count);
    if (!b->storage) b->error = 1;
    return 0;
  }
  msgbuf_read_raw(b, count);
  return ok(b);
}

static inline uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

int32_t put_u8(MsgBuf* b, uint8_t value) {
  if (!b) return 0;
  b->scratch[0] = value;
  msgbuf_write_raw(b, 1);
  return ok(b);
}

int32_t put_bool(MsgBuf* b, int32_t value) { return put_u8(b, value ? 1 : 0); }

int32_t put_u16(MsgBuf* b, uint16_t value) {
  if (!b) return 0;
  b->scratch[0] = (uint8_t)value;
  b->scratch[1] = (uint8_t)(value >> 8);
  msgbuf_write_raw(b, 2);
  return ok(b);
}

int32_t put_u32(MsgBuf* b, uint32_t value) {
  if (!b) return 0;
  b->scratch[0] = (uint8_t)value;
  b->scratch[1] = (uint8_t)(value >> 8);
  b->scratch[2] = (uint8_t)(value >> 16);
  b->scratch[3] = (uint8_t)(value >> 24);
  msgbuf_write_raw(b, 4);
  return ok(b);
}

int32_t put_i32(MsgBuf* b, int32_t value) { return put_u32(b, (uint32_t)value); }

int32_t put_str(MsgBuf* b, const char* text) {
  if (text)
    for (const char* p = text; *p; p++)
      if (!put_u8(b, (uint8_t)*p)) return 0;
  return put_u8(b, 0);
}

int32_t get_u8(MsgBuf* b, uint8_t* value) {
  int32_t r = read_value(b, 1);
  if (value) *value = b ? b->scratch[0] : 0;
  return r;
}

int32_t get_bool(MsgBuf* b, int32_t* value) {
  uint8_t byte = 0;
  int32_t r = get_u8(b, &byte);
  if (value) *value = byte ? 1 : 0;
  return r;
}

int32_t get_i8(MsgBuf* b, int8_t* value) {
  uint8_t byte = 0;
  int32_t r = get_u8(b, &byte);
  if (value) *value = (int8_t)byte;
  return r;
}

int32_t get_u16(MsgBuf* b, uint16_t* value) {
  int32_t r = read_value(b, 2);
  if (value) *value = b ? (uint16_t)(b->scratch[0] | b->scratch[1] << 8) : 0;
  return r;
}

int32_t get_i16(MsgBuf* b, int16_t* value) {
  uint16_t v = 0;
  int32_t r = get_u16(b, &v);
  if (value) *value = (int16_t)v;
  return r;
}

int32_t get_u32(MsgBuf* b, uint32_t* value) {
  int32_t r = read_value(b, 4);
  if (value) *value = b ? le32(b->scratch) : 0;
  return r;
}

int32_t get_i32(MsgBuf* b, int32_t* value) {
  uint32_t v = 0;
  int32_t r = get_u32(b, &v);
  if (value) *value = (int32_t)v;
  return r;
}

int32_t get_f32(MsgBuf* b, float* value) {
  uint32_t v = 0;
  int32_t r = get_u32(b, &v);
  if (value) memcpy(value, &v, 4);
  return r;
}

int32_t get_u32_pair(MsgBuf* b, uint32_t* first, uint32_t* second) {
  get_u32(b, first);
  return get_u32(b, second);
}

int32_t get_vec3(MsgBuf* b, float* x, float* y, float* z) {
  get_f32(b, x);
  get_f32(b, y);
  return get_f32(b, z);
}

int32_t get_str(MsgBuf* b, char** destination, MsgAllocator allocator) {
  if (!b || !destination || b->error || !b->storage) return 0;
  uint32_t start = b->cursor;
  // The terminating zero is found in place: no byte is copied until the text is known whole.
  const uint8_t* from = b->storage + start;
  const uint8_t* zero = (const uint8_t*)memchr(from, 0, b->length - start);
  if (!zero) {
    b->cursor = b->length;  // the reads ran to the end before failing
    msgbuf_read_raw(b, 1);  // sets the flag; the cursor stays at the end
    return 0;
  }
  uint32_t count = (uint32_t)(zero - from) + 1;
  char* text = (char*)(allocator ? allocator(count) : mem_alloc(count));
  if (!text) return 0;
  memcpy(text, from, count);
  text[count - 1] = 0;
  *destination = text;
  b->cursor = start + count;
  return ok(b);
}
