// Inventory, abilities, character data, definitions and trade: opcodes 51-56, 74-82,
// 145-147, 165, 166, 168, 169, 172-174, 189, 190, 193, 199, 200.
#include "net/opcodes_internal.h"

static const FieldDesc kIntFields[] = {NET_FIELD(MsgInt, value, FIELD_I32)};
static const RecordDesc kInt = NET_RECORD("int", MsgInt, kIntFields);
static const FieldDesc kSlotSetFields[] = {NET_ARRAY(MsgSlotSet, index, FIELD_I32, 3)};
static const RecordDesc kSlotSet = NET_RECORD("slot_set", MsgSlotSet, kSlotSetFields);
static const FieldDesc kIntPairFields[] = {NET_FIELD(MsgIntPair, a, FIELD_I32),
                                           NET_FIELD(MsgIntPair, b, FIELD_I32)};
static const RecordDesc kIntPair = NET_RECORD("int_pair", MsgIntPair, kIntPairFields);
static const FieldDesc kSkillFields[] = {NET_FIELD(MsgSkill, kind, FIELD_I32),
                                         NET_ARRAY(MsgSkill, values, FIELD_I32, 6)};
static const RecordDesc kSkill = NET_RECORD("skill", MsgSkill, kSkillFields);
static const FieldDesc kAbilityValueFields[] = {
    NET_FIELD(MsgAbilityValue, ability, FIELD_I32),
    NET_FIELD(MsgAbilityValue, value, FIELD_F32),
};
static const RecordDesc kAbilityValue = NET_RECORD("ability_value", MsgAbilityValue, kAbilityValueFields);
static const FieldDesc kFloatFields[] = {NET_FIELD(MsgFloat, value, FIELD_F32)};
static const RecordDesc kFloat = NET_RECORD("float", MsgFloat, kFloatFields);
static const FieldDesc kSheetFields[] = {NET_ARRAY(MsgSheet, values, FIELD_I32, 23)};
static const RecordDesc kSheet = NET_RECORD("sheet", MsgSheet, kSheetFields);

static const FieldDesc kAbilityEffectFields[] = {
    NET_ARRAY(AbilityEffectEntry, values, FIELD_I32, 5),
    NET_FIELD(AbilityEffectEntry, kind, FIELD_I32),
    NET_FIELD(AbilityEffectEntry, amount, FIELD_F32),
    NET_FIELD(AbilityEffectEntry, extra, FIELD_I32),
};
static const RecordDesc kAbilityEffect =
    NET_ENTRY("ability_effect", AbilityEffectEntry, kAbilityEffectFields, 0, nullptr);
static const FieldDesc kDefAbilityFields[] = {
    NET_FIELD(MsgDefAbility, id, FIELD_I32),
    NET_FIELD(MsgDefAbility, name, FIELD_STR),
    NET_FIELD(MsgDefAbility, text, FIELD_STR),
    NET_ARRAY(MsgDefAbility, a, FIELD_I32, 4),
    NET_ARRAY(MsgDefAbility, flags, FIELD_BOOL, 4),
    NET_FIELD(MsgDefAbility, value, FIELD_F32),
    NET_FIELD(MsgDefAbility, byte, FIELD_U8),
    NET_ARRAY(MsgDefAbility, b, FIELD_I32, 8),
    NET_ARRAY(MsgDefAbility, c, FIELD_F32, 4),
    NET_FIELD(MsgDefAbility, d, FIELD_I32),
    NET_FIELD(MsgDefAbility, e, FIELD_F32),
    NET_ARRAY(MsgDefAbility, g, FIELD_I32, 4),
    NET_LIST(MsgDefAbility, effects, FIELD_LIST_I32, kAbilityEffect),
};
static const RecordDesc kDefAbility = NET_RECORD("def_ability", MsgDefAbility, kDefAbilityFields);
static const FieldDesc kDefItemFields[] = {
    NET_FIELD(MsgDefItem, id, FIELD_I32),        NET_FIELD(MsgDefItem, name, FIELD_STR),
    NET_FIELD(MsgDefItem, text, FIELD_STR),      NET_ARRAY(MsgDefItem, a, FIELD_I32, 4),
    NET_ARRAY(MsgDefItem, flags, FIELD_BOOL, 4), NET_FIELD(MsgDefItem, value, FIELD_F32),
    NET_ARRAY(MsgDefItem, b, FIELD_I32, 3),      NET_FIELD(MsgDefItem, short_value, FIELD_I16),
    NET_ARRAY(MsgDefItem, c, FIELD_I32, 3),      NET_FIELD(MsgDefItem, byte, FIELD_U8),
    NET_ARRAY(MsgDefItem, d, FIELD_I32, 6),      NET_FIELD(MsgDefItem, e, FIELD_I32),
    NET_ARRAY(MsgDefItem, f, FIELD_F32, 3),      NET_ARRAY(MsgDefItem, g, FIELD_I32, 10),
};
static const RecordDesc kDefItem = NET_RECORD("def_item", MsgDefItem, kDefItemFields);
static const FieldDesc kFactionEntryFields[] = {NET_ARRAY(FactionEntry, faction, FIELD_I32, 3)};
static const RecordDesc kFactionEntry = NET_ENTRY("faction", FactionEntry, kFactionEntryFields, 0, nullptr);
static const FieldDesc kDefFactionFields[] = {
    NET_FIELD(MsgDefFaction, id, FIELD_I32),
    NET_FIELD(MsgDefFaction, name, FIELD_STR),
    NET_FIELD(MsgDefFaction, text, FIELD_STR),
    NET_FIELD(MsgDefFaction, value, FIELD_I32),
    NET_FIELD(MsgDefFaction, default_standing, FIELD_I32),
    NET_LIST(MsgDefFaction, relations, FIELD_LIST_I32, kFactionEntry),
};
static const RecordDesc kDefFaction = NET_RECORD("def_faction", MsgDefFaction, kDefFactionFields);

static const FieldDesc kIdFields[] = {NET_FIELD(MsgId, id, FIELD_U32)};
static const RecordDesc kId = NET_RECORD("id", MsgId, kIdFields);
static const FieldDesc kTradeItemFields[] = {NET_FIELD(MsgTradeItem, id, FIELD_U32),
                                             NET_ARRAY(MsgTradeItem, a, FIELD_I32, 3)};
static const RecordDesc kTradeItem = NET_RECORD("trade_item", MsgTradeItem, kTradeItemFields);
static const FieldDesc kIdIntFields[] = {NET_FIELD(MsgIdInt, id, FIELD_U32),
                                         NET_FIELD(MsgIdInt, value, FIELD_I32)};
static const RecordDesc kIdInt = NET_RECORD("id_int", MsgIdInt, kIdIntFields);
static const FieldDesc kIdFlagFields[] = {NET_FIELD(MsgIdFlag, id, FIELD_U32),
                                          NET_FIELD(MsgIdFlag, flag, FIELD_BOOL)};
static const RecordDesc kIdFlag = NET_RECORD("id_flag", MsgIdFlag, kIdFlagFields);
static const FieldDesc kProgressFields[] = {
    NET_FIELD(MsgProgress, a, FIELD_F32),
    NET_FIELD(MsgProgress, b, FIELD_F32),
    NET_FIELD(MsgProgress, c, FIELD_I32),
};
static const RecordDesc kProgress = NET_RECORD("progress", MsgProgress, kProgressFields);
static const FieldDesc kAbilityStateFields[] = {
    NET_FIELD(MsgAbilityState, a, FIELD_I32),
    NET_FIELD(MsgAbilityState, b, FIELD_I32),
    NET_FIELD(MsgAbilityState, value, FIELD_F32),
};
static const RecordDesc kAbilityState = NET_RECORD("ability_state", MsgAbilityState, kAbilityStateFields);
static const FieldDesc kIntFlagFields[] = {NET_FIELD(MsgIntFlag, value, FIELD_I32),
                                           NET_FIELD(MsgIntFlag, flag, FIELD_BOOL)};
static const RecordDesc kIntFlag = NET_RECORD("int_flag", MsgIntFlag, kIntFlagFields);

// Slot indices of the three item containers; a message naming any other slot is dropped.
static int32_t check_bag(const MsgBuf*, const void* r) {
  return ((const MsgInt*)r)->value >= 0 && ((const MsgInt*)r)->value < 30;
}
static int32_t check_store(const MsgBuf*, const void* r) {
  return ((const MsgInt*)r)->value >= 0 && ((const MsgInt*)r)->value < 160;
}
static int32_t check_worn(const MsgBuf*, const void* r) {
  return ((const MsgInt*)r)->value >= 0 && ((const MsgInt*)r)->value < 10;
}
static int32_t check_skill(const MsgBuf*, const void* r) {
  return ((const MsgSkill*)r)->kind >= 1 && ((const MsgSkill*)r)->kind <= 10;
}

void net_opcodes_items(NetOpcode* slots) {
  // MsgSlotSet starts with the index, like MsgInt, so one check serves both forms.
  net_slot(slots, MSG_BAG_CLEAR, &kInt, NET_EFFECT_bag_clear, 0, NOTICE_NONE, check_bag);
  net_slot(slots, MSG_BAG_SET, &kSlotSet, NET_EFFECT_bag_set, 0, NOTICE_NONE, check_bag);
  net_slot(slots, MSG_STORE_CLEAR, &kInt, NET_EFFECT_store_clear, 0, NOTICE_NONE, check_store);
  net_slot(slots, MSG_STORE_SET, &kSlotSet, NET_EFFECT_store_set, 0, NOTICE_NONE, check_store);
  net_slot(slots, MSG_WORN_CLEAR, &kInt, NET_EFFECT_worn_clear, 0, NOTICE_NONE, check_worn);
  net_slot(slots, MSG_WORN_SET, &kSlotSet, NET_EFFECT_worn_set, 0, NOTICE_NONE, check_worn);
  net_slot(slots, MSG_KEYED_VALUE, &kIntPair, NET_EFFECT_keyed_value);
  net_slot(slots, MSG_COUNTER_PAIR, &kIntPair, NET_EFFECT_counter_pair);
  net_slot(slots, MSG_SKILL, &kSkill, NET_EFFECT_skill, 0, NOTICE_NONE, check_skill);
  net_slot(slots, MSG_ABILITY_ADD, &kInt, NET_EFFECT_ability_add);
  net_slot(slots, MSG_ABILITY_VALUE, &kAbilityValue, NET_EFFECT_ability_value);
  net_slot(slots, MSG_ABILITY_VALUE_CLEAR, &kInt, NET_EFFECT_ability_value_clear);
  net_slot(slots, MSG_GLOBAL_VALUE, &kFloat, NET_EFFECT_global_value);
  net_slot(slots, MSG_GLOBAL_VALUE_CLEAR, nullptr, NET_EFFECT_global_value_clear);
  net_slot(slots, MSG_CHARACTER_SHEET, &kSheet, NET_EFFECT_character_sheet);
  net_slot(slots, MSG_DEF_ABILITY, &kDefAbility, NET_EFFECT_def_ability);
  net_slot(slots, MSG_DEF_ITEM, &kDefItem, NET_EFFECT_def_item);
  net_slot(slots, MSG_DEF_FACTION, &kDefFaction, NET_EFFECT_def_faction);
  net_slot(slots, MSG_ITEM_RECEIVED, &kIntPair, NET_EFFECT_item_received, LOCALE_KEY_ITEM_RECEIVED,
           NOTICE_CHAT);
  net_slot(slots, MSG_WORLD_CLOCK, &kInt, NET_EFFECT_world_clock);
  net_slot(slots, MSG_TRADE_REQUEST, &kId, NET_EFFECT_trade_request);
  net_slot(slots, MSG_TRADE_CLOSE, nullptr, NET_EFFECT_trade_close);
  net_slot(slots, MSG_TRADE_ITEM, &kTradeItem, NET_EFFECT_trade_item);
  net_slot(slots, MSG_TRADE_VALUE, &kIdInt, NET_EFFECT_trade_value);
  net_slot(slots, MSG_TRADE_FLAG, &kIdFlag, NET_EFFECT_trade_flag);
  net_slot(slots, MSG_PROGRESS, &kProgress, NET_EFFECT_progress);
  net_slot(slots, MSG_ABILITY_STATE, &kAbilityState, NET_EFFECT_ability_state);
  net_slot(slots, MSG_ABILITY_PAIR, &kIntPair, NET_EFFECT_ability_pair);
  net_slot(slots, MSG_LOG_PAIR, &kIntPair, NET_EFFECT_log_pair);
  net_slot(slots, MSG_LOG_FLAG, &kIntFlag, NET_EFFECT_log_flag);
}
