#include "base/intmap.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "base/hashmap.h"
#include "base/strings.h"

TEST(IntMap, CapacityFromHint) {
  struct Case {
    uint32_t hint, capacity;
  } cases[] = {{0, 32}, {1, 1}, {3, 4}, {32, 32}, {33, 64}};
  for (const Case& c : cases) {
    IntMap* map = intmap_create(c.hint);
    EXPECT_EQ(map->capacity, c.capacity) << "hint " << c.hint;
    intmap_destroy(map, nullptr);
  }
}

TEST(IntMap, GrowsBeforePassingThreeQuarters) {
  IntMap* map = intmap_create(4);
  for (uint32_t k = 1; k <= 3; k++) ASSERT_EQ(intmap_insert(map, k, (void*)(uintptr_t)k), 1);
  EXPECT_EQ(map->capacity, 4u);  // the third insert: 4 x 3 is not below 2 x 4 + 4
  ASSERT_EQ(intmap_insert(map, 4, (void*)4), 1);
  EXPECT_EQ(map->capacity, 8u);  // the fourth: 4 x 3 < 3 x 4 + 4
  // An existing key is refused, keeps its value and does not grow the map.
  EXPECT_EQ(intmap_insert(map, 4, (void*)99), 0);
  EXPECT_EQ(intmap_find(map, 4), (void*)4);
  EXPECT_EQ(map->capacity, 8u);
  intmap_destroy(map, nullptr);
}

TEST(IntMap, RemovalInsideClusterKeepsEveryKeyFindable) {
  IntMap* map = intmap_create_seeded(16, 0x5EED);
  // The key whose home is slot h: the seed and the mix undone.
  auto homed = [](uint32_t h, uint32_t n) { return hash_unmix32(h + 16 * n) ^ 0x5EED; };
  // The first three share home 1; the fourth (home 2) is displaced by them; the fifth sits
  // at its home 5.
  uint32_t keys[] = {homed(1, 0), homed(1, 1), homed(1, 2), homed(2, 0), homed(5, 0)};
  for (uint32_t k : keys) ASSERT_EQ(intmap_home(map, k), hash_mix32(k ^ 0x5EED) & 15);
  for (uint32_t k : keys) intmap_insert(map, k, (void*)(uintptr_t)(k + 100));
  EXPECT_EQ(map->keys[4], keys[3]);  // pushed along the cluster
  EXPECT_EQ(intmap_take(map, keys[1]), (void*)(uintptr_t)(keys[1] + 100));
  for (uint32_t k : {keys[0], keys[2], keys[3], keys[4]})
    EXPECT_EQ(intmap_find(map, k), (void*)(uintptr_t)(k + 100)) << k;
  EXPECT_EQ(map->keys[3], keys[3]);  // moved back towards its home
  EXPECT_EQ(map->keys[5], keys[4]);  // at its home: not moved
  EXPECT_EQ(intmap_find(map, keys[1]), nullptr);
  EXPECT_EQ(intmap_take(map, keys[1]), nullptr);
  intmap_destroy(map, nullptr);
}

// The longest run of consecutive used slots: every probe for a key in it walks part of it.
static uint32_t longest_cluster(const IntMap* map) {
  uint32_t longest = 0, run = 0;
  for (uint32_t i = 0; i < 2 * map->capacity; i++) {
    run = map->keys[i & (map->capacity - 1)] ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  return longest < map->capacity ? longest : map->capacity;
}

// Keys that agree in their low bits (handles of many spaces, ids a hostile server picked)
// must not pile up on one home slot: identity placement would make one cluster of them all.
TEST(IntMap, KeysSharingLowBitsStaySpreadOut) {
  struct Case {
    const char* name;
    uint32_t (*key)(uint32_t i);
  } cases[] = {
      {"high bits only", [](uint32_t i) { return i << 20; }},
      {"same low 16 bits", [](uint32_t i) { return i << 16 | 0xBEEF; }},
      {"handles of 13 spaces", [](uint32_t i) { return (i % 13) << 24 | (i / 13 + 1) << 12; }},
  };
  for (const Case& c : cases) {
    IntMap* map = intmap_create(0);
    for (uint32_t i = 0; i < 4000; i++) ASSERT_EQ(intmap_insert(map, c.key(i), (void*)(uintptr_t)(i + 1)), 1);
    EXPECT_LT(longest_cluster(map), 200u) << c.name;
    for (uint32_t i = 0; i < 4000; i += 7) EXPECT_EQ(intmap_find(map, c.key(i)), (void*)(uintptr_t)(i + 1));
    intmap_destroy(map, nullptr);
  }
}

TEST(IntMap, MapsDrawDifferentSeeds) {
  // A layout learnt from one map (or one run) says nothing about the next.
  IntMap* a = intmap_create(0);
  IntMap* b = intmap_create(0);
  EXPECT_NE(a->seed, b->seed);
  intmap_destroy(a, nullptr);
  intmap_destroy(b, nullptr);
}

// Random operations against std::unordered_map, with keys that collide heavily (entity
// handles differing only in their high bits) and many removals inside clusters.
TEST(IntMap, MatchesStdUnorderedMap) {
  for (int clustered = 0; clustered < 2; clustered++) {
    std::mt19937 rng(1234 + clustered);
    IntMap* map = intmap_create(0);
    std::unordered_map<uint32_t, uintptr_t> oracle;
    for (int step = 0; step < 200000; step++) {
      uint32_t key = clustered ? ((rng() % 64) << 24 | (rng() % 8)) : (uint32_t)(rng() % 4096);
      uint32_t op = rng() % 3;
      if (op == 0) {
        uintptr_t value = rng() | 1;
        bool fresh = oracle.emplace(key, value).second;
        ASSERT_EQ(intmap_insert(map, key, (void*)value), fresh ? 1 : 0);
      } else if (op == 1) {
        auto it = oracle.find(key);
        void* taken = intmap_take(map, key);
        ASSERT_EQ((uintptr_t)taken, it == oracle.end() ? 0 : it->second);
        if (it != oracle.end()) oracle.erase(it);
      } else {
        auto it = oracle.find(key);
        ASSERT_EQ((uintptr_t)intmap_find(map, key), it == oracle.end() ? 0 : it->second);
      }
      ASSERT_EQ(map->count, oracle.size());
    }
    std::unordered_map<uint32_t, uintptr_t> seen;
    intmap_each(
        map,
        [](uint32_t key, void* value, void* context) {
          auto* into = (std::unordered_map<uint32_t, uintptr_t>*)context;
          EXPECT_TRUE(into->emplace(key, (uintptr_t)value).second) << "key visited twice: " << key;
        },
        &seen);
    EXPECT_EQ(seen, oracle);
    intmap_destroy(map, nullptr);
  }
}

static int g_released;
static void count_release(void*) { g_released++; }

TEST(IntMap, ClearAndDestroyReleaseEveryValue) {
  IntMap* map = intmap_create(2);
  for (uint32_t k = 0; k < 10; k++) intmap_insert(map, k, (void*)(uintptr_t)(k + 1));
  g_released = 0;
  uint32_t capacity = map->capacity;
  intmap_clear(map, count_release);
  EXPECT_EQ(g_released, 10);
  EXPECT_EQ(map->count, 0u);
  EXPECT_EQ(map->capacity, capacity);
  intmap_insert(map, 7, (void*)7);
  intmap_destroy(map, count_release);
  EXPECT_EQ(g_released, 11);
}

TEST(HashMap, StringKeys) {
  HashMap* map = hashmap_create(0, string_equal, string_key_hash);
  std::unordered_map<std::string, uintptr_t> oracle;
  std::vector<std::string> names;
  for (int i = 0; i < 500; i++) names.push_back("key" + std::to_string(i * 7919 % 1000));
  for (size_t i = 0; i < names.size(); i++) {
    bool fresh = oracle.emplace(names[i], i + 1).second;
    EXPECT_EQ(hashmap_insert(map, names[i].c_str(), (void*)(i + 1)), fresh ? 1 : 0);
  }
  for (auto& [name, value] : oracle) {
    std::string copy = name;  // a different pointer to equal bytes
    EXPECT_EQ((uintptr_t)hashmap_find(map, copy.c_str()), value);
  }
  EXPECT_EQ(hashmap_insert(map, nullptr, (void*)1), 0);
  EXPECT_FALSE(hashmap_contains(map, "absent"));
  EXPECT_EQ(map->count, oracle.size());
  hashmap_destroy(map, nullptr, nullptr);
}

TEST(Strings, FnvPublishedVectors) {
  EXPECT_EQ(string_hash_fnv(""), 0x811C9DC5u);
  EXPECT_EQ(string_hash_fnv("a"), 0xE40C292Cu);
  EXPECT_EQ(string_hash_fnv("foobar"), 0xBF9CF968u);
}

TEST(Strings, CompareAndFold) {
  EXPECT_EQ(string_compare("abc", "abc"), 0);
  EXPECT_EQ(string_compare("ab", "abc"), -1);
  EXPECT_EQ(string_compare("\xC3", "a"), 1);  // unsigned bytes
  EXPECT_EQ(string_icase_equal("HeLLo", "hello"), 0);
  EXPECT_NE(string_icase_equal("hello", "hell"), 0);
  EXPECT_NE(string_icase_equal("\xC3\x89", "\xC3\xA9"), 0);  // only ASCII folds
}

TEST(Strings, CopyCutsOnCharacterBoundary) {
  char out[5];
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"abcd", "abcd"},
      {"abcdef", "abcd"},
      {"ab\xE2\x82\xAC", "ab"},            // euro sign would need bytes 3..5
      {"a\xC3\xA9\xC3\xA9", "a\xC3\xA9"},  // second e-acute cut
      {"\xE2\x82\xAC"
       "a",
       "\xE2\x82\xAC"
       "a"},
  };
  for (const Case& c : cases) {
    string_copy_utf8(out, sizeof out, c.in);
    EXPECT_STREQ(out, c.out) << c.in;
  }
}

// Key 0 is an ordinary key: stored, found, counted, visited, removed and released like the
// others, also across growth.
TEST(IntMap, KeyZeroIsAnOrdinaryKey) {
  IntMap* map = intmap_create_seeded(4, 7);
  EXPECT_EQ(intmap_find(map, 0), nullptr);
  EXPECT_EQ(intmap_contains(map, 0), 0);
  EXPECT_EQ(intmap_insert(map, 0, (void*)10), 1);
  EXPECT_EQ(intmap_insert(map, 0, (void*)11), 0);
  for (uint32_t k = 1; k < 40; k++) ASSERT_EQ(intmap_insert(map, k, (void*)(uintptr_t)(k + 10)), 1);
  EXPECT_EQ(map->count, 40u);
  EXPECT_EQ(intmap_find(map, 0), (void*)10);
  EXPECT_EQ(intmap_contains(map, 0), 1);
  uint32_t visited_zero = 0;
  intmap_each(
      map,
      [](uint32_t key, void* value, void* context) { *(uint32_t*)context += key == 0 && value == (void*)10; },
      &visited_zero);
  EXPECT_EQ(visited_zero, 1u);
  void* value = nullptr;
  EXPECT_EQ(intmap_remove(map, 0, &value), 1);
  EXPECT_EQ(value, (void*)10);
  EXPECT_EQ(intmap_remove(map, 0, &value), 0);
  EXPECT_EQ(map->count, 39u);
  EXPECT_EQ(intmap_find(map, 39), (void*)49);
  intmap_insert(map, 0, (void*)12);
  g_released = 0;
  intmap_clear(map, count_release);
  EXPECT_EQ(g_released, 40);
  EXPECT_EQ(intmap_find(map, 0), nullptr);
  intmap_insert(map, 0, (void*)13);
  g_released = 0;
  intmap_destroy(map, count_release);
  EXPECT_EQ(g_released, 1);
}
