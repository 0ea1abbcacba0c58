// Text and the UTF-8 helpers; UTF-8 encoding is checked for every code point against glibc's
// iconv, an encoder nobody here wrote.
#include "base/text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/utf8.h"

static std::vector<uint32_t> code_points(const Text* t) {
  return std::vector<uint32_t>(t->code_points, t->code_points + t->count);
}

TEST(Utf8, EncodeMatchesIconvForEveryScalarValue) {
  iconv_t cd = iconv_open("UTF-8", "UTF-32LE");
  ASSERT_NE(cd, (iconv_t)-1);
  for (uint32_t c = 1; c <= 0x10FFFF; c++) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // iconv refuses surrogates; we encode them plainly
    uint8_t ours[4];
    int n = utf8_encode(c, ours);
    char in[4];
    memcpy(in, &c, 4);
    char out[8];
    char* ip = in;
    char* op = out;
    size_t il = 4, ol = sizeof out;
    ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), (size_t)-1) << c;
    ASSERT_EQ((size_t)n, sizeof out - ol) << std::hex << c;
    ASSERT_EQ(memcmp(ours, out, (size_t)n), 0) << std::hex << c;
    // And decoding gives the value back, advancing over exactly n bytes.
    char z[5] = {};
    memcpy(z, ours, (size_t)n);
    const char* cursor = z;
    ASSERT_EQ(utf8_decode(&cursor), c);
    ASSERT_EQ(cursor, z + n);
  }
  iconv_close(cd);
  uint8_t b[4];
  EXPECT_EQ(utf8_encode(0x110000, b), 0);
  EXPECT_EQ(utf8_encode(0xD800, b), 3);
}

TEST(Utf8, DecodeStopsWithoutMovingOnInvalidInput) {
  struct Case {
    const char* bytes;
    uint32_t code_point;
    int advance;
  } cases[] = {
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xC3"
       "A",
       0, 0},                          // missing continuation
      {"\x80", 0, 0},                  // continuation byte first
      {"\xF8\x88\x80\x80\x80", 0, 0},  // five-byte lead
      {"\xE2\x82", 0, 0},              // terminator inside the sequence
      {"\xC0\x81", 0x01, 2},           // overlong forms are accepted
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    const char* cursor = c.bytes;
    EXPECT_EQ(utf8_decode(&cursor), c.code_point) << c.bytes;
    EXPECT_EQ(cursor - c.bytes, c.advance) << c.bytes;
  }
  EXPECT_EQ(utf8_length("a\xE2\x82\xAC"
                        "b\x80zz"),
            3u);
  EXPECT_EQ(utf8_sequence_length(0x7F), 1);
  EXPECT_EQ(utf8_sequence_length(0xBF), 0);
  EXPECT_EQ(utf8_sequence_length(0xDF), 2);
  EXPECT_EQ(utf8_sequence_length(0xEF), 3);
  EXPECT_EQ(utf8_sequence_length(0xF7), 4);
  EXPECT_EQ(utf8_sequence_length(0xF8), 0);
}

// The lenient step walks every byte: each fault costs exactly one byte and one U+FFFD, and
// what follows a fault is decoded as usual.
TEST(Utf8, LenientDecodeReplacesOneByteAndGoesOn) {
  const uint32_t R = UTF8_REPLACEMENT;
  struct Case {
    const char* bytes;
    std::vector<uint32_t> code_points;
  } cases[] = {
      {"a\xE2\x82\xAC"
       "b",
       {'a', 0x20AC, 'b'}},
      {"\xC3"
       "A",
       {R, 'A'}},  // missing continuation
      {"\x80\xBF"
       "z",
       {R, R, 'z'}},                              // stray continuation bytes
      {"\xF8\x88\x80\x80\x80", {R, R, R, R, R}},  // five-byte lead, then its tail
      {"x\xE2\x82", {'x', R, R}},                 // truncated by the terminator
      {"\xC0\x80"
       "q",
       {R, R, 'q'}},         // an overlong zero is no terminator
      {"\xC0\x81", {0x01}},  // other overlong forms decode
      {"\xF4\x8F\xBF\xBF", {0x10FFFF}},
      {"", {}},
  };
  for (const Case& c : cases) {
    const char* cursor = c.bytes;
    std::vector<uint32_t> got;
    for (uint32_t cp; (cp = utf8_decode_lenient(&cursor)) != 0;) got.push_back(cp);
    EXPECT_EQ(got, c.code_points) << c.bytes;
    EXPECT_EQ(cursor, c.bytes + strlen(c.bytes)) << "stops only at the terminator: " << c.bytes;
    EXPECT_EQ(utf8_decode_lenient(&cursor), 0u);
    EXPECT_EQ(*cursor, 0);
  }
  const char* null_cursor = nullptr;
  EXPECT_EQ(utf8_decode_lenient(&null_cursor), 0u);
  EXPECT_EQ(utf8_decode_lenient(nullptr), 0u);
}

TEST(Text, GrowthRuleAndAppends) {
  Text* t = text_create(0);
  EXPECT_EQ(t->capacity, 1u);
  EXPECT_EQ(text_append_utf8(t, "ab"), 2u);
  EXPECT_EQ(t->capacity, 4u);  // 2 x 0 + 2 x 2
  EXPECT_EQ(text_append_int(t, -5), 4u);
  EXPECT_EQ(text_append_uint(t, 4000000000u), 14u);
  EXPECT_EQ(text_append_char(t, 0x1E9), 15u);  // low byte only
  EXPECT_EQ(text_append_char(t, 0), 15u);
  text_append_codepoint(t, 0x1F600);
  text_append_codepoint(t, 0);
  EXPECT_EQ(text_append_ascii(t, "\xE9"), 17u);
  std::vector<uint32_t> expected = {'a', 'b', '-', '5', '4', '0',  '0',     '0', '0',
                                    '0', '0', '0', '0', '0', 0xE9, 0x1F600, 0xE9};
  EXPECT_EQ(code_points(t), expected);
  text_destroy(t);
}

TEST(Text, InsertRemoveReplaceTrim) {
  Text* t = text_create(4);
  text_append_utf8(t, "  h\xC3\xA9llo \t\n");
  text_trim_left(t);
  text_trim_right(t);
  char out[32];
  EXPECT_STREQ(text_to_utf8(t, out, sizeof out), "h\xC3\xA9llo");
  text_insert_codepoint(t, 0, 'X');
  text_insert_codepoint(t, 99, 'Y');  // beyond count: nothing
  text_insert_utf8(t, t->count, "!");
  EXPECT_STREQ(text_to_utf8(t, out, sizeof out), "Xh\xC3\xA9llo!");
  EXPECT_EQ(text_remove_at(t, 0), 1);
  EXPECT_EQ(text_remove_at(t, t->count), 0);
  EXPECT_EQ(text_replace_utf8(t, "ll", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"), 1);
  EXPECT_STREQ(text_to_utf8(t, out, sizeof out),
               "h\xC3\xA9\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
               "o!");
  EXPECT_EQ(text_replace_utf8(t, "", "x"), 0);
  EXPECT_EQ(text_replace_utf8(t, "absent", "x"), 0);
  EXPECT_EQ(text_replace_utf8(t, "a much longer text than it holds", "x"), 0);
  text_destroy(t);
}

TEST(Text, ConversionsRespectTheDestinationSize) {
  Text* t = text_create(0);
  text_append_utf8(t, "a\xE2\x82\xAC");
  char out[8];
  EXPECT_STREQ(text_to_utf8(t, out, 4), "a");  // the euro sign needs 3 more bytes + terminator
  EXPECT_STREQ(text_to_utf8(t, out, 5), "a\xE2\x82\xAC");
  EXPECT_EQ(text_to_utf8(t, out, 0), nullptr);
  EXPECT_EQ(text_to_utf8(t, nullptr, 4), nullptr);
  EXPECT_STREQ(text_to_bytes(t, out, 2), "a");
  EXPECT_STREQ(text_to_bytes(t, out, 8), "a\xAC");  // low byte of U+20AC
  EXPECT_STREQ(text_to_bytes(nullptr, out, 8), "");
  EXPECT_EQ(text_to_bytes(t, out, 0), nullptr);
  text_append_codepoint(t, 0x110000);  // cannot be encoded: skipped
  text_append_utf8(t, "z");
  EXPECT_STREQ(text_to_utf8(t, out, 8), "a\xE2\x82\xACz");

  uint32_t cps[8];
  struct Case {
    int first, last;
    uint32_t capacity, count;
  } cases[] = {{0, 99, 8, 4}, {-5, 1, 8, 2}, {2, 1, 8, 1}, {0, 3, 2, 2}, {99, 99, 8, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(text_copy_codepoints(t, cps, c.capacity, c.first, c.last), c.count)
        << c.first << ".." << c.last;
  text_wipe(t);
  EXPECT_EQ(t->count, 0u);
  EXPECT_EQ(text_copy_codepoints(t, cps, 8, 0, 5), 0u);
  text_destroy(t);
  EXPECT_EQ(text_append_utf8(nullptr, "x"), 0u);
}
