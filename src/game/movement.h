#pragma once
// The local player's movement through the zone: an upright capsule integrated at a fixed 60
// ticks a second, each tick cut into eight sub-moves resolved against the loaded cells and the
// solid props with a recursive collide-and-slide; steps up ledges of up to 0.3, stays on the
// ground down slopes and stairs, falls under gravity, tracks the airborne state, and shows a
// position interpolated between the last two ticks. Then the movement report. Main thread
// only; nothing is allocated while moving.
#include <cstdint>

#include "game/components.h"

struct MovementConstants {
  double tick;               // the accumulator's step, seconds
  float tick_move;           // the same as the moves use it
  double accumulator_cap;    // a longer frame is simulated as this long
  int sub_moves;             // per tick
  int slide_depth_limit;     // a slide call this deep does nothing
  float push_out;            // added to every penetration pushed out of
  float step_height;         // climbed without a jump
  float walkable;            // cos 45 degrees: normal.y / length at least this
  float upward;              // normal.y above this counts as upward
  float ceiling;             // normal.y below this counts as a ceiling
  float head_on;             // a move this straight into a wall stops
  float gravity;             // units / s^2
  float terminal;            // the fastest fall, units / s
  float ledge_step;          // the ledge probe's move per try
  float ledge_accept;        // how far the ledge probe may take the player
  float probe_radius;        // the ground test's ring of downward traces
  float snap_depth;          // how far the player is kept on the ground below
  float still;               // a tick moving less than this did not move
};
constexpr MovementConstants MOVEMENT = {
    0.016666666666666666, 0.016666668f, 0.25, 8, 6, 0.0001f, 0.3f, 0.70710677f, 0.05f, -0.05f, -0.99f,
    19.62f, 53.0f, 0.03125f, 0.3f, 0.2f, 0.3f, 0.001f};

// The per-frame step of the local player (slot 11 of the frame list), with the frame's dt.
// Nothing moves while the cell under the player is not ready.
void movement_frame(float dt);

// One fixed tick of the local player (exposed for the fuzz target and tests).
void movement_tick(void);

// The landing bookkeeping of the airborne record.
void airborne_track(AirborneRecord* record, int32_t state, float y, float dt);
