#include "app/headless_input.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/event_bus.h"
#include "platform/keymap.h"

namespace {

TEST(HeadlessInput, BadLinesAreNamedByNumber) {
  struct Case {
    const char* text;
    int32_t line;  // 0: accepted
  };
  const Case cases[] = {
      {"0.5 key W down\n1 key W up\n", 0},
      {"# comment\n\n  \n0 key SPACE down\n0 button 2 down\n0 wheel -1\n0 key 120 up", 0},
      {"0.5 key W down\r\n0.6 key W up\r\n", 0},
      {"0.5 key w down\n", 1},
      {"0.5 key W down\n0.4 key W up\n", 2},
      {"0.5 key W\n", 1},
      {"0.5 key W sideways\n", 1},
      {"x key W down\n", 1},
      {"-1 key W down\n", 1},
      {"nan key W down\n", 1},
      {"inf key W down\n", 1},
      {"1 key 121 down\n", 1},
      {"1 key 0 down\n1 key 00 down\n", 2},  // the digit 0, then code 0
      {"1\n1 button 3 down\n", 1},
      {"1 button 1 down\n1 button 3 down\n", 2},
      {"1 wheel 0\n", 1},
      {"1 wheel 2\n", 1},
      {"1 wheel 1 extra\n", 1},
      {"1 key W down now\n", 1},
      {"1 jump\n", 1},
      {"# fine\n1 key W down\n\n2 key Ü down\n", 4},
  };
  for (const Case& c : cases) {
    HeadlessInput input;
    int32_t bad = -1;
    const int ok = headless_input_parse(c.text, &input, &bad);
    EXPECT_EQ(ok, c.line == 0 ? 1 : 0) << c.text;
    if (ok)
      headless_input_free(&input);
    else
      EXPECT_EQ(bad, c.line) << c.text;
  }
  HeadlessInput input;
  int32_t bad = 0;
  std::string long_line(300, ' ');
  long_line = "1 key W down\n" + long_line + "x\n";
  EXPECT_EQ(headless_input_parse(long_line.c_str(), &input, &bad), 0);
  EXPECT_EQ(bad, 2);
}

std::vector<std::vector<uint32_t>> g_seen;
void record(uint32_t event, const void* data) {
  const uint32_t* w = (const uint32_t*)data;
  if (event == EVENT_AXIS)
    g_seen.push_back({event, w[0], (uint32_t)(int32_t)((const EventAxis*)data)->value});
  else
    g_seen.push_back({event, w[0], w[1]});
}

TEST(HeadlessInput, EventsArePostedWhenDueAsTheWindowPostsThem) {
  event_bus_start();
  event_subscribe(record);
  g_seen.clear();
  HeadlessInput input;
  int32_t bad = 0;
  ASSERT_TRUE(
      headless_input_parse("0.5 key W down\n0.5 button 1 down\n1.0 wheel 1\n2 key W up\n", &input, &bad));
  headless_input_post(&input, 0.4);
  event_dispatch();
  EXPECT_TRUE(g_seen.empty());
  headless_input_post(&input, 1.0);
  event_dispatch();
  const uint32_t W = key_letter('W');
  const std::vector<std::vector<uint32_t>> want = {{EVENT_KEY, W, ACTION_PRESSED},
                                                   {EVENT_KEY, W, ACTION_HELD},
                                                   {EVENT_MOUSE_BUTTON, 1, ACTION_PRESSED},
                                                   {EVENT_MOUSE_BUTTON, 1, ACTION_HELD},
                                                   {EVENT_AXIS, 0, 1}};
  EXPECT_EQ(g_seen, want);
  g_seen.clear();
  headless_input_post(&input, 5);
  headless_input_post(&input, 6);
  event_dispatch();
  const std::vector<std::vector<uint32_t>> release = {{EVENT_KEY, W, ACTION_RELEASED}};
  EXPECT_EQ(g_seen, release) << "each event once";
  headless_input_free(&input);
  event_unsubscribe(record);
  event_bus_stop();
}

}  // namespace
