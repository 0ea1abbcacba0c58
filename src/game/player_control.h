#pragma once
// Player control: each frame, the key and mouse input becomes the local player's motion
// record (motion state, direction byte, heading, movement direction and speed), the way out
// of a seated state, the swimming pitch, following another player and the start of a jump.
//
// Axes: forward +1 from the forward key, the third mouse button or the first two buttons
// together, -1 from the backward key, 0 for both. Auto-run keeps forward at +1 until any
// backward input or a new forward press (a forward key already held when auto-run started
// ends it only once released and pressed again). While the second or third button is held the
// mouse steers: the heading turns towards the camera yaw at the turning rate and never lags
// more than 45 degrees, and the turn keys strafe. Turning runs at 150 degrees a second after a
// linear 0.08 s ramp; a heading change without the turning-in-place bit adds a turning bit
// to the direction. Speeds are the character's own (swim, halved backward; walk; run, two
// thirds backward) x 5. Main thread only; nothing happens without a local player.
#include <cstdint>

#include "game/components.h"
#include "game/game_objects.h"
#include "world/entity_world.h"

constexpr float PLAYER_TURN_RATE = 150.0f;  // degrees a second
constexpr float PLAYER_TURN_RAMP = 0.08f;   // seconds to full turning rate
constexpr float PLAYER_STEER_LAG = 45.0f;   // degrees the heading may trail the camera yaw
constexpr float PLAYER_JUMP_SPEED = 7.672027f;
constexpr float PLAYER_GRAVITY = 19.62f;
constexpr uint32_t PLAYER_FLAG_SEATED = 0x1000;

// The local player's records, looked up for the current frame.
struct LocalView {
  EntityWorld* world;
  uint32_t handle;
  uint32_t server_id;
  LocalPlayer* local;
  Transform* transform;
  MotionState* motion;
};
// 1 with every record of the live local player, else 0.
int player_local_view(LocalView* out);

// Resets the module's own state (auto-run, walk mode, following); called at start-up and when
// the world is replaced.
void player_control_reset(void);
void player_control_start(void);
void player_control_shutdown(void);
// Reads the input of this frame into the local player's motion record.
void player_control(float dt);
// Starts following the player with that server id (0 stops).
void player_follow(uint32_t server_id);
uint32_t player_follow_target(void);
int player_auto_running(void);
int player_walk_mode(void);
