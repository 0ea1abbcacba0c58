// The window manager's stacking and sounds over sequences of opens, raises and closes; the
// front-end switch over the fake socket layer (state 0 closes the world session, state 2
// keeps it), the enter-game hook and leaving the world.
#include "ui/frontend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/object_requests.h"
#include "net/crypto.h"
#include "net/net.h"
#include "net/socket.h"
#include "support/socket_fake.h"
#include "ui/window_manager.h"

namespace {

std::vector<uint32_t> g_sounds;
int record_sound(uint32_t key) {
  g_sounds.push_back(key);
  return 1;
}

// The open slots and their layers as "slot:layer" words.
std::string stack_text(void) {
  std::string out;
  for (int i = 0; i < WM_SLOTS; i++)
    if (window_manager_is_open(i))
      out += std::to_string(i) + ":" + std::to_string(window_manager_layer(i)) + " ";
  return out;
}

struct WindowManager : ::testing::Test {
  void SetUp() override {
    window_manager_setup();
    window_manager_set_sound(record_sound);
    g_sounds.clear();
  }
  void TearDown() override { window_manager_set_sound(nullptr); }
};

TEST_F(WindowManager, SequencesStackAndRenumberFromAHundred) {
  struct Op {
    char what;  // o open, r raise, c close, t close top, a close all
    int slot;
  };
  struct Case {
    const char* what;
    std::vector<Op> ops;
    const char* stack;
  };
  const Case cases[] = {
      {"first open", {{'o', 3}}, "3:100 "},
      {"later opens go on top", {{'o', 3}, {'o', 7}, {'o', 0}}, "0:102 3:100 7:101 "},
      {"raising the bottom one", {{'o', 3}, {'o', 7}, {'o', 0}, {'r', 3}}, "0:101 3:102 7:100 "},
      {"re-opening an open one raises it", {{'o', 3}, {'o', 7}, {'o', 3}}, "3:101 7:100 "},
      {"closing renumbers nothing until the next open",
       {{'o', 1}, {'o', 2}, {'o', 5}, {'c', 2}},
       "1:100 5:102 "},
      {"and the next open closes the gap",
       {{'o', 1}, {'o', 2}, {'o', 5}, {'c', 2}, {'o', 9}},
       "1:100 5:101 9:102 "},
      {"close top takes the greatest layer", {{'o', 1}, {'o', 2}, {'r', 1}, {'t', 0}}, "2:100 "},
      {"close top with nothing open", {{'t', 0}}, ""},
      {"closing everything", {{'o', 1}, {'o', 12}, {'a', 0}}, ""},
      {"slots outside 0..12 are ignored", {{'o', 13}, {'o', -1}, {'c', 13}}, ""},
  };
  for (const Case& c : cases) {
    window_manager_setup();
    for (const Op& op : c.ops) {
      if (op.what == 'o') window_manager_open(op.slot);
      if (op.what == 'r') window_manager_raise(op.slot);
      if (op.what == 'c') window_manager_close(op.slot);
      if (op.what == 't') window_manager_close_top();
      if (op.what == 'a') window_manager_close_all();
    }
    EXPECT_EQ(stack_text(), c.stack) << c.what;
  }
}

TEST_F(WindowManager, OpeningAndClosingPlayTheirSoundsButNotForSlotsFourAndTen) {
  window_manager_open(2);
  window_manager_open(2);  // already open: raised in silence
  window_manager_open(4);
  window_manager_close(2);
  window_manager_close(2);  // already closed
  window_manager_open(10);
  window_manager_toggle(10);
  window_manager_toggle(11);
  window_manager_close_all();
  EXPECT_EQ(g_sounds, (std::vector<uint32_t>{WM_SOUND_OPEN, WM_SOUND_CLOSE, WM_SOUND_OPEN, WM_SOUND_CLOSE}));
  EXPECT_EQ(window_manager_close_top(), -1);
}

int g_enters[FRONTEND_STATES], g_poses, g_frames, g_left;
void screen_enter(void) { g_enters[frontend_state()]++; }
void screen_pose(void) { g_poses++; }
void screen_frame(void) { g_frames++; }
void world_left(void) { g_left++; }

struct Frontend : ::testing::Test {
  const SocketOps* saved = nullptr;
  void SetUp() override {
    socket_fake_reset();
    saved = sock_set_transport(socket_fake_ops());
    ASSERT_EQ(secure_random_open(), 1);
    net_init();
    window_manager_setup();
    window_manager_set_sound(record_sound);
    FrontendScreen screen = {nullptr, screen_enter, screen_frame, nullptr, screen_pose};
    frontend_set_screen(FRONTEND_LOGIN, &screen);
    frontend_set_screen(FRONTEND_CHARACTERS, &screen);
    frontend_start();
    ui_world_left_listen(world_left);
    g_poses = g_frames = g_left = 0;
    for (int& e : g_enters) e = 0;
  }
  void TearDown() override {
    ui_world_left_unlisten(world_left);
    frontend_shutdown();
    window_manager_set_sound(nullptr);
    net_shutdown();
    sock_set_transport(saved);
    socket_fake_reset();
  }
  void open_world(void) {
    const uint8_t creds[] = {0};
    net_world_open("127.0.0.1", 3551, creds, 1);
  }
};

TEST_F(Frontend, StateZeroClosesTheWorldSessionAndStateTwoKeepsIt) {
  struct Case {
    int state;
    int open_after;
  };
  for (const Case& c : {Case{FRONTEND_CHARACTERS, 1}, Case{FRONTEND_CREATION, 1},
                        Case{FRONTEND_SERVER_LIST, 1}, Case{FRONTEND_LOGIN, 0}}) {
    open_world();
    ASSERT_EQ(net_world_is_open(), 1);
    int closes = socket_fake()->closes;
    frontend_set_state(c.state);
    EXPECT_EQ(frontend_state(), c.state);
    EXPECT_EQ(net_world_is_open(), c.open_after) << "state " << c.state;
    EXPECT_EQ(socket_fake()->closes - closes, c.open_after ? 0 : 1);
  }
  EXPECT_EQ(g_enters[FRONTEND_LOGIN], 1);
  EXPECT_EQ(g_enters[FRONTEND_CHARACTERS], 1);
  EXPECT_EQ(g_poses, 2) << "a state without a screen runs nothing";
}

TEST_F(Frontend, ThePoseIsAppliedEveryFrontEndFrameAndTheGameTakesOverOnTheFirstSpawn) {
  frontend_set_state(FRONTEND_CHARACTERS);
  frontend_frame();
  frontend_frame();
  EXPECT_EQ(g_poses, 3);
  EXPECT_EQ(g_frames, 2);
  game_objects_enter_game();  // the local player's first spawn, through the hook
  EXPECT_EQ(frontend_in_game(), 1);
  frontend_frame();
  EXPECT_EQ(g_frames, 2) << "the in-game frame runs instead";
  window_manager_open(1);
  window_manager_open(6);
  frontend_set_state(FRONTEND_CHARACTERS);  // leaving the world
  EXPECT_EQ(frontend_in_game(), 0);
  EXPECT_EQ(stack_text(), "");
  EXPECT_EQ(g_left, 1);
  frontend_set_state(FRONTEND_LOGIN);  // not in the world: no second leave
  EXPECT_EQ(g_left, 1);
}

}  // namespace
