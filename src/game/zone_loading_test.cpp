#include "game/zone_loading.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "assets/bsp.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "base/event_bus.h"
#include "game/game_world.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "scene/zone_stream.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "support/test_wait.h"
#include "support/zone_fixture.h"

namespace {

// Zone 1 (the placeholder) and 2 (the background) have no grid; zone 3 is 2 x 2 cells of 64
// with one BSP each; zone 5 is 2 x 2 cells whose cell (1, 1) BSP blocks until the gate opens.
// Zone 9 is not in the archive.
constexpr uint32_t SIZE = 64;
constexpr uint16_t BLOCKING_KEY = 0xBEEF;

uint32_t cell(uint32_t zone, uint32_t column, uint32_t row) { return zone << 16 | column << 8 | row; }
uint32_t bsp_of(uint32_t zone, uint32_t column, uint32_t row) { return zone * 100 + column * 8 + row + 1; }

struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool open = true;
} g_gate;
std::atomic<int> g_zone5_decodes;
std::atomic<bool> g_blocked;  // a decode waits at the gate  // BSPs of zone 5 decoded (their keys are 0x50..0x5F)

void* gated_bsp_decode(const uint8_t* bytes, uint32_t length) {
  const uint32_t key = length >= BSP_HEADER_SIZE + 2 ? (uint32_t)(bytes[32] | bytes[33] << 8) : 0;
  if (key == BLOCKING_KEY) {
    std::unique_lock<std::mutex> hold(g_gate.lock);
    g_blocked = !g_gate.open;
    g_gate.changed.wait(hold, [] { return g_gate.open; });
  }
  if (key == BLOCKING_KEY || (key >> 4) == 5) g_zone5_decodes++;
  return bsp_decode_asset(bytes, length);
}

void set_gate(bool open) {
  {
    std::lock_guard<std::mutex> hold(g_gate.lock);
    g_gate.open = open;
  }
  g_gate.changed.notify_all();
}

std::vector<int32_t> g_failed_events;
void on_event(uint32_t event, const void* data) {
  if (event == EVENT_ZONE_FAILED) g_failed_events.push_back(*(const int32_t*)data);
}

int g_removes;

struct Call {
  int32_t phase;
  uint32_t map_id;  // 0 for none
  bool main_thread;
  bool operator==(const Call& o) const {
    return phase == o.phase && map_id == o.map_id && main_thread == o.main_thread;
  }
};
std::thread::id g_main;
std::mutex g_calls_lock;
std::vector<Call> g_calls;
void record_call(int32_t phase, const MapObject* map, EntityWorld*) {
  std::lock_guard<std::mutex> hold(g_calls_lock);
  g_calls.push_back({phase, map ? map->id : 0, std::this_thread::get_id() == g_main});
}

class ZoneLoading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir("zone_loading");
    std::vector<std::pair<uint32_t, ZoneFixtureBytes>> maps, bsps;
    maps.push_back({1, zone_fixture_map(1, 0, nullptr)});
    maps.push_back({2, zone_fixture_map(2, 0, nullptr)});
    ZoneFixtureGrid grid{0, 0, 2, 2, SIZE};
    for (uint32_t zone : {3u, 5u}) {
      maps.push_back({zone, zone_fixture_map(zone, 0, &grid)});
      for (uint32_t c = 0; c < 2; c++) {
        for (uint32_t r = 0; r < 2; r++) {
          maps.push_back({cell(zone, c, r), zone_fixture_map(cell(zone, c, r), bsp_of(zone, c, r), nullptr)});
          const uint16_t key =
              zone == 5 && c == 1 && r == 1 ? BLOCKING_KEY : (uint16_t)(zone * 16 + c * 2 + r + 1);
          bsps.push_back({bsp_of(zone, c, r),
                          zone_fixture_bsp({{(float)(c * SIZE), (float)(r * SIZE), (float)SIZE, 0, key, 0x80808080u}})});
        }
      }
    }
    ASSERT_TRUE(zone_fixture_write_archive(*dir_ / "map.dat", maps));
    ASSERT_TRUE(zone_fixture_write_archive(*dir_ / "bsp.dat", bsps));
    zone_fixture_write_empty_archives(dir_->path, {"map.dat", "bsp.dat"});
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    g_main = std::this_thread::get_id();
    settings_load((*dir_ / "settings.ini").c_str());
    event_bus_start();
    event_subscribe(on_event);
    g_failed_events.clear();
    g_calls.clear();
    g_removes = 0;
    g_zone5_decodes = 0;
    g_blocked = false;
    set_gate(true);
    asset_set_decoder(ASSET_BSP, {gated_bsp_decode, bsp_destroy_asset});
    assets_startup(dir_->path.c_str());
    net_init();
    net_effects_clear();
    net_effects()->remove = [](const NetEvent*, const MsgId*) { g_removes++; };
    zone_cells_setup();
    zone_loading_setup_locks();
    zone_add_cell_listener(record_call);
    zone_set_line_sink([](const char*) {});
    zone_loading_setup_requests();  // the background zone
    finish();
    g_calls.clear();
  }

  void TearDown() override {
    set_gate(true);
    zone_loading_shutdown();
    zone_stream_reset();
    zone_cells_setup();
    game_world_replace(nullptr);
    net_effects_clear();
    net_shutdown();
    assets_shutdown();
    event_unsubscribe(on_event);
    event_bus_stop();
    asset_set_decoder(ASSET_BSP, {});
    settings_close();
  }

  // Frames until the load is over (swapped in or failed).
  static bool finish() {
    return test_wait_until([] {
      zone_frame();
      net_frame();
      return !zone_loading();
    });
  }
  // Frames until the worker has finished (the swap may still wait for the spawn).
  static bool until_built() {
    return test_wait_until([] {
      zone_frame();
      return zone_progress().done == 1;
    });
  }
  static void deliver(uint16_t opcode, uint32_t value = 1) {
    uint8_t payload[28] = {(uint8_t)value, (uint8_t)(value >> 8), 0, 0};
    NetMessage m = {0, opcode, 0, payload, opcode == MSG_REMOVE ? 4 : 28};
    net_deliver(&m);
  }
  static uint32_t world_tag() { return game_world() ? game_world()->tag : 0; }
  // Holding is off and nothing is held: a message goes straight through.
  static void expect_released() {
    const int before = g_removes;
    net_frame();
    EXPECT_EQ(net_held_count(), 0u);
    deliver(MSG_REMOVE);
    EXPECT_EQ(g_removes, before + 1) << "still holding";
  }

  static TestTempDir* dir_;
};
TestTempDir* ZoneLoading::dir_ = nullptr;

TEST_F(ZoneLoading, TheBackgroundZoneLoadsWithoutHoldingOrSix) {
  EXPECT_EQ(world_tag(), 2u);
  EXPECT_EQ(zone_ready_sent(), 0u);
  expect_released();
}

// A spawn in the same poll as its zone-enter, or once the worker is done (the usual order),
// clears the wait: the swap follows and the held spawn is delivered.
TEST_F(ZoneLoading, ASpawnAnywhereInTheLoadClearsTheWait) {
  for (int early : {1, 0}) {
    zone_enter(3, 10, 0, 10, 1);
    deliver(MSG_ZONE_ENTER);  // a repeated enter, held: the spawn drops it
    if (early) deliver(MSG_SPAWN_LOCAL_PLAYER);
    if (!early) {
      ASSERT_TRUE(until_built());
      zone_frame();
      EXPECT_TRUE(zone_loading()) << "waits for the spawn";
      EXPECT_EQ(world_tag(), 1u) << "the placeholder meanwhile";
      deliver(MSG_SPAWN_LOCAL_PLAYER);
    }
    EXPECT_EQ(net_held_count(), 1u) << "only the spawn stays held";
    ASSERT_TRUE(finish());
    EXPECT_EQ(world_tag(), 3u);
    EXPECT_EQ(zone_last_report().cells, 4u);
    EXPECT_EQ(zone_progress().progress, 0.0f) << "cleared by the swap";
    expect_released();
  }
  EXPECT_EQ(zone_ready_sent(), 2u);
}

TEST_F(ZoneLoading, AFailedZoneKeepsThePlaceholderAndReleasesEverything) {
  zone_enter(9, 0, 0, 0, 1);
  deliver(MSG_REMOVE);
  ASSERT_TRUE(finish());
  EXPECT_EQ(world_tag(), 1u);
  EXPECT_EQ(zone_ready_sent(), 0u);
  EXPECT_EQ(g_removes, 1) << "the held message came out";
  expect_released();
  zone_enter(70000, 0, 0, 0, 1);  // refused where it is requested
  EXPECT_FALSE(zone_loading());
  zone_change(0, 1);
  EXPECT_FALSE(zone_loading());
  event_dispatch();
  EXPECT_EQ(g_failed_events, (std::vector<int32_t>{9, 70000, 0}));
}

// A change while a load runs cancels it: the worker builds nothing after the asset in
// flight, the held messages go, and only the new zone is reported.
TEST_F(ZoneLoading, AChangeDuringALoadWins) {
  set_gate(false);
  zone_enter(5, 100, 0, 100, 1);  // cell (1, 1) first: its BSP blocks
  zone_frame();
  ASSERT_TRUE(test_wait_until([] { return g_blocked.load(); }));
  deliver(MSG_REMOVE);
  std::thread opener([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    set_gate(true);
  });
  zone_change(3, 1);
  opener.join();
  EXPECT_EQ(net_held_count(), 0u) << "discarded";
  deliver(MSG_SPAWN_LOCAL_PLAYER);
  ASSERT_TRUE(finish());
  EXPECT_GE(g_zone5_decodes.load(), 1) << "the asset in flight completed";
  for (const Call& c : g_calls)
    EXPECT_FALSE(c.phase == 1 && c.map_id >> 16 == 5) << "zone 5 built a cell after the cancel";
  EXPECT_EQ(world_tag(), 3u);
  EXPECT_EQ(zone_ready_sent(), 1u);
  EXPECT_EQ(g_removes, 0);
  expect_released();
}

// The server may name zone 1 or 2: no 6 answers it, so nothing waits for a spawn.
TEST_F(ZoneLoading, ServerZonesOneAndTwoSwapWithoutWaiting) {
  for (int32_t zone : {2, 1}) {
    zone_change(zone, 1);
    ASSERT_TRUE(finish());
    EXPECT_EQ(world_tag(), (uint32_t)zone);
    zone_enter(zone, 0, 0, 0, 1);
    ASSERT_TRUE(finish());
    EXPECT_EQ(world_tag(), (uint32_t)zone);
  }
  EXPECT_EQ(zone_ready_sent(), 0u);
  expect_released();
}

TEST_F(ZoneLoading, PreloadedAssetsStayPinnedUntilTheSwap) {
  zone_enter(3, 10, 0, 10, 1);
  ASSERT_TRUE(until_built());
  EXPECT_EQ(asset_release(ASSET_BSP, bsp_of(3, 1, 1)), 0) << "pinned";
  deliver(MSG_SPAWN_LOCAL_PLAYER);
  ASSERT_TRUE(finish());
  EXPECT_EQ(asset_unpin(ASSET_BSP, bsp_of(3, 1, 1)), 0) << "no pin left after the swap";
  // Streaming took every preloaded cell as loaded.
  EXPECT_EQ(zone_loaded_cell_count(), 4u);
}

TEST_F(ZoneLoading, ListenerPhasesInOrderOnTheirThreads) {
  zone_change(3, 0);
  ASSERT_TRUE(finish());
  std::vector<Call> want = {{0, 0, true},  {2, 0, true},  {0, 0, false}, {1, 1, false}, {2, 1, true},
                            {0, 0, false}, {1, 3, false}};
  for (uint32_t c = 0; c < 2; c++)
    for (uint32_t r = 0; r < 2; r++) want.push_back({1, 0, false});
  want.push_back({2, 3, true});
  std::vector<Call> got = g_calls;
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 7; i < 11; i++) {
    EXPECT_EQ(got[i].map_id >> 16, 3u) << "a cell of zone 3";
    got[i].map_id = 0;
  }
  EXPECT_EQ(got, want);
}

TEST_F(ZoneLoading, ProgressNeverFallsAndEndsAtOne) {
  zone_enter(3, 10, 0, 10, 1);
  float last = 0;
  bool fell = false;
  ASSERT_TRUE(test_wait_until([&] {
    zone_frame();
    ZoneProgress p = zone_progress();
    fell = fell || p.progress < last;
    last = p.progress;
    return p.done == 1;
  }));
  EXPECT_FALSE(fell);
  EXPECT_EQ(last, 1.0f);
  deliver(MSG_SPAWN_LOCAL_PLAYER);
  ASSERT_TRUE(finish());
}

}  // namespace

namespace {

std::vector<int> g_seen;
void seen(const NetEvent* e) { g_seen.push_back(e->opcode); }

// Messages held during a load come out after the swap in arrival order, each once, without
// the zone-enter the spawn dropped.
TEST_F(ZoneLoading, HeldMessagesComeOutOnceInOrderAfterTheSwap) {
  g_seen.clear();
  NetEffects* fx = net_effects();
  fx->spawn_player = [](const NetEvent* e, const SpawnCharacter*) { seen(e); };
  fx->spawn_object = [](const NetEvent* e, const SpawnObject*) { seen(e); };
  fx->spawn_local_player = [](const NetEvent* e, const SpawnCharacter*) { seen(e); };
  fx->move = [](const NetEvent* e, const MsgMove*) { seen(e); };
  fx->chat = [](const NetEvent* e, const MsgChat*) { seen(e); };
  fx->zone_enter = [](const NetEvent* e, const MsgZone*) { seen(e); };
  zone_enter(3, 10, 0, 10, 1);
  for (uint16_t op : {MSG_SPAWN_PLAYER, MSG_SPAWN_OBJECT, MSG_ZONE_ENTER, MSG_SPAWN_LOCAL_PLAYER, MSG_MOVE, MSG_CHAT})
    deliver(op);
  EXPECT_TRUE(g_seen.empty()) << "nothing comes out while loading";
  ASSERT_TRUE(finish());
  net_frame();
  EXPECT_EQ(g_seen, (std::vector<int>{MSG_SPAWN_PLAYER, MSG_SPAWN_OBJECT, MSG_SPAWN_LOCAL_PLAYER, MSG_MOVE, MSG_CHAT}));
}

}  // namespace
