#pragma once
// Message buffer: every network message field and binary asset field is written or read
// through MsgBuf and the put/get primitives below. All values are little-endian, packed, with
// no tags. A buffer either owns growable storage (outgoing frames; doubles as it fills) or is
// a read-only view over someone else's bytes that never grows.
//
// Failure is a sticky error flag: a read past the length, a write past a view's capacity, or
// a step of more than 32 bytes sets it; from then on every put and get does nothing and
// answers 0, and every value read is 0. A failed read leaves the cursor where it was. Only
// msgbuf_reset, msgbuf_wipe and msgbuf_rewind clear the flag. Owned storage never grows past
// 4 GiB - 1: such a write fails like a view's.
#include <cstddef>
#include <cstdint>

enum { MSGBUF_SCRATCH = 32, MSGBUF_INITIAL_CAPACITY = 32 };

struct MsgBuf {
  uint8_t scratch[MSGBUF_SCRATCH];  // one value's bytes; zeroed before each read
  uint32_t cursor;                  // next byte to read or write
  uint32_t length;                  // valid bytes
  int32_t error;                    // sticky
  int32_t owns_storage;             // 1 growable and owned, 0 view
  uint8_t* storage;
  uint32_t capacity;
};

// Allocator for strings read by get_str (null: mem_alloc).
typedef void* (*MsgAllocator)(size_t size);

MsgBuf* msgbuf_create(void);
// Read view over bytes: capacity 0 or capacity < length (or null bytes) gives an empty view.
MsgBuf* msgbuf_wrap(MsgBuf* view, const uint8_t* bytes, uint32_t capacity, uint32_t length);
void msgbuf_free(MsgBuf* buffer);
void msgbuf_reset(MsgBuf* buffer);
// Reset, then zero the owned storage (a view's bytes belong to someone else and stay).
void msgbuf_wipe(MsgBuf* buffer);
void msgbuf_rewind(MsgBuf* buffer);
// cursor := min(position, length); nothing on an empty buffer.
void msgbuf_seek(MsgBuf* buffer, uint32_t position);

void msgbuf_write_raw(MsgBuf* buffer, uint32_t count);
void msgbuf_read_raw(MsgBuf* buffer, uint32_t count);

int32_t put_bool(MsgBuf* buffer, int32_t value);
int32_t put_u8(MsgBuf* buffer, uint8_t value);
int32_t put_u16(MsgBuf* buffer, uint16_t value);
int32_t put_u32(MsgBuf* buffer, uint32_t value);
int32_t put_i32(MsgBuf* buffer, int32_t value);
// The text's bytes and one zero byte; null writes the zero byte only.
int32_t put_str(MsgBuf* buffer, const char* text);

int32_t get_bool(MsgBuf* buffer, int32_t* value);
int32_t get_u8(MsgBuf* buffer, uint8_t* value);
int32_t get_i8(MsgBuf* buffer, int8_t* value);
int32_t get_u16(MsgBuf* buffer, uint16_t* value);
int32_t get_i16(MsgBuf* buffer, int16_t* value);
int32_t get_u32(MsgBuf* buffer, uint32_t* value);
int32_t get_i32(MsgBuf* buffer, int32_t* value);
int32_t get_f32(MsgBuf* buffer, float* value);
int32_t get_u32_pair(MsgBuf* buffer, uint32_t* first, uint32_t* second);
int32_t get_vec3(MsgBuf* buffer, float* x, float* y, float* z);
// Zero-terminated text: allocates its bytes (with the zero) into *destination. Without a
// terminating zero before the end: 0, no allocation, *destination untouched.
int32_t get_str(MsgBuf* buffer, char** destination, MsgAllocator allocator);
