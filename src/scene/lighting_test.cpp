#include "scene/lighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "assets/normal_table.h"
#include "render/draw.h"
#include "render/render.h"
#include "support/math_test_support.h"

namespace {

// An independent transcription of the lighting rules: tables, dynamic lights in float32 with
// the bit-pattern square-root estimate, then the integer final colour.
const char* kReference = R"PY(
import sys
import numpy as np
f32 = np.float32
lines = sys.stdin.read().split('\n')
normals = np.array(lines[0].split(), dtype=np.int64).reshape(256, 3)
head = [int(x) for x in lines[1].split()]
direction = np.array(head[0:3], dtype=np.int64)
colour = head[3:7]
count = int(lines[2])
lights = []
for k in range(count):
    w = lines[3 + k].split()
    fl = np.array([int(x, 16) for x in w[0:5]], dtype=np.uint32).view(np.float32)
    lights.append((fl[0], fl[1], [int(w[5]), int(w[6]), int(w[7])], fl[2], fl[3], fl[4]))
rows = [bytes.fromhex(x) for x in lines[3 + count:] if x]
V = np.frombuffer(b''.join(rows), dtype=np.uint8).reshape(-1, 32).copy()

rl = np.zeros((256, 3), dtype=np.int64)
rs = np.zeros((256, 3), dtype=np.int64)
i = np.arange(256, dtype=np.int64)
for c in range(3):
    lc = colour[c] * 154 >> 8
    rl[:, c] = i * lc >> 8
    rs[:, c] = lc * ((i * i) >> 8) >> 8
dot = normals @ direction
diffuse = np.minimum(255, np.where(dot > 0, ((np.maximum(dot, 0) >> 1) * 1382) >> 16, 0))

pos = V[:, 0:12].copy().view(np.float32).reshape(-1, 3)
baked = V[:, 16:19].astype(np.int64)
shade = V[:, 19].astype(np.int64)
nidx = V[:, 20].astype(np.int64)
mask = V[:, 23].astype(np.int64)
n = normals[nidx].astype(np.float32)
with np.errstate(all='ignore'):
    for j, (invr, rsq, rgb, px, py, pz) in enumerate(lights):
        lx = px - pos[:, 0]
        ly = py - pos[:, 1]
        lz = pz - pos[:, 2]
        d2 = lx * lx + ly * ly + lz * lz
        h = n[:, 0] * lx + n[:, 1] * ly + n[:, 2] * lz
        y = (np.uint32(0x5F375A86) - (d2.view(np.uint32) >> np.uint32(1))).view(np.float32)
        inv = y * (f32(1.5) - f32(0.5) * d2 * y * y)
        f = f32(1.0) - d2 * inv * invr
        t = f * f * h * inv * f32(32385.0)
        t64 = t.astype(np.float64)
        t = (np.sign(t64) * np.floor(np.abs(t64) + 0.5))
        ok = (((mask >> j) & 1) == 1) & (d2 < rsq) & (h > 0) & (t > 0)
        t = np.where(ok, t, 0).astype(np.int64)
        bgr = [rgb[2], rgb[1], rgb[0]]
        for c in range(3):
            add = (bgr[c] * t + 0x200000) >> 22
            baked[:, c] = np.minimum(255, baked[:, c] + add)

out = np.zeros(len(V), dtype=np.int64)
for c in range(3):
    lit = np.minimum(255, rl[shade, c] + ((diffuse[nidx] * rs[shade, c]) >> 8) + baked[:, c])
    mc = V[:, 12 + c].astype(np.int64)
    out |= np.minimum(255, (mc * lit) >> 7) << (8 * c)
ma = V[:, 15].astype(np.int64)
out |= np.where(ma >= 128, 255, (ma * 255) >> 7) << 24
print(' '.join('%d' % x for x in rl.flatten()))
print(' '.join('%d' % x for x in rs.flatten()))
print(' '.join('%d' % x for x in diffuse))
print(' '.join('%08x' % x for x in out))
)PY";

void set_vertex_bytes(RenderVertex* v, uint32_t material, uint32_t light_and_shade, uint8_t normal,
                      uint8_t mask) {
  memcpy(&v->w, &material, 4);
  v->colour = light_and_shade;
  v->spare = normal | (uint32_t)mask << 24;
}

LightSource make_light(Vec3 p, float radius, uint8_t r, uint8_t g, uint8_t b) {
  LightSource l{};
  l.inv_radius = 1.0f / radius;
  l.radius_sq = radius * radius;
  l.red = r;
  l.green = g;
  l.blue = b;
  l.position = p;
  l.bounds = bounds_make(Vec3{p.x - radius, p.y - radius, p.z - radius},
                         Vec3{p.x + radius, p.y + radius, p.z + radius});
  return l;
}

std::vector<long> ints_of(const std::string& line, int base) {
  std::vector<long> v;
  std::istringstream in(line);
  std::string w;
  while (in >> w) v.push_back(strtol(w.c_str(), nullptr, base));
  return v;
}

}  // namespace

// Random suns, colours, vertices and 0..4 lights against the numpy transcription, byte for
// byte, including mask bits at or above the light count (which must be ignored).
TEST(Lighting, MatchesAnIndependentTranscriptionOfTheIntegerRules) {
  std::mt19937 rng(2718);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int32_t count = 0; count <= (int32_t)LIGHT_BLOCK_MAX; count++) {
    SCOPED_TRACE("lights " + std::to_string(count));
    float dx = unit(rng), dy = unit(rng), dz = unit(rng);
    float len = sqrtf(dx * dx + dy * dy + dz * dz);
    int8_t direction[3] = {(int8_t)lrintf(dx / len * 127), (int8_t)lrintf(dy / len * 127),
                           (int8_t)lrintf(dz / len * 127)};
    uint8_t colour[4] = {(uint8_t)byte(rng), (uint8_t)byte(rng), (uint8_t)byte(rng), 255};
    if (count == 4) colour[0] = colour[1] = colour[2] = 255;  // the largest ramps
    LightBlock block{};
    memcpy(block.direction, direction, 3);
    block.count = count;
    for (int32_t j = 0; j < count; j++) {
      block.lights[j] =
          make_light(Vec3{unit(rng) * 6, unit(rng) * 6, unit(rng) * 6}, 3.0f + 6.0f * (unit(rng) + 1),
                     (uint8_t)byte(rng), (uint8_t)byte(rng), (uint8_t)byte(rng));
    }
    std::vector<RenderVertex> vertices(2000);
    for (RenderVertex& v : vertices) {
      v.x = unit(rng) * 6;
      v.y = unit(rng) * 6;
      v.z = unit(rng) * 6;
      uint32_t material = (uint32_t)byte(rng) | (uint32_t)byte(rng) << 8 | (uint32_t)byte(rng) << 16 |
                          (uint32_t)(byte(rng) < 64 ? 64 : byte(rng)) << 24;
      uint32_t light = (uint32_t)byte(rng) | (uint32_t)byte(rng) << 8 | (uint32_t)byte(rng) << 16 |
                       (uint32_t)byte(rng) << 24;
      set_vertex_bytes(&v, material, light, (uint8_t)byte(rng), (uint8_t)byte(rng));
      v.u = v.v = 0;
    }
    std::string input;
    for (uint32_t i = 0; i < NORMAL_TABLE_SIZE; i++)
      for (int k = 0; k < 3; k++) input += std::to_string(NORMAL_TABLE[i][k]) + " ";
    input += "\n";
    for (int k = 0; k < 3; k++) input += std::to_string(direction[k]) + " ";
    for (int k = 0; k < 4; k++) input += std::to_string(colour[k]) + " ";
    input += "\n" + std::to_string(count) + "\n";
    char line[256];
    for (int32_t j = 0; j < count; j++) {
      const LightSource& l = block.lights[j];
      snprintf(line, sizeof line, "%x %x %x %x %x %d %d %d\n", float_bits(l.inv_radius), float_bits(l.radius_sq),
               float_bits(l.position.x), float_bits(l.position.y), float_bits(l.position.z), l.red, l.green, l.blue);
      input += line;
    }
    for (const RenderVertex& v : vertices) input += hex_of_bytes(&v, sizeof v) + "\n";

    std::string output;
    REQUIRE_REFERENCE_PYTHON(kReference, input, &output);
    std::istringstream out(output);
    std::string ramp_linear, ramp_square, diffuse, colours;
    std::getline(out, ramp_linear);
    std::getline(out, ramp_square);
    std::getline(out, diffuse);
    std::getline(out, colours);

    lighting_tables_build(direction, colour);
    const LightingTables* t = lighting_tables();
    std::vector<long> rl = ints_of(ramp_linear, 10), rs = ints_of(ramp_square, 10), df = ints_of(diffuse, 10);
    ASSERT_EQ(rl.size(), 768u);
    ASSERT_EQ(df.size(), 256u);
    for (uint32_t i = 0; i < 256; i++) {
      for (int c = 0; c < 3; c++) {
        ASSERT_EQ(t->ramp_linear[i][c], rl[i * 3 + c]) << "ramp_linear " << i << " lane " << c;
        ASSERT_EQ(t->ramp_square[i][c], rs[i * 3 + c]) << "ramp_square " << i << " lane " << c;
      }
      EXPECT_EQ(t->ramp_linear[i][3], 255);
      ASSERT_EQ(t->diffuse[i], df[i]) << "diffuse " << i;
      ASSERT_LE(t->diffuse[i], 170);
    }
    std::vector<long> expected = ints_of(colours, 16);
    ASSERT_EQ(expected.size(), vertices.size());
    std::vector<RenderVertex> unlit = vertices;
    lighting_apply(vertices.data(), (uint32_t)vertices.size(), &block);
    lighting_apply(unlit.data(), (uint32_t)unlit.size(), nullptr);
    uint32_t reached = 0;
    for (size_t i = 0; i < vertices.size(); i++) {
      ASSERT_EQ(vertices[i].colour, (uint32_t)expected[i]) << "vertex " << i;
      reached += vertices[i].colour != unlit[i].colour;
    }
    // The fixture must exercise the dynamic lights, not only the tables.
    if (count > 0) {
      EXPECT_GT(reached, 50u);
    }
  }
}

TEST(Lighting, FinalColourCases) {
  const int8_t up[3] = {0, 0, 127};
  const uint8_t white[4] = {255, 255, 255, 255};
  lighting_tables_build(up, white);
  struct Case {
    const char* why;
    uint32_t material, light_and_shade, normal, expected;
  } cases[] = {
      {"alpha 64 is half of opaque", 0x40808080u, 0x00000000u, 0, 0x7F000000u},
      {"alpha 128 and above is opaque", 0x80000000u, 0x00000000u, 0, 0xFF000000u},
      {"alpha 200 stays opaque", 0xC8000000u, 0x00000000u, 0, 0xFF000000u},
      {"shade 0 leaves only the baked light, material 128 is 1.0", 0xFF808080u, 0x00102030u, 0, 0xFF102030u},
      {"baked light saturates at 255 before the material", 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0xFFFFFFFFu},
      // shade 255, white: linear 152, square 152, diffuse of entry 0 (z 127) toward +z = 170:
      // lit = 152 + (170 x 152 >> 8) = 152 + 100 = 252; x 128 >> 7 = 252.
      {"full shade facing the sun", 0xFF808080u, 0xFF000000u, 0, 0xFFFCFCFCu},
      // Entry 255 faces away: diffuse 0, lit = 152.
      {"full shade facing away", 0xFF808080u, 0xFF000000u, 255, 0xFF989898u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lighting_final_colour(c.material, c.light_and_shade, c.normal), c.expected) << c.why;
  }
  lighting_tables_build(nullptr, white);
  for (uint32_t n = 0; n < 256; n++) ASSERT_EQ(lighting_tables()->diffuse[n], 0) << "no sun, no diffuse";
}

TEST(Lighting, InverseSquareRootIsTheBitEstimateWithOneNewtonStep) {
  struct Case {
    float x;
  } cases[] = {{1.0f}, {4.0f}, {0.01f}, {2.0f}, {12345.0f}, {1e-6f}};
  for (const Case& c : cases) {
    uint32_t b;
    memcpy(&b, &c.x, 4);
    b = 0x5F375A86u - (b >> 1);
    float y;
    memcpy(&y, &b, 4);
    float expected = y * (1.5f - 0.5f * c.x * y * y);
    EXPECT_EQ(float_bits(lighting_inverse_sqrt(c.x)), float_bits(expected)) << c.x;
    EXPECT_NEAR(lighting_inverse_sqrt(c.x) * sqrtf(c.x), 1.0f, 0.002f) << c.x;
  }
}

TEST(Lighting, MaskBitsOnlyReachLightsThatExist) {
  lighting_tables_build(nullptr, nullptr);
  LightBlock block{};
  block.count = 2;
  block.lights[0] = make_light(Vec3{0, 0, 2}, 10, 255, 255, 255);
  block.lights[1] = make_light(Vec3{0, 0, 2}, 10, 255, 0, 0);
  // Stale lights beyond the count that would light the vertex if read.
  block.lights[2] = make_light(Vec3{0, 0, 1}, 10, 255, 255, 255);
  block.lights[3] = make_light(Vec3{0, 0, 1}, 10, 255, 255, 255);
  struct Case {
    const char* why;
    uint8_t mask;
    bool lit;
  } cases[] = {
      {"no bits", 0x00, false},
      {"bits of absent lights only", 0xFC, false},
      {"bit of light 1 (red only)", 0x02, true},
      {"bit of light 0", 0x01, true},
  };
  for (const Case& c : cases) {
    RenderVertex v{};
    set_vertex_bytes(&v, 0xFF808080u, 0, 0, c.mask);  // normal 0 points up +z toward the lights
    lighting_add_dynamic(&v, &block);
    EXPECT_EQ(v.colour != 0, c.lit) << c.why;
    if (c.mask == 0x02) {
      EXPECT_EQ(v.colour & 0x0000FFFFu, 0u) << "a red light adds to red only";
    }
  }
  Bounds touching = bounds_make(Vec3{10, -1, -1}, Vec3{11, 1, 1});  // light 0's box ends at x 10
  Bounds apart = bounds_make(Vec3{10.5f, -1, -1}, Vec3{11, 1, 1});
  EXPECT_EQ(face_group_light_mask(&touching, &block), 0x03) << "touching counts; lights 2, 3 absent";
  EXPECT_EQ(face_group_light_mask(&apart, &block), 0x00);
  block.count = 0;
  EXPECT_EQ(face_group_light_mask(&touching, &block), 0x00);
}

// The stage lights the record's copies each frame, so drawing the same geometry twice gives
// the same colours and the caller's vertices never change.
TEST(Lighting, StageLightsCopiesSoFramesRepeat) {
  const int8_t sun[3] = {0, 90, 90};
  const uint8_t colour[4] = {200, 180, 160, 255};
  lighting_tables_build(sun, colour);
  LightBlock block{};
  block.count = 1;
  block.lights[0] = make_light(Vec3{0, 1, 1}, 8, 200, 100, 50);
  RenderVertex vertices[3]{};
  for (int i = 0; i < 3; i++) {
    vertices[i].x = (float)i;
    set_vertex_bytes(&vertices[i], 0xFF808080u, 0x40102030u, (uint8_t)(i * 40), 0x01);
  }
  const uint16_t indices[3] = {0, 1, 2};
  RenderVertex before[3];
  memcpy(before, vertices, sizeof vertices);
  draw_startup();
  draw_set_vertex_stage(world_light_stage);
  draw_set_transform_stage(stage_none);
  draw_set_user_extra(&block);
  uint32_t frames[2][3];
  for (int frame = 0; frame < 2; frame++) {
    draw_reset();
    draw_set_user_extra(&block);
    ASSERT_TRUE(draw_add_indexed(indices, 3, vertices, 3));
    draw_flush(nullptr);
    for (int i = 0; i < 3; i++) frames[frame][i] = draw_record()->vertices[i].colour;
  }
  EXPECT_EQ(memcmp(frames[0], frames[1], sizeof frames[0]), 0);
  EXPECT_EQ(memcmp(before, vertices, sizeof vertices), 0);
  for (int i = 0; i < 3; i++) {
    RenderVertex v = vertices[i];
    lighting_apply(&v, 1, &block);
    EXPECT_EQ(frames[0][i], v.colour) << i;
  }
  DrawMesh mesh{7, vertices, 3};
  draw_prepared_mesh(&mesh, nullptr);
  EXPECT_EQ(memcmp(before, vertices, sizeof vertices), 0) << "an external source is left alone";
  draw_shutdown();
}
