#pragma once
// Remote movement: other players move by a stream of compact samples (position, heading,
// motion state and direction bytes) that is buffered and played back a little behind the
// newest sample. The delay adapts: arrival intervals of regular samples give an average
// (0.05 .. 0.5 s) and a jitter, and playback runs at 0.75 .. 1.25 times real time to keep
// jitter + 1.5 x average behind the newest stamp. A sample more than 2 units from the newest
// one restarts the buffer; 0.5 s without samples shows the character standing.
//
// The track functions work on the record alone (the entity's current position and heading are
// passed in and handed back), so they run without a world; move_sample and move_playback are
// the entity forms. Main thread only.
#include <cstdint>

#include "game/components.h"
#include "world/entity_world.h"

// Regular samples enter the interval statistics; extra ones are stamped between.
enum : int32_t { MOVE_MODE_REGULAR = 0, MOVE_MODE_EXTRA = 1 };

// The spawn values: empty buffer, average 0.1, no jitter, standing, no airborne animation.
void move_track_reset(MoveTrack* track);
// The spawn values of a character's motion state: 2.0, 0.5, 1.025, everything else 0.
void motion_state_reset(MotionState* motion);

// Feeds one sample (its stamp is ignored and assigned here). `position` and `heading` are where
// the entity stands now: a restarted buffer glides from there when it is within 2 units.
void move_track_sample(MoveTrack* track, Vec3 position, float heading, const MoveSample* sample,
                       int32_t mode);
// Advances playback by dt and writes the shown position and heading (left alone while the
// buffer is empty). Answers the motion state in effect; air_mode (optional) receives 1 when
// that state is jumping, 2 when falling, else 0.
uint8_t move_track_playback(MoveTrack* track, float dt, Vec3* position, float* heading, int32_t* air_mode);

// The entity forms: the entity's MoveTrack and Transform; nothing without them.
void move_sample(EntityWorld* world, uint32_t handle, const MoveSample* sample, int32_t mode);
uint8_t move_playback(EntityWorld* world, uint32_t handle, float dt, int32_t* air_mode);
