#include "game/creature_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/math.h"
#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/object_effects.h"
#include "game/spawn.h"
#include "net/dispatch.h"
#include "net/opcodes.h"

namespace {

// Headings compare on the circle: 180 and -180 are the same direction.
void expect_heading(float got, float want) {
  float d = std::fmod(got - want, 360.0f);
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  EXPECT_NEAR(d, 0.0f, 1e-3f) << got << " vs " << want;
}

void expect_point(Vec3 got, Vec3 want) {
  EXPECT_NEAR(got.x, want.x, 1e-4f);
  EXPECT_NEAR(got.y, want.y, 1e-4f);
  EXPECT_NEAR(got.z, want.z, 1e-4f);
}

// ---- Path evaluation on the record alone.

TEST(CreaturePath, EvaluationAlongAThreePointPath) {
  // Segments of length 5 (towards +x+z) and 6 (towards +z); heading atan2(A.x-B.x, A.z-B.z).
  const Vec3 points[3] = {{0, 0, 0}, {3, 0, 4}, {3, 2, 10}};
  CreaturePath path;
  creature_path_build(&path, points, 3);
  ASSERT_EQ(path.count, 3);
  EXPECT_NEAR(path.lengths[2], 5.0f + std::sqrt(40.0f), 1e-5f);
  const float first = std::atan2(-3.0f, -4.0f) * 57.2957795f, second = 180.0f;
  const float total = path.lengths[2];
  struct Case {
    float d;
    Vec3 position;
    float heading;
    int goes_on;
  } cases[] = {
      {-3, {0, 0, 0}, first, 1},  // below 0 reads as 0
      {0, {0, 0, 0}, first, 1},   // the first point
      {2.5f, {1.5f, 0, 2}, first, 1},
      {5, {3, 0, 4}, first, 1},  // the middle point ends the first segment
      {5 + total - 5 - std::sqrt(40.0f) / 2, {3, 1, 7}, second, 1},
      {total, {3, 2, 10}, second, 0},  // the end
      {total + 40, {3, 2, 10}, second, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d);
    Vec3 p = {99, 99, 99};
    float h = 12345;
    EXPECT_EQ(creature_path_evaluate(&path, c.d, &p, &h), c.goes_on);
    expect_point(p, c.position);
    expect_heading(h, c.heading);
  }
}

TEST(CreaturePath, ShortAndDegeneratePaths) {
  const Vec3 pts[3] = {{0, 0, 0}, {0, 0, 4}, {0, 0, 4}};
  CreaturePath path;
  // A zero-length last segment keeps the heading it was given; the middle of the path still
  // has the heading of the first segment.
  creature_path_build(&path, pts, 3);
  Vec3 p;
  float h = 33;
  EXPECT_EQ(creature_path_evaluate(&path, 4, &p, &h), 0);
  expect_point(p, {0, 0, 4});
  expect_heading(h, 33);
  EXPECT_EQ(creature_path_evaluate(&path, 2, &p, &h), 1);
  expect_point(p, {0, 0, 2});
  expect_heading(h, 180);

  // One point: the path ends there at once.
  creature_path_build(&path, pts + 1, 1);
  p = {9, 9, 9};
  EXPECT_EQ(creature_path_evaluate(&path, 0, &p, &h), 0);
  expect_point(p, {0, 0, 4});

  // More than four points are cut to four.
  const Vec3 many[6] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}};
  creature_path_build(&path, many, 6);
  EXPECT_EQ(path.count, CREATURE_PATH_POINTS);
  EXPECT_EQ(creature_path_evaluate(&path, 100, &p, &h), 0);
  expect_point(p, {3, 0, 0});
}

TEST(CreaturePath, TheFourAxisHeadings) {
  struct Case {
    Vec3 to;
    float heading;
  } cases[] = {{{0, 0, 1}, 180}, {{0, 0, -1}, 0}, {{1, 0, 0}, -90}, {{-1, 0, 0}, 90}};
  for (const Case& c : cases) {
    const Vec3 pts[2] = {{0, 0, 0}, c.to};
    CreaturePath path;
    creature_path_build(&path, pts, 2);
    Vec3 p;
    float h = 0;
    creature_path_evaluate(&path, 0.5f, &p, &h);
    SCOPED_TRACE(c.heading);
    EXPECT_NEAR(h, c.heading, 1e-4f);  // within -180 .. 180
  }
}

// ---- Creatures in a live world.

struct Trace {
  float down, up;  // the heights the trace finds looking down / up; NAN: nothing
  int calls;
};
Trace g_trace;

int fake_trace(Vec3 from, Vec3 to, Vec3* hit) {
  g_trace.calls++;
  const float y = to.y < from.y ? g_trace.down : g_trace.up;
  if (std::isnan(y)) return 0;
  *hit = {from.x, y, from.z};
  return 1;
}

class Creatures : public ::testing::Test {
 protected:
  void SetUp() override {
    net_effects_clear();
    game_world_replace(catalogue_world_create(1, nullptr));
    game_objects_start();
    g_trace = {NAN, NAN, 0};
  }
  void TearDown() override {
    creature_set_zone_trace(nullptr);
    game_objects_shutdown();
    game_world_shutdown();
    net_effects_clear();
  }

  // A creature standing still at the origin, heading 0, walk 1, run 2, swim 0.5.
  uint32_t spawn(uint32_t id) {
    SpawnCharacter s = {};
    s.id = id;
    s.scale = 1;
    s.appearance = 1;
    s.walk_speed = 1, s.run_speed = 2, s.swim_speed = 0.5f;
    return spawn_creature(&s);
  }
  Transform* transform(uint32_t id) {
    return (Transform*)entity_component(game_world(), COMPONENT_TRANSFORM, entity_by_id(id));
  }
  void motion(uint32_t id, Vec3 a, Vec3 b, Vec3 c, uint8_t flags, float heading = 0) {
    MsgCreatureMotion m = {id, {{a.x, a.y, a.z}, heading, {b.x, b.y, b.z}, {c.x, c.y, c.z}, 0, flags}};
    net_effects()->creature_motion(nullptr, &m);
  }
};

TEST_F(Creatures, AFarMotionRecordPlacesTheCreatureAtItsFirstPoint) {
  struct Case {
    const char* what;
    float ax;  // point a on the x axis
    uint8_t flags;
    bool trace;   // a ground at height -2 below every point
    Vec3 placed;  // where the creature stands after set_motion
  } cases[] = {
      {"10 units: placed at a", 10, 0, false, {10, 0, 0}},
      {"exactly 8 units: placed", 8, 0, false, {8, 0, 0}},
      {"7.9 units: stays", 7.9f, 0, false, {0, 0, 0}},
      {"placed on the ground found below", 10, 0, true, {10, -2, 0}},
      {"in water: placed directly", 10, MOTION_IN_WATER, true, {10, 0, 0}},
  };
  uint32_t id = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spawn(id);
    g_trace = {c.trace ? -2.0f : NAN, NAN, 0};
    creature_set_zone_trace(fake_trace);
    motion(id, {c.ax, 0, 0}, {c.ax, 0, 6}, {c.ax, 0, 6}, c.flags);
    expect_point(transform(id)->position, c.placed);
    const Creature* cr = creature_by_id(id);
    EXPECT_EQ(cr->path_active, 1);
    EXPECT_EQ(cr->path.count, 2);                // c equals b
    expect_point(cr->path.points[0], c.placed);  // the path starts where it now stands
    creature_set_zone_trace(nullptr);
    id++;
  }
}

TEST_F(Creatures, TheMotionFlagsPickTheSpeedAndFlag0x40Freezes) {
  struct Case {
    const char* what;
    uint8_t motion_flags;
    uint32_t object_flags;
    float travelled;  // after 0.1 s: speed x 0.1 x 5
  } cases[] = {
      {"run by default", 0, 0, 1.0f},
      {"run", MOTION_RUNNING, 0, 1.0f},
      {"walk", MOTION_WALKING, 0, 0.5f},
      {"swim wins over walk", MOTION_IN_WATER | MOTION_WALKING, 0, 0.25f},
      {"frozen", MOTION_WALKING, 0x40, 0.0f},
  };
  uint32_t id = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spawn(id);
    motion(id, {0, 0, 0}, {0, 0, -10}, {0, 0, -10}, c.motion_flags, 77);
    MsgIdWord flags = {id, c.object_flags};
    net_effects()->object_flags(nullptr, &flags);
    transform(id)->rotation.y = 50;
    game_objects_frame(0.1f);
    expect_point(transform(id)->position, {0, 0, -c.travelled});
    // Travelling towards -z is heading 0; frozen, nothing turns either.
    EXPECT_NEAR(transform(id)->rotation.y, c.object_flags ? 50.0f : 50.0f - 50.0f * 0.9f, 1e-4f);
    EXPECT_NEAR(creature_by_id(id)->path_travelled, c.travelled, 1e-5f);
    id++;
  }
}

TEST_F(Creatures, TurningTakesTheShortWayByNineTimesTheFrameTime) {
  struct Case {
    float from, target, dt, want;
  } cases[] = {
      {0, 90, 0.05f, 40.5f},   {0, 90, 0.2f, 90},  // the fraction stops at 1
      {170, -170, 0.05f, 179},                     // through 180, not back through 0
      {170, -170, 0.1f, -172}, {-170, 170, 0.1f, 172},
  };
  const uint32_t id = 30;
  spawn(id);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    creature_by_id(id)->target_heading = c.target;
    transform(id)->rotation.y = c.from;
    creature_step(game_world(), entity_by_id(id), c.dt);
    expect_heading(transform(id)->rotation.y, c.want);
    EXPECT_GE(transform(id)->rotation.y, -180.0f);
    EXPECT_LE(transform(id)->rotation.y, 180.0f);
  }
}

TEST_F(Creatures, FollowingAPathToItsEndOnTheGround) {
  struct Case {
    const char* what;
    float down, up;
    uint8_t flags;
    float height;  // of the creature after each step; NAN: the path's own height
  } cases[] = {
      {"ground below", -1, NAN, MOTION_RUNNING, -1},
      {"only a ceiling above", NAN, 7, MOTION_RUNNING, 7},
      {"no hit keeps the path height", NAN, NAN, MOTION_RUNNING, NAN},
      {"in water ignores the ground", -1, 7, MOTION_IN_WATER, NAN},
  };
  uint32_t id = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spawn(id);
    motion(id, {0, 0, 0}, {0, 3, 4}, {3, 3, 4}, c.flags);  // lengths 5 then 3
    g_trace = {c.down, c.up, 0};
    creature_set_zone_trace(fake_trace);
    const float speed = c.flags & MOTION_IN_WATER ? 0.5f : 2.0f;
    float travelled = 0;
    while (creature_by_id(id)->path_active) {
      creature_step(game_world(), entity_by_id(id), 0.1f);
      travelled += speed * 0.5f;
      if (travelled < 5) {
        EXPECT_NEAR(transform(id)->position.z, travelled * 0.8f, 1e-4f);
      }
      const float path_y = std::fmin(travelled, 5.0f) * 0.6f;
      EXPECT_NEAR(transform(id)->position.y, std::isnan(c.height) ? path_y : c.height, 1e-4f);
      ASSERT_LT(travelled, 20);
    }
    EXPECT_NEAR(transform(id)->position.x, 3, 1e-4f);
    EXPECT_NEAR(transform(id)->position.z, 4, 1e-4f);
    EXPECT_NEAR(creature_by_id(id)->target_heading, -90, 1e-4f);  // the last segment runs +x
    EXPECT_EQ(creature_by_id(id)->path.count, 0);
    creature_set_zone_trace(nullptr);
    id++;
  }
}

TEST_F(Creatures, StoppingFlagsAndPlacedPositionsEndThePath) {
  const uint32_t id = 50;
  spawn(id);
  motion(id, {0, 0, 0}, {0, 0, 6}, {0, 0, 6}, 0);
  MsgIdWord flags = {id, 0x10000};
  net_effects()->object_flags(nullptr, &flags);
  EXPECT_EQ(creature_by_id(id)->path_active, 0);
  flags.value = 0x10000 | 0x40;
  net_effects()->object_flags(nullptr, &flags);
  MsgObjectPlace place = {id, {4, 5, 6}, 30, 1};
  net_effects()->object_place(nullptr, &place);
  expect_point(transform(id)->position, {4, 5, 6});
  EXPECT_FLOAT_EQ(transform(id)->rotation.y, 30);
  EXPECT_EQ(creature_by_id(id)->path_active, 0);
  // Without 0x40 the same message starts a walk from where it stands.
  flags.value = 0;
  net_effects()->object_flags(nullptr, &flags);
  place.position[0] = 0;
  net_effects()->object_place(nullptr, &place);
  expect_point(transform(id)->position, {4, 5, 6});
  EXPECT_EQ(creature_by_id(id)->path_active, 1);
  expect_point(creature_by_id(id)->path.points[1], {0, 5, 6});
}

TEST_F(Creatures, StatusEntriesFromTheServerCountDownToZero) {
  const uint32_t id = 60;
  spawn(id);
  // id, slot, value, remaining time, first half
  std::vector<uint8_t> p(14);
  const uint32_t pid = id;
  const int32_t value = 7;
  const float time = 0.5f;
  memcpy(&p[0], &pid, 4);
  p[4] = 3;
  memcpy(&p[5], &value, 4);
  memcpy(&p[9], &time, 4);
  p[13] = 1;
  net_dispatch_payload(MSG_STATUS_EFFECT_SET, p.data(), (uint32_t)p.size());
  const StatusEffect& e = creature_by_id(id)->status[3];
  EXPECT_EQ(e.value, 7);
  const float want[] = {0.3f, 0.1f, 0, 0};
  for (float w : want) {
    game_objects_frame(0.2f);
    EXPECT_NEAR(creature_by_id(id)->status[3].remaining, w, 1e-5f);
  }
  EXPECT_EQ(creature_by_id(id)->status[3].value, 7);  // the entry stays, its time spent
  // A frame of no time or a broken time changes nothing.
  creature_by_id(id)->status[3].remaining = 1;
  status_effects_tick(creature_by_id(id), NAN);
  status_effects_tick(creature_by_id(id), -1);
  EXPECT_EQ(creature_by_id(id)->status[3].remaining, 1);
}

}  // namespace
