#pragma once
// Water surfaces and the camera's liquid state. The scene pass submits one item per visible
// water volume (layer 4, key 0); its drawing is empty until water is built.
//
// The water state, computed once per frame by water_state_update and read by player control,
// the camera, the movement reports and the environment's fog and light:
// - the local player's state: 0 dry, 1 in water too shallow to swim (the zone lies less than
//   0.75 x body height below the surface, or the feet are less deep than that), 2 in water,
//   3 under water (the head at or below the surface);
// - the water level: the highest top of the water volumes (kind-4 props) overlapping the
//   player's capsule, or the lowest float;
// - whether the camera's near-plane corners are inside a volume, and the liquid colour: the
//   bilinear colour of the volume's 9 x 9 grid at the point, or (0, 1, 1) while the grid is
//   not loaded.
// Only the near corners count: the far ones of a wide view would find a distant lake and
// tint the whole view. Main thread only.
#include <cstdint>

struct EntityWorld;

constexpr int WATER_GATHER_MAX = 16;
enum : int32_t { WATER_DRY = 0, WATER_SHALLOW = 1, WATER_IN = 2, WATER_UNDER = 3 };

// The 81 RGB triples (row by row along z, x fastest) of a colour grid asset, or null while
// it is not loaded or failed. Installed by the code that loads them (null: never loaded).
typedef const uint8_t* (*WaterColourGridFn)(uint32_t asset_id);
void water_set_colour_grid_source(WaterColourGridFn source);

void water_state_update(void);
int32_t water_state(void);
float water_level(void);
void water_liquid_colour(float out[3]);
// The colour of a volume's grid at the point (x, z); the grid null reads as (0, 1, 1).
void water_grid_colour(const uint8_t* grid, float min_x, float min_z, float max_x, float max_z, float x,
                       float z, float out[3]);

void water_draw(EntityWorld* world, const void* payload);

// 1 while the camera is in a liquid volume, writing the volume's colour when colour is not
// null; 0 otherwise (colour untouched).
int water_camera_in_liquid(float colour[3]);
// Records the state for the frame; a null colour reads as white.
void water_set_camera_in_liquid(int in_liquid, const float colour[3]);
