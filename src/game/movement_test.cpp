#include "game/movement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assets/bsp.h"
#include "base/triangle.h"
#include "base/vec3_ops.h"
#include "scene/prop_queries.h"
#include "scene/zone_collision.h"
#include "support/collision_fixture.h"
#include "support/player_test_support.h"

namespace {

std::vector<PropBox> g_playground_props;
int playground_props(const Bounds* box, PropBox* out, int capacity) {
  int n = 0;
  for (const PropBox& p : g_playground_props) {
    if (n < capacity && p.bounds.min.x <= box->max.x && p.bounds.max.x >= box->min.x &&
        p.bounds.min.y <= box->max.y && p.bounds.max.y >= box->min.y && p.bounds.min.z <= box->max.z &&
        p.bounds.max.z >= box->min.z)
      out[n++] = p;
  }
  return n;
}

// One frame in the order of the frame lists, with the real movement.
void movement_test_frame(float dt) {
  event_dispatch();
  input_update();
  keybind_frame();
  camera_look(dt);
  player_control(dt);
  movement_frame(dt);
  camera_update(dt);
  water_state_update();
}

// What a run saw, tick by tick.
struct WalkRun {
  Vec3 end;
  int max_air_state = 0;
  int stepped = 0;
  int hard_landing = 0;
  int water_seen[4] = {0, 0, 0, 0};
  float highest = -1e30f;
  float fastest_fall = 0;      // units a second between ticks
  float fastest_across = 0;    // horizontal units a second while falling
};

class Playground : public PlayerFixture {
 protected:
  std::vector<FixtureTriangle> tris;
  CollisionFixtureZone* zone = nullptr;

  void SetUp() override {
    PlayerFixture::SetUp();
    collision_fixture_playground(&tris);
    zone = new CollisionFixtureZone({{0, 0, collision_fixture_cell(tris)}}, 64);
    ASSERT_TRUE(zone->ok());
    const Vec3 lo = {20, 0, 2}, hi = {40, 2.5f, 14};
    g_playground_props = {{fake_water_volume(lo, hi, 0), 1, bounds_make(lo, hi)},
                          {0xFFFFu, 0, bounds_make({44, 0, 4}, {47, 1.2f, 7})}};
    props_set_source(playground_props);
  }
  void TearDown() override {
    props_set_source(nullptr);
    g_playground_props.clear();
    delete zone;
    PlayerFixture::TearDown();
  }

  PositionHistory* history() {
    return (PositionHistory*)entity_component(game_world(), COMPONENT_POSITION_HISTORY, player);
  }
  void moving_frame(float dt) { movement_test_frame(dt); }
  // Spawns there, settles for a few frames, then runs the frames with the keys held (a jump
  // key is pressed in the first frame only).
  WalkRun walk(Vec3 at, float heading, std::vector<uint32_t> keys, int fps, int frames, int settle = 10) {
    spawn_local(at.x, at.y, at.z, heading);
    const float dt = 1.0f / (float)fps;
    for (int i = 0; i < settle; i++) moving_frame(1.0f / 60);
    WalkRun run;
    for (uint32_t k : keys) press(k);
    Vec3 last = history()->current;
    for (int i = 0; i < frames; i++) {
      moving_frame(dt);
      if (i == 0)
        for (uint32_t k : keys)
          if (k == KEY_SPACE) release(k);
      const MotionState* m = view().motion;
      const Vec3 now = history()->current;
      run.max_air_state = std::max(run.max_air_state, (int)m->air_state);
      run.stepped |= m->stepped;
      run.hard_landing |= m->airborne.hard_landing;
      run.water_seen[water_state()] = 1;
      run.highest = std::fmax(run.highest, now.y);
      const float elapsed = (float)MOVEMENT.tick_move;
      if (now.y < last.y) run.fastest_fall = std::fmax(run.fastest_fall, (last.y - now.y) / elapsed);
      if (m->air_state == 2)
        run.fastest_across = std::fmax(run.fastest_across, std::hypot(now.x - last.x, now.z - last.z) / elapsed);
      last = now;
    }
    for (uint32_t k : keys)
      if (k != KEY_SPACE) release(k);
    run.end = history()->current;
    return run;
  }
};

const uint32_t W = key_letter('W');

// One row per behaviour of the playground: start, keys, frame rate, frames -> where it ends
// and what it went through. NAN: not checked.
TEST_F(Playground, Scenarios) {
  struct Case {
    const char* why;
    Vec3 start;
    float heading;
    std::vector<uint32_t> keys;
    int fps, frames;
    Vec3 lo, hi;  // the end position's box
    int max_air_state, stepped, hard_landing;  // -1: not checked
  };
  const Case cases[] = {
      {"a wall met head-on stops the player", {5, 0, 46}, 0, {W}, 60, 60, {4.99f, -0.05f, 41.49f}, {5.01f, 0.05f, 41.7f}, 0, 0, 0},
      {"a 0.25 riser is climbed", {22, 0, 46}, 0, {W}, 60, 60, {21.9f, 0.2f, 30}, {22.1f, 0.3f, 40}, 0, 1, 0},
      {"a 0.35 riser blocks", {29, 0, 46}, 0, {W}, 60, 60, {28.9f, -0.05f, 41.4f}, {29.1f, 0.05f, 41.7f}, 0, 0, 0},
      {"a 30-degree ramp is walked up", {36, 0, 50}, 0, {W}, 60, 90, {35.9f, 2.2f, 30}, {36.1f, 2.4f, 39.5f}, 0, 1, 0},
      {"a 50-degree ramp is not", {43, 0, 50}, 0, {W}, 60, 90, {42.9f, -0.05f, 43}, {43.1f, 0.5f, 45}, -1, -1, -1},
      {"a 0.2 drop keeps the player on the ground", {50, 0.2f, 50}, 0, {W}, 60, 60, {49.9f, -0.05f, 30}, {50.1f, 0.05f, 41}, 0, -1, 0},
      {"a 1.0 drop is a fall", {57, 1, 50}, 0, {W}, 60, 90, {56.9f, -0.05f, 30}, {57.1f, 0.05f, 41}, 2, -1, -1},
      {"an uncollidable wall is walked through", {61.5f, 0, 36}, 0, {W}, 60, 60, {61.4f, -0.05f, 20}, {61.6f, 0.05f, 29}, 0, 0, 0},
      {"a solid prop blocks", {45.5f, 0, 12}, 0, {W}, 60, 60, {45.4f, -0.05f, 7.49f}, {45.6f, 0.05f, 7.7f}, 0, 0, 0},
      {"a solid prop is stood on", {45.5f, 3, 5.5f}, 0, {}, 60, 60, {45.4f, 1.15f, 5.4f}, {45.6f, 1.25f, 5.6f}, -1, -1, -1},
      {"a standing jump lands where it started", {30, 0, 25}, 0, {KEY_SPACE}, 60, 120, {29.99f, -0.05f, 24.99f}, {30.01f, 0.05f, 25.01f}, 2, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const WalkRun r = walk(c.start, c.heading, c.keys, c.fps, c.frames);
    EXPECT_GE(r.end.x, c.lo.x);
    EXPECT_LE(r.end.x, c.hi.x);
    EXPECT_GE(r.end.y, c.lo.y);
    EXPECT_LE(r.end.y, c.hi.y);
    EXPECT_GE(r.end.z, c.lo.z);
    EXPECT_LE(r.end.z, c.hi.z);
    if (c.max_air_state >= 0) {
      EXPECT_EQ(r.max_air_state, c.max_air_state);
    }
    if (c.stepped >= 0) {
      EXPECT_EQ(r.stepped, c.stepped);
    }
    if (c.hard_landing >= 0) {
      EXPECT_EQ(r.hard_landing, c.hard_landing);
    }
  }
}

TEST_F(Playground, JumpsAndFalls) {
  // A standing jump peaks near 7.672027^2 / (2 x 19.62) = 1.5.
  WalkRun r = walk({30, 0, 25}, 0, {KEY_SPACE}, 60, 120);
  EXPECT_NEAR(r.highest, 1.5f, 0.1f);
  // Walking off the 1.0 platform carries the walking speed (10) across while falling.
  r = walk({57, 1, 50}, 0, {W}, 60, 90);
  EXPECT_NEAR(r.fastest_across, 10.0f, 0.5f);
  // A long fall lands hard and is never faster than 53 a second.
  r = walk({30, 90, 25}, 0, {}, 60, 240, 0);
  EXPECT_LE(r.fastest_fall, 53.0f + 0.01f);
  EXPECT_GE(r.fastest_fall, 52.0f);
  EXPECT_EQ(r.hard_landing, 1);
  EXPECT_NEAR(r.end.y, 0.0f, 0.05f);
  EXPECT_GT(view().motion->vertical_speed, -1e-3f) << "landed: no vertical speed left";
  // A jump under the low ceiling turns to falling at the ceiling and is marked long.
  r = walk({12, 0, 12}, 0, {KEY_SPACE}, 60, 8);
  EXPECT_LT(r.highest, 0.4f);
  EXPECT_EQ(view().motion->air_state, 2);
  EXPECT_EQ(view().motion->airborne.long_air_flag, 1);
}

TEST_F(Playground, SlidesAlongA45DegreeWallAtAbout81Percent) {
  spawn_local(12, 0, 50, 0);
  for (int i = 0; i < 10; i++) moving_frame(1.0f / 60);
  press(W);
  float ratio = 0;
  for (int i = 0; i < 60 && ratio == 0; i++) {
    const Vec3 before = history()->current;
    moving_frame(1.0f / 60);
    const Vec3 after = history()->current;
    // A tick wholly along the wall: x grows as z shrinks.
    if (after.x - before.x > 0.01f && before.x > 12.001f)
      ratio = std::hypot(after.x - before.x, after.z - before.z) / (10.0f * MOVEMENT.tick_move);
  }
  release(W);
  // The speed factor 1.5 x sqrt(1 - cos 45) = 0.81 holds for the seven sub-moves after the
  // first contact; the first loses most of its length to the push-out, so a whole tick makes
  // about 7/8 of it.
  const float factor = 1.5f * std::sqrt(1 - std::sqrt(0.5f));
  EXPECT_GT(ratio, factor * 7 / 8 - 0.03f);
  EXPECT_LT(ratio, factor + 0.01f);
}

TEST_F(Playground, FrameRates) {
  // 20 frames a second run three ticks a frame.
  spawn_local(30, 0, 25, 0);
  moving_frame(1.0f / 20);
  EXPECT_NEAR(history()->accumulator, 0.0, 1e-6);
  // 200 a second: most frames run none and the shown position lies between the ticks.
  press(W);
  for (int i = 0; i < 20; i++) moving_frame(1.0f / 60);
  int between = 0;
  for (int i = 0; i < 40; i++) {
    moving_frame(1.0f / 200);
    const Vec3 p = view().transform->position, a = history()->previous, b = history()->current;
    if (p.z < a.z - 1e-4f && p.z > b.z + 1e-4f) between++;
  }
  release(W);
  EXPECT_GT(between, 20);
  // A frame longer than 0.25 s counts as 0.25 s.
  moving_frame(1.0f);
  EXPECT_LT(history()->accumulator, MOVEMENT.tick);
  // The same walk at 30, 60 and 144 frames a second ends within 0.05.
  Vec3 ends[3];
  const int rates[3] = {30, 60, 144};
  for (int i = 0; i < 3; i++) {
    spawn_local(30, 0, 28, 0);
    for (int k = 0; k < 10; k++) moving_frame(1.0f / 60);
    press(W);
    for (int k = 0; k < rates[i]; k++) moving_frame(1.0f / (float)rates[i]);
    release(W);
    ends[i] = view().transform->position;
  }
  for (int i = 1; i < 3; i++) {
    EXPECT_NEAR(ends[i].x, ends[0].x, 0.05f);
    EXPECT_NEAR(ends[i].z, ends[0].z, 0.05f);
  }
  EXPECT_LT(ends[0].z, 20) << "the walk went somewhere";
}

TEST_F(Playground, PoolWadingSwimmingAndUnderWater) {
  // The shelf: shallow water, still walking.
  WalkRun r = walk({22, 1.5f, 8}, 0, {}, 60, 10);
  EXPECT_EQ(water_state(), WATER_SHALLOW);
  EXPECT_NEAR(r.end.y, 1.5f, 0.05f);
  // Deep water at the surface: in water, nothing falls, and the player swims across.
  r = walk({32, 1.0f, 8}, 90, {W}, 60, 30);
  EXPECT_EQ(r.water_seen[WATER_IN], 1);
  EXPECT_NEAR(r.end.y, 1.0f, 0.05f) << "no gravity in water";
  EXPECT_NEAR(r.end.x, 32 - 2.5f * 0.5f, 0.05f) << "swam towards -x at the swimming speed";
  EXPECT_EQ(view().motion->air_state, 0);
  // On the pool's floor: under water.
  walk({32, 0, 8}, 0, {}, 60, 5);
  EXPECT_EQ(water_state(), WATER_UNDER);
}

TEST_F(Playground, ModelsTakeTheShadeUnderThem) {
  float shade = 0;
  Bounds model = bounds_make({29.5f, 0, 24.5f}, {30.5f, 2, 25.5f});
  ASSERT_EQ(zone_light_sample(&model, &shade), 1);
  EXPECT_NEAR(shade, 200.0f / 255, 1e-5f);
  model = bounds_make({21.5f, 0.25f, 35}, {22.5f, 2, 36});
  ASSERT_EQ(zone_light_sample(&model, &shade), 1);
  EXPECT_NEAR(shade, 1.0f, 1e-5f) << "the riser's top";
  model = bounds_make({4.5f, 0, 24.5f}, {5.5f, 2, 25.5f});
  ASSERT_EQ(zone_light_sample(&model, &shade), 1);
  EXPECT_NEAR(shade, 200.0f / 255, 1e-5f) << "the no-shade square is skipped";
}

TEST(AirborneTrack, EveryJumpLandsHardAndShortFallsDoNot) {
  AirborneRecord r = {};
  airborne_track(&r, 1, 0.1f, 1.0f / 60);
  EXPECT_EQ(r.jump_flag, 1);
  EXPECT_EQ(r.start_height, 0.1f);
  airborne_track(&r, 2, 0.5f, 1.0f / 60);
  airborne_track(&r, 2, -0.02f, 1.0f / 60);
  EXPECT_EQ(r.long_air_flag, 1) << "0.12 below the start";
  airborne_track(&r, 0, 0, 1.0f / 60);
  EXPECT_EQ(r.hard_landing, 1);
  EXPECT_EQ(r.air_time, 0);
  // A fall shorter than 0.5 s lands softly; a longer one hard.
  r = {};
  for (int i = 0; i < 29; i++) airborne_track(&r, 2, 1 - i * 0.01f, 1.0f / 60);
  airborne_track(&r, 0, 0, 1.0f / 60);
  EXPECT_EQ(r.hard_landing, 0);
  r = {};
  for (int i = 0; i < 31; i++) airborne_track(&r, 2, 1 - i * 0.01f, 1.0f / 60);
  airborne_track(&r, 0, 0, 1.0f / 60);
  EXPECT_EQ(r.hard_landing, 1);
}

}  // namespace

namespace {

// The demo zone 3 from the built archives, its playground walked along several lanes with
// jumps: by brute force over every collidable triangle near it (the axis sampled finely), no
// tick leaves the capsule more than 0.01 inside solid geometry.
class DemoPlayground : public PlayerFixture {
 protected:
  CollisionFixtureZone* zone = nullptr;
  std::vector<const BspObject*> cells;
  void SetUp() override {
    PlayerFixture::SetUp();
    const std::vector<FixtureCell> loaded = collision_fixture_zone_cells(OSTREVANE_BINARY_DIR, 3);
    for (const FixtureCell& c : loaded) cells.push_back(c.bsp);
    zone = new CollisionFixtureZone(loaded, 64);
  }
  void TearDown() override {
    delete zone;
    PlayerFixture::TearDown();
  }
  float deepest(Vec3 feet) const {
    const Vec3 centre = {feet.x, feet.y + 1.025f, feet.z};
    const Vec3 top = {centre.x, centre.y + 0.5f, centre.z}, bottom = {centre.x, centre.y - 0.5f, centre.z};
    float worst = 0;
    for (const BspObject* cell : cells) {
      for (uint32_t i = 0; i < cell->triangle_count; i++) {
        const BspCollisionTriangle* t = &cell->triangles[i];
        if ((t->surface & BSP_SURFACE_NOT_COLLIDABLE) || t->max[0] < centre.x - 1 || t->min[0] > centre.x + 1 ||
            t->max[2] < centre.z - 1 || t->min[2] > centre.z + 1 || t->max[1] < centre.y - 1.5f ||
            t->min[1] > centre.y + 1.5f)
          continue;
        const Vec3 a = {t->corners[0][0], t->corners[0][1], t->corners[0][2]};
        const Vec3 b = {t->corners[1][0], t->corners[1][1], t->corners[1][2]};
        const Vec3 c = {t->corners[2][0], t->corners[2][1], t->corners[2][2]};
        float nearest = 1e30f;
        for (int k = 0; k <= 40; k++) {
          const float f = (float)k / 40;
          const Vec3 p = {top.x, top.y + (bottom.y - top.y) * f, top.z};
          nearest = std::fmin(nearest, vec3_length(vec3_sub(p, closest_point_on_triangle(a, b, c, p, nullptr))));
        }
        worst = std::fmax(worst, 0.5f - nearest);
      }
    }
    return worst;
  }
};

TEST_F(DemoPlayground, WalksNeverSinkIntoTheGeometry) {
  if (cells.size() != 16) GTEST_SKIP() << "build the assets target first";
  ASSERT_TRUE(zone->ok());
  struct Lane {
    Vec3 start;
    float heading;
  };
  const Lane lanes[] = {{{112, 0.1f, 92}, -90}, {{158, 0, 100}, 0}, {{165, 0, 100}, 0}, {{172, 0, 100}, 0},
                        {{179, 0, 100}, 0},     {{148, 0, 100}, 0}, {{186, 0.2f, 100}, 0}, {{193, 1, 100}, 0},
                        {{140, 0, 60}, 0},      {{146, 0, 58}, -90}};
  float worst = 0;
  int climbed = 0;
  for (const Lane& lane : lanes) {
    spawn_local(lane.start.x, lane.start.y, lane.start.z, lane.heading);
    for (int i = 0; i < 10; i++) movement_test_frame(1.0f / 60);
    press(key_letter('W'));
    for (int i = 0; i < 180; i++) {
      if (i % 50 == 25) press(KEY_SPACE);
      if (i % 50 == 26) release(KEY_SPACE);
      movement_test_frame(1.0f / 60);
      const Vec3 p = ((PositionHistory*)entity_component(game_world(), COMPONENT_POSITION_HISTORY, player))->current;
      worst = std::fmax(worst, deepest(p));
      climbed |= p.y > 0.2f;
    }
    release(key_letter('W'));
  }
  EXPECT_LE(worst, 0.01f);
  EXPECT_TRUE(climbed);
}

}  // namespace
