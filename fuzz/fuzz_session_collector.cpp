// The session's receive path with arbitrary bytes in arbitrary chunks, before and after the
// encryption switch. Byte 0 picks the mode (bit 0: encrypted) and seeds the chunk sizes; the
// rest is the stream. Every message handed out must lie inside the collector and be readable.
#include <cstdint>
#include <cstring>

#include "base/fatal.h"
#include "base/mem.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "net/session.h"
#include "support/socket_fake.h"

static int32_t fixed_random(uint8_t* bytes, int32_t count) {
  for (int32_t i = 0; i < count; i++) bytes[i] = (uint8_t)(i * 37 + 11);
  return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NetSession* s = nullptr;
  if (!s) {
    secure_random_set_source(fixed_random);
    sock_set_transport(socket_fake_ops());
    s = (NetSession*)mem_alloc(sizeof(NetSession));
  }
  if (size < 1) return 0;
  socket_fake_reset();
  session_open(s, "127.0.0.1", 1, (const uint8_t*)"x", 1);
  const uint32_t key[4] = {0x01020304, 0x05060708, 0x090a0b0c, 0x0d0e0f10};
  memcpy(s->session_key, key, sizeof key);
  s->key_agreed = 1;
  if (data[0] & 1) s->encrypted = 1;
  uint32_t seed = data[0] * 2654435761u + 1;
  const uint8_t* p = data + 1;
  size_t left = size - 1;
  while (left > 0) {
    seed = seed * 1103515245u + 12345u;
    size_t chunk = 1 + (seed >> 16) % 9000;
    if (chunk > left) chunk = left;
    socket_fake_push(p, chunk);
    p += chunk;
    left -= chunk;
    for (int polls = 0; polls < 100000; polls++) {
      NetMessage* m = session_poll(s);
      if (!m) break;
      if (m->length < 0 || m->length > SESSION_MAX_PAYLOAD) fatal_exit("message length out of range");
      if (m->payload && (m->payload < s->collector.frame ||
                         m->payload + m->length > s->collector.frame + SESSION_COLLECTOR_BYTES))
        fatal_exit("payload outside the collector");
      MsgBuf view;
      msgbuf_wrap(&view, m->payload, (uint32_t)m->length, (uint32_t)m->length);
      uint8_t byte;
      while (get_u8(&view, &byte)) {
      }
    }
  }
  session_status(s);
  session_close(s);
  return 0;
}
