#include "ui/text_layout.h"

#include <climits>
#include <cmath>

#include "base/utf8.h"

namespace {

int32_t saturate(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v; }

// round((height + y offset) x scale), half away from zero, held in 32 bits.
int32_t glyph_top(const Font* font, const Glyph* g) {
  double v = std::round((double)((int64_t)g->height + g->y_offset) * (double)font->scale);
  return v >= (double)INT32_MAX ? INT32_MAX : v <= (double)INT32_MIN ? INT32_MIN : (int32_t)v;
}

struct LineBreak {
  const char* resume;  // the text just after the space or tab
  uint32_t stored;     // code points stored up to and including it
  int64_t width;       // the line up to and including it
  int32_t height;
};

}  // namespace

int text_is_marker(uint32_t c) {
  return c == TEXT_LINK_CLOSE || (c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST);
}

uint32_t text_link_id(uint32_t c) { return c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST ? c - 0xF0000u : 0; }

int32_t text_advance(const Font* font, uint32_t c) {
  if (!font || c == '\n' || text_is_marker(c)) return 0;
  if (c == ' ' || c == '\t') return font->space_advance;
  const Glyph* g = font_glyph(font, c);
  return g && g->advance > 0 ? g->advance : 0;
}

int text_layout(const Font* font, int mode, int32_t* width, int32_t* height, const char* text, uint32_t* out,
                uint32_t capacity, uint32_t* count) {
  if (!font || !width || !height || !text || !count) return TEXT_LAYOUT_MISSING_ARGUMENT;
  if (font->glyph_count == 0 || !font->glyphs) return TEXT_LAYOUT_NO_GLYPHS;
  const int64_t limit = *width > 0 ? *width : 0;
  const int32_t line_height = font->line_height;

  uint32_t stored = 0;  // code points laid out, written or not
  int64_t line_width = 0, widest = 0, finished = 0;
  int32_t line_top = 0;  // tallest character of the line
  LineBreak last_break = {};
  bool has_break = false;
  int result = TEXT_LAYOUT_OK;

  auto store = [&](uint32_t c) {
    if (out && stored < capacity) out[stored] = c;
    stored++;
  };
  auto finish_line = [&](int64_t w, int32_t top) {
    if (w > widest) widest = w;
    finished += top > line_height ? top : line_height;
    line_width = 0;
    line_top = 0;
    has_break = false;
  };

  const char* cursor = text;
  for (;;) {
    uint32_t c = utf8_decode_lenient(&cursor);
    if (!c) break;
    if (c == '\n') {
      store('\n');
      finish_line(line_width, line_top);
      continue;
    }
    if (text_is_marker(c)) {
      store(c);
      continue;
    }
    bool blank = c == ' ' || c == '\t';
    int64_t advance;
    int32_t top;
    if (blank) {
      advance = font->space_advance;
      top = font->space_height;
    } else {
      const Glyph* g = font_glyph(font, c);
      if (!g) continue;
      advance = g->advance > 0 ? g->advance : 0;
      top = glyph_top(font, g);
    }
    if (mode == TEXT_LAYOUT_WRAP && line_width + advance > limit) {
      if (blank) {
        store('\n');
        finish_line(line_width, line_top);
        continue;
      }
      if (has_break) {
        stored = last_break.stored;
        store('\n');
        finish_line(last_break.width, last_break.height);
        cursor = last_break.resume;
        continue;
      }
    } else if (mode == TEXT_LAYOUT_SINGLE && line_width + advance > limit) {
      result = TEXT_LAYOUT_OUT_OF_WIDTH;
      break;
    }
    store(blank ? ' ' : c);
    line_width += advance;
    if (top > line_top) line_top = top;
    if (blank) {
      last_break = LineBreak{cursor, stored, line_width, line_top};
      has_break = true;
    }
  }

  if (stored > 0) finish_line(line_width, line_top);
  *width = saturate(widest);
  *height = saturate(finished);
  bool overflow = out && stored > capacity;
  *count = overflow ? capacity : stored;
  if (overflow) return TEXT_LAYOUT_OUT_OF_ROOM;
  return result;
}

int text_fit_label(uint32_t* run, uint32_t count) {
  if (!run || count < 4) return 0;
  for (uint32_t i = count - 3; i < count; i++) {
    uint32_t c = run[i];
    if (c == '\n' || c == ' ' || c == '\t' || text_is_marker(c)) return 0;
  }
  run[count - 3] = run[count - 2] = run[count - 1] = '.';
  return 1;
}

uint32_t text_index_at_x(const Font* font, float x, const uint32_t* run, uint32_t count) {
  if (!font || !run) return 0;
  double pen = 0;
  uint32_t i = 0;
  for (; i < count; i++) {
    uint32_t c = run[i];
    if (c == '\n') break;
    if (text_link_id(c) && pen > x) break;
    double next = pen + text_advance(font, c);
    if (std::fabs(next - x) > std::fabs(pen - x)) break;
    pen = next;
  }
  return i;
}

uint32_t text_link_at(const Font* font, float x, float y, const uint32_t* run, uint32_t count) {
  if (!font || !run || !(y >= 0) || !(x >= 0)) return 0;
  int64_t target = font->line_height > 0 ? (int64_t)(y / (float)font->line_height) : 0;
  int64_t line = 0;
  double pen = 0;
  uint32_t link = 0;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t c = run[i];
    if (c == TEXT_LINK_CLOSE) {
      link = 0;
      continue;
    }
    if (text_link_id(c)) {
      link = text_link_id(c);
      continue;
    }
    if (c == '\n') {
      if (++line > target) return 0;
      pen = 0;
      continue;
    }
    if (line != target) continue;
    pen += text_advance(font, c);
    if (pen > x) return link;
  }
  return 0;
}

uint32_t text_scroll_left(const Font* font, const uint32_t* run, uint32_t count, uint32_t index,
                          int32_t width) {
  if (!font || !run) return 0;
  if (index > count) index = count;
  int64_t sum = 0;
  while (index > 0) {
    int64_t next = sum + text_advance(font, run[index - 1]);
    if (next > width) break;
    sum = next;
    index--;
  }
  return index;
}

uint32_t text_scroll_right(const Font* font, const uint32_t* run, uint32_t count, uint32_t index,
                           int32_t width) {
  if (!font || !run) return 0;
  if (index > count) index = count;
  int64_t sum = 0;
  while (index < count) {
    int64_t next = sum + text_advance(font, run[index]);
    if (next > width) break;
    sum = next;
    index++;
  }
  return index;
}
