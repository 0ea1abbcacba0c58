// Zone loading of demo zone 3 from the built archives, beside a plain reference in the same
// run:
// - BM_ZoneEnterToSwap: zone_enter (opcode 14, no wait for a spawn) to the swap, the main
//   thread polling zone_frame as frames would; every load starts from a cold cache (the
//   placeholder step purges it) and nothing draws;
// - BM_ReadAndDecodeInOrder (the reference): the same entries (the zone's map, then per cell
//   in the loader's order its map and every asset it names) read from the archives and
//   decoded one after the other on one thread.
// The counter sleep_share is the part of a load the main thread spent in its 1 ms polls of
// the placeholder load (the rest of its time it draws in the client).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "assets/archive.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "game/game_world.h"
#include "game/zone_loading.h"
#include "game/zone_props.h"
#include "net/net.h"

namespace {

constexpr int32_t ZONE = 3;
constexpr float SPAWN_X = 112, SPAWN_Y = 0.1f, SPAWN_Z = 92;

std::string assets_dir() { return std::string(OSTREVANE_BINARY_DIR) + "/assets"; }

void start_once() {
  static bool started = false;
  if (started) return;
  started = true;
  event_bus_start();
  assets_startup(assets_dir().c_str());
  net_init();
  zone_loading_setup_locks();
  zone_set_line_sink([](const char*) {});
}

double now_ms() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_ZoneEnterToSwap(benchmark::State& state) {
  start_once();
  double total = 0, frame_time = 0;
  for (auto _ : state) {
    const double begin = now_ms();
    zone_enter(ZONE, SPAWN_X, SPAWN_Y, SPAWN_Z, 0);
    const double first = now_ms();
    zone_frame();  // the placeholder (polled every 1 ms) and the start of the worker
    frame_time += now_ms() - first;
    while (zone_loading()) {
      zone_frame();
      std::this_thread::yield();
    }
    total += now_ms() - begin;
    if (!game_world() || game_world()->tag != (uint32_t)ZONE) state.SkipWithError("zone 3 did not load");
    event_dispatch();
  }
  state.counters["cells"] = zone_last_report().cells;
  state.counters["placeholder_share"] = total > 0 ? frame_time / total : 0;
}
BENCHMARK(BM_ZoneEnterToSwap)->Unit(benchmark::kMillisecond)->UseRealTime();

void* read_and_decode(Archive* const* archives, uint32_t type, uint32_t id) {
  uint32_t size = 0;
  uint8_t* bytes = archive_read(archives[asset_archive_of(type)], id, &size);
  if (!bytes) return nullptr;
  AssetDecoder d = asset_decoder(type);
  void* object = d.decode ? d.decode(bytes, size) : nullptr;
  mem_free(bytes);
  return object;
}

void destroy(uint32_t type, void* object) {
  if (!object) return;
  AssetDecoder d = asset_decoder(type);
  if (d.destroy)
    d.destroy(object);
  else
    mem_free(object);
}

void BM_ReadAndDecodeInOrder(benchmark::State& state) {
  start_once();
  Archive* archives[ASSET_ARCHIVE_COUNT] = {};
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++)
    archives[i] = archive_open((assets_dir() + "/" + ASSET_ARCHIVE_NAMES[i]).c_str());
  for (auto _ : state) {
    std::vector<std::pair<uint32_t, void*>> objects;
    MapObject* zone = (MapObject*)read_and_decode(archives, ASSET_MAP, ZONE);
    objects.push_back({ASSET_MAP, zone});
    uint32_t cells[ZONE_PRELOAD_CELLS_MAX];
    const uint32_t n = zone_preload_cells(zone, 1, SPAWN_X, SPAWN_Z, 1e9f, cells);
    for (uint32_t i = 0; i < n; i++) {
      MapObject* cell = (MapObject*)read_and_decode(archives, ASSET_MAP, (uint32_t)ZONE << 16 | cells[i]);
      objects.push_back({ASSET_MAP, cell});
      ZoneAssetRef refs[512];
      const uint32_t count = zone_map_assets(cell, refs, 512);
      for (uint32_t k = 0; k < count; k++)
        objects.push_back({refs[k].type, read_and_decode(archives, refs[k].type, refs[k].id)});
    }
    benchmark::DoNotOptimize(objects.data());
    state.counters["cells"] = n;
    for (auto& o : objects) destroy(o.first, o.second);
  }
  for (Archive* a : archives)
    if (a) archive_close(a);
}
BENCHMARK(BM_ReadAndDecodeInOrder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
