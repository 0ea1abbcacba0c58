#include "assets/bsp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

struct NodeSpec {
  int32_t leaf, back, front;
  float plane[4];
  float min[3], max[3];
  uint32_t group_count, first_group, triangle_count, first_triangle;
};
struct GroupSpec {
  uint16_t material, vertex_count;
  uint32_t triangle_count, first_vertex, first_index;
  float min[3], max[3];
};
struct TriangleSpec {
  uint16_t material;
  uint32_t flags, surface, a, b, c;
  float vectors[6];
};
struct VertexSpec {
  float x, y, z;
  uint32_t colour, light, normal;
  float u, v;
};

struct BspSpec {
  uint8_t magic[4] = {'B', 'S', 'P', '2'};
  uint32_t version = 4;
  std::vector<uint16_t> keys;
  std::vector<NodeSpec> nodes;
  std::vector<GroupSpec> groups;
  std::vector<TriangleSpec> triangles;
  std::vector<VertexSpec> vertices;
  std::vector<uint16_t> indices;
  // Counts written into the header in place of the vectors' sizes (when set).
  int64_t claimed_materials = -1;
};

struct Writer {
  std::vector<uint8_t> data;
  void u16(uint16_t v) { data.insert(data.end(), {(uint8_t)v, (uint8_t)(v >> 8)}); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; i++) data.push_back((uint8_t)(v >> (8 * i)));
  }
  void f32(float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    u32(v);
  }
};

std::vector<uint8_t> write_bsp(const BspSpec& s) {
  Writer w;
  w.data.insert(w.data.end(), s.magic, s.magic + 4);
  w.u32(s.version);
  w.u32(s.claimed_materials >= 0 ? (uint32_t)s.claimed_materials : (uint32_t)s.keys.size());
  for (size_t n : {s.nodes.size(), s.groups.size(), s.triangles.size(), s.vertices.size(), s.indices.size()})
    w.u32((uint32_t)n);
  for (uint16_t k : s.keys) w.u16(k);
  for (const NodeSpec& n : s.nodes) {
    w.u32((uint32_t)n.leaf);
    w.u32((uint32_t)n.back);
    w.u32((uint32_t)n.front);
    for (float f : n.plane) w.f32(f);
    for (float f : n.min) w.f32(f);
    for (float f : n.max) w.f32(f);
    for (uint32_t v : {n.group_count, n.first_group, n.triangle_count, n.first_triangle}) w.u32(v);
  }
  for (const GroupSpec& g : s.groups) {
    w.u16(g.material);
    w.u16(g.vertex_count);
    for (uint32_t v : {g.triangle_count, g.first_vertex, g.first_index}) w.u32(v);
    for (float f : g.min) w.f32(f);
    for (float f : g.max) w.f32(f);
  }
  for (const TriangleSpec& t : s.triangles) {
    w.u16(t.material);
    for (uint32_t v : {t.flags, t.surface, t.a, t.b, t.c}) w.u32(v);
    for (float f : t.vectors) w.f32(f);
  }
  for (const VertexSpec& v : s.vertices) {
    for (float f : {v.x, v.y, v.z}) w.f32(f);
    for (uint32_t u : {v.colour, v.light, v.normal}) w.u32(u);
    w.f32(v.u);
    w.f32(v.v);
  }
  for (uint16_t i : s.indices) w.u16(i);
  return w.data;
}

// Three materials; a root split at x = 1 over two leaves. The back leaf holds groups 0 and 1
// (materials 2 and 0), the front leaf group 2 (material 2); one triangle each over six
// vertices; two collision triangles, one per leaf.
BspSpec base_spec() {
  BspSpec s;
  s.keys = {10, 20, 30};
  s.nodes = {
      {-1, 1, 2, {1, 0, 0, -1}, {0, 0, 0}, {2, 1, 1}, 0, 0, 0, 0},
      {0, -1, -1, {0, 0, 0, 0}, {0, 0, 0}, {1, 1, 1}, 2, 0, 1, 0},
      {1, -1, -1, {0, 0, 0, 0}, {1, 0, 0}, {2, 1, 1}, 1, 2, 1, 1},
  };
  s.groups = {
      {2, 3, 1, 0, 0, {0, 0, 0}, {1, 1, 0}},
      {0, 3, 1, 0, 3, {0, 0, 0}, {1, 1, 0}},
      {2, 3, 1, 3, 6, {1, 0, 0}, {2, 1, 0}},
  };
  s.triangles = {
      {1, 0x09, 0xAB030201, 0, 1, 2, {1, 2, 3, 4, 5, 6}},
      {2, 0x00, 0x00FFFFFF, 3, 4, 5, {0, 0, 0, 0, 0, 0}},
  };
  s.vertices = {
      {0, 0, 0, 0x80FFFFFF, 0xC0102030, 0xFFFFFF05, 0.5f, 0.25f},
      {1, 0, 0, 0x80FFFFFF, 0xC0102030, 7, 1, 0},
      {0, 1, 0, 0x80FFFFFF, 0xC0102030, 8, 0, 1},
      {1, 0, 0, 0x80FFFFFF, 0xC0102030, 9, 0, 0},
      {2, 0, 0, 0x80FFFFFF, 0xC0102030, 9, 1, 0},
      {2, 1, -1, 0x80FFFFFF, 0xC0102030, 9, 1, 1},
  };
  s.indices = {0, 1, 2, 2, 1, 0, 0, 1, 2};
  return s;
}

BspObject* decode(const std::vector<uint8_t>& bytes) {
  return bsp_decode(bytes.data(), (uint32_t)bytes.size());
}

// A chain of nodes, each the front child of the one before; the last is a leaf.
BspSpec chain_spec(int32_t length) {
  BspSpec s;
  for (int32_t i = 0; i < length; i++)
    s.nodes.push_back({-1, -1, i + 1 < length ? i + 1 : -1, {0, 1, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0, 0, 0});
  return s;
}

}  // namespace

TEST(BspDecode, BuildsTheObjectFromAValidFile) {
  BspObject* b = decode(write_bsp(base_spec()));
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->node_count, 3u);
  EXPECT_EQ(b->root, &b->nodes[0]);
  EXPECT_EQ(b->root->back, &b->nodes[1]);
  EXPECT_EQ(b->root->front, &b->nodes[2]);
  EXPECT_EQ(b->nodes[1].back, nullptr) << "-1 children make a leaf";
  EXPECT_EQ(b->nodes[1].front, nullptr);
  EXPECT_EQ(b->root->plane.a, 1.0f);
  EXPECT_EQ(b->root->plane.d, -1.0f);
  EXPECT_EQ(b->root->bounds.centre.x, 1.0f);
  EXPECT_EQ(b->root->bounds.size.x, 2.0f);
  EXPECT_EQ(b->nodes[2].groups, &b->groups[2]);
  EXPECT_EQ(b->nodes[2].group_count, 1u);
  EXPECT_EQ(b->nodes[2].triangles, &b->triangles[1]);
  EXPECT_EQ(b->root->groups, nullptr);

  ASSERT_EQ(b->material_count, 3u);
  EXPECT_EQ(b->material_keys[2], 30);
  // Materials 2, 0, 2: the groups of materials below j.
  EXPECT_EQ(std::vector<uint32_t>(b->bucket_starts, b->bucket_starts + 4),
            (std::vector<uint32_t>{0, 1, 1, 3}));

  const BspFaceGroup& g = b->groups[2];
  EXPECT_EQ(g.material, 2u);
  EXPECT_EQ(g.vertices, &b->vertices[3]);
  EXPECT_EQ(g.vertex_count, 3u);
  EXPECT_EQ(g.indices, &b->indices[6]);
  EXPECT_EQ(g.triangle_count, 1u);
  EXPECT_EQ(g.bounds.max.x, 2.0f);

  EXPECT_EQ((uintptr_t)b->vertices % 16, 0u);
  const RenderVertex& v = b->vertices[0];
  uint32_t material_colour;
  memcpy(&material_colour, &v.w, 4);
  EXPECT_EQ(material_colour, 0x80FFFFFFu) << "material colour at byte 12";
  EXPECT_EQ(v.colour, 0xC0102030u) << "baked light and shade at byte 16";
  EXPECT_EQ(v.spare, 5u) << "normal index at byte 20, the three bytes after it zero";
  EXPECT_EQ(v.u, 0.5f);
  EXPECT_EQ(v.v, 0.25f);
  bsp_destroy(b);
}

TEST(BspDecode, CollisionTrianglesCarryTheSurfaceShadeCornersAndBounds) {
  BspObject* b = decode(write_bsp(base_spec()));
  ASSERT_NE(b, nullptr);
  const BspCollisionTriangle& t = b->triangles[0];
  EXPECT_EQ(t.material, 1u);
  EXPECT_EQ(t.surface, 0x09u) << "the flags word is the surface word";
  EXPECT_EQ(t.shade[0], 0x01) << "corner a in the lowest byte";
  EXPECT_EQ(t.shade[1], 0x02);
  EXPECT_EQ(t.shade[2], 0x03);
  EXPECT_EQ(t.spare, 0) << "the value's top byte is dropped";
  EXPECT_EQ(t.corners[0], &b->vertices[0].x);
  EXPECT_EQ(t.corners[2], &b->vertices[2].x);
  EXPECT_EQ(t.vectors[1][2], 6.0f);
  const BspCollisionTriangle& u = b->triangles[1];
  EXPECT_EQ(u.corners[1], &b->vertices[4].x);
  // Bounds of corners (1,0,0), (2,0,0), (2,1,-1).
  EXPECT_EQ(std::vector<float>(u.min, u.min + 3), (std::vector<float>{1, 0, -1}));
  EXPECT_EQ(std::vector<float>(u.max, u.max + 3), (std::vector<float>{2, 1, 0}));
  EXPECT_EQ(u.shade[0], 0xFF);
  bsp_destroy(b);
}

TEST(BspDecode, AcceptsOrRejectsEachCase) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    std::function<void(BspSpec&)> change;
    bool accepted;
  };
  const Case cases[] = {
      {"the base file", [](BspSpec&) {}, true},
      {"magic byte 0", [](BspSpec& s) { s.magic[0] = 'b'; }, false},
      {"magic byte 1", [](BspSpec& s) { s.magic[1] = 'T'; }, false},
      {"magic byte 2", [](BspSpec& s) { s.magic[2] = 'Q'; }, false},
      {"magic byte 3", [](BspSpec& s) { s.magic[3] = '1'; }, false},
      {"version 3", [](BspSpec& s) { s.version = 3; }, false},
      {"no nodes", [](BspSpec& s) { s.nodes.clear(); }, false},
      {"65536 materials", [](BspSpec& s) { s.keys.resize(65536); }, false},
      {"a child index equal to the node count", [](BspSpec& s) { s.nodes[0].front = 3; }, false},
      {"a group ending exactly at the last index",
       [](BspSpec& s) {
         s.groups[2].first_index = 6;
         s.groups[2].triangle_count = 1;
       },
       true},
      {"a group ending one index past the last", [](BspSpec& s) { s.groups[2].first_index = 7; }, false},
      {"first index + 3 x count wrapping past 32 bits",
       [](BspSpec& s) {
         s.groups[2].first_index = 4;
         s.groups[2].triangle_count = 0x55555555;  // 3 x count = 2^32 - 1
       },
       false},
      {"group vertices past the vertex count", [](BspSpec& s) { s.groups[2].first_vertex = 4; }, false},
      {"group first vertex past the limit", [](BspSpec& s) { s.groups[0].first_vertex = 1048577; }, false},
      {"group material not below the count", [](BspSpec& s) { s.groups[0].material = 3; }, false},
      {"an index equal to its group's vertex count", [](BspSpec& s) { s.indices[7] = 3; }, false},
      {"an index inside the cell but outside its group",
       [](BspSpec& s) {
         s.groups[0].vertex_count = 2;
         s.indices[0] = 0;
         s.indices[1] = 1;
         s.indices[2] = 2;
       },
       false},
      {"node groups past the group count", [](BspSpec& s) { s.nodes[2].group_count = 2; }, false},
      {"node collision range past the count", [](BspSpec& s) { s.nodes[2].first_triangle = 2; }, false},
      {"node first group past the limit",
       [](BspSpec& s) {
         s.nodes[0].first_group = 1048577;
         s.nodes[0].group_count = 0;
       },
       false},
      {"collision corner not below the vertex count", [](BspSpec& s) { s.triangles[1].c = 6; }, false},
      {"collision material not below the count", [](BspSpec& s) { s.triangles[0].material = 3; }, false},
      {"a shared child", [](BspSpec& s) { s.nodes[0].front = 1; }, false},
      {"node 0 as a child", [](BspSpec& s) { s.nodes[1].back = 0; }, false},
      {"a node whose child is itself", [](BspSpec& s) { s.nodes[2].front = 2; }, false},
      {"a cycle apart from the root",
       [](BspSpec& s) {
         s.nodes.push_back({-1, 4, -1, {0, 1, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0, 0, 0});
         s.nodes.push_back({-1, 3, -1, {0, 1, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0, 0, 0});
       },
       false},
      {"an unreachable leaf",
       [](BspSpec& s) {
         s.nodes.push_back({-1, -1, -1, {0, 1, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0, 0, 0});
       },
       false},
      {"leaves whose group ranges overlap", [](BspSpec& s) { s.nodes[2].first_group = 1; }, false},
      {"an internal node's range overlapping a leaf's (never read)",
       [](BspSpec& s) { s.nodes[0].group_count = 3; }, true},
      {"NaN plane", [&](BspSpec& s) { s.nodes[0].plane[3] = nan; }, false},
      {"infinite plane normal", [&](BspSpec& s) { s.nodes[0].plane[1] = -inf; }, false},
      {"NaN node bounds", [&](BspSpec& s) { s.nodes[2].max[1] = nan; }, false},
      {"infinite group bounds", [&](BspSpec& s) { s.groups[1].min[0] = inf; }, false},
      {"NaN vertex position", [&](BspSpec& s) { s.vertices[5].z = nan; }, false},
      {"NaN texture coordinate (not a position)", [&](BspSpec& s) { s.vertices[5].u = nan; }, true},
  };
  for (const Case& c : cases) {
    BspSpec spec = base_spec();
    c.change(spec);
    BspObject* b = decode(write_bsp(spec));
    EXPECT_EQ(b != nullptr, c.accepted) << c.what;
    bsp_destroy(b);
  }
}

TEST(BspDecode, RejectsWrongLengthsAndShortHeaders) {
  std::vector<uint8_t> good = write_bsp(base_spec());
  std::vector<uint8_t> longer = good, shorter(good.begin(), good.end() - 1);
  longer.push_back(0);
  EXPECT_EQ(decode(longer), nullptr);
  EXPECT_EQ(decode(shorter), nullptr);
  EXPECT_EQ(bsp_decode(good.data(), 31), nullptr);
  EXPECT_EQ(bsp_decode(nullptr, 32), nullptr);
}

TEST(BspDecode, TreesDeeperThanTheTraversalStacksAreRejected) {
  BspObject* deepest = decode(write_bsp(chain_spec(1024)));
  EXPECT_NE(deepest, nullptr) << "1024 nodes from root to leaf";
  bsp_destroy(deepest);
  EXPECT_EQ(decode(write_bsp(chain_spec(1025))), nullptr);
}

TEST(BspDecode, EmptyCellHasOneLeafAndNoArrays) {
  BspObject* b = decode(write_bsp(chain_spec(1)));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->material_count, 0u);
  EXPECT_EQ(b->group_count, 0u);
  EXPECT_EQ(b->bucket_starts[0], 0u);
  EXPECT_EQ(b->root->back, nullptr);
  bsp_destroy(b);
}
