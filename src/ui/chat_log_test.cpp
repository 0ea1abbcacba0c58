#include "ui/chat_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/chat_testing.h"

namespace {

std::vector<std::string> main_texts() {
  std::vector<std::string> texts;
  for (const ChatShown& s : chat_main_lines()) texts.push_back(s.text);
  return texts;
}

class ChatLogTest : public testing::Test {
 protected:
  void SetUp() override { chat_log_clear(chat_log(CHAT_LOG_MAIN)); }
};

TEST_F(ChatLogTest, TextSplitsAtLineFeedsAndCharacterBoundaries) {
  const std::string a255(255, 'a'), a254(254, 'a'), a253(253, 'a');
  const std::string bad(300, '\x80');
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"300 ASCII characters: 256 then 44",
       std::string(300, 'x'),
       {std::string(256, 'x'), std::string(44, 'x')}},
      {"exactly 256 bytes stay one line", std::string(256, 'y'), {std::string(256, 'y')}},
      {"a two-byte character across byte 256 moves on",
       a255 + "\xC3\xA9" + "b",
       {a255,
        "\xC3\xA9"
        "b"}},
      {"a three-byte character across byte 256",
       a254 + "\xE2\x82\xAC" + "c",
       {a254,
        "\xE2\x82\xAC"
        "c"}},
      {"a four-byte character across byte 256", a253 + "\xF0\x9F\x98\x80", {a253, "\xF0\x9F\x98\x80"}},
      {"continuation bytes only: back three at most", bad, {bad.substr(0, 253), bad.substr(253)}},
      {"empty parts are skipped", "\n\nab\n\ncd\n", {"ab", "cd"}},
      {"the empty text adds nothing", "", {}},
  };
  for (const Case& c : cases) {
    chat_log_clear(chat_log(CHAT_LOG_MAIN));
    chat_add_text(CHAT_LOG_MAIN, c.text.c_str(), CHAT_STYLE_INFO);
    EXPECT_EQ(main_texts(), c.lines) << c.what;
  }
}

TEST_F(ChatLogTest, RingKeepsTheNewest128) {
  for (int i = 0; i < 130; i++) chat_add_text(CHAT_LOG_MAIN, std::to_string(i).c_str(), i % CHAT_STYLE_COUNT);
  const ChatLog* log = chat_log(CHAT_LOG_MAIN);
  EXPECT_EQ(log->count, CHAT_LOG_LINES);
  EXPECT_STREQ(chat_log_line(log, 0)->text, "129");
  EXPECT_EQ(chat_log_line(log, 0)->style, 129 % CHAT_STYLE_COUNT);
  EXPECT_STREQ(chat_log_line(log, 127)->text, "2");
  EXPECT_EQ(chat_log_line(log, 128), nullptr);
  EXPECT_EQ(chat_log_line(log, -1), nullptr);
  // The second log is apart.
  EXPECT_EQ(chat_log(CHAT_LOG_SECOND)->count, 0);
  EXPECT_EQ(chat_log(CHAT_LOG_COUNT), nullptr);
}

TEST_F(ChatLogTest, BufferStartsLinesAtLineFeedsAndBeforePassing256Bytes) {
  std::vector<uint32_t> points(255, 'a');
  points.push_back(0xE9);  // two bytes: would pass 256
  points.push_back('\n');
  points.push_back('\n');
  points.push_back(0x110000);  // not encodable: dropped
  points.push_back(0x20AC);
  chat_add_buffer(CHAT_LOG_MAIN, points.data(), (uint32_t)points.size(), CHAT_STYLE_LIME);
  std::vector<std::string> want = {std::string(255, 'a'), "\xC3\xA9", "\xE2\x82\xAC"};
  EXPECT_EQ(main_texts(), want);
  EXPECT_EQ(chat_log_line(chat_log(CHAT_LOG_MAIN), 0)->style, CHAT_STYLE_LIME);
}

TEST_F(ChatLogTest, LinesKnowTheirLinksAndEntity) {
  std::string link = chat_cp(0xF0007) + "sword" + chat_cp(0xE000);
  chat_add_text_ref(CHAT_LOG_MAIN, ("take the " + link).c_str(), CHAT_STYLE_SAY, 42);
  chat_add_text(CHAT_LOG_MAIN, ("closing only" + chat_cp(0xE000)).c_str(), CHAT_STYLE_SAY);
  const ChatLog* log = chat_log(CHAT_LOG_MAIN);
  EXPECT_EQ(chat_log_line(log, 1)->has_link, 1);
  EXPECT_EQ(chat_log_line(log, 1)->entity, 42u);
  EXPECT_EQ(chat_log_line(log, 0)->has_link, 0);
  EXPECT_EQ(chat_log_line(log, 0)->entity, 0u);
}

TEST_F(ChatLogTest, StylesCopyTheBaseWithWrapAndTheirColour) {
  struct Case {
    int32_t style;
    UiColour colour;
  } cases[] = {
      {CHAT_STYLE_SAY, {1, 1, 1, 1}},          {CHAT_STYLE_INFO, {1, 1, 0, 1}},
      {CHAT_STYLE_SYSTEM, {1, 0, 0, 1}},       {CHAT_STYLE_WHISPER, {1, 0, 1, 1}},
      {CHAT_STYLE_NOTICE, {1, 0.6471f, 0, 1}}, {CHAT_STYLE_LIME, {0.5f, 1, 0, 1}},
      {CHAT_STYLE_GREEN, {0, 1, 0, 1}},        {CHAT_STYLE_CYAN, {0, 1, 1, 1}},
  };
  UiStyle base = {};
  base.flags = UI_STYLE_CUT;
  base.font = 7;
  base.fill_colour = {0.1f, 0.2f, 0.3f, 0.4f};
  for (const Case& c : cases) {
    UiStyle made = chat_style_make(&base, c.style);
    EXPECT_EQ(made.flags, UI_STYLE_CUT | UI_STYLE_WRAP) << c.style;
    EXPECT_EQ(made.font, 7u);
    EXPECT_EQ(made.fill_colour.b, 0.3f);
    EXPECT_EQ(made.text_colour.r, c.colour.r) << c.style;
    EXPECT_EQ(made.text_colour.g, c.colour.g) << c.style;
    EXPECT_EQ(made.text_colour.b, c.colour.b) << c.style;
    EXPECT_EQ(made.text_colour.a, c.colour.a) << c.style;
  }
}

}  // namespace
