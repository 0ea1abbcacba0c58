#include "scene/environment.h"

#include <cmath>

#include "game/game_world.h"
#include "platform/clock.h"
#include "render/render.h"
#include "scene/water.h"
#include "settings/settings.h"

namespace {

constexpr double DAY_SECONDS = 86400.0;
constexpr float BYTE_TO_UNIT = 0.003921569f;  // 1 / 255

// One row per hour of the day: RGB triples in 0..255.
struct HourRow {
  float light[3];
  float cloud_1[3];
  float cloud_2[3];
  float fog[3];
};

#define NIGHT_ROW                                                \
  {                                                              \
    {128, 144, 180}, {12, 18, 60}, {30, 42, 104}, { 12, 14, 48 } \
  }
#define DAY_CLOUDS \
  {193, 242, 248}, { 219, 246, 252 }
constexpr HourRow HOURS[24] = {
    NIGHT_ROW,
    NIGHT_ROW,
    NIGHT_ROW,
    NIGHT_ROW,
    NIGHT_ROW,
    NIGHT_ROW,
    {{158, 150, 176}, {96, 100, 172}, {213, 173, 223}, {143, 138, 151}},
    {{177, 179, 179}, {184, 228, 242}, {219, 242, 251}, {178, 186, 192}},
    {{185, 187, 187}, {192, 241, 248}, {219, 246, 252}, {182, 191, 196}},
    {{192, 195, 195}, DAY_CLOUDS, {184, 194, 199}},
    {{200, 203, 203}, DAY_CLOUDS, {186, 196, 201}},
    {{208, 210, 210}, DAY_CLOUDS, {188, 199, 203}},
    {{215, 218, 218}, DAY_CLOUDS, {190, 201, 206}},
    {{227, 230, 230}, DAY_CLOUDS, {192, 204, 208}},
    {{227, 230, 230}, DAY_CLOUDS, {192, 204, 208}},
    {{215, 218, 218}, DAY_CLOUDS, {190, 201, 206}},
    {{208, 210, 210}, DAY_CLOUDS, {188, 199, 203}},
    {{200, 203, 203}, DAY_CLOUDS, {186, 196, 201}},
    {{192, 195, 195}, DAY_CLOUDS, {184, 194, 199}},
    {{185, 187, 187}, {192, 241, 248}, {219, 246, 252}, {182, 191, 196}},
    {{177, 179, 179}, {184, 228, 242}, {219, 242, 251}, {178, 186, 192}},
    {{174, 151, 151}, {98, 92, 146}, {255, 158, 132}, {144, 126, 125}},
    NIGHT_ROW,
    NIGHT_ROW,
};
#undef NIGHT_ROW
#undef DAY_CLOUDS

constexpr bool same_row(const HourRow& a, const HourRow& b) {
  for (int i = 0; i < 3; i++)
    if (a.light[i] != b.light[i] || a.cloud_1[i] != b.cloud_1[i] || a.cloud_2[i] != b.cloud_2[i] ||
        a.fog[i] != b.fog[i])
      return false;
  return true;
}
static_assert(same_row(HOURS[0], HOURS[5]) && same_row(HOURS[0], HOURS[22]) && same_row(HOURS[22], HOURS[23]),
              "the night rows 0-5 and 22-23 are one row");
static_assert(same_row(HOURS[13], HOURS[14]) && same_row(HOURS[12], HOURS[15]) &&
                  same_row(HOURS[7], HOURS[20]),
              "the day is symmetric about 13:30");

float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }

// Truncation toward zero, saturating at the int32 range.
int32_t truncate_saturating(float v) {
  if (!std::isfinite(v)) return 0;
  if (v >= 2147483648.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return (int32_t)v;
}

// Round half away from zero into lo..hi; NaN reads 0.
int32_t round_into(float v, int32_t lo, int32_t hi) {
  if (!(v == v)) return 0;
  float r = roundf(v);
  if (r <= (float)lo) return lo;
  if (r >= (float)hi) return hi;
  return (int32_t)r;
}

double wrap_day(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  double c = fmod(seconds, DAY_SECONDS);
  if (c < 0) c += DAY_SECONDS;
  // Adding the day to a tiny negative remainder can round up to the day itself.
  if (c >= DAY_SECONDS) c = 0;
  return c;
}

CameraState* camera_state(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (CameraState*)pool_at(pool, 0) : nullptr;
}

// Body and elevation by day fraction; the sun rises from -10 at 05:30 to 85 at noon and sets
// to -10 at 21:30, the moon stands at 55 at midnight, sinks to -10 by 05:00 and rises from
// -10 at 22:00.
void place_celestial(ZoneEnvironment* e, float f) {
  e->celestial_azimuth = 90;
  if (f < 0.20833333f) {
    e->celestial = CELESTIAL_MOON;
    e->celestial_elevation = 55 - 65 * clampf(f * 4.8f, 0, 1);
  } else if (f < 0.22916667f) {
    e->celestial = CELESTIAL_NONE;
    e->celestial_elevation = -10;
  } else if (f < 0.5f) {
    e->celestial = CELESTIAL_SUN;
    e->celestial_elevation = 95 * clampf((f - 0.22916667f) * 3.6923075f, 0, 1) - 10;
  } else if (f < 0.8958333f) {
    e->celestial = CELESTIAL_SUN;
    e->celestial_elevation = 85 - 95 * clampf((f - 0.5f) * 2.5263157f, 0, 1);
  } else if (f < 0.9166667f) {
    e->celestial = CELESTIAL_NONE;
    e->celestial_elevation = -10;
  } else {
    e->celestial = CELESTIAL_MOON;
    e->celestial_elevation = 55 - 65 * clampf((1 - f) * 12, 0, 1);
  }
}

// 20 degrees above the horizon at 06:00 and 18:00, 35 at midnight and noon, whichever body
// is shown; the azimuth is fixed.
void aim_light(ZoneEnvironment* e, float f) {
  float g = clampf(fabsf(fmodf(4 * f, 2) - 1), 0, 1);
  float angle = g * 0.2617994f + 0.34906584f;
  const float q = 1.5707963146269321f;
  float d[3] = {-cosf(angle) * sinf(q), sinf(angle), -cosf(angle) * cosf(q)};
  float length = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (int i = 0; i < 3; i++) e->light_direction[i] = length > 0.0001f ? d[i] / length : 0.0f;
}

void blend_colours(ZoneEnvironment* e, float f) {
  int h = (int)(f * 24);
  if (h > 23) h = 23;
  if (h < 0) h = 0;
  float s = clampf(f * 24 - (float)h, 0, 1);
  const HourRow& a = HOURS[h];
  const HourRow& b = HOURS[(h + 1) % 24];
  for (int i = 0; i < 3; i++) {
    e->light_colour[i] = (a.light[i] + s * (b.light[i] - a.light[i])) * BYTE_TO_UNIT;
    e->cloud_colour_1[i] = (a.cloud_1[i] + s * (b.cloud_1[i] - a.cloud_1[i])) * BYTE_TO_UNIT;
    e->cloud_colour_2[i] = (a.cloud_2[i] + s * (b.cloud_2[i] - a.cloud_2[i])) * BYTE_TO_UNIT;
    e->fog_colour[i] = (a.fog[i] + s * (b.fog[i] - a.fog[i])) * e->base_colour[i] * BYTE_TO_UNIT;
  }
}

// Far distance and fog start from the camera, capped at six cells and kept beyond near.
void place_far(ZoneEnvironment* e, CameraState* camera) {
  float start = 0;
  float far = env_view_distance(e, &start);
  uint64_t size = render_get_size();
  float width = (float)(uint32_t)size, height = (float)(uint32_t)(size >> 32);
  if (height > 0 && e->cell_size > 0) {
    float a = width / height;
    float t = tanf(camera->fov_degrees * 0.008726646f);
    float cap = (float)e->cell_size * 6 / sqrtf(t * t * (a * a + 1) + 1);
    if (std::isfinite(cap) && cap < far) {
      start = start * cap / far;
      far = cap;
    }
  }
  float near = finite_or_zero(camera->near_plane);
  if (!(far > near)) {
    // The same margin the camera record keeps when its far plane is not beyond near.
    float gap = fabsf(near) * 0.001f;
    far = near + (gap > 1 ? gap : 1);
    if (start > far) start = far;
  }
  e->fog_start = start;
  e->far_distance = far;
  camera->far_distance = far;
}

}  // namespace

void env_record_init(ZoneEnvironment* record, const float colour[3], float value_1, float far_distance,
                     float value_2, float value_3, uint32_t word, uint32_t cell_size) {
  if (!record) return;
  *record = ZoneEnvironment{};
  // Kept within 0..1 so the fog colour it scales stays a colour (and finite).
  for (int i = 0; i < 3; i++)
    record->base_colour[i] = colour ? clampf(finite_or_zero(colour[i]), 0, 1) : 0.0f;
  record->min_far = truncate_saturating(value_1);
  record->max_far = truncate_saturating(far_distance);
  record->nominal_fog_start = finite_or_zero(value_2);
  record->nominal_far = finite_or_zero(value_3);
  record->flags = word;
  record->cell_size = cell_size;
}

float env_view_distance_for_level(const ZoneEnvironment* record, int32_t level, float* start_out) {
  if (!record) {
    if (start_out) *start_out = 0;
    return 0;
  }
  float s = record->nominal_fog_start > 10 ? record->nominal_fog_start : 10.0f;
  float lo = (float)record->min_far;
  float hi = record->max_far > record->min_far ? (float)record->max_far : lo;
  float n = record->nominal_far;
  if (!(n >= lo)) n = lo;
  if (n > hi) n = hi;
  if (s < 0) s = 0;
  if (s > n) s = n;

  float far = 0, start = 0;
  bool fallback = fabsf(s - n) <= 0.0001f;
  if (!fallback) {
    if (level < 5) {
      float l = (float)(level < 0 ? 0 : (level > 4 ? 4 : level));
      far = lo + (l * 0.25f) * (n - lo);
      start = far * (s / n);  // the fog keeps its proportion
    } else {
      float l = (float)(level > 9 ? 9 : level);
      far = n + ((l - 4) * 0.2f) * (hi - n);
      start = far - (n - s);  // the fog keeps its depth
    }
    if (!(start > 0)) start = 0;
    if (start > far) far = start;
    fallback = fabsf(start - far) <= 0.0001f;
  }
  if (fallback) {
    start = 0;
    far = lo + (hi - lo) * clampf((float)level * 0.11111111f, 0, 1);
    // A negative minimum would put the far distance before the fog start.
    if (far < start) far = start;
  }
  if (start_out) *start_out = start;
  return far;
}

float env_view_distance(ZoneEnvironment* record, float* start_out) {
  int32_t level = setting_clip_distance();
  if (record) record->view_level = level;
  return env_view_distance_for_level(record, level, start_out);
}

void env_update(void) {
  EntityWorld* world = game_world();
  ZoneEnvironment* e = env_record();
  if (!e) return;
  if (CameraState* camera = camera_state(world)) place_far(e, camera);

  e->clock = wrap_day(e->clock + (double)finite_or_zero(frame_delta()) * 8);
  float f = clampf((float)(e->clock * 0.000011574074), 0, 1);
  // Only one zone has a running day: the others hold midnight or noon.
  if (world->tag == 2)
    f = 0;
  else if (world->tag != 4)
    f = 0.5f;
  e->day_fraction = f;
  place_celestial(e, f);
  aim_light(e, f);
  blend_colours(e, f);
}

void env_set_clock(int32_t milliseconds) {
  if (ZoneEnvironment* e = env_record()) e->clock = wrap_day((double)milliseconds * 0.001);
}

void env_on_world_clock(const NetEvent*, const MsgInt* record) {
  if (record) env_set_clock(record->value);
}

ZoneEnvironment* env_record(void) {
  EntityWorld* world = game_world();
  if (!world) return nullptr;
  ComponentPool* pool = space_pool(world_space(world, SPACE_ENVIRONMENT), COMPONENT_ZONE_ENVIRONMENT);
  return pool && pool->dense_count ? (ZoneEnvironment*)pool_at(pool, 0) : nullptr;
}

void env_fog(float colour[3], float* start, float* end) {
  const ZoneEnvironment* e = env_record();
  float c[3] = {0, 0, 0}, s = 0, f = 0;
  float liquid[3];
  if (e && water_camera_in_liquid(liquid)) {
    for (int i = 0; i < 3; i++) c[i] = liquid[i] * e->light_colour[i];
    s = 0;
    f = 24;
  } else if (e) {
    for (int i = 0; i < 3; i++) c[i] = e->fog_colour[i];
    s = e->fog_start;
    f = e->far_distance;
  }
  if (colour)
    for (int i = 0; i < 3; i++) colour[i] = c[i];
  if (start) *start = s;
  if (end) *end = f;
}

void env_light_direction(int8_t out[3]) {
  const ZoneEnvironment* e = env_record();
  for (int i = 0; i < 3; i++)
    out[i] = e && e->flags == 2 ? (int8_t)round_into(e->light_direction[i] * 127, -127, 127) : 0;
}

void env_light_colour(uint8_t out[4]) {
  const ZoneEnvironment* e = env_record();
  if (!e) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  float tint[3] = {1, 1, 1};
  water_camera_in_liquid(tint);
  // Stored blue, green, red, as the lighting tables read them.
  for (int i = 0; i < 3; i++) out[2 - i] = (uint8_t)round_into(e->light_colour[i] * 255 * tint[i], 0, 255);
  out[3] = 255;
}

int32_t env_celestial(float* elevation, float* azimuth) {
  const ZoneEnvironment* e = env_record();
  if (elevation) *elevation = e ? e->celestial_elevation : 0.0f;
  if (azimuth) *azimuth = e ? e->celestial_azimuth : 0.0f;
  return e ? e->celestial : CELESTIAL_NONE;
}

int env_clears_colour(void) {
  const ZoneEnvironment* e = env_record();
  if (!e) return 0;
  if (water_camera_in_liquid(nullptr)) return 1;
  return (e->flags & ENV_FLAG_CLEARS_COLOUR) ? 1 : 0;
}

int env_second_cloud_layer_off(void) {
  if (!game_world()) return 0;
  return setting_detailed_sky() ? 0 : 1;
}
