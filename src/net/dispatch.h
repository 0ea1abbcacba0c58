#pragma once
// Game message dispatch: net_dispatch looks a message's opcode (opcodes.h) up in the constant
// table of NET_HANDLER_SLOTS (213) slots, reads its payload through a read-only MsgBuf view
// into the opcode's typed record (messages.h) and hands the record to the opcode's effect
// function. Both sessions (login and world) feed the same table.
//
// Limits and failures: slot 0, opcodes >= 213, slots without a handler and a null message
// are dropped. The payload is decoded under the input-safety policy of record_codec.h; a
// message that fails it (a non-finite position, an index out of range, a relogin text with
// no terminator in its first 1024 bytes) is dropped before any effect runs. Entity look-ups
// belong to the effects: a message about an unknown entity must have no effect there.
//
// Effects are named function pointers in one table (NetEffects) that the modules owning them
// fill at start-up; net never includes the game or interface code. Every slot keeps this
// contract unless its line in NET_EFFECTS says more:
// - When: on the main thread, from net_dispatch, once per message that decoded and passed its
//   checks; normally inside net_frame (a message just polled, or a held one delivered at the
//   start of the first frame that no longer holds), or wherever a test calls net_dispatch.
// - Null: the message is decoded and dropped; nothing else happens and nothing is reported.
// - Arguments: `event` (opcode, fixed locale key, NoticeForm) and `record` live only for the
//   call. Strings and list arrays inside the record point into the per-message arena, which
//   is reset before the next message: an effect copies whatever it keeps.
// - What an effect may do: send on either session, open or close a session, switch holding
//   on (net_set_hold). Messages still in the poll of a session it closed are not delivered;
//   after holding starts, the next messages are held (held ones stay held, in order).
#include <cstdint>

#include "assets/locale_keys.h"
#include "base/arena.h"
#include "net/messages.h"
#include "net/opcodes.h"
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
  NOTICE_CHAT_NAMED = 5,      // a chat line with a name put in place of LOCALE_KEY_NAME_TOKEN
  NOTICE_DIALOG = 6,          // character screen text with the OK button (LOCALE_KEY_OK)
  NOTICE_SCREEN = 7,          // character screen text without a button
};

struct NetEvent {
  int32_t opcode;
  uint32_t key;  // 0 when the opcode shows no fixed text
  int32_t form;  // NoticeForm
};

// The named effects, X(name, record type), each after its contract: the opcodes that reach
// it and what the effect must know beyond the common contract above. Where an effect is
// "addressed to an entity" it looks the id up itself and does nothing when it is unknown.
#define NET_EFFECTS(X)                                                                                \
  /* MSG_WORLD_LIST_ADD appends, MSG_WORLD_LIST_SET clears first (tell them by event->opcode); */     \
  /* entries are already cut to their text limits. */                                                 \
  X(world_list, MsgWorldList)                                                                         \
  /* MSG_CHARACTER_SUMMARY: detail_count 0 means the account has no character (details zero); */      \
  /* details.id is what entering and deleting send back. */                                           \
  X(character_summary, MsgCharacterSummary)                                                           \
  /* MSG_CHAR_NOTICE_A..F: show event->key with the OK button on the character screen. */             \
  X(character_text, MsgEmpty)                                                                         \
  /* MSG_WORLD_RESULT: event->key already chosen by the flag (LOCALE_KEY_WORLD_RESULT_*). */          \
  X(world_result, MsgFlag)                                                                            \
  /* MSG_ENTER_WORLD_OK: clear the screen's input, send OUT_WORLD_ASK_CHARACTERS, show event->key. */ \
  X(enter_world_ok, MsgEmpty)                                                                         \
  /* MSG_RELOGIN on either session: text is zero-terminated within 1024 bytes; the effect may */      \
  /* open the login session with it, only while the login screen expects a return. */                 \
  X(relogin, MsgText)                                                                                 \
  /* MSG_WORLD_TICKET: text may be null; the effect opens the world session with it as */             \
  /* credentials (copied by the session, so the arena may go). */                                     \
  X(world_ticket, MsgText)                                                                            \
  /* MSG_CHAR_RESET, MSG_BACK_TO_CHARACTERS: character screen state only. */                          \
  X(character_reset, MsgEmpty)                                                                        \
  X(back_to_characters, MsgEmpty)                                                                     \
  /* MSG_ZONE_ENTER, MSG_ZONE_CHANGE: zone is the server's number (net_zone_number gives the */       \
  /* file); the effect usually starts a zone load and switches holding on. */                         \
  X(zone_enter, MsgZone)                                                                              \
  X(zone_change, MsgZone)                                                                             \
  /* Spawns (17, 18, 26, 36): the position is finite (else the message was dropped); every list */    \
  /* is in the arena. The local player's spawn also re-requests pending definitions. */               \
  X(spawn_local_player, SpawnCharacter)                                                               \
  X(spawn_player, SpawnCharacter)                                                                     \
  X(spawn_object, SpawnObject)                                                                        \
  /* MSG_REMOVE: addressed to an entity; removes it and its identifier entries. */                    \
  X(remove, MsgId)                                                                                    \
  X(spawn_creature, SpawnCharacter)                                                                   \
  /* MSG_MOVE (mode 0) and MSG_MOVE_EXTRA (mode 1, by event->opcode): the most frequent message; */   \
  /* it also arrives for the local player's own id, which the effect must drop. Cheap, no sends. */   \
  X(move, MsgMove)                                                                                    \
  /* Entity updates (21-48 and 133): addressed to an entity; each calls the one object, creature */   \
  /* or player slot its opcode names, only when that slot is set. */                                  \
  X(player_flag_a, MsgIdFlag)                                                                         \
  X(player_value, MsgIdInt)                                                                           \
  X(player_value_b, MsgIdInt)                                                                         \
  X(local_flag, MsgFlag)      /* the local player, no id */                                           \
  X(local_pair, MsgFloatPair) /* the local player, no id */                                           \
  X(object_attrs, MsgObjectAttrs)                                                                     \
  X(object_names, MsgObjectNames)                                                                     \
  X(object_flags, MsgIdWord)                                                                          \
  X(object_place, MsgObjectPlace)    /* position finite */                                            \
  X(object_teleport, MsgObjectPlace) /* position finite; scale 0 (not carried) */                     \
  X(object_attr_a, MsgIdWord)                                                                         \
  X(object_effect, MsgObjectEffect)                                                                   \
  X(object_listed, MsgObjectListed)                                                                   \
  X(creature_motion, MsgCreatureMotion) /* points finite */                                           \
  X(creature_health, MsgCreatureFloats)                                                               \
  X(creature_speeds, MsgCreatureFloats)                                                               \
  X(creature_value_a, MsgIdInt)                                                                       \
  X(status_effect_set, MsgStatusEffect)   /* slot already within the half first_half selects */       \
  X(status_effect_clear, MsgStatusEffect) /* as above */                                              \
  X(creature_value_b, MsgIdInt)                                                                       \
  X(creature_value_c, MsgIdWord)                                                                      \
  X(creature_effect_start, MsgCreatureEffect)                                                         \
  X(creature_effect_b, MsgCreatureEffect)                                                             \
  X(creature_effect_stop, MsgCreatureEffect)                                                          \
  X(creature_effect_end, MsgCreatureEffect)                                                           \
  X(combat_event, MsgCombat) /* two entities: source and target, either may be unknown */             \
  /* MSG_CHAT: sender and text may be null. */                                                        \
  X(chat, MsgChat)                                                                                    \
  /* Bag, store and worn slots: index already range-checked (0-29, 0-159, 0-9). */                    \
  X(bag_clear, MsgInt)                                                                                \
  X(bag_set, MsgSlotSet)                                                                              \
  X(store_clear, MsgInt)                                                                              \
  X(store_set, MsgSlotSet)                                                                            \
  X(worn_clear, MsgInt)                                                                               \
  X(worn_set, MsgSlotSet)                                                                             \
  /* Character data for the interface: plain values, nothing to look up. */                           \
  X(keyed_value, MsgIntPair)                                                                          \
  X(counter_pair, MsgIntPair)                                                                         \
  X(skill, MsgSkill) /* kind already 1-10 */                                                          \
  X(ability_add, MsgInt)                                                                              \
  X(ability_value, MsgAbilityValue)                                                                   \
  X(ability_value_clear, MsgInt)                                                                      \
  X(global_value, MsgFloat)                                                                           \
  X(global_value_clear, MsgEmpty)                                                                     \
  X(character_sheet, MsgSheet)                                                                        \
  /* MSG_GROUP_*: the line is event->key in event->form (0 for MSG_GROUP_UPDATE: no line); the */     \
  /* store effect keeps at most NET_GROUP_KEEP members, names already copied into the record. */      \
  X(group_invite, MsgText)                                                                            \
  X(group_line, MsgEmpty)                                                                             \
  X(group_store, GroupSnapshot)                                                                       \
  X(group_clear, MsgEmpty)                                                                            \
  /* List windows 6, 8, 4 and the list window: entries in the arena; copy them. */                    \
  X(list6_open, MsgList6Open)                                                                         \
  X(list6_close, MsgEmpty)                                                                            \
  X(list6_add, MsgEntry4)                                                                             \
  X(list6_update, MsgEntry4)                                                                          \
  X(list6_remove, MsgIntPair)                                                                         \
  X(window8_open, MsgEmpty)                                                                           \
  X(window8_close, MsgEmpty)                                                                          \
  X(list4_open, MsgList4Open)                                                                         \
  X(list4_close, MsgEmpty)                                                                            \
  X(list4_remove, MsgInt)                                                                             \
  /* Definitions (answers to OUT_WORLD_ASK_*): the effect fills its cache; texts in the arena. */     \
  X(def_ability, MsgDefAbility)                                                                       \
  X(def_item, MsgDefItem)                                                                             \
  X(def_faction, MsgDefFaction)                                                                       \
  /* MSG_ITEM_RECEIVED: chat line of event->key, the item's glyph and name, then its sound. */        \
  X(item_received, MsgIntPair)                                                                        \
  X(world_clock, MsgInt) /* milliseconds */                                                           \
  /* Trade: the request may answer OUT_WORLD_TRADE_REFUSED at once. */                                \
  X(trade_request, MsgId)                                                                             \
  /* MSG_TRADE_CLOSE, and right after the notice of MSG_TRADE_ENDED_A/B with key 0 and an empty */    \
  /* record. */                                                                                       \
  X(trade_close, MsgEmpty)                                                                            \
  X(trade_item, MsgTradeItem)                                                                         \
  X(trade_value, MsgIdInt)                                                                            \
  X(trade_flag, MsgIdFlag)                                                                            \
  X(list_open, MsgList4Open)                                                                          \
  X(list_close, MsgEmpty)                                                                             \
  X(progress, MsgProgress)                                                                            \
  X(ability_state, MsgAbilityState)                                                                   \
  X(ability_pair, MsgIntPair)                                                                         \
  X(log_pair, MsgIntPair)                                                                             \
  X(log_flag, MsgIntFlag)                                                                             \
  /* Every row of the notice table: show event->key in event->form; the record is empty. */           \
  X(notice, MsgEmpty)                                                                                 \
  /* MSG_UI_ACTION_A/B/C: one interface action each, told apart by event->opcode. */                  \
  X(ui_action, MsgEmpty)                                                                              \
  /* MSG_ACTION_FAILED: event->key already chosen from the reason (net_failure_key). */               \
  X(action_failed, MsgActionFailed)

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
