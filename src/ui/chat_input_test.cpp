#include "ui/chat_input.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/event_bus.h"
#include "input/input.h"
#include "input/keybind.h"
#include "platform/keymap.h"
#include "settings/settings.h"
#include "support/chat_testing.h"
#include "support/test_files.h"
#include "ui/chat_layout.h"

namespace {

const std::string kOpen7 = chat_cp(0xF0007), kClose = chat_cp(0xE000);

Text* buffer_of(const std::u32string& points) {
  Text* t = text_create(8);
  for (char32_t c : points) text_append_codepoint(t, (uint32_t)c);
  return t;
}

TEST(ChatInputRules, TypedCharactersAndRoom) {
  const std::u32string link = U"\U000F0007sword\U0000E000";
  struct Case {
    const char* what;
    std::u32string buffer;
    uint32_t code_point;
    int32_t accepted;
  } cases[] = {
      {"a letter", U"", 'a', 1},
      {"punctuation", U"", '/', 1},
      {"a blank", U"", ' ', 1},
      {"a tab", U"", '\t', 1},
      {"a line feed", U"", '\n', 0},
      {"a control character", U"", 0x7F, 0},
      {"beyond ASCII", U"", 0xE9, 0},
      {"a link marker is never typed", U"", 0xF0007, 0},
      {"the 255th byte", std::u32string(254, 'a'), 'b', 1},
      {"the 256th byte", std::u32string(255, 'a'), 'b', 0},
      {"with a link, 40 bytes less room", link + std::u32string(255 - 40 - 12 - 1, 'a'), 'b', 1},
      {"with a link, one past", link + std::u32string(255 - 40 - 12, 'a'), 'b', 0},
  };
  for (const Case& c : cases) {
    Text* t = buffer_of(c.buffer);
    EXPECT_EQ(chat_input_accepts(t, c.code_point), c.accepted) << c.what;
    text_destroy(t);
  }
}

TEST(ChatInputRules, TheCaretNeverRestsInsideALink) {
  // "ab" then a link of "xy" (markers at 2 and 5), then "c".
  const std::vector<uint32_t> points = {'a', 'b', 0xF0003, 'x', 'y', 0xE000, 'c'};
  struct Case {
    uint32_t caret;
    int32_t direction;
    uint32_t settled;
  } cases[] = {
      {2, -1, 2}, {3, -1, 2}, {4, -1, 2}, {5, -1, 2}, {6, -1, 6}, {3, 1, 6},
      {5, 1, 6},  {4, 0, 2},  {7, 1, 7},  {9, 1, 7},  {1, 1, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(chat_caret_settle(points.data(), (uint32_t)points.size(), c.caret, c.direction), c.settled)
        << c.caret << " moving " << c.direction;
  const std::vector<uint32_t> unclosed = {'a', 0xF0003, 'x'};
  EXPECT_EQ(chat_caret_settle(unclosed.data(), 3, 2, 1), 3u);
}

class ChatProfile : public ChatTest {
 protected:
  TestTempDir dir{"chat_profile"};
  std::string path;
  void SetUp() override {
    ChatTest::SetUp();
    path = dir / "profile.ini";
    profile_load(path.c_str());
  }
  void TearDown() override {
    profile_load("");
    ChatTest::TearDown();
  }
  std::string file() {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void macro(int n, const std::string& text) {
    ASSERT_EQ(set_macro_text(("MACRO_" + std::to_string(n)).c_str(), text.c_str()), 1) << text;
  }
};

TEST_F(ChatProfile, ChatLinesAndMacrosAreSavedWithTheCameraValues) {
  camera_set_pitch(12.5f);
  camera_set_distance(7.25f);
  chat_submit_text("/chatlines 8");
  EXPECT_EQ(setting_chat_lines(), 8);
  std::string saved = file();
  EXPECT_NE(saved.find("CHAT_LINES=8"), std::string::npos) << saved;
  EXPECT_NE(saved.find("PITCH=12.5"), std::string::npos) << saved;
  EXPECT_NE(saved.find("DISTANCE=7.25"), std::string::npos) << saved;

  chat_submit_text("/macro 3   /say hi  there ");
  EXPECT_STREQ(macro_text("MACRO_3"), "/say hi  there");
  EXPECT_NE(file().find("MACRO_3=/say hi  there"), std::string::npos) << file();
  EXPECT_TRUE(chat_sent().empty());
}

TEST_F(ChatProfile, MacrosReplayAsTyping) {
  const std::string link = kOpen7 + "a/b c" + kClose;
  struct Case {
    const char* what;
    std::string macro;
    std::vector<ChatSent> sent;
  } cases[] = {
      {"one command", "/say hi", {{9, Wire().u32(3).str("hi").bytes}}},
      {"leading blanks are skipped", "    /say hi", {{9, Wire().u32(3).str("hi").bytes}}},
      {"a slash mid-macro runs two commands",
       "/say one /ooc two",
       {{9, Wire().u32(3).str("one").bytes}, {9, Wire().u32(5).str("two").bytes}}},
      {"a slash inside a link does not", "/say " + link, {{9, Wire().u32(3).str(link).bytes}}},
      {"plain text, then a command", "hello /who", {{9, Wire().u32(3).str("hello ").bytes}, {53, {}}}},
      {"characters typing refuses are dropped", "/say h\xC3\xA9llo", {{9, Wire().u32(3).str("hllo").bytes}}},
      {"an over-long macro is cut as typing would be",
       "/say " + std::string(300, 'x'),
       {{9, Wire().u32(3).str(std::string(255 - 5, 'x')).bytes}}},
  };
  for (const Case& c : cases) {
    macro(4, c.macro);
    chat_sent().clear();
    chat_macro_run(4);
    EXPECT_FALSE(chat_input()->open) << c.what;
    ASSERT_EQ(chat_sent().size(), c.sent.size()) << c.what;
    for (size_t i = 0; i < c.sent.size(); i++) {
      EXPECT_EQ(chat_sent()[i].opcode, c.sent[i].opcode) << c.what;
      EXPECT_EQ(chat_sent()[i].payload, c.sent[i].payload) << c.what;
    }
  }
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  chat_sent().clear();
  chat_macro_run(11);
  EXPECT_TRUE(chat_sent().empty());
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_SYSTEM, with(0x34230F89, "", "11")}}));
}

TEST_F(ChatProfile, MacroListShowsEachSetMacro) {
  chat_submit_text("/macros");
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_INFO, text(0x1BEE1DC9)}}));
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  macro(2, "/sit");
  macro(12, "/stand");
  chat_submit_text("/macros");
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_INFO, with(0x7843B27F, "2", "/sit")},
                                                       {CHAT_STYLE_INFO, with(0x7843B27F, "12", "/stand")}}));
}

// The chat key and the macro keys through the real key bindings.
class ChatKeys : public ChatProfile {
 protected:
  void SetUp() override {
    ChatProfile::SetUp();
    event_bus_start();
    input_start();
    keybind_init();
    keybind_start();
    KeyBinding table[KEYBIND_COUNT];
    keybind_get_table(table);
    table[34] = KeyBinding{34, KEY_F1, 0, 0, 0};
    table[35] = KeyBinding{35, (KEY_F1 + 1), 0, 0, 0};
    keybind_set_table(table);
  }
  void TearDown() override {
    keybind_shutdown();
    input_stop();
    event_bus_stop();
    ChatProfile::TearDown();
  }
  // One frame with the keys pressed, then frames with no chat step until they are up again
  // (the input state moves one step per frame: pressed, held, released).
  void frame(std::vector<uint32_t> keys, int32_t other_field_focused = 0) {
    for (uint32_t action : {ACTION_PRESSED, ACTION_HELD, ACTION_RELEASED})
      for (uint32_t code : keys) {
        EventKey k = {code, action};
        event_post_copy(EVENT_KEY, &k, sizeof k);
      }
    event_dispatch();
    input_update();
    keybind_frame();
    chat_frame_keys(1.0f / 60.0f, other_field_focused);
    for (int i = 0; i < 3; i++) {
      input_update();
      keybind_frame();
    }
  }
};

TEST_F(ChatKeys, EnterOpensAndSubmitsAndTheFirstMacroKeyRuns) {
  frame({KEY_ENTER}, 1);
  EXPECT_FALSE(chat_input()->open) << "another window's field has the focus";
  frame({KEY_ENTER});
  ASSERT_TRUE(chat_input()->open);
  chat_input_type('h');
  chat_input_type('i');
  frame({KEY_ENTER});
  EXPECT_FALSE(chat_input()->open);
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].payload, Wire().u32(3).str("hi").bytes);

  macro(1, "/sit");
  macro(2, "/stand");
  chat_sent().clear();
  frame({(uint32_t)KEY_F1 + 1, (uint32_t)KEY_F1});
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].opcode, 49) << "macro 1 comes first";
}

TEST_F(ChatTest, LinkInsertionObeysTheRoomOfTyping) {
  chat_input_open();
  for (int i = 0; i < 200; i++) ASSERT_EQ(chat_input_type('a'), 1);
  // 200 + 40 + markers (4 + 3) + 8: 255 bytes exactly.
  EXPECT_EQ(chat_input_insert_link(7, "12345678x"), 0);
  EXPECT_EQ(chat_input_insert_link(7, "12345678"), 1);
  EXPECT_EQ(chat_input()->buffer->count, 210u);
  EXPECT_EQ(chat_input()->caret, 210u);
  EXPECT_EQ(chat_input_type('b'), 0);
  chat_input_close();
}

}  // namespace
