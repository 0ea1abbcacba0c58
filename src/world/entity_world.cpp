#include "world/entity_world.h"

#include <cstring>

#include "base/mem.h"

// One past the largest index: the alive array and sparse maps never need to be longer.
static constexpr uint64_t SPACE_CAPACITY_LIMIT = (uint64_t)ENTITY_INDEX_MAX + 1;

static void fill_minus_one(int32_t* values, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; i++) values[i] = -1;
}

static void fill_unmapped(EntitySlot* slots, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; i++) slots[i] = {-1, 0};
}

EntityWorld* world_create(uint32_t tag) {
  EntityWorld* world = (EntityWorld*)mem_calloc(1, sizeof(EntityWorld));
  world->tag = tag;
  return world;
}

static void pool_destroy_all(ComponentPool* pool) {
  if (pool->release) {
    for (uint32_t j = 0; j < pool->dense_count; j++) pool->release(pool_at(pool, j));
  }
  mem_free(pool->dense);
  mem_free(pool);
}

static void space_destroy(EntitySpace* space) {
  for (uint32_t i = 0; i < space->pool_count; i++) pool_destroy_all(space->ordered[i]);
  mem_free(space->alive);
  mem_free(space->dense_entity);
  mem_free(space->sparse);
  mem_free(space->free_stack);
  mem_free(space);
}

void world_destroy(EntityWorld* world) {
  if (!world) return;
  for (uint32_t s = 0; s < WORLD_SPACE_COUNT; s++) {
    if (world->spaces[s]) space_destroy(world->spaces[s]);
  }
  mem_free(world);
}

EntitySpace* world_create_space(EntityWorld* world, uint32_t number, uint32_t capacity) {
  if (!world || number >= WORLD_SPACE_COUNT || world->spaces[number]) return nullptr;
  uint64_t indices = capacity == 0 ? SPACE_DEFAULT_CAPACITY : (uint64_t)capacity + 1;
  if (indices > SPACE_CAPACITY_LIMIT) indices = SPACE_CAPACITY_LIMIT;
  EntitySpace* space = (EntitySpace*)mem_calloc(1, sizeof(EntitySpace));
  space->number = (uint8_t)number;
  space->next_index = 1;
  space->capacity = (uint32_t)indices;
  space->alive = (uint8_t*)mem_calloc(indices, 1);
  world->spaces[number] = space;
  return space;
}

EntitySpace* world_space(const EntityWorld* world, uint32_t number) {
  if (!world) return nullptr;
  return world->spaces[number & 0xFF];
}

int space_register_component(EntitySpace* space, uint32_t type, uint32_t element_size, ReleaseFn release) {
  if (!space || type >= WORLD_COMPONENT_TYPES || space->pools[type] || space->next_index > 1) return 0;
  ComponentPool* pool = (ComponentPool*)mem_calloc(1, sizeof(ComponentPool));
  pool->type = type;
  pool->element_size = element_size;
  pool->release = release;
  if (space->pool_count == 0) {
    space->dense_capacity = space->capacity;
    space->dense_entity = (int32_t*)mem_alloc((size_t)space->capacity * sizeof(int32_t));
    space->sparse = (EntitySlot*)mem_alloc((size_t)space->capacity * sizeof(EntitySlot));
    fill_minus_one(space->dense_entity, 0, space->capacity);
    fill_unmapped(space->sparse, 0, space->capacity);
  }
  pool->dense_capacity = space->dense_capacity;
  pool->sparse_capacity = space->capacity;
  pool->dense = (uint8_t*)mem_calloc(space->dense_capacity, element_size ? element_size : 1);
  pool->dense_entity = space->dense_entity;
  pool->sparse = space->sparse;
  space->pools[type] = pool;
  space->ordered[space->pool_count++] = pool;
  space->component_mask[type / 32] |= 1u << (type % 32);
  return 1;
}

ComponentPool* space_pool(const EntitySpace* space, uint32_t type) {
  if (!space || type >= WORLD_COMPONENT_TYPES) return nullptr;
  return space->pools[type];
}

int space_has_components(const EntitySpace* space, const uint32_t* types, uint32_t count) {
  if (!space) return 0;
  for (uint32_t i = 0; i < count; i++) {
    if (types[i] >= WORLD_COMPONENT_TYPES ||
        !(space->component_mask[types[i] / 32] & (1u << (types[i] % 32))))
      return 0;
  }
  return 1;
}

uint32_t space_entity_count(const EntitySpace* space) {
  if (!space) return 0;
  if (space->pool_count) return space->ordered[0]->dense_count;
  // A space without pools still tracks its live entities through the alive flags.
  return space->next_index - 1 - space->free_depth;
}

// Doubles the index capacity (alive flags and every sparse map), capped at 2^24.
static void space_grow(EntitySpace* space) {
  uint64_t grown = (uint64_t)space->capacity * 2;
  if (grown > SPACE_CAPACITY_LIMIT) grown = SPACE_CAPACITY_LIMIT;
  uint32_t old = space->capacity, now = (uint32_t)grown;
  space->alive = (uint8_t*)mem_realloc(space->alive, now);
  memset(space->alive + old, 0, now - old);
  if (space->pool_count) {
    space->sparse = (EntitySlot*)mem_realloc(space->sparse, (size_t)now * sizeof(EntitySlot));
    fill_unmapped(space->sparse, old, now);
  }
  for (uint32_t i = 0; i < space->pool_count; i++) {
    space->ordered[i]->sparse = space->sparse;
    space->ordered[i]->sparse_capacity = now;
  }
  space->capacity = now;
}

// Doubles the room for rows in the shared slot array and every pool's elements.
static void space_grow_rows(EntitySpace* space) {
  uint32_t old = space->dense_capacity;
  uint64_t grown = old ? (uint64_t)old * 2 : 8;
  if (grown > SPACE_CAPACITY_LIMIT) grown = SPACE_CAPACITY_LIMIT;
  uint32_t now = (uint32_t)grown;
  space->dense_entity = (int32_t*)mem_realloc(space->dense_entity, (size_t)now * sizeof(int32_t));
  fill_minus_one(space->dense_entity, old, now);
  space->dense_capacity = now;
  for (uint32_t i = 0; i < space->pool_count; i++) {
    ComponentPool* pool = space->ordered[i];
    size_t element = pool->element_size ? pool->element_size : 1;
    pool->dense = (uint8_t*)mem_realloc(pool->dense, (size_t)now * element);
    pool->dense_entity = space->dense_entity;
    pool->dense_capacity = now;
  }
}

uint32_t entity_create(EntityWorld* world, uint32_t space_number) {
  EntitySpace* space = world && space_number < WORLD_SPACE_COUNT ? world->spaces[space_number] : nullptr;
  if (!space) return 0;
  uint32_t index;
  if (space->free_depth > 0) {
    index = space->free_stack[--space->free_depth];
  } else {
    if (space->next_index > ENTITY_INDEX_MAX) return 0;
    index = space->next_index++;
    if (index >= space->capacity) space_grow(space);
  }
  space->alive[index] = 1;
  if (space->pool_count) {
    uint32_t slot = space->ordered[0]->dense_count;
    if (slot == space->dense_capacity) space_grow_rows(space);
    for (uint32_t i = 0; i < space->pool_count; i++) {
      ComponentPool* pool = space->ordered[i];
      memset(pool_at(pool, slot), 0, pool->element_size);
      pool->dense_count = slot + 1;
    }
    space->dense_entity[slot] = (int32_t)index;
    space->sparse[index].row = (int32_t)slot;
  }
  return (uint32_t)space->number << 24 | index;
}

int entity_destroy(EntityWorld* world, uint32_t handle) {
  uint32_t index;
  EntitySpace* space = entity_live_space(world, handle, &index);
  if (!space) return 0;
  space->alive[index] = 0;
  if (space->pool_count) {
    // The last row moves into the hole in every pool at once.
    uint32_t j = (uint32_t)space->sparse[index].row;
    uint32_t last = space->ordered[0]->dense_count - 1;
    for (uint32_t i = 0; i < space->pool_count; i++) {
      ComponentPool* pool = space->ordered[i];
      if (pool->release) pool->release(pool_at(pool, j));
    }
    for (uint32_t i = 0; i < space->pool_count; i++) {
      ComponentPool* pool = space->ordered[i];
      if (j != last) memcpy(pool_at(pool, j), pool_at(pool, last), pool->element_size);
      pool->dense_count = last;
    }
    if (j != last) {
      int32_t moved = space->dense_entity[last];
      space->dense_entity[j] = moved;
      space->sparse[moved].row = (int32_t)j;
    }
    space->dense_entity[last] = -1;
    space->sparse[index].row = -1;
    space->sparse[index].generation++;
  }
  if (space->free_depth == space->free_capacity) {
    space->free_capacity = space->free_capacity ? space->free_capacity * 2 : 16;
    space->free_stack =
        (uint32_t*)mem_realloc(space->free_stack, (size_t)space->free_capacity * sizeof(uint32_t));
  }
  space->free_stack[space->free_depth++] = index;
  return 1;
}
