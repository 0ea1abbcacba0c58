#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/quit.h"
#include "settings/settings.h"
#include "support/chat_testing.h"
#include "ui/chat.h"
#include "ui/chat_text.h"

namespace {

const std::string kOpen7 = chat_cp(0xF0007), kClose = chat_cp(0xE000);

void expect_sent(const std::vector<ChatSent>& want, const char* what) {
  const std::vector<ChatSent>& got = chat_sent();
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); i++) {
    EXPECT_EQ(got[i].opcode, want[i].opcode) << what;
    EXPECT_EQ(got[i].payload, want[i].payload) << what << " (message " << i << ")";
  }
}

using ChatSubmit = ChatTest;

TEST_F(ChatSubmit, LinesSendTheirMessages) {
  struct Case {
    const char* line;
    uint16_t opcode;
    Wire payload;
  } cases[] = {
      {"hello there", 9, Wire().u32(3).str("hello there")},
      {"//  say hi", 9, Wire().u32(3).str("hi")},
      {"/ \t/say  spaced  out  ", 9, Wire().u32(3).str("spaced  out")},
      {"/sayhello", 9, Wire().u32(3).str("hello")},  // the word need not be followed by a blank
      {"/shout hi all", 25, Wire().str("hi all")},
      {"/party x", 27, Wire().str("x")},
      {"/guild x", 26, Wire().str("x")},
      {"/officer x", 28, Wire().str("x")},
      {"/title Sir", 40, Wire().u32(1).str("Sir")},
      {"/title", 40, Wire().u32(1).str("")},
      {"/lastname Smith", 41, Wire().u32(2).str("Smith")},
      {"/camp", 7, Wire()},
      {"/bug it broke", 81, Wire().str("it broke")},
      {"/inspect", 82, Wire().u32(0)},
      {"/accept", 64, Wire()},
      {"/decline", 65, Wire()},
      {"/ooc hi", 9, Wire().u32(5).str("hi")},
      {"/yell hi", 9, Wire().u32(7).str("hi")},
      {"/emote waves", 9, Wire().u32(6).str("waves")},
      {"/disband", 42, Wire()},
      {"/afk", 44, Wire()},
      {"/anon", 57, Wire()},
      {"/roll", 58, Wire()},
      {"/who", 53, Wire()},
      {"/friend Bob", 52, Wire().str("Bob")},
      {"/ignore Bob", 56, Wire().str("Bob")},
      {"/unfriend Bob", 55, Wire().str("Bob")},
      {"/friends", 54, Wire()},  // longer than "friend", which is its prefix
      {"/time", 46, Wire()},
      {"/rank a b c", 43, Wire().str("a").str("b")},
      {"/rank a", 43, Wire().str("").str("a")},
      {"/rank", 43, Wire().str("").str("")},
      {"/sit", 49, Wire()},
      {"/stand", 50, Wire()},
      {"/played", 45, Wire()},
      {"/stats", 48, Wire()},
      {"/loc", 47, Wire()},
      {"/whisper Bob  hello  there ", 8, Wire().str("Bob").str("hello  there")},
      {"/unlist busy", 51, Wire().u8(0).str("busy")},
      {"/list busy", 51, Wire().u8(1).str("busy")},
      {"/say a b c d e f g h i", 9, Wire().u32(3).str("a b c d e f g h i")},  // the rest stays whole
  };
  for (const Case& c : cases) {
    chat_sent().clear();
    chat_submit_text(c.line);
    expect_sent({{c.opcode, c.payload.bytes}}, c.line);
    EXPECT_FALSE(chat_input()->open) << c.line;
  }
}

TEST_F(ChatSubmit, RefusalsShowASystemLineAndSendNothing) {
  struct Case {
    const char* line;
    uint32_t key;
  } cases[] = {
      {"/say", 0x051F4BAC},
      {"/shout", 0x607DCAD6},
      {"/party  ", 0x2840DEAE},
      {"/guild", 0x22D132A7},
      {"/officer", 0x6AEC26DF},
      {"/ooc", 0x4FB0A7DF},
      {"/yell", 0x10DCB6FC},
      {"/emote", 0x0139EF95},
      {"/reply", 0x196D5C3B},
      {"/whisper Bob", 0x09E17CC6},
      {"/whisper", 0x09E17CC6},
      {"/cast", 0x108BC270},
      {"/cast 9", 0x108BC270},
      {"/cast 1 2", 0x108BC270},
      {"/cast x", 0x108BC270},
      {"/chatlines", 0x7054B543},
      {"/chatlines 4", 0x0A77CFDA},
      {"/chatlines 17", 0x0A77CFDA},
      {"/chatlines many", 0x0A77CFDA},
      {"/macro 1", 0x6F0A6B5E},
      {"/macro", 0x6F0A6B5E},
      {"/macro 13 /say x", 0x152911C7},
      {"/macro 0 x", 0x152911C7},
      {"/assist", 0x7E3C8A68},
      {"/drink", 0x54E12803},
      {"/drop", 0x3F8C4C2F},
      {"/eat", 0x5CF2E58F},
      {"/read", 0x660A6E74},
      {"/equip", 0x3370E55A},
      {"/unequip", 0x1D7AB1E6},
      {"/useitem", 0x2DA1130C},
      {"/useon", 0x21BE1A04},
      {"/invite", 0x00350876},
      {"/invite Nobody", 0x00350876},
      {"/duel", 0x045BC167},
      {"/trade", 0x1DBAC364},
      {"/follow", 0x10FD9398},
      {"/friend", 0x39FFF4E8},
      {"/ignore", 0x69D546FA},
      {"/unfriend", 0x249E3026},
      {"/target", 0x1BB021D8},
      {"/title 123456789012345678901234567890123456789012345678901", 0x7553E44A},
      {"/lastname 123456789012345678901234567890123456789012345678901", 0x7553E44A},
  };
  for (const Case& c : cases) {
    chat_sent().clear();
    chat_log_clear(chat_log(CHAT_LOG_MAIN));
    chat_submit_text(c.line);
    EXPECT_TRUE(chat_sent().empty()) << c.line;
    ASSERT_FALSE(text(c.key).empty()) << c.line;
    EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_SYSTEM, text(c.key)}})) << c.line;
  }
}

TEST_F(ChatSubmit, UnknownItemsAreNamedAndTheStubsFindNone) {
  const char* lines[] = {"/drink potion", "/drop old boot", "/eat bread",   "/read scroll", "/equip 3",
                         "/equip sword",  "/unequip 2",     "/useitem key", "/useon key"};
  for (const char* line : lines) {
    chat_sent().clear();
    chat_log_clear(chat_log(CHAT_LOG_MAIN));
    chat_submit_text(line);
    std::string name = strchr(line, ' ') + 1;
    EXPECT_TRUE(chat_sent().empty()) << line;
    EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_SYSTEM, with(0x5EA9CD6D, name, name)}}))
        << line;
  }
}

// A world where the player has a target and items: what the commands send through it.
struct FakeWorld {
  static inline uint32_t target = 0, set_to = 0;
  static inline int32_t attacking = 0, cancelled = 0, used = -1, used_on = -1, sounds = 0;
  static void reset() {
    target = 77, set_to = 0, attacking = 0, cancelled = 1, used = -1, used_on = -1, sounds = 0;
    ChatWorld* w = chat_world();
    w->target_current = [] { return target; };
    w->target_set = [](uint32_t id) { set_to = id; };
    w->player_by_name = [](const char* name) -> uint32_t { return strcmp(name, "Bob") == 0 ? 55u : 0u; };
    w->entity_by_name = [](const char* name) -> uint32_t { return strcmp(name, "Wolf") == 0 ? 66u : 0u; };
    w->entity_name = [](uint32_t id, char* out, uint32_t size) -> int32_t {
      snprintf(out, size, "Target%u", id);
      return 1;
    };
    w->target_of = [](uint32_t id) -> uint32_t { return id + 1; };
    w->entity_valid = [](uint32_t id) -> int32_t { return id != 0; };
    w->entity_lootable = [](uint32_t) -> int32_t { return 1; };
    w->entity_distance = [](uint32_t) { return 5.0f; };
    w->player_may_act = [] { return (int32_t)1; };
    w->player_attacking = [] { return attacking; };
    w->player_set_attacking = [](int32_t on) { attacking = on; };
    w->ability_cancel = [] { return cancelled; };
    w->bag_find = [](const char* name) -> int32_t {
      return strcmp(name, "sword") == 0 ? 4 : strcmp(name, "ale") == 0 ? 5 : -1;
    };
    w->bag_kind = [](int32_t slot) -> int32_t { return slot == 5 ? 7 : slot == 3 || slot == 4 ? 1 : -1; };
    w->bag_equip_slot = [](int32_t slot) -> int32_t { return slot == 3 || slot == 4 ? 6 : -1; };
    w->bag_use = [](int32_t slot) { used = slot; };
    w->bag_use_on = [](int32_t slot, uint32_t) { used_on = slot; };
    w->worn_filled = [](int32_t slot) -> int32_t { return slot == 2; };
    w->item_sound = [](int32_t, int32_t) { sounds++; };
  }
};

TEST_F(ChatSubmit, TargetAndItemCommandsGoThroughTheWorld) {
  FakeWorld::reset();
  struct Case {
    const char* line;
    std::vector<ChatSent> sent;
  } cases[] = {
      {"/invite", {{63, Wire().u32(77).bytes}}},
      {"/invite Bob", {{63, Wire().u32(55).bytes}}},
      {"/duel", {{76, Wire().u32(77).bytes}}},
      {"/trade Bob", {{71, Wire().u32(55).bytes}}},
      {"/consider", {{80, Wire().u32(77).bytes}}},
      {"/hail", {{70, Wire().u32(77).bytes}}},
      {"/loot", {{29, Wire().u32(77).bytes}}},
      {"/attack", {{33, Wire().u32(77).bytes}}},
      {"/attack", {}},  // already attacking
      {"/peace", {{34, {}}}},
      {"/peace", {}},
      {"/cancel", {{36, {}}}},
      {"/friend", {{52, Wire().str("Target77").bytes}}},
      {"/equip 3", {{38, Wire().u32(3).u32(6).u32(0).u32(1).bytes}}},
      {"/equip sword", {{38, Wire().u32(4).u32(6).u32(0).u32(1).bytes}}},
      {"/equip ale", {}},  // not wearable
      {"/unequip 2", {{39, Wire().u32(2).bytes}}},
  };
  for (const Case& c : cases) {
    chat_sent().clear();
    chat_submit_text(c.line);
    expect_sent(c.sent, c.line);
  }
  EXPECT_EQ(FakeWorld::sounds, 3);

  struct Effect {
    const char* line;
    uint32_t set_to;
  } effects[] = {{"/assist", 78}, {"/target Wolf", 66}, {"/target Bob", 55}, {"/cleartarget", 0}};
  for (const Effect& e : effects) {
    FakeWorld::set_to = 12345;
    chat_submit_text(e.line);
    EXPECT_EQ(FakeWorld::set_to, e.set_to) << e.line;
  }
  chat_submit_text("/drink ale");
  EXPECT_EQ(FakeWorld::used, 5);
  chat_submit_text("/useon ale");
  EXPECT_EQ(FakeWorld::used_on, 5);
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  chat_submit_text("/eat ale");  // a drink is not food
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_SYSTEM, text(0x6897033E)}}));
}

TEST_F(ChatSubmit, MatchingPicksTheLongestFirstWordAndSkipsMissingWords) {
  struct Case {
    const char* what;
    std::map<uint32_t, std::string> words;  // replaced texts
    const char* line;
    std::vector<ChatSent> sent;
  } cases[] = {
      {"the longer of two prefix words wins", {}, "/cleartarget", {}},
      {"a prefix word alone runs", {}, "/clear", {}},
      {"case matters", {}, "/SAY hi", {}},
      {"a word missing from the locale never matches", {{0x19348D0E, ""}}, "/say hi", {}},
      {"equal words: the first in table order",
       {{0x19348D0E, "go"}, {0x1D122937, "go"}},
       "/go x",
       {{9, Wire().u32(3).str("x").bytes}}},
      {"non-ASCII words match by character",
       {{0x19348D0E, "s\xC3\xA4g"}},
       "/s\xC3\xA4g x",
       {{9, Wire().u32(3).str("x").bytes}}},
  };
  for (const Case& c : cases) {
    std::map<uint32_t, std::string> t = texts;
    for (const auto& [key, word] : c.words) t[key] = word;
    chat_load_texts(t);
    chat_sent().clear();
    chat_add_text(CHAT_LOG_MAIN, "keep", CHAT_STYLE_SAY);
    chat_submit_text(c.line);
    expect_sent(c.sent, c.what);
  }
  chat_load_texts(texts);
  // "clear" empties the log; "cleartarget" must not.
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  chat_add_text(CHAT_LOG_MAIN, "keep", CHAT_STYLE_SAY);
  chat_submit_text("/cleartarget");
  EXPECT_EQ(chat_log(CHAT_LOG_MAIN)->count, 1);
  chat_submit_text("/clear");
  EXPECT_EQ(chat_log(CHAT_LOG_MAIN)->count, 0);
  uint32_t matched = 0;
  std::vector<uint32_t> typed = {'f', 'r', 'i', 'e', 'n', 'd', 's', 'x'};
  EXPECT_EQ(chat_command_word(chat_command_match(typed.data(), (uint32_t)typed.size(), &matched)),
            std::string("friends"));
  EXPECT_EQ(matched, 7u);
  EXPECT_EQ(chat_command_match(typed.data(), 0, &matched), -1);
}

TEST_F(ChatSubmit, UnknownCommandsSuggestTheNearestWordWithinTheLimit) {
  struct Case {
    const char* line;
    const char* suggestion;  // null: none
  } cases[] = {
      {"/atxack", "attack"},      // distance 1
      {"/abcack", "attack"},      // distance 2 from a six-letter word: the limit is 2
      {"/xyzack", nullptr},       // distance 3
      {"/whispxrxx", "whisper"},  // nine letters: limit 3, distance 3
      {"/zzzzzzzzzzzzzz", nullptr},
      {"/ hlp me", "help"},  // the typed word stops at the first blank
      {"/", nullptr},        // no word: only the unknown line
  };
  for (const Case& c : cases) {
    chat_log_clear(chat_log(CHAT_LOG_MAIN));
    chat_sent().clear();
    chat_submit_text(c.line);
    std::vector<ChatShown> want = {{CHAT_STYLE_SYSTEM, text(0x7B66F9C6)}};
    if (c.suggestion) want.push_back({CHAT_STYLE_SYSTEM, with(0x31529F99, "", c.suggestion)});
    EXPECT_EQ(chat_main_lines(), want) << c.line;
    EXPECT_TRUE(chat_sent().empty());
  }
}

// The distance against a plain dynamic-programming Levenshtein in Python, over random words.
TEST(ChatEditDistance, MatchesAPlainReference) {
  std::mt19937 random(12345);
  std::vector<std::pair<std::string, std::string>> pairs = {{"", ""}, {"", "abc"}, {"kitten", "sitting"}};
  for (int i = 0; i < 300; i++) {
    std::string a, b;
    int la = (int)(random() % 14), lb = (int)(random() % 14);
    for (int k = 0; k < la; k++) a += (char)('a' + random() % 4);
    for (int k = 0; k < lb; k++) b += (char)('a' + random() % 4);
    if (i % 3 == 0) b = a.substr(0, a.size() / 2) + b.substr(0, b.size() / 2);
    pairs.push_back({a, b});
  }
  std::string dir = testing::TempDir() + "chat_distance_" + std::to_string(getpid());
  std::string input = dir + ".txt";
  FILE* f = fopen(input.c_str(), "w");
  ASSERT_NE(f, nullptr);
  for (const auto& [a, b] : pairs) fprintf(f, "%s,%s\n", a.c_str(), b.c_str());
  fclose(f);
  std::string script =
      "import sys\n"
      "def d(a, b):\n"
      "    prev = list(range(len(b) + 1))\n"
      "    for i in range(1, len(a) + 1):\n"
      "        cur = [i] + [0] * len(b)\n"
      "        for j in range(1, len(b) + 1):\n"
      "            cur[j] = min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1]))\n"
      "        prev = cur\n"
      "    return prev[len(b)]\n"
      "for line in open(sys.argv[1]):\n"
      "    a, b = line.rstrip('\\n').split(',')\n"
      "    print(d(a, b))\n";
  std::string command = "/usr/bin/python3 -c \"$CHAT_DISTANCE_SCRIPT\" " + input;
  setenv("CHAT_DISTANCE_SCRIPT", script.c_str(), 1);
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  size_t i = 0;
  int expected = 0;
  while (fscanf(p, "%d", &expected) == 1 && i < pairs.size()) {
    EXPECT_EQ(chat_edit_distance(pairs[i].first.c_str(), pairs[i].second.c_str()), expected)
        << pairs[i].first << " / " << pairs[i].second;
    i++;
  }
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(i, pairs.size());
  remove(input.c_str());
}

TEST(ChatArguments, SplitAtBlanksOutsideLinksAndKeepEight) {
  const std::string link = kOpen7 + "long sword" + kClose;
  struct Case {
    const char* what;
    std::string rest;
    std::vector<std::string> args;
  } cases[] = {
      {"nine given, eight kept", "a b c d e f g h i", {"a", "b", "c", "d", "e", "f", "g", "h"}},
      {"runs of blanks and tabs", " a \t b\n", {"a", "b"}},
      {"a link with spaces stays one", "give " + link + " now", {"give", link, "now"}},
      {"an unclosed link runs to the end", "x " + kOpen7 + "a b", {"x", kOpen7 + "a b"}},
      {"a stray closing marker changes nothing", kClose + "a b", {kClose + "a", "b"}},
      {"an argument over 256 bytes is cut", std::string(300, 'z'), {std::string(256, 'z')}},
      {"nothing", "", {}},
  };
  for (const Case& c : cases) {
    ChatArgs args;
    ASSERT_EQ(chat_split_args(c.rest.c_str(), &args), (int32_t)c.args.size()) << c.what;
    for (size_t i = 0; i < c.args.size(); i++) EXPECT_EQ(args.values[i], c.args[i]) << c.what;
  }
}

TEST_F(ChatSubmit, WhisperAndArgumentsKeepLinksWhole) {
  const std::string link = kOpen7 + "long sword" + kClose;
  chat_submit_text("/whisper Bob look: " + link);
  expect_sent({{8, Wire().str("Bob").str("look: " + link).bytes}}, "whisper");
  chat_sent().clear();
  chat_submit_text("/rank " + link + " b");
  expect_sent({{43, Wire().str(link).str("b").bytes}}, "two arguments, one a link");
}

TEST_F(ChatSubmit, TemplatesReplaceEachTokenOnceInOnePass) {
  struct Case {
    const char* what;
    const char* templ;
    const char* name;
    const char* value;
    const char* want;
  } cases[] = {
      {"both tokens", "{name} says, '{text}'", "Ann", "hi", "Ann says, 'hi'"},
      {"text before name", "{text} -- {name}", "Ann", "hi", "hi -- Ann"},
      {"a name holding the text token", "{name}: {text}", "{text}", "hi", "{text}: hi"},
      {"a text holding the name token", "{name}: {text}", "Ann", "{name}", "Ann: {name}"},
      {"only the first of each", "{name} {name} {text} {text}", "A", "B", "A {name} B {text}"},
      {"no tokens", "plain", "A", "B", "plain"},
  };
  for (const Case& c : cases) {
    char out[CHAT_FORMAT_BYTES];
    chat_format(out, sizeof out, c.templ, c.name, c.value);
    EXPECT_STREQ(out, c.want) << c.what;
  }
  // Cut at a character boundary, and nothing after the cut.
  char small[8];
  EXPECT_EQ(chat_format(small, 8, "{name}!", "ab\xC3\xA9\xC3\xA9", nullptr), 7u);
  EXPECT_EQ(chat_format(small, 7, "{name}!", "ab\xC3\xA9\xC3\xA9", nullptr), 6u);
  EXPECT_STREQ(small, "ab\xC3\xA9\xC3\xA9");
  EXPECT_EQ(chat_format(small, 6, "{name}!", "ab\xC3\xA9\xC3\xA9", nullptr), 4u);
  EXPECT_STREQ(small, "ab\xC3\xA9");
}

TEST_F(ChatSubmit, HelpAndTheCommandListAreInfoLines) {
  chat_submit_text("/help");
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_INFO, text(0x07A79B6E)}}));
  chat_log_clear(chat_log(CHAT_LOG_MAIN));
  chat_submit_text("/commands");
  std::vector<ChatShown> lines = chat_main_lines();
  ASSERT_EQ(lines.size(), 69u);
  EXPECT_EQ(lines[0], (ChatShown{CHAT_STYLE_INFO, text(0x1DEBA8F2)}));
  for (int32_t i = 0; i < CHAT_COMMAND_COUNT; i++) EXPECT_EQ(lines[1 + i].text, chat_command_word(i));
  EXPECT_EQ(lines[68], (ChatShown{CHAT_STYLE_INFO, "67" + text(0x1D48B0EC)}));
}

TEST_F(ChatSubmit, EmptyAndQuit) {
  chat_input_open();
  chat_submit();
  EXPECT_FALSE(chat_input()->open);
  EXPECT_TRUE(chat_sent().empty());
  static int quit_code = -1;
  quit_set_hook([](int code) { quit_code = code; });
  chat_submit_text("/quit");
  quit_set_hook(nullptr);
  EXPECT_EQ(quit_code, 0);
}

}  // namespace
