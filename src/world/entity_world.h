#pragma once
// Entity world: every game entity of one zone, in up to 256 entity spaces. A space is a table
// whose rows are entities and whose columns are component pools (up to 96 types, 0..95), all
// registered before the space's first entity. Each pool is a sparse set: a dense element
// array kept in the same row order in every pool of the space, a dense-slot -> entity-index
// array and a sparse entity-index -> dense-slot map indexed directly by entity index. As the
// rows agree, the pools of a space share one pair of index arrays (owned by the space).
//
// Handles are (space << 24) | index; index 0 is never handed out, so handle 0 means "none".
// Freed indices are reused last-freed-first and handles carry no generation: a stale handle
// names whichever entity reuses its index. Beside each index's row the space counts how
// often the index was freed, so a holder that kept (handle, entity_generation) can tell its
// entity from a later one in one read (the server-id map does; plain handles do not). Destroying an entity
// moves the last dense element of every pool into its slot, so element addresses and dense slots stay valid
// only until the next creation or destruction in that space.
//
// Limits: index capacity grows by doubling up to 2^24 (indices 1..0xFFFFFF); creation beyond
// that fails with 0. Invalid arguments are answered with 0 or null. Allocation failure is
// fatal (mem.h). Main thread only; a world built elsewhere must be handed over whole.
#include <cstddef>
#include <cstdint>

#include "base/array.h"

constexpr uint32_t WORLD_SPACE_COUNT = 256;
constexpr uint32_t WORLD_COMPONENT_TYPES = 96;
constexpr uint32_t ENTITY_INDEX_MAX = 0xFFFFFFu;
// Indices a space created with capacity 0 starts with.
constexpr uint32_t SPACE_DEFAULT_CAPACITY = 32;

static inline uint32_t entity_space_of(uint32_t handle) { return handle >> 24; }
static inline uint32_t entity_index_of(uint32_t handle) { return handle & ENTITY_INDEX_MAX; }

// What the sparse map holds per entity index: the row and, in the same read, how many times
// the index was freed.
struct EntitySlot {
  int32_t row;  // dense slot in every pool of the space, -1 for none
  uint32_t generation;
};

struct ComponentPool {
  uint32_t type;
  uint32_t element_size;
  uint8_t* dense;         // dense_count elements of element_size bytes
  int32_t* dense_entity;  // dense slot -> entity index, -1 for unused slots (the space's)
  uint32_t dense_capacity;
  uint32_t dense_count;
  EntitySlot* sparse;  // entity index -> dense slot (the space's)
  uint32_t sparse_capacity;
  ReleaseFn release;  // called with an element's address before it is removed, or null
};

struct EntitySpace {
  uint8_t number;
  uint32_t component_mask[3];  // bit t of the 96 set when type t is registered
  uint32_t next_index;         // indices ever handed out + 1
  uint8_t* alive;              // one byte per index, 1 = alive
  uint32_t capacity;           // indices (alive and sparse maps are this long)
  uint32_t* free_stack;
  uint32_t free_depth;
  uint32_t free_capacity;
  ComponentPool* pools[WORLD_COMPONENT_TYPES];    // by component type
  ComponentPool* ordered[WORLD_COMPONENT_TYPES];  // in registration order
  uint8_t pool_count;
  // The index arrays every pool points to, from the first registration on (a space without
  // pools has neither, and its indices stay at generation 0).
  int32_t* dense_entity;
  EntitySlot* sparse;
  uint32_t dense_capacity;
};

struct EntityWorld {
  uint32_t tag;  // the game stores the id of the zone the world was built for
  EntitySpace* spaces[WORLD_SPACE_COUNT];
};

EntityWorld* world_create(uint32_t tag);
// Releases every stored element of every pool (release functions), then frees everything.
void world_destroy(EntityWorld* world);
// Null when the space exists or the number is above 255. Capacity 0 gives 32 indices, any
// other capacity + 1 (index 0 is never used), at most 2^24.
EntitySpace* world_create_space(EntityWorld* world, uint32_t number, uint32_t capacity);
// The number is taken modulo 256.
EntitySpace* world_space(const EntityWorld* world, uint32_t number);

// 1 registered; 0 for a type above 95, a type already registered or a space that has
// already created an entity.
int space_register_component(EntitySpace* space, uint32_t type, uint32_t element_size, ReleaseFn release);
ComponentPool* space_pool(const EntitySpace* space, uint32_t type);
// 1 when every listed type has a pool in the space (for iterating systems).
int space_has_components(const EntitySpace* space, const uint32_t* types, uint32_t count);
// Live entities of the space (the dense count shared by every pool).
uint32_t space_entity_count(const EntitySpace* space);

// New entity with a zero-filled element in every pool of the space; 0 when the space does
// not exist or its 2^24 - 1 indices are all in use.
uint32_t entity_create(EntityWorld* world, uint32_t space_number);
// 1 when an alive entity was destroyed; 0 otherwise.
int entity_destroy(EntityWorld* world, uint32_t handle);
// Element at a dense slot (no range check beyond dense_count), for iterating code.
static inline void* pool_at(const ComponentPool* pool, uint32_t slot) {
  return pool->dense + (size_t)slot * pool->element_size;
}

// Inline from here on: every message and frame looks entities up by handle.

// The space of a handle naming an alive entity (its index in *index_out), else null.
static inline EntitySpace* entity_live_space(const EntityWorld* world, uint32_t handle, uint32_t* index_out) {
  if (!world || handle == 0) return nullptr;
  EntitySpace* space = world->spaces[entity_space_of(handle)];
  uint32_t index = entity_index_of(handle);
  if (!space || index >= space->capacity || !space->alive[index]) return nullptr;
  *index_out = index;
  return space;
}

static inline int entity_alive(const EntityWorld* world, uint32_t handle) {
  uint32_t index;
  return entity_live_space(world, handle, &index) != nullptr;
}

// How many times the index of an alive entity was freed before (0 in a space without pools),
// or 0 with *alive_out 0 when the handle names no alive entity.
static inline uint32_t entity_generation(const EntityWorld* world, uint32_t handle, int* alive_out) {
  uint32_t index;
  EntitySpace* space = entity_live_space(world, handle, &index);
  *alive_out = space != nullptr;
  return space && space->sparse ? space->sparse[index].generation : 0;
}

// The dense slot the entity occupies in every pool of its space (*space_out set), or -1 when
// the handle names no alive entity, the index was freed since it was at `generation`, or the
// space has no pools. The sparse map alone answers: its row is -1 for every index that is
// free or was never handed out.
static inline int32_t entity_row(const EntityWorld* world, uint32_t handle, uint32_t generation,
                                 EntitySpace** space_out) {
  if (!world) return -1;
  EntitySpace* space = world->spaces[entity_space_of(handle)];
  uint32_t index = entity_index_of(handle);
  if (!space || index >= space->capacity || !space->sparse) return -1;
  EntitySlot slot = space->sparse[index];
  if (slot.generation != generation) return -1;
  *space_out = space;
  return slot.row;
}

// Element of an entity index in this pool, or null.
static inline void* pool_element(const ComponentPool* pool, uint32_t entity_index) {
  if (!pool || entity_index >= pool->sparse_capacity) return nullptr;
  int32_t j = pool->sparse[entity_index].row;
  if (j < 0) return nullptr;
  return pool_at(pool, (uint32_t)j);
}

// Address of the entity's element of that type, or null.
static inline void* entity_component(const EntityWorld* world, uint32_t type, uint32_t handle) {
  uint32_t index;
  EntitySpace* space = entity_live_space(world, handle, &index);
  if (!space || type >= WORLD_COMPONENT_TYPES) return nullptr;
  return pool_element(space->pools[type], index);
}
