#include "ui/ninepatch.h"

#include <cmath>

#include "base/intmap.h"
#include "base/mem.h"

namespace {

IntMap* g_patches;
uint32_t g_next_handle;

void release_patch(void* patch) { mem_free(patch); }

NinePatch* find(uint32_t handle) { return (NinePatch*)intmap_find(g_patches, handle); }

// Tile size along one axis: the cell's span of the texture in whole texture pixels.
float tile_size(float span, int32_t texture_size) {
  return std::round(std::fabs(span) * (float)texture_size);
}

// More tiles than this along one axis stretch instead: a one-pixel tile over a huge area
// would otherwise cost millions of quads (or never end, once float steps stop adding up).
constexpr float TILES_PER_AXIS_LIMIT = 4096;

// Fills the area with copies of the cell; the last column and row are cut, their texture
// rectangles shortened at the right or top edge in the same proportion.
void draw_tiled(float x, float y, float width, float height, const UiTexRect* cell, float tile_w,
                float tile_h, const UiColour* colour) {
  if (!(width > 0) || !(height > 0)) return;
  if (!(tile_w >= 1) || width / tile_w > TILES_PER_AXIS_LIMIT) tile_w = width;
  if (!(tile_h >= 1) || height / tile_h > TILES_PER_AXIS_LIMIT) tile_h = height;
  int rows = (int)std::ceil(height / tile_h), columns = (int)std::ceil(width / tile_w);
  for (int row = 0; row < rows; row++) {
    float y0 = (float)row * tile_h, h = height - y0 < tile_h ? height - y0 : tile_h;
    UiTexRect t = *cell;
    if (h < tile_h) t.top = cell->bottom + h / tile_h * (cell->top - cell->bottom);
    for (int column = 0; column < columns; column++) {
      float x0 = (float)column * tile_w, w = width - x0 < tile_w ? width - x0 : tile_w;
      UiTexRect u = t;
      if (w < tile_w) u.right = cell->left + w / tile_w * (cell->right - cell->left);
      ui_draw_quad(x + x0, y + y0, w, h, colour, &u);
    }
  }
}

}  // namespace

void ninepatch_startup(void) {
  if (!g_patches) g_patches = intmap_create(32);
  g_next_handle = 1;
}

void ninepatch_shutdown(void) {
  intmap_destroy(g_patches, release_patch);
  g_patches = nullptr;
  g_next_handle = 0;
}

uint32_t ninepatch_register(const NinePatchDesc* desc) {
  if (!desc || !g_patches) return 0;
  NinePatch* p = (NinePatch*)mem_calloc(1, sizeof(NinePatch));
  p->handle = g_next_handle++;
  p->texture = desc->texture;
  p->texture_width = desc->texture_width;
  p->texture_height = desc->texture_height;
  p->enabled = 1;
  p->bottom = desc->bottom;
  p->top = desc->top;
  p->left = desc->left;
  p->right = desc->right;
  for (int i = 0; i < NINEPATCH_CELLS; i++) p->cells[i] = desc->cells[i];
  intmap_insert(g_patches, p->handle, p);
  return p->handle;
}

int ninepatch_set_uv(uint32_t handle, const NinePatchDesc* desc) {
  NinePatch* p = find(handle);
  if (!p || !desc || desc->texture_width < 1 || desc->texture_height < 1) return 0;
  p->texture = desc->texture;
  p->texture_width = desc->texture_width;
  p->texture_height = desc->texture_height;
  p->bottom = desc->bottom;
  p->top = desc->top;
  p->left = desc->left;
  p->right = desc->right;
  float w = (float)desc->texture_width, h = (float)desc->texture_height;
  const float us[4] = {0, (float)desc->left / w, (w - (float)desc->right) / w, 1};
  const float vs[4] = {0, (float)desc->bottom / h, (h - (float)desc->top) / h, 1};
  for (int row = 0; row < 3; row++)
    for (int column = 0; column < 3; column++)
      p->cells[row * 3 + column] = UiTexRect{us[column], vs[row], us[column + 1], vs[row + 1]};
  return 1;
}

int ninepatch_set_tiling(uint32_t handle) {
  NinePatch* p = find(handle);
  if (!p) return 0;
  p->tiling = 1;
  return 1;
}

int ninepatch_set_flag_b(uint32_t handle) {
  NinePatch* p = find(handle);
  if (!p) return 0;
  p->flag_b = 1;
  return 1;
}

const NinePatch* ninepatch_get(uint32_t handle) { return find(handle); }

void ui_draw_ninepatch(float x, float y, float width, float height, uint32_t handle, const UiColour* colour) {
  const NinePatch* p = find(handle);
  if (!p || !p->enabled || !colour) return;
  ui_draw_bind(p->texture);
  float L = (float)p->left, R = (float)p->right, B = (float)p->bottom, T = (float)p->top;
  float mid_w = width - L - R, mid_h = height - B - T;
  float xs[3] = {x, x + L, x + width - R}, ws[3] = {L, mid_w, R};
  float ys[3] = {y, y + B, y + height - T}, hs[3] = {B, mid_h, T};
  for (int row = 0; row < 3; row++)
    for (int column = 0; column < 3; column++) {
      const UiTexRect* cell = &p->cells[row * 3 + column];
      bool corner = row != 1 && column != 1;
      if (!p->tiling || corner) {
        ui_draw_quad(xs[column], ys[row], ws[column], hs[row], colour, cell);
        continue;
      }
      // Bottom and top edges repeat along x, left and right edges along y, the centre both.
      float tile_w = column == 1 ? tile_size(cell->right - cell->left, p->texture_width) : 0;
      float tile_h = row == 1 ? tile_size(cell->top - cell->bottom, p->texture_height) : 0;
      draw_tiled(xs[column], ys[row], ws[column], hs[row], cell, tile_w, tile_h, colour);
    }
}
