#pragma once
// IntMap: open-addressing map from unsigned 32-bit keys to pointers. A key's home slot is
// hash_mix32(key ^ seed) masked with capacity - 1, where the seed is a secret drawn when the
// map is created: keys from a server or a file may share their low bits, by chance (handles
// differing in their space byte) or by design, and still spread over the table, so probe
// chains stay short whatever the keys are. Collisions probe linearly. Capacity is a power of
// two: the creation hint rounded up, hint 0 gives 32. An insert that would take the map past
// three-quarters full doubles it first, re-inserting in old slot order. Removal shifts later
// cluster members back (no tombstones). Iteration (intmap_each) is by slot, so its order
// differs from map to map. A stored null value cannot be told from absence by intmap_find.
#include <cstdint>

#include "base/array.h"
#include "base/hash_mix.h"

// Key 0 marks an empty slot, so a probe reads only the key array until it finds the key
// (then one value) or an empty slot; the key 0 itself is held beside the table. A small key
// array stays in the nearer caches where slots of key and value together would not.
struct IntMap {
  uint32_t capacity;
  uint32_t count;  // entries, key 0 included
  uint32_t* keys;  // capacity slots, 0 when empty
  void** values;   // beside keys
  uint32_t seed;
  uint32_t has_zero;  // 1 when key 0 is present, its value in zero_value
  void* zero_value;
};

IntMap* intmap_create(uint32_t capacity_hint);
// With a chosen seed instead of a secret one: for tests that need a known layout, and for maps
// whose keys no server chooses and whose visiting order must be the same on every run.
IntMap* intmap_create_seeded(uint32_t capacity_hint, uint32_t seed);
void intmap_destroy(IntMap* map, ReleaseFn release_value);
void intmap_clear(IntMap* map, ReleaseFn release_value);
// 1 inserted; 0 when the key is present (the stored value is left unchanged).
int intmap_insert(IntMap* map, uint32_t key, void* value);
// The mix of key under the map's secret: fixed for the map's life (growth keeps the seed),
// so a caller may compute it before taking a lock that guards the map's slots.
static inline uint32_t intmap_hash(const IntMap* map, uint32_t key) { return hash_mix32(key ^ map->seed); }
// The slot where probing for key starts.
static inline uint32_t intmap_home(const IntMap* map, uint32_t key) {
  return intmap_hash(map, key) & (map->capacity - 1);
}
// intmap_find with hash = intmap_hash(map, key) already computed.
static inline void* intmap_find_hashed(const IntMap* map, uint32_t key, uint32_t hash) {
  if (key == 0) return map->has_zero ? map->zero_value : nullptr;
  uint32_t mask = map->capacity - 1;
  for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
    uint32_t k = map->keys[slot];
    if (k == key) return map->values[slot];
    if (k == 0) return nullptr;
  }
}
// Inline: look-ups sit on every frame's hot paths.
static inline void* intmap_find(const IntMap* map, uint32_t key) {
  if (!map) return nullptr;
  return intmap_find_hashed(map, key, intmap_hash(map, key));
}
// Calls visit for every entry: key 0 first, then by slot. visit must not change the map.
typedef void (*IntMapVisit)(uint32_t key, void* value, void* context);
void intmap_each(const IntMap* map, IntMapVisit visit, void* context);
// 1 when the key is present (values may be null).
int intmap_contains(const IntMap* map, uint32_t key);
// Removes the key; returns its value, or null when absent.
void* intmap_take(IntMap* map, uint32_t key);
// Like intmap_take, but reports presence apart from the value.
int intmap_remove(IntMap* map, uint32_t key, void** value_out);

// Rounds a hint up to a power of two (0 gives 32); shared with HashMap.
uint32_t map_capacity_for_hint(uint32_t hint);
// The growth rule shared with HashMap: 1 when an insert into a map of this capacity holding
// count entries must double it first.
static inline int map_needs_growth(uint32_t capacity, uint32_t count) {
  return (uint64_t)capacity * 3 < (uint64_t)count * 4 + 4;
}
