#include "game/player_camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "support/player_test_support.h"

namespace {

using PlayerCamera = PlayerFixture;

TEST_F(PlayerCamera, AttachReadsTheStoredValuesWithinTheirRanges) {
  struct Case {
    const char* name;
    float distance, pitch;
    float want_distance, want_pitch;
  };
  const Case cases[] = {
      {"in range", 7.5f, 20, 7.5f, 20},
      {"too far and too low", 40, -90, 15, -65},
      {"negative distance, too high", -3, 100, 0, 80},
      {"not numbers read as 0", NAN, NAN, 0, 0},
      {"infinities read as 0", INFINITY, -INFINITY, 0, 0},
  };
  for (const Case& c : cases) {
    camera_set_distance(c.distance);
    camera_set_pitch(c.pitch);
    spawn_local(1, 2, 3, 30);
    EXPECT_EQ(camera_followed(), player) << c.name;
    EXPECT_FLOAT_EQ(camera_desired_distance(), c.want_distance) << c.name;
    EXPECT_FLOAT_EQ(camera_transform()->rotation.x, c.want_pitch) << c.name;
    EXPECT_FLOAT_EQ(camera_transform()->rotation.y, 30) << c.name << ": behind the player";
    frame();
    EXPECT_FLOAT_EQ(camera_pitch(), c.want_pitch) << c.name << ": stored back";
    EXPECT_FLOAT_EQ(camera_distance(), c.want_distance) << c.name;
  }
}

TEST_F(PlayerCamera, MouseLookTurnsByTheDragWithTheInvertSettings) {
  struct Case {
    int invert_x, invert_y;
    float dx, dy;
    float yaw, pitch;  // change
  };
  // MOUSE_LOOK_SPEED 0.3; pitch takes two thirds of it.
  const Case cases[] = {
      {0, 0, -10, 15, -3, 3},
      {1, 0, -10, 15, 3, 3},
      {0, 1, -10, 15, -3, -3},
      {1, 1, 20, -30, -6, 6},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setting_set_invert_mouse_x(c.invert_x));
    ASSERT_TRUE(setting_set_invert_mouse_y(c.invert_y));
    button_press(0);
    frame();
    const float yaw = camera_transform()->rotation.y, pitch = camera_transform()->rotation.x;
    axis(1, c.dx);
    axis(2, c.dy);
    frame();
    EXPECT_NEAR(camera_transform()->rotation.y - yaw, c.yaw, 1e-4f) << c.invert_x << c.invert_y;
    EXPECT_NEAR(camera_transform()->rotation.x - pitch, c.pitch, 1e-4f) << c.invert_x << c.invert_y;
    button_release(0);
    frames(2);
  }
  // Without a button held the mouse does nothing; pitch stops at its limits.
  setting_set_invert_mouse_x(0);
  setting_set_invert_mouse_y(0);
  const float yaw = camera_transform()->rotation.y;
  axis(1, 50);
  frame();
  EXPECT_FLOAT_EQ(camera_transform()->rotation.y, yaw);
  button_press(0);
  frame();
  axis(2, 10000);
  frame();
  EXPECT_FLOAT_EQ(camera_transform()->rotation.x, CAMERA_PITCH_MAX);
  axis(2, -10000);
  frame();
  EXPECT_FLOAT_EQ(camera_transform()->rotation.x, CAMERA_PITCH_MIN);
}

// While the player moves with no button held, the yaw eases back behind it:
// yaw = heading + offset x (1 - (1 - cos(pi t / d)) / 2), d = |offset| / 180, at least 0.1 s.
TEST_F(PlayerCamera, SwingBackFollowsTheCosineEase) {
  struct Case {
    float yaw;     // camera yaw at the start, player heading 0
    float offset;  // the shorter way
  };
  const Case cases[] = {{90, 90}, {10, 10}, {-170, -170}, {200, -160}, {0.5f, 0.5f}};
  for (const Case& c : cases) {
    spawn_local(0, 0, 0, 0);
    camera_transform()->rotation.y = c.yaw;
    press(key_letter('W'));
    const float duration = std::fmax(std::fabs(c.offset) / 180, 0.1f);
    for (int n = 1; n * DT <= duration + 2 * DT; n++) {
      frame();
      const float t = std::fmin(n * DT, duration);
      const float want = c.offset * (1 - (1 - std::cos(3.14159265f * t / duration)) / 2);
      EXPECT_NEAR(camera_transform()->rotation.y, want, 2e-3f) << c.yaw << " frame " << n;
    }
    EXPECT_NEAR(camera_transform()->rotation.y, 0, 1e-4f) << c.yaw;
    release(key_letter('W'));
    frames(2);
  }
  // A held button stops the swing.
  camera_transform()->rotation.y = 60;
  button_press(0);
  press(key_letter('W'));
  frames(20);
  EXPECT_FLOAT_EQ(camera_transform()->rotation.y, 60);
}

TEST_F(PlayerCamera, ZoomByWheelAndKeys) {
  camera_set_distance(6);
  spawn_local(0, 0, 0, 0);
  axis(0, 1);
  frame();
  EXPECT_FLOAT_EQ(camera_desired_distance(), 5) << "a wheel notch forward comes in by 1";
  axis(0, -1);
  frame();
  EXPECT_FLOAT_EQ(camera_desired_distance(), 6);
  press(KEY_PAGE_DOWN);
  frame();
  frames(9);
  EXPECT_NEAR(camera_desired_distance(), 6 + 10 * 8 * DT, 1e-4f) << "keys move 8 a second";
  release(KEY_PAGE_DOWN);
  frame();
  const float held = camera_desired_distance();

  // Ignored while a text field has the keyboard.
  input_set_text_focus_query([] { return 1; });
  axis(0, 1);
  frame();
  EXPECT_FLOAT_EQ(camera_desired_distance(), held);
  input_set_text_focus_query(nullptr);

  // Limits; then the near-limit nudge (1.0 for the default appearance) carries on to 0.
  for (int i = 0; i < 20; i++) {
    axis(0, -1);
    frame();
  }
  EXPECT_FLOAT_EQ(camera_desired_distance(), 15);
  camera_set_distance(1.5f);
  spawn_local(0, 0, 0, 0);
  axis(0, 1);
  frame();
  EXPECT_FLOAT_EQ(camera_desired_distance(), 0) << "0.5 is inside the near limit";
  press(KEY_PAGE_DOWN);
  frame();
  EXPECT_NEAR(camera_desired_distance(), 1 + 8 * DT, 1e-4f) << "zooming out jumps past the near limit";
}

// The view is the row-vector form of glm::lookAt from the camera point to the look-at point.
TEST_F(PlayerCamera, ViewMatchesLookAtOfTheSameEyeAndTarget) {
  struct Case {
    float pitch, yaw, distance;
    Vec3 player;
  };
  const Case cases[] = {
      {10, 0, 6, {0, 0, 0}},
      {45, 90, 10, {5, 2, -7}},
      {-30, -135, 3, {100, -4, 40}},
      {80, 170, 15, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    camera_set_pitch(c.pitch);
    camera_set_distance(c.distance);
    spawn_local(c.player.x, c.player.y, c.player.z, c.yaw);
    frame();
    float target[3];
    camera_look_at(target);
    EXPECT_FLOAT_EQ(target[1], c.player.y + 1.7f) << "eye height of the default appearance";
    const Vec3 eye = camera_transform()->position;
    const float dx = eye.x - target[0], dy = eye.y - target[1], dz = eye.z - target[2];
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), c.distance, 1e-4f);
    EXPECT_GE(dy * c.pitch, 0) << "a positive pitch looks down from above";
    const glm::mat4 want = glm::lookAt(glm::vec3(eye.x, eye.y, eye.z),
                                       glm::vec3(target[0], target[1], target[2]), glm::vec3(0, 1, 0));
    const Mat4& view = camera_state()->camera.view;
    for (int r = 0; r < 4; r++)
      for (int k = 0; k < 4; k++)
        EXPECT_NEAR(view.m[r * 4 + k], want[r][k], 2e-4f) << c.pitch << " " << r << k;
  }
}

Vec3 g_wall;  // where the fake traces hit, as a fraction of the segment
int trace_at_fraction(Vec3 from, Vec3 to, TraceHit* out) {
  const float f = g_wall.x;
  if (!(f >= 0 && f <= 1)) return 0;
  const Vec3 p = {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f, from.z + (to.z - from.z) * f};
  if (out) *out = {p, {0, 1, 0}, 0, 0};
  return 1;
}
int trace_very_near(Vec3 from, Vec3, TraceHit* out) {
  if (out) *out = {from, {0, 1, 0}, 0, 0};
  return 1;
}

TEST_F(PlayerCamera, AWallPullsTheCameraInButPropsDoNot) {
  struct Case {
    float fraction;  // of the desired 10 units
    float want;
  };
  const Case cases[] = {{2, 10}, {0.5f, 4.8f}, {0.01f, 0}, {1, 9.8f}};
  camera_set_distance(10);
  spawn_local(0, 0, 0, 0);
  for (const Case& c : cases) {
    g_wall.x = c.fraction;
    // The zone trace with props always hits at once: the camera must not listen to it.
    world_queries_install(trace_very_near, trace_at_fraction, nullptr);
    frame();
    EXPECT_NEAR(camera_actual_distance(), c.want, 1e-4f) << c.fraction;
    EXPECT_FLOAT_EQ(camera_desired_distance(), 10) << "the wish is kept";
    float target[3];
    camera_look_at(target);
    const Vec3 eye = camera_transform()->position;
    const float dx = eye.x - target[0], dy = eye.y - target[1], dz = eye.z - target[2];
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), c.want, 1e-4f) << c.fraction;
  }
}

// Any finite position may come from the server; the view must stay finite.
TEST_F(PlayerCamera, AFarAwayPlayerStillGivesAFiniteView) {
  const float far[][3] = {{3e38f, -3e38f, 1e20f}, {-3.4e38f, 3.4e38f, -3.4e38f}, {1e7f, 0, -1e7f}};
  for (const auto& p : far) {
    GameObject* o = object_by_id(LOCAL_ID);
    o->slots->teleport(o, p[0], p[1], p[2], 33);
    frame();
    for (float v : camera_state()->camera.view.m) EXPECT_TRUE(std::isfinite(v)) << p[0];
    for (float v : camera_state()->camera.view_projection.m) EXPECT_TRUE(std::isfinite(v)) << p[0];
  }
}

TEST_F(PlayerCamera, LetsGoOnWorldReplacementAndRemoval) {
  ASSERT_EQ(camera_followed(), player);
  entity_remove_by_id(LOCAL_ID);
  frame();
  EXPECT_EQ(camera_followed(), 0u) << "removed";
  spawn_local(0, 0, 0, 0);
  ASSERT_EQ(camera_followed(), player);
  game_world_replace(catalogue_world_create(3, nullptr));
  EXPECT_EQ(camera_followed(), 0u) << "world replaced";
  frame();
  EXPECT_EQ(camera_yaw(), 0);
  // A new local player in the removed one's place (the same slot, another id) is not followed
  // until it is attached.
  game_world_replace(catalogue_world_create(4, nullptr));
  camera_entity = catalogue_entity_create(game_world(), SPACE_CAMERA, 0, 0);
  spawn_local(0, 0, 0, 0);
  ASSERT_EQ(camera_followed(), player);
  SpawnCharacter other = player_spawn_record(9, 0, 0, 0, 0);
  const uint32_t second = spawn_local_player(&other);
  EXPECT_EQ(second, player) << "the slot is reused";
  EXPECT_EQ(camera_followed(), 0u);
}

}  // namespace
