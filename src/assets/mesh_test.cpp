#include "assets/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "assets/normal_table.h"

namespace {

struct FileVertex {
  float u = 0, v = 0;
  uint32_t colour = 0;
  int8_t normal[3] = {0, 0, 0};
  uint16_t bones[4] = {0, 0, 0, 0};
  float weights[4] = {1, 0, 0, 0};
  float x = 0, y = 0, z = 0;
};

struct MeshFile {
  uint32_t flags = 0;
  std::vector<FileVertex> vertices;
  std::vector<uint32_t> indices;
  float bounds[6] = {-1, -1, -1, 1, 1, 1};
  uint32_t claimed_vertices = UINT32_MAX, claimed_triangles = UINT32_MAX;
};

struct Bytes {
  std::vector<uint8_t> data;
  void put(const void* p, size_t n) { data.insert(data.end(), (const uint8_t*)p, (const uint8_t*)p + n); }
  void u32(uint32_t v) { put(&v, 4); }
  void u16(uint16_t v) { put(&v, 2); }
  void f32(float v) { put(&v, 4); }
};

std::vector<uint8_t> write_mesh(const MeshFile& m) {
  Bytes b;
  b.u32(m.flags);
  b.u32(m.claimed_vertices != UINT32_MAX ? m.claimed_vertices : (uint32_t)m.vertices.size());
  b.u32(m.claimed_triangles != UINT32_MAX ? m.claimed_triangles : (uint32_t)m.indices.size() / 3);
  for (float f : m.bounds) b.f32(f);
  for (const FileVertex& v : m.vertices) {
    if (m.flags & MESH_UV) b.f32(v.u), b.f32(v.v);
    if (m.flags & MESH_COLOUR) b.u32(v.colour);
    if (m.flags & MESH_NORMAL) b.put(v.normal, 3);
    if (m.flags & MESH_SKIN) {
      for (uint16_t bone : v.bones) b.u16(bone);
      for (float w : v.weights) b.f32(w);
    }
    b.f32(v.x), b.f32(v.y), b.f32(v.z);
  }
  for (uint32_t i : m.indices) b.u32(i);
  return b.data;
}

Mesh* decode(const std::vector<uint8_t>& bytes) { return mesh_decode(bytes.data(), (uint32_t)bytes.size()); }

MeshFile triangle_file(uint32_t flags) {
  MeshFile f;
  f.flags = flags;
  f.vertices.resize(3);
  for (int i = 0; i < 3; i++) f.vertices[i].x = (float)i;
  f.indices = {0, 1, 2};
  return f;
}

TEST(MeshDecode, AcceptsOnlyExactCountsAndLengths) {
  static constexpr float nan = std::numeric_limits<float>::quiet_NaN();
  static constexpr float inf = std::numeric_limits<float>::infinity();
  using FileEdit = void (*)(MeshFile*);
  using ByteEdit = void (*)(std::vector<uint8_t>*);
  struct Case {
    const char* name;
    FileEdit file;   // before writing (null: none)
    ByteEdit bytes;  // on the written bytes (null: none)
    bool accepted;
  } cases[] = {
      {"as written", nullptr, nullptr, true},
      {"one byte long", nullptr, [](std::vector<uint8_t>* b) { b->push_back(0); }, false},
      {"one byte short", nullptr, [](std::vector<uint8_t>* b) { b->pop_back(); }, false},
      {"header only", nullptr, [](std::vector<uint8_t>* b) { b->resize(35); }, false},
      {"no vertices", [](MeshFile* f) { f->vertices.clear(), f->indices.clear(); }, nullptr, false},
      {"65536 vertices", [](MeshFile* f) { f->vertices.resize(65536); }, nullptr, true},
      {"65537 vertices", [](MeshFile* f) { f->vertices.resize(65537); }, nullptr, false},
      {"no triangles", [](MeshFile* f) { f->indices.clear(); }, nullptr, true},
      {"triangles at the limit", [](MeshFile* f) { f->indices.assign(3ull * MESH_TRIANGLES_MAX, 1); }, nullptr,
       true},
      {"triangles over the limit", [](MeshFile* f) { f->indices.assign(3ull * (MESH_TRIANGLES_MAX + 1), 1); },
       nullptr, false},
      {"NaN position", [](MeshFile* f) { f->vertices[1].y = nan; }, nullptr, false},
      {"infinite bound", [](MeshFile* f) { f->bounds[4] = -inf; }, nullptr, false},
      {"NaN uv",
       [](MeshFile* f) {
         f->flags |= MESH_UV;
         f->vertices[2].v = nan;
       },
       nullptr, false},
      {"NaN weight",
       [](MeshFile* f) {
         f->flags |= MESH_SKIN;
         f->vertices[0].weights[3] = nan;
       },
       nullptr, false},
  };
  for (const Case& c : cases) {
    MeshFile f = triangle_file(MESH_NORMAL);
    if (c.file) c.file(&f);
    std::vector<uint8_t> bytes = write_mesh(f);
    if (c.bytes) c.bytes(&bytes);
    Mesh* m = decode(bytes);
    EXPECT_EQ(m != nullptr, c.accepted) << c.name;
    mesh_destroy(m);
  }
}

TEST(MeshDecode, PlacesFileFieldsInTheRecords) {
  MeshFile f = triangle_file(MESH_UV | MESH_COLOUR | MESH_NORMAL | MESH_SKIN);
  f.bounds[0] = -2, f.bounds[1] = -4, f.bounds[2] = -6, f.bounds[3] = 4, f.bounds[4] = 0, f.bounds[5] = 10;
  FileVertex& v = f.vertices[1];
  v.u = 0.25f, v.v = -3.5f, v.colour = 0x80FF4020u;
  v.normal[0] = -128, v.normal[1] = 5, v.normal[2] = 127;
  v.bones[0] = 9, v.bones[1] = 7;
  v.weights[0] = 0.25f, v.weights[1] = 0.75f;
  v.x = 1.5f, v.y = -2.5f, v.z = 3.25f;
  Mesh* m = decode(write_mesh(f));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->flags, f.flags);
  EXPECT_EQ(m->vertex_count, 3u);
  EXPECT_EQ(m->triangle_count, 1u);
  EXPECT_EQ(((uintptr_t)m->vertices) % 16, 0u);
  EXPECT_EQ(m->bounds.min.y, -4);
  EXPECT_EQ(m->bounds.max.z, 10);
  EXPECT_EQ(m->bounds.half.x, 3);
  EXPECT_EQ(m->bounds.centre.z, 2);
  EXPECT_EQ(m->bounds.size.y, 4);
  // Vertices 0 and 2 keep bone 0, vertex 1 moves behind them with its bone 7.
  EXPECT_EQ(m->bone_first, 0u);
  EXPECT_EQ(m->bone_last, 7u);
  const uint8_t* r = (const uint8_t*)&m->vertices[2];
  float pos[3], uv[2];
  memcpy(pos, r, 12);
  memcpy(uv, r + 24, 8);
  EXPECT_EQ(pos[0], 1.5f);
  EXPECT_EQ(pos[1], -2.5f);
  EXPECT_EQ(pos[2], 3.25f);
  for (int i = 12; i < 16; i++) EXPECT_EQ(r[i], 0) << i;
  uint32_t colour;
  memcpy(&colour, r + 16, 4);
  EXPECT_EQ(colour, 0x80FF4020u);
  EXPECT_EQ((int8_t)r[20], -128);
  EXPECT_EQ((int8_t)r[21], 5);
  EXPECT_EQ((int8_t)r[22], 127);
  EXPECT_EQ(r[23], 0);
  EXPECT_EQ(uv[0], 0.25f);
  EXPECT_EQ(uv[1], -3.5f);
  const MeshSkin& s = m->skin[2];
  EXPECT_EQ(s.bones[0], 7);
  EXPECT_EQ(s.weights[0], 1.0f);
  EXPECT_EQ(s.count, 1u);
  EXPECT_EQ(m->indices[1], 2);  // the triangle follows its vertex
  mesh_destroy(m);
}

TEST(MeshDecode, ClampsIndicesToTheLastVertex) {
  MeshFile f = triangle_file(0);
  f.indices = {0, 3, 0xFFFFFFFFu, 2, 1, 0};
  Mesh* m = decode(write_mesh(f));
  ASSERT_TRUE(m);
  const uint16_t expected[6] = {0, 2, 2, 2, 1, 0};
  for (int i = 0; i < 6; i++) EXPECT_EQ(m->indices[i], expected[i]) << i;
  mesh_destroy(m);
}

TEST(MeshDecode, QuantisesNormalsOnlyWhenPresent) {
  struct Case {
    int8_t normal[3];
    uint32_t expected;
  } cases[] = {
      {{11, -1, 127}, 0},
      {{-9, 7, -127}, 255},
      {{NORMAL_TABLE[77][0], NORMAL_TABLE[77][1], NORMAL_TABLE[77][2]}, 77},
      {{NORMAL_TABLE[200][0], NORMAL_TABLE[200][1], NORMAL_TABLE[200][2]}, 200},
      // -128 reads as -127, so both answer the same entry.
      {{-128, 0, 0}, normal_table_nearest(-127, 0, 0)},
      {{0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    MeshFile f = triangle_file(MESH_NORMAL | MESH_QUANTISE | MESH_COLOUR);
    memcpy(f.vertices[0].normal, c.normal, 3);
    f.vertices[0].colour = 0xDEADBEEF;
    Mesh* m = decode(write_mesh(f));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->vertices[0].spare, c.expected) << (int)c.normal[0] << " " << (int)c.normal[1];
    EXPECT_EQ(m->vertices[0].colour, 0xDEADBEEFu);
    mesh_destroy(m);
  }
  // Without normals nothing is read or written there.
  MeshFile f = triangle_file(MESH_QUANTISE | MESH_COLOUR);
  f.vertices[0].colour = 0x01020304;
  Mesh* m = decode(write_mesh(f));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->vertices[0].spare, 0u);
  EXPECT_EQ(m->vertices[0].colour, 0x01020304u);
  mesh_destroy(m);
}

TEST(MeshDecode, KeepsTheHeaviestInfluence) {
  struct Case {
    float weights[4];
    uint16_t bone;
    float weight;
  } cases[] = {
      {{0.2f, 0.5f, 0.3f, 0.0f}, 11, 1.0f}, {{0, 0, 0, 0}, 10, 0.0f},
      {{0.4f, 0.4f, 0.1f, 0.1f}, 10, 1.0f}, {{0.1f, 0.2f, 0.2f, 0.3f}, 13, 1.0f},
      {{0, 0, 0.0001f, 0}, 12, 0.0f},       {{0, 0, 0.00011f, 0}, 12, 1.0f},
      {{-1, -2, -0.5f, -3}, 12, 0.0f},      {{0.1f, 0.3f, 0.3f, 0.3f}, 11, 1.0f},
  };
  for (const Case& c : cases) {
    MeshFile f = triangle_file(MESH_SKIN);
    for (FileVertex& v : f.vertices) {
      for (int i = 0; i < 4; i++) v.bones[i] = (uint16_t)(10 + i);
      memcpy(v.weights, c.weights, sizeof v.weights);
    }
    Mesh* m = decode(write_mesh(f));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->skin[0].bones[0], c.bone) << c.weights[0] << " " << c.weights[1] << " " << c.weights[2];
    EXPECT_EQ(m->skin[0].weights[0], c.weight) << c.weights[0] << " " << c.weights[1];
    EXPECT_EQ(m->skin[0].count, 1u);
    EXPECT_EQ(m->bone_first, c.bone);
    EXPECT_EQ(m->bone_last, c.bone);
    mesh_destroy(m);
  }
}

// Reordering by bone must leave every triangle naming the same corners, keep vertices of one
// bone in file order, and leave the bones ascending.
TEST(MeshDecode, ReorderingBySkinKeepsTriangles) {
  std::mt19937 rng(20);
  for (int round = 0; round < 20; round++) {
    MeshFile f;
    f.flags = MESH_SKIN | MESH_COLOUR;
    uint32_t n = 1 + rng() % 300, bones = 1 + rng() % (round < 10 ? 8 : 300);
    uint32_t base = rng() % 1000;
    f.vertices.resize(n);
    for (uint32_t i = 0; i < n; i++) {
      FileVertex& v = f.vertices[i];
      v.x = (float)i, v.y = (float)(rng() % 100), v.z = -(float)i;
      v.colour = i;
      for (int k = 0; k < 4; k++) {
        v.bones[k] = (uint16_t)(base + rng() % bones);
        v.weights[k] = (float)(rng() % 4) / 4.0f;
      }
    }
    uint32_t triangles = rng() % 400;
    for (uint32_t t = 0; t < 3 * triangles; t++) f.indices.push_back(rng() % n);
    Mesh* m = decode(write_mesh(f));
    ASSERT_TRUE(m);
    for (uint32_t t = 0; t < 3 * triangles; t++) {
      const RenderVertex& v = m->vertices[m->indices[t]];
      ASSERT_EQ(v.x, (float)f.indices[t]) << "round " << round << " index " << t;
      ASSERT_EQ(v.colour, f.indices[t]);
    }
    uint32_t lowest = UINT32_MAX, highest = 0;
    for (uint32_t i = 0; i < n; i++) {
      uint32_t bone = m->skin[i].bones[0];
      lowest = std::min(lowest, bone), highest = std::max(highest, bone);
      if (i > 0) {
        uint32_t before = m->skin[i - 1].bones[0];
        ASSERT_LE(before, bone);
        if (before == bone) {
          ASSERT_LT(m->vertices[i - 1].colour, m->vertices[i].colour);
        }
      }
      // The skin record travelled with its vertex: the kept bone is one of the file's four.
      const FileVertex& src = f.vertices[m->vertices[i].colour];
      bool found = false;
      for (uint16_t b : src.bones) found = found || b == bone;
      ASSERT_TRUE(found);
    }
    EXPECT_EQ(m->bone_first, lowest);
    EXPECT_EQ(m->bone_last, highest);
    mesh_destroy(m);
  }
}

TEST(MeshCube, IsAClosedUnitCubeWoundClockwiseFromOutside) {
  const Mesh* m = mesh_unit_cube();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, MESH_CUBE_ID);
  EXPECT_EQ(m->flags, 0x05u);
  EXPECT_EQ(m->vertex_count, 24u);
  EXPECT_EQ(m->triangle_count, 12u);
  EXPECT_EQ(m->skin, nullptr);
  EXPECT_EQ(m->bounds.min.x, -0.5f);
  EXPECT_EQ(m->bounds.max.z, 0.5f);
  int faces_per_normal[3][2] = {};
  for (uint32_t i = 0; i < 24; i++) {
    const RenderVertex& v = m->vertices[i];
    EXPECT_EQ(v.colour, 0xFFFF00FFu);
    EXPECT_EQ(std::fabs(v.x), 0.5f);
    EXPECT_EQ(std::fabs(v.y), 0.5f);
    EXPECT_EQ(std::fabs(v.z), 0.5f);
    int8_t n[4];
    memcpy(n, &v.spare, 4);
    EXPECT_EQ(n[3], 0);
    int axes = 0;
    for (int a = 0; a < 3; a++) {
      if (n[a] == 0) continue;
      axes++;
      ASSERT_EQ(std::abs(n[a]), 127);
      float p = a == 0 ? v.x : a == 1 ? v.y : v.z;
      EXPECT_EQ(p, n[a] > 0 ? 0.5f : -0.5f) << "vertex " << i << " lies on its face";
      faces_per_normal[a][n[a] > 0]++;
    }
    EXPECT_EQ(axes, 1);
  }
  for (auto& axis : faces_per_normal)
    for (int count : axis) EXPECT_EQ(count, 4);
  // Seen from outside (right-handed world), clockwise corners give a cross product that
  // points inwards, against the face normal.
  for (uint32_t t = 0; t < 12; t++) {
    const RenderVertex* c[3];
    for (int k = 0; k < 3; k++) c[k] = &m->vertices[m->indices[3 * t + k]];
    float ax = c[1]->x - c[0]->x, ay = c[1]->y - c[0]->y, az = c[1]->z - c[0]->z;
    float bx = c[2]->x - c[0]->x, by = c[2]->y - c[0]->y, bz = c[2]->z - c[0]->z;
    float cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    int8_t n[4];
    memcpy(n, &c[0]->spare, 4);
    EXPECT_LT(cx * n[0] + cy * n[1] + cz * n[2], 0) << "triangle " << t;
    EXPECT_GT(cx * cx + cy * cy + cz * cz, 0) << "triangle " << t;
  }
}

}  // namespace
