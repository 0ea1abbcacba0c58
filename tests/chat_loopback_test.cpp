// The chat against the local world server over 127.0.0.1, headless, after the local player's
// spawn: a typed line comes back as the player's own; commands and a macro send exactly what
// the server logs (decoded with its own schemas); refusals send nothing; the server's
// chat-lines scene shows in its styles; a link of a dialogue line sends 83 with the sender's
// id; the chat-lines command saves the profile with the camera values.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless_login.h"
#include "devserver_process.h"
#include "net/crypto.h"
#include "net/net.h"
#include "settings/settings.h"
#include "support/chat_testing.h"
#include "support/test_files.h"
#include "ui/chat.h"
#include "ui/chat_layout.h"

namespace {

struct Steps {
  static inline bool typed = false, clicked = false, replied = false;
  // The main log as the player last saw it: the modules' shut-down at the end of the run
  // empties the logs, so every harness line takes a copy.
  static inline std::vector<ChatShown> seen;
};

void submit_line(const std::string& line) { chat_submit_text(line); }

// Runs inside the harness: typing right after the spawn, the link click and reply once the
// scene's lines are in.
void on_log(const char* line) {
  Steps::seen = chat_main_lines();
  if (!Steps::typed && strncmp(line, "spawned in zone", 15) == 0) {
    Steps::typed = true;
    chat_input_open();  // Enter, "hello", Enter
    for (const char* c = "hello"; *c; c++) chat_input_type((uint8_t)*c);
    chat_submit();
    submit_line("/whisper Bob  hi there");
    submit_line("/say");          // usage: nothing sent
    submit_line("/whisper Bob");  // usage: nothing sent
    submit_line("/invite");       // no target: nothing sent
    submit_line("/sit");
    chat_macro_run(1);
    submit_line("/chatlines 8");
    return;
  }
  if (strncmp(line, "report", 6) != 0) return;
  const ChatLog* log = chat_log(CHAT_LOG_MAIN);
  for (int32_t age = 0; age < log->count && !Steps::clicked; age++) {
    const ChatLine* l = chat_log_line(log, age);
    if (l->entity && l->has_link) {
      chat_link_click(CHAT_LOG_MAIN, age, 4);
      Steps::clicked = true;
    }
  }
  if (!Steps::replied && chat_reply_target()[0]) {
    submit_line("/reply thanks");
    Steps::replied = true;
  }
}

class ChatLoopback : public ChatTest {
 protected:
  DevServer server;
  TestTempDir folder{"chat_loopback"};
  std::string profile;

  void SetUp() override {
    ChatTest::SetUp();
    // The local server takes the plain credentials form (no prefix, a line feed between).
    texts.erase(0x038D8B88);
    texts.erase(0x13F47486);
    chat_load_texts(texts);
    chat_set_send(nullptr);  // the world session itself
    ASSERT_EQ(sock_startup(), 0);
    ASSERT_EQ(secure_random_open(), 1);
    net_init();
    chat_install_effects(net_effects());
    // The profile as the selection screen loads it, with a macro and camera values.
    profile = folder / "Hero.ini";
    profile_load(profile.c_str());
    camera_set_pitch(20.5f);
    camera_set_distance(9.25f);
    ASSERT_EQ(set_macro_text("MACRO_1", "/who /ooc from a macro"), 1);
    Steps::typed = Steps::clicked = Steps::replied = false;
    Steps::seen.clear();
  }
  void TearDown() override {
    net_shutdown();
    net_effects_clear();
    server.stop();
    profile_load("");
    ChatTest::TearDown();
  }
  HeadlessResult run() {
    server.role = "game";
    std::string data = folder / "server";
    EXPECT_TRUE(
        server.start("", {"--world-port", "0", "--data", data, "--world-scenario", "players=1,chat-lines"}));
    EXPECT_TRUE(server.wait_line("world "));
    HeadlessOptions o = {
        "127.0.0.1", (uint16_t)server.port, "alice", "s3cret", "Hero", 6000, 0.01f, 2, on_log, 2.0f, 0.25f, nullptr};
    HeadlessResult r;
    headless_login_run(&o, &r);
    return r;
  }
  std::vector<std::string> commands() {
    std::vector<std::string> out;
    for (const std::string& l : server.snapshot()) {
      size_t at = l.find(" command ");
      if (at != std::string::npos) out.push_back(l.substr(at + 9));
    }
    return out;
  }
  bool shown(int32_t style, const std::string& text) {
    for (const ChatShown& s : Steps::seen)
      if (s.style == style && s.text == text) return true;
    return false;
  }
};

TEST_F(ChatLoopback, TypedLinesCommandsAndTheServersLines) {
  HeadlessResult r = run();
  ASSERT_EQ(r.step, HEADLESS_SPAWNED) << headless_step_name(r.step);
  ASSERT_TRUE(Steps::clicked) << "no dialogue line with a link arrived";
  ASSERT_TRUE(Steps::replied) << "no whisper arrived";
  EXPECT_TRUE(server.wait_line("command 8 {\"a\": \"N1000\", \"b\": \"thanks\"}"));
  const std::vector<std::string> want = {
      "9 {\"channel\": 3, \"text\": \"hello\"}",
      "8 {\"a\": \"Bob\", \"b\": \"hi there\"}",
      "49 {}",
      "53 {}",
      "9 {\"channel\": 5, \"text\": \"from a macro\"}",
      "83 {\"a\": 1000, \"b\": 4}",
      "8 {\"a\": \"N1000\", \"b\": \"thanks\"}",
  };
  std::vector<std::string> got = commands();
  // The click and the reply happen at the same report: either order is fine.
  if (got.size() == want.size() && got[5] != want[5]) std::swap(got[5], got[6]);
  EXPECT_EQ(got, want);

  // Our own line came back from the server as ours; the macro's channel-5 line too.
  EXPECT_TRUE(shown(CHAT_STYLE_SAY, with(0x4492B69E, "Hero", "hello")));
  // The refusals were shown.
  EXPECT_TRUE(shown(CHAT_STYLE_SYSTEM, text(0x051F4BAC)));
  EXPECT_TRUE(shown(CHAT_STYLE_SYSTEM, text(0x09E17CC6)));
  EXPECT_TRUE(shown(CHAT_STYLE_SYSTEM, text(0x00350876)));
  // The scene's lines, each in its style.
  struct Line {
    int32_t style;
    std::string text;
  } lines[] = {
      {CHAT_STYLE_INFO, "line of type 0"},
      {CHAT_STYLE_SYSTEM, "line of type 1"},
      {CHAT_STYLE_INFO, "line of type 2"},
      {CHAT_STYLE_SAY, with(0x7FFEF040, "N1000", "line of type 3")},
      {CHAT_STYLE_WHISPER, with(0x76202B27, "N1000", "line of type 4")},
      {CHAT_STYLE_NOTICE, with(0x35511C33, "N1000", "line of type 5")},
      {CHAT_STYLE_SYSTEM, with(0x7BD85479, "N1000", "line of type 6")},
      {CHAT_STYLE_CYAN, with(0x3966B325, "N1000", "line of type 7")},
      {CHAT_STYLE_SAY, "Will you help? " + chat_cp(0xF0004) + "yes" + chat_cp(0xE000) + " or " +
                           chat_cp(0xF0005) + "no" + chat_cp(0xE000)},
      {CHAT_STYLE_SYSTEM, text(0x27FD4B27)},
      {CHAT_STYLE_SYSTEM, text(0x468FC695)},
      {CHAT_STYLE_SYSTEM, with(0x3F0CDEEC, "N1000", "")},
      {CHAT_STYLE_SYSTEM, text(0x7FDED554)},
      {CHAT_STYLE_SYSTEM, text(0x1F10F723)},
  };
  for (const Line& l : lines) EXPECT_TRUE(shown(l.style, l.text)) << l.text;

  // The chat-lines command saved the profile with the camera values.
  std::ifstream in(profile);
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_NE(saved.str().find("CHAT_LINES=8"), std::string::npos) << saved.str();
  EXPECT_NE(saved.str().find("PITCH=20.5"), std::string::npos) << saved.str();
  EXPECT_NE(saved.str().find("DISTANCE=9.25"), std::string::npos) << saved.str();
}

}  // namespace
