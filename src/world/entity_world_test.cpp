#include "world/entity_world.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

int g_releases[WORLD_COMPONENT_TYPES];
void count_release(void* element) {
  // The element's first byte names its pool type (see stamp below), so releases are counted
  // per type and a release of a wrong or stale element shows up as a wrong count.
  g_releases[*(uint8_t*)element % WORLD_COMPONENT_TYPES]++;
}

// Content every element of entity `handle` in pool `type` carries: byte 0 is the type,
// the rest a pattern of the handle.
uint8_t stamp(uint32_t handle, uint32_t type, uint32_t byte) {
  return byte == 0 ? (uint8_t)type : (uint8_t)(handle * 2654435761u >> (byte % 24) ^ type ^ byte);
}
void write_stamp(void* element, uint32_t size, uint32_t handle, uint32_t type) {
  for (uint32_t k = 0; k < size; k++) ((uint8_t*)element)[k] = stamp(handle, type, k);
}
bool has_stamp(const void* element, uint32_t size, uint32_t handle, uint32_t type) {
  for (uint32_t k = 0; k < size; k++)
    if (((const uint8_t*)element)[k] != stamp(handle, type, k)) return false;
  return true;
}

struct SpaceLayout {
  uint32_t number, capacity;
  std::vector<std::pair<uint32_t, uint32_t>> pools;  // type, element size
};

// Three spaces whose pools differ in element size (1 to 100 bytes) and in count.
const SpaceLayout kSpaces[] = {
    {3, 0, {{3, 24}, {7, 36}, {6, 100}}},
    {9, 4, {{3, 24}, {95, 1}}},
    {200, 1, {{0, 8}, {40, 13}, {41, 4}, {42, 64}}},
};

struct OracleSpace {
  std::unordered_map<uint32_t, bool> live;  // handle -> present
  std::vector<uint32_t> free_stack;
  uint32_t next = 1;
  int destroyed = 0;
};

void check_space(const EntityWorld* world, const SpaceLayout& layout, const OracleSpace& oracle) {
  EntitySpace* space = world_space(world, layout.number);
  ASSERT_NE(space, nullptr);
  ASSERT_EQ(space_entity_count(space), oracle.live.size());
  ComponentPool* first = space->ordered[0];
  for (auto [type, size] : layout.pools) {
    ComponentPool* pool = space_pool(space, type);
    ASSERT_EQ(pool->dense_count, oracle.live.size()) << "type " << type;
    ASSERT_EQ(pool->element_size, size);
    // Dense and sparse are inverse maps, and every slot holds the same entity in every pool.
    for (uint32_t j = 0; j < pool->dense_count; j++) {
      int32_t index = pool->dense_entity[j];
      ASSERT_EQ(index, first->dense_entity[j]) << "slot " << j;
      ASSERT_GT(index, 0);
      ASSERT_EQ(pool->sparse[index].row, (int32_t)j);
      uint32_t handle = layout.number << 24 | (uint32_t)index;
      ASSERT_TRUE(oracle.live.count(handle));
      ASSERT_TRUE(has_stamp(pool_at(pool, j), size, handle, type)) << "slot " << j << " type " << type;
    }
    for (uint32_t j = pool->dense_count; j < pool->dense_capacity; j++) ASSERT_EQ(pool->dense_entity[j], -1);
    uint32_t mapped = 0;
    for (uint32_t i = 0; i < pool->sparse_capacity; i++) mapped += pool->sparse[i].row >= 0;
    ASSERT_EQ(mapped, pool->dense_count);
  }
  // The free stack holds exactly the dead indices below next index, most recent on top.
  ASSERT_EQ(space->next_index, oracle.next);
  ASSERT_EQ(space->free_depth, oracle.free_stack.size());
  for (uint32_t i = 0; i < space->free_depth; i++) ASSERT_EQ(space->free_stack[i], oracle.free_stack[i]);
  for (auto& [handle, present] : oracle.live) {
    ASSERT_TRUE(entity_alive(world, handle));
    for (auto [type, size] : layout.pools)
      ASSERT_TRUE(has_stamp(entity_component(world, type, handle), size, handle, type));
  }
}

}  // namespace

// Random creations and destructions across three spaces, checked against a plain map after
// every step: counts, sparse/dense inverses, row agreement across pools, element contents,
// last-freed-first reuse and one release per destroyed element.
TEST(EntityWorld, MatchesOracleModel) {
  memset(g_releases, 0, sizeof(g_releases));
  std::mt19937 rng(20261210);
  EntityWorld* world = world_create(77);
  OracleSpace oracle[3];
  for (const SpaceLayout& layout : kSpaces) {
    EntitySpace* space = world_create_space(world, layout.number, layout.capacity);
    ASSERT_NE(space, nullptr);
    for (auto [type, size] : layout.pools)
      ASSERT_EQ(space_register_component(space, type, size, count_release), 1);
  }
  std::vector<uint32_t> handles[3];
  for (int step = 0; step < 6000; step++) {
    int s = rng() % 3;
    const SpaceLayout& layout = kSpaces[s];
    // Phases of growth and shrinkage so capacities double and the free stack fills and empties.
    bool grow = (step / 1000) % 2 == 0;
    if (handles[s].empty() || rng() % 100 < (grow ? 70u : 30u)) {
      uint32_t expected = oracle[s].free_stack.empty() ? oracle[s].next++ : oracle[s].free_stack.back();
      if (!oracle[s].free_stack.empty()) oracle[s].free_stack.pop_back();
      uint32_t handle = entity_create(world, layout.number);
      ASSERT_EQ(handle, layout.number << 24 | expected);
      for (auto [type, size] : layout.pools) {
        void* element = entity_component(world, type, handle);
        ASSERT_NE(element, nullptr);
        const uint8_t zero[100] = {};
        ASSERT_EQ(memcmp(element, zero, size), 0) << "new elements are zero-filled";
        write_stamp(element, size, handle, type);
      }
      oracle[s].live[handle] = true;
      handles[s].push_back(handle);
    } else {
      size_t pick = rng() % handles[s].size();
      uint32_t handle = handles[s][pick];
      handles[s][pick] = handles[s].back();
      handles[s].pop_back();
      ASSERT_EQ(entity_destroy(world, handle), 1);
      ASSERT_EQ(entity_destroy(world, handle), 0);
      ASSERT_EQ(entity_component(world, layout.pools[0].first, handle), nullptr);
      oracle[s].live.erase(handle);
      oracle[s].free_stack.push_back(entity_index_of(handle));
      oracle[s].destroyed++;
    }
    check_space(world, layout, oracle[s]);
    if (HasFatalFailure()) return;
  }
  // Releases so far: one per destroyed element; destroying the world releases the rest.
  auto expect_releases = [&](bool with_live) {
    int per_type[WORLD_COMPONENT_TYPES] = {};
    for (int s = 0; s < 3; s++)
      for (auto [type, size] : kSpaces[s].pools)
        per_type[type] += oracle[s].destroyed + (with_live ? (int)oracle[s].live.size() : 0);
    for (uint32_t t = 0; t < WORLD_COMPONENT_TYPES; t++)
      EXPECT_EQ(g_releases[t], per_type[t]) << "type " << t;
  };
  expect_releases(false);
  world_destroy(world);
  expect_releases(true);
}

TEST(EntityWorld, HandlesIndicesAndReuse) {
  EntityWorld* world = world_create(1);
  EntitySpace* space = world_create_space(world, 7, 0);
  ASSERT_EQ(space_register_component(space, 3, 8, nullptr), 1);
  uint32_t a = entity_create(world, 7);
  EXPECT_EQ(a, 0x07000001u);
  uint32_t b = entity_create(world, 7);
  ASSERT_EQ(entity_destroy(world, a), 1);
  EXPECT_EQ(entity_component(world, 3, a), nullptr);  // until the index is reused
  // No generation counter: the stale handle names the entity that reuses the index.
  EXPECT_EQ(entity_create(world, 7), a);
  EXPECT_NE(entity_component(world, 3, a), nullptr);
  EXPECT_NE(b, a);
  world_destroy(world);
}

// A holder that kept (handle, generation) tells its entity from the one that reuses the index;
// the handle alone cannot.
TEST(EntityWorld, GenerationTellsAReusedIndexApart) {
  EntityWorld* world = world_create(1);
  EntitySpace* space = world_create_space(world, 7, 0);
  ASSERT_EQ(space_register_component(space, 3, 8, nullptr), 1);
  world_create_space(world, 8, 0);  // no pools: no sparse map, generation stays 0
  uint32_t a = entity_create(world, 7), b = entity_create(world, 7);
  int alive;
  uint32_t first = entity_generation(world, a, &alive);
  ASSERT_EQ(alive, 1);
  EntitySpace* found = nullptr;
  EXPECT_EQ(entity_row(world, a, first, &found), 0);
  EXPECT_EQ(found, space);
  ASSERT_EQ(entity_destroy(world, a), 1);
  EXPECT_EQ(entity_generation(world, a, &alive), 0u);
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(entity_row(world, a, first, &found), -1);  // freed
  ASSERT_EQ(entity_create(world, 7), a);
  uint32_t second = entity_generation(world, a, &alive);
  EXPECT_NE(second, first);
  EXPECT_EQ(entity_row(world, a, first, &found), -1);  // the old entity's generation
  EXPECT_EQ(entity_row(world, a, second, &found), 1);  // appended after b
  EXPECT_EQ(entity_row(world, b, entity_generation(world, b, &alive), &found), 0);
  uint32_t c = entity_create(world, 8);
  EXPECT_EQ(entity_generation(world, c, &alive), 0u);
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(entity_row(world, c, 0, &found), -1);
  world_destroy(world);
}

TEST(EntityWorld, DestroyingSlotZeroMovesTheLastEntityThereInEveryPool) {
  EntityWorld* world = world_create(1);
  EntitySpace* space = world_create_space(world, 2, 4);
  space_register_component(space, 1, 4, nullptr);
  space_register_component(space, 2, 16, nullptr);
  uint32_t h[3];
  for (int i = 0; i < 3; i++) {
    h[i] = entity_create(world, 2);
    *(uint32_t*)entity_component(world, 1, h[i]) = h[i];
    *(uint32_t*)entity_component(world, 2, h[i]) = ~h[i];
  }
  ASSERT_EQ(entity_destroy(world, h[0]), 1);
  for (uint32_t type : {1u, 2u}) {
    ComponentPool* pool = space_pool(space, type);
    ASSERT_EQ(pool->dense_count, 2u);
    EXPECT_EQ(pool->dense_entity[0], (int32_t)entity_index_of(h[2]));
    EXPECT_EQ(pool->dense_entity[1], (int32_t)entity_index_of(h[1]));
    EXPECT_EQ(pool->dense_entity[2], -1);
    EXPECT_EQ(entity_component(world, type, h[2]), pool_at(pool, 0));
  }
  EXPECT_EQ(*(uint32_t*)pool_at(space_pool(space, 1), 0), h[2]);
  EXPECT_EQ(*(uint32_t*)pool_at(space_pool(space, 2), 0), ~h[2]);
  world_destroy(world);
}

TEST(EntityWorld, CapacityFromCreationAndDoubling) {
  struct Case {
    uint32_t requested, indices;
  } cases[] = {{0, 32}, {1, 2}, {5, 6}, {0xFFFFFFFFu, 1u << 24}};
  for (const Case& c : cases) {
    EntityWorld* world = world_create(0);
    EXPECT_EQ(world_create_space(world, 1, c.requested)->capacity, c.indices) << c.requested;
    world_destroy(world);
  }
  EntityWorld* world = world_create(0);
  EntitySpace* space = world_create_space(world, 1, 0);
  space_register_component(space, 5, 4, nullptr);
  for (uint32_t i = 1; i <= 31; i++) ASSERT_EQ(entity_create(world, 1), 1u << 24 | i);
  EXPECT_EQ(space->capacity, 32u);
  EXPECT_EQ(entity_create(world, 1), 1u << 24 | 32);  // index 32 is not below 32: doubles
  EXPECT_EQ(space->capacity, 64u);
  EXPECT_EQ(space_pool(space, 5)->sparse_capacity, 64u);
  EXPECT_EQ(space_pool(space, 5)->sparse[63].row, -1);
  world_destroy(world);
}

TEST(EntityWorld, RegistrationRules) {
  EntityWorld* world = world_create(0);
  EntitySpace* space = world_create_space(world, 4, 2);
  EXPECT_EQ(world_create_space(world, 4, 2), nullptr);  // exists
  EXPECT_EQ(world_create_space(world, 256, 2), nullptr);
  EXPECT_EQ(world_space(world, 4 + 256), space);  // taken modulo 256
  EXPECT_EQ(space_register_component(space, 95, 4, nullptr), 1);
  EXPECT_EQ(space_register_component(space, 96, 4, nullptr), 0);
  EXPECT_EQ(space_register_component(space, 95, 4, nullptr), 0);
  uint32_t types[] = {95, 3};
  EXPECT_EQ(space_has_components(space, types, 1), 1);
  EXPECT_EQ(space_has_components(space, types, 2), 0);
  uint32_t h = entity_create(world, 4);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(space_register_component(space, 3, 4, nullptr), 0);  // after the first entity
  // Still refused after that entity is gone: the space has handed out an index.
  entity_destroy(world, h);
  EXPECT_EQ(space_register_component(space, 3, 4, nullptr), 0);
  world_destroy(world);
}

TEST(EntityWorld, InvalidArgumentsAnswerZeroOrNull) {
  EntityWorld* world = world_create(0);
  EntitySpace* space = world_create_space(world, 5, 2);
  space_register_component(space, 3, 4, nullptr);
  uint32_t h = entity_create(world, 5);
  struct Case {
    const char* what;
    uint32_t type, handle;
  } cases[] = {
      {"handle 0", 3, 0},
      {"missing space", 3, 6u << 24 | 1},
      {"index beyond capacity", 3, 5u << 24 | 0xFFFFFF},
      {"index never created", 3, 5u << 24 | 2},
      {"index 0", 3, 5u << 24},
      {"type above 95", 96, h},
      {"type not registered", 4, h},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(entity_component(world, c.type, c.handle), nullptr) << c.what;
    if (c.type == 3) {
      EXPECT_EQ(entity_destroy(world, c.handle), 0) << c.what;
    }
  }
  EXPECT_EQ(entity_create(world, 6), 0u);
  EXPECT_EQ(entity_create(world, 300), 0u);
  EXPECT_EQ(entity_component(nullptr, 3, h), nullptr);
  EXPECT_EQ(pool_element(nullptr, 1), nullptr);
  EXPECT_EQ(pool_element(space_pool(space, 3), 1u << 30), nullptr);
  EXPECT_NE(entity_component(world, 3, h), nullptr);
  world_destroy(world);
}

// Index 0xFFFFFF is the last a space can give; the next creation fails instead of producing
// a handle that would spill into the space byte.
TEST(EntityWorld, CreationPastTheLastIndexFails) {
  EntityWorld* world = world_create(0);
  EntitySpace* space = world_create_space(world, 255, 0);
  uint32_t last = 0;
  for (uint32_t i = 1; i <= ENTITY_INDEX_MAX; i++) last = entity_create(world, 255);
  EXPECT_EQ(last, 0xFFFFFFFFu);
  EXPECT_EQ(entity_create(world, 255), 0u);
  EXPECT_EQ(space->capacity, 1u << 24);
  // A freed index can still be reused.
  ASSERT_EQ(entity_destroy(world, 0xFF000010u), 1);
  EXPECT_EQ(entity_create(world, 255), 0xFF000010u);
  world_destroy(world);
}
