#pragma once
// Outgoing game message payloads: one plain record per payload shape and its field table,
// the table of every opcode the client sends to the login server (1-3) and to the world
// server, and the writers that put a record's fields into a message buffer in wire order.
// Writers never fail loudly: a buffer in error stays in error (MsgBuf rules). Text that has a
// size limit on the wire (a character name, 64 bytes) is cut at a UTF-8 boundary; positions
// and headings are quantized as fix24 and angle16 (record_codec.h), saturating.
#include <cstdint>

#include "net/opcodes.h"
#include "net/record_codec.h"
#include "net/session.h"

struct OutText {
  const char* text;
};
struct OutTexts {
  const char* a;
  const char* b;
};
struct OutInt {
  int32_t value;
};
struct OutWord {
  uint32_t value;
};
struct OutByte {
  uint8_t value;
};
struct OutIntText {
  int32_t value;
  const char* text;
};
struct OutFlagText {
  int32_t flag;
  const char* text;
};
struct OutInts2 {
  int32_t a, b;
};
struct OutInts4 {
  int32_t values[4];
};
struct OutInts5 {
  int32_t values[5];
};
struct OutWordInt {
  uint32_t id;
  int32_t value;
};
struct OutWords2 {
  uint32_t a, b;
};
struct OutWordInts4 {
  uint32_t id;
  int32_t values[4];
};
// OUT_WORLD_MOVE_REPORT and OUT_WORLD_JUMP_REPORT.
struct OutMove {
  uint8_t motion_state, direction;
  float position[3];
  float heading;  // degrees
};
enum { OUT_NAME_BYTES = 65 };
// OUT_WORLD_CREATE_CHARACTER.
struct OutCreateCharacter {
  char name[OUT_NAME_BYTES];  // up to 64 bytes of text
  uint8_t choices[4];         // each the sum of two choice bytes
  uint8_t flag;
  uint8_t choice;
  int32_t one;  // always 1
};

enum { NET_SESSION_LOGIN = 0, NET_SESSION_WORLD = 1 };

struct OutgoingOpcode {
  int32_t present;
  const RecordDesc* record;  // null: no payload
};
// The payload table of an opcode the client sends; present 0 for opcodes it never sends.
OutgoingOpcode net_outgoing(int32_t session, int32_t opcode);

// Writes `record` (whose shape `desc` gives) into `buffer`.
void payload_write(MsgBuf* buffer, const RecordDesc* desc, const void* record);
// A PayloadWriter over a record; `payload` must outlive the send call.
struct OutPayload {
  const RecordDesc* desc;
  const void* record;
};
PayloadWriter payload_writer(const OutPayload* payload);

// Field tables of the shapes (for payload_write).
extern const RecordDesc kOutText, kOutTexts, kOutInt, kOutWord, kOutByte, kOutIntText, kOutFlagText,
    kOutInts2, kOutInts4, kOutInts5, kOutWordInt, kOutWords2, kOutWordInts4, kOutMove, kOutCreateCharacter;

// Named writers of the common forms.
void payload_text(MsgBuf* buffer, const char* text);     // login 3, world 25-28, 52, 55, 56, 81
void payload_int(MsgBuf* buffer, int32_t value);         // world 3, 5, 6, 31, 39, 59-61, 74, 79
void payload_word(MsgBuf* buffer, uint32_t value);       // world 29, 33, 62, 63, 70, 71, 76, 80, 82
void payload_move(MsgBuf* buffer, const OutMove* move);  // world 10, 11
void payload_create_character(MsgBuf* buffer, const OutCreateCharacter* c);  // world 2
// Fills the creation record: the name cut at a character boundary, each choice the sum of
// two bytes of `pairs` (wrapping at 256), the constant 1.
void out_create_character_fill(OutCreateCharacter* c, const char* name, const uint8_t pairs[8], uint8_t flag,
                               uint8_t choice);
// Payload of OUT_WORLD_ZONE_LOADED for a zone that finished loading: zone - 2, or 1 below zone 3.
int32_t net_zone_reply(int32_t zone_number);
