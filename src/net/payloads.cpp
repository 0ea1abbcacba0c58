#include "net/payloads.h"

#include <cstring>

#include "base/strings.h"
#include "net/opcodes.h"

static const FieldDesc kOutTextFields[] = {NET_FIELD(OutText, text, FIELD_STR)};
const RecordDesc kOutText = NET_RECORD("text", OutText, kOutTextFields);
static const FieldDesc kOutTextsFields[] = {NET_FIELD(OutTexts, a, FIELD_STR),
                                            NET_FIELD(OutTexts, b, FIELD_STR)};
const RecordDesc kOutTexts = NET_RECORD("texts", OutTexts, kOutTextsFields);
static const FieldDesc kOutIntFields[] = {NET_FIELD(OutInt, value, FIELD_I32)};
const RecordDesc kOutInt = NET_RECORD("int", OutInt, kOutIntFields);
static const FieldDesc kOutWordFields[] = {NET_FIELD(OutWord, value, FIELD_U32)};
const RecordDesc kOutWord = NET_RECORD("word", OutWord, kOutWordFields);
static const FieldDesc kOutByteFields[] = {NET_FIELD(OutByte, value, FIELD_U8)};
const RecordDesc kOutByte = NET_RECORD("byte", OutByte, kOutByteFields);
static const FieldDesc kOutIntTextFields[] = {NET_FIELD(OutIntText, value, FIELD_I32),
                                              NET_FIELD(OutIntText, text, FIELD_STR)};
const RecordDesc kOutIntText = NET_RECORD("int_text", OutIntText, kOutIntTextFields);
static const FieldDesc kOutFlagTextFields[] = {NET_FIELD(OutFlagText, flag, FIELD_BOOL),
                                               NET_FIELD(OutFlagText, text, FIELD_STR)};
const RecordDesc kOutFlagText = NET_RECORD("flag_text", OutFlagText, kOutFlagTextFields);
static const FieldDesc kOutInts2Fields[] = {NET_FIELD(OutInts2, a, FIELD_I32),
                                            NET_FIELD(OutInts2, b, FIELD_I32)};
const RecordDesc kOutInts2 = NET_RECORD("ints2", OutInts2, kOutInts2Fields);
static const FieldDesc kOutInts4Fields[] = {NET_ARRAY(OutInts4, values, FIELD_I32, 4)};
const RecordDesc kOutInts4 = NET_RECORD("ints4", OutInts4, kOutInts4Fields);
static const FieldDesc kOutInts5Fields[] = {NET_ARRAY(OutInts5, values, FIELD_I32, 5)};
const RecordDesc kOutInts5 = NET_RECORD("ints5", OutInts5, kOutInts5Fields);
static const FieldDesc kOutWordIntFields[] = {NET_FIELD(OutWordInt, id, FIELD_U32),
                                              NET_FIELD(OutWordInt, value, FIELD_I32)};
const RecordDesc kOutWordInt = NET_RECORD("word_int", OutWordInt, kOutWordIntFields);
static const FieldDesc kOutWords2Fields[] = {NET_FIELD(OutWords2, a, FIELD_U32),
                                             NET_FIELD(OutWords2, b, FIELD_U32)};
const RecordDesc kOutWords2 = NET_RECORD("words2", OutWords2, kOutWords2Fields);
static const FieldDesc kOutWordInts4Fields[] = {NET_FIELD(OutWordInts4, id, FIELD_U32),
                                                NET_ARRAY(OutWordInts4, values, FIELD_I32, 4)};
const RecordDesc kOutWordInts4 = NET_RECORD("word_ints4", OutWordInts4, kOutWordInts4Fields);
static const FieldDesc kOutMoveFields[] = {
    NET_FIELD(OutMove, motion_state, FIELD_U8),
    NET_FIELD(OutMove, direction, FIELD_U8),
    NET_ARRAY(OutMove, position, FIELD_FIX24, 3),
    NET_FIELD(OutMove, heading, FIELD_ANGLE16),
};
const RecordDesc kOutMove = NET_RECORD("move", OutMove, kOutMoveFields);
static const FieldDesc kOutCreateFields[] = {
    NET_TEXT(OutCreateCharacter, name),
    NET_ARRAY(OutCreateCharacter, choices, FIELD_U8, 4),
    NET_FIELD(OutCreateCharacter, flag, FIELD_U8),
    NET_FIELD(OutCreateCharacter, choice, FIELD_U8),
    NET_FIELD(OutCreateCharacter, one, FIELD_I32),
};
const RecordDesc kOutCreateCharacter = NET_RECORD("create_character", OutCreateCharacter, kOutCreateFields);

struct OutRow {
  uint8_t opcode;
  const RecordDesc* record;
};

static const OutRow kLoginOut[] = {{OUT_LOGIN_ASK_WORLDS, nullptr},
                                   {OUT_LOGIN_ASK_WORLDS_AGAIN, nullptr},
                                   {OUT_LOGIN_PICK_WORLD, &kOutText}};

static const OutRow kWorldOut[] = {
    {OUT_WORLD_ASK_CHARACTERS, nullptr},
    {OUT_WORLD_CREATE_CHARACTER, &kOutCreateCharacter},
    {OUT_WORLD_DELETE_CHARACTER, &kOutInt},
    {OUT_WORLD_RETURN_TO_LOGIN, nullptr},
    {OUT_WORLD_ENTER, &kOutInt},
    {OUT_WORLD_ZONE_LOADED, &kOutInt},
    {OUT_WORLD_LEAVE, nullptr},
    {8, &kOutTexts},
    {OUT_WORLD_CHAT, &kOutIntText},
    {OUT_WORLD_MOVE_REPORT, &kOutMove},
    {OUT_WORLD_JUMP_REPORT, &kOutMove},
    {OUT_WORLD_ITEM_MOVE, &kOutInts4},
    {OUT_WORLD_ITEM_MOVE_FIVE, &kOutInts5},
    {OUT_WORLD_ITEM_DROP, &kOutInts2},
    {OUT_WORLD_STORE_CLOSED, nullptr},
    {17, &kOutInts2},
    {18, &kOutInts2},
    {OUT_WORLD_LIST_CLOSED, nullptr},
    {21, &kOutInts2},
    {22, &kOutInts2},
    {23, &kOutInts2},
    {24, &kOutInts2},
    {25, &kOutText},
    {26, &kOutText},
    {27, &kOutText},
    {28, &kOutText},
    {29, &kOutWord},
    {30, nullptr},
    {31, &kOutInt},
    {OUT_WORLD_ATTACK, &kOutWord},
    {OUT_WORLD_STOP_ATTACK, nullptr},
    {OUT_WORLD_USE_ABILITY, &kOutWordInt},
    {36, nullptr},
    {37, &kOutByte},
    {38, &kOutInts4},
    {39, &kOutInt},
    {40, &kOutIntText},
    {41, &kOutIntText},
    {42, nullptr},
    {43, &kOutTexts},
    {44, nullptr},
    {45, nullptr},
    {46, nullptr},
    {47, nullptr},
    {48, nullptr},
    {49, nullptr},
    {OUT_WORLD_STAND_UP, nullptr},
    {51, &kOutFlagText},
    {52, &kOutText},
    {53, nullptr},
    {54, nullptr},
    {55, &kOutText},
    {56, &kOutText},
    {57, nullptr},
    {58, nullptr},
    {OUT_WORLD_ASK_ABILITY, &kOutInt},
    {OUT_WORLD_ASK_ITEM, &kOutInt},
    {OUT_WORLD_ASK_FACTION, &kOutInt},
    {OUT_WORLD_TARGET, &kOutWord},
    {63, &kOutWord},
    {64, nullptr},
    {65, nullptr},
    {67, &kOutWordInts4},
    {68, &kOutWords2},
    {70, &kOutWord},
    {71, &kOutWord},
    {OUT_WORLD_TRADE_REFUSED, nullptr},
    {73, &kOutInts2},
    {74, &kOutInt},
    {75, nullptr},
    {76, &kOutWord},
    {77, nullptr},
    {OUT_WORLD_BAR_SET, &kOutInts2},
    {OUT_WORLD_BAR_CLEAR, &kOutInt},
    {80, &kOutWord},
    {81, &kOutText},
    {82, &kOutWord},
    {83, &kOutWords2},
};

OutgoingOpcode net_outgoing(int32_t session, int32_t opcode) {
  const OutRow* rows = session == NET_SESSION_LOGIN ? kLoginOut : kWorldOut;
  size_t count = session == NET_SESSION_LOGIN ? sizeof kLoginOut / sizeof *kLoginOut
                                              : sizeof kWorldOut / sizeof *kWorldOut;
  if (session != NET_SESSION_LOGIN && session != NET_SESSION_WORLD) count = 0;
  for (size_t i = 0; i < count; i++)
    if (rows[i].opcode == opcode) return {1, rows[i].record};
  return {0, nullptr};
}

void payload_write(MsgBuf* buffer, const RecordDesc* desc, const void* record) {
  record_encode(desc, buffer, record);
}

static void write_payload(MsgBuf* buffer, void* context) {
  const OutPayload* p = (const OutPayload*)context;
  if (p) payload_write(buffer, p->desc, p->record);
}

PayloadWriter payload_writer(const OutPayload* payload) { return {(void*)payload, write_payload}; }

void payload_text(MsgBuf* buffer, const char* text) { put_str(buffer, text); }
void payload_int(MsgBuf* buffer, int32_t value) { put_i32(buffer, value); }
void payload_word(MsgBuf* buffer, uint32_t value) { put_u32(buffer, value); }
void payload_move(MsgBuf* buffer, const OutMove* move) { payload_write(buffer, &kOutMove, move); }
void payload_create_character(MsgBuf* buffer, const OutCreateCharacter* c) {
  payload_write(buffer, &kOutCreateCharacter, c);
}

void out_create_character_fill(OutCreateCharacter* c, const char* name, const uint8_t pairs[8], uint8_t flag,
                               uint8_t choice) {
  memset(c, 0, sizeof *c);
  string_copy_utf8(c->name, sizeof c->name, name);
  for (int i = 0; i < 4; i++) c->choices[i] = (uint8_t)(pairs[2 * i] + pairs[2 * i + 1]);
  c->flag = flag;
  c->choice = choice;
  c->one = 1;
}

int32_t net_zone_reply(int32_t zone_number) { return zone_number < 3 ? 1 : zone_number - 2; }
