#include "game/player_frames.h"

#include "game/creature_path.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "game/movement.h"
#include "game/object_effects.h"
#include "game/player_camera.h"
#include "game/player_control.h"
#include "game/player_physics.h"
#include "game/world_queries.h"
#include "game/zone_props.h"
#include "platform/clock.h"
#include "scene/water.h"
#include "scene/zone_collision.h"
#include "scene/zone_stream.h"

// The zone's collision queries answer the camera, the water state, the creatures' ground
// probe and the models' light; the zone's props take part through its prop tree.
void player_input_setup(void) {
  world_queries_install(nullptr, nullptr, nullptr);
  props_set_source(zone_props_boxes);
  creature_set_zone_trace(zone_trace_point);
  model_bounds_set_light_source(zone_light_sample);
}
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
// A zone without a grid of cells has no static world to stand on: there the player keeps
// moving over flat ground at its own height.
void player_physics_frame(void) {
  if (zone_stream_has_grid())
    movement_frame(frame_delta());
  else
    player_physics_step(frame_delta());
  game_objects_frame(frame_delta());
}
void camera_place_frame(void) { camera_update(frame_delta()); }
void player_water_frame(void) { water_state_update(); }
