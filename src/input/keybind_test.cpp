#include "input/keybind.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "assets/locale.h"
#include "base/event_bus.h"
#include "base/ini.h"
#include "input/input.h"
#include "platform/keymap.h"
#include "settings/settings.h"
#include "support/test_files.h"

namespace {

void post_key(uint32_t code, uint32_t action) {
  EventKey k = {code, action};
  event_post_copy(EVENT_KEY, &k, sizeof k);
}
void press(uint32_t code) {
  post_key(code, ACTION_PRESSED);
  post_key(code, ACTION_HELD);
}

struct KeybindTest : ::testing::Test {
  void SetUp() override {
    event_bus_start();
    input_start();
    keybind_init();
    keybind_start();
  }
  void TearDown() override {
    input_set_text_focus_query(nullptr);
    keybind_shutdown();
    input_stop();
    event_bus_stop();
  }
  void frame() {
    event_dispatch();
    input_update();
    keybind_frame();
  }
  void set_row(int index, int32_t key, int32_t mods, int32_t key2 = 0, int32_t mods2 = 0) {
    KeyBinding table[KEYBIND_COUNT];
    keybind_get_table(table);
    table[index] = KeyBinding{index, key, mods, key2, mods2};
    keybind_set_table(table);
  }
};

const uint32_t W = key_letter('W'), X = key_letter('X');
enum { FORWARD = 0, MENU = 13, SCREENSHOT = 31, MACRO_1 = 34, MACRO_2 = 35 };

// The indices the game reads by name point at the rows of those names.
TEST(KeybindDefs, NamedIndicesMatchTheirRows) {
  const struct {
    int index;
    const char* name;
  } named[] = {
      {KB_MOVE_FORWARD, "KB_MOVE_FORWARD"},
      {KB_MOVE_BACKWARD, "KB_MOVE_BACKWARD"},
      {KB_TURN_LEFT, "KB_TURN_LEFT"},
      {KB_TURN_RIGHT, "KB_TURN_RIGHT"},
      {KB_STRAFE_LEFT, "KB_STRAFE_LEFT"},
      {KB_STRAFE_RIGHT, "KB_STRAFE_RIGHT"},
      {KB_PITCH_UP, "KB_PITCH_UP"},
      {KB_PITCH_DOWN, "KB_PITCH_DOWN"},
      {KB_JUMP, "KB_JUMP"},
      {KB_AUTO_RUN, "KB_AUTO_RUN"},
      {KB_TOGGLE_RUN, "KB_TOGGLE_RUN"},
      {KB_ZOOM_IN, "KB_ZOOM_IN"},
      {KB_ZOOM_OUT, "KB_ZOOM_OUT"},
  };
  for (const auto& n : named) EXPECT_STREQ(keybind_def(n.index)->name, n.name);
}

TEST(KeybindDefs, TableHoldsEveryBindingWithItsDefaults) {
  EXPECT_STREQ(keybind_def(0)->name, "KB_MOVE_FORWARD");
  EXPECT_EQ(keybind_def(0)->primary_key, 58);
  EXPECT_EQ(keybind_def(0)->secondary_key, 18);
  EXPECT_EQ(keybind_def(27)->primary_key, 34);
  EXPECT_STREQ(keybind_def(33)->name, "KB_CONSIDER");
  EXPECT_EQ(keybind_def(33)->primary_key, 38);
  EXPECT_STREQ(keybind_def(45)->name, "KB_MACRO_12");
  EXPECT_EQ(keybind_def(46), nullptr);
  int typing_safe = 0;
  for (uint32_t code = 0; code < 121; code++) typing_safe += keybind_typing_safe(code);
  EXPECT_EQ(typing_safe, 40);
}

TEST_F(KeybindTest, HeldKeyTriggersOnceStaysActiveEndsInItsReleaseFrame) {
  press(W);
  std::vector<int> states;
  for (int i = 0; i < 4; i++) {
    if (i == 3) post_key(W, ACTION_RELEASED);
    frame();
    states.push_back(binding_state(FORWARD));
  }
  frame();
  states.push_back(binding_state(FORWARD));
  EXPECT_EQ(states, (std::vector<int>{KEYBIND_TRIGGERED, KEYBIND_ACTIVE, KEYBIND_ACTIVE, KEYBIND_ENDED,
                                      KEYBIND_IDLE}));
  EXPECT_EQ(binding_triggered(-1) + binding_active(46) + binding_ended(1000), 0);
}

TEST_F(KeybindTest, MostSpecificCombinationWinsAndTiesGoLow) {
  struct Case {
    const char* name;
    bool ctrl;
    int expect;
  } cases[] = {{"Ctrl+X picks the Ctrl binding", true, MACRO_2},
               {"X alone picks the plain one", false, MACRO_1}};
  for (const Case& c : cases) {
    keybind_reset();
    set_row(MACRO_1, X, 0);
    set_row(MACRO_2, X, KEYBIND_MOD_CTRL);
    if (c.ctrl) press(KEY_CTRL);
    press(X);
    frame();
    EXPECT_TRUE(binding_triggered(c.expect)) << c.name;
    EXPECT_EQ(binding_triggered(MACRO_1) + binding_triggered(MACRO_2), 1) << c.name;
    post_key(X, ACTION_RELEASED);
    if (c.ctrl) post_key(KEY_CTRL, ACTION_RELEASED);
    for (int i = 0; i < 3; i++) frame();
  }
  // Two bindings on one combination: the lower index.
  set_row(MACRO_1, X, KEYBIND_MOD_SHIFT);
  set_row(MACRO_2, X, KEYBIND_MOD_SHIFT);
  press(KEY_SHIFT);
  press(X);
  frame();
  EXPECT_TRUE(binding_triggered(MACRO_1));
  EXPECT_FALSE(binding_triggered(MACRO_2));
}

TEST_F(KeybindTest, FocusedTextFieldLetsOnlyTypingSafeKeysThrough) {
  input_set_text_focus_query([] { return 1; });
  set_row(MACRO_1, KEY_F1, 0);
  press(W);
  press(KEY_F1);
  press(KEY_ESCAPE);
  frame();
  EXPECT_FALSE(binding_triggered(FORWARD));
  EXPECT_TRUE(binding_triggered(MACRO_1));
  EXPECT_TRUE(binding_triggered(MENU));
}

TEST_F(KeybindTest, KeyZeroNeverTriggersAndAStuckTriggerEnds) {
  post_key(0, ACTION_PRESSED);
  frame();
  ASSERT_TRUE(key_pressed(0));
  for (int i = MACRO_1; i < KEYBIND_COUNT; i++) EXPECT_FALSE(binding_triggered(i)) << i;

  press(W);
  frame();
  ASSERT_TRUE(binding_triggered(FORWARD));
  input_reset();  // the key is no longer down, but nobody told the bindings
  frame();
  EXPECT_EQ(binding_state(FORWARD), KEYBIND_ENDED);
  frame();
  EXPECT_EQ(binding_state(FORWARD), KEYBIND_IDLE);
}

TEST_F(KeybindTest, DeactivationAndDisableStopBindings) {
  press(W);
  frame();
  event_post_copy(EVENT_DEACTIVATE, nullptr, 0);
  event_dispatch();
  EXPECT_EQ(binding_state(FORWARD), KEYBIND_IDLE);
  keybind_set_enabled(0);
  press(KEY_ESCAPE);
  frame();
  EXPECT_FALSE(binding_triggered(MENU));
  keybind_set_enabled(1);
}

// Labels as the options screens show them, read from the demo locale.
TEST(KeybindLabels, KeyNamesAndModifiersFromTheDemoLocale) {
  const std::string assets = std::string(OSTREVANE_BINARY_DIR) + "/assets";
  locale_load(assets.c_str(), 1);
  ASSERT_TRUE(locale_is_loaded());
  const struct {
    int32_t key, mods;
    int size;
    const char* label;
  } cases[] = {
      {(int32_t)key_letter('W'), 0, 32, "W"},
      {(int32_t)KEY_F1, KEYBIND_MOD_CTRL, 32, "F1+Ctrl"},
      {(int32_t)key_digit(1), KEYBIND_MOD_MAX, 32, "1+Alt+Ctrl+Shift"},
      {(int32_t)KEY_PAGE_UP, KEYBIND_MOD_ALT | KEYBIND_MOD_SHIFT, 32, "Page Up+Alt+Shift"},
      {113, KEYBIND_MOD_SHIFT, 32, "\\+Shift"},
      {(int32_t)KEY_NONE, 0, 32, "None"},
      {(int32_t)KEY_ESCAPE, KEYBIND_MOD_CTRL, 12, "Escape+Ctrl"},  // exactly fits
      {(int32_t)KEY_ESCAPE, KEYBIND_MOD_CTRL, 11, ""},             // one short: nothing
  };
  for (const auto& c : cases) {
    char out[32];
    memset(out, 'z', sizeof out);
    binding_label_text(c.key, c.mods, out, c.size);
    EXPECT_STREQ(out, c.label) << c.key << "," << c.mods << " in " << c.size;
  }
  // Every code and every binding has its own non-empty text.
  std::set<std::string> keys, bindings;
  for (int32_t code = 0; code < INPUT_KEY_COUNT; code++) {
    char out[64];
    binding_label_text(code, 0, out, sizeof out);
    EXPECT_NE(out[0], 0) << code;
    keys.insert(out);
  }
  EXPECT_EQ(keys.size(), (size_t)INPUT_KEY_COUNT);
  for (int i = 0; i < KEYBIND_COUNT; i++) bindings.insert(locale_string(name_hash(keybind_def(i)->name)));
  EXPECT_EQ(bindings.count(""), 0u);
  EXPECT_EQ(bindings.size(), (size_t)KEYBIND_COUNT);
  locale_unload();
}

// Profile texts through a real profile file.
struct KeybindProfileTest : ::testing::Test {
  TestTempDir dir{"keybind"};
  std::string path = dir / "profile.ini";
  void SetUp() override { profile_load(path.c_str()); }
  void TearDown() override {
    keybind_shutdown();
    settings_close();
  }
};

TEST_F(KeybindProfileTest, LoadClampsAndKeepsDefaultsForMalformedTexts) {
  struct Case {
    const char* name;
    const char* text;
    KeyBinding expect;
  } cases[] = {
      {"key 87 with Ctrl, no secondary", "87,2,0,0", {0, 87, 2, 0, 0}},
      {"Ctrl+Shift stays Ctrl+Shift", "36,6,0,0", {0, 36, 6, 0, 0}},
      {"out of range clamps", "500,9,-4,-1", {0, 120, 7, 0, 0}},
      {"three fields keep defaults", "1,2,3", {0, 58, 0, 18, 0}},
      {"five fields keep defaults", "1,2,3,4,5", {0, 58, 0, 18, 0}},
      {"garbage reads as zeros", "x,,9z,", {0, 0, 0, 9, 0}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(set_binding_text("KB_MOVE_FORWARD", c.text), 1) << c.name;
    keybind_load();
    KeyBinding t[KEYBIND_COUNT];
    keybind_get_table(t);
    EXPECT_EQ(t[0].primary_key, c.expect.primary_key) << c.name;
    EXPECT_EQ(t[0].primary_mods, c.expect.primary_mods) << c.name;
    EXPECT_EQ(t[0].secondary_key, c.expect.secondary_key) << c.name;
    EXPECT_EQ(t[0].secondary_mods, c.expect.secondary_mods) << c.name;
  }
}

TEST_F(KeybindProfileTest, SavedBindingsReadBackThroughTheIniReaderAndCrudini) {
  KeyBinding t[KEYBIND_COUNT];
  keybind_get_table(t);
  t[5] = {5, 87, 6, 120, 1};
  keybind_set_table(t);
  keybind_save();
  ASSERT_EQ(profile_save(), 1);
  EXPECT_STREQ(binding_text("KB_STRAFE_RIGHT"), "87,6,120,1");
  keybind_load();
  KeyBinding back[KEYBIND_COUNT];
  keybind_get_table(back);
  EXPECT_EQ(memcmp(t, back, sizeof t), 0);

  IniDocument* doc = ini_load(path.c_str());
  ASSERT_NE(doc, nullptr);
  const char* text = nullptr;
  ini_get_string(doc, "Keybinding", "KB_STRAFE_RIGHT", &text, "");
  EXPECT_STREQ(text, "87,6,120,1");
  ini_get_string(doc, "Keybinding", "KB_MACRO_12", &text, "");
  EXPECT_STREQ(text, "0,0,0,0");
  ini_destroy(doc);

  std::string command = "crudini --get '" + path + "' Keybinding KB_STRAFE_RIGHT 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[64] = {0};
  char* got = fgets(line, sizeof line, pipe);
  int status = pclose(pipe);
  ASSERT_EQ(status, 0) << line;
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(line, "87,6,120,1\n");
}

}  // namespace
