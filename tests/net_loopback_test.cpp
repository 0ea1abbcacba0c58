// The client's session against the local server (devserver, an independent implementation
// of the server side) over 127.0.0.1: handshake, rejections, keep-alives, timeouts, hang-ups
// and ordering of partly sent frames.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "base/mem.h"
#include "devserver_process.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "net/session.h"

static float g_step = 0.0f;
static float frame_step(void) { return g_step; }

static std::string hex(const uint8_t* bytes, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; i++) {
    snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

struct Loopback : ::testing::Test {
  DevServer server;
  NetSession* s = nullptr;
  const std::string credentials = std::string("player\0secret", 13);

  void SetUp() override {
    ASSERT_EQ(sock_startup(), 0);
    ASSERT_EQ(secure_random_open(), 1);
    g_step = 0.0f;
    session_set_frame_time(frame_step);
    s = (NetSession*)mem_calloc(1, sizeof(NetSession));
  }
  void TearDown() override {
    if (session_is_open(s)) session_close(s);
    mem_free(s);
    session_set_frame_time(nullptr);
    server.stop();
  }

  void start(const std::string& scenario, const std::vector<std::string>& extra = {}) {
    ASSERT_TRUE(server.start(scenario, extra)) << "devserver did not start";
  }
  void open() {
    ASSERT_EQ(session_open(s, "127.0.0.1", (uint16_t)server.port, (const uint8_t*)credentials.data(),
                           (uint32_t)credentials.size()),
              0);
  }
  // Polls (draining messages) every millisecond until the condition holds or time runs out.
  bool poll_until(const std::function<bool()>& done, double seconds = 10.0,
                  const std::function<void(NetMessage*)>& on_message = nullptr) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      while (NetMessage* m = session_poll(s))
        if (on_message) on_message(m);
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
  bool reach(int32_t status, double seconds = 10.0) {
    return poll_until([&] { return session_status(s) == status; }, seconds);
  }
};

TEST_F(Loopback, HandshakeToAcceptedAndEchoedMessages) {
  start("echo");
  open();
  ASSERT_TRUE(reach(4)) << "status " << session_status(s);
  ASSERT_TRUE(server.wait_line("credentials " + hex((const uint8_t*)credentials.data(), credentials.size())));
  // A game message goes out plain and comes back as a plain (0) and an enciphered (1) message.
  std::string payload = "movement\x01\x02\x03";
  PayloadWriter w = {&payload, [](MsgBuf* b, void* ctx) {
                       for (char c : *(std::string*)ctx) put_u8(b, (uint8_t)c);
                     }};
  session_send_with(s, 10, &w);
  int seen_plain = 0, seen_sealed = 0;
  ASSERT_TRUE(poll_until([&] { return seen_plain && seen_sealed; }, 10.0,
                         [&](NetMessage* m) {
                           ASSERT_EQ(m->opcode, 10);
                           ASSERT_EQ(std::string((const char*)m->payload, (size_t)m->length), payload);
                           (m->type == 0 ? seen_plain : seen_sealed)++;
                         }));
  EXPECT_EQ(session_status(s), 4);
  EXPECT_TRUE(server.wait_line("game 10 " + hex((const uint8_t*)payload.data(), payload.size())));
  session_close(s);
  EXPECT_TRUE(server.wait_line("event 0 goodbye"));
}

TEST_F(Loopback, DamagedFramesAndOneByteWritesStillReachAcceptance) {
  start("bad-crc;bad-header;byte-by-byte");
  for (int i = 0; i < 3; i++) {
    SCOPED_TRACE(i);
    open();
    EXPECT_TRUE(reach(4, 20.0)) << "status " << session_status(s);
    session_close(s);
  }
}

TEST_F(Loopback, EveryRejection) {
  struct Row {
    const char* scenario;
    int32_t status;
  } rows[] = {
      {"reject=9", -2},
      {"reject=10", -3},
      {"reject=11", -4},
      {"reject=12", -5},
      {"reject=13", -6},
      {"reject=14", -7},
      {"reject=16", -8},
      {"goodbye", -1},
      {"reject=11,then-goodbye", -4},  // the goodbye keeps the rejection
  };
  std::string plan;
  for (const Row& r : rows) plan += std::string(plan.empty() ? "" : ";") + r.scenario;
  start(plan);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.scenario);
    open();
    EXPECT_TRUE(reach(r.status)) << "status " << session_status(s);
    session_close(s);
  }
}

TEST_F(Loopback, CredentialsAskedTwiceGetWipedBytes) {
  start("creds-twice");
  open();
  ASSERT_TRUE(reach(4));
  // The server prints what it received a moment after it answers: wait for the lines.
  EXPECT_TRUE(server.wait_line("credentials " + hex((const uint8_t*)credentials.data(), credentials.size())));
  EXPECT_TRUE(server.wait_line("credentials " + std::string(credentials.size() * 2, '0')));
}

TEST_F(Loopback, SilentServerTimesOutAfterThirtySecondsOfFrameTime) {
  start("silent");
  open();
  ASSERT_TRUE(reach(2));
  ASSERT_TRUE(server.wait_line("event 0 connected"));
  g_step = 1.0f;
  for (int frame = 1; frame < 30; frame++) session_poll(s);
  EXPECT_EQ(session_status(s), 2);
  session_poll(s);
  EXPECT_EQ(session_status(s), -9);
}

TEST_F(Loopback, KeepAlivesKeepTheSessionAliveUnlessWithheld) {
  for (const char* scenario : {"", "no-keepalive"}) {
    SCOPED_TRACE(scenario);
    start(scenario, {"--keepalive", "0.05"});
    open();
    ASSERT_TRUE(reach(4));
    // 60 s of frame time over about 3 s of real time while the server's keep-alives arrive
    // every 50 ms: only a stall of 1.5 s real time could starve the session.
    g_step = 0.5f;
    for (int frame = 0; frame < 120; frame++) {
      while (session_poll(s)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(session_status(s), scenario[0] ? -9 : 4);
    g_step = 0.0f;
    session_close(s);
    server.stop();
  }
}

TEST_F(Loopback, ServerHangUpIsSeenAtOnce) {
  for (const char* scenario : {"hangup=offer", "hangup=accepted"}) {
    SCOPED_TRACE(scenario);
    start(scenario);
    open();
    // No frame time passes: only the end of the stream can end the session.
    EXPECT_TRUE(reach(-1, 5.0)) << "status " << session_status(s);
    session_close(s);
    server.stop();
  }
}

TEST_F(Loopback, UnusableKeyOffersGetNoKeyReply) {
  start("low-order-key;short-key");
  open();
  EXPECT_TRUE(reach(-1));
  session_close(s);
  open();
  ASSERT_TRUE(server.wait_line("event 1 key-offer"));
  poll_until([] { return false; }, 0.3);
  EXPECT_EQ(session_status(s), 2);  // a short offer is ignored
  session_close(s);
  ASSERT_TRUE(server.wait_line("event 1 closed"));
  EXPECT_FALSE(server.has_line("key-reply"));
}

// Frames the system takes only in part reach the server whole and in order, while the server
// does not read for a while.
TEST_F(Loopback, PartialSendsKeepOrder) {
  start("slow-read=2.0");
  open();
  ASSERT_TRUE(reach(4));
  std::vector<uint32_t> crcs;
  int queued = 0;
  size_t sent_when_first_queued = 0;
  std::vector<uint8_t> payload(30000);
  PayloadWriter w = {&payload, [](MsgBuf* b, void* ctx) {
                       for (uint8_t c : *(std::vector<uint8_t>*)ctx) put_u8(b, c);
                     }};
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  // Send until the system has taken a frame in part, then some more behind it.
  while ((queued == 0 || crcs.size() < sent_when_first_queued + 20) &&
         std::chrono::steady_clock::now() < until) {
    while (session_poll(s)) {
    }
    if (outq_pending(&s->out_queue)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    for (size_t i = 0; i < payload.size(); i++) payload[i] = (uint8_t)(crcs.size() * 7 + i);
    crcs.push_back((uint32_t)::crc32(0L, payload.data(), (uInt)payload.size()));
    queued += session_send_with(s, (uint16_t)(crcs.size() - 1), &w);
    if (queued == 1 && sent_when_first_queued == 0) sent_when_first_queued = crcs.size();
    ASSERT_EQ(session_status(s), 4);
  }
  ASSERT_TRUE(poll_until([&] { return !outq_pending(&s->out_queue); }, 20.0));
  ASSERT_GE(queued, 1) << "the system never took a frame in part";
  char last[64];
  snprintf(last, sizeof last, "game %zu ", crcs.size() - 1);
  ASSERT_TRUE(server.wait_line(last, 20.0));
  std::vector<std::string> lines = server.snapshot();
  size_t next = 0;
  for (const std::string& l : lines) {
    unsigned opcode = 0, crc = 0, length = 0;
    if (sscanf(l.c_str(), "event 0 game %u len=%u crc=%x", &opcode, &length, &crc) != 3) continue;
    ASSERT_LT(next, crcs.size());
    EXPECT_EQ(opcode, next);
    EXPECT_EQ(length, 30000u);
    EXPECT_EQ(crc, crcs[next]) << next;
    next++;
  }
  EXPECT_EQ(next, crcs.size());
}
