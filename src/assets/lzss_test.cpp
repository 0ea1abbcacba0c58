#include "assets/lzss.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/mem.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Turns "1 01000001 0..." into bytes, most significant bit first, zero-padded.
Bytes bits_to_bytes(const std::string& bits) {
  Bytes out;
  int n = 0;
  for (char c : bits) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= (uint8_t)(0x80 >> (n % 8));
    n++;
  }
  return out;
}

std::string literal(uint8_t byte) {
  std::string s = "1";
  for (int i = 7; i >= 0; i--) s += (byte >> i) & 1 ? '1' : '0';
  return s + " ";
}

std::string match(uint32_t position, uint32_t length_field) {
  std::string s = "0";
  for (int i = 10; i >= 0; i--) s += (position >> i) & 1 ? '1' : '0';
  for (int i = 3; i >= 0; i--) s += (length_field >> i) & 1 ? '1' : '0';
  return s + " ";
}

Bytes str(const char* s, size_t n) { return Bytes(s, s + n); }
Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

int decode(const Bytes& in, size_t capacity, Bytes* out) {
  out->assign(capacity, 0xEE);
  size_t produced = 0;
  int ok = lzss_decode(in.data(), in.size(), out->data(), capacity, &produced);
  out->resize(produced);
  return ok;
}

struct StreamSource {
  const Bytes* data;
  size_t at;
  size_t fail_after;  // bytes delivered before the source reports a read error
  size_t calls;
  size_t largest_request;
};

size_t stream_read(void* context, uint8_t* buffer, size_t want) {
  StreamSource* s = (StreamSource*)context;
  s->calls++;
  if (want > s->largest_request) s->largest_request = want;
  size_t can = s->data->size() - s->at;
  if (s->at + want > s->fail_after) want = s->fail_after > s->at ? s->fail_after - s->at : 0;
  if (want > can) want = can;
  memcpy(buffer, s->data->data() + s->at, want);
  s->at += want;
  return want;
}

// Bytes 0..n-1 as literals followed by one match token.
std::string literals_then_match(const Bytes& prefix, uint32_t position, uint32_t length_field) {
  std::string s;
  for (uint8_t b : prefix) s += literal(b);
  return s + match(position, length_field);
}

Bytes counting_bytes(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; i++) b[i] = (uint8_t)(i * 7 + 3);
  return b;
}

}  // namespace

TEST(Lzss, HandAssembledStreams) {
  Bytes twenty = counting_bytes(20);
  Bytes wrap_expected = twenty;
  // After 20 bytes, window 2047, 0, 1 hold output bytes 16, 17, 18.
  wrap_expected.insert(wrap_expected.end(), {twenty[16], twenty[17], twenty[18]});
  Bytes long_prefix = counting_bytes(2100);
  Bytes far_expected = long_prefix;
  // Position equal to the write position reaches back the full 2048 bytes.
  uint32_t r = (LZSS_START + 2100) % LZSS_WINDOW;
  for (int k = 0; k < 4; k++) far_expected.push_back(long_prefix[2100 - 2048 + k]);

  struct Case {
    const char* what;
    std::string bits;
    Bytes expected;
  } cases[] = {
      {"one literal, padding absorbed", literal('A'), str("A")},
      {"empty stream", "", Bytes()},
      {"match into the spaces, shortest length", match(0, 0), str("  ")},
      {"match into the zeros", match(2031, 1), Bytes(3, 0)},
      {"last zero then wrap to the spaces", match(2047, 1), str("\0  ", 3)},
      {"match reads back what it has just written", match(2029, 3), str("     ")},
      {"longest match, overlapping run", literal('A') + literal('B') + match(2031, 15),
       str("AB" + std::string("ABABABABABABABABA"))},
      {"window index wraps from 2047 to 0", literals_then_match(twenty, 2047, 1), wrap_expected},
      {"distance 2048 after the write position wrapped", literals_then_match(long_prefix, r, 2),
       far_expected},
      {"flag 0 with 14 bits left is padding", literal('x') + "0 00000000000 000", str("x")},
      {"flag 1 with 7 bits left is padding", literal('x') + "1 000000", str("x")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes in = bits_to_bytes(c.bits);
    Bytes out;
    EXPECT_EQ(decode(in, c.expected.size(), &out), 1);
    EXPECT_EQ(out, c.expected);
    // Exactly one byte too little room fails the whole decode.
    if (!c.expected.empty()) {
      EXPECT_EQ(decode(in, c.expected.size() - 1, &out), 0);
    }
    // More room than needed stops where the stream ends.
    EXPECT_EQ(decode(in, c.expected.size() + 100, &out), 1);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(Lzss, StreamInputAcrossChunksAndReadErrors) {
  // Literal-only stream of 20000 random bytes: 22500 input bytes, several 4 KiB chunks.
  std::mt19937 rng(7);
  Bytes plain(20000);
  for (auto& b : plain) b = (uint8_t)rng();
  std::string bits;
  for (uint8_t b : plain) bits += literal(b);
  Bytes stream = bits_to_bytes(bits);
  ASSERT_GT(stream.size(), 4 * LZSS_INPUT_CHUNK);

  Bytes out(plain.size());
  StreamSource source = {&stream, 0, SIZE_MAX, 0, 0};
  size_t produced = 0;
  EXPECT_EQ(lzss_decode_stream(stream_read, &source, stream.size(), out.data(), out.size(), &produced), 1);
  EXPECT_EQ(produced, plain.size());
  EXPECT_EQ(out, plain);
  EXPECT_LE(source.largest_request, LZSS_INPUT_CHUNK);
  EXPECT_EQ(source.at, stream.size()) << "reads exactly the stored size";

  // Only part of the stored size is given: the decoder never reads beyond it.
  source = {&stream, 0, SIZE_MAX, 0, 0};
  EXPECT_EQ(lzss_decode_stream(stream_read, &source, 9000, out.data(), out.size(), &produced), 1);
  EXPECT_EQ(source.at, 9000u);
  EXPECT_EQ(produced, 9000u * 8 / 9);

  // A source that stops delivering is a read error, not a short success.
  source = {&stream, 0, 10000, 0, 0};
  EXPECT_EQ(lzss_decode_stream(stream_read, &source, stream.size(), out.data(), out.size(), &produced), 0);
}

TEST(Lzss, EncoderRoundTrips) {
  std::mt19937 rng(11);
  auto random_bytes = [&](size_t n) {
    Bytes b(n);
    for (auto& x : b) x = (uint8_t)rng();
    return b;
  };
  std::string text;
  while (text.size() < 30000) text += "The quick brown fox jumps over the lazy dog. Ostrevane! ";
  Bytes mixed;
  for (int i = 0; i < 40; i++) {
    Bytes part = (i % 3 == 0)   ? random_bytes(700)
                 : (i % 3 == 1) ? str(text.substr(i * 13, 900))
                                : Bytes(500, (uint8_t)i);
    mixed.insert(mixed.end(), part.begin(), part.end());
  }
  struct Case {
    const char* what;
    Bytes plain;
  } cases[] = {
      {"empty", Bytes()},
      {"one byte", str("q")},
      {"all spaces", Bytes(5000, ' ')},
      {"all zeros", Bytes(5000, 0)},
      {"text", str(text)},
      {"random", random_bytes(10000)},
      {"random 4095", random_bytes(4095)},
      {"random 4096", random_bytes(4096)},
      {"random 4097", random_bytes(4097)},
      {"spaces 4096", Bytes(4096, ' ')},
      {"mixed", mixed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t packed_size = 0;
    uint8_t* packed = lzss_encode(c.plain.data(), c.plain.size(), &packed_size);
    EXPECT_LE(packed_size, (c.plain.size() * 9 + 7) / 8);
    Bytes in(packed, packed + packed_size);
    mem_free(packed);
    Bytes out;
    EXPECT_EQ(decode(in, c.plain.size(), &out), 1);
    EXPECT_EQ(out, c.plain);
    // The same stream through the chunked reader.
    StreamSource source = {&in, 0, SIZE_MAX, 0, 0};
    Bytes streamed(c.plain.size() + 1);
    size_t produced = 0;
    EXPECT_EQ(
        lzss_decode_stream(stream_read, &source, in.size(), streamed.data(), streamed.size(), &produced), 1);
    streamed.resize(produced);
    EXPECT_EQ(streamed, c.plain);
  }
}

TEST(Lzss, EncoderUsesThePrefilledWindow) {
  struct Case {
    const char* what;
    Bytes plain;
    size_t packed_size;
  } cases[] = {
      {"17 spaces are one match", Bytes(17, ' '), 2},
      {"17 zeros are one match", Bytes(17, 0), 2},
      {"34 spaces are two matches", Bytes(34, ' '), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t packed_size = 0;
    uint8_t* packed = lzss_encode(c.plain.data(), c.plain.size(), &packed_size);
    EXPECT_EQ(packed_size, c.packed_size);
    mem_free(packed);
  }
}

TEST(Lzss, MaxOutputBoundsEveryStream) {
  // Densest stream: all 16-bit matches of length 17; a trailing odd byte holds no token.
  for (size_t n : {0, 1, 2, 3, 9, 100, 101}) {
    Bytes in(n, 0x00);  // flag 0, position 0, length field 0 -> 2 bytes per token
    for (size_t i = 1; i < n; i += 2) in[i] = 0x0F;  // length field 15 -> 17 bytes
    Bytes out;
    size_t cap = (size_t)lzss_max_output(n);
    EXPECT_EQ(decode(in, cap, &out), 1) << n;
    EXPECT_EQ(out.size(), cap) << n;
  }
}
