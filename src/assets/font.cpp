#include "assets/font.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/mem.h"

namespace {

uint32_t read_u32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
int32_t read_i32(const uint8_t* p) { return (int32_t)read_u32(p); }
float read_f32(const uint8_t* p) {
  uint32_t bits = read_u32(p);
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

// (a + b) x scale truncated toward zero, held in the 32-bit range whatever the fields say.
int32_t scaled_truncated(int64_t value, float scale) {
  double v = (double)value * (double)scale;
  if (v >= (double)INT32_MAX) return INT32_MAX;
  if (v <= (double)INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

void read_glyph(const uint8_t* p, Glyph* g) {
  g->code_point = read_u32(p);
  g->cell_x = read_i32(p + 4);
  g->cell_y = read_i32(p + 8);
  g->width = read_i32(p + 12);
  g->height = read_i32(p + 16);
  g->x_offset = read_i32(p + 20);
  g->y_offset = read_i32(p + 24);
  g->advance = read_i32(p + 28);
  for (int corner = 0; corner < 4; corner++) {
    g->uv[corner][0] = read_f32(p + 32 + corner * 8);
    g->uv[corner][1] = read_f32(p + 36 + corner * 8);
  }
}

}  // namespace

Font* font_decode(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < FONT_HEADER_SIZE) return nullptr;
  uint32_t count = read_u32(bytes + 20);
  if (count < 1 || count > FONT_MAX_GLYPHS) return nullptr;
  if ((uint64_t)length != FONT_HEADER_SIZE + (uint64_t)FONT_GLYPH_SIZE * count) return nullptr;

  Font* font = (Font*)mem_calloc(1, sizeof(Font));
  font->atlas = read_u32(bytes);
  font->space_advance = read_i32(bytes + 4);
  font->space_height = read_i32(bytes + 8);
  font->line_height = read_i32(bytes + 12);
  font->divisor = read_u32(bytes + 16);
  font->scale = 1.0f / (float)(font->divisor > 1 ? font->divisor : 1);

  // A stable sort: the key carries the file position below the code point.
  uint64_t* keys = (uint64_t*)mem_alloc(count * sizeof(uint64_t));
  for (uint32_t i = 0; i < count; i++)
    keys[i] = (uint64_t)read_u32(bytes + FONT_HEADER_SIZE + (size_t)i * FONT_GLYPH_SIZE) << 32 | i;
  std::sort(keys, keys + count);
  font->glyphs = (Glyph*)mem_alloc(count * sizeof(Glyph));
  font->glyph_count = count;
  for (uint32_t i = 0; i < count; i++)
    read_glyph(bytes + FONT_HEADER_SIZE + (size_t)(uint32_t)keys[i] * FONT_GLYPH_SIZE, &font->glyphs[i]);
  mem_free(keys);

  int32_t ascent = 0, descent = 0;
  for (uint32_t i = 0; i < count; i++) {
    const Glyph* g = &font->glyphs[i];
    ascent = std::max(ascent, scaled_truncated((int64_t)g->height + g->y_offset, font->scale));
    descent = std::min(descent, scaled_truncated(g->y_offset, font->scale));
    if (g->code_point < FONT_DIRECT_COUNT) font->direct[g->code_point] = g;
  }
  font->ascent = (float)ascent;
  font->descent = (float)descent;
  return font;
}

void font_destroy(Font* font) {
  if (!font) return;
  mem_free(font->glyphs);
  mem_free(font);
}

const Glyph* font_glyph(const Font* font, uint32_t code_point) {
  if (!font) return nullptr;
  if (code_point < FONT_DIRECT_COUNT) return font->direct[code_point];
  return font_glyph_search(font, code_point);
}

const Glyph* font_glyph_search(const Font* font, uint32_t code_point) {
  if (!font || !font->glyphs) return nullptr;
  // The last glyph whose code point is not above the one asked for.
  uint32_t low = 0, high = font->glyph_count;
  while (low < high) {
    uint32_t mid = low + (high - low) / 2;
    if (font->glyphs[mid].code_point <= code_point)
      low = mid + 1;
    else
      high = mid;
  }
  if (low == 0 || font->glyphs[low - 1].code_point != code_point) return nullptr;
  return &font->glyphs[low - 1];
}

void* font_decode_asset(const uint8_t* bytes, uint32_t length) { return font_decode(bytes, length); }
void font_destroy_asset(void* object) { font_destroy((Font*)object); }
