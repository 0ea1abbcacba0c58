#include "game/player_report.h"

#include <gtest/gtest.h>

#include <cmath>

#include "game/player_frames.h"
#include "platform/clock.h"
#include "support/player_test_support.h"

namespace {

// The frame clock reads a counter the test moves: microseconds at a frequency of 1e6.
uint64_t g_now_us;
int fake_frequency(uint64_t* out) {
  *out = 1000000;
  return 1;
}
uint64_t fake_counter(void) { return g_now_us; }
uint32_t fake_ms(void) { return (uint32_t)(g_now_us / 1000); }
const ClockSource FAKE_CLOCK = {fake_frequency, fake_counter, fake_ms};

class PlayerReport : public PlayerFixture {
 protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    g_now_us = 1000000;
    clock_set_source(&FAKE_CLOCK);
    frame_clock_reset();
  }
  void TearDown() override {
    clock_set_source(nullptr);
    PlayerFixture::TearDown();
  }
  // One frame through the module lists' entries, `us` microseconds after the last.
  void tick(uint64_t us = 16667) {
    g_now_us += us;
    frame_clock_tick();
    event_dispatch();
    input_update();
    keybind_frame();
    camera_attach_frame();
    player_input_frame();
    player_physics_frame();
    camera_place_frame();
    player_water_frame();
  }
  double seconds(void) { return (double)g_now_us / 1e6; }
  // Frames until the next report, at most `limit`; the report's send time in *at.
  int frames_until_report(int limit, double* at) {
    const size_t before = player_sent().size();
    for (int i = 1; i <= limit; i++) {
      tick();
      if (player_sent().size() > before) {
        *at = seconds();
        return i;
      }
    }
    return -1;
  }
};

TEST_F(PlayerReport, CadenceFollowsMovement) {
  // Several seconds standing where the server put the player: nothing.
  for (int i = 0; i < 300; i++) tick();
  EXPECT_TRUE(player_sent().empty());

  // Starting: the first report goes out within 0.1 s.
  press(key_letter('W'));
  const double start = seconds();
  double at = 0;
  ASSERT_GT(frames_until_report(10, &at), 0);
  EXPECT_LE(at - start, 0.1 + 1e-6);
  EXPECT_EQ(player_sent().back().opcode, OUT_WORLD_MOVE_REPORT);
  EXPECT_EQ(player_sent().back().move.motion_state, MOTION_RUNNING);
  EXPECT_EQ(player_sent().back().move.direction, DIRECTION_FORWARD);

  // Running: one report per 0.1 s, each further along -z.
  player_sent().clear();
  for (int i = 0; i < 60; i++) tick();
  ASSERT_GE(player_sent().size(), 9u);
  ASSERT_LE(player_sent().size(), 11u);
  for (size_t i = 1; i < player_sent().size(); i++)
    EXPECT_LT(player_sent()[i].move.position[2], player_sent()[i - 1].move.position[2]) << i;

  // Stopping is reported in the frame it happens, however recent the last report.
  tick();
  release(key_letter('W'));
  player_sent().clear();
  tick();
  ASSERT_EQ(player_sent().size(), 1u);
  EXPECT_EQ(player_sent().back().move.motion_state, MOTION_STANDING);
  EXPECT_EQ(player_sent().back().move.direction, 0);
  const float stop_z = player_sent().back().move.position[2];
  player_sent().clear();
  for (int i = 0; i < 120; i++) tick();
  EXPECT_TRUE(player_sent().empty()) << "standing again sends nothing";
  EXPECT_FLOAT_EQ(view().transform->position.z, stop_z);
}

TEST_F(PlayerReport, FrameRateDoesNotChangeTheInterval) {
  struct Case {
    uint64_t frame_us;
    size_t reports_per_second_min, max;
  };
  const Case cases[] = {{16667, 9, 11}, {33333, 9, 11}, {8000, 9, 11}, {250000, 4, 4}};
  for (const Case& c : cases) {
    press(key_letter('W'));
    tick(c.frame_us);
    player_sent().clear();
    for (uint64_t t = 0; t < 1000000; t += c.frame_us) tick(c.frame_us);
    EXPECT_GE(player_sent().size(), c.reports_per_second_min) << c.frame_us;
    EXPECT_LE(player_sent().size(), c.max) << c.frame_us;
    release(key_letter('W'));
    tick(c.frame_us);
    tick(c.frame_us);
  }
}

TEST_F(PlayerReport, TurningInPlaceAndHeadingChangesAreReported) {
  press(key_letter('D'));
  tick();
  double at = 0;
  ASSERT_GT(frames_until_report(10, &at), 0);
  EXPECT_EQ(player_sent().back().move.motion_state, MOTION_TURNING);
  EXPECT_EQ(player_sent().back().move.direction, DIRECTION_TURN_RIGHT);
  EXPECT_LT(player_sent().back().move.heading, 0) << "turning right lowers the heading";
  // Turning in place is no movement: its end waits for the next interval.
  release(key_letter('D'));
  tick();
  ASSERT_GT(frames_until_report(10, &at), 0);
  EXPECT_EQ(player_sent().back().move.motion_state, MOTION_STANDING);
}

TEST_F(PlayerReport, AfterATeleportReportsStartFromTheNewPoint) {
  press(key_letter('W'));
  for (int i = 0; i < 20; i++) tick();
  release(key_letter('W'));
  tick();
  GameObject* o = object_by_id(LOCAL_ID);
  o->slots->teleport(o, 100, 5, 100, 90);
  player_sent().clear();
  for (int i = 0; i < 30; i++) tick();
  EXPECT_TRUE(player_sent().empty()) << "standing where the server put the player";
  press(key_letter('W'));
  double at = 0;
  ASSERT_GT(frames_until_report(10, &at), 0);
  const OutMove& m = player_sent().front().move;
  EXPECT_NEAR(m.position[0], 100, 0.5f);
  EXPECT_LT(m.position[0], 100.0f) << "heading 90 runs towards -x";
  EXPECT_FLOAT_EQ(m.position[1], 5);
  EXPECT_NEAR(m.position[2], 100, 1e-4f);
  EXPECT_FLOAT_EQ(m.heading, 90);
}

}  // namespace
