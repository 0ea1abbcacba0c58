#include "input/mouse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/event_bus.h"
#include "support/fake_window_system.h"

namespace {

std::vector<EventAxis> g_axes;
void record_axis(uint32_t event, const void* data) {
  if (event == EVENT_AXIS) g_axes.push_back(*(const EventAxis*)data);
}

struct MouseTest : ::testing::Test {
  FakeWindowSystem fake;
  Window window{};
  void SetUp() override {
    fake_window_system_install(&fake);
    event_bus_start();
    event_subscribe(record_axis);
    g_axes.clear();
    window.handle = (void*)0x1;
    window.width = 640;
    window.height = 480;
    mouse_set_sensitivity(1.0f);
    mouse_start(&window);
  }
  void TearDown() override {
    mouse_stop();
    event_unsubscribe(record_axis);
    event_bus_stop();
    fake_window_system_install(nullptr);
  }
  void poll() {
    mouse_update();
    event_dispatch();
  }
  std::vector<std::string> cursor_calls() {
    std::vector<std::string> out;
    for (const std::string& c : fake.calls)
      if (c.find("cursor") != std::string::npos || c.find("warp") == 0) out.push_back(c);
    return out;
  }
};

TEST_F(MouseTest, PositionIsBottomUpFromTheClientSize) {
  struct Case {
    const char* name;
    int wx, wy, x, y;
  } cases[] = {
      {"top-left pixel", 0, 0, 0, 480},
      {"bottom-left pixel", 0, 479, 0, 1},
      {"right of the client", 700, 10, 700, 470},
  };
  for (const Case& c : cases) {
    fake.cursor_x = c.wx;
    fake.cursor_y = c.wy;
    poll();
    int x = -1, y = -1;
    mouse_position(&x, &y);
    EXPECT_EQ(x, c.x) << c.name;
    EXPECT_EQ(y, c.y) << c.name;
  }
  mouse_set_client_size_source([] { return (uint64_t)200 << 32 | 300; });
  fake.cursor_y = 0;
  poll();
  int x, y;
  mouse_position(&x, &y);
  EXPECT_EQ(y, 200) << "the installed size source wins over the requested size";
  mouse_set_client_size_source(nullptr);
}

TEST_F(MouseTest, MotionAxesCarryTheirSignsTimesSensitivity) {
  fake.cursor_x = 100;
  fake.cursor_y = 100;
  poll();  // first poll: no motion
  mouse_set_sensitivity(0.5f);
  struct Case {
    const char* name;
    int dx, dy;
    float axis1, axis2;
  } cases[] = {
      {"right gives negative axis 1", 10, 0, -5.0f, 0.0f},
      {"left gives positive axis 1", -4, 0, 2.0f, 0.0f},
      {"down gives positive axis 2", 0, 6, 0.0f, 3.0f},
      {"up gives negative axis 2", 0, -2, 0.0f, -1.0f},
  };
  for (const Case& c : cases) {
    g_axes.clear();
    fake.cursor_x += c.dx;
    fake.cursor_y += c.dy;
    poll();
    ASSERT_EQ(g_axes.size(), 2u) << c.name;
    EXPECT_EQ(g_axes[0].axis, 1u);
    EXPECT_EQ(g_axes[0].value, c.axis1) << c.name;
    EXPECT_EQ(g_axes[1].axis, 2u);
    EXPECT_EQ(g_axes[1].value, c.axis2) << c.name;
  }
}

TEST_F(MouseTest, CaptureHidesPinsAndReleasePutsTheCursorBack) {
  fake.cursor_x = 320;
  fake.cursor_y = 80;
  poll();
  mouse_capture();
  mouse_capture();
  EXPECT_TRUE(mouse_captured());
  for (int i = 0; i < 3; i++) {
    g_axes.clear();
    fake.cursor_x += 7;  // the player turns; the cursor is put back every frame
    poll();
    ASSERT_EQ(g_axes.size(), 2u);
    EXPECT_EQ(g_axes[0].value, -7.0f) << "motion measured from the capture point, frame " << i;
    EXPECT_EQ(fake.cursor_x, 320);
    EXPECT_EQ(fake.cursor_y, 80);
  }
  fake.cursor_x = 10;
  mouse_release();
  mouse_release();
  EXPECT_EQ(cursor_calls(), (std::vector<std::string>{"hide cursor", "warp 320,80", "warp 320,80",
                                                      "warp 320,80", "warp 320,80", "show cursor"}));
  int x, y;
  mouse_position(&x, &y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 400);
}

TEST_F(MouseTest, DeactivationReleasesAndSetCursorShowsOnlyWhenFree) {
  mouse_capture();
  event_post_copy(EVENT_SET_CURSOR, nullptr, 0);
  event_post_copy(EVENT_DEACTIVATE, nullptr, 0);
  event_post_copy(EVENT_SET_CURSOR, nullptr, 0);
  event_dispatch();
  EXPECT_FALSE(mouse_captured());
  EXPECT_EQ(cursor_calls(),
            (std::vector<std::string>{"hide cursor", "warp 0,0", "show cursor", "show cursor"}));
}

TEST_F(MouseTest, OutsideClientFromFocusAndRectangle) {
  struct Case {
    const char* name;
    int wx, wy;
    bool readable, focus;
    int outside;
  } cases[] = {
      {"inside", 10, 10, true, true, 0},
      {"last pixel inside", 639, 479, true, true, 0},
      {"right of the client", 640, 10, true, true, 1},
      {"above the client", 10, -1, true, true, 1},
      {"another window on top", 10, 10, true, false, 1},
      {"unreadable cursor", 10, 10, false, true, 1},
  };
  for (const Case& c : cases) {
    fake.cursor_x = c.wx;
    fake.cursor_y = c.wy;
    fake.cursor_readable = c.readable;
    fake.mouse_focus = c.focus;
    EXPECT_EQ(mouse_outside_client(), c.outside) << c.name;
  }
  EXPECT_EQ(mouse_uses_directinput(), 0);
}

TEST_F(MouseTest, NoWindowHandleReadsNothing) {
  mouse_stop();
  window.handle = nullptr;
  mouse_start(&window);
  poll();
  mouse_capture();
  EXPECT_TRUE(g_axes.empty());
  EXPECT_FALSE(mouse_captured());
  EXPECT_EQ(mouse_outside_client(), 1);
  EXPECT_TRUE(fake.calls.empty());
  mouse_stop();
  poll();
  EXPECT_TRUE(g_axes.empty());
}

}  // namespace
