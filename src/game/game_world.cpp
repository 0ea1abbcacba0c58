#include "game/game_world.h"

#include <cstdint>

#include "base/intmap.h"
#include "game/components.h"
#include "game/name_table.h"

static EntityWorld* g_world;
static IntMap* g_by_server_id;  // server id -> handle
static IntMap* g_by_secondary;  // secondary id -> server id
static GameWorldListener g_listeners[GAME_WORLD_MAX_LISTENERS];
static int g_listener_count;

// Map values are the numbers themselves. Handles are never 0; a secondary id mapped to
// server id 0 reads as unknown, which is what id 0 is.
static void* as_value(uint32_t v) { return (void*)(uintptr_t)v; }
static uint32_t from_value(void* p) { return (uint32_t)(uintptr_t)p; }

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
  if (!entity_alive(g_world, handle)) return 0;
  ensure_maps();
  uint32_t previous = entity_by_id(server_id);
  if (previous == handle) return 1;
  if (previous) entity_remove_by_id(server_id);
  intmap_take(g_by_server_id, server_id);
  intmap_insert(g_by_server_id, server_id, as_value(handle));
  if (ServerId* id = (ServerId*)entity_component(g_world, COMPONENT_SERVER_ID, handle)) id->id = server_id;
  return 1;
}

int object_register_secondary(uint32_t secondary_id, uint32_t server_id) {
  if (secondary_id == 0) return 0;
  ensure_maps();
  intmap_take(g_by_secondary, secondary_id);
  intmap_insert(g_by_secondary, secondary_id, as_value(server_id));
  return 1;
}

// A handle from the map still names the entity of this server id: alive, and its ServerId
// (where it has one) agrees. A handle whose index was reused by another entity does not.
static bool handle_owned_by(uint32_t handle, uint32_t server_id) {
  if (!entity_alive(g_world, handle)) return false;
  const ServerId* id = (const ServerId*)entity_component(g_world, COMPONENT_SERVER_ID, handle);
  return !id || id->id == server_id;
}

uint32_t entity_by_id(uint32_t server_id) {
  if (!g_by_server_id) return 0;
  uint32_t handle = from_value(intmap_find(g_by_server_id, server_id));
  return handle && handle_owned_by(handle, server_id) ? handle : 0;
}

// The first of the layered components from `first` to 22 that the entity has. Every pool of
// a space shares the entity's row, so one row look-up serves the id check and each type.
static void* layered_record(uint32_t server_id, uint32_t first) {
  if (!g_by_server_id) return nullptr;
  EntitySpace* space;
  int32_t row = entity_row(g_world, from_value(intmap_find(g_by_server_id, server_id)), &space);
  if (row < 0) return nullptr;
  const ComponentPool* ids = space->pools[COMPONENT_SERVER_ID];
  if (ids && ((const ServerId*)pool_at(ids, (uint32_t)row))->id != server_id) return nullptr;
  for (uint32_t type = first; type <= COMPONENT_LOCAL_PLAYER; type++) {
    if (const ComponentPool* pool = space->pools[type]) return pool_at(pool, (uint32_t)row);
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
  if (!g_by_server_id) return;
  uint32_t handle = from_value(intmap_find(g_by_server_id, server_id));
  if (!handle) return;
  const GameObject* object = object_by_id(server_id);
  // Another object may have taken the secondary id over since; its entry stays.
  if (object && object->secondary_id && g_by_secondary &&
      from_value(intmap_find(g_by_secondary, object->secondary_id)) == server_id)
    intmap_take(g_by_secondary, object->secondary_id);
  intmap_take(g_by_server_id, server_id);
  if (handle_owned_by(handle, server_id)) entity_destroy(g_world, handle);
}

uint32_t game_world_id_count(void) { return g_by_server_id ? g_by_server_id->count : 0; }
uint32_t game_world_secondary_count(void) { return g_by_secondary ? g_by_secondary->count : 0; }
