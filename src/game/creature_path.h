#pragma once
// Creature movement: the server describes a short walk as a motion record (a target point
// and heading, then up to two further points); the creature follows the polyline from where
// it stands at its walk, run or swim speed (x 5), turning towards the path's heading, and is
// put on the ground under each path point through the zone trace. Without a path it turns
// towards its target heading. Object flag 0x40 freezes it. Also the per-frame idle timers
// (blink and idle variants) and the status-effect countdown of creatures and players.
//
// The ground is found through a zone-trace function installed by the collision code; until
// then every trace answers "no hit" and path points keep their own height. Main thread only.
#include <cstdint>

#include "game/game_objects.h"
#include "world/entity_world.h"

// Traces the zone from `from` to `to`; 1 with the hit point in *hit, else 0.
typedef int (*ZoneTraceFn)(Vec3 from, Vec3 to, Vec3* hit);
// Installs the trace (null: back to "no hit").
void creature_set_zone_trace(ZoneTraceFn trace);

// Path building and evaluation, on the record alone.
void creature_path_build(CreaturePath* path, const Vec3* points, int32_t count);
// The point at distance d along the path (d < 0 reads as 0) and the heading of its segment
// (degrees). Answers 1 while the path goes on, 0 when d reached its end (or it has fewer than
// two points). A segment of no length has no heading: *heading is then left alone.
int creature_path_evaluate(const CreaturePath* path, float d, Vec3* position, float* heading);

// set_motion's work: targets, the placement of a far creature (>= 8 units) at point a, and a
// new path from where it stands through b (and c when it differs from b).
void creature_start_motion(EntityWorld* world, uint32_t handle, Creature* creature,
                           const MotionRecord* motion);
// A path from where the creature stands straight to `target`.
void creature_start_path_to(EntityWorld* world, uint32_t handle, Creature* creature, Vec3 target);

// Per frame: path following and turning (creature_step), idle timers and status countdown.
void creature_step(EntityWorld* world, uint32_t handle, float dt);
// The blink step (held at 3 while frozen or asleep) and the idle-variant timer, which requests
// a variant after 5 .. 25 s of an unchanged animation state.
void idle_tick(EntityWorld* world, uint32_t handle, float dt);
// Counts the remaining times of the 24 entries down by dt, not below 0.
void status_effects_tick(Creature* creature, float dt);

// The blink timing shared with the character preview: waits `*interval`, then steps 1..6 at 30
// steps a second and draws a new interval of 1.5 .. 2.0 s.
void blink_advance(float* interval, float* timer, int32_t* step, float dt);
