#pragma once
// Zone environment: how far the camera sees and where fog starts, the colours of fog, light
// and clouds, the light's direction and the body in the sky, kept in the current world's
// environment entity (space 2, ZoneEnvironment) and recomputed once per frame from the
// clip-distance setting, the zone's cell size, the camera, the window and a world clock that
// runs eight times faster than real time.
//
// The far distance follows the clip-distance level 0..9: level 4 is the zone's nominal far
// distance with its nominal fog start, lower levels shrink both in proportion down to the
// zone's minimum, higher levels grow the far distance up to the zone's maximum and keep the
// fog's depth. A degenerate range (fog start equal to the far distance) falls back to a
// far distance interpolated by level / 9 with fog from 0. The far distance is then capped
// where a ray through a corner of the view reaches six cells (skipped for a zero-height
// window or a zero cell size) and kept above the camera's near plane.
//
// Zone 4 has a running day; zone 2 is always midnight; every other zone is always noon.
//
// Every accessor finds the environment afresh (there is none without a world, a live
// environment entity or its component) and answers zeros when there is none; no handle is
// kept across frames. Main thread only, except env_view_distance_for_level, which only reads
// the record it is given.
#include <cstdint>

#include "game/components.h"
#include "net/dispatch.h"

// Fills a record from the zone file's values: base colour, value 1 (minimum far distance),
// the far distance (maximum), values 2 and 3 (nominal fog start and far distance), the word
// (flags) and the grid's cell size. Distances are truncated to integers with saturation;
// non-finite values read as 0; colour channels are kept within 0..1. Everything computed, the level and the
// clock start at 0.
void env_record_init(ZoneEnvironment* record, const float colour[3], float value_1, float far_distance,
                     float value_2, float value_3, uint32_t word, uint32_t cell_size);

// The far distance for the current clip-distance setting, stored in the record as its view
// level; the fog start goes to start_out when given.
float env_view_distance(ZoneEnvironment* record, float* start_out);
// The same for a given level, reading nothing else (for the zone loader's worker).
float env_view_distance_for_level(const ZoneEnvironment* record, int32_t level, float* start_out);

// The per-frame step (the environment slot of the frame's module list).
void env_update(void);
// Replaces the world clock: milliseconds x 0.001, wrapped into one day.
void env_set_clock(int32_t milliseconds);
// The world-clock message's effect: the server's time of day in milliseconds.
void env_on_world_clock(const NetEvent* event, const MsgInt* record);

// The current world's record, or null.
ZoneEnvironment* env_record(void);
// Fog colour (0..1), start and end, each optional. In a liquid volume: the volume's colour x
// the light colour, from 0 to 24 units.
void env_fog(float colour[3], float* start, float* end);
// The light direction x 127, rounded, when the flags word is exactly 2; else zeros.
void env_light_direction(int8_t out[3]);
// Blue, green, red, 255: the light colour x 255, rounded (x the volume colour in a liquid
// volume); all zero without an environment.
void env_light_colour(uint8_t out[4]);
// CELESTIAL_*, with its elevation and azimuth in degrees (each optional).
int32_t env_celestial(float* elevation, float* azimuth);
// 1 when the frame clears the colour buffer with the fog colour: always in a liquid volume,
// else the flags' first bit; 0 without an environment.
int env_clears_colour(void);
// 1 when the second cloud layer is not drawn (the detailed-sky setting is off); 0 without a
// world.
int env_second_cloud_layer_off(void);
