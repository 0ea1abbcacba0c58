#include "assets/map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct Bytes {
  std::vector<uint8_t> data;
  void u8(uint8_t v) { data.push_back(v); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; i++) data.push_back((uint8_t)(v >> (8 * i)));
  }
  void f32(float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    u32(v);
  }
};

struct MapSpec {
  uint32_t id = 0x00030102;
  const char* name = "meadow";
  float colour[3] = {0.5f, 0.25f, 1.0f};
  float value1 = 100, far_distance = 900, value2 = 50, value3 = 400;
  uint32_t word = 3, bsp_id = 77;
  float origin_x = -128, origin_z = 64;
  uint32_t columns = 4, rows = 5, cell_size = 64, reserved = 9;
  uint32_t materials = 2, props = 1;
};

// One prop in file order; every field differs from the others so a swap shows.
void write_prop(Bytes* b, uint32_t n) {
  b->u32(1000 + n);                               // id
  b->u32(2000 + n);                               // value
  b->u32(4);                                      // kind
  b->u8(0xA1);                                    // header flag
  b->u8(0xB2);                                    // flag 2
  for (int i = 0; i < 9; i++) b->f32(10.0f + i);  // position, rotation, scale
  for (uint32_t w : {11u, 12u, 13u, 14u, 15u, 16u}) b->u32(w);
  for (int i = 0; i < 6; i++) b->f32(-1.0f - i);  // local bounds
  for (int i = 0; i < 3; i++) b->f32(30.0f + i);  // local point
  b->f32(2.5f);                                   // radius
  b->u8(0xC3);                                    // light flag
  b->u8(0xD4);                                    // sound flag
  b->u32(17);
  for (float f : {0.75f, 8.0f, 1.0f, 0.5f, 0.25f}) b->f32(f);
}

Bytes make_map(const MapSpec& s, uint32_t claimed_materials = 0xFFFFFFFF,
               uint32_t claimed_props = 0xFFFFFFFF) {
  Bytes b;
  b.u32(s.id);
  char name[32] = {};
  memcpy(name, s.name, strnlen(s.name, 32));
  for (char c : name) b.u8((uint8_t)c);
  for (float c : s.colour) b.f32(c);
  for (float f : {s.value1, s.far_distance, s.value2, s.value3}) b.f32(f);
  b.u32(s.word);
  b.u32(s.bsp_id);
  b.f32(s.origin_x);
  b.f32(s.origin_z);
  for (uint32_t w : {s.columns, s.rows, s.cell_size, s.reserved}) b.u32(w);
  b.u32(claimed_materials == 0xFFFFFFFF ? s.materials : claimed_materials);
  b.u32(claimed_props == 0xFFFFFFFF ? s.props : claimed_props);
  for (uint32_t i = 0; i < s.materials; i++) b.u32(1000 + i);
  for (uint32_t i = 0; i < s.props; i++) write_prop(&b, i);
  return b;
}

MapObject* decode(const Bytes& b) { return map_decode(b.data.data(), (uint32_t)b.data.size()); }

}  // namespace

TEST(MapDecode, ReadsEveryFieldInFileOrder) {
  MapSpec spec;
  Bytes b = make_map(spec);
  ASSERT_EQ(b.data.size(), 104u + 8 + 140);
  MapObject* m = decode(b);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->id, spec.id) << "the id comes from the file";
  EXPECT_STREQ(m->name, "meadow");
  EXPECT_EQ(m->env_colour[1], 0.25f);
  EXPECT_EQ(m->env_value1, 100.0f);
  EXPECT_EQ(m->far_distance, 900.0f);
  EXPECT_EQ(m->env_value2, 50.0f);
  EXPECT_EQ(m->env_value3, 400.0f);
  EXPECT_EQ(m->env_word, 3u);
  EXPECT_EQ(m->bsp_id, 77u);
  EXPECT_EQ(m->grid_origin_x, -128.0f);
  EXPECT_EQ(m->grid_origin_z, 64.0f);
  EXPECT_EQ(m->grid_columns, 4u);
  EXPECT_EQ(m->grid_rows, 5u);
  EXPECT_EQ(m->cell_size, 64u);
  EXPECT_EQ(m->reserved, 9u);
  ASSERT_EQ(m->material_count, 2u);
  EXPECT_EQ(m->material_textures[1], 1001u);
  ASSERT_EQ(m->prop_count, 1u);
  const MapProp& p = m->props[0];
  EXPECT_EQ(p.id, 1000u);
  EXPECT_EQ(p.value, 2000u);
  EXPECT_EQ(p.kind, 4u);
  EXPECT_EQ(p.header_flag, 0xA1u) << "single bytes are widened";
  EXPECT_EQ(p.flag2, 0xB2u);
  EXPECT_EQ(p.position[0], 10.0f);
  EXPECT_EQ(p.rotation[0], 13.0f);
  EXPECT_EQ(p.scale[2], 18.0f);
  EXPECT_EQ(p.model_ref, 11u);
  EXPECT_EQ(p.mesh_id, 12u);
  EXPECT_EQ(p.mesh_word2, 13u);
  EXPECT_EQ(p.carried1, 14u);
  EXPECT_EQ(p.sound_id, 15u);
  EXPECT_EQ(p.bounds_word, 16u);
  EXPECT_EQ(p.bounds_min[0], -1.0f);
  EXPECT_EQ(p.bounds_max[2], -6.0f);
  EXPECT_EQ(p.point[1], 31.0f);
  EXPECT_EQ(p.radius, 2.5f);
  EXPECT_EQ(p.light_flag, 0xC3u);
  EXPECT_EQ(p.sound_flag, 0xD4u);
  EXPECT_EQ(p.carried2, 17u);
  EXPECT_EQ(p.light_value, 0.75f);
  EXPECT_EQ(p.light_radius_max, 8.0f);
  EXPECT_EQ(p.light_colour[2], 0.25f);
  map_destroy(m);
}

TEST(MapDecode, EmptyMapAndFullName) {
  MapSpec spec;
  spec.materials = spec.props = 0;
  spec.name = "abcdefghijklmnopqrstuvwxyz012345";  // 32 bytes, no terminator
  Bytes b = make_map(spec);
  ASSERT_EQ(b.data.size(), 104u);
  MapObject* m = decode(b);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->material_textures, nullptr);
  EXPECT_EQ(m->props, nullptr);
  EXPECT_STREQ(m->name, "abcdefghijklmnopqrstuvwxyz01234") << "the 32nd byte is forced to 0";
  map_destroy(m);
}

TEST(MapDecode, RejectsBadCountsLengthsGridsAndFloats) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    MapSpec spec;
    int length_change;  // bytes added (or removed) after the file is built
    bool accepted;
  };
  auto with = [](auto change) {
    MapSpec s;
    change(s);
    return s;
  };
  Case cases[] = {
      {"exact length", MapSpec(), 0, true},
      {"one byte more", MapSpec(), 1, false},
      {"one byte less", MapSpec(), -1, false},
      {"4096 materials", with([](MapSpec& s) { s.materials = 4096; }), 0, true},
      {"4097 materials with a matching length", with([](MapSpec& s) { s.materials = 4097; }), 0, false},
      {"65537 props with a matching length", with([](MapSpec& s) { s.props = 65537; }), 0, false},
      {"256 columns and rows", with([](MapSpec& s) { s.columns = s.rows = 256; }), 0, true},
      {"257 columns", with([](MapSpec& s) { s.columns = 257; }), 0, false},
      {"257 rows", with([](MapSpec& s) { s.rows = 257; }), 0, false},
      {"NaN environment colour", with([&](MapSpec& s) { s.colour[2] = nan; }), 0, false},
      {"infinite far distance", with([&](MapSpec& s) { s.far_distance = inf; }), 0, false},
      {"NaN fog start", with([&](MapSpec& s) { s.value2 = nan; }), 0, false},
      {"infinite grid origin", with([&](MapSpec& s) { s.origin_z = -inf; }), 0, false},
  };
  for (const Case& c : cases) {
    Bytes b = make_map(c.spec);
    if (c.length_change > 0) b.data.push_back(0);
    if (c.length_change < 0) b.data.pop_back();
    MapObject* m = decode(b);
    EXPECT_EQ(m != nullptr, c.accepted) << c.what;
    map_destroy(m);
  }
  Bytes short_file = make_map(MapSpec());
  EXPECT_EQ(map_decode(short_file.data.data(), 103), nullptr) << "shorter than a header";
  EXPECT_EQ(map_decode(nullptr, 104), nullptr);
}

TEST(MapDecode, RejectsANonFiniteFloatAnywhereInAProp) {
  // Every float field of the prop record, by its offset within the 140 bytes.
  const uint32_t float_offsets[] = {14, 18, 22, 26, 30,  34,  38,  42,  46,  74,  78,  82,
                                    86, 90, 94, 98, 102, 106, 110, 120, 124, 128, 132, 136};
  MapSpec spec;
  Bytes good = make_map(spec);
  const size_t prop_at = 104 + 4 * spec.materials;
  for (uint32_t offset : float_offsets) {
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
      Bytes b = good;
      memcpy(&b.data[prop_at + offset], &bad, 4);
      EXPECT_EQ(decode(b), nullptr) << "float at prop offset " << offset;
    }
  }
  // The same offsets hold the finite values the writer put there.
  float first, last;
  memcpy(&first, &good.data[prop_at + 14], 4);
  memcpy(&last, &good.data[prop_at + 136], 4);
  EXPECT_EQ(first, 10.0f);
  EXPECT_EQ(last, 0.25f);
}
