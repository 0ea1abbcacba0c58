#include "ui/ui_draw.h"

#include <cmath>
#include <cstring>

#include "base/mem.h"
#include "render/draw.h"
#include "ui/ninepatch.h"
#include "ui/ui_draw_list.h"

namespace {

// Quads are staged here and handed to draw submission in one indexed append per flush: one
// copy of the batch instead of a call per quad. A batch never passes what 16-bit indices
// address.
constexpr uint32_t BATCH_QUADS = DRAW_INDEXED_VERTEX_LIMIT / 4;

struct UiBatch {
  int32_t frame_width, frame_height;
  float sx, sy;  // pixels to device units
  UiClip clip;
  int32_t texture;
  RenderVertex* vertices;  // 4 per quad
  uint16_t* indices;       // the fixed pattern 0 1 2 0 2 3, 4 5 6 4 6 7, ...
  uint32_t quads, capacity;
};

UiBatch g_batch;

uint32_t channel_byte(float c) {
  if (!(c > 0)) return 0;
  if (c >= 1) return 255;
  return (uint32_t)std::lround(c * 255.0f);
}

void stage(float left, float bottom, float right, float top, uint32_t argb, const UiTexRect& t) {
  UiBatch& b = g_batch;
  if (b.quads == BATCH_QUADS) ui_draw_flush();
  if (b.quads == b.capacity) {
    uint32_t capacity = b.capacity ? b.capacity * 2 : 256;
    b.vertices = (RenderVertex*)mem_realloc(b.vertices, (size_t)capacity * 4 * sizeof(RenderVertex));
    b.indices = (uint16_t*)mem_realloc(b.indices, (size_t)capacity * 6 * sizeof(uint16_t));
    for (uint32_t q = b.capacity; q < capacity; q++) {
      const uint16_t first = (uint16_t)(q * 4);
      const uint16_t pattern[6] = {first, (uint16_t)(first + 1), (uint16_t)(first + 2),
                                   first, (uint16_t)(first + 2), (uint16_t)(first + 3)};
      memcpy(b.indices + (size_t)q * 6, pattern, sizeof pattern);
    }
    b.capacity = capacity;
  }
  float x0 = left * b.sx - 1.0f, x1 = right * b.sx - 1.0f, y0 = bottom * b.sy - 1.0f, y1 = top * b.sy - 1.0f;
  RenderVertex* v = b.vertices + (size_t)b.quads * 4;
  v[0] = RenderVertex{x0, y0, -1.0f, 1.0f, argb, 0, t.left, t.bottom};
  v[1] = RenderVertex{x1, y0, -1.0f, 1.0f, argb, 0, t.right, t.bottom};
  v[2] = RenderVertex{x1, y1, -1.0f, 1.0f, argb, 0, t.right, t.top};
  v[3] = RenderVertex{x0, y1, -1.0f, 1.0f, argb, 0, t.left, t.top};
  b.quads++;
}

}  // namespace

void ui_draw_startup(void) {
  ui_draw_shutdown();
  ninepatch_startup();
  ui_draw_list_startup();
}

void ui_draw_shutdown(void) {
  ui_draw_list_shutdown();
  ninepatch_shutdown();
  mem_free(g_batch.vertices);
  mem_free(g_batch.indices);
  g_batch = UiBatch{};
}

void ui_draw_set_frame(int32_t width, int32_t height) {
  g_batch.frame_width = width;
  g_batch.frame_height = height;
  g_batch.sx = width > 0 ? 2.0f / (float)width : 0.0f;
  g_batch.sy = height > 0 ? 2.0f / (float)height : 0.0f;
}

void ui_draw_set_clip(const UiClip* clip) { g_batch.clip = clip ? *clip : UiClip{}; }

uint32_t ui_colour_argb(const UiColour* c) {
  if (!c) return 0;
  return channel_byte(c->a) << 24 | channel_byte(c->r) << 16 | channel_byte(c->g) << 8 | channel_byte(c->b);
}

int ui_draw_quad(float x, float y, float width, float height, const UiColour* colour, const UiTexRect* tex) {
  if (!colour || !(std::fabs(colour->a) > 0.0001f)) return 0;
  return ui_draw_quad_argb(x, y, width, height, ui_colour_argb(colour), tex);
}

int ui_draw_quad_argb(float x, float y, float width, float height, uint32_t argb, const UiTexRect* tex) {
  if (!(width > 0) || !(height > 0)) return 0;
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
  stage(left, bottom, right, top, argb, t);
  return 1;
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
  UiBatch& b = g_batch;
  if (b.quads == 0) return;
  uint32_t quads = b.quads;
  b.quads = 0;
  draw_reset();
  if (!draw_add_indexed(b.indices, quads * 6, b.vertices, quads * 4)) return;
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  draw_set_texture(b.texture);
  draw_set_blend(BLEND_ALPHA);
  draw_set_flags(DRAW_SCREEN_SPACE | DRAW_BLEND | (b.texture ? DRAW_TEXTURE : 0u));
  draw_flush(nullptr);
  draw_primitives(PRIM_TRIANGLES);
  draw_reset();
}
