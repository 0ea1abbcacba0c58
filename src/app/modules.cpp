#include "app/modules.h"

#include "app/module_slots.h"
#include "base/event_bus.h"
#include "game/object_effects.h"
#include "net/net.h"
#include "platform/clock.h"

void game_modules_init(void) {
  defcache_setup();
  ui_skin_setup();
  ui_icons_setup();
  frame_clock_reset();
  zone_loading_setup_locks();
  zone_cells_setup();
  net_init();
  keybindings_setup();
  window_manager_setup();
  ui_setup();
  player_input_setup();
  lights_setup();
  game_sound_setup();
  effects_setup();
  frame_layers_setup();
  zone_loading_setup_requests();

  keybindings_start();
  cursor_start();
  window_manager_start();
  ui_start();
  player_input_start();
  lights_start();
  game_sound_start();
  effects_start();
  combat_text_start();
  world_labels_start();
  game_objects_start();
}

// Input events posted during the message drain are dispatched in slot 24, after the input
// state has run, so modules see them one frame later.
void game_modules_frame(Window* window) {
  frame_clock_tick();
  mouse_frame();
  input_frame();
  keybindings_frame();
  zone_cells_frame();
  net_frame();
  cursor_frame();
  ui_frame();
  camera_attach_frame();
  player_input_frame();
  player_physics_frame();
  camera_place_frame();
  environment_frame();
  player_water_frame();
  lights_frame();
  game_sound_frame();
  animation_frame();
  prop_textures_frame();
  effects_frame();
  combat_text_frame();
  healthbars_frame();
  world_labels_frame();
  model_bounds_frame();
  event_dispatch();
  frame_draw_and_present(window);
  zone_loading_frame();
}

void game_modules_shutdown(void) {
  game_objects_shutdown();
  frame_layers_shutdown();
  effects_shutdown();
  game_sound_shutdown();
  lights_shutdown();
  ui_shutdown();
  keybindings_shutdown();
  net_shutdown();
  zone_loading_shutdown();
  defcache_shutdown();
}
