#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "scene/water.h"
#include "support/player_test_support.h"

namespace {

// A grid whose colour is linear in x and z, so the bilinear colour at any point is exactly
// the plane's value there: red = 10 i + 20 j, green = 240 - 30 j, blue = 7 i (i along x, j
// along z).
uint8_t g_grid[81 * 3];
const uint8_t* linear_grid(uint32_t id) {
  if (id != 5) return nullptr;  // every other grid is still loading
  for (int j = 0; j < 9; j++)
    for (int i = 0; i < 9; i++) {
      uint8_t* c = g_grid + 3 * (j * 9 + i);
      c[0] = (uint8_t)(10 * i + 20 * j), c[1] = (uint8_t)(240 - 30 * j), c[2] = (uint8_t)(7 * i);
    }
  return g_grid;
}
void linear_colour(float u, float v, float out[3]) {
  u = std::fmin(std::fmax(u, 0.0f), 1.0f) * 8, v = std::fmin(std::fmax(v, 0.0f), 1.0f) * 8;
  out[0] = (10 * u + 20 * v) / 255, out[1] = (240 - 30 * v) / 255, out[2] = 7 * u / 255;
}

class WaterState : public PlayerFixture {
 protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    fake_water().ground = -1e30f;
    world_queries_install(fake_ground_trace, fake_ground_trace, fake_water_gather);
    water_set_colour_grid_source(linear_grid);
  }
  void place(float x, float y, float z) {
    Transform* t = view().transform;
    t->position = {x, y, z};
    // The camera well away from the water unless a test puts it there.
    for (Vec3& c : camera_state()->camera.corners) c = {1000, 1000, 1000};
    camera_transform()->position = {x, y + 3, z};
    water_state_update();
  }
};

// Body height 2: wading depth 1.5, the head at feet + 2.
TEST_F(WaterState, StateFromDepthAndGround) {
  struct Case {
    const char* name;
    float feet, ground;
    int32_t state;
    float level;
  };
  const float none = -1e30f;
  const Case cases[] = {
      {"above the water: dry", 11.5f, none, WATER_DRY, -FLT_MAX},
      {"ground 0.5 below the surface: too shallow", 9.5f, 9.5f, WATER_SHALLOW, 10},
      {"ground 1.4 below the surface: still shallow", 8.6f, 8.6f, WATER_SHALLOW, 10},
      {"no ground, feet 1 deep: wading", 9, none, WATER_SHALLOW, 10},
      {"feet 1.8 deep, head above: in water", 8.2f, none, WATER_IN, 10},
      {"ground deep below, in water", 8.2f, 2, WATER_IN, 10},
      {"head exactly at the surface: under water", 8, none, WATER_UNDER, 10},
      {"deep down: under water", 3, none, WATER_UNDER, 10},
  };
  fake_water_volume({-10, 0, -10}, {10, 10, 10}, 5);
  for (const Case& c : cases) {
    fake_water().ground = c.ground;
    place(0, c.feet, 0);
    EXPECT_EQ(water_state(), c.state) << c.name;
    EXPECT_EQ(water_level(), c.level) << c.name;
  }
}

TEST_F(WaterState, OverlappingVolumesTakeTheHighestLevel) {
  fake_water_volume({-10, 0, -10}, {10, 10, 10}, 0);
  fake_water_volume({-1, 0, -1}, {1, 12, 1}, 5);
  fake_water_volume({-10, 0, -10}, {10, 11, 10}, 0);
  place(0, 9, 0);
  EXPECT_EQ(water_level(), 12);
  EXPECT_EQ(water_state(), WATER_UNDER) << "the head at 11 is below 12";
  float colour[3], want[3];
  water_liquid_colour(colour);
  linear_colour(0.5f, 0.5f, want);  // the camera stands over the middle of the 2 x 2 volume
  for (int i = 0; i < 3; i++) EXPECT_NEAR(colour[i], want[i], 1e-5f) << i;
  place(5, 9, 5);
  EXPECT_EQ(water_level(), 11) << "outside the high one";
}

TEST_F(WaterState, CameraInLiquidTestsTheNearCornersOnly) {
  fake_water_volume({0, 0, 0}, {8, 10, 16}, 5);
  place(100, 0, 100);
  Vec3* corners = camera_state()->camera.corners;
  corners[1] = {4, 5, 8};  // a far corner in the lake
  corners[7] = {4, 5, 8};
  water_state_update();
  EXPECT_FALSE(water_camera_in_liquid(nullptr));

  struct Case {
    int corner;
    Vec3 point;
  };
  const Case cases[] = {{0, {2, 5, 4}}, {2, {0, 9, 16}}, {4, {8, 1, 0}}, {6, {6, 3, 14}}};
  for (const Case& c : cases) {
    for (int i = 0; i < 8; i += 2) corners[i] = {-50, -50, -50};
    corners[c.corner] = c.point;
    water_state_update();
    float colour[3] = {-1, -1, -1}, want[3];
    ASSERT_TRUE(water_camera_in_liquid(colour)) << c.corner;
    linear_colour(c.point.x / 8, c.point.z / 16, want);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(colour[i], want[i], 1e-5f) << c.corner << " channel " << i;
    EXPECT_EQ(water_state(), WATER_DRY) << "the player is elsewhere";
  }
}

TEST_F(WaterState, GridColourIsBilinearAndUnloadedGridsAreCyan) {
  struct Case {
    float x, z;
  };
  const Case cases[] = {{0, 0}, {8, 16}, {1, 1}, {4.3f, 7.9f}, {7.99f, 0.01f}, {-3, 5}, {20, 30}, {NAN, 2}};
  const uint8_t* grid = linear_grid(5);
  for (const Case& c : cases) {
    float got[3], want[3];
    water_grid_colour(grid, 0, 0, 8, 16, c.x, c.z, got);
    linear_colour(std::isnan(c.x) ? 0 : c.x / 8, c.z / 16, want);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(got[i], want[i], 1e-5f) << c.x << "," << c.z << " channel " << i;
  }
  float got[3];
  water_grid_colour(grid, 5, 5, 5, 5, 5, 5, got);  // a volume without width
  for (float v : got) EXPECT_TRUE(std::isfinite(v));

  // A volume whose grid is not loaded: (0, 1, 1), also for the player's colour.
  fake_water_volume({-10, 0, -10}, {10, 10, 10}, 6);
  place(0, 5, 0);
  ASSERT_EQ(water_state(), WATER_UNDER);
  water_liquid_colour(got);
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[1], 1);
  EXPECT_EQ(got[2], 1);
}

// In water the pitch keys tilt the swimming pitch at 150 degrees a second standing, 100
// moving, within 75; the body follows at 180 a second; out of water both return to 0 / follow.
TEST_F(WaterState, PitchKeysTiltTheSwimmer) {
  fake_water_volume({-100, -100, -100}, {100, 10, 100}, 5);
  view().transform->position = {0, 0, 0};
  frame();
  ASSERT_EQ(water_state(), WATER_UNDER);
  const uint32_t up = KEY_KEYPAD_0;
  press(up);
  frame(0);
  frame(0.1f);
  EXPECT_NEAR(view().motion->swim_pitch, 15, 1e-4f);
  EXPECT_NEAR(view().motion->body_pitch, 15, 1e-4f);
  press(key_letter('W'));
  frame(0);
  frame(0.1f);
  EXPECT_NEAR(view().motion->swim_pitch, 25, 1e-4f) << "100 a second while moving";
  frames(10, 0.1f);
  EXPECT_FLOAT_EQ(view().motion->swim_pitch, 75);
  // Swimming up the tilt: the player rises as it moves.
  const float y = view().transform->position.y;
  EXPECT_EQ(y, 0) << "the stand-in movement keeps its height";
  EXPECT_GT(motion().move_direction.y, 0.9f);
  release(up);
  release(key_letter('W'));
  view().transform->position.y = 50;  // out of the water, seen from the next frame on
  frame(0.1f);
  EXPECT_FLOAT_EQ(view().motion->swim_pitch, 75);
  frame(0.1f);
  frame(0.1f);
  EXPECT_EQ(view().motion->swim_pitch, 0);
  EXPECT_NEAR(view().motion->body_pitch, 75 - 2 * 18, 1e-3f) << "the body follows at 180 a second";
}

// The water state reaches the reports and the camera.
TEST_F(WaterState, ReportsAndCameraFollowTheWater) {
  fake_water_volume({-100, -100, -100}, {100, 10, 100}, 5);
  view().transform->position = {0, 5, 0};
  frame();
  press(key_letter('W'));
  frames(10);
  const OutMove& m = player_sent().back().move;
  EXPECT_EQ(m.motion_state & (MOTION_IN_WATER | MOTION_UNDER_WATER), MOTION_IN_WATER | MOTION_UNDER_WATER);
  EXPECT_NEAR(motion().speed, 2.5f, 1e-5f) << "swimming";
  release(key_letter('W'));
  press(key_letter('S'));
  frames(3);
  EXPECT_NEAR(motion().speed, 1.25f, 1e-5f) << "swimming backward at half";
  release(key_letter('S'));

  // Under water the look-at point is held 0.75 below the surface; rising above 0.15 below
  // lets go of it and asks the pitch back to 6 degrees at 60 a second.
  frames(2);
  float at[3];
  camera_look_at(at);
  EXPECT_FLOAT_EQ(at[1], 10 - 0.75f);
  camera_transform()->rotation.x = 30;
  view().transform->position.y = 10 - 1.7f - 0.1f;  // eye 0.1 below, feet 1.8 deep: in water
  frame();
  camera_look_at(at);
  EXPECT_FLOAT_EQ(at[1], 10 - 0.1f);
  ASSERT_TRUE(camera_recentring());
  for (int i = 1; i <= 24; i++) {
    frame();
    EXPECT_NEAR(camera_transform()->rotation.x, std::fmax(30 - 60 * DT * i, 6.0f), 1e-3f) << i;
  }
  EXPECT_FALSE(camera_recentring());

  // Looking with the mouse ends a recentring at once at 6 degrees.
  view().transform->position.y = 5;
  frames(2);
  view().transform->position.y = 10 - 1.7f - 0.1f;
  camera_transform()->rotation.x = 40;
  frame();
  ASSERT_TRUE(camera_recentring());
  button_press(0);
  axis(1, 1);
  frame();
  EXPECT_FALSE(camera_recentring());
  EXPECT_NEAR(camera_transform()->rotation.x, 6, 1e-4f);
}

}  // namespace
