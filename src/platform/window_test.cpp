#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/event_bus.h"
#include "base/fatal.h"
#include "platform/clipboard.h"
#include "platform/display.h"
#include "platform/keymap.h"
#include "platform/quit.h"
#include "platform/window_proc.h"
#include "support/fake_window_system.h"

static std::string rect_text(Rect r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// --- events seen by a subscriber ---------------------------------------------------------

static std::vector<std::string> g_events;
static void record(uint32_t e, const void* d) {
  char line[64];
  switch (e) {
    case EVENT_KEY:
      snprintf(line, sizeof line, "key %u %u", ((const EventKey*)d)->key, ((const EventKey*)d)->action);
      break;
    case EVENT_MOUSE_BUTTON:
      snprintf(line, sizeof line, "button %u %u", ((const EventButton*)d)->button,
               ((const EventButton*)d)->action);
      break;
    case EVENT_AXIS:
      snprintf(line, sizeof line, "axis %u %+.1f", ((const EventAxis*)d)->axis, ((const EventAxis*)d)->value);
      break;
    case EVENT_TEXT:
      snprintf(line, sizeof line, "text %02X", *(const uint8_t*)d);
      break;
    default:
      snprintf(line, sizeof line, "event %u", e);
  }
  g_events.push_back(line);
}

static std::vector<std::string> g_suspends;
static const WindowRendererHooks HOOKS = {
    [](int w, int h) { g_suspends.push_back("resize " + std::to_string(w) + "x" + std::to_string(h)); },
    [](Window*, int flag) { g_suspends.push_back(flag ? "suspend" : "resume"); },
};

class WindowProc : public testing::Test {
 protected:
  FakeWindowSystem fake;
  Window window;
  void SetUp() override {
    fake_window_system_install(&fake);
    window_set_renderer_hooks(&HOOKS);
    event_bus_start();
    event_subscribe(record);
    g_events.clear();
    g_suspends.clear();
    ASSERT_EQ(window_create(&window, 640, 480, 0, 0, DISPLAY_WINDOWED, -1, 0, "t"), 1);
  }
  void TearDown() override {
    window_destroy(&window);
    event_bus_stop();
    window_set_renderer_hooks(nullptr);
    fake_window_system_install(nullptr);
  }
  std::vector<std::string> run(std::vector<WindowMessage> messages) {
    g_events.clear();
    for (const WindowMessage& m : messages) window_proc(&window, &m);
    event_dispatch();
    return g_events;
  }
};

static WindowMessage msg(uint32_t kind, uint32_t param = 0, int32_t code = 0) {
  WindowMessage m = {};
  m.kind = kind;
  m.param = param;
  m.code = code;
  return m;
}
static WindowMessage key_down(uint32_t scan, int ext = 0, int repeat = 0) {
  return msg(WMSG_KEY_DOWN, key_param_make(scan, ext, repeat));
}
static WindowMessage key_up(uint32_t scan, int ext = 0) {
  return msg(WMSG_KEY_UP, key_param_make(scan, ext, 0));
}

TEST_F(WindowProc, KeySequences) {
  struct Case {
    const char* name;
    std::vector<WindowMessage> messages;
    std::vector<std::string> events;
  } cases[] = {
      {"press and release W", {key_down(0x11), key_up(0x11)}, {"key 58 2", "key 58 1", "key 58 3"}},
      {"auto-repeat posts only action 4",
       {key_down(0x11), key_down(0x11, 0, 1), key_down(0x11, 0, 1), key_up(0x11)},
       {"key 58 2", "key 58 1", "key 58 4", "key 58 4", "key 58 3"}},
      {"release without a press still presses first", {key_up(0x1E)}, {"key 36 2", "key 36 1", "key 36 3"}},
      {"extended right Ctrl", {key_down(0x1D, 1), key_up(0x1D, 1)}, {"key 7 2", "key 7 1", "key 7 3"}},
      {"unknown scan code is ignored", {key_down(0x7F), key_up(0x7F)}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.messages), c.events) << c.name;
}

TEST_F(WindowProc, CharactersBecomeUtf8Bytes) {
  struct Case {
    const char* name;
    std::vector<WindowMessage> messages;
    std::vector<std::string> events;
  } cases[] = {
      {"ASCII", {msg(WMSG_CHAR, 'a', 1)}, {"text 61"}},
      {"two-byte", {msg(WMSG_CHAR, 0xE9, 1)}, {"text C3", "text A9"}},
      {"surrogate pair gives one four-byte sequence",
       {msg(WMSG_CHAR, 0xD83D, 1), msg(WMSG_CHAR, 0xDE00, 1)},
       {"text F0", "text 9F", "text 98", "text 80"}},
      {"lone low surrogate gives nothing", {msg(WMSG_CHAR, 0xDC00, 1)}, {}},
      {"repeat count repeats the whole sequence",
       {msg(WMSG_CHAR, 0x20AC, 2)},
       {"text E2", "text 82", "text AC", "text E2", "text 82", "text AC"}},
      {"UTF-8 text from the system",
       {[] {
         WindowMessage m = msg(WMSG_TEXT);
         memcpy(m.text, "\xC3\xA9z", 3);
         m.length = 3;
         return m;
       }()},
       {"text C3", "text A9", "text 7A"}},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.messages), c.events) << c.name;
}

TEST_F(WindowProc, ButtonsWheelAndCapture) {
  EXPECT_EQ(run({msg(WMSG_BUTTON_DOWN, 0), msg(WMSG_BUTTON_DOWN, 1)}),
            (std::vector<std::string>{"button 0 2", "button 0 1", "button 1 2", "button 1 1"}));
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "capture"), 1);
  // The capture is lost with two buttons held: left is released before right.
  EXPECT_EQ(run({msg(WMSG_KILL_FOCUS)}), (std::vector<std::string>{"button 0 3", "button 1 3"}));
  EXPECT_EQ(fake.calls.back(), "release capture");
  EXPECT_EQ(window.held_buttons, 0u);

  fake.calls.clear();
  run({msg(WMSG_BUTTON_DOWN, 2), msg(WMSG_BUTTON_UP, 2)});
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"capture", "release capture"}));

  EXPECT_EQ(run({msg(WMSG_WHEEL, 0, 120), msg(WMSG_WHEEL, 0, -240), msg(WMSG_WHEEL, 0, 0)}),
            (std::vector<std::string>{"axis 0 +1.0", "axis 0 -1.0"}));
}

TEST_F(WindowProc, ActivationAndCursorAreDeliveredAtOnce) {
  g_events.clear();
  WindowMessage a = msg(WMSG_ACTIVATE, 1);
  window_proc(&window, &a);  // no dispatch by the test: the window procedure dispatched
  EXPECT_EQ(g_events, (std::vector<std::string>{"event 7"}));
  WindowMessage c = msg(WMSG_SET_CURSOR, 1);
  window_proc(&window, &c);
  EXPECT_EQ(g_events.back(), "event 9");
  WindowMessage s = msg(WMSG_SIZE, 0);
  s.x = 800;
  s.y = 600;
  window_proc(&window, &s);
  s.param = 1;  // minimised: not passed on
  window_proc(&window, &s);
  EXPECT_EQ(g_suspends, (std::vector<std::string>{"resize 800x600"}));
}

TEST_F(WindowProc, FullScreenLosesAndRegainsTheForeground) {
  window_destroy(&window);
  fake.modes = {{640, 480, 32, 60}, {1280, 1024, 32, 60}};
  ASSERT_EQ(window_create(&window, 640, 480, 0, 0, DISPLAY_FULL_SCREEN, -1, 0, "t"), 1);
  ASSERT_EQ(window_set_display_mode(&window), 1);
  EXPECT_EQ(display_mode_state(), 1);
  fake.calls.clear();
  run({msg(WMSG_ACTIVATE_APP, 0)});
  EXPECT_EQ(display_mode_state(), 2);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"not topmost", "minimise", "desktop back"}));
  fake.calls.clear();
  fake.change_results = {false, false};  // re-applying fails: stays minimised in state 2
  run({msg(WMSG_ACTIVATE_APP, 1)});
  EXPECT_EQ(display_mode_state(), 2);
  fake.calls.clear();
  run({msg(WMSG_ACTIVATE_APP, 1)});
  EXPECT_EQ(display_mode_state(), 1);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"change 640x480x32@60 fields 3 ok", "topmost",
                                                  "rect 0,0,640,480", "restore"}));
  EXPECT_EQ(g_suspends, (std::vector<std::string>{"suspend", "resume"}));
}

TEST_F(WindowProc, BorderlessLeavesRoomForTheTaskBarInTheBackground) {
  window.display_mode = DISPLAY_BORDERLESS;
  fake.calls.clear();
  run({msg(WMSG_ACTIVATE_APP, 0)});
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"rect 0,0,1280,984"}));
  fake.calls.clear();
  run({msg(WMSG_ACTIVATE_APP, 1)});
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"rect 0,0,1280,1024"}));
  fake.work = fake.monitor;  // nothing to uncover: the window stays
  fake.calls.clear();
  run({msg(WMSG_ACTIVATE_APP, 0)});
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(WindowProc, BorderlessSettingsChangeCoversTheTaskBarOnlyWhileActive) {
  window.display_mode = DISPLAY_BORDERLESS;
  struct Case {
    bool active;
    std::vector<std::string> calls;
  } cases[] = {
      {true, {"rect 0,0,1280,1024"}},
      {false, {"rect 0,0,1280,984"}},
  };
  for (const Case& c : cases) {
    fake.active = c.active;
    fake.calls.clear();
    run({msg(WMSG_SETTINGS_CHANGE)});
    EXPECT_EQ(fake.calls, c.calls) << (c.active ? "active" : "inactive");
  }
  // Other modes leave the window alone.
  window.display_mode = DISPLAY_WINDOWED;
  fake.calls.clear();
  run({msg(WMSG_SETTINGS_CHANGE)});
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(WindowProc, UnreadableDesktopModeFallsBackToTheScreen) {
  fake.desktop_readable = false;
  struct Case {
    const char* name;
    DisplayMode screen, expected;
  } cases[] = {
      {"screen size, depth and refresh", {1600, 1200, 32, 75}, {1600, 1200, 32, 75}},
      {"screen size alone", {1600, 1200, 0, 0}, {1600, 1200, 0, 0}},
      {"nothing known", {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    fake.screen = c.screen;
    DisplayMode d = display_current_mode();
    EXPECT_EQ(
        std::vector<int>({d.width, d.height, d.bit_depth, d.refresh}),
        std::vector<int>({c.expected.width, c.expected.height, c.expected.bit_depth, c.expected.refresh}))
        << c.name;
  }

  // A full-screen start whose every mode change fails is a failure, not a silent success
  // at the desktop's resolution.
  window_destroy(&window);
  fake.screen = {1280, 1024, 32, 60};
  fake.modes = {{640, 480, 16, 75}};
  fake.change_results = std::vector<bool>(20, false);
  ASSERT_EQ(window_create(&window, 640, 480, 16, 75, DISPLAY_FULL_SCREEN, -1, 0, "t"), 1);
  EXPECT_EQ(window_set_display_mode(&window), 0);
  EXPECT_EQ(display_mode_state(), 0);
}

static FakeWindowSystem* g_dying_fake;
static void print_calls(const char* text) {
  fprintf(stderr, "sink %s after:", text);
  for (const std::string& call : g_dying_fake->calls) fprintf(stderr, " [%s]", call.c_str());
  fprintf(stderr, "\n");
}

// Full screen at 640 x 480, then a fatal end.
static void die_in_full_screen(void) {
  static FakeWindowSystem fake;
  fake.modes = {{640, 480, 32, 60}};
  fake_window_system_install(&fake);
  g_dying_fake = &fake;
  Window window;
  window_create(&window, 640, 480, 0, 0, DISPLAY_FULL_SCREEN, -1, 0, "t");
  window_set_display_mode(&window);
  fake.calls.clear();
  fatal_set_sink(print_calls);
  fatal_exit("Out of memory");
}

TEST(DisplayDeathTest, FatalEndPutsTheDesktopModeBackBeforeTheMessage) {
  EXPECT_EXIT(die_in_full_screen(), testing::ExitedWithCode(1),
              "sink Out of memory after: \\[desktop back\\]");
}

TEST_F(WindowProc, CloseRequestsQuit) {
  static int quit_code = -1;
  quit_set_hook([](int code) { quit_code = code; });
  run({msg(WMSG_CLOSE)});
  EXPECT_EQ(quit_code, 0);
  quit_set_hook(nullptr);
}

TEST(Utf16, NextCodePoint) {
  struct Case {
    std::vector<uint16_t> units;
    std::vector<uint32_t> code_points;
  } cases[] = {
      {{'a', 0xE9, 0}, {'a', 0xE9}},
      {{0xD83D, 0xDE00, 'x', 0}, {0x1F600, 'x'}},
      {{'a', 0xDC00, 'b', 0}, {'a'}},  // low surrogate first ends the text
      {{0xD800, 'b', 0}, {}},          // high surrogate without a low one
      {{0}, {}},
  };
  for (const Case& c : cases) {
    const uint16_t* p = c.units.data();
    std::vector<uint32_t> got;
    for (uint32_t cp; (cp = utf16_next(&p)) != 0;) got.push_back(cp);
    EXPECT_EQ(got, c.code_points);
  }
}

TEST(Clipboard, PostsAtMost4096BytesOfWholeCharactersWithoutControls) {
  event_bus_start();
  static size_t bytes;
  static std::string text;
  bytes = 0;
  text.clear();
  event_subscribe([](uint32_t, const void* d) {
    bytes++;
    text.push_back(*(const char*)d);
  });
  clipboard_post_text("a\tb\r\nc\x7F\xC3\xA9");
  event_dispatch();
  EXPECT_EQ(text, "abc\xC3\xA9");
  text.clear();
  bytes = 0;
  std::string big(4095, 'x');
  big += "\xE2\x82\xAC";  // would end at byte 4098: left out whole
  clipboard_post_text(big.c_str());
  event_dispatch();
  EXPECT_EQ(bytes, 4095u);
  event_bus_stop();
}

// --- placement and display modes -------------------------------------------------------

TEST(WindowPlacement, WindowedRectangle) {
  struct Case {
    const char* name;
    int width, height, dpi;
    Rect frame, work, expected;
  } cases[] = {
      {"centred in the work area", 640, 480, 96, {4, 24, 4, 4}, {0, 0, 1280, 1000}, {316, 246, 964, 754}},
      {"larger than the work area is clamped to it",
       2000,
       1500,
       96,
       {0, 0, 0, 0},
       {10, 20, 1290, 1020},
       {10, 20, 1290, 1020}},
      {"scaled by DPI", 640, 480, 144, {0, 0, 0, 0}, {0, 0, 1920, 1080}, {480, 180, 1440, 900}},
  };
  for (const Case& c : cases) {
    Rect r = window_windowed_rect(c.width, c.height, c.dpi, c.frame, c.work);
    EXPECT_EQ(rect_text(r), rect_text(c.expected)) << c.name;
  }
  int w, h;
  window_minimum_client_size(144, &w, &h);
  EXPECT_EQ(w, 480);
  EXPECT_EQ(h, 300);
}

TEST_F(WindowProc, CreateClampsTheSizeAndPlacesWindowed) {
  window_destroy(&window);
  ASSERT_EQ(window_create(&window, 100, 50, 0, 0, DISPLAY_WINDOWED, -1, 0, "t"), 1);
  EXPECT_EQ(window.width, 320);
  EXPECT_EQ(window.height, 200);
  fake.calls.clear();
  window_place_and_show(&window);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"min 320x200", "rect 480,392,800,592", "show"}));
}

TEST(DisplayModes, MatchingPasses) {
  std::vector<DisplayMode> modes = {{640, 480, 16, 60}, {640, 480, 32, 75}, {800, 600, 32, 60}};
  DisplayMode desktop = {1280, 1024, 32, 75};
  struct Case {
    const char* name;
    DisplayMode request;
    int ok;
    DisplayMode result;
  } cases[] = {
      {"exact", {640, 480, 16, 60}, 1, {640, 480, 16, 60}},
      {"any depth and refresh keep 0", {640, 480, 0, 1}, 1, {640, 480, 0, 1}},
      {"second pass takes the desktop's depth and refresh", {640, 480, 24, 85}, 1, {640, 480, 32, 75}},
      {"third pass: size only, depth and refresh become 0", {800, 600, 16, 85}, 1, {800, 600, 0, 0}},
      {"no mode of that size", {1024, 768, 0, 0}, 0, {1024, 768, 0, 0}},
  };
  for (const Case& c : cases) {
    DisplayMode r = c.request;
    EXPECT_EQ(display_match_mode(modes.data(), (int)modes.size(), desktop, &r), c.ok) << c.name;
    EXPECT_EQ(r.bit_depth, c.result.bit_depth) << c.name;
    EXPECT_EQ(r.refresh, c.result.refresh) << c.name;
  }
}

TEST_F(WindowProc, SetDisplayModeRetryLadder) {
  window_destroy(&window);
  fake.modes = {{640, 480, 16, 60}, {640, 480, 32, 75}};
  fake.desktop = {1280, 1024, 32, 75};
  struct Case {
    const char* name;
    DisplayMode request;
    std::vector<bool> results;
    int ok;
    std::vector<uint32_t> fields;
  } cases[] = {
      {"first try", {640, 480, 16, 60}, {true}, 1, {15}},
      {"without refresh, then depth alone, then size",
       {640, 480, 16, 60},
       {false, false, false, true},
       1,
       {15, 7, 4, 3}},
      {"then the desktop's depth and refresh",
       {640, 480, 16, 60},
       {false, false, false, false, true},
       1,
       {15, 7, 4, 3, 15}},
      {"everything fails: desktop restored, failure",
       {640, 480, 16, 60},
       std::vector<bool>(20, false),
       0,
       {15, 7, 4, 3, 15, 7, 4, 3, 3, 3}},
  };
  for (const Case& c : cases) {
    display_restore();
    ASSERT_EQ(window_create(&window, c.request.width, c.request.height, c.request.bit_depth,
                            c.request.refresh, DISPLAY_FULL_SCREEN, -1, 0, "t"),
              1);
    fake.change_results = c.results;
    fake.change_fields.clear();
    EXPECT_EQ(window_set_display_mode(&window), c.ok) << c.name;
    EXPECT_EQ(fake.change_fields, c.fields) << c.name;
    EXPECT_EQ(display_mode_state(), c.ok) << c.name;
    window_destroy(&window);
  }
  // Windowed and borderless windows never change the mode.
  ASSERT_EQ(window_create(&window, 640, 480, 0, 0, DISPLAY_BORDERLESS, -1, 0, "t"), 1);
  fake.change_fields.clear();
  EXPECT_EQ(window_set_display_mode(&window), 1);
  EXPECT_TRUE(fake.change_fields.empty());
}
