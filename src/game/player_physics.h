#pragma once
// The local player's movement where the zone has no static world (no grid of cells, so
// nothing to stand on): position += velocity x dt at the player's own height, and a jump that
// rises and falls back to its starting height after its flight time (2 x jump speed /
// gravity); then the movement report. Zones with cells move the player through movement.h.
// Main thread only.

void player_physics_step(float dt);
