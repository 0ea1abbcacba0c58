// Entity updates: compact movement (19, 20), object, player and creature slots (21-25,
// 27-32, 34, 35, 37-48) and the combat event (133).
#include "net/opcodes_internal.h"

static const FieldDesc kMoveFields[] = {
    NET_FIELD(MsgMove, id, FIELD_U32),          NET_FIELD(MsgMove, motion_state, FIELD_U8),
    NET_FIELD(MsgMove, direction, FIELD_U8),    NET_ARRAY(MsgMove, position, FIELD_FIX24, 3),
    NET_FIELD(MsgMove, heading, FIELD_ANGLE16),
};
static const RecordDesc kMove = NET_RECORD("move", MsgMove, kMoveFields);

static const FieldDesc kIdFlagFields[] = {NET_FIELD(MsgIdFlag, id, FIELD_U32),
                                          NET_FIELD(MsgIdFlag, flag, FIELD_BOOL)};
static const RecordDesc kIdFlag = NET_RECORD("id_flag", MsgIdFlag, kIdFlagFields);
static const FieldDesc kIdIntFields[] = {NET_FIELD(MsgIdInt, id, FIELD_U32),
                                         NET_FIELD(MsgIdInt, value, FIELD_I32)};
static const RecordDesc kIdInt = NET_RECORD("id_int", MsgIdInt, kIdIntFields);
static const FieldDesc kIdWordFields[] = {NET_FIELD(MsgIdWord, id, FIELD_U32),
                                          NET_FIELD(MsgIdWord, value, FIELD_U32)};
static const RecordDesc kIdWord = NET_RECORD("id_word", MsgIdWord, kIdWordFields);
static const FieldDesc kFlagFields[] = {NET_FIELD(MsgFlag, flag, FIELD_BOOL)};
static const RecordDesc kFlag = NET_RECORD("flag", MsgFlag, kFlagFields);
static const FieldDesc kFloatPairFields[] = {NET_FIELD(MsgFloatPair, a, FIELD_F32),
                                             NET_FIELD(MsgFloatPair, b, FIELD_F32)};
static const RecordDesc kFloatPair = NET_RECORD("float_pair", MsgFloatPair, kFloatPairFields);

static const FieldDesc kAttrsFields[] = {
    NET_FIELD(MsgObjectAttrs, id, FIELD_U32),     NET_FIELD(MsgObjectAttrs, appearance, FIELD_I32),
    NET_FIELD(MsgObjectAttrs, attr_b, FIELD_U32), NET_FIELD(MsgObjectAttrs, attr_c, FIELD_U32),
    NET_FIELD(MsgObjectAttrs, attr_d, FIELD_U32),
};
static const RecordDesc kAttrs = NET_RECORD("object_attrs", MsgObjectAttrs, kAttrsFields);
static const FieldDesc kNamesFields[] = {
    NET_FIELD(MsgObjectNames, id, FIELD_U32),
    NET_FIELD(MsgObjectNames, name, FIELD_STR),
    NET_FIELD(MsgObjectNames, title, FIELD_STR),
};
static const RecordDesc kNames = NET_RECORD("object_names", MsgObjectNames, kNamesFields);
static const FieldDesc kPlaceFields[] = {
    NET_FIELD(MsgObjectPlace, id, FIELD_U32),
    NET_FIELD(MsgObjectPlace, position, FIELD_POSITION),
    NET_FIELD(MsgObjectPlace, heading, FIELD_F32),
    NET_FIELD(MsgObjectPlace, scale, FIELD_F32),
};
static const RecordDesc kPlace = NET_RECORD("object_place", MsgObjectPlace, kPlaceFields);
static const FieldDesc kTeleportFields[] = {
    NET_FIELD(MsgObjectPlace, id, FIELD_U32),
    NET_FIELD(MsgObjectPlace, position, FIELD_POSITION),
    NET_FIELD(MsgObjectPlace, heading, FIELD_F32),
};
static const RecordDesc kTeleport = NET_RECORD("object_teleport", MsgObjectPlace, kTeleportFields);
static const FieldDesc kEffectFields[] = {
    NET_FIELD(MsgObjectEffect, id, FIELD_U32),     NET_FIELD(MsgObjectEffect, value, FIELD_U32),
    NET_FIELD(MsgObjectEffect, point, FIELD_VEC3), NET_FIELD(MsgObjectEffect, a, FIELD_F32),
    NET_FIELD(MsgObjectEffect, b, FIELD_F32),
};
static const RecordDesc kObjectEffect = NET_RECORD("object_effect", MsgObjectEffect, kEffectFields);
static const FieldDesc kListedFields[] = {
    NET_FIELD(MsgObjectListed, id, FIELD_U32),
    NET_FIELD(MsgObjectListed, flag, FIELD_BOOL),
    NET_LIST(MsgObjectListed, ids, FIELD_LIST_I32, kNetIdEntry),
};
static const RecordDesc kListed = NET_RECORD("object_listed", MsgObjectListed, kListedFields);

static const FieldDesc kMotionFields[] = {
    NET_FIELD(MsgCreatureMotion, id, FIELD_U32),
    NET_STRUCT(MsgCreatureMotion, motion, kNetMotion),
};
static const RecordDesc kMotion = NET_RECORD("creature_motion", MsgCreatureMotion, kMotionFields);
static const FieldDesc kTwoFloatsFields[] = {
    NET_FIELD(MsgCreatureFloats, id, FIELD_U32),
    NET_ARRAY(MsgCreatureFloats, values, FIELD_F32, 2),
};
static const RecordDesc kTwoFloats = NET_RECORD("creature_health", MsgCreatureFloats, kTwoFloatsFields);
static const FieldDesc kThreeFloatsFields[] = {
    NET_FIELD(MsgCreatureFloats, id, FIELD_U32),
    NET_ARRAY(MsgCreatureFloats, values, FIELD_F32, 3),
};
static const RecordDesc kThreeFloats = NET_RECORD("creature_speeds", MsgCreatureFloats, kThreeFloatsFields);

static const FieldDesc kStatusSetFields[] = {
    NET_FIELD(MsgStatusEffect, id, FIELD_U32),          NET_FIELD(MsgStatusEffect, slot, FIELD_U8),
    NET_FIELD(MsgStatusEffect, value, FIELD_I32),       NET_FIELD(MsgStatusEffect, time, FIELD_F32),
    NET_FIELD(MsgStatusEffect, first_half, FIELD_BOOL),
};
static const RecordDesc kStatusSet = NET_RECORD("status_effect_set", MsgStatusEffect, kStatusSetFields);
static const FieldDesc kStatusClearFields[] = {
    NET_FIELD(MsgStatusEffect, id, FIELD_U32),
    NET_FIELD(MsgStatusEffect, slot, FIELD_U8),
    NET_FIELD(MsgStatusEffect, value, FIELD_I32),
    NET_FIELD(MsgStatusEffect, first_half, FIELD_BOOL),
};
static const RecordDesc kStatusClear = NET_RECORD("status_effect_clear", MsgStatusEffect, kStatusClearFields);

// A status message may touch only the half of the 24-entry table that its flag names.
static int32_t check_status_slot(const MsgBuf*, const void* record) {
  const MsgStatusEffect* m = (const MsgStatusEffect*)record;
  return m->first_half ? m->slot <= 11 : (m->slot >= 12 && m->slot <= 23);
}

static const FieldDesc kEffectStartFields[] = {
    NET_FIELD(MsgCreatureEffect, id, FIELD_U32),      NET_FIELD(MsgCreatureEffect, word, FIELD_U32),
    NET_FIELD(MsgCreatureEffect, ability, FIELD_I32), NET_FIELD(MsgCreatureEffect, duration, FIELD_F32),
    NET_FIELD(MsgCreatureEffect, elapsed, FIELD_F32),
};
static const RecordDesc kEffectStart = NET_RECORD("creature_effect", MsgCreatureEffect, kEffectStartFields);
static const FieldDesc kEffectStopFields[] = {
    NET_FIELD(MsgCreatureEffect, id, FIELD_U32),
    NET_FIELD(MsgCreatureEffect, word, FIELD_U32),
    NET_FIELD(MsgCreatureEffect, ability, FIELD_I32),
};
static const RecordDesc kEffectStop =
    NET_RECORD("creature_effect_stop", MsgCreatureEffect, kEffectStopFields);

static const FieldDesc kCombatFields[] = {
    NET_FIELD(MsgCombat, source, FIELD_U32),     NET_FIELD(MsgCombat, target, FIELD_U32),
    NET_ARRAY(MsgCombat, values, FIELD_I32, 10), NET_FIELD(MsgCombat, amount, FIELD_I16),
    NET_FIELD(MsgCombat, flag, FIELD_BOOL),
};
static const RecordDesc kCombat = NET_RECORD("combat_event", MsgCombat, kCombatFields);

void net_opcodes_entity(NetOpcode* slots) {
  net_slot(slots, MSG_MOVE, &kMove, NET_EFFECT_move);
  net_slot(slots, MSG_MOVE_EXTRA, &kMove, NET_EFFECT_move);
  net_slot(slots, MSG_PLAYER_FLAG_A, &kIdFlag, NET_EFFECT_player_flag_a);
  net_slot(slots, MSG_PLAYER_VALUE, &kIdInt, NET_EFFECT_player_value);
  net_slot(slots, MSG_PLAYER_VALUE_B, &kIdInt, NET_EFFECT_player_value_b);
  net_slot(slots, MSG_LOCAL_FLAG, &kFlag, NET_EFFECT_local_flag);
  net_slot(slots, MSG_LOCAL_PAIR, &kFloatPair, NET_EFFECT_local_pair);
  net_slot(slots, MSG_OBJECT_ATTRS, &kAttrs, NET_EFFECT_object_attrs);
  net_slot(slots, MSG_OBJECT_NAMES, &kNames, NET_EFFECT_object_names);
  net_slot(slots, MSG_OBJECT_FLAGS, &kIdWord, NET_EFFECT_object_flags);
  net_slot(slots, MSG_OBJECT_PLACE, &kPlace, NET_EFFECT_object_place);
  net_slot(slots, MSG_OBJECT_TELEPORT, &kTeleport, NET_EFFECT_object_teleport);
  net_slot(slots, MSG_OBJECT_ATTR_A, &kIdWord, NET_EFFECT_object_attr_a);
  net_slot(slots, MSG_OBJECT_EFFECT, &kObjectEffect, NET_EFFECT_object_effect);
  net_slot(slots, MSG_OBJECT_LISTED, &kListed, NET_EFFECT_object_listed);
  net_slot(slots, MSG_CREATURE_MOTION, &kMotion, NET_EFFECT_creature_motion);
  net_slot(slots, MSG_CREATURE_HEALTH, &kTwoFloats, NET_EFFECT_creature_health);
  net_slot(slots, MSG_CREATURE_SPEEDS, &kThreeFloats, NET_EFFECT_creature_speeds);
  net_slot(slots, MSG_CREATURE_VALUE_A, &kIdInt, NET_EFFECT_creature_value_a);
  net_slot(slots, MSG_STATUS_EFFECT_SET, &kStatusSet, NET_EFFECT_status_effect_set, 0, NOTICE_NONE,
           check_status_slot);
  net_slot(slots, MSG_STATUS_EFFECT_CLEAR, &kStatusClear, NET_EFFECT_status_effect_clear, 0, NOTICE_NONE,
           check_status_slot);
  net_slot(slots, MSG_CREATURE_VALUE_B, &kIdInt, NET_EFFECT_creature_value_b);
  net_slot(slots, MSG_CREATURE_VALUE_C, &kIdWord, NET_EFFECT_creature_value_c);
  net_slot(slots, MSG_CREATURE_EFFECT_START, &kEffectStart, NET_EFFECT_creature_effect_start);
  net_slot(slots, MSG_CREATURE_EFFECT_B, &kEffectStart, NET_EFFECT_creature_effect_b);
  net_slot(slots, MSG_CREATURE_EFFECT_STOP, &kEffectStop, NET_EFFECT_creature_effect_stop);
  net_slot(slots, MSG_CREATURE_EFFECT_END, &kEffectStop, NET_EFFECT_creature_effect_end);
  net_slot(slots, MSG_COMBAT_EVENT, &kCombat, NET_EFFECT_combat_event);
}
