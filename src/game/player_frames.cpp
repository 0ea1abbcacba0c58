#include "game/player_frames.h"

#include "game/game_world.h"
#include "game/object_effects.h"
#include "game/player_camera.h"
#include "game/player_control.h"
#include "game/player_physics.h"
#include "game/world_queries.h"
#include "platform/clock.h"
#include "scene/water.h"

// Until the collision code installs its queries, traces miss and gathers find nothing.
void player_input_setup(void) { world_queries_install(nullptr, nullptr, nullptr); }
void player_input_start(void) {
  player_control_start();
  player_camera_start();
}
// A removed or replaced local player is let go before anything reads the camera.
void camera_attach_frame(void) { (void)camera_followed(); }
void player_input_frame(void) {
  camera_look(frame_delta());
  player_control(frame_delta());
}
void player_physics_frame(void) {
  player_physics_step(frame_delta());
  game_objects_frame(frame_delta());
}
void camera_place_frame(void) { camera_update(frame_delta()); }
void player_water_frame(void) { water_state_update(); }
