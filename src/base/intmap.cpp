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
  map->slots = (IntMapSlot*)mem_calloc(capacity, sizeof(IntMapSlot));
}

IntMap* intmap_create_seeded(uint32_t capacity_hint, uint32_t seed) {
  IntMap* map = (IntMap*)mem_alloc(sizeof(IntMap));
  map->count = 0;
  map->seed = seed;
  intmap_alloc_slots(map, map_capacity_for_hint(capacity_hint));
  return map;
}

IntMap* intmap_create(uint32_t capacity_hint) {
  IntMap* map = intmap_create_seeded(capacity_hint, 0);
  map->seed = hash_mix_secret(map);
  return map;
}

void intmap_clear(IntMap* map, ReleaseFn release_value) {
  if (!map) return;
  if (release_value) {
    for (uint32_t i = 0; i < map->capacity; i++)
      if (map->slots[i].used) release_value(map->slots[i].value);
  }
  memset(map->slots, 0, (size_t)map->capacity * sizeof(IntMapSlot));
  map->count = 0;
}

void intmap_destroy(IntMap* map, ReleaseFn release_value) {
  if (!map) return;
  if (release_value) {
    for (uint32_t i = 0; i < map->capacity; i++)
      if (map->slots[i].used) release_value(map->slots[i].value);
  }
  mem_free(map->slots);
  mem_free(map);
}

// Slot holding key, or capacity when absent.
static uint32_t intmap_slot_of(const IntMap* map, uint32_t key) {
  uint32_t mask = map->capacity - 1;
  uint32_t slot = intmap_home(map, key);
  while (map->slots[slot].used) {
    if (map->slots[slot].key == key) return slot;
    slot = (slot + 1) & mask;
  }
  return map->capacity;
}

static void intmap_place(IntMap* map, uint32_t key, void* value) {
  uint32_t mask = map->capacity - 1;
  uint32_t slot = intmap_home(map, key);
  while (map->slots[slot].used) slot = (slot + 1) & mask;
  map->slots[slot] = {key, 1, value};
}

int intmap_insert(IntMap* map, uint32_t key, void* value) {
  if (!map) return 0;
  if (intmap_slot_of(map, key) != map->capacity) return 0;
  if (map_needs_growth(map->capacity, map->count)) {
    IntMap old = *map;
    if (old.capacity > 0x80000000u) fatal_exit("Out of memory - the application will now close.");
    intmap_alloc_slots(map, old.capacity * 2);
    for (uint32_t i = 0; i < old.capacity; i++)
      if (old.slots[i].used) intmap_place(map, old.slots[i].key, old.slots[i].value);
    mem_free(old.slots);
  }
  intmap_place(map, key, value);
  map->count++;
  return 1;
}

int intmap_contains(const IntMap* map, uint32_t key) {
  return map && intmap_slot_of(map, key) != map->capacity;
}

int intmap_remove(IntMap* map, uint32_t key, void** value_out) {
  if (value_out) *value_out = nullptr;
  if (!map || map->count == 0) return 0;
  uint32_t hole = intmap_slot_of(map, key);
  if (hole == map->capacity) return 0;
  if (value_out) *value_out = map->slots[hole].value;
  uint32_t mask = map->capacity - 1;
  // Walk the rest of the cluster: an entry may move back into the hole when the hole lies
  // between its home and its current slot (cyclically).
  for (uint32_t p = (hole + 1) & mask; map->slots[p].used; p = (p + 1) & mask) {
    uint32_t home = intmap_home(map, map->slots[p].key);
    if (((p - home) & mask) >= ((p - hole) & mask)) {
      map->slots[hole] = map->slots[p];
      hole = p;
    }
  }
  map->slots[hole] = {0, 0, nullptr};
  map->count--;
  return 1;
}

void* intmap_take(IntMap* map, uint32_t key) {
  void* value;
  intmap_remove(map, key, &value);
  return value;
}
