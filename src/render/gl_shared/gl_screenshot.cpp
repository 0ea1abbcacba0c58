#include "render/gl_shared/gl_screenshot.h"

#include <cstring>

#include "base/mem.h"
#include "render/gl_shared/gl_device.h"
#include "render/screenshot.h"

namespace {

struct Queue {
  char paths[GL_SCREENSHOT_QUEUE][GL_SCREENSHOT_PATH];
  uint32_t count;
};
Queue g_queue;

// The viewport as R5 G6 B5 words, bottom row first; null when there is nothing to read.
uint16_t* read_frame(int* width_out, int* height_out) {
  const int* v = g_gl_shared.viewport;
  int width = v[2], height = v[3];
  if (width < 1 || height < 1) return nullptr;
  uint64_t count = (uint64_t)width * (uint64_t)height;
  uint8_t* rgb = (uint8_t*)mem_alloc((size_t)(count * 3));
  GLint alignment = 4;
  g_gl.GetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  g_gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
  g_gl.ReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  g_gl.PixelStorei(GL_PACK_ALIGNMENT, alignment);
  uint16_t* pixels = (uint16_t*)mem_alloc((size_t)(count * 2));
  for (uint64_t i = 0; i < count; i++) pixels[i] = render_rgb565(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  mem_free(rgb);
  *width_out = width;
  *height_out = height;
  return pixels;
}

// Empties the queue into taken before anyone is told: a listener may ask for the next frame.
uint32_t take_queue(Queue* taken) {
  *taken = g_queue;
  g_queue.count = 0;
  return taken->count;
}

}  // namespace

int gl_screenshot_request(const char* path) {
  if (!path || !path[0] || g_queue.count >= GL_SCREENSHOT_QUEUE) return 0;
  size_t length = strlen(path);
  if (length >= GL_SCREENSHOT_PATH) return 0;
  memcpy(g_queue.paths[g_queue.count++], path, length + 1);
  return 1;
}

void gl_screenshot_serve(void) {
  if (g_queue.count == 0) return;
  static Queue taken;
  uint32_t count = take_queue(&taken);
  int width = 0, height = 0;
  uint16_t* pixels = read_frame(&width, &height);
  for (uint32_t i = 0; i < count; i++) {
    // Rows as read: bottom row first, as the file stores them.
    int written = pixels ? render_bmp_write(taken.paths[i], width, height, pixels) : 0;
    render_screenshot_done(taken.paths[i], written);
  }
  if (pixels) mem_free(pixels);
}

void gl_screenshot_fail_pending(void) {
  static Queue taken;
  uint32_t count = take_queue(&taken);
  for (uint32_t i = 0; i < count; i++) render_screenshot_done(taken.paths[i], 0);
}

uint32_t gl_screenshot_pending(void) { return g_queue.count; }
