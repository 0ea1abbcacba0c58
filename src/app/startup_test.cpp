// The start-up and shut-down order, logged through fake services.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

static std::vector<std::string> g_log;
static std::string g_fail;  // the step that fails, if any

static void log(const char* s) { g_log.push_back(s); }
static int log_result(const char* s) {
  g_log.push_back(s);
  return g_fail == s ? 0 : 1;
}

#define STEP(name) [] { log(name); }
static const PlatformServices FAKE_SERVICES = {
    STEP("event bus start"),
    STEP("event bus stop"),
    STEP("dispatch"),
    [](int) { return log_result("probe"); },
    [](Window* w, int width, int height, int, int, int, int, int, const char*) {
      w->width = width;
      w->height = height;
      return log_result("window create");
    },
    [](int, int, int, int, int) { return log_result("resolution check"); },
    [](Window*) { return log_result("display mode"); },
    [](Window*) { log("place and show"); },
    [](Window*, int) { return log_result("render install"); },
    [](Window*) { log("render uninstall"); },
    STEP("display restore"),
    [](const char* text) { g_log.push_back(std::string("error: ") + text); },
    [](Window*) { log("window destroy"); },
    [](uint32_t) { log("random seed"); },
    [] {
      log("clock");
      return 0u;
    },
    [](const char*) { log("assets start"); },
    STEP("assets stop"),
    [](const char*, int) { log("locale load"); },
    STEP("locale unload"),
    STEP("mouse start"),
    STEP("mouse stop"),
    STEP("input start"),
    STEP("input stop"),
    STEP("device init"),
    STEP("device shutdown"),
    STEP("secure random start"),
    STEP("secure random stop"),
    STEP("draw start"),
    STEP("draw stop"),
    STEP("2d start"),
    STEP("2d stop"),
    {STEP("start 0"), STEP("start 1"), STEP("start 2"), STEP("start 3"), STEP("start 4"), STEP("start 5"),
     STEP("start 6")},
    {STEP("stop 0"), STEP("stop 1"), STEP("stop 2"), STEP("stop 3"), STEP("stop 4"), STEP("stop 5"),
     STEP("stop 6")},
};

class Startup : public testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_fail.clear();
    platform_set_services(&FAKE_SERVICES);
  }
  void TearDown() override { platform_set_services(nullptr); }
  StartupParams params(uint32_t mask, int backend = 0) {
    StartupParams p = {};
    p.mask = mask;
    p.language = 1;
    p.backend = backend;
    p.width = 640;
    p.height = 480;
    p.title = "t";
    p.assets_dir = "a";
    return p;
  }
};

TEST_F(Startup, SuccessThenShutdownInReverse) {
  StartupParams p = params(STARTUP_SOUND_MIXER | STARTUP_SOCKETS | STARTUP_RESERVED_CACHE);
  ASSERT_EQ(platform_startup(&p), 1);
  EXPECT_EQ(platform_startup(&p), 0);  // a second call
  platform_shutdown();
  platform_shutdown();  // runs once
  std::vector<std::string> expected = {
      "event bus start", "probe", "window create", "display mode", "place and show", "render install",
      "clock", "random seed", "assets start", "locale load", "mouse start", "input start", "device init",
      "secure random start", "draw start", "2d start", "start 0", "start 2", "start 6",
      // shut-down
      "dispatch", "stop 6", "stop 2", "stop 0", "2d stop", "draw stop", "secure random stop",
      "device shutdown", "input stop", "mouse stop", "locale unload", "assets stop", "render uninstall",
      "window destroy", "event bus stop"};
  EXPECT_EQ(g_log, expected);
}

TEST_F(Startup, EachFailureShowsItsMessageAndUndoesItself) {
  struct Case {
    const char* failing;
    int backend;
    std::vector<std::string> expected;
  } cases[] = {
      {"probe",
       0,
       {"event bus start", "probe", std::string("error: ") + MSG_BACKEND_UNSUPPORTED, "event bus stop"}},
      {"window create",
       0,
       {"event bus start", "probe", "window create", std::string("error: ") + MSG_WINDOW_FAILED,
        "event bus stop"}},
      {"resolution check",
       1,
       {"event bus start", "probe", "window create", "resolution check", "display restore",
        std::string("error: ") + MSG_RESOLUTION_UNSUPPORTED, "window destroy", "event bus stop"}},
      {"display mode",
       0,
       {"event bus start", "probe", "window create", "display mode", "display restore",
        std::string("error: ") + MSG_WINDOW_FAILED, "window destroy", "event bus stop"}},
      {"render install",
       0,
       {"event bus start", "probe", "window create", "display mode", "place and show", "render install",
        "display restore", std::string("error: ") + MSG_CONTEXT_FAILED, "window destroy", "event bus stop"}},
  };
  for (const Case& c : cases) {
    platform_set_services(&FAKE_SERVICES);
    g_log.clear();
    g_fail = c.failing;
    StartupParams p = params(STARTUP_ALL, c.backend);
    EXPECT_EQ(platform_startup(&p), 0) << c.failing;
    size_t before = g_log.size();
    platform_shutdown();  // nothing to undo
    EXPECT_EQ(g_log.size(), before) << c.failing;
    EXPECT_EQ(g_log, c.expected) << c.failing;
  }
}

TEST_F(Startup, OnlyBackendOneChecksTheResolution) {
  StartupParams p = params(0, 2);
  ASSERT_EQ(platform_startup(&p), 1);
  EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "resolution check"), 0);
  platform_shutdown();
}

TEST(StartupMessages, ExactTexts) {
  EXPECT_STREQ(MSG_BACKEND_UNSUPPORTED,
               "Your system does not appear to support the rendering backend you have selected.");
  EXPECT_STREQ(MSG_WINDOW_FAILED,
               "Failed to create window, check to make sure display settings are supported by your monitor. "
               "If that fails, try again with windowed mode. Note: Some 3D accelerators do not support "
               "windowed mode. In that case, try adjusting the bitdepth of your desktop to a lower amount "
               "(for example 32 -> 16) / changing the resolution to something small, such as 640x480.");
  EXPECT_STREQ(MSG_RESOLUTION_UNSUPPORTED,
               "The renderer does not support your chosen resolution, please choose another resolution such "
               "as 640x480.");
  EXPECT_STREQ(MSG_CONTEXT_FAILED,
               "Failed to create the rendering context. This could be because your system doesn't support "
               "the chosen backend or due to incorrect settings. Double check your configuration and try "
               "selecting a small well known resolution to start such as 640x480 and 16 bit color on "
               "Windows. Ideally configure your desktop to use the same settings. Use fullscreen mode. Also "
               "ensure that you have the latest drivers installed.");
}
