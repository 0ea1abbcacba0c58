#pragma once
// The local player's entries of the start-up and per-frame module lists, in frame order:
// camera attachment check, mouse look then control, movement (then the other characters),
// camera placement, and, after the environment, the water state the next frame reads.
// Their prototypes are also those of the composition root's list.

void player_input_setup(void);
void player_input_start(void);
void camera_attach_frame(void);
void player_input_frame(void);
void player_physics_frame(void);
void camera_place_frame(void);
void player_water_frame(void);
