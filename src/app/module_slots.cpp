#include "app/module_slots.h"

#include "audio/game_sound.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "game/object_effects.h"
#include "input/input.h"
#include "input/keybind.h"
#include "input/mouse.h"
#include "net/dispatch.h"
#include "platform/clock.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/frame.h"
#include "scene/zone_stream.h"
#include "settings/settings.h"
#include "ui/ui_draw_list.h"

// The input layer cannot see the game world, so its world-reset listener lives here.
static void input_on_world_reset(EntityWorld*) {
  input_reset();
  keybind_reset();
}

void defcache_setup(void) {}
void ui_icons_setup(void) {}
void keybindings_setup(void) { keybind_init(); }
void lights_setup(void) {}
// The interface sound asks for the current world through this query (audio sits below game).
static int sound_world_query(uint32_t* tag_out) {
  EntityWorld* world = game_world();
  if (!world) return 0;
  *tag_out = world->tag;
  return 1;
}
void game_sound_setup(void) {
  sound_set_world_query(sound_world_query);
  sound_apply_settings();
}
void effects_setup(void) {}
// The frame's interface item: the interface sits above the frame, so it is installed here.
static void draw_interface(void) { ui_draw_list(nullptr); }

void frame_layers_setup(void) {
  frame_startup();
  frame_set_interface_draw(draw_interface);
  net_effects()->world_clock = env_on_world_clock;
}

void keybindings_start(void) {
  keybind_start();
  game_world_listen(input_on_world_reset);
}
// Until cursor images exist this slot only hands the mouse its sensitivity.
void cursor_start(void) { mouse_set_sensitivity(setting_mouse_sensitivity()); }
void lights_start(void) {}
void game_sound_start(void) {}
void effects_start(void) {}
void combat_text_start(void) {}
void world_labels_start(void) {}

void mouse_frame(void) { mouse_update(); }
void input_frame(void) { input_update(); }
void keybindings_frame(void) { keybind_frame(); }
void zone_cells_frame(void) { zone_stream_update(); }
void cursor_frame(void) {}
void environment_frame(void) { env_update(); }
void lights_frame(void) {}
void game_sound_frame(void) {}
void animation_frame(void) {}
void prop_textures_frame(void) {}
void effects_frame(void) {}
void combat_text_frame(void) {}
void healthbars_frame(void) {}
void world_labels_frame(void) {}
void model_bounds_frame(void) { model_bounds_update(game_world(), frame_delta()); }
void frame_draw_and_present(Window* window) { frame_render(window); }

void frame_layers_shutdown(void) {
  frame_set_interface_draw(nullptr);
  frame_shutdown();
}
void effects_shutdown(void) {}
void game_sound_shutdown(void) {}
void lights_shutdown(void) {}
void keybindings_shutdown(void) {
  game_world_unlisten(input_on_world_reset);
  keybind_shutdown();
}
void defcache_shutdown(void) {}
