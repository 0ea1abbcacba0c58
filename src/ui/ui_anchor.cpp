#include "ui/ui_anchor.h"

namespace {

// The corner the anchor places a zero offset at; the offset is added to it.
void anchor_base(int32_t anchor, int32_t width, int32_t height, const UiRect* p, int32_t* bx, int32_t* by) {
  if (anchor < 0 || anchor > 8) anchor = 1;
  // Columns: 0 left, 1 right, 2 centre; rows: 0 top, 1 bottom, 2 middle.
  static const int8_t COLUMN[9] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
  static const int8_t ROW[9] = {0, 1, 2, 0, 1, 2, 0, 1, 2};
  int32_t left = p->x, bottom = p->y;
  switch (COLUMN[anchor]) {
    case 1:
      left = p->x + p->width - width;
      break;
    case 2:
      left = p->x + (p->width - width) / 2;
      break;
    default:
      break;
  }
  switch (ROW[anchor]) {
    case 0:
      bottom = p->y + p->height - height;
      break;
    case 2:
      bottom = p->y + (p->height - height) / 2;
      break;
    default:
      break;
  }
  *bx = left;
  *by = bottom;
}

}  // namespace

void ui_anchor_place(int32_t anchor, int32_t x, int32_t y, int32_t width, int32_t height,
                     const UiRect* parent, int32_t* out_x, int32_t* out_y) {
  int32_t bx, by;
  anchor_base(anchor, width, height, parent, &bx, &by);
  *out_x = bx + x;
  *out_y = by + y;
}

void ui_anchor_unplace(int32_t anchor, int32_t placed_x, int32_t placed_y, int32_t width, int32_t height,
                       const UiRect* parent, int32_t* out_x, int32_t* out_y) {
  int32_t bx, by;
  anchor_base(anchor, width, height, parent, &bx, &by);
  *out_x = placed_x - bx;
  *out_y = placed_y - by;
}
