#include "scene/lighting.h"

#include <cmath>
#include <cstring>

#include "assets/normal_table.h"
#include "render/render.h"

namespace {

LightingTables g_tables;

inline uint32_t min255(uint32_t v) { return v > 255 ? 255 : v; }

inline uint32_t block_count(const LightBlock* block) {
  if (!block || block->count <= 0) return 0;
  return block->count > (int32_t)LIGHT_BLOCK_MAX ? LIGHT_BLOCK_MAX : (uint32_t)block->count;
}

inline bool overlaps(const Bounds& a, const Bounds& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

inline float inverse_sqrt(float x) {
  uint32_t bits;
  memcpy(&bits, &x, 4);
  bits = 0x5F375A86u - (bits >> 1);
  float y;
  memcpy(&y, &bits, 4);
  return y * (1.5f - 0.5f * x * y * y);
}

// One light's addition to baked light; inline so the world stage's per-vertex loop pays no call.
inline void add_light_at(const LightSource& light, const int8_t* n, const float position[3], uint8_t* baked) {
  float lx = light.position.x - position[0];
  float ly = light.position.y - position[1];
  float lz = light.position.z - position[2];
  float d2 = lx * lx + ly * ly + lz * lz;
  if (!(d2 < light.radius_sq)) return;
  float h = (float)n[0] * lx + (float)n[1] * ly + (float)n[2] * lz;
  if (!(h > 0.0f)) return;
  float inv = inverse_sqrt(d2);
  float f = 1.0f - d2 * inv * light.inv_radius;
  float weight = f * f * h * inv * 32385.0f;
  // Below one half the weight rounds to 0 and adds nothing (NaN included); the cap keeps the
  // products below in 64 bits whatever the float holds.
  if (!(weight >= 0.5f)) return;
  if (weight > 4.0e9f) weight = 4.0e9f;
  // Round half away from zero, exact for every float of this range.
  const uint64_t t = (uint64_t)(int64_t)((double)weight + 0.5);
  const uint8_t colour[3] = {light.blue, light.green, light.red};
  for (int c = 0; c < 3; c++) {
    uint64_t add = ((uint64_t)colour[c] * t + 0x200000u) >> 22;
    baked[c] = (uint8_t)min255((uint32_t)(baked[c] + (add > 255 ? 255 : add)));
  }
}

void add_light(RenderVertex* v, const LightSource& light) {
  const float position[3] = {v->x, v->y, v->z};
  add_light_at(light, NORMAL_TABLE[((uint8_t*)v)[20]], position, (uint8_t*)&v->colour);
}

}  // namespace

void light_vertex_dynamic(const LightSource* light, const int8_t normal[3], const float position[3],
                          uint8_t baked[4]) {
  add_light_at(*light, normal, position, baked);
}

void lighting_tables_build(const int8_t direction[3], const uint8_t colour[4]) {
  for (int c = 0; c < 3; c++) {
    uint32_t lc = colour ? (uint32_t)colour[c] * 154 >> 8 : 0;
    for (uint32_t i = 0; i < 256; i++) {
      g_tables.ramp_linear[i][c] = (uint8_t)(i * lc >> 8);
      g_tables.ramp_square[i][c] = (uint8_t)(lc * (i * i >> 8) >> 8);
    }
  }
  for (uint32_t i = 0; i < 256; i++) {
    g_tables.ramp_linear[i][3] = 255;
    g_tables.ramp_square[i][3] = 0;
  }
  for (uint32_t n = 0; n < NORMAL_TABLE_SIZE; n++) {
    int32_t dot = 0;
    if (direction) {
      dot = NORMAL_TABLE[n][0] * direction[0] + NORMAL_TABLE[n][1] * direction[1] +
            NORMAL_TABLE[n][2] * direction[2];
    }
    // Bytes that are not a unit vector x 127 could pass 170; the table stays a byte.
    uint32_t d = dot > 0 ? ((uint32_t)dot >> 1) * 1382 >> 16 : 0;
    g_tables.diffuse[n] = (uint8_t)min255(d);
  }
}

const LightingTables* lighting_tables(void) { return &g_tables; }

float lighting_inverse_sqrt(float x) { return inverse_sqrt(x); }

uint8_t face_group_light_mask(const Bounds* box, const LightBlock* block) {
  if (!box) return 0;
  uint32_t count = block_count(block);
  uint8_t mask = 0;
  for (uint32_t j = 0; j < count; j++) {
    if (overlaps(*box, block->lights[j].bounds)) mask |= (uint8_t)(1u << j);
  }
  return mask;
}

void lighting_add_dynamic(RenderVertex* vertex, const LightBlock* block) {
  if (!vertex) return;
  uint32_t count = block_count(block);
  uint32_t mask = ((const uint8_t*)vertex)[23] & ((1u << count) - 1);
  for (uint32_t j = 0; mask; j++, mask >>= 1) {
    if (mask & 1) add_light(vertex, block->lights[j]);
  }
}

uint32_t lighting_final_colour(uint32_t material, uint32_t light_and_shade, uint32_t normal) {
  return lighting_final_colour_diffuse(material, light_and_shade, g_tables.diffuse[normal & 255]);
}

uint32_t lighting_final_colour_diffuse(uint32_t material, uint32_t light_and_shade, uint32_t diffuse) {
  const uint32_t shade = light_and_shade >> 24;
  const uint8_t* linear = g_tables.ramp_linear[shade];
  const uint8_t* square = g_tables.ramp_square[shade];
  uint32_t out = 0;
  for (uint32_t c = 0; c < 3; c++) {
    uint32_t lit = min255(linear[c] + (diffuse * square[c] >> 8) + (light_and_shade >> (8 * c) & 255));
    out |= min255((material >> (8 * c) & 255) * lit >> 7) << (8 * c);
  }
  uint32_t alpha = material >> 24;
  out |= (alpha >= 128 ? 255 : alpha * 255 >> 7) << 24;
  return out;
}

void lighting_apply(RenderVertex* vertices, uint32_t count, const LightBlock* block) {
  if (!vertices) return;
  const bool lights = block_count(block) > 0;
  for (uint32_t i = 0; i < count; i++) {
    RenderVertex* v = &vertices[i];
    if (lights) lighting_add_dynamic(v, block);
    uint32_t material;
    memcpy(&material, &v->w, 4);
    v->colour = lighting_final_colour(material, v->colour, v->spare & 255);
  }
}

void world_light_stage(DrawRecord* record) {
  if (!record || record->current_source != (void*)record) return;
  lighting_apply(record->source_vertices, record->vertex_count, (const LightBlock*)record->user_extra);
}
