#include "ui/chat_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/chat_testing.h"

namespace {

TEST(ChatLayout, WidthsFollowTheHalfWidthAndLinesAreClamped) {
  struct Edge {
    int32_t half;
    int32_t main_width, second_width;
  } edges[] = {{320, 280, 280}, {321, 280, 280}, {322, 280, 280}, {323, 281, 281}, {442, 400, 400},
               {443, 401, 400}, {810, 768, 400}, {811, 768, 400}, {2000, 768, 400}};
  for (const Edge& e : edges) {
    ChatLayout l;
    for (int32_t odd = 0; odd < 2; odd++) {  // odd widths halve downwards
      chat_layout(e.half * 2 + odd, 8, &l);
      EXPECT_EQ(l.main_log.width, e.main_width) << "h = " << e.half;
      EXPECT_EQ(l.second_log.width, e.second_width) << "h = " << e.half;
    }
  }
  struct Lines {
    int32_t setting, lines;
  } lines[] = {{0, 5}, {4, 5}, {5, 5}, {11, 11}, {16, 16}, {17, 16}, {-3, 5}};
  for (const Lines& c : lines) {
    ChatLayout l;
    chat_layout(1024, c.setting, &l);
    EXPECT_EQ(l.lines, c.lines) << c.setting;
    EXPECT_EQ(l.main_log.height, 15 * c.lines);
    EXPECT_EQ(l.second_log.height, 15 * c.lines);
  }
  ChatLayout l;
  chat_layout(1024, 8, &l);  // main width 470
  EXPECT_EQ(l.main_log.x, 34);
  EXPECT_EQ(l.main_log.y, 87);
  EXPECT_EQ(l.second_log.x, -34);
  EXPECT_EQ(l.input.x, 35);
  EXPECT_EQ(l.input.y, 64);
  EXPECT_EQ(l.input.width, 470 * 3 / 4 - 10);
  EXPECT_EQ(l.input.height, 15);
  EXPECT_EQ(l.input_box.x, 30);
  EXPECT_EQ(l.input_box.y, 58);
  EXPECT_EQ(l.input_box.width, 470 * 3 / 4);
  EXPECT_EQ(l.input_box.height, 24);
}

struct Sounds {
  static inline int count = 0;
};

TEST(ChatScroll, ButtonsMoveTheirLogAndTheFractionClamps) {
  chat_world_reset();
  Sounds::count = 0;
  chat_world()->ui_sound = [](uint32_t key) {
    EXPECT_EQ(key, LOCALE_KEY_CHAT_SCROLL_SOUND);
    Sounds::count++;
    return 1;
  };
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  chat_log_clear(chat_log(CHAT_LOG_SECOND));
  const uint32_t main_older = chat_scroll_button_id(CHAT_LOG_MAIN, CHAT_SCROLL_OLDER);
  const uint32_t main_newer = chat_scroll_button_id(CHAT_LOG_MAIN, CHAT_SCROLL_NEWER);
  const uint32_t main_newest = chat_scroll_button_id(CHAT_LOG_MAIN, 0);
  const uint32_t second_older = chat_scroll_button_id(CHAT_LOG_SECOND, CHAT_SCROLL_OLDER);
  EXPECT_EQ(main_older, 0x05u);
  EXPECT_EQ(main_newer, 0x09u);
  EXPECT_EQ(main_newest, 0x01u);
  EXPECT_EQ(second_older, 0x04u);
  struct Step {
    uint32_t button;
    int32_t main, second;
  } steps[] = {
      {main_newer, 0, 0}, {main_older, 1, 0}, {main_older, 2, 0},  {second_older, 2, 1},
      {main_newer, 1, 1}, {main_older, 2, 1}, {main_newest, 0, 1},
  };
  for (const Step& s : steps) {
    chat_scroll_click(s.button);
    EXPECT_EQ(chat_log(CHAT_LOG_MAIN)->scroll, s.main);
    EXPECT_EQ(chat_log(CHAT_LOG_SECOND)->scroll, s.second);
  }
  EXPECT_EQ(Sounds::count, 7);

  struct Fraction {
    int32_t counter;
    float content, window, line;
    float fraction;
    int32_t clamped;
  } fractions[] = {
      {2, 200, 120, 15, 2.0f / 5.0f, 2},  // 80 / 15 = 5.33: 5 lines hidden
      {9, 200, 120, 15, 1.0f, 5},         // clamped to the hidden lines
      {3, 100, 120, 15, 0.0f, 0},         // nothing hidden: fraction 0
      {3, 127.5f, 120, 15, 1.0f, 1},      // half a line rounds to one
      {3, 120, 120, 0, 0.0f, 0},          // no line height
  };
  for (const Fraction& f : fractions) {
    chat_log(CHAT_LOG_SECOND)->scroll = f.counter;
    EXPECT_FLOAT_EQ(chat_scroll_fraction(CHAT_LOG_SECOND, f.content, f.window, f.line), f.fraction)
        << f.content;
    EXPECT_EQ(chat_log(CHAT_LOG_SECOND)->scroll, f.clamped) << f.content;
  }
  chat_world_reset();
}

TEST(ChatScroll, CaretShowsInTheFirstThirdOfEachPeriod) {
  struct Case {
    float t;
    int32_t visible;
  } cases[] = {{0, 1}, {0.2f, 1}, {0.23f, 0}, {0.6f, 0}, {0.67f, 1}, {0.9f, 0}, {1.34f, 1}};
  for (const Case& c : cases) EXPECT_EQ(chat_caret_visible(c.t), c.visible) << c.t;
}

}  // namespace
