#include "support/harness_window.h"

#include <cstdio>

#include "platform/message_source.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_device.h"
#include "render/render.h"

namespace {
// Declines, so the display-lists backend is the one taken.
int no_arrays(Window*, RenderBackend*) { return 0; }
}  // namespace

int harness_window_open(Window* window, int32_t width, int32_t height, const char* title, bool arrays) {
  if (!window_create(window, width, height, 0, 0, DISPLAY_WINDOWED, -1, 0, title) ||
      !window_set_display_mode(window)) {
    printf("FAIL window\n");
    return 0;
  }
  window_place_and_show(window);
  window_pump_messages(window, nullptr);
  RenderBackendInits inits = {
      gl_pixel_format, arrays ? gl_arrays_init : no_arrays, gl_lists_init, nullptr, nullptr, nullptr};
  render_set_backend_inits(&inits);
  if (!render_install(window, 0)) {
    printf("FAIL install\n");
    return 0;
  }
  return 1;
}
