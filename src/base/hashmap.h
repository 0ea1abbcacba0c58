#pragma once
// HashMap: open-addressing map from caller-owned keys to pointers, with the hash and
// equality functions chosen at creation. Capacity, growth, probing and iteration follow
// IntMap (slot = hash & (capacity - 1)). A null key is never stored. The string map used by
// settings and INI documents pairs string_hash_fnv with string_equal.
#include <cstdint>

#include "base/array.h"

typedef uint32_t (*HashFn)(const void* key);
// 0 when the two keys are equal.
typedef int (*EqualFn)(const void* a, const void* b);

struct HashMap {
  uint32_t capacity;
  uint32_t count;
  const void** keys;
  void** values;
  uint8_t* used;
  HashFn hash;
  EqualFn equal;
};

HashMap* hashmap_create(uint32_t capacity_hint, EqualFn equal, HashFn hash);
// Calls release_key then release_value for each used slot in slot order, then frees.
void hashmap_destroy(HashMap* map, ReleaseFn release_key, ReleaseFn release_value);
void hashmap_clear(HashMap* map, ReleaseFn release_key, ReleaseFn release_value);
// 1 inserted; 0 when an equal key is present (nothing changes) or the key is null.
int hashmap_insert(HashMap* map, const void* key, void* value);
void* hashmap_find(const HashMap* map, const void* key);
int hashmap_contains(const HashMap* map, const void* key);
// Slot index of the key, or -1 when absent.
int64_t hashmap_slot(const HashMap* map, const void* key);

// Equality for zero-terminated strings: 0 when equal byte for byte.
int string_equal(const void* a, const void* b);
// string_hash_fnv taking an untyped key, for hashmap_create.
uint32_t string_key_hash(const void* key);
