// Hot paths of the network layer beside references measured in the same run:
//   CRC-32 on 64 KiB                    vs zlib crc32()
//   XTEA-CFB on 64 KiB                  vs memcpy (the floor for touching the bytes)
//   receive: one 8 KiB block of 240 enciphered movement frames through session_poll
//                                       vs zlib crc32() over the same 8 KiB
//   send: one movement frame through session_send_with into the fake transport
//   MsgBuf: put/get of 32-bit fields    vs a raw little-endian store/load loop
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "base/crc32.h"
#include "base/mem.h"
#include "base/xtea.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "net/session.h"
#include "support/socket_fake.h"

static std::vector<uint8_t> random_bytes(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = (uint8_t)(x >> 16);
  }
  return v;
}

static void BM_Crc32(benchmark::State& state) {
  auto data = random_bytes(65536);
  for (auto _ : state) benchmark::DoNotOptimize(crc32(data.data(), data.size()));
  state.SetBytesProcessed(state.iterations() * (int64_t)data.size());
}
BENCHMARK(BM_Crc32);

static void BM_Crc32_ZlibReference(benchmark::State& state) {
  auto data = random_bytes(65536);
  for (auto _ : state) benchmark::DoNotOptimize(::crc32(0L, data.data(), (uInt)data.size()));
  state.SetBytesProcessed(state.iterations() * (int64_t)data.size());
}
BENCHMARK(BM_Crc32_ZlibReference);

// One 64 KiB stream through either direction of XTEA-CFB.
static void xtea_cfb_stream(benchmark::State& state,
                            void (*cipher)(uint8_t*, const uint32_t*, const uint8_t*, ptrdiff_t)) {
  auto data = random_bytes(65536);
  const uint32_t key[4] = {1, 2, 3, 4};
  const uint8_t iv[8] = {5, 6, 7, 8, 9, 10, 11, 12};
  for (auto _ : state) {
    cipher(data.data(), key, iv, (ptrdiff_t)data.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)data.size());
}
static void BM_XteaCfbEncrypt(benchmark::State& state) { xtea_cfb_stream(state, xtea_cfb_encrypt); }
static void BM_XteaCfbDecrypt(benchmark::State& state) { xtea_cfb_stream(state, xtea_cfb_decrypt); }
BENCHMARK(BM_XteaCfbEncrypt);
BENCHMARK(BM_XteaCfbDecrypt);

static void BM_Memcpy64K_Reference(benchmark::State& state) {
  auto data = random_bytes(65536);
  std::vector<uint8_t> out(65536);
  for (auto _ : state) {
    memcpy(out.data(), data.data(), data.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)data.size());
}
BENCHMARK(BM_Memcpy64K_Reference);

// ---- session paths over the fake transport ----

static const uint8_t MOVEMENT[13] = {1, 0, 0, 0, 0x80, 0xFF, 0x7F, 0x00, 0x12, 0x34, 0x56, 0xAB, 0x01};

static void write_movement(MsgBuf* b, void*) {
  for (uint8_t byte : MOVEMENT) put_u8(b, byte);
}

// An open, connected, encrypted session on the fake transport.
static NetSession* bench_session(void) {
  static bool started = false;
  if (!started) {
    secure_random_open();
    sock_set_transport(socket_fake_ops());
    started = true;
  }
  socket_fake_reset();
  NetSession* s = (NetSession*)mem_calloc(1, sizeof(NetSession));
  session_open(s, "127.0.0.1", 1, nullptr, 0);
  s->connected = 1;
  s->encrypted = 1;
  s->key_agreed = 1;
  const uint32_t key[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
  memcpy(s->session_key, key, sizeof key);
  return s;
}

static void bench_session_free(NetSession* s) {
  session_close(s);
  mem_free(s);
}

// 240 type-1 movement frames (34 bytes each, 8160 bytes) enciphered as the server sends them.
static std::vector<uint8_t> movement_block(NetSession* s) {
  socket_fake_clear_outbound();
  PayloadWriter w = {nullptr, write_movement};
  for (int i = 0; i < 240; i++) session_send_frame(s, 1, 10, &w, 1);
  FakeSocket* f = socket_fake();
  std::vector<uint8_t> block(f->outbound, f->outbound + f->outbound_length);
  socket_fake_clear_outbound();
  return block;
}

static void BM_ReceiveBlockOf240Frames(benchmark::State& state) {
  NetSession* s = bench_session();
  std::vector<uint8_t> block = movement_block(s);
  int64_t messages = 0;
  for (auto _ : state) {
    socket_fake_push(block.data(), block.size());
    while (NetMessage* m = session_poll(s)) {
      benchmark::DoNotOptimize(m->payload);
      messages++;
    }
  }
  if (messages != (int64_t)state.iterations() * 240) state.SkipWithError("frames lost");
  state.counters["block_bytes"] = (double)block.size();
  state.counters["frames/s"] = benchmark::Counter((double)messages, benchmark::Counter::kIsRate);
  bench_session_free(s);
}
BENCHMARK(BM_ReceiveBlockOf240Frames)->Unit(benchmark::kMicrosecond);

static void BM_Crc32Of8KiB_ZlibReference(benchmark::State& state) {
  auto data = random_bytes(8160);
  for (auto _ : state) benchmark::DoNotOptimize(::crc32(0L, data.data(), (uInt)data.size()));
}
BENCHMARK(BM_Crc32Of8KiB_ZlibReference)->Unit(benchmark::kMicrosecond);

static void BM_SendMovementFrame(benchmark::State& state) {
  NetSession* s = bench_session();
  PayloadWriter w = {nullptr, write_movement};
  int64_t n = 0;
  for (auto _ : state) {
    session_send_with(s, 10, &w);
    if (++n % 1024 == 0) socket_fake_clear_outbound();
  }
  state.counters["frames/s"] = benchmark::Counter((double)n, benchmark::Counter::kIsRate);
  bench_session_free(s);
}
BENCHMARK(BM_SendMovementFrame);

// ---- message buffer ----

static void BM_MsgBufPutGetFields(benchmark::State& state) {
  MsgBuf* b = msgbuf_create();
  for (auto _ : state) {
    msgbuf_reset(b);
    for (uint32_t i = 0; i < 256; i++) put_u32(b, i);
    msgbuf_rewind(b);
    uint32_t sum = 0, v;
    for (int i = 0; i < 256; i++) {
      get_u32(b, &v);
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["fields/s"] =
      benchmark::Counter((double)state.iterations() * 512, benchmark::Counter::kIsRate);
  msgbuf_free(b);
}
BENCHMARK(BM_MsgBufPutGetFields);

static void BM_RawLittleEndianFields_Reference(benchmark::State& state) {
  std::vector<uint8_t> store(1024);
  for (auto _ : state) {
    uint8_t* p = store.data();
    for (uint32_t i = 0; i < 256; i++) memcpy(p + 4 * i, &i, 4);
    benchmark::ClobberMemory();
    uint32_t sum = 0, v;
    for (int i = 0; i < 256; i++) {
      memcpy(&v, p + 4 * i, 4);
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["fields/s"] =
      benchmark::Counter((double)state.iterations() * 512, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawLittleEndianFields_Reference);
