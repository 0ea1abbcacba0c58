#pragma once
// The layered record of a server-controlled game object: one record type in four sizes,
// each starting with the smaller one as its first member (no inheritance), so a GameObject
// pointer to any of them reads the shared part. Objects (space 10) carry component 19,
// creatures (9) component 20, other players (8) component 21, the local player (7)
// component 22; only one of the four exists on an entity.
//
// Updates go through the slot tables (function pointers installed by the spawn of each
// kind); a spawn is the same sequence of slot calls that the individual updates make.
#include <cstddef>
#include <cstdint>

#include "base/math.h"

struct GameObject;
struct Creature;
struct PlayerCharacter;
struct LocalPlayer;
struct MotionRecord;  // the motion part of a spawn or move message
struct CombatRecord;  // one combat event

// Object slots 0..14, the same order in every record; each kind installs its own table when it
// is spawned, so a slot may differ by kind where said. Every slot runs on the main thread, from a
// spawn or from the update message that names it, with a record that belongs to a live entity of
// the current world; no slot is null once a spawn has installed the table. Slots never keep the
// record pointer beyond the call (component addresses move on the next create or destroy).
struct ObjectSlots {
  // Stores the server id; the spawn registers it in the id map before calling this.
  void (*set_id)(GameObject* object, uint32_t value);
  // Stores the secondary id; the id map entry follows it (0 means none).
  void (*set_secondary_id)(GameObject* object, uint32_t value);
  void (*set_attr_a)(GameObject* object, int32_t value);
  // Stores the flags. On creatures and players, newly setting bit 16 or 17 also cancels the
  // movement path, because the server has stopped the walk (a root or a stun).
  void (*set_flags)(GameObject* object, uint32_t value);
  // Stores the appearance key that selects the model; the model is resolved by its drawing code.
  void (*set_appearance)(GameObject* object, int32_t value);
  void (*set_attr_b)(GameObject* object, uint32_t value);
  void (*set_attr_c)(GameObject* object, uint32_t value);
  void (*set_attr_d)(GameObject* object, uint32_t value);
  // Interns both texts (null reads as the empty text); the record keeps the interned copies.
  void (*set_names)(GameObject* object, const char* name, const char* title);
  // listed = 1 when the flag is set or the local player's id is among the count ids; ids may be
  // null when count is 0. The list is read during the call only.
  void (*set_listed)(GameObject* object, int flag, const uint32_t* ids, uint32_t count);
  // Objects: moves the transform. Creatures: a new target; placed at once with flag 0x40,
  // otherwise a path starts from where it stands. Other players: target only (samples move them).
  void (*set_position)(GameObject* object, float x, float y, float z);
  // Objects: the transform's heading. Creatures and players: the heading they turn towards
  // (set at once with flag 0x40 on creatures).
  void (*set_heading)(GameObject* object, float heading);
  // Sets all three scale values of the transform.
  void (*set_scale)(GameObject* object, float value);
  // Places the entity at once: transform, the movement track's buffer emptied and restarted
  // there, the motion state reset; the local player also resets both position-history copies.
  void (*teleport)(GameObject* object, float x, float y, float z, float heading);
  // Plays the interaction animation; the message's values are passed along but not used.
  void (*play_interact)(GameObject* object, uint32_t word, Vec3 point, float a, float b);
};
static_assert(sizeof(ObjectSlots) == 15 * sizeof(void*));

// Creature slots 0..13, installed by the spawn of creatures, other players and the local
// player. Same rules as the object slots: main thread, live record, never null after a spawn,
// no pointer kept past the call. Combat records are read during the call only.
struct CreatureSlots {
  // Starts a movement path from the motion record (read during the call only).
  void (*set_motion)(Creature* creature, const MotionRecord* motion);
  // Stores both values; health bars show current / maximum.
  void (*set_health)(Creature* creature, float maximum, float current);
  // The three movement speeds, in units per second before the path step's factor.
  void (*set_walk_speed)(Creature* creature, float value);
  void (*set_run_speed)(Creature* creature, float value);
  void (*set_swim_speed)(Creature* creature, float value);
  void (*set_value_a)(Creature* creature, int32_t value);
  void (*set_value_b)(Creature* creature, int32_t value);
  void (*set_value_c)(Creature* creature, uint32_t value);
  // Starts the ability's visual effect when duration and elapsed are both above 0 and the ability
  // is of neither special kind. Answers 0, or the local player's refusal code when its ability
  // display does not let the effect start.
  int (*effect_start)(Creature* creature, uint32_t id, uint32_t unused, uint32_t ability, float duration,
                      float elapsed);
  // Nothing on creatures and other players; the local player passes the value to its ability
  // display while that is active.
  void (*effect_b)(Creature* creature, uint32_t id, uint32_t unused, uint32_t value);
  // Marks the running start effect of that ability on this entity as ending.
  void (*effect_stop)(Creature* creature, uint32_t id, uint32_t unused, uint32_t ability);
  // Ends an ability towards its target: a reaction animation for the first special kind, the
  // finishing animation and effect for ordinary abilities.
  void (*effect_end)(Creature* creature, uint32_t id, uint32_t target, uint32_t ability);
  // Called on the source of a combat event: without an ability, plays the attack animation that
  // the record's hit flags select.
  void (*on_attack)(Creature* creature, uint32_t own_id, uint32_t other_id, const CombatRecord* record);
  // Called on the target of a combat event: hit animation, impact effects, and on the local
  // player the attacker may become the current target.
  void (*on_hit)(Creature* creature, uint32_t own_id, uint32_t other_id, const CombatRecord* record);
};
static_assert(sizeof(CreatureSlots) == 14 * sizeof(void*));

struct GameObject {
  uint32_t server_id;
  uint32_t secondary_id;  // registered in the secondary-id map when not 0
  int32_t attr_a;
  uint32_t flags;  // bit 6 (0x40): placed directly, without movement smoothing
  int32_t appearance_id;
  uint32_t attr_b, attr_c, attr_d;
  const char* name;   // interned (name_table.h); never null once set
  const char* title;  // interned
  int32_t listed;
  const ObjectSlots* slots;
};

struct StatusEffect {
  uint8_t slot;
  int32_t value;
  float remaining;  // seconds
};
constexpr int CREATURE_STATUS_EFFECTS = 24;  // entries 0..11 and 12..23 are the two halves

// A creature's movement path: a polyline of up to four points with the cumulative length at
// each point (0 at the first).
constexpr int CREATURE_PATH_POINTS = 4;
struct CreaturePath {
  Vec3 points[CREATURE_PATH_POINTS];
  float lengths[CREATURE_PATH_POINTS];
  int32_t count;
};

// Player slots 0..4 (other players and the local player) and the local player's own slot.
// Same rules as the object slots.
struct PlayerSlots {
  void (*set_player_a)(PlayerCharacter* player, int32_t value);
  void (*set_player_b)(PlayerCharacter* player, int32_t value);
  void (*set_player_c)(PlayerCharacter* player, int32_t value);
  void (*set_player_d)(PlayerCharacter* player, int32_t value);
  void (*set_player_e)(PlayerCharacter* player, int32_t value);
};
struct LocalSlots {
  // Arguments in wire order; the second is stored first.
  void (*set_local_pair)(LocalPlayer* local, float first, float second);
};

struct Creature {
  GameObject object;
  Vec3 target_position;
  float target_heading;
  float turn_target;
  uint32_t motion_flags;  // copy of the motion record's flag word
  CreaturePath path;
  float path_travelled;
  int32_t path_active;
  float health_maximum, health_current;
  float walk_speed, run_speed, swim_speed;
  int32_t value_a, value_b;
  uint32_t value_c;
  StatusEffect status[CREATURE_STATUS_EFFECTS];
  float blink_interval;  // random 1.5 .. 2.0 s
  float blink_timer;
  int32_t blink_step;
  float idle_timer;
  float idle_threshold;     // random 5 .. 25 s
  uint32_t idle_animation;  // the animation the idle timer last saw
  const CreatureSlots* creature_slots;
};

struct PlayerCharacter {
  Creature creature;
  int32_t player_a, player_b, player_c, player_d, player_e;
  const PlayerSlots* player_slots;
};

struct LocalPlayer {
  PlayerCharacter player;
  float local_pair[2];  // set_local_pair stores its second argument first
  const LocalSlots* local_slots;
};

// The first member of each layer sits at offset 0, so the views below are plain casts.
static_assert(offsetof(Creature, object) == 0);
static_assert(offsetof(PlayerCharacter, creature) == 0);
static_assert(offsetof(LocalPlayer, player) == 0);
