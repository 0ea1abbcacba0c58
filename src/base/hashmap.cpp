#include "base/hashmap.h"

#include <cstring>

#include "base/fatal.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/strings.h"

static void hashmap_alloc_slots(HashMap* map, uint32_t capacity) {
  map->capacity = capacity;
  map->keys = (const void**)mem_calloc(capacity, sizeof(void*));
  map->values = (void**)mem_calloc(capacity, sizeof(void*));
  map->used = (uint8_t*)mem_calloc(capacity, 1);
}

HashMap* hashmap_create(uint32_t capacity_hint, EqualFn equal, HashFn hash) {
  HashMap* map = (HashMap*)mem_alloc(sizeof(HashMap));
  map->count = 0;
  map->hash = hash;
  map->equal = equal;
  hashmap_alloc_slots(map, map_capacity_for_hint(capacity_hint));
  return map;
}

static void hashmap_release_all(HashMap* map, ReleaseFn release_key, ReleaseFn release_value) {
  for (uint32_t i = 0; i < map->capacity; i++) {
    if (!map->used[i]) continue;
    if (release_key) release_key((void*)map->keys[i]);
    if (release_value) release_value(map->values[i]);
  }
}

void hashmap_destroy(HashMap* map, ReleaseFn release_key, ReleaseFn release_value) {
  if (!map) return;
  hashmap_release_all(map, release_key, release_value);
  mem_free(map->keys);
  mem_free(map->values);
  mem_free(map->used);
  mem_free(map);
}

void hashmap_clear(HashMap* map, ReleaseFn release_key, ReleaseFn release_value) {
  if (!map) return;
  hashmap_release_all(map, release_key, release_value);
  memset(map->used, 0, map->capacity);
  memset(map->keys, 0, (size_t)map->capacity * sizeof(void*));
  memset(map->values, 0, (size_t)map->capacity * sizeof(void*));
  map->count = 0;
}

int64_t hashmap_slot(const HashMap* map, const void* key) {
  if (!map || !key) return -1;
  uint32_t mask = map->capacity - 1;
  uint32_t slot = map->hash(key) & mask;
  while (map->used[slot]) {
    if (map->equal(map->keys[slot], key) == 0) return slot;
    slot = (slot + 1) & mask;
  }
  return -1;
}

static void hashmap_place(HashMap* map, const void* key, void* value) {
  uint32_t mask = map->capacity - 1;
  uint32_t slot = map->hash(key) & mask;
  while (map->used[slot]) slot = (slot + 1) & mask;
  map->used[slot] = 1;
  map->keys[slot] = key;
  map->values[slot] = value;
}

int hashmap_insert(HashMap* map, const void* key, void* value) {
  if (!map || !key) return 0;
  if (hashmap_slot(map, key) >= 0) return 0;
  if (map_needs_growth(map->capacity, map->count)) {
    HashMap old = *map;
    if (old.capacity > 0x80000000u) fatal_exit("Out of memory - the application will now close.");
    hashmap_alloc_slots(map, old.capacity * 2);
    for (uint32_t i = 0; i < old.capacity; i++)
      if (old.used[i]) hashmap_place(map, old.keys[i], old.values[i]);
    mem_free(old.keys);
    mem_free(old.values);
    mem_free(old.used);
  }
  hashmap_place(map, key, value);
  map->count++;
  return 1;
}

void* hashmap_find(const HashMap* map, const void* key) {
  int64_t slot = hashmap_slot(map, key);
  return slot < 0 ? nullptr : map->values[slot];
}

int hashmap_contains(const HashMap* map, const void* key) { return hashmap_slot(map, key) >= 0; }

int string_equal(const void* a, const void* b) { return string_compare((const char*)a, (const char*)b); }

uint32_t string_key_hash(const void* key) { return string_hash_fnv((const char*)key); }
