#include "game/game_world.h"

#include <cstdint>

#include "base/intmap.h"
#include "game/components.h"
#include "game/name_table.h"

static EntityWorld* g_world;
static IntMap* g_by_server_id;  // server id -> handle and its generation (see as_entry)
static IntMap* g_by_secondary;  // secondary id -> server id
static GameWorldListener g_listeners[GAME_WORLD_MAX_LISTENERS];
static int g_listener_count;

// Secondary-map values are the server ids themselves; a secondary id mapped to server id 0
// reads as unknown, which is what id 0 is.
static void* as_value(uint32_t v) { return (void*)(uintptr_t)v; }
static uint32_t from_value(void* p) { return (uint32_t)(uintptr_t)p; }

// A server-id entry holds the handle in its low half and the index's generation at
// registration in its high half: the entry names its entity only while that index was not
// freed since, which one read of the space's sparse map shows. Handles are never 0, so an
// entry never reads as absent.
static_assert(sizeof(void*) == 8, "server-id entries carry handle and generation in one value");
struct ServerIdEntry {
  uint32_t handle, generation;
};
static void* as_entry(uint32_t handle, uint32_t generation) {
  return (void*)(uintptr_t)((uint64_t)generation << 32 | handle);
}
static ServerIdEntry entry_of(const void* value) {
  uint64_t v = (uint64_t)(uintptr_t)value;
  return {(uint32_t)v, (uint32_t)(v >> 32)};
}
static ServerIdEntry find_entry(uint32_t server_id) {
  return entry_of(g_by_server_id ? intmap_find(g_by_server_id, server_id) : nullptr);
}

// The entry still names the entity it was made for: alive, and its index not freed since.
static bool entry_current(ServerIdEntry entry) {
  int alive;
  uint32_t generation = entity_generation(g_world, entry.handle, &alive);
  return entry.handle && alive && generation == entry.generation;
}

static void ensure_maps(void) {
  if (!g_by_server_id) g_by_server_id = intmap_create(256);
  if (!g_by_secondary) g_by_secondary = intmap_create(64);
}

EntityWorld* game_world(void) { return g_world; }

void game_world_replace(EntityWorld* world) {
  EntityWorld* old = g_world;
  g_world = world;
  if (old != world) world_destroy(old);
  if (g_by_server_id) intmap_clear(g_by_server_id, nullptr);
  if (g_by_secondary) intmap_clear(g_by_secondary, nullptr);
  name_table_reset();
  // A listener may unsubscribe itself while being told.
  GameWorldListener listeners[GAME_WORLD_MAX_LISTENERS];
  int count = g_listener_count;
  for (int i = 0; i < count; i++) listeners[i] = g_listeners[i];
  for (int i = 0; i < count; i++) listeners[i](world);
}

int game_world_listen(GameWorldListener listener) {
  if (!listener || g_listener_count == GAME_WORLD_MAX_LISTENERS) return 0;
  for (int i = 0; i < g_listener_count; i++)
    if (g_listeners[i] == listener) return 0;
  g_listeners[g_listener_count++] = listener;
  return 1;
}

void game_world_unlisten(GameWorldListener listener) {
  for (int i = 0; i < g_listener_count; i++) {
    if (g_listeners[i] != listener) continue;
    for (int j = i + 1; j < g_listener_count; j++) g_listeners[j - 1] = g_listeners[j];
    g_listener_count--;
    return;
  }
}

void game_world_shutdown(void) {
  world_destroy(g_world);
  g_world = nullptr;
  intmap_destroy(g_by_server_id, nullptr);
  intmap_destroy(g_by_secondary, nullptr);
  g_by_server_id = nullptr;
  g_by_secondary = nullptr;
  name_table_shutdown();
  g_listener_count = 0;
}

int entity_register_id(uint32_t server_id, uint32_t handle) {
  int alive;
  uint32_t generation = entity_generation(g_world, handle, &alive);
  if (!alive) return 0;
  ensure_maps();
  uint32_t previous = entity_by_id(server_id);
  if (previous == handle) return 1;
  if (previous) entity_remove_by_id(server_id);
  ServerId* id = (ServerId*)entity_component(g_world, COMPONENT_SERVER_ID, handle);
  // An entity answers to one server id: the entry of the id it had before goes.
  if (id && id->id != server_id) {
    ServerIdEntry old = find_entry(id->id);
    if (old.handle == handle && old.generation == generation) intmap_take(g_by_server_id, id->id);
  }
  intmap_take(g_by_server_id, server_id);
  intmap_insert(g_by_server_id, server_id, as_entry(handle, generation));
  if (id) id->id = server_id;
  return 1;
}

int object_register_secondary(uint32_t secondary_id, uint32_t server_id) {
  if (secondary_id == 0) return 0;
  ensure_maps();
  intmap_take(g_by_secondary, secondary_id);
  intmap_insert(g_by_secondary, secondary_id, as_value(server_id));
  return 1;
}

uint32_t entity_by_id(uint32_t server_id) {
  ServerIdEntry entry = find_entry(server_id);
  return entry_current(entry) ? entry.handle : 0;
}

// The first of the layered components from `first` to 22 that the entity has. Every movement,
// update and removal message comes through here, and a look-up is a chain of loads (map
// slot, sparse slot, pool) that the processor overlaps across messages only while each
// link is short: so the walk leans on what registration guarantees. An entry exists only
// for an entity of the current world that was alive when registered (replacing the world
// empties the map), so its space exists and its index is within the space's capacity,
// which never shrinks; whether the index was freed since, the generation beside the row
// tells in the same read as the row.
static inline void* layered_record(uint32_t server_id, uint32_t first) {
  const IntMap* map = g_by_server_id;
  if (!map) return nullptr;
  ServerIdEntry entry = entry_of(intmap_find_hashed(map, server_id, intmap_hash(map, server_id)));
  if (!entry.handle) return nullptr;
  const EntitySpace* space = g_world->spaces[entity_space_of(entry.handle)];
  if (!space->sparse) return nullptr;  // a space without pools has no records
  EntitySlot slot = space->sparse[entity_index_of(entry.handle)];
  if (slot.generation != entry.generation || slot.row < 0) return nullptr;
  for (uint32_t type = first; type <= COMPONENT_LOCAL_PLAYER; type++) {
    if (const ComponentPool* pool = space->pools[type]) return pool_at(pool, (uint32_t)slot.row);
  }
  return nullptr;
}

GameObject* object_by_id(uint32_t server_id) {
  return (GameObject*)layered_record(server_id, COMPONENT_GAME_OBJECT);
}

GameObject* object_by_secondary(uint32_t secondary_id) {
  if (!g_by_secondary || secondary_id == 0) return nullptr;
  void* server_id = intmap_find(g_by_secondary, secondary_id);
  return server_id ? object_by_id(from_value(server_id)) : nullptr;
}

Creature* creature_by_id(uint32_t server_id) {
  return (Creature*)layered_record(server_id, COMPONENT_CREATURE);
}

PlayerCharacter* player_by_id(uint32_t server_id) {
  return (PlayerCharacter*)layered_record(server_id, COMPONENT_PLAYER_CHARACTER);
}

LocalPlayer* local_by_id(uint32_t server_id) {
  return (LocalPlayer*)layered_record(server_id, COMPONENT_LOCAL_PLAYER);
}

uint32_t local_player_id(void) {
  ComponentPool* pool = space_pool(world_space(g_world, SPACE_LOCAL_PLAYER), COMPONENT_SERVER_ID);
  if (!pool || pool->dense_count == 0) return 0;
  return ((const ServerId*)pool_at(pool, 0))->id;
}

uint32_t object_target_kind(uint32_t server_id) {
  const GameObject* object = object_by_id(server_id);
  if (!object) return 0;
  uint32_t a = (uint32_t)object->attr_a;
  bool flag26 = object->flags & (1u << 26);
  if ((a & (1u << 9)) && !flag26) return 512;
  if (a & (1u << 12)) return 4096;
  if (a & (1u << 13)) return 8192;
  if (a & (1u << 11)) return 2048;
  if (a & (1u << 14)) return 16384;
  if ((a & (1u << 10)) && flag26) return 1024;
  return a & 32;
}

void entity_remove_by_id(uint32_t server_id) {
  ServerIdEntry entry = find_entry(server_id);
  if (!entry.handle) return;
  const GameObject* object = object_by_id(server_id);
  // Another object may have taken the secondary id over since; its entry stays.
  if (object && object->secondary_id && g_by_secondary &&
      from_value(intmap_find(g_by_secondary, object->secondary_id)) == server_id)
    intmap_take(g_by_secondary, object->secondary_id);
  intmap_take(g_by_server_id, server_id);
  if (entry_current(entry)) entity_destroy(g_world, entry.handle);
}

uint32_t game_world_id_count(void) { return g_by_server_id ? g_by_server_id->count : 0; }
uint32_t game_world_secondary_count(void) { return g_by_secondary ? g_by_secondary->count : 0; }
