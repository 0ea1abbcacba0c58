// Zone and spawning: opcodes 14, 16, 17, 18, 26, 33, 36, and the group snapshot that the
// local player's spawn and the group messages share.
#include "net/opcodes_internal.h"

static const FieldDesc kZoneEnterFields[] = {
    NET_FIELD(MsgZone, zone, FIELD_I32),
    NET_FIELD(MsgZone, position, FIELD_POSITION),
};
static const RecordDesc kZoneEnter = NET_RECORD("zone_enter", MsgZone, kZoneEnterFields);
static const FieldDesc kZoneChangeFields[] = {NET_FIELD(MsgZone, zone, FIELD_I32)};
static const RecordDesc kZoneChange = NET_RECORD("zone_change", MsgZone, kZoneChangeFields);

static const FieldDesc kIdFields[] = {NET_FIELD(MsgId, id, FIELD_U32)};
static const RecordDesc kId = NET_RECORD("id", MsgId, kIdFields);

static const FieldDesc kIdEntryFields[] = {NET_FIELD(IdEntry, id, FIELD_U32)};
const RecordDesc kNetIdEntry = NET_ENTRY("id", IdEntry, kIdEntryFields, 0, nullptr);

static const FieldDesc kMotionFields[] = {
    NET_FIELD(MotionRecord, a, FIELD_POSITION), NET_FIELD(MotionRecord, heading, FIELD_F32),
    NET_FIELD(MotionRecord, b, FIELD_POSITION), NET_FIELD(MotionRecord, c, FIELD_POSITION),
    NET_FIELD(MotionRecord, value, FIELD_F32),  NET_FIELD(MotionRecord, flags, FIELD_U8),
};
const RecordDesc kNetMotion = NET_RECORD("motion", MotionRecord, kMotionFields);

// The status-effect table has two halves of 12; each spawn list may fill only its own.
static int32_t accept_status_low(const void* entry) { return ((const StatusEntry*)entry)->slot <= 11; }
static int32_t accept_status_high(const void* entry) {
  uint8_t slot = ((const StatusEntry*)entry)->slot;
  return slot >= 12 && slot <= 23;
}
static const FieldDesc kStatusFields[] = {
    NET_FIELD(StatusEntry, slot, FIELD_U8),
    NET_FIELD(StatusEntry, value, FIELD_I32),
    NET_FIELD(StatusEntry, time, FIELD_F32),
};
static const RecordDesc kStatusLow =
    NET_ENTRY("status_low", StatusEntry, kStatusFields, 0, accept_status_low);
static const RecordDesc kStatusHigh =
    NET_ENTRY("status_high", StatusEntry, kStatusFields, 0, accept_status_high);

static const FieldDesc kItemFields[] = {NET_ARRAY(ItemEntry, a, FIELD_I32, 3)};
static const RecordDesc kItem = NET_ENTRY("item", ItemEntry, kItemFields, 0, nullptr);
static const FieldDesc kNamedFields[] = {
    NET_FIELD(NamedEntry, text, FIELD_STR),
    NET_FIELD(NamedEntry, flag, FIELD_BOOL),
    NET_FIELD(NamedEntry, value, FIELD_I32),
};
static const RecordDesc kNamed = NET_ENTRY("named", NamedEntry, kNamedFields, 0, nullptr);
static const FieldDesc kTextEntryFields[] = {NET_FIELD(TextEntry, text, FIELD_STR)};
static const RecordDesc kTextEntry = NET_ENTRY("text", TextEntry, kTextEntryFields, 0, nullptr);
static const FieldDesc kIntEntryFields[] = {NET_FIELD(IntEntry, value, FIELD_I32)};
static const RecordDesc kIntEntry = NET_ENTRY("int", IntEntry, kIntEntryFields, 0, nullptr);
static const FieldDesc kAbilityValueFields[] = {
    NET_FIELD(AbilityValueEntry, ability, FIELD_I32),
    NET_FIELD(AbilityValueEntry, value, FIELD_F32),
};
static const RecordDesc kAbilityValue =
    NET_ENTRY("ability_value", AbilityValueEntry, kAbilityValueFields, 0, nullptr);
static int32_t accept_skill(const void* entry) {
  int32_t kind = ((const SkillEntry*)entry)->kind;
  return kind >= 1 && kind <= 10;
}
static const FieldDesc kSkillFields[] = {
    NET_FIELD(SkillEntry, kind, FIELD_I32),
    NET_ARRAY(SkillEntry, values, FIELD_I32, 6),
};
static const RecordDesc kSkill = NET_ENTRY("skill", SkillEntry, kSkillFields, 0, accept_skill);
static const FieldDesc kPairFields[] = {NET_FIELD(PairEntry, a, FIELD_I32),
                                        NET_FIELD(PairEntry, b, FIELD_I32)};
static const RecordDesc kPair = NET_ENTRY("pair", PairEntry, kPairFields, 0, nullptr);

static const FieldDesc kMemberFields[] = {
    NET_FIELD(GroupMember, id, FIELD_U32),        NET_FIELD(GroupMember, flag_a, FIELD_BOOL),
    NET_FIELD(GroupMember, flag_b, FIELD_BOOL),   NET_TEXT(GroupMember, name),
    NET_FIELD(GroupMember, value, FIELD_I32),     NET_ARRAY(GroupMember, values, FIELD_I32, 4),
    NET_FIELD(GroupMember, position, FIELD_VEC3),
};
static const RecordDesc kMember = NET_ENTRY("member", GroupMember, kMemberFields, NET_GROUP_KEEP, nullptr);
static const FieldDesc kGroupFields[] = {
    NET_LIST(GroupSnapshot, members, FIELD_LIST_I32, kMember),
    NET_STRUCT(GroupSnapshot, subject, kMember),
};
const RecordDesc kNetGroupSnapshot = NET_RECORD("group", GroupSnapshot, kGroupFields);

static const FieldDesc kObjectFields[] = {
    NET_FIELD(SpawnObject, id, FIELD_U32),
    NET_FIELD(SpawnObject, secondary_id, FIELD_U32),
    NET_FIELD(SpawnObject, position, FIELD_POSITION),
    NET_FIELD(SpawnObject, heading, FIELD_F32),
    NET_FIELD(SpawnObject, scale, FIELD_F32),
    NET_FIELD(SpawnObject, appearance, FIELD_I32),
    NET_FIELD(SpawnObject, attr_b, FIELD_U32),
    NET_FIELD(SpawnObject, attr_c, FIELD_U32),
    NET_FIELD(SpawnObject, attr_d, FIELD_U32),
    NET_FIELD(SpawnObject, name, FIELD_STR),
    NET_FIELD(SpawnObject, title, FIELD_STR),
    NET_FIELD(SpawnObject, attr_a, FIELD_I32),
    NET_FIELD(SpawnObject, flags, FIELD_I32),
    NET_FIELD(SpawnObject, listed, FIELD_BOOL),
    NET_LIST(SpawnObject, listed_ids, FIELD_LIST_I32, kNetIdEntry),
};
static const RecordDesc kSpawnObject = NET_RECORD("spawn_object", SpawnObject, kObjectFields);

// The fields every character spawn starts with.
#define CHARACTER_HEAD                                                                                   \
  NET_FIELD(SpawnCharacter, id, FIELD_U32), NET_FIELD(SpawnCharacter, position, FIELD_POSITION),         \
      NET_FIELD(SpawnCharacter, heading, FIELD_F32), NET_FIELD(SpawnCharacter, scale, FIELD_F32),        \
      NET_FIELD(SpawnCharacter, appearance, FIELD_I32), NET_FIELD(SpawnCharacter, attr_b, FIELD_U32),    \
      NET_FIELD(SpawnCharacter, attr_c, FIELD_U32), NET_FIELD(SpawnCharacter, attr_d, FIELD_U32),        \
      NET_FIELD(SpawnCharacter, name, FIELD_STR), NET_FIELD(SpawnCharacter, title, FIELD_STR),           \
      NET_FIELD(SpawnCharacter, attr_a, FIELD_I32), NET_FIELD(SpawnCharacter, flags, FIELD_I32),         \
      NET_STRUCT(SpawnCharacter, motion, kNetMotion), NET_FIELD(SpawnCharacter, health_max, FIELD_F32),  \
      NET_FIELD(SpawnCharacter, health, FIELD_F32), NET_FIELD(SpawnCharacter, walk_speed, FIELD_F32),    \
      NET_FIELD(SpawnCharacter, run_speed, FIELD_F32), NET_FIELD(SpawnCharacter, swim_speed, FIELD_F32), \
      NET_FIELD(SpawnCharacter, value_a, FIELD_I32), NET_FIELD(SpawnCharacter, value_b, FIELD_I32),      \
      NET_FIELD(SpawnCharacter, value_c, FIELD_U32)
#define CHARACTER_EFFECT                                                                              \
  NET_FIELD(SpawnCharacter, effect_value, FIELD_I32), NET_FIELD(SpawnCharacter, effect_a, FIELD_F32), \
      NET_FIELD(SpawnCharacter, effect_b, FIELD_F32), NET_FIELD(SpawnCharacter, effect, FIELD_U32)
#define CHARACTER_PLAYER                                                                                \
  NET_FIELD(SpawnCharacter, player_a, FIELD_I32), NET_FIELD(SpawnCharacter, player_b, FIELD_I32),       \
      NET_FIELD(SpawnCharacter, player_e, FIELD_BOOL), NET_FIELD(SpawnCharacter, player_c, FIELD_BOOL), \
      NET_FIELD(SpawnCharacter, player_d, FIELD_I32)
#define CHARACTER_TAIL                                                   \
  NET_FIELD(SpawnCharacter, listed, FIELD_BOOL),                         \
      NET_LIST(SpawnCharacter, listed_ids, FIELD_LIST_I32, kNetIdEntry), \
      NET_LIST(SpawnCharacter, status_low, FIELD_LIST_I32, kStatusLow),  \
      NET_LIST(SpawnCharacter, status_high, FIELD_LIST_I32, kStatusHigh)

static const FieldDesc kCreatureFields[] = {CHARACTER_HEAD, CHARACTER_EFFECT, CHARACTER_TAIL};
static const RecordDesc kSpawnCreature = NET_RECORD("spawn_creature", SpawnCharacter, kCreatureFields);
static const FieldDesc kPlayerFields[] = {CHARACTER_HEAD, CHARACTER_EFFECT, CHARACTER_PLAYER, CHARACTER_TAIL};
static const RecordDesc kSpawnPlayer = NET_RECORD("spawn_player", SpawnCharacter, kPlayerFields);
static const FieldDesc kLocalFields[] = {
    CHARACTER_HEAD,
    NET_FIELD(SpawnCharacter, local_extra, FIELD_I32),
    CHARACTER_EFFECT,
    CHARACTER_PLAYER,
    NET_ARRAY(SpawnCharacter, local_pair, FIELD_F32, 2),
    CHARACTER_TAIL,
    NET_LIST(SpawnCharacter, bag, FIELD_LIST_I32, kItem),
    NET_LIST(SpawnCharacter, worn, FIELD_LIST_I32, kItem),
    NET_LIST(SpawnCharacter, store, FIELD_LIST_I32, kItem),
    NET_LIST(SpawnCharacter, named, FIELD_LIST_I32, kNamed),
    NET_LIST(SpawnCharacter, texts, FIELD_LIST_I32, kTextEntry),
    NET_LIST(SpawnCharacter, abilities_a, FIELD_LIST_I32, kIntEntry),
    NET_LIST(SpawnCharacter, abilities_b, FIELD_LIST_I32, kIntEntry),
    NET_LIST(SpawnCharacter, ability_values, FIELD_LIST_I32, kAbilityValue),
    NET_LIST(SpawnCharacter, skills, FIELD_LIST_I32, kSkill),
    NET_ARRAY(SpawnCharacter, sheet, FIELD_I32, 23),
    NET_FIELD(SpawnCharacter, progress_a, FIELD_F32),
    NET_FIELD(SpawnCharacter, progress_b, FIELD_F32),
    NET_FIELD(SpawnCharacter, progress_c, FIELD_I32),
    NET_LIST(SpawnCharacter, pairs, FIELD_LIST_I32, kPair),
    NET_STRUCT(SpawnCharacter, group, kNetGroupSnapshot),
    NET_ARRAY(SpawnCharacter, tail, FIELD_I32, 3),
};
static const RecordDesc kSpawnLocal = NET_RECORD("spawn_local_player", SpawnCharacter, kLocalFields);

void net_opcodes_spawn(NetOpcode* slots) {
  net_slot(slots, MSG_ZONE_ENTER, &kZoneEnter, NET_EFFECT_zone_enter);
  net_slot(slots, MSG_ZONE_CHANGE, &kZoneChange, NET_EFFECT_zone_change);
  net_slot(slots, MSG_SPAWN_LOCAL_PLAYER, &kSpawnLocal, NET_EFFECT_spawn_local_player);
  net_slot(slots, MSG_SPAWN_PLAYER, &kSpawnPlayer, NET_EFFECT_spawn_player);
  net_slot(slots, MSG_SPAWN_OBJECT, &kSpawnObject, NET_EFFECT_spawn_object);
  net_slot(slots, MSG_REMOVE, &kId, NET_EFFECT_remove);
  net_slot(slots, MSG_SPAWN_CREATURE, &kSpawnCreature, NET_EFFECT_spawn_creature);
}
