#pragma once
// Bitmap fonts whose glyphs live in a texture atlas (the objects of font assets).
//
// A font entry is little-endian: atlas texture id (u32), space advance, space height, line
// height (i32 each), scale divisor (u32), glyph count G (u32), then G glyph records of 64
// bytes: code point (u32); cell x, cell y, width, height, x offset, y offset, advance (i32
// each); the texture coordinates of the glyph's corners as four (u, v) float pairs.
//
// font_decode accepts exactly 24 + 64 x G bytes with G in 1..65536 and nothing else. Glyphs
// are sorted by code point with a stable sort, so among glyphs that share a code point the
// one stored last wins, both in the direct table of code points below 128 and in the binary
// search above it. Ascent and descent are the highest glyph top and the lowest glyph bottom,
// scaled and truncated, computed in 64 bits and saturated to the 32-bit range, so no field
// value can overflow them. The decoder is a pure function over the bytes (any thread).
#include <cstdint>

enum : uint32_t {
  FONT_HEADER_SIZE = 24,
  FONT_GLYPH_SIZE = 64,
  FONT_MAX_GLYPHS = 65536,
  FONT_DIRECT_COUNT = 128
};

// Corner order of the texture coordinates, as the font tool writes them.
enum : int { GLYPH_BOTTOM_LEFT = 0, GLYPH_BOTTOM_RIGHT = 1, GLYPH_TOP_RIGHT = 2, GLYPH_TOP_LEFT = 3 };

struct Glyph {
  uint32_t code_point;
  int32_t cell_x, cell_y;  // carried, never read
  int32_t width, height;
  int32_t x_offset, y_offset;  // from the pen to the bitmap's bottom-left corner
  int32_t advance;
  float uv[4][2];
};
static_assert(sizeof(Glyph) == FONT_GLYPH_SIZE, "the glyph record is the file's");

struct Font {
  uint32_t id;  // written by the loader
  uint32_t atlas;
  int32_t space_advance;
  int32_t space_height;
  float ascent;
  float descent;
  uint32_t divisor;
  float scale;  // 1 / max(1, divisor)
  int32_t line_height;
  Glyph* glyphs;  // sorted by code point
  uint32_t glyph_count;
  const Glyph* direct[FONT_DIRECT_COUNT];  // code points below 128; null where absent
};

// Null on any rejection.
Font* font_decode(const uint8_t* bytes, uint32_t length);
void font_destroy(Font* font);
// The glyph of a code point, or null when the font has none (or either argument is null).
const Glyph* font_glyph(const Font* font, uint32_t code_point);
// The binary search on its own, below 128 too (it answers as the direct table does).
const Glyph* font_glyph_search(const Font* font, uint32_t code_point);

// The same two in the shape of the asset cache's decoder table.
void* font_decode_asset(const uint8_t* bytes, uint32_t length);
void font_destroy_asset(void* object);
