#pragma once
// Spawning the server's game objects into the current world: objects (space 10), creatures
// (9), other players (8) and the local player (7). A spawn creates the entity with its
// transform, model and, for characters, motion state and position history (players also a
// movement track), registers the server id (a repeated id replaces the earlier entity), then
// makes the same slot calls the update messages make, in a fixed order: id, attribute a,
// flags, appearance, attributes b..d, names, listed; the status-effect halves; the blink
// interval; for characters the targets, motion, health, speeds and values a..c; for players
// the five player values; for the local player its pair. Objects then take their secondary
// id. A local player replaces any earlier local player, whatever its id.
//
// Every spawn answers the new handle, or 0 when there is no world (the message is ignored).
// Main thread only.
#include <cstdint>

#include "net/messages.h"

uint32_t spawn_object(const SpawnObject* spawn);
uint32_t spawn_creature(const SpawnCharacter* spawn);
uint32_t spawn_player(const SpawnCharacter* spawn);
// Also fills the local player's lists (local_lists.h).
uint32_t spawn_local_player(const SpawnCharacter* spawn);
