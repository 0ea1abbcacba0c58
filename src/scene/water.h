#pragma once
// Water surfaces and the camera's liquid state. The scene pass submits one item per visible
// water volume (layer 4, key 0); its drawing is empty until water is built.
//
// Whether the camera is inside a liquid volume, and that volume's colour (0..1 per channel),
// is set once per frame by the player's water step and read by the environment's fog and
// light. Nothing sets it yet, so it answers 0 until player control is built. Main thread
// only.
struct EntityWorld;

void water_draw(EntityWorld* world, const void* payload);

// 1 while the camera is in a liquid volume, writing the volume's colour when colour is not
// null; 0 otherwise (colour untouched).
int water_camera_in_liquid(float colour[3]);
// Records the state for the frame; a null colour reads as white.
void water_set_camera_in_liquid(int in_liquid, const float colour[3]);
