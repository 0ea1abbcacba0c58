#include "game/zone_props.h"

#include <gtest/gtest.h>

#include <vector>

#include "assets/cache.h"
#include "assets/map.h"
#include "game/game_world.h"
#include "game/zone_loading.h"
#include "world/octree.h"

namespace {

MapProp prop(uint32_t kind, float x, float z, uint32_t light = 0, uint32_t sound = 0, uint32_t mesh = 0) {
  MapProp p = {};
  p.kind = kind;
  p.position[0] = x;
  p.position[2] = z;
  for (int i = 0; i < 3; i++) {
    p.scale[i] = 1;
    p.bounds_min[i] = -1;
    p.bounds_max[i] = 1;
  }
  p.light_flag = light;
  p.sound_flag = sound;
  p.light_radius_max = 5;
  p.radius = 3;
  p.mesh_id = mesh;
  p.mesh_word2 = mesh ? mesh + 1000 : 0;
  p.sound_id = sound ? 77 : 0;
  return p;
}

struct Entry {
  MapObject map = {};
  std::vector<MapProp> props;
  std::vector<uint32_t> textures;
  Entry(uint32_t id, std::vector<MapProp> p, uint32_t columns = 0) : props(std::move(p)) {
    map.id = id;
    map.cell_size = columns ? 64 : 0;
    map.grid_columns = columns;
    map.grid_rows = columns;
    map.prop_count = (uint32_t)props.size();
    map.props = props.empty() ? nullptr : props.data();
  }
};

struct ZoneProps : ::testing::Test {
  EntityWorld* world = nullptr;
  void make_world(const MapObject* zone) {
    PropCounts counts = zone_prop_counts(zone);
    world = catalogue_world_create(3, &counts);
    catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
    ASSERT_EQ(zone_props_setup(world, zone), 1);
  }
  void TearDown() override {
    if (world) world_destroy(world);
  }
  uint32_t count(uint32_t space) { return space_entity_count(world_space(world, space)); }
  uint32_t hits(uint32_t which, float x, float z) {
    Bounds box = bounds_make({x - 0.5f, -0.5f, z - 0.5f}, {x + 0.5f, 0.5f, z + 0.5f});
    uint32_t keys[8], n = 0;
    octree_query_box(zone_props_tree(world, which), &box, keys, 8, &n);
    return n;
  }
};

TEST_F(ZoneProps, CellPropsGoToTheirSpacesAndTreesAndLeaveExactly) {
  Entry zone(3, {}, 2);  // grid 0..128: the root spans -64..192
  make_world(&zone.map);
  Entry cell(3u << 16 | 1, {prop(0, 10, 10), prop(4, 20, 20), prop(6, 30, 30), prop(0, 40, 40, 1),
                            prop(0, 50, 50, 0, 1), prop(5, 60, 60)});
  EXPECT_EQ(zone_cell_props_create(world, &cell.map), 6u);
  EXPECT_EQ(zone_cell_props_create(world, &cell.map), 0u);  // placed once per world
  EXPECT_EQ(count(SPACE_PROPS), 1u);
  EXPECT_EQ(count(SPACE_WATER), 1u);
  EXPECT_EQ(count(SPACE_PROPS_D), 1u);
  EXPECT_EQ(count(SPACE_LIGHTS), 1u);
  EXPECT_EQ(count(SPACE_SOUNDS), 1u);
  EXPECT_EQ(count(SPACE_PROPS_C), 1u);
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 10, 10), 1u);
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 20, 20), 1u);
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 30, 30), 1u);
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 60, 60), 0u);  // kind 5 is in no tree
  EXPECT_EQ(hits(ZONE_TREE_LIGHTS, 43, 40), 1u);  // radius 5
  EXPECT_EQ(hits(ZONE_TREE_SOUNDS, 52, 50), 1u);  // radius 3

  EXPECT_EQ(zone_cell_props_remove(world, &cell.map), 6u);
  EXPECT_EQ(zone_cell_props_remove(world, &cell.map), 0u);
  for (uint32_t s : {SPACE_PROPS, SPACE_WATER, SPACE_PROPS_D, SPACE_LIGHTS, SPACE_SOUNDS, SPACE_PROPS_C})
    EXPECT_EQ(count(s), 0u) << s;
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 10, 10), 0u);
  EXPECT_EQ(hits(ZONE_TREE_LIGHTS, 40, 40), 0u);
}

// Collision meets the current world's props through the tree: each box as the tree holds it
// (scaled and moved), with the header's flag word, so the queries' filter tells a solid prop
// (bit 0 clear) from a water volume (bit 0 set).
TEST_F(ZoneProps, TheCurrentWorldsPropsAreTheCollisionSource) {
  Entry zone(3, {}, 2);
  make_world(&zone.map);
  MapProp crate = prop(0, 10, 10), pool = prop(4, 12, 10);
  crate.scale[0] = 2;
  crate.position[1] = 3;
  pool.header_flag = 1;
  Entry cell(3u << 16 | 1, {crate, pool, prop(0, 90, 90)});
  ASSERT_EQ(zone_cell_props_create(world, &cell.map), 3u);
  game_world_replace(world);
  world = nullptr;  // the game world owns it now

  PropBox boxes[4];
  const Bounds near = bounds_make({8, 0, 8}, {13, 5, 12});
  ASSERT_EQ(zone_props_boxes(&near, boxes, 4), 2);
  const PropBox& a = boxes[0].header ? boxes[1] : boxes[0];
  const PropBox& b = boxes[0].header ? boxes[0] : boxes[1];
  EXPECT_EQ(a.header, 0u);
  EXPECT_FLOAT_EQ(a.bounds.min.x, 8);
  EXPECT_FLOAT_EQ(a.bounds.max.x, 12);
  EXPECT_FLOAT_EQ(a.bounds.min.y, 2);
  EXPECT_FLOAT_EQ(a.bounds.max.y, 4);
  EXPECT_EQ(b.header, 1u);
  EXPECT_EQ(zone_props_boxes(&near, boxes, 1), 1);  // never more than asked

  props_set_source(zone_props_boxes);
  uint32_t handles[4];
  EXPECT_EQ(props_gather_box(&near, 0, handles, 4), 1);
  EXPECT_EQ(handles[0], a.handle);
  EXPECT_EQ(props_gather_box(&near, 1, handles, 4), 1);
  EXPECT_EQ(handles[0], b.handle);
  props_set_source(nullptr);
  game_world_replace(nullptr);
  const Bounds none = bounds_make({0, 0, 0}, {1, 1, 1});
  EXPECT_EQ(zone_props_boxes(&none, boxes, 4), 0);  // no world: no props
}

TEST_F(ZoneProps, PropsOutsideTheRootAreEntitiesButCounted) {
  Entry zone(3, {}, 2);
  make_world(&zone.map);
  Entry cell(3u << 16, {prop(0, 10, 10), prop(0, 5000, 10), prop(0, 10, -400)});
  EXPECT_EQ(zone_cell_props_create(world, &cell.map), 3u);
  EXPECT_EQ(count(SPACE_PROPS), 3u);
  EXPECT_EQ(zone_props_outside(world), 2u);
  EXPECT_EQ(zone_cell_props_remove(world, &cell.map), 3u);
}

TEST_F(ZoneProps, WithoutAGridTheRootSpansTheZonesOwnProps) {
  Entry zone(3, {prop(0, -500, 20), prop(0, 700, -30), prop(0, 0, 0, 1)});
  make_world(&zone.map);
  EXPECT_EQ(zone_cell_props_create(world, &zone.map), 3u);
  EXPECT_EQ(zone_props_outside(world), 0u);
  EXPECT_EQ(hits(ZONE_TREE_PROPS, 700, -30), 1u);
}

TEST(ZoneMapAssets, EveryAssetOnceInAFixedOrder) {
  Entry cell(5, {prop(0, 0, 0, 0, 0, 11), prop(0, 0, 0, 0, 0, 11), prop(0, 0, 0, 0, 1), prop(0, 0, 0, 1, 0, 12)});
  cell.textures = {21, 22, 21};
  cell.map.material_count = 3;
  cell.map.material_textures = cell.textures.data();
  cell.map.bsp_id = 9;
  ZoneAssetRef refs[16];
  const uint32_t n = zone_map_assets(&cell.map, refs, 16);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (uint32_t i = 0; i < n; i++) got.push_back({refs[i].type, refs[i].id});
  const std::vector<std::pair<uint32_t, uint32_t>> want = {
      {ASSET_BSP, 9}, {ASSET_TEXTURE, 21}, {ASSET_TEXTURE, 22}, {ASSET_MESH, 11}, {ASSET_TEXTURE, 1011},
      {ASSET_SOUND, 77}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(zone_map_assets(&cell.map, refs, 2), 2u);
}

TEST(ZonePreloadCells, RingsFromTheViewDistanceAndTheGrid) {
  EXPECT_EQ(zone_ring_count(1000, 64), 6);
  EXPECT_EQ(zone_ring_count(100, 64), 2);
  EXPECT_EQ(zone_ring_count(10, 64), 1);
  EXPECT_EQ(zone_ring_count(100, 0), 1);

  Entry big(3, {}, 20);
  uint32_t out[ZONE_PRELOAD_CELLS_MAX];
  EXPECT_EQ(zone_preload_cells(&big.map, 0, 0, 0, 0, out), 256u);  // 400 cells, capped
  EXPECT_EQ(out[0], 0u);

  // Cell size 64, 100 units of view: rings 0..2 around the clamped cell (19, 0).
  const uint32_t n = zone_preload_cells(&big.map, 1, 5000, -300, 100, out);
  EXPECT_EQ(out[0], (19u << 8) | 0u);
  EXPECT_EQ(n, 9u);  // a 3 x 3 corner of the 5 x 5 square
  Entry none(3, {});
  EXPECT_EQ(zone_preload_cells(&none.map, 1, 0, 0, 100, out), 0u);
}

}  // namespace
