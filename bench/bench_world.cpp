// Entity world, octree and server-id look-ups, each beside a reference doing the same work
// with plain arrays or std containers in the same run.
#include <benchmark/benchmark.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "game/catalogue.h"
#include "game/game_world.h"
#include "world/entity_world.h"
#include "world/octree.h"

namespace {

constexpr uint32_t ITERATE_ENTITIES = 100000;

// Three pools of one space walked side by side: header, transform and mesh reference.
void BM_WorldIterateThreePools(benchmark::State& state) {
  EntityWorld* world = catalogue_world_create(1, nullptr);
  for (uint32_t i = 0; i < ITERATE_ENTITIES; i++) {
    uint32_t h = catalogue_entity_create(world, SPACE_CREATURES, 0, 3);
    ((Transform*)entity_component(world, COMPONENT_TRANSFORM, h))->position.x = (float)i;
    ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, h))->mesh_id = i;
  }
  EntitySpace* space = world_space(world, SPACE_CREATURES);
  const ComponentPool* headers = space_pool(space, COMPONENT_ENTITY_HEADER);
  const ComponentPool* transforms = space_pool(space, COMPONENT_TRANSFORM);
  const ComponentPool* meshes = space_pool(space, COMPONENT_MESH_REF);
  for (auto _ : state) {
    float sum = 0;
    uint32_t ids = 0;
    uint32_t n = headers->dense_count;
    for (uint32_t j = 0; j < n; j++) {
      const EntityHeader* header = (const EntityHeader*)pool_at(headers, j);
      if (!header->active) continue;
      sum += ((const Transform*)pool_at(transforms, j))->position.x;
      ids += ((const MeshRef*)pool_at(meshes, j))->mesh_id;
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(ids);
  }
  state.SetItemsProcessed(state.iterations() * ITERATE_ENTITIES * 3);
  world_destroy(world);
}
BENCHMARK(BM_WorldIterateThreePools);

// Reference: the same records in three plain arrays, walked the same way.
void BM_ReferenceIterateThreeArrays(benchmark::State& state) {
  std::vector<EntityHeader> headers(ITERATE_ENTITIES);
  std::vector<Transform> transforms(ITERATE_ENTITIES);
  std::vector<MeshRef> meshes(ITERATE_ENTITIES);
  for (uint32_t i = 0; i < ITERATE_ENTITIES; i++) {
    headers[i].active = 1;
    transforms[i].position.x = (float)i;
    meshes[i].mesh_id = i;
  }
  for (auto _ : state) {
    float sum = 0;
    uint32_t ids = 0;
    for (uint32_t j = 0; j < ITERATE_ENTITIES; j++) {
      if (!headers[j].active) continue;
      sum += transforms[j].position.x;
      ids += meshes[j].mesh_id;
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(ids);
  }
  state.SetItemsProcessed(state.iterations() * ITERATE_ENTITIES * 3);
}
BENCHMARK(BM_ReferenceIterateThreeArrays);

constexpr uint32_t LOOKUP_ENTITIES = 100000;
constexpr uint32_t LOOKUP_BATCH = 4096;

void BM_WorldEntityComponent(benchmark::State& state) {
  EntityWorld* world = catalogue_world_create(1, nullptr);
  std::vector<uint32_t> handles;
  for (uint32_t i = 0; i < LOOKUP_ENTITIES; i++)
    handles.push_back(catalogue_entity_create(world, SPACE_CREATURES, 0, 3));
  std::mt19937 rng(1);
  std::vector<uint32_t> probe(LOOKUP_BATCH);
  for (uint32_t& p : probe) p = handles[rng() % handles.size()];
  for (auto _ : state) {
    for (uint32_t h : probe) benchmark::DoNotOptimize(entity_component(world, COMPONENT_TRANSFORM, h));
  }
  state.SetItemsProcessed(state.iterations() * LOOKUP_BATCH);
  world_destroy(world);
}
BENCHMARK(BM_WorldEntityComponent);

// Reference: handle -> element pointer in std::unordered_map.
void BM_ReferenceUnorderedMapLookup(benchmark::State& state) {
  std::vector<Transform> elements(LOOKUP_ENTITIES);
  std::unordered_map<uint32_t, Transform*> map;
  std::vector<uint32_t> handles;
  for (uint32_t i = 0; i < LOOKUP_ENTITIES; i++) {
    uint32_t h = SPACE_CREATURES << 24 | (i + 1);
    map[h] = &elements[i];
    handles.push_back(h);
  }
  std::mt19937 rng(1);
  std::vector<uint32_t> probe(LOOKUP_BATCH);
  for (uint32_t& p : probe) p = handles[rng() % handles.size()];
  for (auto _ : state) {
    for (uint32_t h : probe) benchmark::DoNotOptimize(map.find(h)->second);
  }
  state.SetItemsProcessed(state.iterations() * LOOKUP_BATCH);
}
BENCHMARK(BM_ReferenceUnorderedMapLookup);

// Create/destroy churn in a space of nine pools (creatures), 1000 live entities.
void BM_WorldCreateDestroyChurn(benchmark::State& state) {
  EntityWorld* world = catalogue_world_create(1, nullptr);
  std::vector<uint32_t> live;
  for (int i = 0; i < 1000; i++) live.push_back(entity_create(world, SPACE_CREATURES));
  std::mt19937 rng(2);
  std::vector<uint32_t> picks(1024);
  for (uint32_t& p : picks) p = rng() % 1000;
  size_t k = 0;
  for (auto _ : state) {
    uint32_t& slot = live[picks[k++ & 1023]];
    entity_destroy(world, slot);
    slot = entity_create(world, SPACE_CREATURES);
  }
  state.SetItemsProcessed(state.iterations() * 2);
  world_destroy(world);
}
BENCHMARK(BM_WorldCreateDestroyChurn);

// The same churn in a space with one small pool, to separate bookkeeping from element copies.
void BM_WorldCreateDestroyChurnOnePool(benchmark::State& state) {
  EntityWorld* world = world_create(1);
  EntitySpace* space = world_create_space(world, 1, 0);
  space_register_component(space, 0, 16, nullptr);
  std::vector<uint32_t> live;
  for (int i = 0; i < 1000; i++) live.push_back(entity_create(world, 1));
  std::mt19937 rng(2);
  std::vector<uint32_t> picks(1024);
  for (uint32_t& p : picks) p = rng() % 1000;
  size_t k = 0;
  for (auto _ : state) {
    uint32_t& slot = live[picks[k++ & 1023]];
    entity_destroy(world, slot);
    slot = entity_create(world, 1);
  }
  state.SetItemsProcessed(state.iterations() * 2);
  world_destroy(world);
}
BENCHMARK(BM_WorldCreateDestroyChurnOnePool);

// Reference: erase and insert in std::unordered_map<handle, 16-byte element>.
struct Sixteen {
  uint64_t a, b;
};
void BM_ReferenceUnorderedMapChurn(benchmark::State& state) {
  std::unordered_map<uint32_t, Sixteen> map;
  std::vector<uint32_t> live;
  uint32_t next = 1;
  for (int i = 0; i < 1000; i++) {
    map[next] = {};
    live.push_back(next++);
  }
  std::mt19937 rng(2);
  std::vector<uint32_t> picks(1024);
  for (uint32_t& p : picks) p = rng() % 1000;
  size_t k = 0;
  for (auto _ : state) {
    uint32_t& slot = live[picks[k++ & 1023]];
    map.erase(slot);
    slot = next++;
    map[slot] = {};
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReferenceUnorderedMapChurn);

std::vector<Bounds> random_boxes(uint32_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> pos(-500, 495), size(0.5f, 5);
  std::vector<Bounds> boxes;
  for (uint32_t i = 0; i < count; i++) {
    float x = pos(rng), y = pos(rng), z = pos(rng);
    boxes.push_back(bounds_make({x, y, z}, {x + size(rng), y + size(rng), z + size(rng)}));
  }
  return boxes;
}
const Bounds ROOT = bounds_make({-500, -500, -500}, {500, 500, 500});

void BM_OctreePointQuery10k(benchmark::State& state) {
  std::vector<Bounds> boxes = random_boxes(10000, 3);
  OctreeNode* root = octree_create(ROOT);
  for (uint32_t i = 0; i < boxes.size(); i++) octree_insert(root, i, &boxes[i], i);
  std::mt19937 rng(4);
  std::vector<Vec3> points;
  // Half the points inside an item, half anywhere.
  for (int i = 0; i < 1024; i++) {
    if (i & 1) {
      points.push_back(boxes[rng() % boxes.size()].centre);
    } else {
      std::uniform_real_distribution<float> d(-500, 500);
      points.push_back({d(rng), d(rng), d(rng)});
    }
  }
  uint32_t keys[64], count;
  size_t k = 0;
  for (auto _ : state) {
    const Vec3& p = points[k++ & 1023];
    benchmark::DoNotOptimize(octree_query_point(root, p.x, p.y, p.z, keys, 64, &count));
  }
  state.SetItemsProcessed(state.iterations());
  octree_destroy(root);
}
BENCHMARK(BM_OctreePointQuery10k);

// Reference: the brute-force scan of the same 10k boxes.
void BM_ReferenceBruteForcePoint10k(benchmark::State& state) {
  std::vector<Bounds> boxes = random_boxes(10000, 3);
  std::mt19937 rng(4);
  std::vector<Vec3> points;
  for (int i = 0; i < 1024; i++) {
    std::uniform_real_distribution<float> d(-500, 500);
    points.push_back((i & 1) ? boxes[rng() % boxes.size()].centre : Vec3{d(rng), d(rng), d(rng)});
  }
  size_t k = 0;
  for (auto _ : state) {
    const Vec3& p = points[k++ & 1023];
    uint32_t hits = 0;
    for (const Bounds& b : boxes)
      hits += b.min.x <= p.x && p.x <= b.max.x && b.min.y <= p.y && p.y <= b.max.y && b.min.z <= p.z &&
              p.z <= b.max.z;
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceBruteForcePoint10k);

void BM_OctreeBuild100k(benchmark::State& state) {
  std::vector<Bounds> boxes = random_boxes(100000, 5);
  for (auto _ : state) {
    OctreeNode* root = octree_create(ROOT);
    for (uint32_t i = 0; i < boxes.size(); i++) octree_insert(root, i, &boxes[i], i);
    state.PauseTiming();
    octree_destroy(root);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_OctreeBuild100k)->Unit(benchmark::kMillisecond);

// Reference: one brute-force scan of the 100k boxes for a point (what every query would cost
// without the tree).
void BM_ReferenceBruteForceScan100k(benchmark::State& state) {
  std::vector<Bounds> boxes = random_boxes(100000, 5);
  for (auto _ : state) {
    uint32_t hits = 0;
    for (const Bounds& b : boxes)
      hits += b.min.x <= 1 && 1 <= b.max.x && b.min.y <= 2 && 2 <= b.max.y && b.min.z <= 3 && 3 <= b.max.z;
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_ReferenceBruteForceScan100k)->Unit(benchmark::kMillisecond);

constexpr uint32_t SERVER_OBJECTS = 10000;

// Random ids, or ids that share their low 16 bits (as a server numbering objects in its own
// high bits, or one hostile to the client, may send).
std::vector<uint32_t> server_ids(bool clustered) {
  std::mt19937 rng(6);
  std::vector<uint32_t> ids(SERVER_OBJECTS);
  for (uint32_t i = 0; i < SERVER_OBJECTS; i++) ids[i] = clustered ? (i + 1) << 16 | 0x2A : rng();
  return ids;
}

std::vector<uint32_t> lookup_probe(const std::vector<uint32_t>& ids) {
  std::mt19937 rng(7);
  std::vector<uint32_t> probe(LOOKUP_BATCH);
  for (uint32_t& p : probe) p = ids[rng() % ids.size()];
  return probe;
}

void BM_ServerIdLookup(benchmark::State& state) {
  game_world_shutdown();
  game_world_replace(catalogue_world_create(1, nullptr));
  std::vector<uint32_t> ids;
  for (uint32_t id : server_ids(state.range(0))) {
    uint32_t h = catalogue_entity_create(game_world(), SPACE_CREATURES, 0, 3);
    if (entity_register_id(id, h)) ids.push_back(id);
  }
  std::vector<uint32_t> probe = lookup_probe(ids);
  for (auto _ : state) {
    for (uint32_t id : probe) benchmark::DoNotOptimize(object_by_id(id));
  }
  state.SetItemsProcessed(state.iterations() * LOOKUP_BATCH);
  game_world_shutdown();
}
BENCHMARK(BM_ServerIdLookup)->ArgName("clustered")->Arg(0)->Arg(1);

// Reference: server id -> record pointer in std::unordered_map.
void BM_ReferenceServerIdUnorderedMap(benchmark::State& state) {
  std::vector<Creature> records(SERVER_OBJECTS);
  std::unordered_map<uint32_t, Creature*> map;
  std::vector<uint32_t> ids = server_ids(state.range(0));
  for (uint32_t i = 0; i < SERVER_OBJECTS; i++) map[ids[i]] = &records[i];
  std::vector<uint32_t> probe = lookup_probe(ids);
  for (auto _ : state) {
    for (uint32_t id : probe) benchmark::DoNotOptimize(map.find(id)->second);
  }
  state.SetItemsProcessed(state.iterations() * LOOKUP_BATCH);
}
BENCHMARK(BM_ReferenceServerIdUnorderedMap)->ArgName("clustered")->Arg(0)->Arg(1);

}  // namespace
