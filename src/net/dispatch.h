#pragma once
// Game message dispatch: net_dispatch looks a message's opcode up in the constant table of
// NET_HANDLER_SLOTS (213) slots, reads its payload through a read-only MsgBuf view into the
// opcode's typed record (messages.h) and hands the record to the opcode's effect function.
// Both sessions (login and world) feed the same table.
//
// Effects are named function pointers in one table (NetEffects) that the modules owning them
// fill at start-up; net never includes the game or interface code. An unset effect does
// nothing. Each effect receives the NetEvent (opcode and the fixed localized key and display
// form the opcode selects) and the decoded record.
//
// Limits and failures: slot 0, opcodes >= 213, slots without a handler and a null message
// are dropped. The payload is decoded under the input-safety policy of record_codec.h; a
// message that fails it (a non-finite position, an index out of range, a relogin text with
// no terminator in its first 1024 bytes) is dropped before any effect runs. Entity look-ups
// belong to the effects: a message about an unknown entity must have no effect there.
// Strings and lists live in the per-message arena, reset before each message. Main thread.
#include <cstdint>

#include "base/arena.h"
#include "net/messages.h"
#include "net/record_codec.h"

struct NetMessage;

enum { NET_HANDLER_SLOTS = 213, NET_RECORD_BYTES = 2048 };

// How a fixed localized text is shown.
enum NoticeForm : int32_t {
  NOTICE_NONE = 0,
  NOTICE_ANNOUNCE = 1,        // the announcement line, highlight style
  NOTICE_ANNOUNCE_PLAIN = 2,  // the announcement line, plain style
  NOTICE_KEYED = 3,           // announcement through the ability display's helper
  NOTICE_CHAT = 4,            // a chat line in the system colour
  NOTICE_CHAT_NAMED = 5,      // a chat line with a name put in place of NET_KEY_NAME_TOKEN
  NOTICE_DIALOG = 6,          // character screen text with the OK button (NET_KEY_OK)
  NOTICE_SCREEN = 7,          // character screen text without a button
};

enum : uint32_t {
  NET_KEY_NAME_TOKEN = 0x43D8E527,
  NET_KEY_OK = 0x32E41D02,
  NET_KEY_ITEM_RECEIVED = 0x0B1C0135,
  NET_KEY_ABILITY_RESET = 0x6263E76C,  // a keyed notice that also resets the display's state
};

struct NetEvent {
  int32_t opcode;
  uint32_t key;  // 0 when the opcode shows no fixed text
  int32_t form;  // NoticeForm
};

// The named effects: X(name, record type). Opcodes that share an effect are listed in the
// opcode tables (opcodes_*.cpp).
#define NET_EFFECTS(X)                                                                      \
  X(world_list, MsgWorldList)                 /* 1 add, 2 clear then add */                 \
  X(character_summary, MsgCharacterSummary)   /* 3 */                                       \
  X(character_text, MsgEmpty)                 /* 4 5 6 8 13 15: dialog text with OK */      \
  X(world_result, MsgFlag)                    /* 11: dialog text by the flag */             \
  X(enter_world_ok, MsgEmpty)                 /* 7 */                                       \
  X(relogin, MsgText)                         /* 9 */                                       \
  X(world_ticket, MsgText)                    /* 10 */                                      \
  X(character_reset, MsgEmpty)                /* 12 */                                      \
  X(back_to_characters, MsgEmpty)             /* 49 */                                      \
  X(zone_enter, MsgZone)                      /* 14 */                                      \
  X(zone_change, MsgZone)                     /* 16 */                                      \
  X(spawn_local_player, SpawnCharacter)       /* 17 */                                      \
  X(spawn_player, SpawnCharacter)             /* 18 */                                      \
  X(spawn_object, SpawnObject)                /* 26 */                                      \
  X(remove, MsgId)                            /* 33 */                                      \
  X(spawn_creature, SpawnCharacter)           /* 36 */                                      \
  X(move, MsgMove)                            /* 19 mode 0, 20 mode 1 */                    \
  X(player_flag_a, MsgIdFlag)                 /* 21 player slot 2 */                        \
  X(player_value, MsgIdInt)                   /* 22 player slot 3 */                        \
  X(player_value_b, MsgIdInt)                 /* 23 player slot 0 */                        \
  X(local_flag, MsgFlag)                      /* 24 */                                      \
  X(local_pair, MsgFloatPair)                 /* 25 */                                      \
  X(object_attrs, MsgObjectAttrs)             /* 27 */                                      \
  X(object_names, MsgObjectNames)             /* 28 */                                      \
  X(object_flags, MsgIdWord)                  /* 29 */                                      \
  X(object_place, MsgObjectPlace)             /* 30 */                                      \
  X(object_teleport, MsgObjectPlace)          /* 31 */                                      \
  X(object_attr_a, MsgIdWord)                 /* 32 */                                      \
  X(object_effect, MsgObjectEffect)           /* 34 */                                      \
  X(object_listed, MsgObjectListed)           /* 35 */                                      \
  X(creature_motion, MsgCreatureMotion)       /* 37 */                                      \
  X(creature_health, MsgCreatureFloats)       /* 38 */                                      \
  X(creature_speeds, MsgCreatureFloats)       /* 39 */                                      \
  X(creature_value_a, MsgIdInt)               /* 40 */                                      \
  X(status_effect_set, MsgStatusEffect)       /* 41 */                                      \
  X(status_effect_clear, MsgStatusEffect)     /* 42 */                                      \
  X(creature_value_b, MsgIdInt)               /* 43 */                                      \
  X(creature_value_c, MsgIdWord)              /* 44 */                                      \
  X(creature_effect_start, MsgCreatureEffect) /* 45 */                                      \
  X(creature_effect_b, MsgCreatureEffect)     /* 46 */                                      \
  X(creature_effect_stop, MsgCreatureEffect)  /* 47 */                                      \
  X(creature_effect_end, MsgCreatureEffect)   /* 48 */                                      \
  X(combat_event, MsgCombat)                  /* 133 */                                     \
  X(chat, MsgChat)                            /* 50 */                                      \
  X(bag_clear, MsgInt)                        /* 51 */                                      \
  X(bag_set, MsgSlotSet)                      /* 52 */                                      \
  X(store_clear, MsgInt)                      /* 53 */                                      \
  X(store_set, MsgSlotSet)                    /* 54 */                                      \
  X(worn_clear, MsgInt)                       /* 55 */                                      \
  X(worn_set, MsgSlotSet)                     /* 56 */                                      \
  X(keyed_value, MsgIntPair)                  /* 74 */                                      \
  X(counter_pair, MsgIntPair)                 /* 75 */                                      \
  X(skill, MsgSkill)                          /* 76 */                                      \
  X(ability_add, MsgInt)                      /* 77 */                                      \
  X(ability_value, MsgAbilityValue)           /* 78 */                                      \
  X(ability_value_clear, MsgInt)              /* 79 */                                      \
  X(global_value, MsgFloat)                   /* 80 */                                      \
  X(global_value_clear, MsgEmpty)             /* 81 */                                      \
  X(character_sheet, MsgSheet)                /* 82 */                                      \
  X(group_invite, MsgText)                    /* 83: named chat line */                     \
  X(group_line, MsgEmpty)                     /* 84: chat line */                           \
  X(group_store, GroupSnapshot)               /* 85 88-91 93: optional line, then store */  \
  X(group_clear, MsgEmpty)                    /* 86 87 92: chat line, then clear */         \
  X(list6_open, MsgList6Open)                 /* 110 */                                     \
  X(list6_close, MsgEmpty)                    /* 111 */                                     \
  X(list6_add, MsgEntry4)                     /* 112 */                                     \
  X(list6_update, MsgEntry4)                  /* 113 */                                     \
  X(list6_remove, MsgIntPair)                 /* 114 */                                     \
  X(window8_open, MsgEmpty)                   /* 119 */                                     \
  X(window8_close, MsgEmpty)                  /* 120 */                                     \
  X(list4_open, MsgList4Open)                 /* 121 */                                     \
  X(list4_close, MsgEmpty)                    /* 122 */                                     \
  X(list4_remove, MsgInt)                     /* 123 */                                     \
  X(def_ability, MsgDefAbility)               /* 145 */                                     \
  X(def_item, MsgDefItem)                     /* 146 */                                     \
  X(def_faction, MsgDefFaction)               /* 147 */                                     \
  X(item_received, MsgIntPair)                /* 165 */                                     \
  X(world_clock, MsgInt)                      /* 166 */                                     \
  X(trade_request, MsgId)                     /* 168 */                                     \
  X(trade_close, MsgEmpty)                    /* 169, and after the notices of 170 171 */   \
  X(trade_item, MsgTradeItem)                 /* 172 */                                     \
  X(trade_value, MsgIdInt)                    /* 173 */                                     \
  X(trade_flag, MsgIdFlag)                    /* 174 */                                     \
  X(list_open, MsgList4Open)                  /* 185 */                                     \
  X(list_close, MsgEmpty)                     /* 186 */                                     \
  X(progress, MsgProgress)                    /* 189 */                                     \
  X(ability_state, MsgAbilityState)           /* 190 */                                     \
  X(ability_pair, MsgIntPair)                 /* 193 */                                     \
  X(log_pair, MsgIntPair)                     /* 199 */                                     \
  X(log_flag, MsgIntFlag)                     /* 200 */                                     \
  X(notice, MsgEmpty)                         /* the notice table: form and key in event */ \
  X(ui_action, MsgEmpty)                      /* 192 196 198 */                             \
  X(action_failed, MsgActionFailed)           /* 211: key from the reason table */

struct NetEffects {
#define NET_EFFECT_MEMBER(name, Type) void (*name)(const NetEvent* event, const Type* record);
  NET_EFFECTS(NET_EFFECT_MEMBER)
#undef NET_EFFECT_MEMBER
};

enum NetEffectId : int32_t {
  NET_EFFECT_NONE = 0,
#define NET_EFFECT_ID(name, Type) NET_EFFECT_##name,
  NET_EFFECTS(NET_EFFECT_ID)
#undef NET_EFFECT_ID
      NET_EFFECT_COUNT
};

// One slot of the handler table.
struct NetOpcode {
  int32_t present;           // 0: empty slot
  const RecordDesc* record;  // payload table (null: no payload is read)
  int32_t effect;            // NetEffectId, NET_EFFECT_NONE for read-and-ignore
  int32_t then;              // a second effect run after the first (170, 171), or NONE
  uint32_t key;              // fixed key of the opcode, 0 if none
  int32_t form;              // NoticeForm
  // Range checks and other validation after decoding: 0 drops the message.
  int32_t (*check)(const MsgBuf* view, const void* record);
  // The key when it depends on the record (11, 211); null: `key` above.
  uint32_t (*key_of)(const void* record);
};

// The effect table that modules fill at start-up (all null at first).
NetEffects* net_effects(void);
void net_effects_clear(void);

void net_dispatch(const NetMessage* message);
// As net_dispatch, for a payload given directly.
void net_dispatch_payload(uint16_t opcode, const uint8_t* payload, uint32_t length);

// The handler slot of an opcode (null when out of range or empty).
const NetOpcode* net_opcode(uint32_t opcode);
// Decodes a payload into `record` (NET_RECORD_BYTES, zeroed here) with strings and lists from
// `arena`; fills `event`. 1 when the message would reach its effect, 0 when it is dropped.
int32_t net_decode(uint16_t opcode, const uint8_t* payload, uint32_t length, void* record, Arena* arena,
                   NetEvent* event);

// The zone number a zone message selects: max(zone + 2, 1), without overflow.
int32_t net_zone_number(int32_t zone);
// The key of the action-failure notice (211) for a reason.
uint32_t net_failure_key(int32_t reason);
// Name of an effect id (for logs and tests).
const char* net_effect_name(int32_t effect);

// Internal: the tables of each topic, filled into the slot table by dispatch.cpp.
void net_opcodes_login(NetOpcode* slots);
void net_opcodes_spawn(NetOpcode* slots);
void net_opcodes_entity(NetOpcode* slots);
void net_opcodes_items(NetOpcode* slots);
void net_opcodes_lists(NetOpcode* slots);
void net_opcodes_notices(NetOpcode* slots);
