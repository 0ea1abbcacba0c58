#include "net/net.h"

#include <cstring>

#include "assets/locale.h"
#include "assets/locale_keys.h"
#include "base/arena.h"
#include "base/mem.h"
#include "base/queue.h"
#include "base/utf8.h"
#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/opcodes.h"
#include "platform/clock.h"

struct NetState {
  NetSession* login_session;
  NetSession* world_session;
  int32_t login_status;
  int32_t world_status;
  Queue* held;
  Arena* held_arena;
  int32_t holding;
  // net_frame is handing out held messages: their copies live in the held arena, so nothing
  // called from a handler may reset it (net_frame does once the queue is empty).
  int32_t delivering;
  NetHoldFilter filter;
};

static NetState s_net;

void net_init(void) {
  if (!s_net.held) s_net.held = queue_create();
  if (!s_net.held_arena) s_net.held_arena = arena_create(NET_HELD_ARENA_BYTES);
  if (!s_net.login_session) s_net.login_session = (NetSession*)mem_calloc(1, sizeof(NetSession));
  if (!s_net.world_session) s_net.world_session = (NetSession*)mem_calloc(1, sizeof(NetSession));
  s_net.login_status = 0;
  s_net.world_status = 0;
  s_net.holding = 0;
  s_net.filter = nullptr;
  // The sessions count their keep-alive and timeout in frame time.
  session_set_frame_time(frame_delta);
}

void net_shutdown(void) {
  net_close_all();
  if (s_net.held) queue_destroy(s_net.held, nullptr);
  if (s_net.held_arena) arena_destroy(s_net.held_arena);
  mem_free(s_net.login_session);
  mem_free(s_net.world_session);
  s_net = NetState{};
}

// Session helpers shared by the login and world halves.

static void open_session(NetSession* session, int32_t* status, const char* host, uint16_t port,
                         const uint8_t* credentials, uint32_t length) {
  if (!session || session_is_open(session)) return;
  *status = session_open(session, host, port, credentials, length);
}

static void close_session(NetSession* session) {
  if (session && session_is_open(session)) session_close(session);
}

static void send_on(NetSession* session, uint16_t opcode, const PayloadWriter* writer) {
  if (!session || !session_is_open(session)) return;
  if (writer)
    session_send_with(session, opcode, writer);
  else
    session_send(session, opcode);
}

static void poll_session(NetSession* session, int32_t* status) {
  if (!session || !session_is_open(session)) return;
  int32_t now = session_status(session);
  if (now >= 0) {
    // A handler may close this session (a return to the login server); stop then.
    while (session_is_open(session)) {
      NetMessage* message = session_poll(session);
      if (!message) break;
      net_deliver(message);
    }
    if (session_is_open(session)) now = session_status(session);
  }
  *status = now;
  if (now < 0 && session_is_open(session)) session_close(session);
}

void net_login_open(const char* host, uint16_t port, const uint8_t* credentials, uint32_t length) {
  open_session(s_net.login_session, &s_net.login_status, host, port, credentials, length);
}
void net_login_close(void) { close_session(s_net.login_session); }
int32_t net_login_is_open(void) {
  return s_net.login_session && session_is_open(s_net.login_session) ? 1 : 0;
}
int32_t net_login_status(void) { return s_net.login_status; }
void net_login_send(uint16_t opcode) { send_on(s_net.login_session, opcode, nullptr); }
void net_login_send_with(uint16_t opcode, const PayloadWriter* writer) {
  if (writer) send_on(s_net.login_session, opcode, writer);
}

void net_world_open(const char* host, uint16_t port, const uint8_t* credentials, uint32_t length) {
  open_session(s_net.world_session, &s_net.world_status, host, port, credentials, length);
}
void net_world_close(void) { close_session(s_net.world_session); }
int32_t net_world_is_open(void) {
  return s_net.world_session && session_is_open(s_net.world_session) ? 1 : 0;
}
int32_t net_world_status(void) { return s_net.world_status; }
void net_world_send(uint16_t opcode) { send_on(s_net.world_session, opcode, nullptr); }
void net_world_send_with(uint16_t opcode, const PayloadWriter* writer) {
  if (writer) send_on(s_net.world_session, opcode, writer);
}

void net_close_all(void) {
  net_login_close();
  net_world_close();
}

// Holding.

void net_set_hold(int32_t holding, NetHoldFilter filter) {
  s_net.holding = holding;
  s_net.filter = filter;
}

uint32_t net_held_count(void) { return s_net.held ? queue_count(s_net.held) : 0; }

void net_discard_held(void) {
  if (s_net.holding || !s_net.held || queue_count(s_net.held) == 0) return;
  queue_drain(s_net.held, nullptr);
  if (!s_net.delivering) arena_reset(s_net.held_arena);
}

void net_drop_held(uint16_t opcode) {
  if (!s_net.held) return;
  // One pass round the queue: every message is popped once and the kept ones pushed back,
  // which leaves them in their order.
  uint32_t count = queue_count(s_net.held);
  for (uint32_t i = 0; i < count; i++) {
    NetMessage* message = (NetMessage*)queue_pop(s_net.held);
    if (message && message->opcode != opcode) queue_push(s_net.held, message);
  }
  if (queue_count(s_net.held) == 0 && !s_net.delivering) arena_reset(s_net.held_arena);
}

static void hold_copy(const NetMessage* message) {
  if (!s_net.held || !s_net.held_arena) return;
  NetMessage* copy = (NetMessage*)arena_alloc(s_net.held_arena, sizeof(NetMessage));
  *copy = *message;
  copy->payload = nullptr;
  if (message->length > 0 && message->payload) {
    uint8_t* bytes = (uint8_t*)arena_alloc(s_net.held_arena, (size_t)message->length);
    memcpy(bytes, message->payload, (size_t)message->length);
    copy->payload = bytes;
  } else {
    copy->length = 0;
  }
  queue_push(s_net.held, copy);
}

void net_deliver(const NetMessage* message) {
  if (!message) return;
  const int32_t hold = s_net.filter ? s_net.filter(message->opcode) : 1;
  if (!s_net.holding || !hold) {
    net_dispatch(message);  // the dispatch resets its per-message arena first
    return;
  }
  hold_copy(message);
}

void net_frame(void) {
  if (!s_net.holding && s_net.held && queue_count(s_net.held) > 0) {
    s_net.delivering = 1;
    while (!s_net.holding) {
      NetMessage* message = (NetMessage*)queue_pop(s_net.held);
      if (!message) break;
      net_deliver(message);
    }
    s_net.delivering = 0;
    if (queue_count(s_net.held) == 0) arena_reset(s_net.held_arena);
  }
  poll_session(s_net.login_session, &s_net.login_status);
  poll_session(s_net.world_session, &s_net.world_status);
}

// Credentials.

int32_t net_credential_text_ok(const char* text) {
  if (!text) return 0;
  const char* cursor = text;
  while (*cursor) {
    const uint32_t code = utf8_decode(&cursor);
    if (code < 0x20 || code > 0xFF) return 0;  // 0 also covers an invalid sequence
  }
  return 1;
}

static int32_t append_raw(uint8_t* out, uint32_t capacity, uint32_t* used, const char* text) {
  const size_t n = text ? strlen(text) : 0;
  if ((uint64_t)*used + n > capacity) return 0;
  if (n) memcpy(out + *used, text, n);
  *used += (uint32_t)n;
  return 1;
}

// One byte per character: the low 8 bits, which is the whole character within 0x20-0xFF.
static int32_t append_field(uint8_t* out, uint32_t capacity, uint32_t* used, const char* text) {
  if (!net_credential_text_ok(text)) return 0;
  const char* cursor = text;
  while (*cursor) {
    const uint32_t code = utf8_decode(&cursor);
    if (*used >= capacity) return 0;
    out[(*used)++] = (uint8_t)(code & 0xFF);
  }
  return 1;
}

int32_t net_build_credentials_with(const char* prefix, const char* separator, const char* account,
                                   const char* password, uint8_t* out, uint32_t capacity) {
  if (!out || !account || !password) return -1;
  if (capacity > NET_CREDENTIALS_MAX) capacity = NET_CREDENTIALS_MAX;
  uint32_t used = 0;
  int32_t ok = append_raw(out, capacity, &used, prefix) && append_field(out, capacity, &used, account) &&
               append_raw(out, capacity, &used, separator) && append_field(out, capacity, &used, password) &&
               used < capacity;
  if (!ok) {
    crypto_wipe(out, capacity);
    return -1;
  }
  out[used++] = 0;
  return (int32_t)used;
}

int32_t net_build_credentials(const char* account, const char* password, uint8_t* out, uint32_t capacity) {
  const char* prefix = locale_string(LOCALE_KEY_CREDENTIAL_PREFIX);
  const char* separator = locale_string(LOCALE_KEY_CREDENTIAL_SEPARATOR);
  // Without a separator "ab"+"c" and "a"+"bc" would be the same credentials.
  if (!separator || !separator[0]) separator = NET_CREDENTIAL_SEPARATOR_DEFAULT;
  return net_build_credentials_with(prefix, separator, account, password, out, capacity);
}

// Status lines: one row per status the login screen tells apart; any other negative status
// reads as the failed row, any other positive one as the connecting row.

struct StatusLine {
  int32_t status;
  uint32_t key;
  int32_t is_error;  // shown with the OK button
};

static constexpr StatusLine kStatusLines[] = {
    {SESSION_STATUS_OPENED, LOCALE_KEY_STATUS_CONNECTING, 0},
    {SESSION_STATUS_CONNECTING, LOCALE_KEY_STATUS_CONNECTING, 0},
    {SESSION_STATUS_CONNECTED, LOCALE_KEY_STATUS_CONNECTED, 0},
    {SESSION_STATUS_ENCRYPTED, LOCALE_KEY_STATUS_ENCRYPTED, 0},
    {SESSION_STATUS_ACCEPTED, LOCALE_KEY_STATUS_ACCEPTED, 0},
    {SESSION_STATUS_FAILED, LOCALE_KEY_STATUS_FAILED, 1},
    {SESSION_STATUS_REJECTED_9, LOCALE_KEY_STATUS_REJECTED_9, 1},
    {SESSION_STATUS_REJECTED_10, LOCALE_KEY_STATUS_REJECTED_10, 1},
    {SESSION_STATUS_REJECTED_11, LOCALE_KEY_STATUS_REJECTED_11, 1},
    {SESSION_STATUS_REJECTED_12, LOCALE_KEY_STATUS_REJECTED_12, 1},
    {SESSION_STATUS_REJECTED_13, LOCALE_KEY_STATUS_REJECTED_13, 1},
    {SESSION_STATUS_REJECTED_14, LOCALE_KEY_STATUS_REJECTED_14, 1},
    {SESSION_STATUS_REJECTED_16, LOCALE_KEY_STATUS_REJECTED_16, 1},
    {SESSION_STATUS_TIMED_OUT, LOCALE_KEY_STATUS_TIMED_OUT, 1},
};
static_assert(sizeof kStatusLines / sizeof *kStatusLines == 14, "every status of the login screen");

static constexpr const StatusLine* status_line(int32_t status) {
  for (const StatusLine& line : kStatusLines)
    if (line.status == status) return &line;
  return status_line(status < 0 ? SESSION_STATUS_FAILED : SESSION_STATUS_OPENED);
}
static_assert(status_line(-10)->key == LOCALE_KEY_STATUS_FAILED && status_line(5)->is_error == 0,
              "statuses outside the table fall back to their sign's row");

uint32_t net_status_key(int32_t status) { return status_line(status)->key; }

int32_t net_status_is_error(int32_t status) { return status_line(status)->is_error; }
