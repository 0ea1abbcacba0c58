// IntMap against std::unordered_map: find, insert and remove at 1k, 64k and 1M keys, with
// random keys and with clustered keys (entity handles that differ only in their high bits,
// which would pile up on one home slot if keys were placed by their low bits).
#include <benchmark/benchmark.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "base/intmap.h"

static std::vector<uint32_t> make_keys(size_t n, bool clustered) {
  std::vector<uint32_t> keys(n);
  std::mt19937 rng(42);
  for (size_t i = 0; i < n; i++) {
    if (clustered)
      keys[i] = (uint32_t)((i % 13) << 24 | (i / 13 + 1));  // 13 spaces, dense indices
    else
      keys[i] = rng() | 1;
  }
  return keys;
}

static void IntMapFind(benchmark::State& state) {
  auto keys = make_keys(state.range(0), state.range(1));
  IntMap* map = intmap_create(0);
  for (uint32_t k : keys) intmap_insert(map, k, (void*)(uintptr_t)k);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(intmap_find(map, keys[i]));
    if (++i == keys.size()) i = 0;
  }
  intmap_destroy(map, nullptr);
  state.SetItemsProcessed(state.iterations());
}

static void StdMapFind(benchmark::State& state) {
  auto keys = make_keys(state.range(0), state.range(1));
  std::unordered_map<uint32_t, void*> map;
  for (uint32_t k : keys) map.emplace(k, (void*)(uintptr_t)k);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(keys[i]));
    if (++i == keys.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

// Insert every key, then remove every key: one iteration is 2n operations.
static void IntMapInsertRemove(benchmark::State& state) {
  auto keys = make_keys(state.range(0), state.range(1));
  for (auto _ : state) {
    IntMap* map = intmap_create(0);
    for (uint32_t k : keys) intmap_insert(map, k, (void*)(uintptr_t)k);
    for (uint32_t k : keys) benchmark::DoNotOptimize(intmap_take(map, k));
    intmap_destroy(map, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * 2 * keys.size());
}

static void StdMapInsertRemove(benchmark::State& state) {
  auto keys = make_keys(state.range(0), state.range(1));
  for (auto _ : state) {
    std::unordered_map<uint32_t, void*> map;
    for (uint32_t k : keys) map.emplace(k, (void*)(uintptr_t)k);
    for (uint32_t k : keys) map.erase(k);
  }
  state.SetItemsProcessed(state.iterations() * 2 * keys.size());
}

#define SIZES              \
  Args({1 << 10, 0})       \
      ->Args({1 << 16, 0}) \
      ->Args({1 << 20, 0}) \
      ->Args({1 << 10, 1}) \
      ->Args({1 << 16, 1}) \
      ->Args({1 << 20, 1}) \
      ->ArgNames({"keys", "clustered"})
BENCHMARK(IntMapFind)->SIZES;
BENCHMARK(StdMapFind)->SIZES;
BENCHMARK(IntMapInsertRemove)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(StdMapInsertRemove)->SIZES->Unit(benchmark::kMillisecond);
