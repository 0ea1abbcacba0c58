#pragma once
// The local player's lists as its spawn gives them, in plain tables for the windows that show
// them: bag (30 cells), worn set (10), store (160), the two known-ability lists and ability
// values, skills by kind (1..10), the character sheet, the progress values and the group.
// Entries whose index is out of range are ignored; longer lists than a table holds are cut.
// Filled by the local player's spawn, cleared when the world is replaced. Main thread only.
#include <cstdint>

#include "net/messages.h"

constexpr int LOCAL_BAG_CELLS = 30, LOCAL_WORN_CELLS = 10, LOCAL_STORE_CELLS = 160;
constexpr int LOCAL_ABILITIES_MAX = 256;
constexpr int LOCAL_SKILL_KINDS = 10;

struct ItemCell {
  int32_t used;  // 1 when the spawn filled the cell
  int32_t a, b;  // the values after the index
};

struct LocalLists {
  ItemCell bag[LOCAL_BAG_CELLS];
  ItemCell worn[LOCAL_WORN_CELLS];
  ItemCell store[LOCAL_STORE_CELLS];
  int32_t abilities_a[LOCAL_ABILITIES_MAX], abilities_a_count;
  int32_t abilities_b[LOCAL_ABILITIES_MAX], abilities_b_count;
  AbilityValueEntry ability_values[LOCAL_ABILITIES_MAX];
  int32_t ability_value_count;
  int32_t skill_present[LOCAL_SKILL_KINDS];
  int32_t skills[LOCAL_SKILL_KINDS][6];  // by kind - 1
  int32_t sheet[23];
  float progress_a, progress_b;
  int32_t progress_c;
  GroupMember group[NET_GROUP_KEEP];
  int32_t group_count;
  GroupMember group_self;
};

// Replaces the lists with the spawn's; asks for the definition of every item and ability named
// that the client does not know yet.
void local_lists_fill(const SpawnCharacter* spawn);
const LocalLists* local_lists(void);
void local_lists_clear(void);
