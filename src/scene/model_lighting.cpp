// Per-vertex lighting of static and skinned models: the world's integer lighting with the
// sun and the dynamic lights moved into the model's (or a bone's) own space.
#include <cmath>
#include <cstring>

#include "game/model_bounds.h"
#include "render/render.h"
#include "scene/model_draw.h"

namespace {

constexpr float BYTE_TO_UNIT = 0.007874016f;  // 1 / 127

int8_t to_byte(float v) {
  long r = lroundf(v * 127.0f);
  return (int8_t)(r > 127 ? 127 : r < -128 ? -128 : r);
}

// Row i of m's 3 x 3 part times inverse scale i: the inverse rotation's columns.
void unscaled_rows(const Mat4* m, const Vec3* inverse_scale, float rows[3][3]) {
  const float s[3] = {inverse_scale->x, inverse_scale->y, inverse_scale->z};
  for (int i = 0; i < 3; i++)
    for (int k = 0; k < 3; k++) rows[i][k] = m->m[4 * i + k] * s[i];
}

// A light moved into the space of m: its offset from m's origin through the inverse
// rotation, then scaled as if the scale were uniform in x.
LightSource light_into_space(const LightSource& light, const Mat4* m, const Vec3* inverse_scale) {
  float rows[3][3];
  unscaled_rows(m, inverse_scale, rows);
  float d[3] = {light.position.x - m->m[12], light.position.y - m->m[13], light.position.z - m->m[14]};
  float p[3];
  for (int i = 0; i < 3; i++)
    p[i] = (rows[i][0] * d[0] + rows[i][1] * d[1] + rows[i][2] * d[2]) * inverse_scale->x;
  LightSource out = light;
  out.position = {p[0], p[1], p[2]};
  out.inv_radius = light.inv_radius / inverse_scale->x;
  out.radius_sq = light.radius_sq * (inverse_scale->x * inverse_scale->x);
  return out;
}

uint32_t light_count(const ModelLightBlock* block) {
  int32_t n = block->light.count;
  return n <= 0 ? 0 : n > (int32_t)LIGHT_BLOCK_MAX ? LIGHT_BLOCK_MAX : (uint32_t)n;
}

DrawSource* source_of(DrawRecord* record) {
  DrawSource* s = record ? (DrawSource*)record->current_source : nullptr;
  return s && s->vertices && s->output && record->user_data ? s : nullptr;
}

}  // namespace

void model_sun_in_space(const int8_t sun[3], const Mat4* m, const Vec3* inverse_scale, int8_t out[3]) {
  float rows[3][3];
  unscaled_rows(m, inverse_scale, rows);
  const float d[3] = {sun[0] * BYTE_TO_UNIT, sun[1] * BYTE_TO_UNIT, sun[2] * BYTE_TO_UNIT};
  float s[3];
  for (int i = 0; i < 3; i++) s[i] = rows[i][0] * d[0] + rows[i][1] * d[1] + rows[i][2] * d[2];
  float length_sq = s[0] * s[0] + s[1] * s[1] + s[2] * s[2];
  if (!(length_sq > 0.0f) || !std::isfinite(length_sq)) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  float inv = lighting_inverse_sqrt(length_sq);
  for (int i = 0; i < 3; i++) out[i] = to_byte(s[i] * inv);
}

uint32_t model_diffuse(const int8_t n[3], const int8_t s[3]) {
  int32_t dot = n[0] * s[0] + n[1] * s[1] + n[2] * s[2];
  if (dot <= 0) return 0;
  uint32_t d = ((uint32_t)dot >> 1) * 1382 >> 16;
  return d > 255 ? 255 : d;
}

int model_light_block_init(ModelLightBlock* block, Vec3 position, Vec3 rotation, Vec3 scale, float shade,
                           const int8_t sun[3]) {
  const float s[3] = {scale.x, scale.y, scale.z};
  for (float c : s)
    if (c == 0.0f || !std::isfinite(c)) return 0;
  memset(block, 0, sizeof *block);
  const Transform t = {position, rotation, scale};
  transform_model_matrix(&t, &block->model);
  bool unit = true;
  for (float c : s) unit = unit && std::fabs(c - 1.0f) <= 0.0001f;
  block->inverse_scale = unit ? Vec3{1, 1, 1} : Vec3{1.0f / s[0], 1.0f / s[1], 1.0f / s[2]};
  float level = shade > 0.0f ? (shade < 1.0f ? shade : 1.0f) : 0.0f;
  block->constant = (uint32_t)lroundf(level * 255.0f) << 24;
  if (sun) memcpy(block->light.direction, sun, 3);
  return 1;
}

void model_light_vertices(const RenderVertex* in, RenderVertex* out, uint32_t count, uint32_t constant,
                          const uint32_t* baked, const int8_t sun[3], const LightSource* lights,
                          uint32_t light_total) {
  for (uint32_t i = 0; i < count; i++) {
    const RenderVertex& v = in[i];
    int8_t normal[4];
    memcpy(normal, &v.spare, 4);
    uint32_t start = baked ? baked[i] : constant;
    uint8_t* bytes = (uint8_t*)&start;
    const float position[3] = {v.x, v.y, v.z};
    for (uint32_t j = 0; j < light_total; j++) light_vertex_dynamic(&lights[j], normal, position, bytes);
    out[i].colour = lighting_final_colour_diffuse(v.colour, start, model_diffuse(normal, sun));
    out[i].u = v.u;
    out[i].v = v.v;
  }
}

void model_light_stage(DrawRecord* record) {
  DrawSource* s = source_of(record);
  if (!s) return;
  const ModelLightBlock* block = (const ModelLightBlock*)record->user_data;
  int8_t sun[3];
  model_sun_in_space(block->light.direction, &block->model, &block->inverse_scale, sun);
  LightSource lights[LIGHT_BLOCK_MAX];
  uint32_t n = light_count(block);
  for (uint32_t j = 0; j < n; j++)
    lights[j] = light_into_space(block->light.lights[j], &block->model, &block->inverse_scale);
  const uint32_t* baked = block->baked && block->baked_count >= s->count ? block->baked : nullptr;
  model_light_vertices(s->vertices, s->output, s->count, block->constant, baked, sun, lights, n);
}

void skinned_light_stage(DrawRecord* record) {
  DrawSource* s = source_of(record);
  if (!s) return;
  const ModelLightBlock* block = (const ModelLightBlock*)record->user_data;
  const Mesh* mesh = block->mesh;
  if (!mesh || !mesh->skin || !block->bones || mesh->vertex_count != s->count) return;
  uint32_t n = light_count(block);
  for (uint32_t i = 0; i < s->count;) {
    uint32_t bone = mesh->skin[i].bones[0], end = i + 1;
    while (end < s->count && mesh->skin[end].bones[0] == bone) end++;
    // The bone's frame in the world: bone, then model.
    Mat4 frame;
    mat4_multiply(&block->bones[bone], &block->model, &frame);
    int8_t sun[3];
    model_sun_in_space(block->light.direction, &frame, &block->inverse_scale, sun);
    LightSource lights[LIGHT_BLOCK_MAX];
    for (uint32_t j = 0; j < n; j++)
      lights[j] = light_into_space(block->light.lights[j], &frame, &block->inverse_scale);
    model_light_vertices(&s->vertices[i], &s->output[i], end - i, block->constant, nullptr, sun, lights, n);
    i = end;
  }
}
