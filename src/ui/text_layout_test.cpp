// Text layout over the fixed test font (letters advance 6, space 4, line height 10): wrapping,
// cutting, markers, measuring helpers, and text that is not valid UTF-8.
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/font_testing.h"

namespace {

typedef std::vector<uint32_t> CodePoints;

CodePoints run_of(const std::u32string& s) { return CodePoints(s.begin(), s.end()); }

struct Laid {
  int result;
  int32_t width, height;
  CodePoints run;
};

Laid lay(const Font* font, int mode, int32_t width, const char* text, uint32_t capacity = 256) {
  Laid l{};
  l.width = width;
  l.height = 0;
  std::vector<uint32_t> out(capacity + 4, 0xDEAD);
  uint32_t count = 0;
  l.result = text_layout(font, mode, &l.width, &l.height, text, out.data(), capacity, &count);
  l.run.assign(out.begin(), out.begin() + count);
  // Nothing is written past the capacity.
  for (uint32_t i = capacity; i < capacity + 4; i++) EXPECT_EQ(out[i], 0xDEADu) << text;
  return l;
}

class TextLayout : public ::testing::Test {
 protected:
  void SetUp() override { font = test_font_fixed(); }
  void TearDown() override { font_destroy(font); }
  Font* font = nullptr;
};

TEST_F(TextLayout, Table) {
  struct Case {
    const char* what;
    int mode;
    int32_t width;
    const char* text;
    int result;
    int32_t out_width, out_height;
    std::u32string run;
  } cases[] = {
      {"wraps after the space that precedes the overflowing letter", 1, 28, "abc def", 0, 22, 20,
       U"abc \ndef"},
      {"a space that overflows ends the line", 1, 20, "abc def", 0, 18, 20, U"abc\ndef"},
      {"a word wider than the width stays on its line", 1, 20, "abcdefgh", 0, 48, 10, U"abcdefgh"},
      {"the text after the break is laid out again", 1, 30, "ab cdefg", 0, 30, 20, U"ab \ncdefg"},
      {"several breaks", 1, 30, "ab cd ef", 0, 28, 20, U"ab cd\nef"},
      {"mode 0 ignores the width", 0, 5, "abc def", 0, 40, 10, U"abc def"},
      {"negative width counts as 0", 1, -5, "ab cd", 0, 12, 20, U"ab\ncd"},
      {"mode 2 stops where the width runs out", 2, 20, "abcdefgh", -3, 18, 10, U"abc"},
      {"mode 2 that fits", 2, 48, "abcdefgh", 0, 48, 10, U"abcdefgh"},
      {"empty text", 1, 100, "", 0, 0, 0, U""},
      {"tabs advance as spaces and are stored as spaces", 0, 0, "a\tb", 0, 16, 10, U"a b"},
      {"line feeds, an empty line and a trailing one", 0, 0, "ab\n\ncd\n", 0, 12, 40, U"ab\n\ncd\n"},
      {"a tall character makes its line taller", 0, 0, "a|\nb", 0, 10, 22, U"a|\nb"},
      {"negative advances count as 0", 0, 0, "iii", 0, 0, 10, U"iii"},
      {"code points the font lacks are skipped", 0, 0, "a\xC3\xB1z", 0, 12, 10, U"az"},
      {"multi-byte glyphs", 0, 0, "\xC3\xA9\xE2\x82\xAC", 0, 14, 10, U"\u00E9\u20AC"},
      {"a link marker opens link 5 and U+E000 closes it", 0, 0,
       "x\xF3\xB0\x80\x85"
       "ab\xEE\x80\x80"
       "c",
       0, 24, 10, U"x\U000F0005ab\uE000c"},
      {"unbalanced markers are plain markers", 1, 12,
       "\xEE\x80\x80"
       "a\xF3\xB0\x80\x83"
       "b c",
       0, 12, 20, U"\uE000a\U000F0003b\nc"},
      {"only markers: one empty line", 0, 0, "\xEE\x80\x80", 0, 0, 10, U"\uE000"},
      {"invalid bytes are skipped one by one, later text still laid out", 1, 100,
       "a\xFF\xC3"
       "b\xE2\x82"
       "c\x80 d",
       0, 28, 10, U"abc d"},
      {"a truncated sequence at the end", 0, 0, "ab\xF0\x9F", 0, 12, 10, U"ab"},
  };
  for (const Case& c : cases) {
    Laid l = lay(font, c.mode, c.width, c.text);
    EXPECT_EQ(l.result, c.result) << c.what;
    EXPECT_EQ(l.width, c.out_width) << c.what;
    EXPECT_EQ(l.height, c.out_height) << c.what;
    EXPECT_EQ(l.run, run_of(c.run)) << c.what;
    // Measuring alone agrees with laying out.
    int32_t w = c.width, h = 0;
    uint32_t count = 0;
    EXPECT_EQ(text_layout(font, c.mode, &w, &h, c.text, nullptr, 0, &count), c.result) << c.what;
    EXPECT_EQ(w, c.out_width) << c.what;
    EXPECT_EQ(h, c.out_height) << c.what;
    EXPECT_EQ(count, c.run.size()) << c.what;
  }
}

// A font that has U+FFFD shows that each invalid byte costs exactly one replacement.
TEST_F(TextLayout, EachInvalidByteIsOneReplacement) {
  std::vector<TestGlyph> glyphs = test_font_glyphs();
  glyphs.push_back({0xFFFD, 5, 7, 0, 0, 5});
  std::vector<uint8_t> bytes = test_font_bytes({TEST_FONT_ATLAS, 4, 8, 10, 1}, glyphs);
  Font* with = font_decode(bytes.data(), (uint32_t)bytes.size());
  ASSERT_NE(with, nullptr);
  const uint32_t R = 0xFFFD;
  Laid l = lay(with, 0, 0,
               "a\xFF\xC3"
               "b\xE2\x82"
               "c\xC0\x80");
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.run, (CodePoints{'a', R, R, 'b', R, R, 'c', R, R}));
  EXPECT_EQ(l.width, 3 * 6 + 6 * 5);
  font_destroy(with);
}

TEST_F(TextLayout, Failures) {
  int32_t w = 100, h = 0;
  uint32_t out[8], count = 0;
  Font empty{};
  EXPECT_EQ(text_layout(&empty, 0, &w, &h, "a", out, 8, &count), TEXT_LAYOUT_NO_GLYPHS);
  EXPECT_EQ(text_layout(nullptr, 0, &w, &h, "a", out, 8, &count), TEXT_LAYOUT_MISSING_ARGUMENT);
  EXPECT_EQ(text_layout(font, 0, nullptr, &h, "a", out, 8, &count), TEXT_LAYOUT_MISSING_ARGUMENT);
  EXPECT_EQ(text_layout(font, 0, &w, nullptr, "a", out, 8, &count), TEXT_LAYOUT_MISSING_ARGUMENT);
  EXPECT_EQ(text_layout(font, 0, &w, &h, nullptr, out, 8, &count), TEXT_LAYOUT_MISSING_ARGUMENT);
  EXPECT_EQ(text_layout(font, 0, &w, &h, "a", out, 8, nullptr), TEXT_LAYOUT_MISSING_ARGUMENT);

  // Too small an output: what fits is written, the measure covers the whole text.
  Laid l = lay(font, 1, 100, "abcd", 2);
  EXPECT_EQ(l.result, TEXT_LAYOUT_OUT_OF_ROOM);
  EXPECT_EQ(l.run, (CodePoints{'a', 'b'}));
  EXPECT_EQ(l.width, 24);
  EXPECT_EQ(l.height, 10);
  // A wrap that takes the run back under the capacity leaves it complete.
  l = lay(font, 1, 28, "abc def", 8);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.run, run_of(U"abc \ndef"));
}

TEST_F(TextLayout, LabelFitting) {
  struct Case {
    const char* what;
    std::u32string run;
    bool changed;
    std::u32string after;
  } cases[] = {
      {"the last three become dots", U"abcde", true, U"ab..."},
      {"four code points are enough", U"abcd", true, U"a..."},
      {"three are too few", U"abc", false, U"abc"},
      {"a space among the last three", U"ab cd", false, U"ab cd"},
      {"a line feed among them", U"abc\nd", false, U"abc\nd"},
      {"a marker among them", U"abc\uE000d", false, U"abc\uE000d"},
  };
  for (const Case& c : cases) {
    CodePoints r = run_of(c.run);
    EXPECT_EQ(text_fit_label(r.data(), (uint32_t)r.size()), c.changed ? 1 : 0) << c.what;
    EXPECT_EQ(r, run_of(c.after)) << c.what;
  }
  // Mode 2 that ran out of width, then fitted.
  Laid l = lay(font, 2, 30, "abcdefgh");
  ASSERT_EQ(l.result, TEXT_LAYOUT_OUT_OF_WIDTH);
  ASSERT_EQ(text_fit_label(l.run.data(), (uint32_t)l.run.size()), 1);
  EXPECT_EQ(l.run, run_of(U"ab..."));
}

TEST_F(TextLayout, IndexAtX) {
  const CodePoints abc = run_of(U"abc"), lines = run_of(U"ab\ncd"), link = run_of(U"a\U000F0002b");
  struct Case {
    const char* what;
    const CodePoints* run;
    float x;
    uint32_t index;
  } cases[] = {
      {"before the first half", &abc, 2, 0},    {"a tie passes the character", &abc, 3, 1},
      {"inside the second", &abc, 8, 1},        {"past the end", &abc, 100, 3},
      {"left of the text", &abc, -10, 0},       {"a line feed ends the search", &lines, 100, 2},
      {"a link opening beyond x", &link, 5, 1}, {"a link opening before x is passed", &link, 7, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text_index_at_x(font, c.x, c.run->data(), (uint32_t)c.run->size()), c.index) << c.what;
}

TEST_F(TextLayout, LinkAt) {
  // Line 0: "x" then link 5 over "ab"; line 1: "c" then link 7 over "d", then "e" outside.
  const CodePoints r = run_of(U"x\U000F0005ab\uE000\nc\U000F0007d\uE000e");
  struct Case {
    float x, y;
    uint32_t link;
  } cases[] = {
      {3, 2, 0},  {6, 2, 5},   {17.9f, 9.9f, 5}, {18, 2, 0}, {3, 12, 0},
      {7, 15, 7}, {13, 15, 0}, {3, 25, 0},       {-1, 2, 0}, {6, -1, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text_link_at(font, c.x, c.y, r.data(), (uint32_t)r.size()), c.link) << c.x << "," << c.y;
  // An opening marker never closed still ends at nothing; a stray closing one is harmless.
  const CodePoints open = run_of(U"\uE000a\U000F0009bc");
  EXPECT_EQ(text_link_at(font, 2, 0, open.data(), (uint32_t)open.size()), 0u);
  EXPECT_EQ(text_link_at(font, 15, 0, open.data(), (uint32_t)open.size()), 9u);
}

TEST_F(TextLayout, ScrollHelpers) {
  const CodePoints r = run_of(U"ab cdef");  // advances 6 6 4 6 6 6 6
  struct Case {
    bool left;
    uint32_t index;
    int32_t width;
    uint32_t answer;
  } cases[] = {
      {true, 7, 13, 5},  {true, 7, 12, 5},  {true, 7, 11, 6}, {true, 3, 100, 0}, {true, 99, 18, 4},
      {false, 0, 16, 3}, {false, 2, 10, 4}, {false, 6, 5, 6}, {false, 6, 6, 7},  {true, 0, 10, 0},
  };
  for (const Case& c : cases) {
    uint32_t got = c.left ? text_scroll_left(font, r.data(), (uint32_t)r.size(), c.index, c.width)
                          : text_scroll_right(font, r.data(), (uint32_t)r.size(), c.index, c.width);
    EXPECT_EQ(got, c.answer) << (c.left ? "left " : "right ") << c.index << " " << c.width;
  }
}

}  // namespace
