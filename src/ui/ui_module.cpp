// The interface module's slots in the game-module lists: set-up, start, the per-frame
// declaring and resolving, shut-down. The frame only declares and resolves; the frame's
// interface layer draws the list afterwards.
#include "ui/ui_module.h"

#include "input/input.h"
#include "net/dispatch.h"
#include "platform/clock.h"
#include "game/zone_loading.h"
#include "render/render.h"
#include "ui/chat.h"
#include "ui/chat_frame.h"
#include "ui/chat_layout.h"
#include "ui/frontend.h"
#include "ui/screens.h"
#include "ui/ui.h"

namespace {
int32_t g_frame_width;
// The in-game frame: the chat's windows (the game windows and the HUD join here).
void ui_game_frame(void) { chat_declare(g_frame_width); }
}  // namespace

void ui_setup(void) {
  screens_install();
  frontend_setup();
}

void ui_start(void) {
  ui_widgets_startup();
  chat_startup();
  chat_install_effects(net_effects());
  frontend_set_game_frame(ui_game_frame);
  frontend_set_background(zone_background);  // zone 2 again behind the login and character screens
  screens_install_effects(net_effects());
  frontend_start();
  frontend_set_state(FRONTEND_LOGIN);  // the login screen restores the remembered account
}

void ui_frame(void) {
  uint64_t size = render_get_size();
  int32_t width = (int32_t)(uint32_t)size, height = (int32_t)(size >> 32);
  // The chat key and macros act before the windows declare, so a chat line opened this frame
  // is there when the input line draws; a focused field of another window keeps the key. The
  // front-end screens own Enter for themselves: the chat exists only in the game world.
  if (frontend_in_game()) chat_frame_keys(frame_delta(), input_text_focused());
  g_frame_width = width;
  ui_begin_frame(0, width, height);
  frontend_frame();
  ui_end_frame();
}

void ui_shutdown(void) {
  frontend_shutdown();
  screens_remove_effects(net_effects());
  chat_remove_effects(net_effects());
  chat_shutdown();
  ui_widgets_shutdown();
}
