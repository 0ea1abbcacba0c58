#pragma once
// Records of the incoming game messages, one plain record per payload shape, fields in wire
// order. The decoders (opcodes_*.cpp) fill them from a payload under the input-safety policy
// of record_codec.h; the effect functions of dispatch.h receive them. Strings and list
// arrays point into the per-message arena and live until the next message is dispatched.
// Headings are degrees in -180..180, fix24 coordinates are already divided by 256, bools are
// 0/1 ints, fixed texts are cut at a UTF-8 boundary.
#include <cstdint>

#define NET_LIST_OF(Type) \
  struct {                \
    Type* items;          \
    int32_t count;        \
  }

struct MsgEmpty {
  uint8_t unused;
};
struct MsgId {
  uint32_t id;
};
struct MsgInt {
  int32_t value;
};
struct MsgFlag {
  int32_t flag;
};
struct MsgFloat {
  float value;
};
struct MsgText {
  const char* text;
};
struct MsgIntPair {
  int32_t a, b;
};
struct MsgFloatPair {
  float a, b;
};
struct MsgIdInt {
  uint32_t id;
  int32_t value;
};
struct MsgIdWord {
  uint32_t id;
  uint32_t value;
};
struct MsgIdFlag {
  uint32_t id;
  int32_t flag;
};
struct MsgIntFlag {
  int32_t value;
  int32_t flag;
};

// Login and world selection.
enum {
  NET_WORLD_NAME_BYTES = 65,
  NET_WORLD_HOST_BYTES = 129,
  NET_GROUP_NAME_BYTES = 129,
  NET_RELOGIN_SCAN = 1024
};
struct WorldEntry {
  char name[NET_WORLD_NAME_BYTES];  // up to 64 bytes of text
  char label[NET_WORLD_NAME_BYTES];
  uint8_t a, b, c;
  char host[NET_WORLD_HOST_BYTES];  // up to 128 bytes of text
  uint16_t port;
};
struct MsgWorldList {
  NET_LIST_OF(WorldEntry) worlds;
};
// The account's character as the character screen shows it.
struct CharacterDetails {
  int32_t id;               // what entering and deleting the character send back
  const char* name;         // the character name (also names its profile file)
  uint8_t character_class;  // handed to the background scene with the appearance
  uint8_t value_a;
  uint32_t appearance[2];  // the appearance words handed to the background scene
  int32_t value_b;
  const char* line;  // the second text line under the name
  int32_t value_c, value_d;
  int32_t flag;
};
struct MsgCharacterSummary {
  const char* name;  // the summary name (the profile folder), not the character's
  uint8_t value;
  uint32_t detail_count;  // details are present only when this is not 0
  CharacterDetails details;
};

// Zone and spawning.
struct MsgZone {
  int32_t zone;  // the server's number; the zone to load is net_zone_number(zone)
  float position[3];
};
struct StatusEntry {
  uint8_t slot;
  int32_t value;
  float time;
};
struct MotionRecord {
  float a[3];
  float heading;
  float b[3];
  float c[3];
  float value;
  uint8_t flags;
};
struct IdEntry {
  uint32_t id;
};
struct ItemEntry {
  int32_t a, b, c;
};
struct NamedEntry {
  const char* text;
  int32_t flag;
  int32_t value;
};
struct TextEntry {
  const char* text;
};
struct IntEntry {
  int32_t value;
};
struct AbilityValueEntry {
  int32_t ability;
  float value;
};
struct SkillEntry {
  int32_t kind;  // 1..10
  int32_t values[6];
};
struct PairEntry {
  int32_t a, b;
};
struct GroupMember {
  uint32_t id;
  int32_t flag_a, flag_b;
  char name[NET_GROUP_NAME_BYTES];  // up to 128 bytes of text
  int32_t value;
  int32_t values[4];
  float position[3];
};
enum { NET_GROUP_KEEP = 6 };
struct GroupSnapshot {
  NET_LIST_OF(GroupMember) members;  // at most NET_GROUP_KEEP
  GroupMember subject;
};

struct SpawnObject {
  uint32_t id, secondary_id;
  float position[3];
  float heading, scale;
  int32_t appearance;
  uint32_t attr_b, attr_c, attr_d;
  const char* name;
  const char* title;
  int32_t attr_a;
  int32_t flags;
  int32_t listed;
  NET_LIST_OF(IdEntry) listed_ids;
};

// Creatures (36), other players (18) and the local player (17) share one record; the fields
// a kind does not carry stay 0.
struct SpawnCharacter {
  uint32_t id;
  float position[3];
  float heading, scale;
  int32_t appearance;
  uint32_t attr_b, attr_c, attr_d;
  const char* name;
  const char* title;
  int32_t attr_a;
  int32_t flags;
  MotionRecord motion;
  float health_max, health;
  float walk_speed, run_speed, swim_speed;
  int32_t value_a, value_b;
  uint32_t value_c;
  int32_t local_extra;  // local player only
  int32_t effect_value;
  float effect_a, effect_b;
  uint32_t effect;
  int32_t player_a, player_b;  // player slots 0, 1
  int32_t player_e;            // player slot 4 (bool)
  int32_t player_c;            // player slot 2 (bool)
  int32_t player_d;            // player slot 3
  float local_pair[2];         // local player: set_local_pair arguments in wire order
  int32_t listed;
  NET_LIST_OF(IdEntry) listed_ids;
  NET_LIST_OF(StatusEntry) status_low;   // slots 0..11
  NET_LIST_OF(StatusEntry) status_high;  // slots 12..23
  // Local player only, in wire order.
  NET_LIST_OF(ItemEntry) bag;
  NET_LIST_OF(ItemEntry) worn;
  NET_LIST_OF(ItemEntry) store;
  NET_LIST_OF(NamedEntry) named;
  NET_LIST_OF(TextEntry) texts;
  NET_LIST_OF(IntEntry) abilities_a;
  NET_LIST_OF(IntEntry) abilities_b;
  NET_LIST_OF(AbilityValueEntry) ability_values;
  NET_LIST_OF(SkillEntry) skills;
  int32_t sheet[23];
  float progress_a, progress_b;
  int32_t progress_c;
  NET_LIST_OF(PairEntry) pairs;
  GroupSnapshot group;
  int32_t tail[3];
};

// Entity updates.
struct MsgMove {
  uint32_t id;
  uint8_t motion_state, direction;
  float position[3];
  float heading;
};
struct MsgObjectAttrs {
  uint32_t id;
  int32_t appearance;
  uint32_t attr_b, attr_c, attr_d;
};
struct MsgObjectNames {
  uint32_t id;
  const char* name;
  const char* title;
};
struct MsgObjectPlace {
  uint32_t id;
  float position[3];
  float heading;
  float scale;  // 0 for the teleport (31), which carries none
};
struct MsgObjectEffect {
  uint32_t id;
  uint32_t value;
  float point[3];
  float a, b;
};
struct MsgObjectListed {
  uint32_t id;
  int32_t flag;
  NET_LIST_OF(IdEntry) ids;
};
struct MsgCreatureMotion {
  uint32_t id;
  MotionRecord motion;
};
struct MsgCreatureFloats {
  uint32_t id;
  float values[3];  // health: maximum, current; speeds: walk, run, swim
};
struct MsgStatusEffect {
  uint32_t id;
  uint8_t slot;
  int32_t value;
  float time;  // 0 for the clear (42)
  int32_t first_half;
};
struct MsgCreatureEffect {
  uint32_t id;
  uint32_t word;  // unused, or the target for 48
  int32_t ability;
  float duration, elapsed;
};
struct MsgCombat {
  uint32_t source, target;
  int32_t values[10];
  int16_t amount;
  int32_t flag;
};

// Inventory, abilities and character data.
struct MsgSlotSet {
  int32_t index, a, b;
};
struct MsgSkill {
  int32_t kind;
  int32_t values[6];
};
struct MsgAbilityValue {
  int32_t ability;
  float value;
};
struct MsgSheet {
  int32_t values[23];
};
struct AbilityEffectEntry {
  int32_t values[5];
  int32_t kind;
  float amount;
  int32_t extra;
};
struct MsgDefAbility {
  int32_t id;
  const char* name;
  const char* text;
  int32_t a[4];
  int32_t flags[4];
  float value;
  uint8_t byte;
  int32_t b[8];
  float c[4];
  int32_t d;
  float e;
  int32_t g[4];
  NET_LIST_OF(AbilityEffectEntry) effects;
};
struct MsgDefItem {
  int32_t id;
  const char* name;
  const char* text;
  int32_t a[4];
  int32_t flags[4];
  float value;
  int32_t b[3];
  int16_t short_value;
  int32_t c[3];
  uint8_t byte;
  int32_t d[6];
  int32_t e;
  float f[3];
  int32_t g[10];
};
struct FactionEntry {
  int32_t faction, standing, relation;
};
struct MsgDefFaction {
  int32_t id;
  const char* name;
  const char* text;
  int32_t value;
  int32_t default_standing;
  NET_LIST_OF(FactionEntry) relations;
};
struct MsgTradeItem {
  uint32_t id;
  int32_t a, b, c;
};
struct MsgProgress {
  float a, b;
  int32_t c;
};
struct MsgAbilityState {
  int32_t a, b;
  float value;
};

// Lists, windows and chat.
struct Entry4 {
  int32_t values[4];
};
struct Entry3 {
  int32_t values[3];
};
struct MsgList6Open {
  const char* title;
  NET_LIST_OF(Entry4) entries;
};
struct MsgEntry4 {
  int32_t values[4];
};
struct MsgList4Open {
  uint32_t value;
  const char* title;
  int32_t extra;  // list window (185) only
  NET_LIST_OF(Entry3) entries;
};
struct MsgChat {
  uint32_t channel;
  const char* sender;
  uint32_t value;
  int32_t kind;
  const char* text;
};
struct MsgActionFailed {
  int32_t ability;
  int32_t reason;
};
// Read-and-ignore payloads.
struct MsgIgnored {
  uint32_t word;
  const char* text;
  int32_t flag;
  int32_t value;
  float number;
};
