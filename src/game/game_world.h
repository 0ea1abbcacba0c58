#pragma once
// The current zone's entity world and the identifier maps kept beside it: server id ->
// entity handle and secondary id -> server id, plus the look-ups every game module uses to
// reach a server-controlled object. Look-ups answer null or 0 for an unknown id or a
// missing component.
//
// Replacing the world (game_world_replace) destroys the old one, empties both maps and the
// name intern table, then tells the listeners, so only what the server announces again
// exists. Registering a server id that is already known first removes the entity it named
// (a repeated spawn replaces the object). A secondary-id entry is removed with its object
// only while it still maps to that object. Main thread only.
#include <cstdint>

#include "game/game_objects.h"
#include "world/entity_world.h"

// Called after the world was replaced (the old world is already gone).
typedef void (*GameWorldListener)(EntityWorld* world);
constexpr int GAME_WORLD_MAX_LISTENERS = 16;

// The current world, or null before the first zone.
EntityWorld* game_world(void);
// Makes `world` current (may be null), destroying the previous one.
void game_world_replace(EntityWorld* world);
// 1 added; 0 when the list is full or the listener is already in it.
int game_world_listen(GameWorldListener listener);
void game_world_unlisten(GameWorldListener listener);
// Destroys the world, the maps and the name table, and forgets the listeners.
void game_world_shutdown(void);

// Maps server id -> handle and stores the id in the entity's ServerId component. An id
// that already names another entity removes that entity first, which moves elements in its
// space: fetch component addresses again after this call. 0 for a dead handle.
int entity_register_id(uint32_t server_id, uint32_t handle);
// Maps secondary id -> server id (secondary 0 is never registered; a later object with the
// same secondary id takes it over). 1 registered.
int object_register_secondary(uint32_t secondary_id, uint32_t server_id);

uint32_t entity_by_id(uint32_t server_id);
// The first of components 19, 20, 21, 22 the entity has.
GameObject* object_by_id(uint32_t server_id);
GameObject* object_by_secondary(uint32_t secondary_id);
// Components 20, 21, 22: creatures and players.
Creature* creature_by_id(uint32_t server_id);
// Components 21, 22: players.
PlayerCharacter* player_by_id(uint32_t server_id);
LocalPlayer* local_by_id(uint32_t server_id);
// ServerId of the first live entity of the local player's space, or 0.
uint32_t local_player_id(void);
// The interaction kind for cursors and highlights (first rule that matches): attr_a bit 9
// with flags bit 26 clear -> 512; bit 12 -> 4096; bit 13 -> 8192; bit 11 -> 2048; bit 14 ->
// 16384; bit 10 with flags bit 26 -> 1024; else attr_a & 32. 0 for an unknown id.
uint32_t object_target_kind(uint32_t server_id);
// Forgets the secondary id (when it maps to this object) and the server id, and destroys
// the entity. Unknown ids do nothing.
void entity_remove_by_id(uint32_t server_id);

// Entries in the two maps (for tests and statistics).
uint32_t game_world_id_count(void);
uint32_t game_world_secondary_count(void);
