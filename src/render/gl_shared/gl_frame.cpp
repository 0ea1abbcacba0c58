#include "render/gl_shared/gl_frame.h"

#include "platform/gl_context.h"
#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_screenshot.h"
#include "render/gl_shared/gl_state.h"

namespace {

void store_viewport(int x, int y, int width, int height) {
  g_gl.Viewport(x, y, width, height);
  int* v = g_gl_shared.viewport;
  v[0] = x;
  v[1] = y;
  v[2] = width;
  v[3] = height;
}

const char* gl_text(GLenum which) {
  const char* text = (const char*)g_gl.GetString(which);
  return text ? text : "";
}

}  // namespace

int gl_frame_scene(void) { return 1; }

int gl_frame_present(void) {
  GlShared* s = &g_gl_shared;
  if (s->vsync_on) g_gl.Finish();
  // Served from the frame just drawn, before the swap leaves the back buffer undefined.
  gl_screenshot_serve();
  return gl_context_system()->swap(s->window);
}

void gl_frame_clear(float red, float green, float blue, uint32_t flags) {
  gl_state_enable(GL_ITEM_SCISSOR, 1);
  gl_state_scissor(g_gl_shared.viewport);
  bool colour = flags & CLEAR_COLOUR, depth = flags & CLEAR_DEPTH;
  GLbitfield bits = 0;
  if (colour) {
    gl_state_colour_mask(1);
    g_gl.ClearColor(red, green, blue, 1);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (depth) {
    gl_state_depth_mask(1);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (bits) g_gl.Clear(bits);
  gl_state_enable(GL_ITEM_SCISSOR, 0);
}

int gl_frame_vsync_supported(void) {
  GlShared* s = &g_gl_shared;
  if (!s->vsync_known) {
    s->vsync_supported = gl_context_system()->swap_control_supported();
    s->vsync_known = 1;
  }
  return s->vsync_supported;
}

int gl_frame_set_vsync(int on) {
  if (!gl_frame_vsync_supported()) return 0;
  int result = gl_context_system()->set_swap_interval(on ? 1 : 0);
  g_gl_shared.vsync_on = on;
  return result;
}

void gl_frame_set_viewport(int x, int y, int width, int height) {
  const int* v = g_gl_shared.viewport;
  if (width == 0 || height == 0) return;
  if (v[0] == x && v[1] == y && v[2] == width && v[3] == height) return;
  store_viewport(x, y, width, height);
}

void gl_frame_resize(int width, int height) {
  const int* v = g_gl_shared.viewport;
  if (width == 0 || height == 0) return;
  if (v[0] == 0 && v[1] == 0 && v[2] == width && v[3] == height) return;
  store_viewport(0, 0, width, height);
}

uint64_t gl_frame_get_size(void) {
  const int* v = g_gl_shared.viewport;
  return (uint64_t)(uint32_t)v[3] << 32 | (uint32_t)v[2];
}

const char* gl_frame_renderer_name(void) { return gl_text(GL_RENDERER); }
const char* gl_frame_vendor_name(void) { return gl_text(GL_VENDOR); }
const char* gl_frame_version_name(void) { return gl_text(GL_VERSION); }
