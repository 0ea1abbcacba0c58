// The font decoder: which entries it refuses, the sorted glyph array and both look-ups, the
// scale and the ascent and descent (saturated for extreme fields).
#include "assets/font.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "support/font_testing.h"
#include "support/test_files.h"

namespace {

Font* decode(const std::vector<uint8_t>& bytes) { return font_decode(bytes.data(), (uint32_t)bytes.size()); }

const TestFontHeader HEADER = {7, 4, 8, 10, 1};

TEST(FontDecode, RefusesWrongSizesAndCounts) {
  std::vector<uint8_t> good = test_font_bytes(HEADER, {{'a', 5, 7, 0, 0, 6}});
  std::vector<uint8_t> longer = good, shorter = good, none = test_font_bytes(HEADER, {}), many = good;
  longer.push_back(0);
  shorter.pop_back();
  many[20] = 0x01, many[21] = 0x00, many[22] = 0x01, many[23] = 0;  // 65537 glyphs
  std::vector<uint8_t> header_only(good.begin(), good.begin() + 23);
  struct Case {
    const char* what;
    const std::vector<uint8_t>* bytes;
    bool accepted;
  } cases[] = {
      {"one glyph, exact size", &good, true}, {"one byte too long", &longer, false},
      {"one byte short", &shorter, false},    {"no glyphs", &none, false},
      {"65537 glyphs", &many, false},         {"shorter than the header", &header_only, false},
  };
  for (const Case& c : cases) {
    Font* f = decode(*c.bytes);
    EXPECT_EQ(f != nullptr, c.accepted) << c.what;
    font_destroy(f);
  }
  EXPECT_EQ(font_decode(nullptr, 100), nullptr);

  // The largest count is accepted when its bytes are all there.
  std::vector<TestGlyph> most(FONT_MAX_GLYPHS, TestGlyph{'x', 1, 1, 0, 0, 1});
  Font* f = decode(test_font_bytes(HEADER, most));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->glyph_count, FONT_MAX_GLYPHS);
  font_destroy(f);
}

TEST(FontDecode, HeaderFieldsAndScale) {
  struct Case {
    uint32_t divisor;
    float scale;
  } cases[] = {{0, 1.0f}, {1, 1.0f}, {2, 0.5f}, {4, 0.25f}};
  for (const Case& c : cases) {
    Font* f = decode(test_font_bytes({77, -3, 9, 12, c.divisor}, {{'A', 8, 10, 1, -2, 9}}));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->atlas, 77u);
    EXPECT_EQ(f->space_advance, -3);
    EXPECT_EQ(f->space_height, 9);
    EXPECT_EQ(f->line_height, 12);
    EXPECT_EQ(f->divisor, c.divisor);
    EXPECT_EQ(f->scale, c.scale) << c.divisor;
    // Ascent (10 - 2) x scale and descent -2 x scale, each truncated toward zero.
    EXPECT_EQ(f->ascent, (float)(int)(8 * c.scale)) << c.divisor;
    EXPECT_EQ(f->descent, (float)(int)(-2 * c.scale)) << c.divisor;
    const Glyph* g = font_glyph(f, 'A');
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->cell_x, 0);
    EXPECT_EQ(g->width, 8);
    EXPECT_EQ(g->height, 10);
    EXPECT_EQ(g->x_offset, 1);
    EXPECT_EQ(g->y_offset, -2);
    EXPECT_EQ(g->advance, 9);
    const float want_uv[4][2] = {{0, 0.25f}, {0.5f, 0.25f}, {0.5f, 0.75f}, {0, 0.75f}};
    for (int k = 0; k < 4; k++)
      for (int j = 0; j < 2; j++) EXPECT_EQ(g->uv[k][j], want_uv[k][j]);
    font_destroy(f);
  }
}

TEST(FontDecode, AscentAndDescent) {
  struct Case {
    const char* what;
    std::vector<TestGlyph> glyphs;
    uint32_t divisor;
    float ascent, descent;
  } cases[] = {
      {"all above the baseline: descent 0", {{'a', 5, 7, 0, 2, 6}, {'b', 5, 3, 0, 9, 6}}, 1, 12, 0},
      {"all below the baseline: ascent 0", {{'a', 5, 2, 0, -7, 6}}, 1, 0, -7},
      {"truncation toward zero", {{'a', 5, 7, 0, -3, 6}}, 2, 2, -1},
      {"extreme fields saturate",
       {{'a', 1, INT_MAX, 0, INT_MAX, 1}, {'b', 1, 0, 0, INT_MIN, 1}},
       1,
       (float)INT_MAX,
       (float)INT_MIN},
      {"a sum past 32 bits is not wrapped", {{'a', 1, INT_MAX, 0, 2, 1}}, 1, (float)INT_MAX, 0},
  };
  for (const Case& c : cases) {
    Font* f = decode(test_font_bytes({1, 4, 8, 10, c.divisor}, c.glyphs));
    ASSERT_NE(f, nullptr) << c.what;
    EXPECT_EQ(f->ascent, c.ascent) << c.what;
    EXPECT_EQ(f->descent, c.descent) << c.what;
    font_destroy(f);
  }
}

// Unsorted input with repeated code points, below and above 128: the array comes out sorted
// (unsigned order), equal code points keep their file order, and the direct table and the
// binary search both answer the last of equal code points.
TEST(FontDecode, SortedStablyAndBothLookupsAgree) {
  std::vector<TestGlyph> glyphs = {
      {0x20AC, 1, 1, 0, 0, 10}, {'b', 1, 1, 0, 0, 11},  {0xFFFFFFFFu, 1, 1, 0, 0, 12},
      {'a', 1, 1, 0, 0, 13},    {'b', 1, 1, 0, 0, 14},  {0x20AC, 1, 1, 0, 0, 15},
      {0x80, 1, 1, 0, 0, 16},   {0x7F, 1, 1, 0, 0, 17}, {0x20AC, 1, 1, 0, 0, 18},
      {0, 1, 1, 0, 0, 19},
  };
  Font* f = decode(test_font_bytes(HEADER, glyphs));
  ASSERT_NE(f, nullptr);
  std::vector<int32_t> advances;
  for (uint32_t i = 0; i < f->glyph_count; i++) {
    if (i > 0) {
      EXPECT_LE(f->glyphs[i - 1].code_point, f->glyphs[i].code_point);
    }
    advances.push_back(f->glyphs[i].advance);
  }
  EXPECT_EQ(advances, (std::vector<int32_t>{19, 13, 11, 14, 17, 16, 10, 15, 18, 12}));
  struct Look {
    uint32_t code_point;
    int32_t advance;  // 0: absent
  } looks[] = {{'b', 14},    {'a', 13},         {0x7F, 17}, {0, 19},   {0x80, 16},
               {0x20AC, 18}, {0xFFFFFFFFu, 12}, {'c', 0},   {0x81, 0}, {0x20AB, 0}};
  for (const Look& l : looks) {
    const Glyph* g = font_glyph(f, l.code_point);
    if (!l.advance) {
      EXPECT_EQ(g, nullptr) << std::hex << l.code_point;
      continue;
    }
    ASSERT_NE(g, nullptr) << std::hex << l.code_point;
    EXPECT_EQ(g->advance, l.advance) << std::hex << l.code_point;
    if (l.code_point < FONT_DIRECT_COUNT) {
      EXPECT_EQ(g, f->direct[l.code_point]);
    }
  }
  // The binary search agrees with the direct table at every code point below 128.
  for (uint32_t c = 0; c < FONT_DIRECT_COUNT; c++) EXPECT_EQ(font_glyph_search(f, c), f->direct[c]) << c;
  EXPECT_EQ(font_glyph(nullptr, 'a'), nullptr);
  font_destroy(f);
  font_destroy(nullptr);
}

// Through the real archive and loader: start-up installs the decoder, the loader writes the
// id, and an entry the decoder refuses is a failed load.
TEST(FontDecode, LoadedFromFontArchive) {
  std::vector<uint8_t> good = test_font_fixed_bytes(), bad = good;
  bad.push_back(0);
  TestTempDir temp("font_archive");
  ArchiveSource sources[2] = {{3, good.data(), good.size()}, {4, bad.data(), bad.size()}};
  size_t size = 0;
  uint8_t* image = archive_build(sources, 2, 1, &size, nullptr, 0);
  ASSERT_NE(image, nullptr);
  test_write_file(temp / "font.dat", std::string((const char*)image, size));
  mem_free(image);
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
  event_bus_start();
  assets_startup(temp.path.c_str());
  EXPECT_EQ(asset_decoder(ASSET_FONT).decode, font_decode_asset);
  AssetHandle h;
  asset_request_wait(&h, ASSET_FONT, 3);
  ASSERT_EQ(h.failed, 0);
  const Font* f = (const Font*)h.object;
  EXPECT_EQ(f->id, 3u);
  EXPECT_EQ(f->atlas, TEST_FONT_ATLAS);
  asset_request_wait(&h, ASSET_FONT, 4);
  EXPECT_EQ(h.failed, 1);
  EXPECT_EQ(h.object, nullptr);
  assets_shutdown();
  event_bus_stop();
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
}

}  // namespace
