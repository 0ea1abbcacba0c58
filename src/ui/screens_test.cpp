// The front-end screens driven frame by frame through the interface kit, over the fake socket
// layer: the login fields' rules, empty fields, the remember flag, Enter, Escape and Tab; the
// world list's choice and the ticket it needs; the selection's wait, the way to creation and
// the delete dialog's confirmation; the creation's name rules and points; the return from the
// game world to the selection and the return to the login server that times out.
#include "ui/screens.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "net/socket.h"
#include "platform/keymap.h"
#include "platform/quit.h"
#include "settings/settings.h"
#include "support/socket_fake.h"
#include "support/test_files.h"
#include "support/ui_kit.h"
#include "ui/character_classes.h"
#include "ui/frontend.h"
#include "ui/ui_frame.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

std::vector<uint32_t> g_sounds;
int g_quits;

int record_sound(uint32_t key) {
  g_sounds.push_back(key);
  return 1;
}

UiKitRow idle(void) {
  UiKitRow r = {};
  r.x = r.y = -1;
  return r;
}

// A key tap: pressed, then two frames up.
std::vector<UiKitRow> tap(uint32_t key) {
  UiKitRow down = idle();
  down.keys[0] = key;
  return {down, idle(), idle()};
}

std::vector<UiKitRow> type(const char* text) {
  UiKitRow r = idle();
  r.text = text;
  return {r, idle()};
}

// The rectangle centre of the widget declared this frame with this id.
bool widget_centre(uint32_t id, int32_t* x, int32_t* y) {
  for (uint32_t i = 0; i < ui_frame_window_count(); i++)
    for (const UiWidget* w = ui_frame_window(i)->first; w; w = w->next)
      if (w->id == id) {
        *x = w->x + w->width / 2;
        *y = w->y + w->height / 2;
        return true;
      }
  return false;
}

const UiWidget* widget_of(uint32_t id) {
  for (uint32_t i = 0; i < ui_frame_window_count(); i++)
    for (const UiWidget* w = ui_frame_window(i)->first; w; w = w->next)
      if (w->id == id) return w;
  return nullptr;
}

struct Screens : ::testing::Test {
  const SocketOps* saved = nullptr;
  TestTempDir dir{"screens"};

  void SetUp() override {
    socket_fake_reset();
    saved = sock_set_transport(socket_fake_ops());
    ASSERT_EQ(secure_random_open(), 1);
    net_init();
    test_write_file(dir / "settings.ini", "[Network]\nHOST=127.0.0.1\nPORT=3550\n");
    settings_load((dir / "settings.ini").c_str());
    ui_kit_start(UiKitOptions{640, 480, 0, 1});
    ui_kit_skin_in_kit_font();
    screens_set_sound(record_sound);
    quit_set_hook([](int) { g_quits++; });
    screens_install();
    screens_install_effects(net_effects());
    frontend_setup();
    frontend_set_state(FRONTEND_LOGIN);
    g_sounds.clear();
    g_quits = 0;
  }
  void TearDown() override {
    frontend_shutdown();
    screens_remove_effects(net_effects());
    screens_set_sound(nullptr);
    quit_set_hook(nullptr);
    ui_kit_stop();
    settings_close();
    net_shutdown();
    sock_set_transport(saved);
    socket_fake_reset();
  }
  void run(const std::vector<UiKitRow>& rows) { ui_kit_run(rows, frontend_frame); }
  void frame(void) { run({idle()}); }
  // A left click on the widget as declared in the last frame.
  void click(uint32_t id) {
    int32_t x = 0, y = 0;
    ASSERT_TRUE(widget_centre(id, &x, &y)) << std::hex << id;
    UiKitRow down = idle(), up = idle();
    down.x = up.x = x;
    down.y = up.y = y;
    down.buttons = UI_KIT_LEFT;
    // Pressed, held, released (the click is reported), then the frame that acts on it.
    run({up, down, up, up, up});
  }
  LoginView login(void) {
    LoginView v;
    login_view(&v);
    return v;
  }
  CharacterView chars(void) {
    CharacterView v;
    character_view(&v);
    return v;
  }
  void summary(const char* character) {
    MsgCharacterSummary s = {};
    s.name = "alice";
    if (character) {
      s.detail_count = 1;
      s.details.id = 77;
      s.details.name = character;
      s.details.line = "Level 1";
    }
    NetEvent e = {MSG_CHARACTER_SUMMARY, 0, 0};
    net_effects()->character_summary(&e, &s);
  }
};

TEST_F(Screens, LoginFieldsRefuseWhatTheWireCannotCarry) {
  struct Case {
    const char* what;
    int focus_password;
    std::string typed;
    uint32_t count;
  };
  const Case cases[] = {
      {"account refuses a space", 0, "al ice", 5},
      {"account keeps 256 characters", 0, std::string(257, 'a'), 256},
      {"password takes spaces", 1, "p w", 3},
      {"password keeps 128 characters", 1, std::string(129, 'p'), 128},
  };
  for (const Case& c : cases) {
    frontend_set_state(FRONTEND_LOGIN);
    frame();
    if (c.focus_password) run(tap(KEY_TAB));
    // Spaces come with their key, not as typed text; the rest is typed.
    for (char ch : c.typed) {
      if (ch == ' ')
        run(tap(KEY_SPACE));
      else {
        const char text[2] = {ch, 0};
        run({[&] {
          UiKitRow r = idle();
          r.text = text;
          return r;
        }()});
      }
    }
    frame();
    const LoginView v = login();
    EXPECT_EQ(c.focus_password ? v.password_count : v.account_count, c.count) << c.what;
  }
  // The password shows stars only.
  const UiWidget* w = widget_of(2);
  ASSERT_NE(w, nullptr);
  for (uint32_t i = 0; i < w->text_count; i++) EXPECT_EQ(w->text[i], (uint32_t)'*');
}

TEST_F(Screens, EmptyFieldsShowTheirTextAndOpenNothing) {
  struct Case {
    const char* account;
    const char* password;
    uint32_t key;
  };
  for (const Case& c : {Case{"", "", 0x2821B3E9u}, Case{"alice", "", 0x3E520157u}}) {
    frontend_set_state(FRONTEND_LOGIN);
    frame();
    run(type(c.account));
    run(tap(KEY_TAB));
    run(type(c.password));
    run(tap(KEY_ENTER));
    EXPECT_EQ(login().status_key, c.key);
    EXPECT_EQ(login().button_key, 0x32E41D02u);
    EXPECT_EQ(net_login_is_open(), 0);
    run(tap(KEY_ESCAPE));  // dismisses; no quit with a box shown
    EXPECT_EQ(login().status_key, 0u);
    EXPECT_EQ(g_quits, 0);
  }
  EXPECT_EQ(g_sounds, (std::vector<uint32_t>{0x3D18E43Du, 0x72C42402u, 0x3D18E43Du, 0x72C42402u}));
  run(tap(KEY_ESCAPE));  // nothing shown: quit
  EXPECT_EQ(g_quits, 1);
}

TEST_F(Screens, LoggingInOpensTheSessionClearsThePasswordAndStoresTheAccountWhenRemembered) {
  struct Case {
    int remember;
    const char* stored;
  };
  for (const Case& c : {Case{0, ""}, Case{1, "alice"}}) {
    net_close_all();
    socket_fake_reset();
    setting_set_account(c.remember ? "" : "bob");
    frontend_set_state(FRONTEND_LOGIN);
    frame();
    EXPECT_EQ(login().remember, c.remember ? 0 : 1);
    if (!c.remember) {
      EXPECT_EQ(login().account_count, 3u) << "the remembered account is restored";
      EXPECT_EQ(login().focus, 2) << "focus on the password";
      click(0x4C000012u);  // remember off
      EXPECT_EQ(login().remember, 0);
      run(tap(KEY_TAB));
      for (int i = 0; i < 3; i++) run(tap(KEY_BACKSPACE));
    } else {
      click(0x4C000012u);
      EXPECT_EQ(login().remember, 1);
    }
    run(type("alice"));
    run(tap(KEY_TAB));
    run(type("s3cret"));
    run(tap(KEY_ENTER));
    const LoginView v = login();
    EXPECT_EQ(net_login_is_open(), 1);
    EXPECT_EQ(v.busy, 1);
    EXPECT_EQ(v.password_count, 0u);
    EXPECT_EQ(std::string(setting_account()), c.stored);
    run(tap(KEY_TAB));
    EXPECT_EQ(login().focus, 2) << "Tab does nothing while busy";
    run(tap(KEY_ENTER));
    EXPECT_EQ(login().busy, 1) << "Enter does nothing while busy";
  }
}

TEST_F(Screens, TheWorldListNeedsWorldsForATicketAndMovesTheHighlight) {
  NetEvent e = {MSG_WORLD_TICKET, 0, 0};
  MsgText ticket = {"T"};
  net_effects()->world_ticket(&e, &ticket);
  EXPECT_EQ(net_world_is_open(), 0) << "a ticket with an empty list opens nothing";
  WorldEntry worlds[2] = {};
  snprintf(worlds[0].name, sizeof worlds[0].name, "Aster");
  snprintf(worlds[1].name, sizeof worlds[1].name, "Briar");
  snprintf(worlds[1].label, sizeof worlds[1].label, "Briar (closed)");
  worlds[0].port = worlds[1].port = 3551;
  snprintf(worlds[0].host, sizeof worlds[0].host, "127.0.0.1");
  snprintf(worlds[1].host, sizeof worlds[1].host, "127.0.0.1");
  MsgWorldList list = {};
  list.worlds.items = worlds;
  list.worlds.count = 2;
  NetEvent set = {MSG_WORLD_LIST_SET, 0, 0};
  net_effects()->world_list(&set, &list);
  frontend_set_state(FRONTEND_SERVER_LIST);
  frame();
  WorldListView v;
  world_list_view(&v);
  EXPECT_EQ(v.count, 2);
  EXPECT_EQ(v.selected, 0);
  run(tap(KEY_DOWN));
  run(tap(KEY_DOWN));
  world_list_view(&v);
  EXPECT_EQ(v.selected, 1) << "held at the last world";
  click(0x57000100u);
  world_list_view(&v);
  EXPECT_EQ(v.selected, 0) << "a click picks";
  net_effects()->world_ticket(&e, &ticket);
  world_list_view(&v);
  EXPECT_EQ(net_world_is_open(), 1);
  EXPECT_EQ(v.connecting, 1);
  run(tap(KEY_ESCAPE));
  EXPECT_EQ(frontend_state(), FRONTEND_SERVER_LIST) << "Escape does not leave while the world session opens";
}

TEST_F(Screens, TheSelectionWaitsForItsListAndAnAccountWithoutACharacterGoesToCreation) {
  frontend_set_state(FRONTEND_CHARACTERS);
  frame();
  EXPECT_EQ(chars().requested, 1);
  EXPECT_EQ(chars().status_key, 0x6777E88Du);
  run(tap(KEY_ENTER));
  EXPECT_EQ(chars().status_key, 0x6777E88Du) << "nothing to enter yet";
  summary(nullptr);
  frame();
  EXPECT_EQ(frontend_state(), FRONTEND_CREATION) << "reached without a key";
}

TEST_F(Screens, TheDeleteDialogConfirmsOnlyTheCharactersNameInAnyCase) {
  struct Case {
    const char* typed;
    int confirmed;
  };
  for (const Case& c : {Case{"hERO", 1}, Case{"Her", 0}, Case{"Heroes", 0}, Case{"HERO", 1}}) {
    frontend_set_state(FRONTEND_CHARACTERS);
    frame();
    summary("Hero");
    frame();
    EXPECT_EQ(chars().status_key, 0u);
    click(0x43000012u);  // delete
    ASSERT_EQ(chars().dialog_open, 1);
    run(type(c.typed));
    EXPECT_EQ(chars().confirm_enabled, c.confirmed) << c.typed;
    run(tap(KEY_ENTER));  // obeys the button's condition
    EXPECT_EQ(chars().dialog_open, c.confirmed ? 0 : 1) << c.typed;
    EXPECT_EQ(chars().status_key, c.confirmed ? 0x2940B660u : 0u) << c.typed;
    if (!c.confirmed) {
      run(tap(KEY_ESCAPE));
      EXPECT_EQ(chars().dialog_open, 0);
      EXPECT_EQ(frontend_state(), FRONTEND_CHARACTERS) << "Escape closed the dialog only";
    }
  }
}

TEST_F(Screens, CreationTakesLettersOnlyAndCreatesWithAFullNameAndNoPointsLeft) {
  frontend_set_state(FRONTEND_CREATION);
  frame();
  run(type("Ab1 c-D"));
  EXPECT_EQ(chars().name_count, 4u) << "letters only";
  run(type("efghijklmnopqrs"));
  EXPECT_EQ(chars().name_count, 15u) << "at most 15";

  // + on the first attribute 26 times: 25 taken, the 26th changes nothing.
  for (int i = 0; i < 26; i++) click(0x43100020u);
  EXPECT_EQ(chars().added[0], CLASS_ADDED_MAX);
  EXPECT_EQ(chars().pool, CLASS_POOL - CLASS_ADDED_MAX);
  click(0x43100031u);  // - on an attribute with nothing added
  EXPECT_EQ(chars().pool, CLASS_POOL - CLASS_ADDED_MAX) << "the pool changes only with the value";
  run(tap(KEY_ENTER));
  EXPECT_EQ(chars().status_key, 0u) << "unspent points: nothing sent";
  for (int i = 0; i < 5; i++) click(0x43100021u);
  EXPECT_EQ(chars().pool, 0);
  click(0x43100022u);
  EXPECT_EQ(chars().added[2], 0) << "+ with an empty pool";
  click(0x43100012u);  // class right
  EXPECT_EQ(chars().klass, 1);
  click(0x43100014u);  // the other sex
  EXPECT_EQ(chars().sex, 0);
  run(tap(KEY_ENTER));
  EXPECT_EQ(chars().status_key, 0x784E9F3Au);
}

TEST_F(Screens, CreationRefusesAShortName) {
  frontend_set_state(FRONTEND_CREATION);
  frame();
  run(type("Al"));
  for (int i = 0; i < 25; i++) click(0x43100020u);
  for (int i = 0; i < 5; i++) click(0x43100023u);
  ASSERT_EQ(chars().pool, 0);
  run(tap(KEY_ENTER));
  EXPECT_EQ(chars().status_key, 0u);
  run(type("x"));
  run(tap(KEY_ENTER));
  EXPECT_EQ(chars().status_key, 0x784E9F3Au);
}

int g_backgrounds;

TEST_F(Screens, BackToCharactersLeavesTheGameWorldForTheSelectionOverTheBackground) {
  g_backgrounds = 0;
  frontend_set_background([] { g_backgrounds++; });
  NetEvent e = {MSG_BACK_TO_CHARACTERS, 0, 0};
  MsgEmpty empty = {};
  net_effects()->back_to_characters(&e, &empty);
  EXPECT_EQ(frontend_state(), FRONTEND_LOGIN) << "outside the game world it does nothing";
  frontend_enter_game();
  net_effects()->back_to_characters(&e, &empty);
  EXPECT_EQ(frontend_in_game(), 0);
  EXPECT_EQ(frontend_state(), FRONTEND_CHARACTERS);
  EXPECT_EQ(g_backgrounds, 1);
  frame();
  EXPECT_EQ(chars().requested, 1) << "the selection asks for its list again";
}

TEST_F(Screens, AReturnToTheLoginServerGivesUpAfterThirtySeconds) {
  const uint8_t ticket[] = {'T', 0};
  net_world_open("127.0.0.1", 3551, ticket, 2);
  frontend_set_state(FRONTEND_CHARACTERS);
  frame();
  summary("Hero");
  frame();
  run(tap(KEY_ESCAPE));
  EXPECT_EQ(login().waiting, 1);
  EXPECT_EQ(login().status_key, 0x7E88FB79u);
  UiKitRow slow = idle();
  slow.dt = 1.0f;
  std::vector<UiKitRow> rows(31, slow);
  run(rows);
  EXPECT_EQ(login().waiting, 0);
  EXPECT_EQ(login().status_key, 0x28B5D574u) << "timed out";
  EXPECT_EQ(login().button_key, 0x32E41D02u);
  EXPECT_EQ(net_world_is_open(), 0);
  EXPECT_EQ(frontend_state(), FRONTEND_CHARACTERS);
  run(tap(KEY_ENTER));
  EXPECT_EQ(frontend_state(), FRONTEND_LOGIN) << "dismissed: back to the login screen";
}

}  // namespace
