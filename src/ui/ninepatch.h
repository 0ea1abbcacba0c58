#pragma once
// Nine-patch frames: a texture cut by four pixel borders into corners, edges and a centre,
// drawn over any rectangle. Corners keep their pixel sizes; edges and the centre are
// stretched, or with the tiling flag repeated in tiles as large as their cell's area of the
// texture (rounded to whole texture pixels; a size below 1 stretches along that axis). Tiles
// start at the area's bottom-left corner, and the last column and row are cut to what is
// left, with their texture rectangles shortened at the right or top edge in proportion.
//
// Registered frames live in a map keyed by their handle (1, 2, 3 ... in registration order)
// until ui_draw_shutdown. Main thread only.
#include <cstdint>

#include "ui/ui_draw.h"

// Cells in this order: bottom row left to right, middle row, top row.
enum : int {
  NINEPATCH_BOTTOM_LEFT = 0,
  NINEPATCH_BOTTOM = 1,
  NINEPATCH_BOTTOM_RIGHT = 2,
  NINEPATCH_LEFT = 3,
  NINEPATCH_CENTRE = 4,
  NINEPATCH_RIGHT = 5,
  NINEPATCH_TOP_LEFT = 6,
  NINEPATCH_TOP = 7,
  NINEPATCH_TOP_RIGHT = 8,
  NINEPATCH_CELLS = 9,
};

struct NinePatchDesc {
  int32_t texture;
  int32_t texture_width, texture_height;  // pixels
  int32_t bottom, top, left, right;       // border sizes in pixels
  UiTexRect cells[NINEPATCH_CELLS];       // ignored by ninepatch_set_uv
};

struct NinePatch {
  uint32_t handle;
  int32_t texture;
  int32_t texture_width, texture_height;
  int32_t enabled;
  int32_t bottom, top, left, right;
  UiTexRect cells[NINEPATCH_CELLS];
  int32_t tiling;
  int32_t flag_b;  // carried for the skin, not read by drawing
};

void ninepatch_startup(void);
void ninepatch_shutdown(void);

// A new enabled frame from the description; 0 for a null description or before start-up.
uint32_t ninepatch_register(const NinePatchDesc* desc);
// Takes the texture, its size and the borders from the description and cuts the nine cells'
// texture rectangles at the borders (v = 0 is the texture's bottom row). 0 for an unknown
// handle or a texture size below 1.
int ninepatch_set_uv(uint32_t handle, const NinePatchDesc* desc);
int ninepatch_set_tiling(uint32_t handle);
int ninepatch_set_flag_b(uint32_t handle);
const NinePatch* ninepatch_get(uint32_t handle);

// Binds the frame's texture and emits its cells over the rectangle; an unknown or disabled
// handle draws nothing.
void ui_draw_ninepatch(float x, float y, float width, float height, uint32_t handle, const UiColour* colour);
