#include "base/intmap.h"

#include <cstring>

#include "base/fatal.h"
#include "base/mem.h"

uint32_t map_capacity_for_hint(uint32_t hint) {
  if (hint == 0) return 32;
  if (hint > 0x80000000u) fatal_exit("Out of memory - the application will now close.");
  uint32_t capacity = 1;
  while (capacity < hint) capacity <<= 1;
  return capacity;
}

static void intmap_alloc_slots(IntMap* map, uint32_t capacity) {
  map->capacity = capacity;
  map->keys = (uint32_t*)mem_calloc(capacity, sizeof(uint32_t));
  map->values = (void**)mem_calloc(capacity, sizeof(void*));
}

IntMap* intmap_create_seeded(uint32_t capacity_hint, uint32_t seed) {
  IntMap* map = (IntMap*)mem_alloc(sizeof(IntMap));
  map->count = 0;
  map->seed = seed;
  map->has_zero = 0;
  map->zero_value = nullptr;
  intmap_alloc_slots(map, map_capacity_for_hint(capacity_hint));
  return map;
}

IntMap* intmap_create(uint32_t capacity_hint) {
  IntMap* map = intmap_create_seeded(capacity_hint, 0);
  map->seed = hash_mix_secret(map);
  return map;
}

void intmap_each(const IntMap* map, IntMapVisit visit, void* context) {
  if (!map) return;
  if (map->has_zero) visit(0, map->zero_value, context);
  for (uint32_t i = 0; i < map->capacity; i++)
    if (map->keys[i]) visit(map->keys[i], map->values[i], context);
}

static void intmap_release_all(IntMap* map, ReleaseFn release_value) {
  if (!release_value) return;
  if (map->has_zero) release_value(map->zero_value);
  for (uint32_t i = 0; i < map->capacity; i++)
    if (map->keys[i]) release_value(map->values[i]);
}

void intmap_clear(IntMap* map, ReleaseFn release_value) {
  if (!map) return;
  intmap_release_all(map, release_value);
  memset(map->keys, 0, (size_t)map->capacity * sizeof(uint32_t));
  memset(map->values, 0, (size_t)map->capacity * sizeof(void*));
  map->has_zero = 0;
  map->zero_value = nullptr;
  map->count = 0;
}

void intmap_destroy(IntMap* map, ReleaseFn release_value) {
  if (!map) return;
  intmap_release_all(map, release_value);
  mem_free(map->keys);
  mem_free(map->values);
  mem_free(map);
}

// Slot holding a key other than 0, or capacity when absent.
static uint32_t intmap_slot_of(const IntMap* map, uint32_t key) {
  uint32_t mask = map->capacity - 1;
  for (uint32_t slot = intmap_home(map, key);; slot = (slot + 1) & mask) {
    if (map->keys[slot] == key) return slot;
    if (map->keys[slot] == 0) return map->capacity;
  }
}

static void intmap_place(IntMap* map, uint32_t key, void* value) {
  uint32_t mask = map->capacity - 1;
  uint32_t slot = intmap_home(map, key);
  while (map->keys[slot]) slot = (slot + 1) & mask;
  map->keys[slot] = key;
  map->values[slot] = value;
}

int intmap_contains(const IntMap* map, uint32_t key) {
  if (!map) return 0;
  if (key == 0) return map->has_zero != 0;
  return intmap_slot_of(map, key) != map->capacity;
}

int intmap_insert(IntMap* map, uint32_t key, void* value) {
  if (!map || intmap_contains(map, key)) return 0;
  // Key 0 counts towards growth like any other, so the table grows at the same sizes.
  if (map_needs_growth(map->capacity, map->count)) {
    IntMap old = *map;
    if (old.capacity > 0x80000000u) fatal_exit("Out of memory - the application will now close.");
    intmap_alloc_slots(map, old.capacity * 2);
    for (uint32_t i = 0; i < old.capacity; i++)
      if (old.keys[i]) intmap_place(map, old.keys[i], old.values[i]);
    mem_free(old.keys);
    mem_free(old.values);
  }
  if (key == 0) {
    map->has_zero = 1;
    map->zero_value = value;
  } else {
    intmap_place(map, key, value);
  }
  map->count++;
  return 1;
}

int intmap_remove(IntMap* map, uint32_t key, void** value_out) {
  if (value_out) *value_out = nullptr;
  if (!map || map->count == 0) return 0;
  if (key == 0) {
    if (!map->has_zero) return 0;
    if (value_out) *value_out = map->zero_value;
    map->has_zero = 0;
    map->zero_value = nullptr;
    map->count--;
    return 1;
  }
  uint32_t hole = intmap_slot_of(map, key);
  if (hole == map->capacity) return 0;
  if (value_out) *value_out = map->values[hole];
  uint32_t mask = map->capacity - 1;
  // Walk the rest of the cluster: an entry may move back into the hole when the hole lies
  // between its home and its current slot (cyclically).
  for (uint32_t p = (hole + 1) & mask; map->keys[p]; p = (p + 1) & mask) {
    uint32_t home = intmap_home(map, map->keys[p]);
    if (((p - home) & mask) >= ((p - hole) & mask)) {
      map->keys[hole] = map->keys[p];
      map->values[hole] = map->values[p];
      hole = p;
    }
  }
  map->keys[hole] = 0;
  map->values[hole] = nullptr;
  map->count--;
  return 1;
}

void* intmap_take(IntMap* map, uint32_t key) {
  void* value;
  intmap_remove(map, key, &value);
  return value;
}
