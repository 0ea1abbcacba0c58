#pragma once
// The local player's movement until zone collision exists: position += velocity x dt at the
// player's own height, and a jump that rises and falls back to its starting height after its
// flight time (2 x jump speed / gravity); then the movement report. The collision code
// replaces this step with the real physics. Main thread only.

void player_physics_step(float dt);
