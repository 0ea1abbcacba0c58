#pragma once
// The frame's draw list: every visible window declared this frame (walked from the last
// declared to the first) and each of its widgets become entries (window: its layer, order 0;
// widget: its window's layer and its own order; both with a sequence number in walking
// order), at most UI_DRAW_ENTRY_LIMIT of them. Entries are drawn sorted by layer, order and
// sequence, each clipped to its window's clip rectangle.
//
// A widget with text draws its laid-out run in its style's font and text colour: the block's
// top-left corner is the widget's top-left corner, the first baseline lies the font's ascent
// below it and each line one line height below the last; glyphs advance as layout measures
// them, so drawn text is as wide as its measure. At each opening link marker the widget's
// link-colour slot, when it has one, chooses the colour up to the closing marker. A font is
// looked up at each use without waiting; text whose font is not loaded yet is skipped.
//
// Any other entry partly inside its clip draws from its style: a border rectangle in the
// border colour (pressed or hovered variant by the widget's state) when the style has a
// border width, a title strip along the top inside the border when it has a title height,
// then the body inside both in the fill colour, or its image in white (a nine-patch frame
// with UI_STYLE_NINEPATCH). An entry without a style draws a white quad of its image.
//
// The batch flushes whenever the texture changes (solid parts draw untextured), and once at
// the end. Main thread only.
#include <cstdint>

#include "ui/ui_records.h"

enum : uint32_t { UI_DRAW_ENTRY_LIMIT = 1024 };

// Called for each drawn character with its widget, its index in the run and its colour;
// the answer colours it.
typedef UiColour (*UiCharColourFn)(const UiWidget* widget, uint32_t index, uint32_t code_point,
                                   UiColour colour);

void ui_draw_list_startup(void);
void ui_draw_list_shutdown(void);

void ui_draw_list(UiCharColourFn char_colour);

// The entries of the last ui_draw_list in drawing order (for tests).
struct UiDrawEntry {
  const UiWindow* window;
  const UiWidget* widget;  // null for the window's own entry
  int32_t layer;
  int32_t order;
  uint32_t sequence;
};
uint32_t ui_draw_list_entries(const UiDrawEntry** entries);
