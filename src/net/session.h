#pragma once
// Session protocol: turns one TCP connection into frames and runs the handshake (key offer,
// key reply, encryption switch, credentials, acceptance or rejection), keep-alives every 5 s
// and a 30 s timeout that only a received keep-alive resets.
//
// Frame: 20-byte header {1, u16 payload length, 8-byte nonce, u16 type, u16 opcode, u32 CRC,
// 2}, up to 65535 payload bytes, trailer 3. The CRC-32 covers header and payload in plain text
// with the CRC bytes zero. Once encrypted, header bytes 11-18 are XTEA-CFB under the session
// key with the nonce as IV; an enciphered payload continues that stream (client sends: only
// credentials; client receives: type 1).
//
// Per session and poll at most one receive (8192 bytes) and one send from the queue. Frames
// that do not fit the 32 KiB back buffer of the queue fail the session (-1). Damaged frames (markers,
// CRC) are dropped silently; the collector resynchronises on the next byte 3. Nothing from
// the server can make the session read or write outside its buffers. Main thread only.
//
// Seams: the transport (sock_set_transport), the random source (secure_random_set_source) and
// the frame time step (session_set_frame_time) can be replaced by tests.
#include <cstdint>

#include "net/socket.h"

struct MsgBuf;

enum {
  SESSION_HEADER_BYTES = 20,
  SESSION_MAX_PAYLOAD = 65535,
  SESSION_COLLECTOR_BYTES = 65556,
  SESSION_RECEIVE_BYTES = 8192,
  SESSION_QUEUE_BYTES = 32768,
  SESSION_CREDENTIALS_BYTES = 1024,
};

// Frame types.
enum {
  FRAME_GAME = 0,
  FRAME_GAME_ENCIPHERED = 1,
  FRAME_KEEPALIVE = 2,
  FRAME_KEY_OFFER = 3,
  FRAME_KEY_REPLY = 4,
  FRAME_ENCRYPT = 5,
  FRAME_CREDENTIALS_REQUEST = 6,
  FRAME_CREDENTIALS = 7,
  FRAME_ACCEPTED = 8,
  FRAME_GOODBYE = 15,
  FRAME_REJECT_16 = 16,
};

struct NetMessage {
  uint16_t type;  // 0 or 1
  uint16_t opcode;
  uint32_t checksum;       // the CRC-32 the frame carried
  const uint8_t* payload;  // null when empty; valid until the next session_poll
  int32_t length;
};

struct FrameCollector {
  uint8_t frame[SESSION_COLLECTOR_BYTES];
  int32_t fill;
  int32_t expected;
  int32_t skipping;
};

// Two fixed buffers: the front one drains into the socket while new bytes go to the back one;
// they swap when the front is used up.
struct OutQueue {
  uint8_t* front;
  uint8_t* back;
  uint8_t buffers[2][SESSION_QUEUE_BYTES];
  int32_t front_remaining;
  int32_t back_fill;
  int32_t front_offset;
};

struct PayloadWriter {
  void* context;
  void (*write)(MsgBuf* buffer, void* context);
};

struct NetSession {
  SocketHandle* socket;
  MsgBuf* send_buffer;
  uint8_t receive_buffer[SESSION_RECEIVE_BYTES];
  int32_t received;
  int32_t parse_pos;
  NetMessage message;
  FrameCollector collector;
  OutQueue out_queue;
  int32_t encrypted;
  int32_t accepted;
  int32_t parsing;
  int32_t connected;
  float timeout;
  float keepalive;
  uint8_t public_key[32];
  uint32_t session_key[4];
  int32_t socket_status;
  int32_t error;
  uint8_t credentials[SESSION_CREDENTIALS_BYTES];
  uint32_t credentials_length;
  int32_t key_agreed;  // a session key was derived; encryption may only be switched on then
};

// 0, or -1 for a null session or a connection that could not be started.
int32_t session_open(NetSession* session, const char* host, uint16_t port, const uint8_t* credentials,
                     uint32_t length);
// Sends goodbye, drops queued bytes, wipes keys and credentials; the result of sock_close.
int32_t session_close(NetSession* session);
int32_t session_is_open(const NetSession* session);
// 1 connecting, 2 connected, 3 encrypted, 4 accepted; -1 failed/goodbye/transport/overflow,
// -2..-8 rejections (types 9-14, 16), -9 timed out.
int32_t session_status(NetSession* session);
// The next game message or null; does all receiving, sending, keep-alive and handshake work.
NetMessage* session_poll(NetSession* session);
// Type-0 frames; nothing while the session is not connected.
int32_t session_send(NetSession* session, uint16_t opcode);
int32_t session_send_with(NetSession* session, uint16_t opcode, const PayloadWriter* writer);

// Builds and sends (or queues) one frame. 1 when bytes were queued, 0 otherwise; a payload
// over 65535 bytes is refused (0, nothing sent).
int32_t session_send_frame(NetSession* session, uint16_t type, uint16_t opcode, const PayloadWriter* writer,
                           int32_t encipher_payload);

// Collects one frame from bytes[*pos .. end): the collector when a whole frame is in its
// buffer (*out_length set), null when more bytes are needed. Keeps partial frames across calls.
FrameCollector* frame_collect(FrameCollector* collector, const uint8_t* bytes, int32_t end, int32_t* pos,
                              int32_t* out_length);

void outq_init(OutQueue* queue);
// The front block and its remaining byte count (swapping buffers when the front is used up).
const uint8_t* outq_front(OutQueue* queue, int32_t* remaining);
void outq_consume(OutQueue* queue, int32_t count);
// 0 for missing queue/data or when the back buffer would exceed 32768 bytes; else 1.
int32_t outq_append(OutQueue* queue, const uint8_t* data, int32_t from, int32_t count);
int32_t outq_pending(const OutQueue* queue);

// Seconds of the current frame's time step (the app installs its frame clock). Null: 0.
typedef float (*SessionFrameTime)(void);
SessionFrameTime session_set_frame_time(SessionFrameTime source);
