#include "game/player_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/player_test_support.h"

namespace {

const uint32_t W = key_letter('W'), S = key_letter('S'), A = key_letter('A'), D = key_letter('D'),
               Q = key_letter('Q'), E = key_letter('E');

using PlayerControl = PlayerFixture;

// Speeds of the fixture's character: walk 1, run 2, swim 0.5, each x 5.
TEST_F(PlayerControl, InputGivesDirectionStateAndSpeed) {
  struct Case {
    const char* name;
    std::vector<uint32_t> keys;
    std::vector<uint32_t> buttons;
    bool walk;
    uint8_t direction, state;
    float speed;
  };
  const Case cases[] = {
      {"nothing", {}, {}, false, 0, MOTION_STANDING, 0},
      {"forward key runs", {W}, {}, false, DIRECTION_FORWARD, MOTION_RUNNING, 10},
      {"backward runs at two thirds", {S}, {}, false, DIRECTION_BACKWARD, MOTION_RUNNING, 20.0f / 3},
      {"forward and backward cancel", {W, S}, {}, false, 0, MOTION_STANDING, 0},
      {"first and second buttons together go forward",
       {},
       {0, 1},
       false,
       DIRECTION_FORWARD,
       MOTION_RUNNING,
       10},
      {"third button goes forward", {}, {2}, false, DIRECTION_FORWARD, MOTION_RUNNING, 10},
      {"first button alone does not move", {}, {0}, false, 0, MOTION_STANDING, 0},
      {"second button alone steers only", {}, {1}, false, 0, MOTION_STANDING, 0},
      {"turn key turns in place", {D}, {}, false, DIRECTION_TURN_RIGHT, MOTION_TURNING, 0},
      {"turning while running",
       {W, A},
       {},
       false,
       DIRECTION_FORWARD | DIRECTION_TURN_LEFT,
       MOTION_TURNING | MOTION_RUNNING,
       10},
      {"steering makes turn keys strafe", {D}, {1}, false, DIRECTION_RIGHT, MOTION_RUNNING, 10},
      {"steering strafe left", {A}, {1}, false, DIRECTION_LEFT, MOTION_RUNNING, 10},
      {"forward and strafe left combine",
       {W, Q},
       {},
       false,
       DIRECTION_FORWARD | DIRECTION_LEFT,
       MOTION_RUNNING,
       10},
      {"both strafes cancel", {Q, E}, {}, false, 0, MOTION_STANDING, 0},
      {"walk mode walks", {W}, {}, true, DIRECTION_FORWARD, MOTION_WALKING, 5},
      {"walk mode backward is not reduced", {S}, {}, true, DIRECTION_BACKWARD, MOTION_WALKING, 5},
  };
  for (const Case& c : cases) {
    if (c.walk) {
      press(KEY_KEYPAD_SLASH);
      frame();
      release(KEY_KEYPAD_SLASH);
      frame();
    }
    ASSERT_EQ(player_walk_mode(), c.walk ? 1 : 0) << c.name;
    for (uint32_t k : c.keys) press(k);
    for (uint32_t b : c.buttons) button_press(b);
    frames(2);
    const PlayerMotion& m = motion();
    EXPECT_EQ(m.direction, c.direction) << c.name;
    EXPECT_EQ(m.motion_state, c.state) << c.name;
    EXPECT_NEAR(m.speed, c.speed, 1e-5f) << c.name;
    for (uint32_t k : c.keys) release(k);
    for (uint32_t b : c.buttons) button_release(b);
    if (c.walk) {
      press(KEY_KEYPAD_SLASH);
      frame();
      release(KEY_KEYPAD_SLASH);
    }
    frames(2);
  }
}

// The player moves along its heading: heading h faces (-sin h, 0, -cos h); strafing right
// is (cos h, 0, -sin h).
TEST_F(PlayerControl, MovementFollowsTheHeading) {
  struct Case {
    float heading;
    uint32_t key;
    float dx, dz;  // per second
  };
  const Case cases[] = {
      {0, W, 0, -10}, {90, W, -10, 0}, {180, S, 0, -20.0f / 3}, {-90, E, 0, 10}, {0, E, 10, 0},
  };
  for (const Case& c : cases) {
    spawn_local(5, 1, 5, c.heading);
    press(c.key);
    frame();
    const Vec3 start = view().transform->position;
    frames(30);
    const Vec3 end = view().transform->position;
    EXPECT_NEAR(end.x - start.x, c.dx * 30 * DT, 1e-3f) << c.heading;
    EXPECT_NEAR(end.z - start.z, c.dz * 30 * DT, 1e-3f) << c.heading;
    EXPECT_FLOAT_EQ(end.y, 1) << c.heading;
    release(c.key);
    frames(2);
  }
}

TEST_F(PlayerControl, AutoRunEndsOnBackwardOrAFreshForwardPress) {
  // Started with the forward key already held: releasing it keeps running, a new press ends it.
  press(W);
  frame();
  press(KEY_NUM_LOCK);
  frame();
  release(KEY_NUM_LOCK);
  frames(2);
  EXPECT_TRUE(player_auto_running());
  release(W);
  frames(2);
  EXPECT_TRUE(player_auto_running());
  EXPECT_EQ(motion().direction, DIRECTION_FORWARD);
  press(W);
  frames(2);
  EXPECT_FALSE(player_auto_running());
  EXPECT_EQ(motion().direction, DIRECTION_FORWARD);  // the key itself still moves
  release(W);
  frames(2);
  EXPECT_EQ(motion().motion_state, MOTION_STANDING);

  // Started without input: running on its own until the backward key.
  press(KEY_NUM_LOCK);
  frame();
  release(KEY_NUM_LOCK);
  frames(3);
  EXPECT_TRUE(player_auto_running());
  EXPECT_EQ(motion().motion_state, MOTION_RUNNING);
  press(S);
  frames(2);
  EXPECT_FALSE(player_auto_running());
  EXPECT_EQ(motion().direction, DIRECTION_BACKWARD);
  release(S);
  frames(2);
  EXPECT_EQ(motion().motion_state, MOTION_STANDING);

  // The auto-run key again ends it.
  for (int i = 0; i < 2; i++) {
    press(KEY_NUM_LOCK);
    frame();
    release(KEY_NUM_LOCK);
    frames(2);
  }
  EXPECT_FALSE(player_auto_running());
}

// Turning ramps up linearly over 0.08 s to 150 degrees a second.
TEST_F(PlayerControl, TurningRampsUpToItsRate) {
  press(A);
  const float dt = 0.02f;
  float expected = 0, held = 0;
  frame(0);  // the binding triggers; no time passes
  for (int i = 0; i < 10; i++) {
    frame(dt);
    held += dt;
    expected += 150 * dt * std::fmin(held / 0.08f, 1.0f);
    EXPECT_NEAR(view().transform->rotation.y, expected, 1e-3f) << i;
  }
  EXPECT_EQ(motion().direction, DIRECTION_TURN_LEFT);
  release(A);
  frames(2);
  press(D);
  frame(0);
  frame(dt);
  EXPECT_NEAR(view().transform->rotation.y, expected - 150 * dt * 0.25f, 1e-3f) << "the ramp starts again";
}

// While the mouse steers, the heading turns towards the camera yaw at the turning rate, never
// more than 45 degrees behind, and a heading change marks the direction byte.
TEST_F(PlayerControl, SteeringFollowsTheCameraYaw) {
  button_press(1);
  frame();
  axis(1, -200);  // a drag to the right: the yaw goes down by 200 x 0.3 = 60 degrees
  frame(0.1f);
  EXPECT_NEAR(camera_yaw(), -60, 1e-3f);
  // 15 degrees turned at 150 a second, then held within 45 of the yaw.
  EXPECT_NEAR(view().transform->rotation.y, -15, 1e-3f);
  EXPECT_EQ(motion().motion_state, MOTION_STANDING);
  frame(0.1f);
  EXPECT_NEAR(view().transform->rotation.y, -30, 1e-3f);
  EXPECT_EQ(motion().direction, DIRECTION_TURN_RIGHT);
  frames(5, 0.1f);
  EXPECT_NEAR(view().transform->rotation.y, -60, 1e-3f);
  EXPECT_EQ(motion().direction, 0);

  // A big drag: the heading is pulled along to 45 degrees behind.
  axis(1, -400);
  frame(0);
  EXPECT_NEAR(std::fabs(camera_yaw()), 180, 1e-3f);
  EXPECT_NEAR(view().transform->rotation.y, -135, 1e-3f);
}

TEST_F(PlayerControl, SteeringWithoutACameraKeepsTheHeading) {
  spawn_local(0, 0, 0, 120);
  camera_detach();
  button_press(1);
  axis(1, -200);
  frames(5);
  EXPECT_FLOAT_EQ(view().transform->rotation.y, 120);
  EXPECT_EQ(motion().direction, 0);
}

TEST_F(PlayerControl, MovingWhileSeatedStandsUpOnce) {
  GameObject* o = object_by_id(LOCAL_ID);
  o->slots->set_flags(o, 0x1000 | 0x4);
  frames(3);
  EXPECT_EQ(player_sent_count(OUT_WORLD_STAND_UP), 0) << "no input, still seated";
  press(W);
  frames(5);
  EXPECT_EQ(player_sent_count(OUT_WORLD_STAND_UP), 1);
  EXPECT_EQ(object_by_id(LOCAL_ID)->flags, 0x4u);
  press(D);
  frames(3);
  EXPECT_EQ(player_sent_count(OUT_WORLD_STAND_UP), 1);
}

TEST_F(PlayerControl, JumpStartsAtOnceAndLandsAfterItsFlight) {
  press(W);
  frame();
  press(KEY_SPACE);
  frame();
  LocalView v = view();
  EXPECT_EQ(v.motion->air_state, 1);
  EXPECT_NEAR(v.motion->vertical_speed, PLAYER_JUMP_SPEED - PLAYER_GRAVITY * DT, 1e-4f) << "one frame flown";
  EXPECT_FLOAT_EQ(v.motion->air_speed, 10);
  ASSERT_EQ(player_sent_count(OUT_WORLD_JUMP_REPORT), 1);
  EXPECT_EQ(player_sent()[0].opcode, OUT_WORLD_JUMP_REPORT) << "sent before any movement report";
  EXPECT_EQ(player_sent()[0].move.motion_state, MOTION_RUNNING | MOTION_JUMPING);
  uint32_t kept = 0;
  const ObjectRequest* r = object_requests(&kept);
  bool airborne = false;
  for (uint32_t i = 0; i < kept; i++) airborne |= r[i].kind == REQUEST_AIRBORNE && r[i].a == 1;
  EXPECT_TRUE(airborne);
  release(KEY_SPACE);

  // Flight time 2 x 7.672027 / 19.62 = 0.782 s; the top is 1.5 units up.
  float top = 0;
  for (int i = 0; i < 40; i++) {
    frame();
    top = std::fmax(top, view().transform->position.y);
  }
  EXPECT_NEAR(top, 7.672027f * 7.672027f / (2 * 19.62f), 0.01f);
  EXPECT_EQ(view().motion->air_state, 2) << "falling after the top";
  frames(10);
  EXPECT_EQ(view().motion->air_state, 0);
  EXPECT_FLOAT_EQ(view().transform->position.y, 0);
  // A second press on the ground jumps again; one report per jump.
  press(KEY_SPACE);
  frame();
  EXPECT_EQ(player_sent_count(OUT_WORLD_JUMP_REPORT), 2);
}

TEST_F(PlayerControl, FollowingRunsToTheTargetAndStopsNear) {
  SpawnCharacter other = player_spawn_record(8, 0, 0, -8, 0);
  spawn_player(&other);
  player_follow(8);
  frame();
  EXPECT_EQ(motion().direction, DIRECTION_FORWARD);
  EXPECT_NEAR(view().transform->rotation.y, 0, 1e-4f) << "facing -z, towards the target";
  frames(60);
  const float z = view().transform->position.z;
  EXPECT_GT(z, -8 + 0.5f);
  EXPECT_LT(z, -8 + 2.5f) << "stopped within 2.5";
  EXPECT_EQ(motion().motion_state, MOTION_STANDING);
  EXPECT_EQ(player_follow_target(), 8u);

  // Farther than 12: following ends.
  GameObject* o = object_by_id(8);
  o->slots->teleport(o, 0, 0, 20, 0);
  frame();
  EXPECT_EQ(player_follow_target(), 0u);

  // Any direction input ends it.
  player_follow(8);
  press(D);
  frame();
  EXPECT_EQ(player_follow_target(), 0u);
}

// Frame times of any float: the heading and position stay finite and NaN or negative steps
// move nothing.
TEST_F(PlayerControl, OddFrameTimesKeepEverythingFinite) {
  press(A);
  press(W);
  frame();
  const float dts[] = {1e37f, INFINITY, NAN, -1.0f, 3e38f};
  for (float dt : dts) {
    frame(dt);
    const LocalView v = view();
    EXPECT_TRUE(std::isfinite(v.transform->rotation.y)) << dt;
    EXPECT_TRUE(std::isfinite(v.transform->position.x) && std::isfinite(v.transform->position.z)) << dt;
    EXPECT_TRUE(std::isfinite(camera_yaw())) << dt;
  }
  for (const SentMessage& m : player_sent()) EXPECT_TRUE(std::isfinite(m.move.heading));
}

TEST_F(PlayerControl, WorldReplacementForgetsAutoRunAndFollowing) {
  press(KEY_NUM_LOCK);
  frame();
  player_follow(8);
  ASSERT_TRUE(player_auto_running());
  game_world_replace(catalogue_world_create(2, nullptr));
  EXPECT_FALSE(player_auto_running());
  EXPECT_EQ(player_follow_target(), 0u);
  frame();  // no local player: nothing happens, nothing is sent
  EXPECT_TRUE(player_sent().empty());
}

}  // namespace
