// The interface module's slots in the game-module lists: set-up, start, the per-frame
// declaring and resolving, shut-down. The frame only declares and resolves; the frame's
// interface layer draws the list afterwards.
#include "ui/ui_module.h"

#include "render/render.h"
#include "ui/frontend.h"
#include "ui/ui.h"

void ui_setup(void) { frontend_setup(); }

void ui_start(void) {
  ui_widgets_startup();
  frontend_start();
}

void ui_frame(void) {
  uint64_t size = render_get_size();
  int32_t width = (int32_t)(uint32_t)size, height = (int32_t)(size >> 32);
  ui_begin_frame(0, width, height);
  frontend_frame();
  ui_end_frame();
}

void ui_shutdown(void) {
  frontend_shutdown();
  ui_widgets_shutdown();
}
