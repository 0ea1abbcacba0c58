#include "ui/ui_draw.h"

#include <cmath>

#include "render/draw.h"
#include "ui/ninepatch.h"
#include "ui/ui_draw_list.h"

namespace {

struct UiBatch {
  int32_t frame_width, frame_height;
  UiClip clip;
  int32_t texture;
  bool open;  // the draw record holds this batch's quads
};

UiBatch g_batch;

const uint16_t QUAD_INDICES[6] = {0, 1, 2, 0, 2, 3};

uint32_t channel_byte(float c) {
  if (!(c > 0)) return 0;
  if (c >= 1) return 255;
  return (uint32_t)std::lround(c * 255.0f);
}

}  // namespace

void ui_draw_startup(void) {
  g_batch = UiBatch{};
  ninepatch_startup();
  ui_draw_list_startup();
}

void ui_draw_shutdown(void) {
  ui_draw_list_shutdown();
  ninepatch_shutdown();
  g_batch = UiBatch{};
}

void ui_draw_set_frame(int32_t width, int32_t height) {
  g_batch.frame_width = width;
  g_batch.frame_height = height;
}

void ui_draw_set_clip(const UiClip* clip) { g_batch.clip = clip ? *clip : UiClip{}; }

uint32_t ui_colour_argb(const UiColour* c) {
  if (!c) return 0;
  return channel_byte(c->a) << 24 | channel_byte(c->r) << 16 | channel_byte(c->g) << 8 | channel_byte(c->b);
}

int ui_draw_quad(float x, float y, float width, float height, const UiColour* colour, const UiTexRect* tex) {
  if (!colour || !(width > 0) || !(height > 0) || !(std::fabs(colour->a) > 0.0001f)) return 0;
  if (g_batch.frame_width <= 0 || g_batch.frame_height <= 0) return 0;
  UiTexRect t = tex ? *tex : UI_FULL_TEXTURE;
  float left = x, bottom = y, right = x + width, top = y + height;
  const UiClip& c = g_batch.clip;
  if (c.width > 0 && c.height > 0) {
    float cl = (float)c.x, cb = (float)c.y, cr = (float)c.x + (float)c.width,
          ct = (float)c.y + (float)c.height;
    float l = left > cl ? left : cl, r = right < cr ? right : cr;
    float b = bottom > cb ? bottom : cb, tp = top < ct ? top : ct;
    if (!(r > l) || !(tp > b)) return 0;
    // Only the edges that moved change, so an uncut edge keeps its coordinate exactly.
    float du = t.right - t.left, dv = t.top - t.bottom;
    UiTexRect cut = t;
    if (l != left) cut.left = t.left + (l - left) / width * du;
    if (r != right) cut.right = t.left + (r - left) / width * du;
    if (b != bottom) cut.bottom = t.bottom + (b - bottom) / height * dv;
    if (tp != top) cut.top = t.bottom + (tp - bottom) / height * dv;
    t = cut;
    left = l, right = r, bottom = b, top = tp;
  }
  if (draw_vertex_count() + 4 > DRAW_INDEXED_VERTEX_LIMIT) ui_draw_flush();
  if (!g_batch.open) {
    draw_reset();
    g_batch.open = true;
  }
  float sx = 2.0f / (float)g_batch.frame_width, sy = 2.0f / (float)g_batch.frame_height;
  float x0 = left * sx - 1.0f, x1 = right * sx - 1.0f, y0 = bottom * sy - 1.0f, y1 = top * sy - 1.0f;
  uint32_t argb = ui_colour_argb(colour);
  RenderVertex v[4] = {
      {x0, y0, -1.0f, 1.0f, argb, 0, t.left, t.bottom},
      {x1, y0, -1.0f, 1.0f, argb, 0, t.right, t.bottom},
      {x1, y1, -1.0f, 1.0f, argb, 0, t.right, t.top},
      {x0, y1, -1.0f, 1.0f, argb, 0, t.left, t.top},
  };
  return draw_add_indexed(QUAD_INDICES, 6, v, 4);
}

int ui_draw_rect(float x, float y, float width, float height, const UiColour* colour) {
  return ui_draw_quad(x, y, width, height, colour, &UI_FULL_TEXTURE);
}

void ui_draw_bind(int32_t texture) {
  if (texture == g_batch.texture) return;
  ui_draw_flush();
  g_batch.texture = texture;
}

int32_t ui_draw_bound(void) { return g_batch.texture; }

void ui_draw_flush(void) {
  if (!g_batch.open) return;
  g_batch.open = false;
  if (draw_vertex_count() == 0) return;
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  draw_set_texture(g_batch.texture);
  draw_set_blend(BLEND_ALPHA);
  draw_set_flags(DRAW_SCREEN_SPACE | DRAW_BLEND | (g_batch.texture ? DRAW_TEXTURE : 0u));
  draw_flush(nullptr);
  draw_primitives(PRIM_TRIANGLES);
  draw_reset();
}
