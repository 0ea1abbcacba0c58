#pragma once
// Anchors: where a rectangle of a given offset and size sits inside a parent rectangle, and
// back. Anchor 0 top-left, 1 bottom-left, 2 left middle, 3 top-right, 4 bottom-right, 5 right
// middle, 6 top centre, 7 bottom centre, 8 centre; the offset moves the bottom-left corner
// from that place. Halves are integer divisions (towards zero). An anchor outside 0..8 counts
// as 1. ui_anchor_unplace is the exact inverse for every anchor: it subtracts the same terms.
#include <cstdint>

struct UiRect {
  int32_t x, y, width, height;
};

// The bottom-left corner of (x, y, width, height) placed by anchor inside parent.
void ui_anchor_place(int32_t anchor, int32_t x, int32_t y, int32_t width, int32_t height,
                     const UiRect* parent, int32_t* out_x, int32_t* out_y);
// The offset that places a rectangle of this size at (placed_x, placed_y).
void ui_anchor_unplace(int32_t anchor, int32_t placed_x, int32_t placed_y, int32_t width, int32_t height,
                       const UiRect* parent, int32_t* out_x, int32_t* out_y);
