#pragma once
// The third-person camera that follows the local player: mouse look, swing-back behind a
// moving player, zoom, pitch recentring, pull-in in front of walls and the view build.
//
// The camera entity (space 1) keeps its position and its rotation (x pitch, y yaw, degrees)
// in its Transform; this module keeps the handle and server id of the player it follows and
// drops them when the world is replaced or the player is removed. Distances are 0 .. 15,
// pitch -65 .. 80; the stored values are read back at attach (a value that is not finite
// reads as 0) and written back every frame. Main thread only.
#include <cstdint>

constexpr float CAMERA_DISTANCE_MAX = 15.0f;
constexpr float CAMERA_PITCH_MIN = -65.0f;
constexpr float CAMERA_PITCH_MAX = 80.0f;
constexpr float CAMERA_RECENTRE_PITCH = 6.0f;
constexpr float CAMERA_RECENTRE_RATE = 60.0f;  // degrees a second
constexpr float CAMERA_WALL_GAP = 0.2f;        // kept between the camera and a wall
// The look-at point stays within this on every axis: a player placed absurdly far away (any
// finite position is accepted from the server) would otherwise give a view of infinities.
constexpr float CAMERA_WORLD_LIMIT = 16777216.0f;

// Listens for world replacement; shutdown stops listening and detaches.
void player_camera_start(void);
void player_camera_shutdown(void);
// Starts following the entity (the local player) from the stored pitch and distance.
void camera_follow(uint32_t handle);
void camera_detach(void);
// The entity followed, 0 when detached (a removed or replaced player is let go here).
uint32_t camera_followed(void);
// Mouse look and pitch recentring; before player control, which steers by the yaw.
void camera_look(float dt);
// After the player moved: swing-back, zoom, look-at point, pull-in and the view of the
// camera entity.
void camera_update(float dt);

float camera_yaw(void);
// Turns the camera pitch by the angle, within the limits.
void camera_add_pitch(float degrees);
float camera_desired_distance(void);
float camera_actual_distance(void);
int camera_recentring(void);
// The look-at point of the last update.
void camera_look_at(float out[3]);
