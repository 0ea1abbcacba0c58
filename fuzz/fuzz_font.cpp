// Font decoding of arbitrary bytes, then what interface text does with a font: layout in
// every mode with small widths over a fixed text that reaches spaces, line feeds, markers,
// multi-byte and invalid sequences, and the measuring helpers over the run. Checks that the
// glyph array is sorted, that both look-ups answer the glyph they should, and that layout
// never writes past its capacity.
#include <cstddef>
#include <cstdint>

#include "assets/font.h"
#include "ui/text_layout.h"

static const char TEXT[] =
    "Ab c\td\n\xC3\xA9\xE2\x82\xAC \xF3\xB0\x80\x85link\xEE\x80\x80 \xFF\xC3 end of a longer line here";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Font* font = font_decode(data, (uint32_t)size);
  if (!font) return 0;
  for (uint32_t i = 1; i < font->glyph_count; i++)
    if (font->glyphs[i - 1].code_point > font->glyphs[i].code_point) __builtin_trap();
  for (uint32_t i = 0; i < font->glyph_count; i++) {
    const Glyph* g = font_glyph(font, font->glyphs[i].code_point);
    if (!g || g->code_point != font->glyphs[i].code_point) __builtin_trap();
  }
  uint32_t run[48 + 1];
  for (int mode = 0; mode < 3; mode++)
    for (int32_t limit = -1; limit < 40; limit += 7) {
      int32_t width = limit, height = 0;
      uint32_t count = 0;
      run[48] = 0xC0FFEEu;
      int result = text_layout(font, mode, &width, &height, TEXT, run, 48, &count);
      if (run[48] != 0xC0FFEEu || count > 48 || result < -4 || result > 0) __builtin_trap();
      if (result == TEXT_LAYOUT_OUT_OF_WIDTH) text_fit_label(run, count);
      text_index_at_x(font, (float)limit, run, count);
      text_link_at(font, (float)limit, (float)(limit * 2), run, count);
      text_scroll_left(font, run, count, count / 2, limit);
      text_scroll_right(font, run, count, count / 2, limit);
    }
  font_destroy(font);
  return 0;
}
