#include "net/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/mem.h"
#include "base/xtea.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "support/session_test_support.h"
#include "support/socket_fake.h"

// ---------------------------------------------------------------------------------------
// Frame collector

static std::vector<Bytes> collect_blocks(const std::vector<std::pair<const uint8_t*, int32_t>>& blocks) {
  auto collector = std::make_unique<FrameCollector>();
  memset(collector.get(), 0, sizeof(FrameCollector));
  std::vector<Bytes> frames;
  for (auto [bytes, size] : blocks) {
    int32_t pos = 0, length = 0;
    while (FrameCollector* c = frame_collect(collector.get(), bytes, size, &pos, &length))
      frames.emplace_back(c->frame, c->frame + length);
  }
  return frames;
}

static Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

static Bytes without_trailer(const Bytes& frame) { return Bytes(frame.begin(), frame.end() - 1); }

TEST(FrameCollect, SameFramesHoweverTheStreamIsSplit) {
  const Bytes a = plain_frame(0, 10, Bytes(5, 0x41));
  const Bytes b = plain_frame(1, 11, Bytes(300, 0x42), 0x66);
  const Bytes empty = plain_frame(2, 0, {});
  Bytes big_payload(65535);
  for (size_t i = 0; i < big_payload.size(); i++) big_payload[i] = (uint8_t)(i * 31 + 7);
  const Bytes big = plain_frame(0, 12, big_payload);
  Bytes damaged = plain_frame(0, 13, Bytes(9, 0x44));
  damaged[19] = 9;  // header end marker gone
  Bytes bad_crc = plain_frame(0, 14, Bytes(4, 0x45));
  bad_crc[16] ^= 0x10;
  const Bytes garbage = {0x99, 0x98, 0x97, 0x96, 0x95};
  struct Row {
    const char* what;
    Bytes stream;
    std::vector<Bytes> want;
  } rows[] = {
      {"one frame", a, {a}},
      {"two frames in one block", concat({a, b}), {a, b}},
      {"zero payload", concat({empty, a}), {empty, a}},
      {"largest payload", concat({big, a}), {big, a}},
      {"damaged header is dropped up to the next byte 3", concat({damaged, a}), {a}},
      // The collector hands over a frame with a bad CRC; the session drops it (below).
      {"bad CRC then good frame", concat({bad_crc, a}), {bad_crc, a}},
      // Garbage turns the next header into a damaged one; collecting resumes after its
      // trailer, so the frame after that is read again.
      {"garbage between frames", concat({a, garbage, b, empty}), {a, empty}},
  };
  for (const Row& row : rows) {
    std::vector<Bytes> want;
    for (const Bytes& f : row.want) want.push_back(without_trailer(f));
    const Bytes& s = row.stream;
    const int32_t n = (int32_t)s.size();
    EXPECT_EQ(collect_blocks({{s.data(), n}}), want) << row.what;
    // Every split point (sampled for the 64 KiB stream), then one byte per block.
    const int32_t step = n > 4096 ? 997 : 1;
    for (int32_t cut = 0; cut <= n; cut = cut + step > n && cut != n ? n : cut + step) {
      ASSERT_EQ(collect_blocks({{s.data(), cut}, {s.data() + cut, n - cut}}), want)
          << row.what << " cut " << cut;
    }
    std::vector<std::pair<const uint8_t*, int32_t>> bytewise;
    for (int32_t i = 0; i < n; i++) bytewise.push_back({s.data() + i, 1});
    EXPECT_EQ(collect_blocks(bytewise), want) << row.what << " byte by byte";
  }
}

TEST(FrameCollect, ArgumentsAndOffsets) {
  FrameCollector* c = (FrameCollector*)mem_calloc(1, sizeof(FrameCollector));
  const Bytes a = plain_frame(0, 1, {7});
  int32_t pos = 0, length = 0;
  EXPECT_EQ(frame_collect(nullptr, a.data(), (int32_t)a.size(), &pos, &length), nullptr);
  EXPECT_EQ(frame_collect(c, nullptr, (int32_t)a.size(), &pos, &length), nullptr);
  EXPECT_EQ(frame_collect(c, a.data(), 0, &pos, &length), nullptr);
  EXPECT_EQ(frame_collect(c, a.data(), (int32_t)a.size(), nullptr, &length), nullptr);
  ASSERT_EQ(frame_collect(c, a.data(), (int32_t)a.size(), &pos, &length), c);
  EXPECT_EQ(length, 21);
  EXPECT_EQ(pos, 21);  // the trailer is left for the next call, which skips it
  EXPECT_EQ(frame_collect(c, a.data(), (int32_t)a.size(), &pos, &length), nullptr);
  EXPECT_EQ(pos, 22);
  mem_free(c);
}

// ---------------------------------------------------------------------------------------
// Outgoing queue

TEST(OutQueue, SwapsBuffersAndKeepsOrder) {
  OutQueue* q = (OutQueue*)mem_alloc(sizeof(OutQueue));
  outq_init(q);
  EXPECT_FALSE(outq_pending(q));
  Bytes data(40000);
  for (size_t i = 0; i < data.size(); i++) data[i] = (uint8_t)(i % 251);
  EXPECT_EQ(outq_append(q, data.data(), 0, 30000), 1);
  EXPECT_EQ(outq_append(q, data.data(), 30000, 2768), 1);  // exactly full
  EXPECT_EQ(outq_append(q, data.data(), 0, 1), 0);         // one byte too many
  EXPECT_EQ(outq_append(q, data.data(), -1, 5), 1);        // negative: nothing, but no failure
  EXPECT_EQ(outq_append(q, nullptr, 0, 5), 0);
  Bytes out;
  int32_t remaining = 0;
  const uint8_t* front = outq_front(q, &remaining);
  ASSERT_EQ(remaining, 32768);
  out.insert(out.end(), front, front + 1000);
  outq_consume(q, 1000);
  EXPECT_EQ(outq_append(q, data.data(), 32768, 7232), 1);  // goes to the (now empty) back buffer
  while (outq_pending(q)) {
    front = outq_front(q, &remaining);
    int32_t take = std::min(remaining, 4321);
    out.insert(out.end(), front, front + take);
    outq_consume(q, take);
  }
  EXPECT_EQ(out, data);
  mem_free(q);
}

// ---------------------------------------------------------------------------------------
// Session over the fake transport

struct SessionTest : ::testing::Test {
  NetSession* s = nullptr;
  std::map<std::string, Bytes> golden = load_golden_frames();
  const SocketOps* saved = nullptr;

  void SetUp() override {
    ASSERT_FALSE(golden.empty()) << "golden frames missing";
    socket_fake_reset();
    saved = sock_set_transport(socket_fake_ops());
    ASSERT_EQ(secure_random_open(), 1);
    PinnedRandom::queue().clear();
    secure_random_set_source(PinnedRandom::source);
    FrameClock::step() = 0.0f;
    session_set_frame_time(FrameClock::source);
    s = (NetSession*)mem_calloc(1, sizeof(NetSession));
  }
  void TearDown() override {
    if (session_is_open(s)) session_close(s);
    mem_free(s);
    secure_random_set_source(nullptr);
    session_set_frame_time(nullptr);
    sock_set_transport(saved);
    socket_fake_reset();
  }

  void open() {
    FakeSocket* f = socket_fake();
    f->inbound_length = f->inbound_read = 0;
    socket_fake_clear_outbound();
    PinnedRandom::queue().clear();
    const Bytes& c = golden["credentials"];
    ASSERT_EQ(session_open(s, "127.0.0.1", 3550, c.data(), (uint32_t)c.size()), 0);
  }
  void push(const std::string& name) {
    ASSERT_TRUE(golden.count(name)) << name;
    socket_fake_push(golden[name].data(), golden[name].size());
  }
  Bytes outbound() {
    FakeSocket* f = socket_fake();
    Bytes out(f->outbound, f->outbound + f->outbound_length);
    socket_fake_clear_outbound();
    return out;
  }
  Bytes nonce(int n) {
    Bytes b;
    for (int i = 0; i < 8; i++) b.push_back((uint8_t)(n * 16 + i));
    return b;
  }
  // Polls until nothing more comes back; returns the game messages seen.
  std::vector<NetMessage> drain() {
    std::vector<NetMessage> seen;
    for (int i = 0; i < 1000; i++) {
      NetMessage* m = session_poll(s);
      if (!m) break;
      seen.push_back(*m);
    }
    return seen;
  }
  // Runs the pinned handshake up to the encryption switch and the credentials.
  void handshake_to_encrypted() {
    open();
    PinnedRandom::push(golden["client_secret"]);
    PinnedRandom::push(nonce(9));
    push("s_key_offer");
    drain();
    ASSERT_EQ(outbound(), golden["c_key_reply"]);
    ASSERT_EQ(session_status(s), 2);
    PinnedRandom::push(nonce(10));
    push("s_encrypt");
    push("s_cred_request");
    drain();
    ASSERT_EQ(session_status(s), 3);
    ASSERT_EQ(outbound(), golden["c_credentials"]);
  }
};

// The client decodes the server's golden frames and, with the same secret and nonces,
// produces the server side's client frames byte for byte.
TEST_F(SessionTest, GoldenHandshakeAndFrames) {
  handshake_to_encrypted();
  const Bytes& key = golden["session_key"];
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(s->session_key[i], (uint32_t)(key[4 * i] | key[4 * i + 1] << 8 | key[4 * i + 2] << 16 |
                                            (uint32_t)key[4 * i + 3] << 24));
  EXPECT_EQ(Bytes(s->public_key, s->public_key + 32), golden["client_public"]);
  for (uint32_t i = 0; i < s->credentials_length; i++) ASSERT_EQ(s->credentials[i], 0) << "credentials wiped";

  push("s_accepted");
  push("s_game_plain");
  push("s_game_sealed");
  NetMessage first = *session_poll(s);  // receives the block: accepted, then the first message
  EXPECT_EQ(session_status(s), 4);
  NetMessage* second = session_poll(s);  // goes on in the same block without receiving
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(session_poll(s), nullptr);
  EXPECT_EQ(socket_fake()->recvs, 3);
  EXPECT_EQ(first.type, 0);
  EXPECT_EQ(first.opcode, 77);
  EXPECT_EQ(second->type, 1);
  EXPECT_EQ(second->opcode, 78);
  EXPECT_EQ(Bytes(second->payload, second->payload + second->length), golden["game_payload"]);

  PinnedRandom::push(nonce(11));
  const Bytes& payload = golden["game_payload"];
  PayloadWriter writer = {(void*)&payload, [](MsgBuf* b, void* ctx) {
                            for (uint8_t byte : *(const Bytes*)ctx) put_u8(b, byte);
                          }};
  EXPECT_EQ(session_send_with(s, 10, &writer), 0);
  EXPECT_EQ(outbound(), golden["c_game"]);

  // Keep-alive every 5 s of frame time, sealed like every client header after the switch.
  PinnedRandom::push(nonce(12));
  FrameClock::step() = 5.0f;
  session_poll(s);
  FrameClock::step() = 0.0f;
  EXPECT_EQ(outbound(), golden["c_keepalive"]);

  PinnedRandom::push(nonce(13));
  EXPECT_EQ(session_close(s), 0);
  EXPECT_EQ(outbound(), golden["c_goodbye"]);
  EXPECT_FALSE(session_is_open(s));
  for (uint32_t w : s->session_key) EXPECT_EQ(w, 0u);
}

TEST_F(SessionTest, RejectionsAndGoodbye) {
  struct Row {
    int type;
    int32_t plain_status;   // the type sent before the switch
    int32_t sealed_status;  // after it
  } rows[] = {
      {9, 2, -2},   {10, 2, -3}, {11, 2, -4},  {12, 2, -5},
      {13, -6, -6}, {14, 2, -7}, {15, -1, -1}, {16, -8, -8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    open();
    PinnedRandom::push(golden["client_secret"]);
    push("s_key_offer");
    push("p_type_" + std::to_string(row.type));
    drain();
    EXPECT_EQ(session_status(s), row.plain_status);
    session_close(s);

    handshake_to_encrypted();
    push("s_type_" + std::to_string(row.type));
    push("s_type_15");  // a goodbye after a rejection keeps the rejection
    drain();
    EXPECT_EQ(session_status(s), row.sealed_status);
    session_close(s);
  }
}

TEST_F(SessionTest, KeyOffersThatFailOrAreIgnored) {
  // Too short: ignored, no reply, still waiting.
  open();
  push("s_key_offer_short");
  drain();
  EXPECT_EQ(outbound().size(), 0u);
  EXPECT_EQ(session_status(s), 2);
  session_close(s);
  // Small-order point: no reply and the session fails.
  open();
  push("s_key_offer_low_order");
  drain();
  EXPECT_EQ(outbound().size(), 0u);
  EXPECT_EQ(session_status(s), -1);
  EXPECT_EQ(s->key_agreed, 0);
  session_close(s);
  // The switch before any key: credentials must never go out under an all-zero key.
  open();
  push("s_encrypt");
  push("s_cred_request");
  drain();
  EXPECT_EQ(session_status(s), -1);
  EXPECT_EQ(s->encrypted, 0);
  EXPECT_EQ(outbound().size(), 0u);
}

TEST_F(SessionTest, SecondCredentialsRequestGetsWipedBytes) {
  handshake_to_encrypted();
  push("s_cred_request");
  drain();
  Bytes again = outbound();
  ASSERT_EQ(again.size(), golden["c_credentials"].size());
  // Decipher what went out: the length stays, the bytes are zero.
  uint8_t iv[8];
  memcpy(iv, again.data() + 3, 8);
  Bytes head(again.begin() + 11, again.begin() + 19);
  xtea_cfb_decrypt(again.data() + 11, s->session_key, iv, 8);
  xtea_cfb_decrypt(again.data() + 20, s->session_key, head.data(), (ptrdiff_t)again.size() - 21);
  EXPECT_EQ(again[11], 7);
  const Bytes& c = golden["credentials"];
  EXPECT_EQ(again[20], c.size());
  for (size_t i = 24; i < again.size() - 1; i++) EXPECT_EQ(again[i], 0) << i;
}

TEST_F(SessionTest, DropsDamagedFramesAndKeepsReading) {
  open();
  Bytes bad = plain_frame(0, 5, {1, 2});
  bad[15] ^= 1;
  Bytes stream = concat({bad, plain_frame(0, 6, {}), plain_frame(0, 7, {9, 9})});
  socket_fake()->recv_chunk = 3;
  socket_fake_push(stream.data(), stream.size());
  std::vector<NetMessage> seen;
  for (int i = 0; i < 100; i++)
    if (NetMessage* m = session_poll(s)) seen.push_back(*m);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].opcode, 6);
  EXPECT_EQ(seen[0].payload, nullptr);  // zero payload: null pointer, length 0
  EXPECT_EQ(seen[0].length, 0);
  EXPECT_EQ(seen[1].opcode, 7);
  EXPECT_EQ(seen[1].length, 2);
}

TEST_F(SessionTest, TimeoutAndKeepAlive) {
  open();
  FrameClock::step() = 1.0f;
  // Bytes keep arriving, but none is a keep-alive: -9 after 30 s all the same.
  Bytes game = plain_frame(0, 1, {});
  for (int second = 1; second <= 30; second++) {
    socket_fake_push(game.data(), game.size());
    drain();
    if (second == 15) {
      Bytes keep = plain_frame(2, 0, {});
      socket_fake_push(keep.data(), keep.size());
    }
  }
  // The keep-alive came in the 16th second; 30 s later the session is dead.
  for (int second = 31; second < 46; second++) {
    socket_fake_push(game.data(), game.size());
    drain();
  }
  EXPECT_EQ(session_status(s), 2);
  socket_fake_push(game.data(), game.size());
  drain();
  EXPECT_EQ(session_status(s), -9);
}

TEST_F(SessionTest, ConnectionThatNeverCompletesTimesOut) {
  socket_fake()->connect_result = 1;
  socket_fake()->check_result = 1;
  open();
  EXPECT_EQ(session_status(s), 1);
  EXPECT_EQ(session_send(s, 3), 0);  // not connected: dropped
  FrameClock::step() = 10.0f;
  for (int i = 0; i < 3; i++) EXPECT_EQ(session_poll(s), nullptr);
  EXPECT_EQ(session_status(s), -9);
  EXPECT_EQ(socket_fake()->outbound_length, 0u);
  session_close(s);
  open();
  socket_fake()->check_result = -1;
  EXPECT_EQ(session_status(s), -1);
}

TEST_F(SessionTest, PeerHangUpIsSeenAtOnce) {
  open();
  push("p_type_13");
  socket_fake()->end_of_stream = 1;
  drain();
  EXPECT_EQ(session_status(s), -6);  // the rejection read before the end keeps its code
  session_close(s);
  socket_fake()->end_of_stream = 0;
  open();
  drain();
  EXPECT_EQ(session_status(s), 2);
  socket_fake()->end_of_stream = 1;
  drain();
  EXPECT_EQ(session_status(s), -1);
}

// A frame the system takes only in part goes out whole, in order, before any later frame.
TEST_F(SessionTest, PartialSendsKeepOrder) {
  open();
  drain();
  FakeSocket* f = socket_fake();
  std::vector<Bytes> sent;
  auto writer_of = [](Bytes* b) {
    return PayloadWriter{b, [](MsgBuf* m, void* ctx) {
                           for (uint8_t x : *(Bytes*)ctx) put_u8(m, x);
                         }};
  };
  for (int i = 0; i < 60; i++) {
    Bytes payload(100 + i * 37 % 500, (uint8_t)i);
    f->send_limit = (i % 3 == 0) ? 7 : (i % 3 == 1 ? 0 : -1);
    PayloadWriter w = writer_of(&payload);
    session_send_with(s, (uint16_t)i, &w);
    sent.push_back(payload);
    f->send_limit = 50;
    drain();
  }
  f->send_limit = -1;
  for (int i = 0; i < 20 && outq_pending(&s->out_queue); i++) drain();
  ASSERT_FALSE(outq_pending(&s->out_queue));
  // Read everything back with the collector.
  Bytes out = outbound();
  std::vector<Bytes> frames = collect_blocks({{out.data(), (int32_t)out.size()}});
  ASSERT_EQ(frames.size(), sent.size());
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_EQ(frames[i][13], (uint8_t)i) << "opcode order";
    EXPECT_EQ(Bytes(frames[i].begin() + 20, frames[i].end()), sent[i]);
  }
  EXPECT_EQ(session_status(s), 2);
}

// However much waits, a poll makes one receive of at most 8192 bytes and one send from the
// queue; the rest waits for later polls.
TEST_F(SessionTest, OneReceiveAndOneQueuedSendPerPoll) {
  open();
  drain();
  FakeSocket* f = socket_fake();
  f->send_limit = 0;
  Bytes payload(1000, 0x11);
  PayloadWriter w = {&payload, [](MsgBuf* m, void* ctx) {
                       for (uint8_t x : *(Bytes*)ctx) put_u8(m, x);
                     }};
  for (int i = 0; i < 5; i++) session_send_with(s, 1, &w);
  Bytes big = plain_frame(0, 2, Bytes(20000, 0x22));
  socket_fake_push(big.data(), big.size());
  f->send_limit = 600;
  int recvs = f->recvs, sends = f->sends;
  EXPECT_EQ(session_poll(s), nullptr);  // 8192 bytes of a 20021-byte frame: nothing yet
  EXPECT_EQ(f->recvs, recvs + 1);
  EXPECT_EQ(f->sends, sends + 1);
  EXPECT_EQ(f->outbound_length, 600u);
  EXPECT_EQ(f->inbound_length - f->inbound_read, big.size() - 8192);
  EXPECT_EQ(session_poll(s), nullptr);
  NetMessage* m = session_poll(s);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->length, 20000);
  EXPECT_EQ(f->recvs, recvs + 3);
  EXPECT_EQ(f->sends, sends + 3);
}

TEST_F(SessionTest, QueueOverflowAndOversizedPayloadFail) {
  open();
  drain();
  // A payload the 16-bit length cannot carry is refused, nothing goes out.
  Bytes huge(70000, 1);
  PayloadWriter big = {&huge, [](MsgBuf* m, void* ctx) {
                         for (uint8_t x : *(Bytes*)ctx) put_u8(m, x);
                       }};
  EXPECT_EQ(session_send_with(s, 1, &big), 0);
  EXPECT_EQ(socket_fake()->outbound_length, 0u);
  EXPECT_EQ(session_status(s), 2);
  // A system that takes nothing: the back buffer fills, then the session fails.
  socket_fake()->send_limit = 0;
  Bytes chunk(10000, 2);
  PayloadWriter w = {&chunk, big.write};
  EXPECT_EQ(session_send_with(s, 2, &w), 1);
  EXPECT_EQ(session_send_with(s, 2, &w), 1);
  EXPECT_EQ(session_send_with(s, 2, &w), 1);
  EXPECT_EQ(session_send_with(s, 2, &w), 0);
  EXPECT_EQ(session_status(s), -1);
}

TEST_F(SessionTest, SendAndReceiveFailuresShowAsTransportError) {
  open();
  drain();
  socket_fake()->send_error = 1;
  session_send(s, 1);
  EXPECT_EQ(s->socket_status, -1);
  EXPECT_EQ(session_status(s), -1);
  session_close(s);
  socket_fake()->send_error = 0;
  open();
  socket_fake()->recv_error = 1;
  drain();
  EXPECT_EQ(session_status(s), -1);
}

TEST_F(SessionTest, StatusOfMissingOrUnstartedSessions) {
  EXPECT_EQ(session_status(nullptr), -1);
  EXPECT_EQ(session_poll(nullptr), nullptr);
  EXPECT_EQ(session_status(s), -1);  // zeroed record: no socket
  EXPECT_EQ(session_close(nullptr), 0);
  socket_fake()->resolve_result = -1;
  EXPECT_EQ(session_open(s, "nowhere.invalid", 1, nullptr, 0), -1);
  EXPECT_EQ(s->socket_status, -3);
  EXPECT_FALSE(session_is_open(s));
  EXPECT_EQ(session_open(nullptr, "127.0.0.1", 1, nullptr, 0), -1);
}

TEST_F(SessionTest, CredentialsAreCutAt1024Bytes) {
  Bytes long_credentials(1500, 0x61);
  ASSERT_EQ(session_open(s, "127.0.0.1", 1, long_credentials.data(), 1500), 0);
  EXPECT_EQ(s->credentials_length, 1024u);
  EXPECT_EQ(socket_fake()->connect_port, 1);
}
