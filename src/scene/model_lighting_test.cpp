#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/draw.h"
#include "render/render.h"
#include "scene/model_draw.h"
#include "support/math_test_support.h"

namespace {

// An independent transcription of model lighting: the sun and the lights moved into model
// space in float32 (rows of the model matrix over their scales, the bit-pattern inverse
// square root), the per-vertex diffuse from the vertex's own normal bytes, the dynamic lights
// and the world's integer final colour.
const char* kReference = R"PY(
import sys
import numpy as np
f32 = np.float32
lines = [l for l in sys.stdin.read().split('\n') if l]
head = lines[0].split()
sun = [int(x) for x in head[0:3]]
colour = [int(x) for x in head[3:7]]
constant = int(head[7], 16)
m = np.array([int(x, 16) for x in lines[1].split()], dtype=np.uint32).view(np.float32)
isc = np.array([int(x, 16) for x in lines[2].split()], dtype=np.uint32).view(np.float32)
count = int(lines[3])
lights = []
for k in range(count):
    w = lines[4 + k].split()
    fl = np.array([int(x, 16) for x in w[0:5]], dtype=np.uint32).view(np.float32)
    lights.append((fl[0], fl[1], fl[2:5], [int(w[5]), int(w[6]), int(w[7])]))
V = np.frombuffer(b''.join(bytes.fromhex(x) for x in lines[4 + count:]), dtype=np.uint8).reshape(-1, 32)

def fast_inv_sqrt(x):
    y = (np.uint32(0x5F375A86) - (np.array([x], dtype=np.float32).view(np.uint32) >> np.uint32(1))).view(np.float32)[0]
    return y * (f32(1.5) - f32(0.5) * x * y * y)

def round_away(x):
    x = float(x)
    return int(np.sign(x) * np.floor(abs(x) + 0.5))

rows = [[f32(m[4 * i + k] * isc[i]) for k in range(3)] for i in range(3)]
d = [f32(f32(s) * f32(0.007874016)) for s in sun]
s = [f32(f32(rows[i][0] * d[0] + rows[i][1] * d[1]) + rows[i][2] * d[2]) for i in range(3)]
lsq = f32(f32(s[0] * s[0] + s[1] * s[1]) + s[2] * s[2])
sb = [0, 0, 0]
if lsq > 0:
    inv = fast_inv_sqrt(lsq)
    sb = [max(-128, min(127, round_away(f32(f32(s[i] * inv) * f32(127.0))))) for i in range(3)]

moved = []
for invr, rsq, p, rgb in lights:
    dd = [f32(p[k] - m[12 + k]) for k in range(3)]
    q = [f32(f32(f32(rows[i][0] * dd[0] + rows[i][1] * dd[1]) + rows[i][2] * dd[2]) * isc[0]) for i in range(3)]
    moved.append((f32(invr / isc[0]), f32(rsq * f32(isc[0] * isc[0])), q, rgb))

pos = V[:, 0:12].copy().view(np.float32).reshape(-1, 3)
normal = V[:, 20:23].copy().view(np.int8).astype(np.int64)
nf = normal.astype(np.float32)
baked = np.tile(np.array([constant & 255, constant >> 8 & 255, constant >> 16 & 255], dtype=np.int64), (len(V), 1))
shade = constant >> 24
with np.errstate(all='ignore'):
    for invr, rsq, p, rgb in moved:
        lx = p[0] - pos[:, 0]
        ly = p[1] - pos[:, 1]
        lz = p[2] - pos[:, 2]
        d2 = lx * lx + ly * ly + lz * lz
        h = nf[:, 0] * lx + nf[:, 1] * ly + nf[:, 2] * lz
        y = (np.uint32(0x5F375A86) - (d2.view(np.uint32) >> np.uint32(1))).view(np.float32)
        inv = y * (f32(1.5) - f32(0.5) * d2 * y * y)
        f = f32(1.0) - d2 * inv * invr
        t = (f * f * h * inv * f32(32385.0)).astype(np.float64)
        t = np.sign(t) * np.floor(np.abs(t) + 0.5)
        ok = (d2 < rsq) & (h > 0) & (t > 0)
        t = np.minimum(np.where(ok, t, 0), 2.0 ** 32).astype(np.int64)
        for c, lc in enumerate([rgb[2], rgb[1], rgb[0]]):
            baked[:, c] = np.minimum(255, baked[:, c] + np.minimum(255, (lc * t + 0x200000) >> 22))

dot = normal @ np.array(sb, dtype=np.int64)
diffuse = np.minimum(255, np.where(dot > 0, ((np.maximum(dot, 0) >> 1) * 1382) >> 16, 0))
out = np.zeros(len(V), dtype=np.int64)
for c in range(3):
    lc = colour[c] * 154 >> 8
    rl = shade * lc >> 8
    rs = lc * ((shade * shade) >> 8) >> 8
    lit = np.minimum(255, rl + ((diffuse * rs) >> 8) + baked[:, c])
    out |= np.minimum(255, (V[:, 16 + c].astype(np.int64) * lit) >> 7) << (8 * c)
ma = V[:, 19].astype(np.int64)
out |= np.where(ma >= 128, 255, (ma * 255) >> 7) << 24
print(' '.join(str(x) for x in sb))
print(' '.join('%08x' % x for x in out))
)PY";

LightSource make_light(Vec3 p, float radius, std::mt19937* rng) {
  LightSource l{};
  l.inv_radius = 1.0f / radius;
  l.radius_sq = radius * radius;
  l.red = (uint8_t)(*rng)();
  l.green = (uint8_t)(*rng)();
  l.blue = (uint8_t)(*rng)();
  l.position = p;
  return l;
}

void run_stage(DrawStageFn stage, std::vector<RenderVertex>* in, std::vector<RenderVertex>* out,
               ModelLightBlock* block) {
  out->assign(in->size(), RenderVertex{});
  DrawRecord record{};
  DrawSource source = {in->data(), out->data(), (uint32_t)in->size(), (uint32_t)in->size()};
  record.current_source = &source;
  record.user_data = block;
  stage(&record);
}

std::vector<RenderVertex> random_vertices(std::mt19937* rng, size_t n) {
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<RenderVertex> vs(n);
  for (RenderVertex& v : vs) {
    v.x = unit(*rng) * 3, v.y = unit(*rng) * 3, v.z = unit(*rng) * 3;
    float nx = unit(*rng), ny = unit(*rng), nz = unit(*rng),
          len = std::sqrt(nx * nx + ny * ny + nz * nz) + 1e-6f;
    int8_t n[4] = {(int8_t)lrintf(nx / len * 127), (int8_t)lrintf(ny / len * 127),
                   (int8_t)lrintf(nz / len * 127), 0};
    memcpy(&v.spare, n, 4);
    v.colour = (*rng)();
    v.u = unit(*rng), v.v = unit(*rng);
  }
  return vs;
}

}  // namespace

// Random meshes, rotations, scales (unit, uniform, uneven, within 0.0001 of 1), shades, suns
// and 0..4 lights against the numpy transcription, byte for byte.
TEST(ModelLight, MatchesAnIndependentTranscriptionOfTheIntegerRules) {
  std::mt19937 rng(1382);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  const Vec3 scales[] = {
      {1, 1, 1}, {1.7f, 1.7f, 1.7f}, {0.6f, 2.0f, 1.3f}, {1, 1, 1.00005f}, {0.4f, 0.4f, 0.4f}};
  int round = 0;
  for (const Vec3& scale : scales) {
    for (int32_t count = 0; count <= (int32_t)LIGHT_BLOCK_MAX; count += 2, round++) {
      SCOPED_TRACE("round " + std::to_string(round));
      float dx = unit(rng), dy = unit(rng), dz = unit(rng), len = std::sqrt(dx * dx + dy * dy + dz * dz);
      int8_t sun[3] = {(int8_t)lrintf(dx / len * 127), (int8_t)lrintf(dy / len * 127),
                       (int8_t)lrintf(dz / len * 127)};
      uint8_t colour[4] = {(uint8_t)rng(), (uint8_t)rng(), (uint8_t)rng(), 255};
      lighting_tables_build(sun, colour);
      Vec3 position = {unit(rng) * 50, unit(rng) * 5, unit(rng) * 50};
      Vec3 rotation = {unit(rng) * 180, unit(rng) * 180, unit(rng) * 180};
      float shade = (unit(rng) + 1) * 0.5f;
      ModelLightBlock block;
      ASSERT_TRUE(model_light_block_init(&block, position, rotation, scale, shade, sun));
      block.light.count = count;
      for (int32_t j = 0; j < count; j++) {
        Vec3 at = {position.x + unit(rng) * 4, position.y + unit(rng) * 4, position.z + unit(rng) * 4};
        block.light.lights[j] = make_light(at, 3.0f + 6.0f * (unit(rng) + 1), &rng);
      }
      std::vector<RenderVertex> in = random_vertices(&rng, 1500), out;
      run_stage(model_light_stage, &in, &out, &block);

      std::string input;
      for (int k = 0; k < 3; k++) input += std::to_string(sun[k]) + " ";
      for (int k = 0; k < 4; k++) input += std::to_string(colour[k]) + " ";
      char word[64];
      snprintf(word, sizeof word, "%x\n", block.constant);
      input += word;
      for (float f : block.model.m) snprintf(word, sizeof word, "%x ", float_bits(f)), input += word;
      input += "\n";
      for (float f : {block.inverse_scale.x, block.inverse_scale.y, block.inverse_scale.z})
        snprintf(word, sizeof word, "%x ", float_bits(f)), input += word;
      input += "\n" + std::to_string(count) + "\n";
      for (int32_t j = 0; j < count; j++) {
        const LightSource& l = block.light.lights[j];
        char line[256];
        snprintf(line, sizeof line, "%x %x %x %x %x %d %d %d\n", float_bits(l.inv_radius), float_bits(l.radius_sq),
                 float_bits(l.position.x), float_bits(l.position.y), float_bits(l.position.z), l.red, l.green, l.blue);
        input += line;
      }
      for (const RenderVertex& v : in) input += hex_of_bytes(&v, sizeof v) + "\n";

      std::string output;
      REQUIRE_REFERENCE_PYTHON(kReference, input, &output);
      std::istringstream lines(output);
      std::string sun_line, colour_line;
      std::getline(lines, sun_line);
      std::getline(lines, colour_line);
      int8_t model_sun[3];
      model_sun_in_space(sun, &block.model, &block.inverse_scale, model_sun);
      std::istringstream sun_words(sun_line);
      for (int k = 0; k < 3; k++) {
        int want;
        sun_words >> want;
        EXPECT_EQ(model_sun[k], want) << "sun lane " << k;
      }
      std::istringstream words(colour_line);
      uint32_t lit_by_lights = 0;
      for (size_t i = 0; i < in.size(); i++) {
        std::string w;
        words >> w;
        ASSERT_EQ(out[i].colour, (uint32_t)strtoul(w.c_str(), nullptr, 16)) << "vertex " << i;
        ASSERT_EQ(out[i].u, in[i].u);
        ASSERT_EQ(out[i].v, in[i].v);
        lit_by_lights +=
            (out[i].colour & 0xFFFFFF) !=
            (lighting_final_colour_diffuse(in[i].colour, block.constant,
                                           model_diffuse((const int8_t*)&in[i].spare, model_sun)) &
             0xFFFFFF);
      }
      // The fixture must reach the dynamic lights, not only the sun.
      if (count > 0) {
        EXPECT_GT(lit_by_lights, 20u);
      }
    }
  }
}

// A bone's run is lit as a static model whose matrix is the bone's followed by the model's;
// with the bind pose that is the model itself.
TEST(ModelLight, SkinnedRunsAreLitInTheirBonesFrames) {
  std::mt19937 rng(7);
  const int8_t sun[3] = {40, 90, -80};
  const uint8_t colour[4] = {200, 180, 160, 255};
  lighting_tables_build(sun, colour);
  std::vector<RenderVertex> in = random_vertices(&rng, 60);
  MeshSkin skin[60] = {};
  for (uint32_t i = 0; i < 60; i++) skin[i].bones[0] = (uint16_t)(i / 20);
  Mesh mesh = {};
  mesh.flags = MESH_SKIN;
  mesh.vertices = in.data();
  mesh.skin = skin;
  mesh.vertex_count = 60;
  mesh.bone_last = 2;
  Mat4 bones[3];
  mat4_identity(&bones[0]);
  mat4_identity(&bones[1]);
  mat4_rotate_y(90, &bones[1]);
  mat4_translate(0, 1, 0, &bones[1]);
  mat4_identity(&bones[2]);
  mat4_rotate_x(-35, &bones[2]);

  ModelLightBlock block;
  ASSERT_TRUE(model_light_block_init(&block, {3, 0, -2}, {0, 30, 0}, {1, 1, 1}, 0.7f, sun));
  block.mesh = &mesh;
  block.bones = bones;
  std::vector<RenderVertex> skinned;
  run_stage(skinned_light_stage, &in, &skinned, &block);
  for (uint32_t b = 0; b < 3; b++) {
    ModelLightBlock single = block;
    mat4_multiply(&bones[b], &block.model, &single.model);
    std::vector<RenderVertex> run(in.begin() + 20 * b, in.begin() + 20 * (b + 1)), lit;
    run_stage(model_light_stage, &run, &lit, &single);
    for (uint32_t i = 0; i < 20; i++)
      EXPECT_EQ(skinned[20 * b + i].colour, lit[i].colour) << "bone " << b << " vertex " << i;
  }
  // The bones must matter: the turned bone's run differs from the bind pose's lighting.
  std::vector<RenderVertex> plain;
  run_stage(model_light_stage, &in, &plain, &block);
  int differ = 0;
  for (uint32_t i = 20; i < 40; i++) differ += skinned[i].colour != plain[i].colour;
  EXPECT_GT(differ, 5);
  for (uint32_t i = 0; i < 20; i++) EXPECT_EQ(skinned[i].colour, plain[i].colour);
}
