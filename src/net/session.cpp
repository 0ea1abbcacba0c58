#include "net/session.h"

#include <cmath>
#include <cstring>

#include "base/crc32.h"
#include "base/xtea.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "net/opcodes.h"

static const float SESSION_TIMEOUT_SECONDS = 30.0f;
static const float SESSION_KEEPALIVE_SECONDS = 5.0f;

static SessionFrameTime g_frame_time;

SessionFrameTime session_set_frame_time(SessionFrameTime source) {
  SessionFrameTime previous = g_frame_time;
  g_frame_time = source;
  return previous;
}

// A step that is negative or not finite would freeze or run back the timers.
static float frame_step(void) {
  float dt = g_frame_time ? g_frame_time() : 0.0f;
  return std::isfinite(dt) && dt > 0.0f ? dt : 0.0f;
}

static inline uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
static inline uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// ---- outgoing queue ----

void outq_init(OutQueue* q) {
  if (!q) return;
  q->front = q->buffers[0];
  q->back = q->buffers[1];
  q->front_remaining = 0;
  q->back_fill = 0;
  q->front_offset = 0;
}

const uint8_t* outq_front(OutQueue* q, int32_t* remaining) {
  if (!q) {
    if (remaining) *remaining = 0;
    return nullptr;
  }
  if (q->front_remaining <= 0) {
    uint8_t* used = q->front;
    q->front = q->back;
    q->back = used;
    q->front_remaining = q->back_fill;
    q->front_offset = 0;
    q->back_fill = 0;
  }
  if (remaining) *remaining = q->front_remaining;
  return q->front + q->front_offset;
}

void outq_consume(OutQueue* q, int32_t count) {
  if (!q || count <= 0) return;
  if (count > q->front_remaining) count = q->front_remaining;
  q->front_remaining -= count;
  q->front_offset += count;
}

int32_t outq_append(OutQueue* q, const uint8_t* data, int32_t from, int32_t count) {
  if (!q || !data) return 0;
  if (from < 0 || count < 0) return 1;
  if ((int64_t)q->back_fill + count > SESSION_QUEUE_BYTES) return 0;
  memcpy(q->back + q->back_fill, data + from, (size_t)count);
  q->back_fill += count;
  return 1;
}

int32_t outq_pending(const OutQueue* q) { return q && (q->front_remaining > 0 || q->back_fill > 0) ? 1 : 0; }

// ---- frame collector ----

FrameCollector* frame_collect(FrameCollector* c, const uint8_t* bytes, int32_t end, int32_t* pos,
                              int32_t* out_length) {
  if (!c || !bytes || !pos || !out_length || end < 1) return nullptr;
  if (*pos < 0) *pos = 0;
  while (*pos < end) {
    if (c->skipping) {
      // Everything up to and including the next byte 3 belongs to a frame already finished
      // or dropped (its trailer), so collecting starts again after it.
      const uint8_t* at = (const uint8_t*)memchr(bytes + *pos, 3, (size_t)(end - *pos));
      if (!at) {
        *pos = end;
        return nullptr;
      }
      *pos = (int32_t)(at - bytes) + 1;
      c->skipping = 0;
      continue;
    }
    if (c->fill < SESSION_HEADER_BYTES) {
      int32_t take = SESSION_HEADER_BYTES - c->fill;
      if (take > end - *pos) take = end - *pos;
      memcpy(c->frame + c->fill, bytes + *pos, (size_t)take);
      c->fill += take;
      *pos += take;
      if (c->fill < SESSION_HEADER_BYTES) return nullptr;
      if (c->frame[0] != 1 || c->frame[19] != 2) {
        c->fill = 0;
        c->expected = 0;
        c->skipping = 1;
        continue;
      }
      c->expected = le16(c->frame + 1) + SESSION_HEADER_BYTES;
    }
    int32_t take = c->expected - c->fill;
    if (take > end - *pos) take = end - *pos;
    memcpy(c->frame + c->fill, bytes + *pos, (size_t)take);
    c->fill += take;
    *pos += take;
    if (c->fill == c->expected) {
      *out_length = c->expected;
      c->skipping = 1;
      c->fill = 0;
      c->expected = 0;
      return c;
    }
  }
  return nullptr;
}

// ---- sending ----

int32_t session_send_frame(NetSession* s, uint16_t type, uint16_t opcode, const PayloadWriter* writer,
                           int32_t encipher_payload) {
  if (!s || !s->send_buffer || !s->socket) return 0;
  MsgBuf* b = s->send_buffer;
  msgbuf_reset(b);
  uint8_t nonce[8];
  secure_random(nonce, 8);
  put_u8(b, 1);
  put_u16(b, 0);
  for (int i = 0; i < 8; i++) put_u8(b, nonce[i]);
  put_u16(b, type);
  put_u16(b, opcode);
  put_u32(b, 0);
  put_u8(b, 2);
  if (writer && writer->write) writer->write(b, writer->context);
  // A payload the length field cannot carry is refused rather than sent with a cut length.
  if (b->error || b->length < SESSION_HEADER_BYTES ||
      b->length - SESSION_HEADER_BYTES > SESSION_MAX_PAYLOAD) {
    msgbuf_wipe(b);
    return 0;
  }
  uint32_t n = b->length - SESSION_HEADER_BYTES;
  put_u8(b, 3);
  uint8_t* f = b->storage;
  f[1] = (uint8_t)n;
  f[2] = (uint8_t)(n >> 8);
  uint32_t crc = crc32(f, SESSION_HEADER_BYTES + n);
  f[15] = (uint8_t)crc;
  f[16] = (uint8_t)(crc >> 8);
  f[17] = (uint8_t)(crc >> 16);
  f[18] = (uint8_t)(crc >> 24);
  if (s->encrypted) {
    xtea_cfb_encrypt(f + 11, s->session_key, nonce, 8);
    if (encipher_payload && n > 0) xtea_cfb_encrypt(f + 20, s->session_key, f + 11, (ptrdiff_t)n);
  }
  int32_t total = (int32_t)b->length;
  int32_t from = 0;
  if (!outq_pending(&s->out_queue)) {
    int32_t sent = sock_send(s->socket, f, total);
    if (sent < 0) {
      s->socket_status = sent;
      sent = 0;
    }
    if (sent >= total) return 0;
    from = sent;
  }
  if (!outq_append(&s->out_queue, f, from, total - from)) {
    s->error = SESSION_STATUS_FAILED;
    return 0;
  }
  return 1;
}

int32_t session_send(NetSession* s, uint16_t opcode) { return session_send_with(s, opcode, nullptr); }

int32_t session_send_with(NetSession* s, uint16_t opcode, const PayloadWriter* writer) {
  if (!s || !s->socket || !s->connected) return 0;
  return session_send_frame(s, FRAME_GAME, opcode, writer, 0);
}

static void write_key_reply(MsgBuf* b, void* context) {
  const uint8_t* key = (const uint8_t*)context;
  put_u32(b, 32);
  for (int i = 0; i < 32; i++) put_u8(b, key[i]);
}

static void write_credentials(MsgBuf* b, void* context) {
  NetSession* s = (NetSession*)context;
  put_u32(b, s->credentials_length);
  for (uint32_t i = 0; i < s->credentials_length; i++) put_u8(b, s->credentials[i]);
  crypto_wipe(s->credentials, s->credentials_length);
  crypto_wipe(b->scratch, sizeof b->scratch);
}

// ---- open, close, status ----

int32_t session_open(NetSession* s, const char* host, uint16_t port, const uint8_t* credentials,
                     uint32_t length) {
  if (!s) return -1;
  memset(s, 0, sizeof *s);
  s->socket_status = sock_connect(&s->socket, host, port);
  if (!s->socket) return -1;
  s->send_buffer = msgbuf_create();
  s->timeout = SESSION_TIMEOUT_SECONDS;
  s->keepalive = SESSION_KEEPALIVE_SECONDS;
  outq_init(&s->out_queue);
  if (!credentials) length = 0;
  if (length > SESSION_CREDENTIALS_BYTES) length = SESSION_CREDENTIALS_BYTES;
  if (length) memcpy(s->credentials, credentials, length);
  s->credentials_length = length;
  return 0;
}

int32_t session_close(NetSession* s) {
  if (!s) return 0;
  if (s->socket) session_send_frame(s, FRAME_GOODBYE, 0, nullptr, 0);
  if (s->send_buffer) {
    msgbuf_wipe(s->send_buffer);
    msgbuf_free(s->send_buffer);
  }
  s->send_buffer = nullptr;
  int32_t result = sock_close(s->socket);
  s->socket = nullptr;
  crypto_wipe(s->session_key, sizeof s->session_key);
  crypto_wipe(s->credentials, sizeof s->credentials);
  s->key_agreed = 0;
  outq_init(&s->out_queue);
  return result;
}

int32_t session_is_open(const NetSession* s) { return s && s->socket ? 1 : 0; }

int32_t session_status(NetSession* s) {
  if (!s || !s->socket) return SESSION_STATUS_FAILED;
  if (s->error < 0) return s->error;
  if (s->socket_status < 0 && s->socket_status != SOCK_IN_PROGRESS) return SESSION_STATUS_FAILED;
  if (s->timeout <= 0.0f) return SESSION_STATUS_TIMED_OUT;
  if (s->connected) {
    if (!s->encrypted) return SESSION_STATUS_CONNECTED;
    return s->accepted ? SESSION_STATUS_ACCEPTED : SESSION_STATUS_ENCRYPTED;
  }
  int32_t check = sock_check_connect(s->socket);
  return check == 0 || check == SOCK_IN_PROGRESS ? SESSION_STATUS_CONNECTING : SESSION_STATUS_FAILED;
}

// ---- receiving ----

static void session_key_offer(NetSession* s, const uint8_t* payload) {
  uint8_t secret[32], shared[32];
  x25519_keypair(s->public_key, secret);
  int32_t derived = session_key_derive(shared, payload + 4, secret);
  crypto_wipe(secret, sizeof secret);
  if (derived != 0) {
    // A key nobody can share (low order, malformed): no reply, and the session is over.
    crypto_wipe(shared, sizeof shared);
    s->error = SESSION_STATUS_FAILED;
    return;
  }
  for (int i = 0; i < 4; i++) s->session_key[i] = le32(shared + 4 * i);
  crypto_wipe(shared, sizeof shared);
  s->key_agreed = 1;
  PayloadWriter reply = {s->public_key, write_key_reply};
  session_send_frame(s, FRAME_KEY_REPLY, 0, &reply, 0);
}

static void session_control(NetSession* s, uint16_t type, const uint8_t* payload, int32_t n) {
  switch (type) {
    case FRAME_KEEPALIVE:
      s->timeout = SESSION_TIMEOUT_SECONDS;
      break;
    case FRAME_KEY_OFFER:
      if (!s->encrypted && n >= 36) session_key_offer(s, payload);
      break;
    case FRAME_ENCRYPT:
      if (s->encrypted) break;
      // Switching on encryption under an all-zero key would send the credentials under a key
      // nobody agreed: the session fails instead.
      if (s->key_agreed)
        s->encrypted = 1;
      else
        s->error = SESSION_STATUS_FAILED;
      break;
    case FRAME_CREDENTIALS_REQUEST:
      if (s->encrypted) {
        PayloadWriter w = {s, write_credentials};
        session_send_frame(s, FRAME_CREDENTIALS, 0, &w, 1);
      }
      break;
    case FRAME_ACCEPTED:
      if (s->encrypted) s->accepted = 1;
      break;
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
      // Frame types 9-12 and 14 are statuses -2 to -5 and -7.
      static_assert(SESSION_STATUS_REJECTED_9 == 7 - 9 && SESSION_STATUS_REJECTED_14 == 7 - 14, "7 - type");
      if (s->encrypted) s->error = 7 - (int32_t)type;
      break;
    case 13:
      s->error = SESSION_STATUS_REJECTED_13;
      break;
    case FRAME_GOODBYE:
      if (s->error == 0) s->error = SESSION_STATUS_FAILED;
      break;
    case FRAME_REJECT_16:
      s->error = SESSION_STATUS_REJECTED_16;
      break;
    default:
      break;
  }
}

NetMessage* session_poll(NetSession* s) {
  if (!s || !s->socket) return nullptr;
  if (!s->connected) {
    if (sock_check_connect(s->socket) < 0) {
      s->timeout -= frame_step();
      s->parsing = 0;
      return nullptr;
    }
    s->connected = 1;
  }
  if (!s->parsing) {
    s->parsing = 1;
    s->received = 0;
    s->parse_pos = 0;
    float dt = frame_step();
    s->timeout -= dt;
    s->keepalive -= dt;
    int32_t got = sock_recv(s->socket, s->receive_buffer, SESSION_RECEIVE_BYTES);
    if (got < 0) {
      s->socket_status = got;
      got = 0;
    }
    s->received = got;
    if (s->keepalive <= 0.0f) {
      s->keepalive = SESSION_KEEPALIVE_SECONDS;
      session_send_frame(s, FRAME_KEEPALIVE, 0, nullptr, 0);
    }
    if (outq_pending(&s->out_queue)) {
      int32_t remaining = 0;
      const uint8_t* block = outq_front(&s->out_queue, &remaining);
      if (remaining > 0) {
        int32_t sent = sock_send(s->socket, block, remaining);
        if (sent < 0)
          s->socket_status = sent;
        else
          outq_consume(&s->out_queue, sent);
      }
    }
    if (s->received < 1) {
      s->parsing = 0;
      return nullptr;
    }
  }
  int32_t length = 0;
  while (frame_collect(&s->collector, s->receive_buffer, s->received, &s->parse_pos, &length)) {
    uint8_t* f = s->collector.frame;
    memset(&s->message, 0, sizeof s->message);
    uint8_t nonce[8], sealed[8];
    memcpy(nonce, f + 3, 8);
    memcpy(sealed, f + 11, 8);
    if (s->encrypted) xtea_cfb_decrypt(f + 11, s->session_key, nonce, 8);
    uint16_t type = le16(f + 11);
    int32_t n = length - SESSION_HEADER_BYTES;
    if (type == FRAME_GAME_ENCIPHERED) xtea_cfb_decrypt(f + 20, s->session_key, sealed, n);
    uint32_t carried = le32(f + 15);
    memset(f + 15, 0, 4);
    if (crc32(f, (size_t)length) != carried) continue;
    s->message.type = type;
    s->message.opcode = le16(f + 13);
    s->message.checksum = carried;
    s->message.payload = n > 0 ? f + 20 : nullptr;
    s->message.length = n;
    if (type == FRAME_GAME || type == FRAME_GAME_ENCIPHERED) return &s->message;
    session_control(s, type, f + 20, n);
  }
  s->parsing = 0;
  return nullptr;
}
