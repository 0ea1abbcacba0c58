// fontbuild: rasterises a face with FreeType into a font entry and its glyph atlas.
//
//   fontbuild OUT.font OUT.tga FACE.ttf SIZE ATLAS_ID RANGES
//
// RANGES is a comma-separated list of code points and FIRST-LAST ranges ("32-126,160-255").
// The face is set to SIZE pixels (FT_Set_Pixel_Sizes(0, SIZE)) and each code point is loaded
// with FT_LOAD_RENDER (8-bit anti-aliased coverage). Per glyph: the bitmap's width and
// height, x offset = bitmap left, y offset = bitmap top - height, advance in whole pixels.
// The space advance comes from the space glyph, the space height is the size's ascender, the
// line height the size's height; the scale divisor is 1.
//
// The atlas is a 32-bit TGA of white pixels with the coverage in alpha (no alpha-only pixel
// format exists), the smallest power-of-two size up to 1024 x 1024 that holds every bitmap
// in code-point order, in rows with one pixel between bitmaps and around the edges. Its TXID
// block asks for clamping, nearest filtering without mips (pixel-exact glyphs) and texture
// class 1. Texture coordinates are stored bottom-left, bottom-right, top-right, top-left with
// v = 0 at the atlas's bottom row, as the texture decoder stores rows.
//
// The output depends on nothing but the inputs. A code point the face lacks is skipped and
// listed on stderr; a missing face or an atlas that would pass 1024 x 1024 is an error. Both
// files are written beside their targets and renamed over them only when everything worked,
// so a failure leaves nothing behind.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tool_files.h"

namespace {

const int ATLAS_LIMIT = 1024;

struct BuiltGlyph {
  uint32_t code_point;
  int32_t width, height, x_offset, y_offset, advance;
  std::vector<uint8_t> coverage;  // rows top first
  int32_t atlas_x, atlas_y;       // bottom-left corner, y from the bottom row
};

bool parse_number(const std::string& text, long min, long max, long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(text.c_str(), &end, 0);
  if (errno || *end || v < min || v > max) return false;
  *out = v;
  return true;
}

bool parse_ranges(const std::string& text, std::vector<uint32_t>* out) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t dash = part.find('-');
    long first, last;
    if (dash == std::string::npos) {
      if (!parse_number(part, 0, 0x10FFFF, &first)) return false;
      last = first;
    } else if (!parse_number(part.substr(0, dash), 0, 0x10FFFF, &first) ||
               !parse_number(part.substr(dash + 1), 0, 0x10FFFF, &last) || last < first) {
      return false;
    }
    for (long c = first; c <= last; c++) out->push_back((uint32_t)c);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  // Code-point order, each once.
  std::vector<bool> seen(0x110000, false);
  std::vector<uint32_t> sorted;
  for (uint32_t c : *out) seen[c] = true;
  for (uint32_t c = 0; c < 0x110000; c++)
    if (seen[c]) sorted.push_back(c);
  *out = sorted;
  return !out->empty();
}

int32_t whole_pixels(long value_26_6) { return (int32_t)((value_26_6 + 32) >> 6); }

// Rows of bitmaps left to right with one-pixel gaps; answers the height used, or -1 when a
// bitmap is wider than the atlas.
int pack(std::vector<BuiltGlyph>* glyphs, int width) {
  int x = 1, row_bottom = 1, row_height = 0;
  for (BuiltGlyph& g : *glyphs) {
    if (g.width + 2 > width) return -1;
    if (x + g.width + 1 > width) {
      row_bottom += row_height + 1;
      x = 1;
      row_height = 0;
    }
    g.atlas_x = x;
    g.atlas_y = row_bottom;
    x += g.width + 1;
    if (g.height > row_height) row_height = g.height;
  }
  return row_bottom + row_height + 1;
}

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}
void put_f32(std::vector<uint8_t>* out, float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  put_u32(out, bits);
}

std::vector<uint8_t> atlas_tga(const std::vector<BuiltGlyph>& glyphs, int width, int height) {
  // Header with a 15-byte image ID holding the TXID block: clamp, nearest, class 1.
  const uint8_t txid[15] = {'T', 'X', 'I', 'D', 1, 0, 0, 0, 0, 4, 1, 0, 0, 0, 0};
  std::vector<uint8_t> out = {15, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  out.push_back((uint8_t)width), out.push_back((uint8_t)(width >> 8));
  out.push_back((uint8_t)height), out.push_back((uint8_t)(height >> 8));
  out.push_back(32);
  out.push_back(8);  // eight alpha bits, bottom-left origin
  out.insert(out.end(), txid, txid + sizeof txid);
  std::vector<uint8_t> pixels((size_t)width * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4)
    pixels[i] = pixels[i + 1] = pixels[i + 2] = 255, pixels[i + 3] = 0;
  for (const BuiltGlyph& g : glyphs)
    for (int row = 0; row < g.height; row++) {
      int atlas_row = g.atlas_y + g.height - 1 - row;  // the bitmap's top row goes highest
      for (int column = 0; column < g.width; column++)
        pixels[((size_t)atlas_row * width + g.atlas_x + column) * 4 + 3] =
            g.coverage[(size_t)row * g.width + column];
    }
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

std::vector<uint8_t> font_entry(const std::vector<BuiltGlyph>& glyphs, uint32_t atlas_id,
                                int32_t space_advance, int32_t space_height, int32_t line_height, int width,
                                int height) {
  std::vector<uint8_t> out;
  put_u32(&out, atlas_id);
  put_u32(&out, (uint32_t)space_advance);
  put_u32(&out, (uint32_t)space_height);
  put_u32(&out, (uint32_t)line_height);
  put_u32(&out, 1);
  put_u32(&out, (uint32_t)glyphs.size());
  for (const BuiltGlyph& g : glyphs) {
    const int32_t fields[8] = {
        (int32_t)g.code_point, g.atlas_x, g.atlas_y, g.width, g.height, g.x_offset, g.y_offset, g.advance};
    for (int32_t f : fields) put_u32(&out, (uint32_t)f);
    float u0 = (float)g.atlas_x / (float)width, u1 = (float)(g.atlas_x + g.width) / (float)width;
    float v0 = (float)g.atlas_y / (float)height, v1 = (float)(g.atlas_y + g.height) / (float)height;
    const float uv[8] = {u0, v0, u1, v0, u1, v1, u0, v1};
    for (float f : uv) put_f32(&out, f);
  }
  return out;
}

bool write_through_temp(const char* path, const std::vector<uint8_t>& bytes, std::string* temp) {
  *temp = std::string(path) + ".tmp";
  if (tool_write_file(temp->c_str(), bytes.data(), bytes.size())) return true;
  fprintf(stderr, "fontbuild: cannot write %s\n", temp->c_str());
  remove(temp->c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    fprintf(stderr, "usage: fontbuild OUT.font OUT.tga FACE.ttf SIZE ATLAS_ID RANGES\n");
    return 2;
  }
  const char *out_font = argv[1], *out_tga = argv[2], *face_path = argv[3];
  long size = 0, atlas_id = 0;
  std::vector<uint32_t> code_points;
  if (!parse_number(argv[4], 1, 512, &size) || !parse_number(argv[5], 1, 0x7FFFFFFF, &atlas_id) ||
      !parse_ranges(argv[6], &code_points)) {
    fprintf(stderr, "fontbuild: bad SIZE, ATLAS_ID or RANGES\n");
    return 2;
  }
  FILE* probe = fopen(face_path, "rb");
  if (!probe) {
    fprintf(stderr,
            "fontbuild: cannot open the face %s (the demo faces come from the Debian package "
            "fonts-dejavu-core)\n",
            face_path);
    return 1;
  }
  fclose(probe);

  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library)) {
    fprintf(stderr, "fontbuild: FreeType does not start\n");
    return 1;
  }
  if (FT_New_Face(library, face_path, 0, &face) || FT_Set_Pixel_Sizes(face, 0, (FT_UInt)size)) {
    fprintf(stderr, "fontbuild: %s is not a face FreeType can set to %ld pixels\n", face_path, size);
    FT_Done_FreeType(library);
    return 1;
  }

  std::vector<BuiltGlyph> glyphs;
  std::vector<uint32_t> missing;
  int32_t space_advance = -1;
  for (uint32_t c : code_points) {
    if (FT_Get_Char_Index(face, c) == 0 || FT_Load_Char(face, c, FT_LOAD_RENDER)) {
      missing.push_back(c);
      continue;
    }
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    BuiltGlyph g = {};
    g.code_point = c;
    g.width = (int32_t)bitmap.width;
    g.height = (int32_t)bitmap.rows;
    g.x_offset = slot->bitmap_left;
    g.y_offset = slot->bitmap_top - g.height;
    g.advance = whole_pixels(slot->advance.x);
    g.coverage.resize((size_t)g.width * g.height);
    for (int row = 0; row < g.height; row++)
      memcpy(&g.coverage[(size_t)row * g.width], bitmap.buffer + (ptrdiff_t)row * bitmap.pitch,
             (size_t)g.width);
    if (c == ' ') space_advance = g.advance;
    glyphs.push_back(std::move(g));
  }
  int32_t space_height = whole_pixels(face->size->metrics.ascender);
  int32_t line_height = whole_pixels(face->size->metrics.height);
  if (space_advance < 0 && FT_Load_Char(face, ' ', FT_LOAD_RENDER) == 0)
    space_advance = whole_pixels(face->glyph->advance.x);
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  if (!missing.empty()) {
    fprintf(stderr, "fontbuild: %s lacks %zu code points, skipped:", face_path, missing.size());
    for (uint32_t c : missing) fprintf(stderr, " U+%04X", c);
    fprintf(stderr, "\n");
  }
  if (glyphs.empty() || space_advance < 0) {
    fprintf(stderr, "fontbuild: %s has no glyph in %s or no space\n", face_path, argv[6]);
    return 1;
  }

  int width = 0, height = 0;
  for (int w = 16; w <= ATLAS_LIMIT && !width; w *= 2) {
    int used = pack(&glyphs, w);
    if (used < 0) continue;
    int h = 1;
    while (h < used) h *= 2;
    if (h <= w) width = w, height = h;
  }
  if (!width) {
    fprintf(stderr, "fontbuild: the glyphs do not fit a %dx%d atlas\n", ATLAS_LIMIT, ATLAS_LIMIT);
    return 1;
  }

  std::string font_temp, tga_temp;
  if (!write_through_temp(
          out_font,
          font_entry(glyphs, (uint32_t)atlas_id, space_advance, space_height, line_height, width, height),
          &font_temp))
    return 1;
  if (!write_through_temp(out_tga, atlas_tga(glyphs, width, height), &tga_temp)) {
    remove(font_temp.c_str());
    return 1;
  }
  if (rename(tga_temp.c_str(), out_tga) != 0 || rename(font_temp.c_str(), out_font) != 0) {
    fprintf(stderr, "fontbuild: cannot rename the outputs into place\n");
    remove(tga_temp.c_str());
    remove(font_temp.c_str());
    remove(out_tga);
    return 1;
  }
  printf("fontbuild: %zu glyphs, atlas %dx%d\n", glyphs.size(), width, height);
  return 0;
}
