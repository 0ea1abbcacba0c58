#include "scene/environment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "base/ini.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "net/dispatch.h"
#include "platform/clock.h"
#include "render/render.h"
#include "scene/water.h"
#include "settings/settings.h"
#include "support/backend_testing.h"
#include "support/math_test_support.h"
#include "support/test_files.h"

namespace {

// ---- A fake clock: each tick advances by the step the test sets.
uint64_t g_counter;
int fake_frequency(uint64_t* out) {
  *out = 1000000;
  return 1;
}
uint64_t fake_counter(void) { return g_counter; }
uint32_t fake_milliseconds(void) { return (uint32_t)(g_counter / 1000); }
const ClockSource FAKE_CLOCK = {fake_frequency, fake_counter, fake_milliseconds};

class Environment : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(recording_backend_install(nullptr));
    recording_backend_configure(1, PF_RGBA8888, 640, 480);
    settings_load((dir / "settings.ini").c_str());
    water_set_camera_in_liquid(0, nullptr);
    g_counter = 0;
    clock_set_source(&FAKE_CLOCK);
    frame_clock_reset();  // delta 0 until the first tick
  }
  void TearDown() override {
    game_world_replace(nullptr);
    settings_close();
    recording_backend_uninstall();
    clock_set_source(nullptr);
    water_set_camera_in_liquid(0, nullptr);
  }
  // A world of zone `tag` with an environment and, optionally, a camera (60 degrees).
  ZoneEnvironment* make_zone(uint32_t tag, bool with_camera, float min_far = 100, float max_far = 1000,
                             float start = 50, float far = 400, uint32_t flags = 2, uint32_t cell = 0) {
    EntityWorld* world = catalogue_world_create(tag, nullptr);
    game_world_replace(world);
    if (with_camera) camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
    uint32_t h = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
    ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, h);
    const float base[3] = {1, 0.5f, 0.25f};
    env_record_init(e, base, min_far, max_far, start, far, flags, cell);
    return e;
  }
  CameraState* camera_state() {
    return (CameraState*)entity_component(game_world(), COMPONENT_CAMERA_STATE, camera);
  }
  void set_level(int level) {
    ASSERT_TRUE(ini_set_int(settings_document(), "Rendering", "CLIP_DISTANCE", level));
  }

  TestTempDir dir{"environment"};
  uint32_t camera = 0;
};

// ---- The rules written out again in numpy, from their description, in double precision.
const char* REFERENCE = R"PY(
import sys, math
import numpy as np

LIGHT = [(128,144,180)]*6 + [(158,150,176),(177,179,179),(185,187,187),(192,195,195),(200,203,203),
         (208,210,210),(215,218,218),(227,230,230),(227,230,230),(215,218,218),(208,210,210),
         (200,203,203),(192,195,195),(185,187,187),(177,179,179),(174,151,151)] + [(128,144,180)]*2
DAY1, DAY2 = (193,242,248), (219,246,252)
CLOUD1 = [(12,18,60)]*6 + [(96,100,172),(184,228,242),(192,241,248)] + [DAY1]*10 + \
         [(192,241,248),(184,228,242),(98,92,146)] + [(12,18,60)]*2
CLOUD2 = [(30,42,104)]*6 + [(213,173,223),(219,242,251),(219,246,252)] + [DAY2]*10 + \
         [(219,246,252),(219,242,251),(255,158,132)] + [(30,42,104)]*2
FOG = [(12,14,48)]*6 + [(143,138,151),(178,186,192),(182,191,196),(184,194,199),(186,196,201),
       (188,199,203),(190,201,206),(192,204,208),(192,204,208),(190,201,206),(188,199,203),
       (186,196,201),(184,194,199),(182,191,196),(178,186,192),(144,126,125)] + [(12,14,48)]*2
for t in (LIGHT, CLOUD1, CLOUD2, FOG):
    assert len(t) == 24

def clamp(v, lo, hi):
    return min(max(v, lo), hi)

def view(lo_i, hi_i, s, n, level):
    s = s if s > 10 else 10.0
    lo = float(lo_i)
    hi = float(hi_i) if hi_i > lo_i else lo
    n = clamp(n, lo, hi)
    s = clamp(s, 0.0, n)
    def fallback():
        # Decided here: a negative minimum never puts the far distance before the fog start.
        return max(lo + (hi - lo) * clamp(level / 9.0, 0.0, 1.0), 0.0), 0.0
    if abs(s - n) <= 1e-4:
        return fallback()
    if level < 5:
        far = lo + clamp(level, 0, 4) * 0.25 * (n - lo)
        start = far * s / n
    else:
        far = n + (min(level, 9) - 4) * 0.2 * (hi - n)
        start = far - (n - s)
    start = max(start, 0.0)
    far = max(far, start)
    if abs(start - far) <= 1e-4:
        return fallback()
    return far, start

def day(clock, tag, base):
    f = clamp(clock / 86400.0, 0.0, 1.0)
    f = f if tag == 4 else (0.0 if tag == 2 else 0.5)
    if f < 5 / 24:
        body, elev = 2, 55 - 65 * clamp(f * 24 / 5, 0, 1)
    elif f < 5.5 / 24:
        body, elev = 0, -10
    elif f < 0.5:
        body, elev = 1, 95 * clamp((f - 5.5 / 24) / (6.5 / 24), 0, 1) - 10
    elif f < 21.5 / 24:
        body, elev = 1, 85 - 95 * clamp((f - 0.5) / (9.5 / 24), 0, 1)
    elif f < 22 / 24:
        body, elev = 0, -10
    else:
        body, elev = 2, 55 - 65 * clamp((1 - f) * 12, 0, 1)
    g = clamp(abs(math.fmod(4 * f, 2) - 1), 0, 1)
    angle = math.radians(20 + 15 * g)
    d = np.array([-math.cos(angle), math.sin(angle), 0.0])
    d = d / np.linalg.norm(d)
    h = min(int(f * 24), 23)
    s = clamp(f * 24 - h, 0, 1)
    n = (h + 1) % 24
    mix = lambda t: (np.array(t[h]) + s * (np.array(t[n]) - np.array(t[h]))) / 255.0
    out = [f, body, elev, 90.0] + list(d) + list(mix(LIGHT)) + list(mix(CLOUD1)) + list(mix(CLOUD2)) + \
          list(mix(FOG) * np.array(base))
    return out

for line in sys.stdin:
    w = line.split()
    if w[0] == 'view':
        far, start = view(int(w[1]), int(w[2]), float(w[3]), float(w[4]), int(w[5]))
        print('%.9g %.9g' % (far, start))
    else:
        out = day(float(w[1]), int(w[2]), [float(v) for v in w[3:6]])
        print(' '.join('%.9g' % v for v in out))
)PY";

std::vector<double> read_numbers(const char** cursor, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; i++) {
    char* end;
    double v = strtod(*cursor, &end);
    if (end == *cursor) break;
    values.push_back(v);
    *cursor = end;
  }
  return values;
}

TEST_F(Environment, ViewDistanceMatchesTheReference) {
  struct Record {
    int32_t lo, hi;
    float start, far;
  };
  std::vector<Record> records = {
      {100, 1000, 50, 400},   // the plain case
      {100, 1000, 5, 400},    // start below 10 reads 10
      {100, 1000, 900, 400},  // start beyond far: clamped to it, so the fallback
      {300, 200, 50, 250},    // maximum below minimum: both the minimum
      {100, 1000, 50, 5000},  // nominal far above the maximum
      {100, 1000, 50, 20},    // nominal far below the minimum
      {0, 0, 0, 0},           // nothing at all
      {-50, 100, 20, 60},     // a negative minimum
      {100, 1000, 400, 400},  // fog start equal to far: always the fallback
  };
  std::mt19937 random(7);
  for (int i = 0; i < 40; i++) {
    std::uniform_real_distribution<float> distance(0, 4000);
    float a = distance(random), b = distance(random);
    float lo = std::fmin(a, b), hi = std::fmax(a, b);
    std::uniform_real_distribution<float> within(0, hi);
    float far = within(random);
    float start = std::uniform_real_distribution<float>(0, far)(random);
    records.push_back({(int32_t)lo, (int32_t)hi, start, far});
  }
  std::string input;
  for (const Record& r : records)
    for (int level = 0; level <= 9; level++) {
      char line[160];
      snprintf(line, sizeof line, "view %d %d %.9g %.9g %d\n", r.lo, r.hi, r.start, r.far, level);
      input += line;
    }
  std::string output;
  REQUIRE_REFERENCE_PYTHON(REFERENCE, input, &output);
  const char* cursor = output.c_str();
  for (const Record& r : records)
    for (int level = 0; level <= 9; level++) {
      ZoneEnvironment e;
      const float white[3] = {1, 1, 1};
      env_record_init(&e, white, (float)r.lo, (float)r.hi, r.start, r.far, 0, 0);
      float start = -1;
      float far = env_view_distance_for_level(&e, level, &start);
      std::vector<double> want = read_numbers(&cursor, 2);
      ASSERT_EQ(want.size(), 2u) << "reference output ended early";
      double tolerance = 1e-5 * (1 + std::fabs(want[0]));
      EXPECT_NEAR(far, want[0], tolerance)
          << r.lo << " " << r.hi << " " << r.start << " " << r.far << " L" << level;
      EXPECT_NEAR(start, want[1], tolerance)
          << r.lo << " " << r.hi << " " << r.start << " " << r.far << " L" << level;
      EXPECT_GE(start, 0.0f);
      EXPECT_LE(start, far);
    }
}

TEST_F(Environment, ViewDistanceLevelsZeroFourNineAndTheSetting) {
  struct Case {
    int level;
    float far, start;
  } cases[] = {
      {0, 100, 12.5f},  // the minimum; the fog keeps its proportion 50 / 400
      {4, 400, 50},     // the nominal values
      {9, 1000, 650},   // the maximum; the fog keeps its depth 350
      {12, 1000, 650},  // the setting is clamped to 9 before it arrives
  };
  ZoneEnvironment* e = make_zone(3, false);
  for (const Case& c : cases) {
    set_level(c.level);
    float start = -1;
    EXPECT_FLOAT_EQ(env_view_distance(e, &start), c.far) << c.level;
    EXPECT_FLOAT_EQ(start, c.start) << c.level;
    EXPECT_EQ(e->view_level, c.level > 9 ? 9 : c.level);
  }
  EXPECT_FLOAT_EQ(env_view_distance(e, nullptr), 1000);
}

// Equal nominal start and far: fog from 0, far interpolated by level / 9 between the minimum
// and the maximum.
TEST_F(Environment, FogStartEqualToFarFallsBackToTheLevelProportion) {
  ZoneEnvironment* e = make_zone(3, false, 100, 1000, 300, 300);
  for (int level : {0, 3, 4, 9}) {
    float start = -1;
    EXPECT_NEAR(env_view_distance_for_level(e, level, &start), 100 + 900 * level / 9.0, 1e-3) << level;
    EXPECT_EQ(start, 0.0f);
  }
}

TEST_F(Environment, SixCellCapAndItsSkips) {
  const float CAP_4_3 = 600 / sqrtf(1 + (1 / 3.0f) * (1 + 16 / 9.0f));  // 432.35
  struct Case {
    const char* what;
    uint32_t width, height, cell;
    float fov;
    float far, start;
  } cases[] = {
      // 600 / sqrt(1 + tan(30)^2 x (1 + (4/3)^2)); the fog start scales with it.
      {"cell 100, 60 degrees, 4:3", 640, 480, 100, 60, CAP_4_3, CAP_4_3 * 650 / 1000},
      {"large cells: no cap", 640, 480, 1000, 60, 1000, 650},
      {"zero-height window", 640, 0, 100, 60, 1000, 650},
      {"zero cell size", 640, 480, 0, 60, 1000, 650},
  };
  for (const Case& c : cases) {
    ZoneEnvironment* e = make_zone(3, true, 100, 1000, 50, 400, 0, c.cell);
    set_level(9);
    recording_backend_configure(1, PF_RGBA8888, c.width, c.height);
    camera_state()->fov_degrees = c.fov;
    env_update();
    EXPECT_NEAR(e->far_distance, c.far, 0.01f) << c.what;
    EXPECT_NEAR(e->fog_start, c.start, 0.01f) << c.what;
    EXPECT_EQ(camera_state()->far_distance, e->far_distance) << c.what;
  }
}

TEST_F(Environment, FarStaysBeyondTheNearPlane) {
  ZoneEnvironment* e = make_zone(3, true, 0, 0, 0, 0);
  env_update();
  EXPECT_GT(e->far_distance, camera_state()->near_plane);
  EXPECT_GE(e->fog_start, 0.0f);
  EXPECT_LE(e->fog_start, e->far_distance);
  // Without a camera the distances are left alone.
  ZoneEnvironment* without = make_zone(3, false);
  env_update();
  EXPECT_EQ(without->far_distance, 0.0f);
}

// The time of day against the reference: colours, body, elevation and light direction.
TEST_F(Environment, DayMatchesTheReference) {
  struct Case {
    uint32_t tag;
    double clock;
  };
  std::vector<Case> cases = {
      {4, 0},
      {4, 0.21 * 86400},
      {4, 0.9 * 86400},
      {4, 0.999 * 86400},
      {4, 6 * 3600},
      {4, 12 * 3600},
      {4, 18 * 3600},
      {4, 5.6 * 3600},
      {4, 21.75 * 3600},
      {4, 86399.5},
      {2, 12 * 3600},
      {3, 0},
      {1, 3 * 3600},
      {200, 40000},
  };
  std::mt19937 random(11);
  for (int i = 0; i < 60; i++) cases.push_back({4, std::uniform_real_distribution<double>(0, 86400)(random)});
  std::string input;
  for (const Case& c : cases) {
    char line[120];
    snprintf(line, sizeof line, "day %.17g %u 1 0.5 0.25\n", (double)(int32_t)(c.clock * 1000) * 0.001,
             c.tag);
    input += line;
  }
  std::string output;
  REQUIRE_REFERENCE_PYTHON(REFERENCE, input, &output);
  const char* cursor = output.c_str();
  for (const Case& c : cases) {
    ZoneEnvironment* e = make_zone(c.tag, false);
    env_set_clock((int32_t)(c.clock * 1000));
    env_update();
    std::vector<double> want = read_numbers(&cursor, 19);
    ASSERT_EQ(want.size(), 19u) << "reference output ended early";
    std::string what = "zone " + std::to_string(c.tag) + " clock " + std::to_string(c.clock);
    EXPECT_NEAR(e->day_fraction, want[0], 1e-6) << what;
    EXPECT_EQ(e->celestial, (int32_t)want[1]) << what;
    EXPECT_NEAR(e->celestial_elevation, want[2], 1e-3) << what;
    EXPECT_EQ(e->celestial_azimuth, 90.0f) << what;
    const float* got[5] = {e->light_direction, e->light_colour, e->cloud_colour_1, e->cloud_colour_2,
                           e->fog_colour};
    for (int v = 0; v < 5; v++)
      for (int i = 0; i < 3; i++) EXPECT_NEAR(got[v][i], want[4 + 3 * v + i], 2e-5) << what << " value " << v;
  }
}

TEST_F(Environment, ZonesWithoutARunningDayAndTheLightAngles) {
  struct Case {
    const char* what;
    uint32_t tag;
    double hours;
    int32_t body;
    float elevation;
    float light_degrees;
    float light_red;  // 0..255
  } cases[] = {
      {"zone 2 is always midnight", 2, 12, CELESTIAL_MOON, 55, 35, 128},
      {"other zones are always noon", 3, 0, CELESTIAL_SUN, 85, 35, 215},
      {"zone 4 at 06:00", 4, 6, CELESTIAL_SUN, 95 * 0.5f * 3.6923075f / 24 - 10, 20, 158},
      {"zone 4 at noon", 4, 12, CELESTIAL_SUN, 85, 35, 215},
      {"zone 4 at 18:00", 4, 18, CELESTIAL_SUN, 85 - 95 * 0.25f * 2.5263157f, 20, 192},
      {"zone 4 at 05:02: nothing", 4, 0.21 * 24, CELESTIAL_NONE, -10, 0, -1},
      {"zone 4 at 21:36: nothing", 4, 0.9 * 24, CELESTIAL_NONE, -10, 0, -1},
      {"zone 4 at 23:58: night rows 23 and 0", 4, 0.999 * 24, CELESTIAL_MOON, 55 - 65 * 0.012f, 0, 128},
  };
  for (const Case& c : cases) {
    ZoneEnvironment* e = make_zone(c.tag, false);
    env_set_clock((int32_t)(c.hours * 3600 * 1000));
    env_update();
    EXPECT_EQ(e->celestial, c.body) << c.what;
    EXPECT_NEAR(e->celestial_elevation, c.elevation, 0.01f) << c.what;
    if (c.light_degrees > 0) {
      EXPECT_NEAR(asinf(e->light_direction[1]) * 57.29578f, c.light_degrees, 1e-3f) << c.what;
    }
    if (c.light_red >= 0) {
      EXPECT_NEAR(e->light_colour[0] * 255, c.light_red, 1e-3f) << c.what;
    }
  }
}

// Ten hours at 200 frames per second: the clock is the elapsed frame time x 8 within the day.
TEST_F(Environment, TheClockRunsEightTimesFasterAndWraps) {
  ZoneEnvironment* e = make_zone(4, false);
  double elapsed = 0;
  for (int i = 0; i < 10 * 3600 * 200; i++) {
    g_counter += 5000;
    frame_clock_tick();
    elapsed += frame_delta();
    env_update();
  }
  EXPECT_NEAR(e->clock, fmod(elapsed * 8, 86400), 0.001);
  EXPECT_NEAR(elapsed, 36000, 0.01);

  struct Case {
    int32_t milliseconds;
    double clock;
  } cases[] = {
      {-1, 86399.999}, {86400000, 0}, {90061000, 3661}, {INT32_MIN, fmod(INT32_MIN * 0.001, 86400) + 86400}};
  for (const Case& c : cases) {
    env_set_clock(c.milliseconds);
    EXPECT_NEAR(e->clock, c.clock, 1e-6) << c.milliseconds;
    EXPECT_GE(e->clock, 0);
    EXPECT_LT(e->clock, 86400);
  }
}

TEST_F(Environment, TheWorldClockMessageSetsTheClock) {
  ZoneEnvironment* e = make_zone(4, false);
  NetEffects saved = *net_effects();
  net_effects()->world_clock = env_on_world_clock;
  const uint8_t payload[4] = {0x80, 0xEE, 0x36, 0x00};  // 3600000 ms
  net_dispatch_payload(MSG_WORLD_CLOCK, payload, sizeof payload);
  *net_effects() = saved;
  EXPECT_DOUBLE_EQ(e->clock, 3600);
}

TEST_F(Environment, RecordFromTheZoneFile) {
  ZoneEnvironment e;
  memset(&e, 0x55, sizeof e);
  const float colour[3] = {0.5f, NAN, 3.0f};
  env_record_init(&e, colour, 123.9f, -7.9f, NAN, 300.5f, 0x13, 64);
  EXPECT_EQ(e.base_colour[0], 0.5f);
  EXPECT_EQ(e.base_colour[1], 0.0f);
  EXPECT_EQ(e.base_colour[2], 1.0f);
  EXPECT_EQ(e.min_far, 123);
  EXPECT_EQ(e.max_far, -7);
  EXPECT_EQ(e.nominal_fog_start, 0.0f);
  EXPECT_EQ(e.nominal_far, 300.5f);
  EXPECT_EQ(e.flags, 0x13u);
  EXPECT_EQ(e.cell_size, 64u);
  EXPECT_EQ(e.clock, 0.0);
  EXPECT_EQ(e.far_distance, 0.0f);
  EXPECT_EQ(e.view_level, 0);
  struct Case {
    float value;
    int32_t stored;
  } cases[] = {
      {3e9f, INT32_MAX}, {-3e9f, INT32_MIN}, {INFINITY, 0}, {-0.99f, 0}, {2147483520.0f, 2147483520}};
  for (const Case& c : cases) {
    env_record_init(&e, colour, c.value, 0, 0, 0, 0, 0);
    EXPECT_EQ(e.min_far, c.stored) << c.value;
  }
}

TEST_F(Environment, AccessorsAndTheLiquidOverride) {
  ZoneEnvironment* e = make_zone(3, false, 100, 1000, 50, 400, 2);
  env_update();  // noon: light row 12 = 215 218 218, direction 35 degrees
  e->fog_start = 30;
  e->far_distance = 300;
  int8_t direction[3];
  env_light_direction(direction);
  EXPECT_EQ(direction[0], (int8_t)lroundf(-cosf(35 * 0.01745329f) * 127));
  EXPECT_EQ(direction[1], (int8_t)lroundf(sinf(35 * 0.01745329f) * 127));
  EXPECT_EQ(direction[2], 0);
  uint8_t light[4];
  env_light_colour(light);
  EXPECT_EQ(light[0], 218);  // blue
  EXPECT_EQ(light[1], 218);
  EXPECT_EQ(light[2], 215);  // red
  EXPECT_EQ(light[3], 255);
  float elevation, azimuth;
  EXPECT_EQ(env_celestial(&elevation, &azimuth), CELESTIAL_SUN);
  EXPECT_EQ(elevation, 85);
  EXPECT_EQ(azimuth, 90);
  float colour[3], start, end;
  env_fog(colour, &start, &end);
  EXPECT_NEAR(colour[0], 190 / 255.0f, 1e-6f);
  EXPECT_NEAR(colour[1], 201 / 255.0f * 0.5f, 1e-6f);
  EXPECT_EQ(start, 30);
  EXPECT_EQ(end, 300);
  EXPECT_EQ(env_clears_colour(), 0);

  // Only a flags word of exactly 2 publishes the direction; bit 0 clears the colour buffer.
  e->flags = 3;
  env_light_direction(direction);
  EXPECT_EQ(direction[0] | direction[1] | direction[2], 0);
  EXPECT_EQ(env_clears_colour(), 1);

  // In a liquid volume: fog 0..24 in the volume colour x the light, light tinted, colour cleared.
  e->flags = 0;
  const float volume[3] = {0.5f, 1.0f, 0.25f};
  water_set_camera_in_liquid(1, volume);
  env_fog(colour, &start, &end);
  EXPECT_NEAR(colour[0], 0.5f * 215 / 255.0f, 1e-6f);
  EXPECT_NEAR(colour[2], 0.25f * 218 / 255.0f, 1e-6f);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 24);
  env_light_colour(light);
  EXPECT_EQ(light[2], 108);  // 107.5 rounds away from zero
  EXPECT_EQ(light[1], 218);
  EXPECT_EQ(light[0], 55);  // 54.5
  EXPECT_EQ(env_clears_colour(), 1);
  water_set_camera_in_liquid(0, nullptr);

  // The second cloud layer follows the detailed-sky setting, with a world.
  ASSERT_TRUE(ini_set_bool(settings_document(), "Rendering", "DETAILED_SKY", 0));
  EXPECT_EQ(env_second_cloud_layer_off(), 1);
  ASSERT_TRUE(ini_set_bool(settings_document(), "Rendering", "DETAILED_SKY", 1));
  EXPECT_EQ(env_second_cloud_layer_off(), 0);

  // No world: zeros everywhere, and the update does nothing.
  game_world_replace(nullptr);
  ASSERT_TRUE(ini_set_bool(settings_document(), "Rendering", "DETAILED_SKY", 0));
  EXPECT_EQ(env_second_cloud_layer_off(), 0);
  EXPECT_EQ(env_record(), nullptr);
  env_update();
  env_set_clock(5);
  env_fog(colour, &start, &end);
  EXPECT_EQ(colour[0] + colour[1] + colour[2] + start + end, 0.0f);
  env_light_colour(light);
  EXPECT_EQ(light[0] | light[1] | light[2] | light[3], 0);
  EXPECT_EQ(env_celestial(&elevation, &azimuth), CELESTIAL_NONE);
  EXPECT_EQ(elevation + azimuth, 0.0f);
  EXPECT_EQ(env_clears_colour(), 0);
  // A world without its environment entity is the same.
  game_world_replace(catalogue_world_create(4, nullptr));
  EXPECT_EQ(env_record(), nullptr);
  EXPECT_EQ(env_clears_colour(), 0);
}

}  // namespace
