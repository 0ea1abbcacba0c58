// Login and world selection: opcodes 1-13, 15 and 49.
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
    NET_FIELD(CharacterDetails, a, FIELD_I32),     NET_FIELD(CharacterDetails, text_a, FIELD_STR),
    NET_FIELD(CharacterDetails, b, FIELD_U8),      NET_FIELD(CharacterDetails, c, FIELD_U8),
    NET_FIELD(CharacterDetails, d, FIELD_U32),     NET_FIELD(CharacterDetails, e, FIELD_U32),
    NET_FIELD(CharacterDetails, f, FIELD_I32),     NET_FIELD(CharacterDetails, text_b, FIELD_STR),
    NET_FIELD(CharacterDetails, g, FIELD_I32),     NET_FIELD(CharacterDetails, h, FIELD_I32),
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
  return ((const MsgFlag*)record)->flag ? (uint32_t)0x60618602 : (uint32_t)0x26D8F470;
}

void net_opcodes_login(NetOpcode* slots) {
  net_slot(slots, 1, &kWorldList, NET_EFFECT_world_list);
  net_slot(slots, 2, &kWorldList, NET_EFFECT_world_list);
  net_slot(slots, 3, &kSummary, NET_EFFECT_character_summary);
  net_slot(slots, 4, nullptr, NET_EFFECT_character_text, 0x2BC4A61A, NOTICE_DIALOG);
  net_slot(slots, 5, nullptr, NET_EFFECT_character_text, 0x7DA0269D, NOTICE_DIALOG);
  net_slot(slots, 6, nullptr, NET_EFFECT_character_text, 0x24C23E89, NOTICE_DIALOG);
  net_slot(slots, 7, nullptr, NET_EFFECT_enter_world_ok, 0x6777E88D, NOTICE_SCREEN);
  net_slot(slots, 8, nullptr, NET_EFFECT_character_text, 0x30290395, NOTICE_DIALOG);
  net_slot(slots, 9, &kText, NET_EFFECT_relogin, 0, NOTICE_NONE, check_relogin);
  net_slot(slots, 10, &kText, NET_EFFECT_world_ticket);
  net_slot(slots, 11, &kFlag, NET_EFFECT_world_result, 0, NOTICE_DIALOG);
  slots[11].key_of = world_result_key;
  net_slot(slots, 12, nullptr, NET_EFFECT_character_reset);
  net_slot(slots, 13, nullptr, NET_EFFECT_character_text, 0x46EC95A6, NOTICE_DIALOG);
  net_slot(slots, 15, nullptr, NET_EFFECT_character_text, 0x452A5B49, NOTICE_DIALOG);
  net_slot(slots, 49, nullptr, NET_EFFECT_back_to_characters);
}
