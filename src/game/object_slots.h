#pragma once
// The slot tables of the four kinds of game object. A spawn installs its kind's tables in the
// record; update messages call single slots. Where a slot differs by kind:
// - set_flags: creatures and players cancel their path when bit 16 or 17 becomes set;
// - set_position / set_heading: objects move at once; creatures take a target (a path from
//   where they stand, or at once with flag 0x40); players store the target only, their
//   samples move them;
// - teleport: the local player also resets both position-history points and stores the
//   heading in its motion state;
// - set_motion: creatures start a path, players store the targets only;
// - effect_start / effect_b: the local player asks its ability display.
// Animations, effects and reactions go to the named functions of object_requests.h.
// The tables are process-wide and mutable so that a test can wrap single entries; records
// point at them, so a change reaches every live object of the kind. Main thread only.
#include <cstdint>

#include "game/game_objects.h"

enum ObjectKind : int32_t { KIND_OBJECT = 0, KIND_CREATURE, KIND_PLAYER, KIND_LOCAL, KIND_COUNT };

struct GameSlotTables {
  ObjectSlots object;
  CreatureSlots creature;  // not used by objects
  PlayerSlots player;      // players only
  LocalSlots local;        // the local player only
};

// The tables of a kind (null outside KIND_*).
GameSlotTables* game_slot_tables(int32_t kind);
// Puts every table back to the built-in functions.
void game_slot_tables_reset(void);

// The animation slot 14 plays.
constexpr int32_t ANIMATION_INTERACT = 22;
