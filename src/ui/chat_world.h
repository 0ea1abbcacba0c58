#pragma once
// What the chat commands and incoming lines need from game features that live elsewhere
// (targeting, the backpack and worn items, spell slots, following, speech bubbles, the
// announcement line, the group window, the item information window): one table of named
// slots. Until a feature fills its slots, the defaults answer "no target" / "no such item" /
// "nothing done", so every command still checks its arguments and shows its refusals.
// chat_world_reset puts the defaults back (tests and shutdown).
#include <cstdint>

#include "net/dispatch.h"
#include "ui/ui_records.h"

struct ChatWorld {
  // The current target's id, or 0.
  uint32_t (*target_current)(void);
  // Makes id the current target (0 clears it).
  void (*target_set)(uint32_t id);
  // The id of the player whose name equals the text, ignoring ASCII letter case, or 0.
  uint32_t (*player_by_name)(const char* name);
  // The id of any other entity with that name, or 0.
  uint32_t (*entity_by_name)(const char* name);
  // The name of an entity into out (at most size - 1 bytes); 0 when it has none.
  int32_t (*entity_name)(uint32_t id, char* out, uint32_t size);
  // The target an entity has selected, or 0.
  uint32_t (*target_of)(uint32_t id);
  // 1 when the id is a live entity other than the local player.
  int32_t (*entity_valid)(uint32_t id);
  // 1 when the entity can be looted.
  int32_t (*entity_lootable)(uint32_t id);
  // Distance from the local player to the entity, negative when unknown.
  float (*entity_distance)(uint32_t id);
  // 1 while the player is free to act (not stunned, dead, casting...).
  int32_t (*player_may_act)(void);
  int32_t (*player_attacking)(void);
  void (*player_set_attacking)(int32_t on);
  // Target cycling: the next of the cycle, the nearest-entity search, the nearest eligible.
  uint32_t (*target_next)(void);
  uint32_t (*target_search)(void);
  uint32_t (*target_nearest)(void);
  void (*follow)(uint32_t id);
  void (*spell_slot_use)(int32_t slot);  // 1 ... 8
  // 1 when a preparation or requested ability was cancelled.
  int32_t (*ability_cancel)(void);
  // Backpack slot of the item with that name (ASCII case ignored), or -1.
  int32_t (*bag_find)(const char* name);
  // Kind of the item in a backpack slot, or -1 when the slot is empty.
  int32_t (*bag_kind)(int32_t slot);
  // Equipment slot of the item in a backpack slot, or -1 when it is not wearable.
  int32_t (*bag_equip_slot)(int32_t slot);
  void (*bag_use)(int32_t slot);
  void (*bag_drop)(int32_t slot);
  void (*bag_use_on)(int32_t slot, uint32_t target);
  // Worn slot (0 ... 9) of the equipped item with that name, or -1; 1 when a worn slot holds one.
  int32_t (*worn_find)(const char* name);
  int32_t (*worn_filled)(int32_t slot);
  // Plays the pick-up sound of the item in a backpack (worn 0) or worn (worn 1) slot.
  void (*item_sound)(int32_t slot, int32_t worn);
  // A speech bubble over the entity in the colour.
  void (*speech_bubble)(uint32_t id, const char* text, UiColour colour);
  // Notices that are not chat lines: the announcement line and the keyed display.
  void (*announce)(const NetEvent* event);
  // After the group-cleared line: forget the group.
  void (*group_clear)(void);
  // Opens the item information window (window slot 10) for an item id.
  void (*item_info_open)(uint32_t item);
  // Plays an interface sound by locale key (play_ui_sound).
  int (*ui_sound)(uint32_t key);
};

ChatWorld* chat_world(void);
void chat_world_reset(void);
