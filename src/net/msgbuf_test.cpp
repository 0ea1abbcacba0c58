#include "net/msgbuf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/mem.h"

TEST(MsgBuf, WritesLittleEndianWithoutPaddingAndReadsBack) {
  MsgBuf* b = msgbuf_create();
  EXPECT_TRUE(put_bool(b, 5));
  EXPECT_TRUE(put_u8(b, 0xAB));
  EXPECT_TRUE(put_u16(b, 0x1234));
  EXPECT_TRUE(put_u32(b, 0xDEADBEEF));
  EXPECT_TRUE(put_i32(b, -2));
  EXPECT_TRUE(put_str(b, "hi"));
  EXPECT_TRUE(put_str(b, nullptr));
  const uint8_t expected[] = {1,    0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE,
                              0xFE, 0xFF, 0xFF, 0xFF, 'h',  'i',  0,    0};
  ASSERT_EQ(b->length, sizeof expected);
  EXPECT_EQ(memcmp(b->storage, expected, sizeof expected), 0);

  msgbuf_rewind(b);
  int32_t flag;
  uint8_t u8;
  uint16_t u16;
  uint32_t u32;
  int32_t i32;
  char* text = nullptr;
  EXPECT_TRUE(get_bool(b, &flag));
  EXPECT_TRUE(get_u8(b, &u8));
  EXPECT_TRUE(get_u16(b, &u16));
  EXPECT_TRUE(get_u32(b, &u32));
  EXPECT_TRUE(get_i32(b, &i32));
  EXPECT_TRUE(get_str(b, &text, nullptr));
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(u8, 0xAB);
  EXPECT_EQ(u16, 0x1234);
  EXPECT_EQ(u32, 0xDEADBEEFu);
  EXPECT_EQ(i32, -2);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "hi");
  mem_free(text);
  msgbuf_free(b);
}

TEST(MsgBuf, SignedFloatAndCompoundReads) {
  const uint8_t bytes[] = {0x7F, 0x80, 0xFE, 0xFF, 0x00, 0x00, 0x80, 0x3F, 1,    0,    0, 0, 2,    0,
                           0,    0,    0,    0,    0,    0,    0,    0,    0x20, 0x41, 0, 0, 0xC0, 0xBF};
  MsgBuf v;
  msgbuf_wrap(&v, bytes, sizeof bytes, sizeof bytes);
  int32_t flag;
  int8_t i8;
  int16_t i16;
  float f;
  uint32_t a, b;
  float x, y, z;
  get_bool(&v, &flag);
  get_i8(&v, &i8);
  get_i16(&v, &i16);
  get_f32(&v, &f);
  get_u32_pair(&v, &a, &b);
  EXPECT_TRUE(get_vec3(&v, &x, &y, &z));
  EXPECT_EQ(flag, 1);  // any non-zero byte is true
  EXPECT_EQ(i8, -128);
  EXPECT_EQ(i16, -2);
  EXPECT_EQ(f, 1.0f);
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 2u);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 10.0f);
  EXPECT_EQ(z, -1.5f);
  EXPECT_EQ(v.cursor, v.length);
}

TEST(MsgBuf, FailedReadIsStickyGivesZeroAndKeepsCursor) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  MsgBuf v;
  msgbuf_wrap(&v, bytes, 5, 5);
  uint16_t u16;
  ASSERT_TRUE(get_u16(&v, &u16));
  uint32_t u32 = 99;
  EXPECT_FALSE(get_u32(&v, &u32));  // 3 bytes left
  EXPECT_EQ(u32, 0u);
  EXPECT_EQ(v.cursor, 2u);
  EXPECT_EQ(v.error, 1);
  uint8_t u8 = 99;
  EXPECT_FALSE(get_u8(&v, &u8));  // even one byte now fails
  EXPECT_EQ(u8, 0);
  EXPECT_FALSE(put_u8(&v, 1));
  msgbuf_rewind(&v);
  EXPECT_TRUE(get_u8(&v, &u8));
  EXPECT_EQ(u8, 1);
}

TEST(MsgBuf, StringWithoutTerminatorLeavesDestination) {
  const uint8_t bytes[] = {'a', 'b', 'c'};
  MsgBuf v;
  msgbuf_wrap(&v, bytes, 3, 3);
  char sentinel = 0;
  char* text = &sentinel;
  EXPECT_FALSE(get_str(&v, &text, nullptr));
  EXPECT_EQ(text, &sentinel);
  EXPECT_EQ(v.error, 1);
  // An empty text is one zero byte, returned as "".
  const uint8_t empty[] = {0, 'x'};
  msgbuf_wrap(&v, empty, 2, 2);
  ASSERT_TRUE(get_str(&v, &text, nullptr));
  EXPECT_STREQ(text, "");
  EXPECT_EQ(v.cursor, 1u);
  mem_free(text);
}

static size_t g_allocated;
static void* counting_alloc(size_t size) {
  g_allocated += size;
  return mem_alloc(size);
}

TEST(MsgBuf, StringUsesGivenAllocator) {
  const uint8_t bytes[] = {'o', 'k', 0};
  MsgBuf v;
  msgbuf_wrap(&v, bytes, 3, 3);
  char* text = nullptr;
  g_allocated = 0;
  ASSERT_TRUE(get_str(&v, &text, counting_alloc));
  EXPECT_EQ(g_allocated, 3u);
  EXPECT_STREQ(text, "ok");
  mem_free(text);
}

TEST(MsgBuf, OwnedStorageGrowsByDoublingViewsNever) {
  MsgBuf* b = msgbuf_create();
  EXPECT_EQ(b->capacity, 32u);
  for (int i = 0; i < 40; i++) {
    ASSERT_TRUE(put_u8(b, (uint8_t)i));
    if (i == 31) {
      EXPECT_EQ(b->capacity, 32u);
    }
    if (i == 32) {
      EXPECT_EQ(b->capacity, 66u);  // 2 x (32 + 1)
    }
  }
  EXPECT_EQ(b->length, 40u);
  msgbuf_free(b);

  uint8_t store[4] = {};
  MsgBuf v;
  msgbuf_wrap(&v, store, 4, 0);  // room for 4 bytes, none written yet
  EXPECT_TRUE(put_u16(&v, 7));
  EXPECT_FALSE(put_u32(&v, 7));  // would pass the view's end
  EXPECT_EQ(v.capacity, 4u);
  EXPECT_EQ(v.cursor, 2u);
}

TEST(MsgBuf, WrapRules) {
  const uint8_t bytes[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  struct Case {
    const uint8_t* bytes;
    uint32_t capacity, length, want_length;
    bool has_storage;
  } cases[] = {
      {bytes, 8, 8, 8, true},     // usual read view
      {bytes, 8, 3, 3, true},     // capacity above length: reads stop at the length
      {bytes, 0, 0, 0, false},    // no storage
      {bytes, 2, 8, 0, false},    // capacity below length: empty view
      {nullptr, 8, 8, 0, false},  // no bytes
  };
  for (const Case& c : cases) {
    MsgBuf v;
    v.error = 5;
    ASSERT_EQ(msgbuf_wrap(&v, c.bytes, c.capacity, c.length), &v);
    EXPECT_EQ(v.length, c.want_length);
    EXPECT_EQ(v.storage != nullptr, c.has_storage);
    EXPECT_EQ(v.error, 0);
    uint8_t u8 = 1;
    // The first read of an empty view fails.
    EXPECT_EQ(get_u8(&v, &u8), c.want_length > 0 ? 1 : 0);
    if (c.want_length == 0) {
      EXPECT_EQ(v.error, 1);
    }
  }
}

TEST(MsgBuf, SeekResetWipe) {
  MsgBuf* b = msgbuf_create();
  msgbuf_seek(b, 5);  // empty: nothing
  EXPECT_EQ(b->cursor, 0u);
  put_u32(b, 0x01020304);
  msgbuf_seek(b, 100);
  EXPECT_EQ(b->cursor, 4u);
  msgbuf_seek(b, 1);
  uint8_t u8;
  get_u8(b, &u8);
  EXPECT_EQ(u8, 0x03);
  msgbuf_reset(b);
  EXPECT_EQ(b->length, 0u);
  EXPECT_EQ(b->storage[0], 0x04);  // reset keeps the bytes
  put_u8(b, 1);
  msgbuf_wipe(b);
  for (uint32_t i = 0; i < b->capacity; i++) ASSERT_EQ(b->storage[i], 0);
  msgbuf_free(b);
}

// A raw step wider than the scratch fails before the scratch is touched.
TEST(MsgBuf, RawStepsOverScratchSizeFail) {
  std::vector<uint8_t> bytes(100, 1);
  MsgBuf v;
  msgbuf_wrap(&v, bytes.data(), 100, 100);
  uint8_t guard_before[sizeof v.scratch];
  memcpy(guard_before, v.scratch, sizeof v.scratch);
  msgbuf_read_raw(&v, 33);
  EXPECT_EQ(v.error, 1);
  EXPECT_EQ(v.cursor, 0u);
  msgbuf_read_raw(&v, 1u << 20);  // flag already set: still nothing happens
  MsgBuf* b = msgbuf_create();
  msgbuf_write_raw(b, 33);
  EXPECT_EQ(b->error, 1);
  EXPECT_EQ(b->length, 0u);
  msgbuf_free(b);
}

TEST(MsgBuf, NullBufferIsHarmless) {
  uint32_t u32 = 5;
  EXPECT_FALSE(get_u32(nullptr, &u32));
  EXPECT_FALSE(put_u32(nullptr, 1));
  char* text = nullptr;
  EXPECT_FALSE(get_str(nullptr, &text, nullptr));
  msgbuf_free(nullptr);
  msgbuf_seek(nullptr, 1);
}
