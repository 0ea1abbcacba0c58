// The front-end screens driven through the interface kit against the local login and world
// servers over 127.0.0.1: typed credentials arrive byte for byte, the world is picked by name,
// an account without a character is taken to creation and creates one with every point spent,
// the character is entered by its id; a name another account holds shows the server's notice;
// the closed world shows its error and leaves the list; an unasked return text or a ticket
// with an empty list opens nothing; Escape on the selection returns to the login server.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "assets/locale_keys.h"
#include "devserver_process.h"
#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "net/socket.h"
#include "platform/keymap.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "support/ui_kit.h"
#include "ui/frontend.h"
#include "ui/screens.h"
#include "ui/ui_frame.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

// Profiles go to the per-user folder: a private one for this program.
const int kPrivateHome = [] {
  static char home[] = "/tmp/ostrevane-screens-home-XXXXXX";
  if (mkdtemp(home)) {
    setenv("HOME", home, 1);
    setenv("XDG_DATA_HOME", home, 1);
  }
  return 0;
}();

UiKitRow idle(void) {
  UiKitRow r = {};
  r.x = r.y = -1;
  return r;
}

void declare(void) {
  net_frame();
  frontend_frame();
}

std::string hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

struct ScreensLoopback : ::testing::Test {
  DevServer server;
  TestTempDir dir{"screens_loopback"};

  void SetUp() override {
    (void)kPrivateHome;
    ASSERT_EQ(sock_startup(), 0);
    ASSERT_EQ(secure_random_open(), 1);
    net_init();
  }
  void TearDown() override {
    frontend_shutdown();
    screens_remove_effects(net_effects());
    screens_set_sound(nullptr);
    ui_kit_stop();
    settings_close();
    net_shutdown();
    server.stop();
  }
  void start(const std::string& login_scenario = "", const std::string& world_scenario = "") {
    server.role = "game";
    ASSERT_TRUE(server.start(
        login_scenario, {"--world-port", "0", "--data", dir / "server", "--world-scenario", world_scenario}));
    ASSERT_TRUE(server.wait_line("world "));
    test_write_file(dir / "settings.ini",
                    "[Network]\nHOST=127.0.0.1\nPORT=" + std::to_string(server.port) + "\n");
    settings_load((dir / "settings.ini").c_str());
    ui_kit_start(UiKitOptions{640, 480, 0, 1});
    ui_kit_skin_in_kit_font();
    screens_set_sound([](uint32_t) { return 1; });
    screens_install();
    screens_install_effects(net_effects());
    frontend_setup();
    frontend_set_state(FRONTEND_LOGIN);
  }
  void run(const UiKitRow& row) {
    ui_kit_frame(row, declare);
    usleep(1000);
  }
  // Frames until the condition holds (at most about ten seconds).
  bool until(const std::function<bool()>& done) {
    for (int i = 0; i < 5000; i++) {
      if (done()) return true;
      run(idle());
    }
    return done();
  }
  void tap(uint32_t key) {
    UiKitRow down = idle();
    down.keys[0] = key;
    run(down);
    run(idle());
    run(idle());
  }
  void type(const char* text) {
    UiKitRow r = idle();
    r.text = text;
    run(r);
    run(idle());
  }
  void click(uint32_t id) {
    for (uint32_t i = 0; i < ui_frame_window_count(); i++)
      for (const UiWidget* w = ui_frame_window(i)->first; w; w = w->next)
        if (w->id == id) {
          UiKitRow r = idle();
          r.x = w->x + w->width / 2;
          r.y = w->y + w->height / 2;
          run(r);
          r.buttons = UI_KIT_LEFT;
          run(r);
          r.buttons = 0;
          run(r);  // held: the release shows in the next frame
          run(r);  // released: the click is reported
          run(r);  // the screen acts on it
          return;
        }
    ADD_FAILURE() << "no widget " << std::hex << id;
  }
  void log_in(const char* account, const char* password) {
    run(idle());
    type(account);
    tap(KEY_TAB);
    type(password);
    tap(KEY_ENTER);
  }
  CharacterView chars(void) {
    CharacterView v;
    character_view(&v);
    return v;
  }
  // Creation with 25 points on the first attribute and 5 on the second.
  void create(const char* name) {
    type(name);
    for (int i = 0; i < 25; i++) click(0x43100020u);
    for (int i = 0; i < 5; i++) click(0x43100021u);
    tap(KEY_ENTER);
  }
  int state(void) { return frontend_state(); }
};

TEST_F(ScreensLoopback, ANewPlayerLogsInPicksTheWorldCreatesAndEnters) {
  start();
  log_in("alice", "s3cret");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; }));
  // The client has no locale here: the bare form, byte for byte.
  EXPECT_TRUE(server.wait_line("event 0 credentials " + hex(std::string("alice\ns3cret\0", 13))));
  EXPECT_EQ(std::string(setting_account()), "") << "remember is off for a new player";
  WorldListView worlds;
  world_list_view(&worlds);
  EXPECT_EQ(worlds.count, 2);
  tap(KEY_ENTER);
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CREATION; })) << "reached without a key";
  EXPECT_TRUE(server.has_line("pick-world Ostrevane"));
  EXPECT_TRUE(server.has_line("event 1000 game 1 -"));
  create("Hero");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CHARACTERS && chars().present; }));
  EXPECT_TRUE(server.has_line("created Hero"));
  // Class 0's base values, 25 and 5 added: the payload as the server received it.
  // After the name: 40 + 25, 30 + 5, 40, 20, sex 1, class 0 and the constant 1.
  EXPECT_TRUE(
      server.has_line("412328140100"
                      "01000000"));
  const int32_t id = chars().id;
  ASSERT_GT(id, 0);
  tap(KEY_ENTER);
  std::string le(4, 0);
  for (int i = 0; i < 4; i++) le[i] = (char)(((uint32_t)id >> (8 * i)) & 0xFF);
  EXPECT_TRUE(server.wait_line("event 1000 game 5 " + hex(le)));
  EXPECT_EQ(chars().status_key, 0x0FFCE4F1u);
}

TEST_F(ScreensLoopback, ANameAnotherAccountHoldsShowsTheServersNotice) {
  start();
  log_in("alice", "s3cret");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; }));
  tap(KEY_ENTER);
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CREATION; }));
  create("Hero");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CHARACTERS && chars().present; }));

  // A second player, the same name in other letters.
  tap(KEY_ESCAPE);  // back to the login server
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; })) << "through the return text";
  EXPECT_TRUE(server.wait_line("login relogin"));
  run(idle());
  net_login_close();
  frontend_set_state(FRONTEND_LOGIN);
  log_in("bob", "pw");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; }));
  tap(KEY_ENTER);
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CREATION; }));
  create("hERO");
  ASSERT_TRUE(until([&] { return chars().status_key == LOCALE_KEY_CHAR_NOTICE_B; }));
  EXPECT_TRUE(server.has_line("create-refused name-taken"));
  EXPECT_EQ(state(), FRONTEND_CREATION);
}

TEST_F(ScreensLoopback, TheClosedWorldShowsItsErrorAndLeavesThePlayerOnTheList) {
  start();
  log_in("carol", "pw");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; }));
  tap(KEY_DOWN);
  tap(KEY_ENTER);
  WorldListView v;
  ASSERT_TRUE(until([&] {
    world_list_view(&v);
    return v.button_key != 0;
  }));
  EXPECT_TRUE(server.has_line("pick-world Farreach"));
  EXPECT_EQ(v.status_key, net_status_key(SESSION_STATUS_FAILED));
  tap(KEY_ENTER);
  world_list_view(&v);
  EXPECT_EQ(v.status_key, 0u);
  EXPECT_EQ(state(), FRONTEND_SERVER_LIST);
  EXPECT_EQ(v.count, 2);
}

TEST_F(ScreensLoopback, AnUnaskedReturnTextOrATicketWithAnEmptyListOpensNothing) {
  start("empty-ticket", "unasked-relogin");
  log_in("dave", "pw");
  ASSERT_TRUE(until([&] { return server.has_line("event 0 game 1 -"); }));
  for (int i = 0; i < 100; i++) run(idle());
  EXPECT_EQ(net_world_is_open(), 0) << "the ticket came with an empty list";
  EXPECT_FALSE(server.has_line("event 1000"));
  EXPECT_EQ(state(), FRONTEND_SERVER_LIST);
}

TEST_F(ScreensLoopback, AnUnaskedReturnTextOnTheSelectionOpensNothing) {
  start("", "unasked-relogin");
  log_in("erin", "pw");
  ASSERT_TRUE(until([&] { return state() == FRONTEND_SERVER_LIST; }));
  tap(KEY_ENTER);
  ASSERT_TRUE(until([&] { return state() == FRONTEND_CREATION; }));
  for (int i = 0; i < 50; i++) run(idle());
  EXPECT_FALSE(server.has_line("event 1 "));
  EXPECT_EQ(net_world_is_open(), 1);
}

}  // namespace
