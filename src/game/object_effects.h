#pragma once
// The game objects' module: the message effects it owns (spawns, removal, compact movement and
// the object, creature, player, local and status-effect updates), installed into the net
// effect table by game_objects_start and cleared by game_objects_shutdown, and the per-frame
// step of remote characters. Every update is addressed to an entity and looked up here: an
// unknown id, an entity of the wrong kind, or a local-player message while there is no local
// player changes nothing. Main thread only.
#include <cstdint>

// Installs the effects and the world listener (init, after every module exists).
void game_objects_start(void);
// Clears this module's effects, the lists and the slot tables.
void game_objects_shutdown(void);
// Per frame, after the local player's movement: playback of other players, paths of
// creatures, idle timers and status countdowns of every character.
void game_objects_frame(float dt);
