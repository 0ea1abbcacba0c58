#pragma once
// Font entries for tests, benchmarks and fuzz seeds (header-only): the bytes of a font entry
// built from glyph rows, and a small fixed font whose metrics make layout easy to follow.
#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/font.h"

struct TestGlyph {
  uint32_t code_point;
  int32_t width, height, x_offset, y_offset, advance;
};

struct TestFontHeader {
  uint32_t atlas;
  int32_t space_advance, space_height, line_height;
  uint32_t divisor;
};

inline void test_put_u32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}
inline void test_put_f32(std::vector<uint8_t>* out, float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  test_put_u32(out, bits);
}

// Glyph i's texture rectangle is (i, i + 0.25) .. (i + 0.5, i + 0.75), corners bottom-left,
// bottom-right, top-right, top-left, so each glyph's coordinates are recognisable; its cell
// is (i, -i).
inline std::vector<uint8_t> test_font_bytes(const TestFontHeader& h, const std::vector<TestGlyph>& glyphs) {
  std::vector<uint8_t> out;
  test_put_u32(&out, h.atlas);
  test_put_u32(&out, (uint32_t)h.space_advance);
  test_put_u32(&out, (uint32_t)h.space_height);
  test_put_u32(&out, (uint32_t)h.line_height);
  test_put_u32(&out, h.divisor);
  test_put_u32(&out, (uint32_t)glyphs.size());
  for (size_t i = 0; i < glyphs.size(); i++) {
    const TestGlyph& g = glyphs[i];
    const int32_t fields[8] = {
        (int32_t)g.code_point, (int32_t)i, -(int32_t)i, g.width, g.height, g.x_offset, g.y_offset, g.advance};
    for (int32_t f : fields) test_put_u32(&out, (uint32_t)f);
    float l = (float)i, b = (float)i + 0.25f, r = (float)i + 0.5f, t = (float)i + 0.75f;
    const float uv[8] = {l, b, r, b, r, t, l, t};
    for (float f : uv) test_put_f32(&out, f);
  }
  return out;
}

// The fixed font: atlas 900, space advance 4, space height 8, line height 10, divisor 1.
// Letters, digits and '.' advance 6 (bitmap 5 x 7 on the baseline); 'g', 'p' and 'y' reach 2
// below it (5 x 9, y offset -2); 'W' advances 9 and '!' 3; U+00E9 and U+20AC advance 7; 'i'
// has a negative advance (-2), which layout and drawing count as 0; '|' (advance 4) reaches 12
// above the baseline and 1 below, taller than a line.
enum : uint32_t { TEST_FONT_ATLAS = 900 };
inline std::vector<TestGlyph> test_font_glyphs(void) {
  std::vector<TestGlyph> g;
  auto add = [&](uint32_t c, int32_t w, int32_t h, int32_t yo, int32_t adv) {
    g.push_back({c, w, h, 0, yo, adv});
  };
  for (uint32_t c = 'a'; c <= 'z'; c++) {
    if (c == 'g' || c == 'p' || c == 'y')
      add(c, 5, 9, -2, 6);
    else if (c == 'i')
      add(c, 2, 7, 0, -2);
    else
      add(c, 5, 7, 0, 6);
  }
  for (uint32_t c = 'A'; c <= 'Z'; c++) add(c, c == 'W' ? 8 : 5, 7, 0, c == 'W' ? 9 : 6);
  for (uint32_t c = '0'; c <= '9'; c++) add(c, 5, 7, 0, 6);
  add('.', 2, 2, 0, 6);
  add('!', 2, 7, 0, 3);
  add('|', 1, 13, -1, 4);
  add(0xE9, 5, 9, 0, 7);
  add(0x20AC, 6, 7, 0, 7);
  return g;
}
inline std::vector<uint8_t> test_font_fixed_bytes(void) {
  return test_font_bytes({TEST_FONT_ATLAS, 4, 8, 10, 1}, test_font_glyphs());
}
inline Font* test_font_fixed(void) {
  std::vector<uint8_t> bytes = test_font_fixed_bytes();
  return font_decode(bytes.data(), (uint32_t)bytes.size());
}
