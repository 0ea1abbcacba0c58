#include "net/net.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "assets/locale.h"
#include "assets/locale_keys.h"
#include "net/crypto.h"
#include "net/dispatch.h"
#include "support/session_test_support.h"
#include "support/socket_fake.h"

namespace {

// What the effects saw, in order: (opcode, value).
std::vector<std::pair<int, uint32_t>>& seen() {
  static std::vector<std::pair<int, uint32_t>> s;
  return s;
}

int32_t hold_all_but_clock(uint16_t opcode) { return opcode == MSG_WORLD_CLOCK ? 0 : 1; }

Bytes u32_payload(uint32_t v) {
  return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}

struct NetTest : ::testing::Test {
  const SocketOps* saved = nullptr;
  void SetUp() override {
    seen().clear();
    net_effects_clear();
    net_effects()->remove = [](const NetEvent* e, const MsgId* r) { seen().push_back({e->opcode, r->id}); };
    net_effects()->world_clock = [](const NetEvent* e, const MsgInt* r) {
      seen().push_back({e->opcode, (uint32_t)r->value});
    };
    socket_fake_reset();
    saved = sock_set_transport(socket_fake_ops());
    ASSERT_EQ(secure_random_open(), 1);
    net_init();
    FrameClock::step() = 0.0f;
    session_set_frame_time(FrameClock::source);
  }
  void TearDown() override {
    net_shutdown();
    session_set_frame_time(nullptr);
    sock_set_transport(saved);
    socket_fake_reset();
    net_effects_clear();
  }
  // Delivers one message whose payload buffer is scribbled over afterwards, so a held copy
  // that still pointed at it would be caught.
  void deliver(uint16_t opcode, uint32_t value) {
    Bytes payload = u32_payload(value);
    NetMessage m = {0, opcode, 0, payload.data(), (int32_t)payload.size()};
    net_deliver(&m);
    std::fill(payload.begin(), payload.end(), 0xEE);
  }
};

using Seen = std::vector<std::pair<int, uint32_t>>;

TEST_F(NetTest, HoldingKeepsOrderAndLetsFilteredOpcodesThrough) {
  net_set_hold(1, hold_all_but_clock);
  deliver(MSG_REMOVE, 1);
  deliver(MSG_WORLD_CLOCK, 100);
  deliver(MSG_REMOVE, 2);
  deliver(MSG_WORLD_CLOCK, 101);
  EXPECT_EQ(seen(), (Seen{{MSG_WORLD_CLOCK, 100}, {MSG_WORLD_CLOCK, 101}}));
  EXPECT_EQ(net_held_count(), 2u);
  net_frame();  // still holding: nothing comes out
  EXPECT_EQ(net_held_count(), 2u);
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_WORLD_CLOCK, 100}, {MSG_WORLD_CLOCK, 101}, {MSG_REMOVE, 1}, {MSG_REMOVE, 2}}));
  EXPECT_EQ(net_held_count(), 0u);
}

TEST_F(NetTest, NoFilterHoldsEverything) {
  net_set_hold(1, nullptr);
  deliver(MSG_WORLD_CLOCK, 7);
  EXPECT_TRUE(seen().empty());
  EXPECT_EQ(net_held_count(), 1u);
}

TEST_F(NetTest, DropRemovesOnlyThatOpcodeAndDiscardWaitsForHoldOff) {
  net_set_hold(1, nullptr);
  deliver(MSG_REMOVE, 1);
  deliver(MSG_WORLD_CLOCK, 2);
  deliver(MSG_REMOVE, 3);
  deliver(MSG_WORLD_CLOCK, 4);
  net_drop_held(MSG_REMOVE);
  EXPECT_EQ(net_held_count(), 2u);
  net_discard_held();  // ignored while holding
  EXPECT_EQ(net_held_count(), 2u);
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_WORLD_CLOCK, 2}, {MSG_WORLD_CLOCK, 4}}));

  net_set_hold(1, nullptr);
  deliver(MSG_REMOVE, 5);
  net_set_hold(0, nullptr);
  net_discard_held();
  EXPECT_EQ(net_held_count(), 0u);
  net_frame();
  EXPECT_EQ(seen().size(), 2u);
}

TEST_F(NetTest, HandlerThatStartsHoldingStopsDeliveryOfHeldMessages) {
  net_effects()->remove = [](const NetEvent* e, const MsgId* r) {
    seen().push_back({e->opcode, r->id});
    if (r->id == 2) net_set_hold(1, nullptr);  // as a zone load would
  };
  net_set_hold(1, nullptr);
  for (uint32_t i = 1; i <= 4; i++) deliver(MSG_REMOVE, i);
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_REMOVE, 1}, {MSG_REMOVE, 2}}));
  EXPECT_EQ(net_held_count(), 2u);
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_REMOVE, 1}, {MSG_REMOVE, 2}, {MSG_REMOVE, 3}, {MSG_REMOVE, 4}}));
}

// A handler of a held message that empties the held queue (the zone filter dropping held
// zone-enters does) must not reset the arena the message being delivered lives in: with more
// than 1 KiB held the reset frees that block (ASan sees the use).
TEST_F(NetTest, DroppingHeldMessagesDuringDeliveryKeepsTheDeliveredOne) {
  net_effects()->world_clock = [](const NetEvent* e, const MsgInt* r) {
    net_drop_held(MSG_REMOVE);
    seen().push_back({e->opcode, (uint32_t)r->value});
  };
  net_set_hold(1, nullptr);
  for (uint32_t i = 0; i < 64; i++) deliver(MSG_REMOVE, i);
  deliver(MSG_WORLD_CLOCK, 7);
  deliver(MSG_REMOVE, 99);
  net_set_hold(0, nullptr);
  net_frame();
  ASSERT_EQ(seen().size(), 65u);
  EXPECT_EQ(seen()[64], (std::pair<int, uint32_t>{MSG_WORLD_CLOCK, 7}));
  EXPECT_EQ(net_held_count(), 0u);
  // The arena is still usable afterwards.
  net_set_hold(1, nullptr);
  deliver(MSG_REMOVE, 5);
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen().back(), (std::pair<int, uint32_t>{MSG_REMOVE, 5}));
}

TEST_F(NetTest, LoginSessionPollsDeliversAndKeepsStatus) {
  net_login_send(OUT_LOGIN_ASK_WORLDS);  // not open: nothing goes out
  EXPECT_EQ(socket_fake()->outbound_length, 0u);
  const uint8_t creds[] = {'a', 0};
  net_login_open("127.0.0.1", 3550, creds, sizeof creds);
  ASSERT_TRUE(net_login_is_open());
  const int32_t first = net_login_status();
  EXPECT_EQ(first, 0);
  net_login_open("127.0.0.1", 3551, creds, sizeof creds);  // already open: nothing changes
  EXPECT_EQ(net_login_status(), first);
  EXPECT_EQ(socket_fake()->connect_port, 3550);

  const Bytes a = plain_frame(0, MSG_REMOVE, u32_payload(9));
  const Bytes b = plain_frame(0, MSG_WORLD_CLOCK, u32_payload(10));
  socket_fake_push(a.data(), a.size());
  socket_fake_push(b.data(), b.size());
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_REMOVE, 9}, {MSG_WORLD_CLOCK, 10}}));
  EXPECT_GT(net_login_status(), 0);
  EXPECT_FALSE(net_world_is_open());
}

TEST_F(NetTest, HeldMessagesComeBeforeNewlyPolledOnes) {
  const uint8_t creds[] = {0};
  net_world_open("127.0.0.1", 3551, creds, 1);
  net_set_hold(1, nullptr);
  deliver(MSG_REMOVE, 1);
  const Bytes fresh = plain_frame(0, MSG_WORLD_CLOCK, u32_payload(2));
  socket_fake_push(fresh.data(), fresh.size());
  net_set_hold(0, nullptr);
  net_frame();
  EXPECT_EQ(seen(), (Seen{{MSG_REMOVE, 1}, {MSG_WORLD_CLOCK, 2}}));
}

TEST_F(NetTest, FailingSessionIsClosedInTheSameFrameAndItsStatusStays) {
  struct Row {
    const char* what;
    void (*provoke)();
    int32_t want;
  } rows[] = {
      {"silent server times out", [] { FrameClock::step() = 31.0f; }, -9},
      {"server hangs up", [] { socket_fake()->end_of_stream = 1; }, -1},
  };
  for (const Row& row : rows) {
    socket_fake_reset();
    FrameClock::step() = 0.0f;
    const uint8_t creds[] = {0};
    net_world_open("127.0.0.1", 3551, creds, 1);
    ASSERT_TRUE(net_world_is_open()) << row.what;
    net_frame();
    ASSERT_TRUE(net_world_is_open()) << row.what;
    row.provoke();
    net_frame();
    EXPECT_FALSE(net_world_is_open()) << row.what;
    EXPECT_EQ(net_world_status(), row.want) << row.what;
    FrameClock::step() = 0.0f;
    net_frame();
    EXPECT_EQ(net_world_status(), row.want) << row.what << ": status kept after the close";
  }
}

TEST(NetCredentials, BuiltByteForByte) {
  uint8_t out[NET_CREDENTIALS_MAX + 8];
  struct Row {
    const char* what;
    const char *prefix, *separator, *account, *password;
    int32_t want_length;
    std::string want;
  } rows[] = {
      {"plain", "", "\n", "alice", "pw", 9, std::string("alice\npw\0", 9)},
      {"prefix and separator", "L:", "\x01", "bob", "x y", 10, std::string("L:bob\x01x y\0", 10)},
      {"latin-1 letters are one byte", "", "\n", "Jos\xC3\xA9", "\xC3\xBF", 7,
       std::string("Jos\xE9\n\xFF\0", 7)},
      {"empty fields", "", "\n", "", "", 2, std::string("\n\0", 2)},
      {"above 0xFF is refused", "", "\n", "\xE2\x82\xAC", "pw", -1, ""},
      {"control character is refused", "", "\n", "a", "p\tw", -1, ""},
      {"invalid UTF-8 is refused", "", "\n", "a\xC3", "pw", -1, ""},
  };
  for (const Row& row : rows) {
    memset(out, 0x5A, sizeof out);
    const int32_t n =
        net_build_credentials_with(row.prefix, row.separator, row.account, row.password, out, sizeof out);
    EXPECT_EQ(n, row.want_length) << row.what;
    if (n > 0) {
      EXPECT_EQ(std::string((const char*)out, (size_t)n), row.want) << row.what;
    }
  }
}

TEST(NetCredentials, AtMost1024BytesAndNeverCutSilently) {
  std::vector<uint8_t> out(2000);
  const std::string fits(1024 - 3, 'p');  // "a" + "\n" + password + zero = 1024
  EXPECT_EQ(net_build_credentials_with("", "\n", "a", fits.c_str(), out.data(), (uint32_t)out.size()), 1024);
  EXPECT_EQ(out[1023], 0);
  const std::string too_long(1024 - 2, 'p');
  EXPECT_EQ(net_build_credentials_with("", "\n", "a", too_long.c_str(), out.data(), (uint32_t)out.size()),
            -1);
  for (size_t i = 0; i < 1024; i++) ASSERT_EQ(out[i], 0) << "refused credentials are wiped";
  EXPECT_EQ(net_build_credentials_with("", "\n", "a", "b", out.data(), 3), -1);
  EXPECT_EQ(net_build_credentials_with("", "\n", "a", "b", out.data(), 4), 4);
}

// Each status reads its own line of the demo locale; an unknown status falls back by its sign.
TEST(NetStatus, LinesOfTheLoginScreenInTheDemoLocale) {
  const std::string assets = std::string(OSTREVANE_BINARY_DIR) + "/assets";
  locale_load(assets.c_str(), 1);
  ASSERT_TRUE(locale_is_loaded());
  const struct {
    int32_t status;
    const char* words;  // part of the line the demo locale shows
  } rows[] = {
      {SESSION_STATUS_OPENED, "Connecting"},
      {SESSION_STATUS_CONNECTING, "Connecting"},
      {SESSION_STATUS_CONNECTED, "Securing"},
      {SESSION_STATUS_ENCRYPTED, "Checking your account"},
      {SESSION_STATUS_ACCEPTED, "Logged in"},
      {SESSION_STATUS_FAILED, "Could not connect"},
      {SESSION_STATUS_REJECTED_9, "password is incorrect"},
      {SESSION_STATUS_REJECTED_10, "already logged in"},
      {SESSION_STATUS_REJECTED_11, "suspended"},
      {SESSION_STATUS_REJECTED_12, "server is full"},
      {SESSION_STATUS_REJECTED_13, "out of date"},
      {SESSION_STATUS_REJECTED_14, "refused the login"},
      {SESSION_STATUS_REJECTED_16, "maintenance"},
      {SESSION_STATUS_TIMED_OUT, "timed out"},
      {-10, "Could not connect"},
      {INT32_MIN, "Could not connect"},
      {5, "Connecting"},
  };
  std::set<std::string> errors;
  for (const auto& row : rows) {
    const std::string line = locale_string(net_status_key(row.status));
    EXPECT_NE(line.find(row.words), std::string::npos) << row.status << ": " << line;
    EXPECT_EQ(net_status_is_error(row.status), row.status < 0 ? 1 : 0) << row.status;
    if (row.status < 0) errors.insert(line);
  }
  EXPECT_EQ(errors.size(), 9u) << "every failure from -1 to -9 has its own line";
  EXPECT_STREQ(locale_string(LOCALE_KEY_OK), "OK");
  locale_unload();
}

}  // namespace
