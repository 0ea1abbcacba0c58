#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/object_effects.h"
#include "game/spawn.h"
#include "net/dispatch.h"
#include "net/opcodes.h"
#include "support/chat_testing.h"
#include "ui/chat.h"

namespace {

constexpr uint32_t kLocal = 500, kOther = 501;

struct Heard {
  static inline std::vector<uint32_t> sounds;
  static inline std::vector<uint32_t> bubbles;
  static inline int group_cleared = 0;
  static inline std::vector<int32_t> announced;
  static inline std::vector<uint32_t> item_windows;
};

// A world with the local player (kLocal) and another player (kOther), the chat's effects
// installed, and the world's sound, bubble and window slots recorded.
class ChatIncoming : public ChatTest {
 protected:
  void SetUp() override {
    ChatTest::SetUp();
    net_effects_clear();
    game_world_replace(catalogue_world_create(1, nullptr));
    game_objects_start();
    chat_install_effects(net_effects());
    SpawnCharacter c = {};
    c.id = kLocal;
    c.scale = 1;
    c.name = "Me";
    spawn_local_player(&c);
    c.id = kOther;
    c.name = "Ann";
    spawn_player(&c);
    Heard::sounds.clear();
    Heard::bubbles.clear();
    Heard::group_cleared = 0;
    Heard::announced.clear();
    Heard::item_windows.clear();
    ChatWorld* w = chat_world();
    w->ui_sound = [](uint32_t key) {
      Heard::sounds.push_back(key);
      return 1;
    };
    w->speech_bubble = [](uint32_t id, const char*, UiColour) { Heard::bubbles.push_back(id); };
    w->group_clear = [] { Heard::group_cleared++; };
    w->announce = [](const NetEvent* e) { Heard::announced.push_back(e->opcode); };
    w->item_info_open = [](uint32_t item) { Heard::item_windows.push_back(item); };
  }
  void TearDown() override {
    game_objects_shutdown();
    game_world_shutdown();
    net_effects_clear();
    ChatTest::TearDown();
  }
  // The server's chat message as it arrives.
  void receive(uint32_t sender_id, const std::string& sender, int32_t type, const std::string& text) {
    Wire w;
    w.u32(0).str(sender).u32(sender_id).u32((uint32_t)type).str(text);
    net_dispatch_payload(MSG_CHAT, w.bytes.data(), (uint32_t)w.bytes.size());
  }
};

TEST_F(ChatIncoming, EachTypeHasItsTemplateAndStyle) {
  struct Case {
    int32_t type;
    uint32_t sender;
    int32_t style;
    uint32_t key;  // 0: the text as it is
    bool bubble;
  } cases[] = {
      {0, kOther, CHAT_STYLE_INFO, 0, false},
      {1, kOther, CHAT_STYLE_SYSTEM, 0, false},
      {2, kLocal, CHAT_STYLE_INFO, 0, false},
      {3, kLocal, CHAT_STYLE_SAY, 0x4492B69E, true},
      {3, kOther, CHAT_STYLE_SAY, 0x7FFEF040, true},
      {4, kLocal, CHAT_STYLE_WHISPER, 0x17F0B8B2, false},
      {4, kOther, CHAT_STYLE_WHISPER, 0x76202B27, false},
      {5, kOther, CHAT_STYLE_NOTICE, 0x35511C33, false},
      {5, kLocal, CHAT_STYLE_NOTICE, 0x35511C33, false},
      {6, kLocal, CHAT_STYLE_SYSTEM, 0x40B412A7, true},
      {6, kOther, CHAT_STYLE_SYSTEM, 0x7BD85479, true},
      {7, kLocal, CHAT_STYLE_CYAN, 0x58B620B0, false},
      {7, kOther, CHAT_STYLE_CYAN, 0x3966B325, false},
      {8, kOther, CHAT_STYLE_SAY, 0, false},
      {9, kOther, CHAT_STYLE_SAY, 0, false},
      {-1, kOther, CHAT_STYLE_SAY, 0, false},
  };
  for (const Case& c : cases) {
    chat_log_clear(chat_log(CHAT_LOG_MAIN));
    Heard::bubbles.clear();
    std::string name = c.sender == kLocal ? "Me" : "Ann";
    receive(c.sender, name, c.type, "well met");
    std::string want = c.key ? with(c.key, name, "well met") : "well met";
    EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{c.style, want}}))
        << "type " << c.type << " from " << name;
    EXPECT_EQ(Heard::bubbles.size(), c.bubble ? 1u : 0u) << "type " << c.type;
    EXPECT_EQ(chat_log_line(chat_log(CHAT_LOG_MAIN), 0)->entity, c.type == 8 ? kOther : 0u) << c.type;
  }
}

TEST_F(ChatIncoming, ANameHoldingATokenIsSubstitutedOnce) {
  receive(kOther, "{text}", 3, "{name}");
  EXPECT_EQ(chat_main_lines(),
            (std::vector<ChatShown>{{CHAT_STYLE_SAY, with(0x7FFEF040, "{text}", "{name}")}}));
  EXPECT_NE(chat_main_lines()[0].text.find("{text} says"), std::string::npos) << chat_main_lines()[0].text;
}

TEST_F(ChatIncoming, WhispersFromOthersChimeAtMostTwiceASecondAndSetTheReply) {
  receive(kOther, "Ann", 4, "psst");
  receive(kOther, "Ann", 4, "again");
  EXPECT_EQ(Heard::sounds, (std::vector<uint32_t>{0x06E863AD}));
  chat_tick(0.3f);
  receive(kOther, "Bo", 4, "third");  // the timer restarts at every whisper
  chat_tick(0.3f);
  receive(kOther, "Bo", 4, "fourth");
  EXPECT_EQ(Heard::sounds.size(), 1u);
  chat_tick(0.5f);
  receive(kOther, "Cy", 4, "fifth");
  EXPECT_EQ(Heard::sounds.size(), 2u);
  receive(kLocal, "Me", 4, "to Cy");  // own whispers neither chime nor change the reply
  EXPECT_STREQ(chat_reply_target(), "Cy");
  chat_submit_text("/reply thanks");
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].payload, Wire().str("Cy").str("thanks").bytes);
  receive(kOther, std::string(257, 'n'), 4, "long");  // too long a name is not kept
  EXPECT_STREQ(chat_reply_target(), "Cy");
}

TEST_F(ChatIncoming, NoticesAndGroupLines) {
  net_dispatch_payload(201, nullptr, 0);
  net_dispatch_payload(208, nullptr, 0);
  Wire invite;
  invite.str("Ann");
  net_dispatch_payload(MSG_GROUP_INVITE, invite.bytes.data(), (uint32_t)invite.bytes.size());
  net_dispatch_payload(MSG_GROUP_NOTICE, nullptr, 0);
  net_dispatch_payload(MSG_GROUP_LEFT, nullptr, 0);
  EXPECT_EQ(chat_main_lines(), (std::vector<ChatShown>{{CHAT_STYLE_SYSTEM, text(0x27FD4B27)},
                                                       {CHAT_STYLE_SYSTEM, text(0x468FC695)},
                                                       {CHAT_STYLE_SYSTEM, with(0x3F0CDEEC, "Ann", "")},
                                                       {CHAT_STYLE_SYSTEM, text(0x7FDED554)},
                                                       {CHAT_STYLE_SYSTEM, text(0x1F10F723)}}));
  EXPECT_EQ(Heard::group_cleared, 1);
  // A notice that is not a chat line goes to the announcement slot.
  net_dispatch_payload(197, nullptr, 0);
  EXPECT_EQ(Heard::announced, (std::vector<int32_t>{197}));
  EXPECT_EQ(chat_main_lines().size(), 5u);
}

TEST_F(ChatIncoming, LinkClicksAndColours) {
  std::string link = chat_cp(0xF0004) + "yes" + chat_cp(0xE000);
  receive(kOther, "Ann", 8, "Will you help? " + link);
  chat_add_text(CHAT_LOG_MAIN, ("an item: " + link).c_str(), CHAT_STYLE_SAY);
  receive(999, "Gone", 8, "from nobody " + link);
  // Ages: 0 the unknown sender's line, 1 the item line, 2 Ann's line.
  chat_link_click(CHAT_LOG_MAIN, 2, 4);
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].opcode, 83);
  EXPECT_EQ(chat_sent()[0].payload, Wire().u32(kOther).u32(4).bytes);
  chat_link_click(CHAT_LOG_MAIN, 1, 4);
  EXPECT_EQ(Heard::item_windows, (std::vector<uint32_t>{4}));
  chat_link_click(CHAT_LOG_MAIN, 0, 4);  // the entity is gone: nothing
  EXPECT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(Heard::item_windows.size(), 1u);

  UiColour white = chat_link_colour(1, kOther), green = chat_link_colour(0, kOther),
           cyan = chat_link_colour(0, 0);
  EXPECT_EQ(white.r + white.g + white.b, 3.0f);
  EXPECT_EQ(green.r + green.g + green.b, 1.0f);
  EXPECT_EQ(green.g, 1.0f);
  EXPECT_EQ(cyan.r, 0.0f);
  EXPECT_EQ(cyan.g + cyan.b, 2.0f);
  chat_link_hover(CHAT_LOG_MAIN, 2, 4, 10);
  EXPECT_TRUE(chat_link_hovered(CHAT_LOG_MAIN, 2, 4, 10));
  EXPECT_TRUE(chat_link_hovered(CHAT_LOG_MAIN, 2, 4, 11)) << "hovered last frame";
  EXPECT_FALSE(chat_link_hovered(CHAT_LOG_MAIN, 2, 4, 12));
  EXPECT_FALSE(chat_link_hovered(CHAT_LOG_MAIN, 1, 4, 10));
}

// Every key the chat reads has a text in the demo locale, the command words differ, and the
// chat font key is there once, as an asset.
// Shut-down empties only the slots the chat still holds: a slot another module took over stays.
TEST_F(ChatIncoming, RemovingTheEffectsLeavesOthersSlots) {
  NetEffects* fx = net_effects();
  auto foreign = [](const NetEvent*, const MsgEmpty*) {};
  fx->group_line = foreign;
  chat_remove_effects(fx);
  EXPECT_EQ(fx->chat, nullptr);
  EXPECT_EQ(fx->notice, nullptr);
  EXPECT_EQ(fx->group_invite, nullptr);
  EXPECT_EQ(fx->group_clear, nullptr);
  EXPECT_EQ(fx->group_line, +foreign);
}

TEST(ChatContent, EveryKeyHasATextAndTheWordsDiffer) {
  std::map<uint32_t, std::string> texts = chat_demo_texts();
  uint32_t count = 0;
  const uint32_t* keys = chat_locale_keys(&count);
  for (uint32_t i = 0; i < count; i++) EXPECT_FALSE(texts[keys[i]].empty()) << std::hex << keys[i];
  std::set<std::string> words;
  for (int32_t row = 0; row < CHAT_COMMAND_COUNT; row++) {
    const std::string& word = texts[chat_command_key(row)];
    EXPECT_FALSE(word.empty()) << row;
    EXPECT_EQ(word.find_first_of(" \t/"), std::string::npos) << word;
    EXPECT_TRUE(words.insert(word).second) << "twice: " << word;
  }
  std::ifstream in(std::string(OSTREVANE_SOURCE_DIR) + "/content/locale/english.tsv");
  std::string line;
  int font_lines = 0;
  while (std::getline(in, line))
    if (line.rfind("0x76D96E7D\t", 0) == 0) {
      font_lines++;
      EXPECT_EQ(line.find("\tasset\t"), 10u) << line;
    }
  EXPECT_EQ(font_lines, 1);
}

}  // namespace
