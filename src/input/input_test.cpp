#include "input/input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/event_bus.h"
#include "platform/keymap.h"

namespace {

// One frame's input: the events of one message drain, then the frame's update.
struct Ev {
  uint32_t event;
  uint32_t a;
  float value;  // axis value; key/button action in `b`
  uint32_t b;
};
Ev key(uint32_t code, uint32_t action) { return {EVENT_KEY, code, 0, action}; }
Ev button(uint32_t b, uint32_t action) { return {EVENT_MOUSE_BUTTON, b, 0, action}; }
Ev axis(uint32_t a, float v) { return {EVENT_AXIS, a, v, 0}; }
Ev text(uint8_t byte) { return {EVENT_TEXT, byte, 0, 0}; }
Ev deactivate() { return {EVENT_DEACTIVATE, 0, 0, 0}; }

void post(const Ev& e) {
  switch (e.event) {
    case EVENT_KEY: {
      EventKey k = {e.a, e.b};
      event_post_copy(EVENT_KEY, &k, sizeof k);
      break;
    }
    case EVENT_MOUSE_BUTTON: {
      EventButton k = {e.a, e.b};
      event_post_copy(EVENT_MOUSE_BUTTON, &k, sizeof k);
      break;
    }
    case EVENT_AXIS: {
      EventAxis k = {e.a, e.value};
      event_post_copy(EVENT_AXIS, &k, sizeof k);
      break;
    }
    case EVENT_TEXT: {
      uint8_t byte = (uint8_t)e.a;
      event_post_copy(EVENT_TEXT, &byte, 1);
      break;
    }
    default:
      event_post_copy(e.event, nullptr, 0);
  }
}

int g_pastes;

struct InputTest : ::testing::Test {
  void SetUp() override {
    event_bus_start();
    input_start();
    g_pastes = 0;
    input_set_paste([] { g_pastes++; });
  }
  void TearDown() override {
    input_set_paste(nullptr);
    input_stop();
    event_bus_stop();
  }
  // Drains the events, then runs the frame's update.
  void frame(const std::vector<Ev>& events = {}) {
    for (const Ev& e : events) post(e);
    event_dispatch();
    input_update();
  }
};

const uint32_t W = key_letter('W');
const uint32_t V = key_letter('V');

TEST_F(InputTest, KeyStatesFollowFrameScripts) {
  // Each row: the events of each drain, and W's state after each frame.
  struct Case {
    const char* name;
    std::vector<std::vector<Ev>> drains;
    std::vector<int> states;
  } cases[] = {
      {"press and release in one drain take three frames",
       {{key(W, ACTION_PRESSED), key(W, ACTION_HELD), key(W, ACTION_RELEASED)}, {}, {}, {}},
       {2, 1, 3, 3}},
      {"held after a press frame, released in its own frame",
       {{key(W, ACTION_PRESSED), key(W, ACTION_HELD)}, {}, {}, {key(W, ACTION_RELEASED)}, {}},
       {2, 1, 1, 3, 3}},
      {"release without hold is dropped",
       {{key(W, ACTION_PRESSED)}, {key(W, ACTION_RELEASED)}, {}},
       {2, 2, 2}},
      {"deactivation clears a held key and no release follows",
       {{key(W, ACTION_PRESSED), key(W, ACTION_HELD)}, {}, {deactivate()}, {key(W, ACTION_RELEASED)}},
       {2, 1, 0, 0}},
      {"codes out of range are dropped", {{key(121, ACTION_PRESSED), key(0xFFFFFFFF, ACTION_PRESSED)}}, {0}},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    for (size_t i = 0; i < c.drains.size(); i++) {
      frame(c.drains[i]);
      EXPECT_EQ(key_state(W), c.states[i]) << c.name << " frame " << i;
    }
  }
}

TEST_F(InputTest, QueriesAnswerOnlyInTheFrameOfTheChange) {
  frame({key(W, ACTION_PRESSED), key(W, ACTION_HELD), key(W, ACTION_RELEASED)});
  EXPECT_TRUE(key_pressed(W) && key_down(W) && !key_released(W));
  frame();
  EXPECT_TRUE(!key_pressed(W) && key_down(W) && !key_released(W));
  frame();
  EXPECT_TRUE(!key_pressed(W) && !key_down(W) && key_released(W));
  frame();
  EXPECT_TRUE(!key_pressed(W) && !key_down(W) && !key_released(W));
  EXPECT_EQ(key_pressed(121), 0);
  EXPECT_EQ(key_down(0xFFFFFFFF), 0);
}

TEST_F(InputTest, RepeatIsNotAPress) {
  frame({key(W, ACTION_PRESSED), key(W, ACTION_HELD)});
  frame();
  frame({key(W, ACTION_REPEAT)});
  EXPECT_TRUE(key_pressed_or_repeated(W));
  EXPECT_FALSE(key_pressed(W));
  EXPECT_EQ(key_state(W), 1);
  frame();
  EXPECT_FALSE(key_pressed_or_repeated(W));
}

TEST_F(InputTest, ButtonsFollowTheKeyRulesAndClearKeepsTheStamp) {
  frame({button(0, ACTION_PRESSED), button(0, ACTION_HELD), button(0, ACTION_RELEASED),
         button(3, ACTION_PRESSED)});
  EXPECT_TRUE(button_pressed(0) && button_down(0));
  EXPECT_FALSE(button_pressed(3));
  button_clear(0);
  EXPECT_FALSE(button_pressed(0) || button_down(0));
  // The held event was stamped away by the press; after the clear, the held action finds
  // the button up and is dropped, and so is the release.
  frame();
  EXPECT_EQ(button_state(0), 0);
  frame({button(1, ACTION_PRESSED), button(1, ACTION_HELD)});
  frame();
  frame({button(1, ACTION_RELEASED)});
  EXPECT_TRUE(button_released(1));
}

TEST_F(InputTest, WheelGivesOneNotchPerFrameAndCapsTheWaitingOnes) {
  frame({axis(0, 120.0f), axis(0, -3.0f)});
  EXPECT_EQ(axis_value(0), 1.0f);
  frame();
  EXPECT_EQ(axis_value(0), -1.0f);
  frame();
  EXPECT_EQ(axis_value(0), 0.0f);

  std::vector<Ev> burst(40, axis(0, 1.0f));
  frame(burst);
  int notches = 1;
  for (int i = 0; i < 50; i++) {
    frame();
    if (axis_value(0) != 0.0f) notches++;
  }
  EXPECT_EQ(notches, INPUT_WHEEL_WAITING_MAX);
}

TEST_F(InputTest, MotionAddsUpWithinAFrame) {
  frame({axis(1, -3.0f), axis(1, -7.0f), axis(2, 2.5f), axis(2, 0.5f), axis(7, 1.0f)});
  EXPECT_EQ(axis_value(1), -10.0f);
  EXPECT_EQ(axis_value(2), 3.0f);
  frame({axis(1, 4.0f)});
  EXPECT_EQ(axis_value(1), 4.0f);
  EXPECT_EQ(axis_value(2), 0.0f);
  frame({axis(1, std::numeric_limits<float>::quiet_NaN())});
  EXPECT_EQ(axis_value(1), 0.0f);
}

TEST_F(InputTest, CtrlVPastesOncePerPressOfV) {
  const uint32_t ctrl = KEY_CTRL;
  frame({key(ctrl, ACTION_PRESSED), key(ctrl, ACTION_HELD), key(V, ACTION_PRESSED), key(V, ACTION_HELD)});
  EXPECT_EQ(g_pastes, 1) << "Ctrl pressed in the same frame as V";
  frame({key(V, ACTION_REPEAT)});
  frame();
  EXPECT_EQ(g_pastes, 1) << "holding or repeating V does not paste again";
  frame({key(V, ACTION_RELEASED)});
  frame({key(V, ACTION_PRESSED), key(V, ACTION_HELD)});
  EXPECT_EQ(g_pastes, 2);
  frame({key(V, ACTION_RELEASED), key(ctrl, ACTION_RELEASED)});
  frame();
  frame({key(V, ACTION_PRESSED)});
  EXPECT_EQ(g_pastes, 2) << "V alone";
}

TEST_F(InputTest, TextArrivesTheFrameAfterAndSkipsInvalidBytes) {
  std::string typed = "a\xC3\xA9";
  std::vector<Ev> drain;
  for (char c : typed) drain.push_back(text((uint8_t)c));
  drain.push_back(text(0xFF));
  drain.push_back(text(0x80));
  drain.push_back(text('z'));
  frame(drain);
  EXPECT_EQ(text_next_char(), (uint32_t)'a');
  EXPECT_EQ(text_next_char(), 0xE9u);
  EXPECT_EQ(text_next_char(), (uint32_t)'z');
  EXPECT_EQ(text_next_char(), 0u);
  EXPECT_EQ(text_next_char(), 0u);
  frame();
  EXPECT_EQ(text_next_char(), 0u);
}

TEST_F(InputTest, ArenaStaysBoundedWhileEventsKeepWaiting) {
  // Every frame brings a whole press for each key, faster than one change per frame.
  std::vector<Ev> many;
  for (uint32_t k = 1; k <= 100; k++) {
    many.push_back(key(k, ACTION_PRESSED));
    many.push_back(key(k, ACTION_HELD));
    many.push_back(key(k, ACTION_RELEASED));
  }
  uint64_t most = 0;
  for (int i = 0; i < 200; i++) {
    frame(many);
    if (input_arena_reserved() > most) most = input_arena_reserved();
  }
  EXPECT_LT(most, 64u * 1024u);
  for (int i = 0; i < 600; i++) frame();
  EXPECT_LE(input_arena_reserved(), most);
  EXPECT_EQ(key_state(50), 3) << "the waiting changes were all applied in order";
}

TEST(InputIdle, NothingHappensBeforeStart) {
  input_update();
  input_on_event(EVENT_DEACTIVATE, nullptr);
  EventKey k = {1, ACTION_PRESSED};
  input_on_event(EVENT_KEY, &k);
  input_update();
  EXPECT_EQ(key_state(1), 0);
  EXPECT_EQ(text_next_char(), 0u);
  EXPECT_EQ(axis_value(0), 0.0f);
  EXPECT_EQ(input_text_focused(), 0);
  input_set_text_focus_query([] { return 1; });
  EXPECT_EQ(input_text_focused(), 1);
  input_set_text_focus_query(nullptr);
}

}  // namespace
