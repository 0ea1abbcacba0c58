#pragma once
// Text layout and measuring over a font: UTF-8 in, a run of code points out.
//
// Not printed: 10 (line feed) starts a line; 9 (tab) and 32 (space) advance by the font's
// space advance and are stored as 32; U+F0001 ... U+FFFFF open link (code point - 0xF0000)
// and U+E000 closes it, both stored and taking no space. Any other code point is printed
// with its glyph, advancing by the glyph's advance (a negative advance counts as 0); one the
// font lacks is skipped (neither stored nor measured). Text is decoded with the lenient
// step, so an invalid byte becomes U+FFFD (which fonts here lack) and never stops the walk.
// Links need no balance: a closing marker with nothing open, or an opening one never
// closed, is just a marker.
#include <cstdint>

#include "assets/font.h"

enum : int {
  TEXT_LAYOUT_NO_WRAP = 0,
  TEXT_LAYOUT_WRAP = 1,    // word wrap at the width
  TEXT_LAYOUT_SINGLE = 2,  // one line, stopping where the width runs out
};

enum : int {
  TEXT_LAYOUT_OK = 0,
  TEXT_LAYOUT_NO_GLYPHS = -1,
  TEXT_LAYOUT_MISSING_ARGUMENT = -2,
  TEXT_LAYOUT_OUT_OF_WIDTH = -3,
  TEXT_LAYOUT_OUT_OF_ROOM = -4,
};

enum : uint32_t { TEXT_LINK_CLOSE = 0xE000, TEXT_LINK_FIRST = 0xF0001, TEXT_LINK_LAST = 0xFFFFF };

// 1 for a code point that opens or closes a link.
int text_is_marker(uint32_t code_point);
// The link id an opening marker carries (0 for anything else).
uint32_t text_link_id(uint32_t code_point);
// How far a stored code point moves the pen: the space advance for 32 and 9, nothing for
// line feeds, markers and code points the font lacks, else the glyph's advance (0 if negative).
int32_t text_advance(const Font* font, uint32_t code_point);

// Lays text out. width and height go in (below 0 counts as 0; the width limits modes 1 and
// 2) and come out as the widest line and the sum of the line heights; count gets the number
// of code points stored (at most capacity). A line is as tall as the font's line height or
// its tallest character, whichever is more: a glyph counts round((height + y offset) x
// scale), a space the space height. Text that stores nothing measures 0 x 0.
//
// Wrapping (mode 1): when a character would take the line past the width, a space or tab
// there ends the line (stored as a line feed); otherwise the line breaks just after its last
// space or tab, a line feed is stored there and the text after it is laid out again on the
// next line; a word with no break before it stays on its line, however long. Mode 2 stops
// at that point with TEXT_LAYOUT_OUT_OF_WIDTH, keeping what fitted. out may be null to only
// measure; otherwise code points beyond capacity are not written and the answer is
// TEXT_LAYOUT_OUT_OF_ROOM (the measure still covers the whole text).
int text_layout(const Font* font, int mode, int32_t* width, int32_t* height, const char* text, uint32_t* out,
                uint32_t capacity, uint32_t* count);

// A label cut in mode 2 ends with "...": the last three code points become '.', provided the
// run holds at least four and none of the three is a line feed, space, tab or marker. 1 when
// the run was changed.
int text_fit_label(uint32_t* run, uint32_t count);

// The character boundary on the first line nearest to x: advances are added from the start
// until the distance to x would grow; a line feed, or a link opening beyond x, ends the walk.
uint32_t text_index_at_x(const Font* font, float x, const uint32_t* run, uint32_t count);

// The link under a point of a laid-out block: x from its left edge, y down from its top.
// The line is y / the font's line height; on it, the first character whose right edge
// passes x answers the link open there (0 outside links, past the text, or above it).
uint32_t text_link_at(const Font* font, float x, float y, const uint32_t* run, uint32_t count);

// The scroll helpers of text fields: text_scroll_left answers the smallest start such that
// run[start .. index) is at most width pixels wide; text_scroll_right the largest end such
// that run[index .. end) is. index is held to the run.
uint32_t text_scroll_left(const Font* font, const uint32_t* run, uint32_t count, uint32_t index,
                          int32_t width);
uint32_t text_scroll_right(const Font* font, const uint32_t* run, uint32_t count, uint32_t index,
                           int32_t width);
