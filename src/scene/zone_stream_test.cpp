#include "scene/zone_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "assets/bsp.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "base/event_bus.h"
#include "base/ini.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "scene/environment.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "support/test_wait.h"
#include "support/zone_fixture.h"

namespace {

constexpr uint32_t ZONE = 7;
constexpr uint32_t SIZE = 100;  // cell size: a 50-unit view keeps the radius at one cell
constexpr uint16_t BLOCKING_KEY = 0xBEEF;

uint32_t cell(uint32_t column, uint32_t row) { return ZONE << 16 | column << 8 | row; }
uint32_t bsp_of(uint32_t column, uint32_t row) { return 5000 + column * 8 + row; }

// Special cells around (1, 6): a BSP that fails to decode, a BSP that is not in the archive,
// a map that fails to decode, a BSP whose load never finishes.
const uint32_t BAD_BSP_CELL = cell(0, 5), MISSING_BSP_CELL = cell(0, 7), BAD_MAP_CELL = cell(1, 7),
               STUCK_BSP_CELL = cell(2, 7);
// Cells (2, 3) and (3, 3) share one BSP entry.
uint32_t bsp_id_of(uint32_t column, uint32_t row) {
  uint32_t id = cell(column, row);
  if (id == BAD_BSP_CELL) return 6001;
  if (id == MISSING_BSP_CELL) return 6002;
  if (id == STUCK_BSP_CELL) return 6003;
  if (column == 2 && row == 3) return bsp_of(3, 3);
  return bsp_of(column, row);
}

// The BSP decoder with a gate: an entry whose first material key is BLOCKING_KEY waits
// until the gate opens, as a load that never finishes does.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool open = false;
} g_gate;
std::atomic<uint32_t> g_bad_map_decodes;

void* gated_bsp_decode(const uint8_t* bytes, uint32_t length) {
  if (length >= BSP_HEADER_SIZE + 2 && (bytes[32] | bytes[33] << 8) == BLOCKING_KEY) {
    std::unique_lock<std::mutex> hold(g_gate.lock);
    g_gate.changed.wait(hold, [] { return g_gate.open; });
  }
  return bsp_decode_asset(bytes, length);
}

void* counting_map_decode(const uint8_t* bytes, uint32_t length) {
  if (length >= 4 && (uint32_t)(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24) == BAD_MAP_CELL)
    g_bad_map_decodes++;
  return map_decode_asset(bytes, length);
}

std::vector<std::string> g_log;
void log_prepare(uint32_t id, MapObject* map) {
  g_log.push_back("prepare " + std::to_string(id) + (map && map->id == id ? "" : " wrong map"));
}
void log_create(uint32_t id, MapObject*) { g_log.push_back("create " + std::to_string(id)); }
void log_remove(uint32_t id, MapObject*) { g_log.push_back("remove " + std::to_string(id)); }
void log_loaded(uint32_t id) { g_log.push_back("loaded " + std::to_string(id)); }

class ZoneStream : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir("zone_stream");
    std::vector<std::pair<uint32_t, ZoneFixtureBytes>> maps, bsps;
    ZoneFixtureGrid grid{0, 0, 8, 8, SIZE};
    maps.push_back({ZONE, zone_fixture_map(ZONE, 0, &grid)});
    for (uint32_t c = 0; c < 8; c++) {
      for (uint32_t r = 0; r < 8; r++) {
        uint32_t id = cell(c, r);
        ZoneFixtureBytes map = zone_fixture_map(id, bsp_id_of(c, r), nullptr);
        if (id == BAD_MAP_CELL) map.resize(map.size() + 3);  // a length no map has
        maps.push_back({id, map});
        if (bsp_id_of(c, r) == bsp_of(c, r)) {
          bsps.push_back({bsp_of(c, r), zone_fixture_bsp({{(float)(c * SIZE), (float)(r * SIZE), (float)SIZE,
                                                           0, (uint16_t)(c * 8 + r), 0x80808080u}})});
        }
      }
    }
    bsps.push_back({6001, ZoneFixtureBytes(40, 7)});
    bsps.push_back({6003, zone_fixture_bsp({{200, 700, 100, 0, BLOCKING_KEY, 0x80808080u}})});
    ASSERT_TRUE(zone_fixture_write_archive(*dir_ / "map.dat", maps));
    ASSERT_TRUE(zone_fixture_write_archive(*dir_ / "bsp.dat", bsps));
    zone_fixture_write_empty_archives(dir_->path, {"map.dat", "bsp.dat"});
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    settings_load((*dir_ / "settings.ini").c_str());
    event_bus_start();
    {
      std::lock_guard<std::mutex> hold(g_gate.lock);
      g_gate.open = false;
    }
    g_bad_map_decodes = 0;
    asset_set_decoder(ASSET_BSP, {gated_bsp_decode, bsp_destroy_asset});
    asset_set_decoder(ASSET_MAP, {counting_map_decode, map_destroy_asset});
    assets_startup(dir_->path.c_str());
    zone_cells_setup();
    g_log.clear();
    ZoneCellHooks hooks{log_prepare, log_create, log_remove};
    zone_stream_set_hooks(&hooks);
    zone_on_cell_loaded(log_loaded);

    EntityWorld* world = catalogue_world_create(ZONE, nullptr);
    game_world_replace(world);
    camera_ = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
    uint32_t h = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
    ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, h);
    const float white[3] = {1, 1, 1};
    env_record_init(e, white, 50, 50, 10, 50, 2, SIZE);

    AssetHandle handle;
    asset_request_wait(&handle, ASSET_MAP, ZONE);
    ASSERT_TRUE(handle.object);
    zone_map_ = (MapObject*)handle.object;
  }

  void TearDown() override {
    {
      std::lock_guard<std::mutex> hold(g_gate.lock);
      g_gate.open = true;
    }
    g_gate.changed.notify_all();
    zone_stream_reset();
    zone_cells_setup();
    game_world_replace(nullptr);
    assets_shutdown();
    event_bus_stop();
    asset_set_decoder(ASSET_BSP, {});
    asset_set_decoder(ASSET_MAP, {});
    settings_close();
  }

  // The camera at the centre of a cell, looking level along -z with a 50-unit far plane.
  void place_camera(float x, float z) {
    CameraState* s = (CameraState*)entity_component(game_world(), COMPONENT_CAMERA_STATE, camera_);
    camera_build(&s->camera, x, 10, z, 0, 0, 0, 60, 0.1f, 50, 64, 48);
  }
  void place_camera_in(uint32_t column, uint32_t row) {
    place_camera((column + 0.5f) * SIZE, (row + 0.5f) * SIZE);
  }

  // Updates until `loaded` cells completed, checking that no frame completes two.
  bool stream_until_loaded(uint32_t loaded) {
    return test_wait_until([&] {
      uint32_t before = zone_stream_loaded_total();
      zone_stream_update();
      EXPECT_LE(zone_stream_loaded_total(), before + 1) << "two cells completed in one frame";
      return zone_stream_loaded_total() >= loaded;
    });
  }

  static int32_t state_of(uint32_t id) {
    for (uint32_t i = 0; i < ZONE_CELL_SLOTS; i++) {
      const ZoneCell* s = zone_cell_slot(i);
      if (s->state != ZONE_CELL_FREE && s->id == id) return s->state;
    }
    return ZONE_CELL_FREE;
  }

  static TestTempDir* dir_;
  uint32_t camera_ = 0;
  MapObject* zone_map_ = nullptr;
};
TestTempDir* ZoneStream::dir_ = nullptr;

TEST(ZoneRings, EnumeratesRingByRingInsideTheGrid) {
  struct Case {
    const char* why;
    int32_t column, row, radius;
    uint32_t columns, rows;
    std::vector<uint32_t> expected;  // column << 8 | row
  } cases[] = {
      {"ring 0 is the cell itself", 3, 3, 0, 8, 8, {0x0303}},
      {"ring 1: the row before, the two sides, the row after",
       3,
       3,
       1,
       8,
       8,
       {0x0303, 0x0202, 0x0302, 0x0402, 0x0203, 0x0403, 0x0204, 0x0304, 0x0404}},
      {"cells outside the grid are skipped", 0, 0, 1, 8, 8, {0x0000, 0x0100, 0x0001, 0x0101}},
      {"a one-cell grid", 0, 0, 6, 1, 1, {0x0000}},
  };
  for (const Case& c : cases) {
    uint32_t out[ZONE_RING_MAX_CELLS];
    uint32_t n = zone_ring_cells(c.column, c.row, c.radius, c.columns, c.rows, out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + n), c.expected) << c.why;
  }
  // Radius 6 in the middle of a large grid: 13 x 13 cells, each once, nearest rings first.
  uint32_t out[ZONE_RING_MAX_CELLS];
  uint32_t n = zone_ring_cells(100, 100, 6, 256, 256, out);
  ASSERT_EQ(n, 169u);
  int32_t last = 0;
  for (uint32_t i = 0; i < n; i++) {
    int32_t ring = std::max(abs((int32_t)(out[i] >> 8) - 100), abs((int32_t)(out[i] & 255) - 100));
    EXPECT_GE(ring, last) << i;
    last = ring;
    for (uint32_t j = 0; j < i; j++) ASSERT_NE(out[i], out[j]);
  }
  // The cap: never more than 256 entries.
  EXPECT_EQ(zone_ring_cells(100, 100, 10, 256, 256, out), ZONE_RING_MAX_CELLS);
}

// Walking east one cell at a time: requests go out in ring order, one cell completes per
// frame with its hooks in order, moving one cell releases exactly the cells that end up two
// rings beyond the radius, and the shared BSP goes with its last user.
TEST_F(ZoneStream, StreamsRingsAndReleasesBehindThePlayer) {
  ASSERT_TRUE(zone_stream_set_grid(ZONE, zone_map_));
  place_camera_in(3, 3);
  zone_stream_update();
  ASSERT_EQ(zone_stream_radius(), 1);
  uint32_t ring[ZONE_RING_MAX_CELLS];
  uint32_t n = zone_ring_cells(3, 3, 1, 8, 8, ring);
  for (uint32_t i = 0; i < n; i++) {
    EXPECT_EQ(zone_cell_slot(i)->id, cell(ring[i] >> 8, ring[i] & 255)) << "slot " << i;
  }
  ASSERT_TRUE(stream_until_loaded(9));
  // Each cell: its map prepared, then entities created, then the loaded functions.
  for (uint32_t i = 0; i < n; i++) {
    std::string id = std::to_string(cell(ring[i] >> 8, ring[i] & 255));
    auto at = [&](const std::string& line) {
      return std::find(g_log.begin(), g_log.end(), line) - g_log.begin();
    };
    ASSERT_LT(at("prepare " + id), at("create " + id)) << id;
    ASSERT_EQ(at("create " + id) + 1, at("loaded " + id)) << id;
  }
  EXPECT_EQ(std::count_if(g_log.begin(), g_log.end(),
                          [](const std::string& s) { return s.find("wrong") != s.npos; }),
            0);
  // The list: nearest first, ties in table order.
  ASSERT_EQ(zone_loaded_cell_count(), 9u);
  EXPECT_EQ(zone_cell_map(0)->id, cell(3, 3));
  for (uint32_t i = 1; i < 9; i++) EXPECT_EQ(zone_cell_map(i)->id, cell(ring[i] >> 8, ring[i] & 255));
  EXPECT_EQ(zone_loaded_cell(0)->id, bsp_of(3, 3));

  place_camera_in(4, 3);
  ASSERT_TRUE(stream_until_loaded(12));
  EXPECT_EQ(zone_stream_released_total(), 0u) << "cells one ring beyond the radius stay";
  EXPECT_EQ(zone_cell_map(0)->id, cell(4, 3));

  g_log.clear();
  place_camera_in(5, 3);
  zone_stream_update();
  std::vector<std::string> removed;
  for (const std::string& line : g_log)
    if (line.rfind("remove ", 0) == 0) removed.push_back(line);
  EXPECT_EQ(removed, (std::vector<std::string>{"remove " + std::to_string(cell(2, 2)),
                                               "remove " + std::to_string(cell(2, 3)),
                                               "remove " + std::to_string(cell(2, 4))}));
  AssetHandle h;
  for (uint32_t row : {2u, 3u, 4u}) EXPECT_FALSE(asset_find(&h, ASSET_MAP, cell(2, row))) << row;
  EXPECT_FALSE(asset_find(&h, ASSET_BSP, bsp_of(2, 2)));
  EXPECT_FALSE(asset_find(&h, ASSET_BSP, bsp_of(2, 4)));
  EXPECT_TRUE(asset_find(&h, ASSET_BSP, bsp_of(3, 3))) << "(3, 3) still uses the shared BSP";
  EXPECT_TRUE(asset_find(&h, ASSET_MAP, cell(3, 3)));

  ASSERT_TRUE(stream_until_loaded(15));
  place_camera_in(6, 3);
  zone_stream_update();
  EXPECT_EQ(state_of(cell(3, 3)), ZONE_CELL_FREE);
  EXPECT_FALSE(asset_find(&h, ASSET_BSP, bsp_of(3, 3))) << "released with its last user";
  for (uint32_t i = 0; i < zone_loaded_cell_count(); i++) {
    uint32_t id = zone_cell_map(i)->id;
    EXPECT_LE(std::max(abs((int32_t)(id >> 8 & 255) - 6), abs((int32_t)(id & 255) - 3)), 2) << id;
  }
}

TEST_F(ZoneStream, FailedCellsAreReadyAndNotRetriedAndAStuckBspBlocksNoOne) {
  ASSERT_TRUE(zone_stream_set_grid(ZONE, zone_map_));
  place_camera_in(1, 6);
  // Six good cells complete; the three failures settle meanwhile.
  ASSERT_TRUE(stream_until_loaded(5));
  ASSERT_TRUE(test_wait_until([&] {
    zone_stream_update();
    return state_of(BAD_BSP_CELL) == ZONE_CELL_FAILED && state_of(MISSING_BSP_CELL) == ZONE_CELL_FAILED &&
           state_of(BAD_MAP_CELL) == ZONE_CELL_FAILED;
  }));
  for (int i = 0; i < 30; i++) zone_stream_update();
  struct Case {
    const char* why;
    uint32_t id;
    int32_t state;
    int ready;
  } cases[] = {
      {"a BSP that does not decode", BAD_BSP_CELL, ZONE_CELL_FAILED, 1},
      {"a BSP missing from the archive", MISSING_BSP_CELL, ZONE_CELL_FAILED, 1},
      {"a map that does not decode", BAD_MAP_CELL, ZONE_CELL_FAILED, 1},
      {"a BSP that never arrives", STUCK_BSP_CELL, ZONE_CELL_REQUESTED, 0},
      {"a good cell", cell(1, 6), ZONE_CELL_LOADED, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(state_of(c.id), c.state) << c.why;
    float x = ((c.id >> 8 & 255) + 0.5f) * SIZE, z = ((c.id & 255) + 0.5f) * SIZE;
    EXPECT_EQ(zone_cell_ready(x, z), c.ready) << c.why;
    EXPECT_EQ(zone_cell_at(x, z) != nullptr, c.state == ZONE_CELL_LOADED) << c.why;
  }
  EXPECT_EQ(zone_loaded_cell_count(), 5u);
  EXPECT_EQ(g_bad_map_decodes.load(), 1u) << "a failed map is not asked for again while in range";
  EXPECT_EQ(zone_cell_ready(-1e9f, 1e9f), 1) << "points outside the grid clamp to an edge cell (0, 7)";
  EXPECT_EQ(zone_cell_ready(750, 50), 0) << "a cell never requested is not ready";
}

TEST_F(ZoneStream, NoGridStreamsNothing) {
  struct Case {
    const char* why;
    uint32_t zone;
    float origin_x;
    uint32_t columns, rows, cell_size;
  } cases[] = {
      {"cell size 0", ZONE, 0, 8, 8, 0},
      {"no columns", ZONE, 0, 0, 8, 100},
      {"257 rows", ZONE, 0, 8, 257, 100},
      {"non-finite origin", ZONE, NAN, 8, 8, 100},
      {"infinite origin", ZONE, INFINITY, 8, 8, 100},
      {"zone 0", 0, 0, 8, 8, 100},
      {"zone 65536", 65536, 0, 8, 8, 100},
  };
  place_camera_in(3, 3);
  for (const Case& c : cases) {
    MapObject map = *zone_map_;
    map.grid_origin_x = c.origin_x;
    map.grid_columns = c.columns;
    map.grid_rows = c.rows;
    map.cell_size = c.cell_size;
    EXPECT_EQ(zone_stream_set_grid(c.zone, &map), 0) << c.why;
    for (int i = 0; i < 3; i++) zone_stream_update();
    EXPECT_EQ(zone_cell_slot(0)->state, ZONE_CELL_FREE) << c.why;
    EXPECT_EQ(asset_pending(), 0u) << c.why;
    EXPECT_EQ(zone_cell_ready(350, 350), 1) << c.why;
    EXPECT_EQ(zone_loaded_cell_count(), 0u) << c.why;
  }
  EXPECT_EQ(zone_stream_set_grid(ZONE, zone_map_), 1) << "the fixture's own grid is one";
}

TEST_F(ZoneStream, FollowsTheCameraUntilALocalPlayerExists) {
  ASSERT_TRUE(zone_stream_set_grid(ZONE, zone_map_));
  place_camera_in(1, 1);
  zone_stream_update();
  EXPECT_EQ(zone_stream_player_column(), 1);
  EXPECT_EQ(zone_stream_player_row(), 1);

  EntityWorld* world = game_world();
  uint32_t player = catalogue_entity_create(world, SPACE_LOCAL_PLAYER, 0, 0);
  ASSERT_TRUE(player);
  ASSERT_TRUE(entity_register_id(42, player));
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, player);
  ASSERT_TRUE(t);
  t->position = Vec3{650, 0, 520};
  zone_stream_update();
  EXPECT_EQ(zone_stream_player_column(), 6) << "the camera stays at (1, 1)";
  EXPECT_EQ(zone_stream_player_row(), 5);
  EXPECT_EQ(zone_stream_radius(), 6) << "the view reaches from the player to the far camera's corners";
  EXPECT_EQ(state_of(cell(6, 5)), ZONE_CELL_REQUESTED);
}

TEST(ZoneStreamAdopt, AdoptedCellsEnterLoadedAndCallTheLoadedFunctions) {
  zone_cells_setup();
  static uint32_t calls;
  calls = 0;
  for (int i = 0; i < 16; i++) EXPECT_EQ(zone_on_cell_loaded([](uint32_t) { calls++; }), 1);
  EXPECT_EQ(zone_on_cell_loaded([](uint32_t) { calls += 100; }), 0) << "a 17th is ignored";
  MapObject zone{};
  zone.grid_columns = zone.grid_rows = 4;
  zone.cell_size = 10;
  ASSERT_TRUE(zone_stream_set_grid(3, &zone));
  MapObject map{};
  map.bsp_id = 9;
  BspObject bsp{};
  EXPECT_EQ(zone_stream_adopt(3 << 16 | 1 << 8 | 2, &map, &bsp), 1);
  EXPECT_EQ(zone_stream_adopt(3 << 16 | 1 << 8 | 2, &map, &bsp), 0) << "already in the table";
  EXPECT_EQ(zone_stream_adopt(3 << 16 | 2 << 8 | 2, &map, nullptr), 0) << "no BSP";
  EXPECT_EQ(calls, 16u);
  EXPECT_EQ(zone_loaded_cell_count(), 1u);
  EXPECT_EQ(zone_loaded_cell(0), &bsp);
  EXPECT_EQ(zone_cell_at(15, 25)->bsp, &bsp);
  EXPECT_EQ(zone_cell_at(25, 25), nullptr);
  EXPECT_EQ(zone_cell_at(45, 25), nullptr) << "outside the grid";
  EXPECT_EQ(zone_cell_ready(15, 25), 1);
  EXPECT_EQ(zone_cell_ready(5, 5), 0);
  zone_cells_setup();
}

}  // namespace
