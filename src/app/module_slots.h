#pragma once
// The slot functions of the game-module lists. Those of modules still to be built are empty
// here and move to their module when it is written; the others call their module.

// The interface's own slots (ui, skin, window manager) live with it.
#include "ui/ui_module.h"
#include "ui/ui_skin.h"
#include "ui/window_manager.h"

struct Window;

// Init, phase 1 (set-up).
void defcache_setup(void);
void ui_icons_setup(void);
void zone_loading_setup_locks(void);
void zone_cells_setup(void);
void keybindings_setup(void);
void player_input_setup(void);
void lights_setup(void);
void game_sound_setup(void);
void effects_setup(void);
void frame_layers_setup(void);
void zone_loading_setup_requests(void);

// Init, phase 2 (start: subscriptions and registrations).
void keybindings_start(void);
void cursor_start(void);
void player_input_start(void);
void lights_start(void);
void game_sound_start(void);
void effects_start(void);
void combat_text_start(void);
void world_labels_start(void);

// Per frame.
void mouse_frame(void);
void input_frame(void);
void keybindings_frame(void);
void zone_cells_frame(void);
void cursor_frame(void);
void camera_attach_frame(void);
void player_input_frame(void);
void player_physics_frame(void);
void camera_place_frame(void);
void environment_frame(void);
void player_water_frame(void);
void lights_frame(void);
void game_sound_frame(void);
void animation_frame(void);
void prop_textures_frame(void);
void effects_frame(void);
void combat_text_frame(void);
void healthbars_frame(void);
void world_labels_frame(void);
void model_bounds_frame(void);
void frame_draw_and_present(Window* window);
void zone_loading_frame(void);

// Shut-down.
void frame_layers_shutdown(void);
void effects_shutdown(void);
void game_sound_shutdown(void);
void lights_shutdown(void);
void keybindings_shutdown(void);
void zone_loading_shutdown(void);
void defcache_shutdown(void);
