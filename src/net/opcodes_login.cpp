// Login and world selection: opcodes 1-13, 15 and 49 (the character screen included).
#include <cstring>

#include "net/opcodes_internal.h"

static const FieldDesc kWorldEntryFields[] = {
    NET_TEXT(WorldEntry, name),
    NET_TEXT(WorldEntry, label),
    NET_FIELD(WorldEntry, a, FIELD_U8),
    NET_FIELD(WorldEntry, b, FIELD_U8),
    NET_FIELD(WorldEntry, c, FIELD_U8),
    NET_TEXT(WorldEntry, host),
    NET_FIELD(WorldEntry, port, FIELD_U16),
};
static const RecordDesc kWorldEntry = NET_ENTRY("world", WorldEntry, kWorldEntryFields, 0, nullptr);
static const FieldDesc kWorldListFields[] = {NET_LIST(MsgWorldList, worlds, FIELD_LIST_U32, kWorldEntry)};
static const RecordDesc kWorldList = NET_RECORD("world_list", MsgWorldList, kWorldListFields);

static const FieldDesc kDetailsFields[] = {
    NET_FIELD(CharacterDetails, id, FIELD_I32),
    NET_FIELD(CharacterDetails, name, FIELD_STR),
    NET_FIELD(CharacterDetails, character_class, FIELD_U8),
    NET_FIELD(CharacterDetails, value_a, FIELD_U8),
    NET_ARRAY(CharacterDetails, appearance, FIELD_U32, 2),
    NET_FIELD(CharacterDetails, value_b, FIELD_I32),
    NET_FIELD(CharacterDetails, line, FIELD_STR),
    NET_FIELD(CharacterDetails, value_c, FIELD_I32),
    NET_FIELD(CharacterDetails, value_d, FIELD_I32),
    NET_FIELD(CharacterDetails, flag, FIELD_BOOL),
};
static const RecordDesc kDetails = NET_RECORD("character_details", CharacterDetails, kDetailsFields);
static const FieldDesc kSummaryFields[] = {
    NET_FIELD(MsgCharacterSummary, name, FIELD_STR),
    NET_FIELD(MsgCharacterSummary, value, FIELD_U8),
    NET_FIELD(MsgCharacterSummary, detail_count, FIELD_U32),
    NET_OPTIONAL(MsgCharacterSummary, details, kDetails, detail_count),
};
static const RecordDesc kSummary = NET_RECORD("character_summary", MsgCharacterSummary, kSummaryFields);

static const FieldDesc kTextFields[] = {NET_FIELD(MsgText, text, FIELD_STR)};
static const RecordDesc kText = NET_RECORD("text", MsgText, kTextFields);
static const FieldDesc kFlagFields[] = {NET_FIELD(MsgFlag, flag, FIELD_BOOL)};
static const RecordDesc kFlag = NET_RECORD("flag", MsgFlag, kFlagFields);

// The relogin text must end within its first 1024 bytes; anything else is not credentials.
static int32_t check_relogin(const MsgBuf* view, const void*) {
  uint32_t scan = view->length < (uint32_t)NET_RELOGIN_SCAN ? view->length : (uint32_t)NET_RELOGIN_SCAN;
  return scan > 0 && memchr(view->storage, 0, scan) != nullptr;
}

static uint32_t world_result_key(const void* record) {
  return ((const MsgFlag*)record)->flag ? LOCALE_KEY_WORLD_RESULT_OK : LOCALE_KEY_WORLD_RESULT_FAILED;
}

void net_opcodes_login(NetOpcode* slots) {
  net_slot(slots, MSG_WORLD_LIST_ADD, &kWorldList, NET_EFFECT_world_list);
  net_slot(slots, MSG_WORLD_LIST_SET, &kWorldList, NET_EFFECT_world_list);
  net_slot(slots, MSG_CHARACTER_SUMMARY, &kSummary, NET_EFFECT_character_summary);
  net_slot(slots, MSG_CHAR_NOTICE_A, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_A,
           NOTICE_DIALOG);
  net_slot(slots, MSG_CHAR_NOTICE_B, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_B,
           NOTICE_DIALOG);
  net_slot(slots, MSG_CHAR_NOTICE_C, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_C,
           NOTICE_DIALOG);
  net_slot(slots, MSG_ENTER_WORLD_OK, nullptr, NET_EFFECT_enter_world_ok, LOCALE_KEY_CHARACTERS_WAIT,
           NOTICE_SCREEN);
  net_slot(slots, MSG_CHAR_NOTICE_D, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_D,
           NOTICE_DIALOG);
  net_slot(slots, MSG_RELOGIN, &kText, NET_EFFECT_relogin, 0, NOTICE_NONE, check_relogin);
  net_slot(slots, MSG_WORLD_TICKET, &kText, NET_EFFECT_world_ticket);
  net_slot(slots, MSG_WORLD_RESULT, &kFlag, NET_EFFECT_world_result, 0, NOTICE_DIALOG);
  slots[MSG_WORLD_RESULT].key_of = world_result_key;
  net_slot(slots, MSG_CHAR_RESET, nullptr, NET_EFFECT_character_reset);
  net_slot(slots, MSG_CHAR_NOTICE_E, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_E,
           NOTICE_DIALOG);
  net_slot(slots, MSG_CHAR_NOTICE_F, nullptr, NET_EFFECT_character_text, LOCALE_KEY_CHAR_NOTICE_F,
           NOTICE_DIALOG);
  net_slot(slots, MSG_BACK_TO_CHARACTERS, nullptr, NET_EFFECT_back_to_characters);
}
