#include "scene/world_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/bsp.h"
#include "assets/map.h"
#include "base/ini.h"
#include "base/mem.h"
#include "render/draw.h"
#include "settings/settings.h"
#include "support/draw_capture.h"
#include "support/test_files.h"

namespace {

// A face group of a hand-made cell: a rectangle at depth z (in front of the camera, which
// looks down -z) carrying its id in every vertex's u, so captured draws name their groups.
struct GroupSpec {
  uint32_t material;
  uint32_t id;
  float x0, x1, y0, y1, z;
  uint32_t vertices = 4;  // more: n points on the rectangle, one triangle per three
};

// One cell built by hand: one leaf, or a split at x = 0 (plane s = x) with the groups of
// negative x in the back leaf and the others in the front leaf.
struct HandCell {
  std::vector<uint16_t> keys;
  std::vector<BspFaceGroup> groups;
  std::vector<RenderVertex> vertices;
  std::vector<uint16_t> indices;
  std::vector<BspNode> nodes;
  std::vector<BspFaceGroup*> draw_list;
  std::vector<uint32_t> starts, counters;
  std::vector<uint32_t> textures;
  BspObject bsp{};
  MapObject map{};

  HandCell(std::vector<uint16_t> material_keys, std::vector<uint32_t> texture_ids,
           const std::vector<GroupSpec>& specs, bool split = false)
      : keys(std::move(material_keys)), textures(std::move(texture_ids)) {
    std::vector<uint32_t> first_vertex, first_index;
    for (const GroupSpec& s : specs) {
      first_vertex.push_back((uint32_t)vertices.size());
      first_index.push_back((uint32_t)indices.size());
      for (uint32_t i = 0; i < s.vertices; i++) {
        RenderVertex v{};
        float fx = s.vertices == 4 ? (i == 1 || i == 2 ? 1.0f : 0.0f) : (float)(i % 17) / 16.0f;
        float fy = s.vertices == 4 ? (i >= 2 ? 1.0f : 0.0f) : (float)(i / 17 % 17) / 16.0f;
        v.x = s.x0 + (s.x1 - s.x0) * fx;
        v.y = s.y0 + (s.y1 - s.y0) * fy;
        v.z = s.z;
        uint32_t material = 0x80808080u;
        memcpy(&v.w, &material, 4);
        v.colour = 0xC0000000u;
        v.u = (float)s.id;
        vertices.push_back(v);
      }
      uint32_t triangles = s.vertices == 4 ? 2 : s.vertices / 3;
      for (uint32_t t = 0; t < triangles; t++) {
        if (s.vertices == 4) {
          const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
          indices.insert(indices.end(), quad + 3 * t, quad + 3 * t + 3);
        } else {
          for (uint16_t k = 0; k < 3; k++) indices.push_back((uint16_t)(3 * t + k));
        }
      }
    }
    for (size_t i = 0; i < specs.size(); i++) {
      const GroupSpec& s = specs[i];
      BspFaceGroup g{};
      g.material = s.material;
      g.vertices = &vertices[first_vertex[i]];
      g.vertex_count = s.vertices;
      g.indices = &indices[first_index[i]];
      g.triangle_count = s.vertices == 4 ? 2 : s.vertices / 3;
      g.bounds = bounds_make(Vec3{s.x0, s.y0, s.z}, Vec3{s.x1, s.y1, s.z});
      groups.push_back(g);
    }
    // Leaves own runs of groups: order them back leaf first.
    std::vector<BspFaceGroup> back, front;
    for (const BspFaceGroup& g : groups) (split && g.bounds.max.x < 0 ? back : front).push_back(g);
    groups = back;
    groups.insert(groups.end(), front.begin(), front.end());
    nodes.resize(split ? 3 : 1);
    auto leaf = [&](BspNode* n, BspFaceGroup* first, uint32_t count) {
      n->groups = count ? first : nullptr;
      n->group_count = count;
      n->bounds = bounds_of(first, count);
    };
    if (split) {
      nodes[0].plane = Plane{1, 0, 0, 0};
      nodes[0].back = &nodes[1];
      nodes[0].front = &nodes[2];
      nodes[0].bounds = bounds_of(groups.data(), (uint32_t)groups.size());
      leaf(&nodes[1], groups.data(), (uint32_t)back.size());
      leaf(&nodes[2], groups.data() + back.size(), (uint32_t)front.size());
    } else {
      leaf(&nodes[0], groups.data(), (uint32_t)groups.size());
    }
    starts.assign(keys.size() + 1, 0);
    for (const BspFaceGroup& g : groups) starts[g.material + 1]++;
    for (size_t m = 0; m < keys.size(); m++) starts[m + 1] += starts[m];
    draw_list.assign(groups.size() + 1, nullptr);
    counters.assign(2 * keys.size() + 1, 0);
    bsp.root = &nodes[0];
    bsp.nodes = nodes.data();
    bsp.node_count = (uint32_t)nodes.size();
    bsp.material_count = (uint32_t)keys.size();
    bsp.material_keys = keys.data();
    bsp.groups = groups.data();
    bsp.group_count = (uint32_t)groups.size();
    bsp.draw_list = draw_list.data();
    bsp.bucket_starts = starts.data();
    bsp.counters = counters.data();
    bsp.vertices = vertices.data();
    bsp.vertex_count = (uint32_t)vertices.size();
    map.material_count = (uint32_t)textures.size();
    map.material_textures = textures.empty() ? nullptr : textures.data();
  }
  HandCell(const HandCell&) = delete;

  static Bounds bounds_of(const BspFaceGroup* g, uint32_t count) {
    if (!count) return bounds_make(Vec3{0, 0, 0}, Vec3{0, 0, 0});
    Vec3 lo = g[0].bounds.min, hi = g[0].bounds.max;
    for (uint32_t i = 1; i < count; i++) {
      lo = Vec3{std::min(lo.x, g[i].bounds.min.x), std::min(lo.y, g[i].bounds.min.y),
                std::min(lo.z, g[i].bounds.min.z)};
      hi = Vec3{std::max(hi.x, g[i].bounds.max.x), std::max(hi.y, g[i].bounds.max.y),
                std::max(hi.z, g[i].bounds.max.z)};
    }
    return bounds_make(lo, hi);
  }
  WorldCell cell() { return WorldCell{&bsp, &map}; }
};

// One captured draw, reduced to what the tests compare.
struct Pass {
  int32_t texture;
  uint32_t flags;
  std::vector<uint32_t> groups;  // in drawing order, each once
};

std::vector<Pass> passes(void) {
  std::vector<Pass> out;
  for (const CapturedDraw& d : draw_capture_draws()) {
    Pass p{d.texture, d.flags, {}};
    for (const RenderVertex& v : d.triangles) {
      uint32_t id = (uint32_t)v.u;
      if (std::find(p.groups.begin(), p.groups.end(), id) == p.groups.end()) p.groups.push_back(id);
    }
    out.push_back(p);
  }
  return out;
}

std::string describe(const std::vector<Pass>& ps) {
  std::string s;
  for (const Pass& p : ps) {
    s += "tex " + std::to_string(p.texture) + " flags " + std::to_string(p.flags) + ":";
    for (uint32_t g : p.groups) s += " " + std::to_string(g);
    s += "\n";
  }
  return s;
}

constexpr uint32_t WORLD = DRAW_TEXTURE | DRAW_CULL | DRAW_DEPTH_TEST | DRAW_FOG;
static_assert(WORLD == 0x20B);

class WorldGeometry : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_load((dir_ / "settings.ini").c_str());
    set_smooth(1);
    draw_capture_install();
    draw_capture_clear();
    const int8_t sun[3] = {0, 127, 0};
    const uint8_t white[4] = {255, 255, 255, 255};
    lighting_tables_build(sun, white);
    look_from(0, 0, 0);
  }
  void TearDown() override {
    draw_capture_uninstall();
    settings_close();
  }
  void set_smooth(int on) {
    ASSERT_TRUE(ini_set_int(settings_document(), "Rendering", "SMOOTH_TERRAIN", on));
  }
  void look_from(float x, float y, float z) {
    camera_build(&camera_, x, y, z, 0, 0, 0, 60, 0.1f, 100, 64, 48);
  }
  std::vector<Pass> draw(std::vector<WorldCell> cells, const LightBlock* block = nullptr) {
    draw_capture_clear();
    world_geometry_draw_cells(cells.data(), (uint32_t)cells.size(), &camera_, block);
    return passes();
  }

  TestTempDir dir_{"world_geometry"};
  Camera camera_;
};

// Inside the view: small rectangles 10 units ahead. Crossing: wider than the view.
GroupSpec inside(uint32_t material, uint32_t id, float x = 0) {
  return {material, id, x - 0.5f, x + 0.5f, -0.5f, 0.5f, -10};
}
GroupSpec crossing(uint32_t material, uint32_t id, float x = 0) {
  return {material, id, x - 50, x + 50, -0.5f, 0.5f, -10};
}

TEST_F(WorldGeometry, MaterialsInKeyOrderAcrossCellsEachTextureOnceInsideThenCrossing) {
  HandCell a({5, 20}, {105, 120}, {inside(0, 1), inside(1, 2), crossing(1, 3), crossing(1, 4)});
  HandCell b({10, 20}, {110, 999}, {inside(0, 5), inside(1, 6), crossing(1, 7)});
  ASSERT_EQ(frustum_classify(&camera_, &a.groups[0].bounds), 2) << "fixture: inside the view";
  ASSERT_EQ(frustum_classify(&camera_, &a.groups[2].bounds), 1) << "fixture: crossing the view";
  std::vector<Pass> got = draw({a.cell(), b.cell()});
  // Key 20 takes the first cell's texture; crossing groups in visiting order, cell by cell.
  std::vector<Pass> expected = {
      {105, WORLD | DRAW_NO_CLIP, {1}},
      {110, WORLD | DRAW_NO_CLIP, {5}},
      {120, WORLD | DRAW_NO_CLIP, {2, 6}},
      {120, WORLD, {3, 4, 7}},
  };
  ASSERT_EQ(describe(got), describe(expected));
  for (const CapturedDraw& d : draw_capture_draws()) {
    EXPECT_EQ(d.depth_function, DEPTH_LESS);
    EXPECT_EQ(d.triangles.size() % 3, 0u);
  }
  // A second frame draws the same.
  EXPECT_EQ(describe(draw({a.cell(), b.cell()})), describe(expected));
}

TEST_F(WorldGeometry, TransitionMaterialsStopTheWorldOrBlendOverIt) {
  HandCell a({5, 0x8001, 0x8002}, {105, 181, 182}, {inside(0, 1), inside(1, 2), crossing(2, 3)});
  HandCell b({7, 0x8001}, {107, 191}, {inside(0, 4), inside(1, 5)});
  struct Case {
    const char* why;
    int smooth;
    std::vector<Pass> expected;
  } cases[] = {
      {"off: nothing from the first transition key on",
       0,
       {{105, WORLD | DRAW_NO_CLIP, {1}}, {107, WORLD | DRAW_NO_CLIP, {4}}}},
      {"on: transitions blend without depth writes",
       1,
       {{105, WORLD | DRAW_NO_CLIP, {1}},
        {107, WORLD | DRAW_NO_CLIP, {4}},
        {181, WORLD | DRAW_BLEND | DRAW_NO_DEPTH_WRITE | DRAW_NO_CLIP, {2, 5}},
        {182, WORLD | DRAW_BLEND | DRAW_NO_DEPTH_WRITE, {3}}}},
  };
  for (const Case& c : cases) {
    set_smooth(c.smooth);
    std::vector<Pass> got = draw({a.cell(), b.cell()});
    EXPECT_EQ(describe(got), describe(c.expected)) << c.why;
    const std::vector<CapturedDraw>& d = draw_capture_draws();
    for (size_t i = 0; i < d.size(); i++) {
      bool blended = (d[i].flags & DRAW_BLEND) != 0;
      EXPECT_EQ(d[i].depth_function, blended ? DEPTH_LESS_EQUAL : DEPTH_LESS) << c.why << " draw " << i;
      if (blended) {
        EXPECT_EQ(d[i].blend, BLEND_ALPHA) << c.why;
      }
    }
    EXPECT_EQ(draw_record()->depth_function, DEPTH_LESS) << c.why << ": less again afterwards";
  }
}

TEST_F(WorldGeometry, BatchesStopBefore256VerticesAndNeverSplitAGroup) {
  GroupSpec big = inside(0, 3);
  big.vertices = 300;
  GroupSpec mid1 = inside(0, 1), mid2 = inside(0, 2), small = inside(0, 4);
  mid1.vertices = mid2.vertices = 120;
  small.vertices = 30;
  HandCell a({1}, {11}, {mid1, mid2, big, small});
  std::vector<Pass> got = draw({a.cell()});
  std::vector<Pass> expected = {
      {11, WORLD | DRAW_NO_CLIP, {1, 2}},
      {11, WORLD | DRAW_NO_CLIP, {3}},
      {11, WORLD | DRAW_NO_CLIP, {4}},
  };
  EXPECT_EQ(describe(got), describe(expected));
  ASSERT_EQ(draw_capture_draws().size(), 3u);
  EXPECT_EQ(draw_capture_draws()[1].triangles.size(), 300u) << "the large group whole";
}

TEST_F(WorldGeometry, TextureIndexBeyondTheMapsListDrawsUntextured) {
  HandCell a({1, 2, 3}, {11}, {inside(0, 1), inside(1, 2), inside(2, 3)});
  HandCell b({4}, {}, {inside(0, 4)});
  HandCell c({6}, {}, {inside(0, 6)});
  b.map.material_count = 5;  // a count without a list: still nothing to read
  std::vector<Pass> got = draw({a.cell(), b.cell(), WorldCell{&c.bsp, nullptr}});
  std::vector<int32_t> textures;
  for (const Pass& p : got) textures.push_back(p.texture);
  // Materials 1 and 2 of the first cell lie beyond its one texture id; the others have none.
  EXPECT_EQ(textures, (std::vector<int32_t>{11, 0, 0, 0, 0})) << describe(got);
}

TEST_F(WorldGeometry, VisitsTheCamerasSideOfEachSplitFirst) {
  // Two groups either side of x = 0, far enough ahead that both are wholly in view.
  GroupSpec west = {0, 1, -3, -1, -0.5f, 0.5f, -40}, east = {0, 2, 1, 3, -0.5f, 0.5f, -40};
  GroupSpec west_cross = {0, 3, -60, -1, -0.5f, 0.5f, -40}, east_cross = {0, 4, 1, 60, -0.5f, 0.5f, -40};
  HandCell a({1}, {11}, {west, east, west_cross, east_cross}, true);
  struct Case {
    const char* why;
    float x;
    std::vector<uint32_t> inside, crossing;
  } cases[] = {
      {"camera in front (x > 0)", 5, {2, 1}, {4, 3}},
      {"camera behind (x < 0)", -5, {1, 2}, {3, 4}},
      {"just behind the plane counts as in front", -0.00005f, {2, 1}, {4, 3}},
  };
  for (const Case& c : cases) {
    look_from(c.x, 0, 0);
    std::vector<Pass> got = draw({a.cell()});
    ASSERT_EQ(got.size(), 2u) << c.why << "\n" << describe(got);
    EXPECT_EQ(got[0].groups, c.inside) << c.why;
    EXPECT_EQ(got[1].groups, c.crossing) << c.why;
  }
}

TEST_F(WorldGeometry, LightMasksAreWrittenAndClearedWhenLightsGo) {
  HandCell a({1}, {11}, {inside(0, 1, -2), inside(0, 2, 2)});
  LightBlock block{};
  block.count = 1;
  block.lights[0].bounds = bounds_make(Vec3{1, -1, -11}, Vec3{3, 1, -9});  // reaches group 2 only
  draw({a.cell()}, &block);
  auto mask_of = [&](uint32_t id) {
    for (const BspFaceGroup& g : a.groups)
      if ((uint32_t)g.vertices[0].u == id) return ((const uint8_t*)&g.vertices[0].spare)[3];
    return (uint8_t)0xFF;
  };
  EXPECT_EQ(mask_of(1), 0);
  EXPECT_EQ(mask_of(2), 1);
  draw({a.cell()}, nullptr);
  EXPECT_EQ(mask_of(2), 0) << "no lights: a stale mask would name a light that is gone";
}

// Zone 3 of the demo content, decoded straight from the built archives.
struct DemoZone {
  std::vector<BspObject*> bsps;
  std::vector<MapObject*> maps;
  ~DemoZone() {
    for (BspObject* b : bsps) bsp_destroy(b);
    for (MapObject* m : maps) map_destroy(m);
  }
};

bool load_demo_zone(DemoZone* zone) {
  std::string dir = std::string(OSTREVANE_BINARY_DIR) + "/assets/";
  Archive* maps = archive_open((dir + "map.dat").c_str());
  Archive* bsps = archive_open((dir + "bsp.dat").c_str());
  bool ok = maps && bsps;
  for (uint32_t c = 0; ok && c < 4; c++) {
    for (uint32_t r = 0; ok && r < 4; r++) {
      uint32_t size = 0;
      uint8_t* bytes = archive_read(maps, 3u << 16 | c << 8 | r, &size);
      MapObject* map = bytes ? map_decode(bytes, size) : nullptr;
      mem_free(bytes);
      if (!map) {
        ok = false;
        break;
      }
      zone->maps.push_back(map);
      bytes = archive_read(bsps, map->bsp_id, &size);
      BspObject* bsp = bytes ? bsp_decode(bytes, size) : nullptr;
      mem_free(bytes);
      ok = bsp != nullptr;
      if (bsp) zone->bsps.push_back(bsp);
    }
  }
  if (maps) archive_close(maps);
  if (bsps) archive_close(bsps);
  return ok;
}

// The walk with its plane masks against classifying every group on its own, for random
// cameras over the demo zone: the same groups, each in the same pass.
TEST_F(WorldGeometry, VisibleGroupsEqualClassifyingEveryGroup) {
  DemoZone zone;
  ASSERT_TRUE(load_demo_zone(&zone)) << "build the assets target first";
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> across(-20, 276), height(0.5f, 60), angle(-180, 180), pitch(-60, 30);
  uint32_t seen_inside = 0, seen_crossing = 0;
  for (int trial = 0; trial < 60; trial++) {
    camera_build(&camera_, across(rng), height(rng), across(rng), pitch(rng), angle(rng), 0, 60, 0.1f,
                 trial % 2 ? 80.0f : 300.0f, 64, 48);
    uint32_t total_triangles = 0;
    for (BspObject* bsp : zone.bsps) {
      world_geometry_traverse(bsp, &camera_, nullptr);
      std::set<const BspFaceGroup*> in, cross;
      for (uint32_t m = 0; m < bsp->material_count; m++) {
        uint32_t start = bsp->bucket_starts[m], end = bsp->bucket_starts[m + 1];
        for (uint32_t i = 0; i < bsp->counters[2 * m]; i++) in.insert(bsp->draw_list[start + i]);
        for (uint32_t i = 0; i < bsp->counters[2 * m + 1]; i++) cross.insert(bsp->draw_list[end - 1 - i]);
        ASSERT_LE(bsp->counters[2 * m] + bsp->counters[2 * m + 1], end - start);
      }
      for (uint32_t g = 0; g < bsp->group_count; g++) {
        const BspFaceGroup* group = &bsp->groups[g];
        int expected = frustum_classify(&camera_, &group->bounds);
        int got = in.count(group) ? 2 : cross.count(group) ? 1 : 0;
        ASSERT_EQ(got, expected) << "trial " << trial << " bsp " << bsp->id << " group " << g;
        if (got) total_triangles += group->triangle_count;
      }
      seen_inside += (uint32_t)in.size();
      seen_crossing += (uint32_t)cross.size();
    }
    // Everything visible reaches the backend (smooth terrain on: transitions included).
    std::vector<WorldCell> cells;
    for (size_t i = 0; i < zone.bsps.size(); i++) cells.push_back(WorldCell{zone.bsps[i], zone.maps[i]});
    draw(cells);
    uint32_t drawn = 0;
    for (const CapturedDraw& d : draw_capture_draws()) drawn += (uint32_t)d.triangles.size() / 3;
    EXPECT_EQ(drawn, total_triangles) << "trial " << trial;
  }
  EXPECT_GT(seen_inside, 100u) << "the cameras must see groups wholly inside";
  EXPECT_GT(seen_crossing, 100u) << "and groups crossing the border";
}

}  // namespace

namespace {

// A group reached from two leaves (a tree the decoder would refuse) must not spill into the
// next material's bucket.
TEST_F(WorldGeometry, AFullBucketDropsTheGroupInsteadOfWritingIntoItsNeighbour) {
  GroupSpec west = {0, 1, -3, -1, -0.5f, 0.5f, -40}, east = {1, 2, 1, 3, -0.5f, 0.5f, -40};
  HandCell a({1, 2}, {11, 12}, {west, east}, true);
  a.nodes[2].groups = a.nodes[1].groups;  // the front leaf now names the west group as well
  a.nodes[2].bounds = a.nodes[0].bounds;
  world_geometry_traverse(&a.bsp, &camera_, nullptr);
  EXPECT_EQ(a.counters[0], 1u);
  EXPECT_EQ(a.counters[2] + a.counters[3], 0u);
  EXPECT_EQ(a.draw_list[a.starts[1]], nullptr) << "material 1's bucket stays untouched";
}

}  // namespace
