#pragma once
// Interface drawing: UI space to the renderer's screen-space batch.
//
// UI space is integer pixels of the current frame (ui_draw_set_frame), origin bottom-left, y
// up. A corner (x, y) goes to normalised device coordinates (2x / width - 1, 2y / height - 1)
// at depth -1 with w 1. Quads are batched in the one draw record; a batch holds one texture
// (0: none) and goes out when the texture changes (ui_draw_bind), when its indices would run
// out, or at ui_draw_flush; the draw record holds it only during the flush. Each flush sets the whole draw
// state (screen space, alpha blending, the texture flag only with a texture; no depth, cull or fog), draws
// and resets the record, so whatever drew before and after keeps its own state.
//
// Colours are four floats in 0..1; each channel becomes a byte as channel x 255 rounded half
// away from zero, held in 0..255 (NaN as 0). A texture rectangle is left u, bottom v, right u,
// top v. Until a frame size is set nothing is emitted. Main thread only.
#include <cstdint>

struct UiColour {
  float r, g, b, a;
};

struct UiTexRect {
  float left, bottom, right, top;
};

// x, y, width, height in UI pixels; a width or height of 0 (or below) means no clipping.
struct UiClip {
  int32_t x, y, width, height;
};

constexpr UiTexRect UI_FULL_TEXTURE = {0, 0, 1, 1};

// Start-up and shut-down of the interface drawing state (the nine-patch registry and the
// draw list's entries), with the platform.
void ui_draw_startup(void);
void ui_draw_shutdown(void);

// The frame's size in UI pixels.
void ui_draw_set_frame(int32_t width, int32_t height);
// Null: no clipping.
void ui_draw_set_clip(const UiClip* clip);

// 0xAARRGGBB of a colour.
uint32_t ui_colour_argb(const UiColour* colour);

// Skips the quad (answering 0) when width or height is not above 0, |alpha| <= 0.0001 or the
// clip leaves nothing of it. A clipped edge moves the texture rectangle's matching edge in
// proportion. 1 when the quad was emitted.
int ui_draw_quad(float x, float y, float width, float height, const UiColour* colour, const UiTexRect* tex);
// The same with the colour already in bytes (callers that draw many quads in one colour);
// no alpha test.
int ui_draw_quad_argb(float x, float y, float width, float height, uint32_t argb, const UiTexRect* tex);
// A quad over the full texture rectangle.
int ui_draw_rect(float x, float y, float width, float height, const UiColour* colour);

// Flushes the batch when the texture differs from the batch's, then makes it the batch's.
void ui_draw_bind(int32_t texture);
int32_t ui_draw_bound(void);
void ui_draw_flush(void);
