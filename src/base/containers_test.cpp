// Array, Arena, NodePool and Queue: the exact growth rules, and random operation sequences
// against the standard library.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "base/arena.h"
#include "base/array.h"
#include "base/queue.h"

TEST(Array, DoublesAndZeroFillsWhenFull) {
  Array* a = array_create(4, 0, compare_u32);
  EXPECT_EQ(a->capacity, 8u);
  for (uint32_t v = 1; v <= 8; v++) array_push(a, &v);
  EXPECT_EQ(a->capacity, 8u);
  uint32_t v = 9;
  EXPECT_EQ(array_push(a, &v), 9u);
  EXPECT_EQ(a->capacity, 16u);
  for (uint32_t i = 9; i < 16; i++) EXPECT_EQ(((uint32_t*)a->data)[i], 0u) << i;
  for (uint32_t i = 0; i < 9; i++) EXPECT_EQ(*array_item<uint32_t>(a, i), i + 1);
  array_destroy(a, nullptr);
}

TEST(Array, RemoveMatchTakesOnlyTheFirstAndKeepsOrder) {
  Array* a = array_create(4, 4, compare_u32);
  for (uint32_t v : {5u, 7u, 5u, 9u}) array_push(a, &v);
  uint32_t key = 5, out = 0;
  EXPECT_EQ(array_remove_match(a, &key, &out), 1);
  EXPECT_EQ(out, 5u);
  ASSERT_EQ(a->count, 3u);
  uint32_t expected[] = {7, 5, 9};
  for (uint32_t i = 0; i < 3; i++) EXPECT_EQ(*array_item<uint32_t>(a, i), expected[i]);
  key = 42;
  EXPECT_EQ(array_remove_match(a, &key, nullptr), 0);
  EXPECT_EQ(array_remove_at(a, 3, nullptr), 0);
  Array* plain = array_create(4, 1, nullptr);
  array_push(plain, &key);
  EXPECT_EQ(array_remove_match(plain, &key, nullptr), 0);  // no compare function
  array_destroy(plain, nullptr);
  array_destroy(a, nullptr);
}

TEST(Array, MatchesVectorUnderRandomOperations) {
  std::mt19937 rng(11);
  Array* a = array_create(4, 0, compare_u32);
  std::vector<uint32_t> oracle;
  for (int step = 0; step < 20000; step++) {
    uint32_t v = rng() % 50;
    switch (rng() % 4) {
      case 0:
      case 1:
        array_push(a, &v);
        oracle.push_back(v);
        break;
      case 2: {
        auto it = std::find(oracle.begin(), oracle.end(), v);
        ASSERT_EQ(array_remove_match(a, &v, nullptr), it != oracle.end());
        if (it != oracle.end()) oracle.erase(it);
        break;
      }
      case 3:
        if (!oracle.empty()) {
          uint32_t i = rng() % oracle.size();
          uint32_t out;
          ASSERT_EQ(array_remove_at(a, i, &out), 1);
          ASSERT_EQ(out, oracle[i]);
          oracle.erase(oracle.begin() + i);
        }
        break;
    }
    ASSERT_EQ(a->count, oracle.size());
  }
  for (uint32_t i = 0; i < a->count; i++) ASSERT_EQ(*array_item<uint32_t>(a, i), oracle[i]);
  array_sort(a);
  std::sort(oracle.begin(), oracle.end());
  for (uint32_t i = 0; i < a->count; i++) ASSERT_EQ(*array_item<uint32_t>(a, i), oracle[i]);
  array_destroy(a, nullptr);
}

TEST(Arena, OverflowBlockAndFoldOnReset) {
  Arena* arena = arena_create(1024);
  EXPECT_EQ(arena->capacity, 1024u);
  void* p = arena_alloc(arena, 2000);
  ASSERT_NE(arena->overflow, nullptr);
  EXPECT_EQ(arena->overflow->capacity, 2048u);
  EXPECT_EQ(p, arena->overflow->data);
  arena_reset(arena);
  EXPECT_EQ(arena->capacity, 4096u);
  EXPECT_EQ(arena->overflow, nullptr);
  // After the fold the same peak fits without another block.
  arena_alloc(arena, 2000);
  EXPECT_EQ(arena->overflow, nullptr);
  arena_destroy(arena);
}

TEST(Arena, SizesAndAlignment) {
  struct Case {
    size_t create, expected;
  } cases[] = {{0, 1024}, {1, 1}, {100, 128}, {1024, 1024}, {1025, 2048}};
  for (const Case& c : cases) {
    Arena* arena = arena_create(c.create);
    EXPECT_EQ(arena->capacity, c.expected) << c.create;
    arena_destroy(arena);
  }
  Arena* arena = arena_create(64);
  for (size_t size : {1u, 3u, 0u, 17u, 8u}) {
    void* p = arena_alloc(arena, size);
    EXPECT_EQ((uintptr_t)p % 8, 0u) << size;
  }
  // Doubling from the filled block, and the 16 MiB cap (a larger request gets its own size).
  void* big = arena_alloc(arena, 40u << 20);
  EXPECT_EQ(arena->overflow->capacity, 40u << 20);
  EXPECT_EQ(big, arena->overflow->data);
  arena_alloc(arena, (40u << 20));
  EXPECT_EQ(arena->overflow->capacity, 40u << 20);
  arena_destroy(arena);
  Arena* grow = arena_create(16u << 20);
  arena_alloc(grow, (16u << 20) - 8);
  arena_alloc(grow, 64);  // doubling would give 32 MiB: capped at 16 MiB
  EXPECT_EQ(grow->overflow->capacity, 16u << 20);
  arena_destroy(grow);
}

TEST(NodePool, ReusesFreedNodesLastInFirstOut) {
  NodePool* pool = pool_create(2);
  EXPECT_EQ(pool->node_size, sizeof(void*));  // nodes hold the free-list link
  void* a = pool_get(pool);
  void* b = pool_get(pool);
  EXPECT_NE(a, b);
  pool_put(pool, a);
  pool_put(pool, b);
  EXPECT_EQ(pool_get(pool), b);
  EXPECT_EQ(pool_get(pool), a);
  pool_destroy(pool);
}

TEST(Queue, MatchesDequeUnderRandomOperations) {
  std::mt19937 rng(5);
  Queue* q = queue_create();
  std::deque<uintptr_t> oracle;
  for (int step = 0; step < 50000; step++) {
    if (rng() % 3) {
      uintptr_t v = (rng() % 1000) + 1;
      queue_push(q, (void*)v);
      oracle.push_back(v);
    } else {
      void* got = queue_pop(q);
      if (oracle.empty()) {
        ASSERT_EQ(got, nullptr);
      } else {
        ASSERT_EQ((uintptr_t)got, oracle.front());
        oracle.pop_front();
      }
    }
    ASSERT_EQ(queue_count(q), oracle.size());
  }
  queue_push(q, nullptr);  // ignored
  EXPECT_EQ(queue_count(q), oracle.size());
  size_t drained = 0;
  static size_t* counter;
  counter = &drained;
  queue_drain(q, [](void*) { (*counter)++; });
  EXPECT_EQ(drained, oracle.size());
  EXPECT_EQ(queue_pop(q), nullptr);
  queue_destroy(q, nullptr);
}
