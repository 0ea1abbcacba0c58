#include "game/object_slots.h"

#include <cstring>

#include "game/components.h"
#include "game/creature_path.h"
#include "game/game_world.h"
#include "game/move_track.h"
#include "game/name_table.h"
#include "game/object_requests.h"
#include "net/messages.h"

static constexpr uint32_t FLAG_PLACED = 0x40;
static constexpr uint32_t FLAGS_STOPPED = 0x30000;  // bits 16 and 17: the server stopped the walk

static uint32_t handle_of(const GameObject* o) { return entity_by_id(o->server_id); }
static Transform* transform_of(const GameObject* o) {
  return (Transform*)entity_component(game_world(), COMPONENT_TRANSFORM, handle_of(o));
}

// ---- Object slots shared by every kind.

static void set_id(GameObject* o, uint32_t v) { o->server_id = v; }
static void set_secondary_id(GameObject* o, uint32_t v) { o->secondary_id = v; }
static void set_attr_a(GameObject* o, int32_t v) { o->attr_a = v; }
static void set_flags(GameObject* o, uint32_t v) { o->flags = v; }
static void set_appearance(GameObject* o, int32_t v) { o->appearance_id = v; }
static void set_attr_b(GameObject* o, uint32_t v) { o->attr_b = v; }
static void set_attr_c(GameObject* o, uint32_t v) { o->attr_c = v; }
static void set_attr_d(GameObject* o, uint32_t v) { o->attr_d = v; }
static void set_names(GameObject* o, const char* name, const char* title) {
  o->name = name_table_intern(name);
  o->title = name_table_intern(title);
}
static void set_listed(GameObject* o, int flag, const uint32_t* ids, uint32_t count) {
  int32_t listed = flag ? 1 : 0;
  const uint32_t local = local_player_id();
  for (uint32_t i = 0; !listed && local && ids && i < count; i++) listed = ids[i] == local;
  o->listed = listed;
}
static void set_scale(GameObject* o, float v) {
  if (Transform* t = transform_of(o)) t->scale = {v, v, v};
}
static void play_interact(GameObject* o, uint32_t, Vec3, float, float) {
  object_request_animation(o->server_id, ANIMATION_INTERACT);
}

static void object_set_position(GameObject* o, float x, float y, float z) {
  if (Transform* t = transform_of(o)) t->position = {x, y, z};
}
static void object_set_heading(GameObject* o, float h) {
  if (Transform* t = transform_of(o)) t->rotation.y = h;
}

static void teleport(GameObject* o, float x, float y, float z, float heading) {
  EntityWorld* w = game_world();
  const uint32_t handle = handle_of(o);
  if (Transform* t = (Transform*)entity_component(w, COMPONENT_TRANSFORM, handle)) {
    t->position = {x, y, z};
    t->rotation.y = heading;
  }
  if (MoveTrack* m = (MoveTrack*)entity_component(w, COMPONENT_MOVE_TRACK, handle)) m->count = 0;
  if (MotionState* m = (MotionState*)entity_component(w, COMPONENT_MOTION_STATE, handle))
    motion_state_reset(m);
  // A walk still under way would carry a creature straight back to its path.
  if (entity_space_of(handle) != SPACE_OBJECTS) {
    Creature* c = (Creature*)o;
    c->path_active = 0;
    c->target_position = {x, y, z};
    c->target_heading = heading;
  }
}
static void local_teleport(GameObject* o, float x, float y, float z, float heading) {
  teleport(o, x, y, z, heading);
  EntityWorld* w = game_world();
  const uint32_t handle = handle_of(o);
  if (PositionHistory* p = (PositionHistory*)entity_component(w, COMPONENT_POSITION_HISTORY, handle))
    p->previous = p->current = {x, y, z};
  if (MotionState* m = (MotionState*)entity_component(w, COMPONENT_MOTION_STATE, handle))
    m->heading = heading;
}

// ---- Creature and player versions of the object slots.

static void creature_set_flags(GameObject* o, uint32_t v) {
  const uint32_t newly = v & ~o->flags;
  o->flags = v;
  if (newly & FLAGS_STOPPED) ((Creature*)o)->path_active = 0;
}
static void creature_set_position(GameObject* o, float x, float y, float z) {
  Creature* c = (Creature*)o;
  c->target_position = {x, y, z};
  const uint32_t handle = handle_of(o);
  if (o->flags & FLAG_PLACED) {
    if (Transform* t = transform_of(o)) t->position = {x, y, z};
    c->path_active = 0;
    memset(&c->path, 0, sizeof c->path);
  } else {
    creature_start_path_to(game_world(), handle, c, {x, y, z});
  }
}
static void creature_set_heading(GameObject* o, float h) {
  ((Creature*)o)->target_heading = h;
  if (o->flags & FLAG_PLACED) object_set_heading(o, h);
}
static void player_set_position(GameObject* o, float x, float y, float z) {
  ((Creature*)o)->target_position = {x, y, z};
}
static void player_set_heading(GameObject* o, float h) { ((Creature*)o)->target_heading = h; }

// ---- Creature slots.

static void set_motion(Creature* c, const MotionRecord* m) {
  creature_start_motion(game_world(), handle_of(&c->object), c, m);
}
static void player_set_motion(Creature* c, const MotionRecord* m) {
  c->target_position = {m->a[0], m->a[1], m->a[2]};
  c->target_heading = m->heading;
  c->motion_flags = m->flags;
}
static void set_health(Creature* c, float maximum, float current) {
  c->health_maximum = maximum;
  c->health_current = current;
}
static void set_walk_speed(Creature* c, float v) { c->walk_speed = v; }
static void set_run_speed(Creature* c, float v) { c->run_speed = v; }
static void set_swim_speed(Creature* c, float v) { c->swim_speed = v; }
static void set_value_a(Creature* c, int32_t v) { c->value_a = v; }
static void set_value_b(Creature* c, int32_t v) { c->value_b = v; }
static void set_value_c(Creature* c, uint32_t v) { c->value_c = v; }
// Until ability definitions exist every ability counts as an ordinary one.
static int effect_start(Creature* c, uint32_t, uint32_t, uint32_t ability, float duration, float elapsed) {
  if (duration > 0 && elapsed > 0) effect_begin(c->object.server_id, (int32_t)ability, duration, elapsed);
  return 0;
}
static int local_effect_start(Creature* c, uint32_t id, uint32_t unused, uint32_t ability, float duration,
                              float elapsed) {
  const int32_t refusal = ability_display_may_start((int32_t)ability, duration, elapsed);
  if (refusal) return refusal;
  return effect_start(c, id, unused, ability, duration, elapsed);
}
static void effect_b(Creature*, uint32_t, uint32_t, uint32_t) {}
static void local_effect_b(Creature*, uint32_t, uint32_t, uint32_t value) { ability_display_value(value); }
static void effect_stop(Creature* c, uint32_t, uint32_t, uint32_t ability) {
  effect_mark_ending(c->object.server_id, (int32_t)ability);
}
static void effect_end(Creature* c, uint32_t, uint32_t target, uint32_t ability) {
  effect_finish(c->object.server_id, target, (int32_t)ability);
}
static void on_attack(Creature* c, uint32_t, uint32_t other, const CombatRecord*) {
  object_react_attack(c->object.server_id, other);
}
static void on_hit(Creature* c, uint32_t, uint32_t other, const CombatRecord*) {
  object_react_hit(c->object.server_id, other);
}

// ---- Player and local slots.

static void set_player_a(PlayerCharacter* p, int32_t v) { p->player_a = v; }
static void set_player_b(PlayerCharacter* p, int32_t v) { p->player_b = v; }
static void set_player_c(PlayerCharacter* p, int32_t v) { p->player_c = v; }
static void set_player_d(PlayerCharacter* p, int32_t v) { p->player_d = v; }
static void set_player_e(PlayerCharacter* p, int32_t v) { p->player_e = v; }
static void set_local_pair(LocalPlayer* l, float first, float second) {
  l->local_pair[0] = second;
  l->local_pair[1] = first;
}

static ObjectSlots object_slots(void (*position)(GameObject*, float, float, float),
                                void (*heading)(GameObject*, float), void (*flags)(GameObject*, uint32_t),
                                void (*tele)(GameObject*, float, float, float, float)) {
  return {set_id,     set_secondary_id, set_attr_a, flags,     set_appearance,
          set_attr_b, set_attr_c,       set_attr_d, set_names, set_listed,
          position,   heading,          set_scale,  tele,      play_interact};
}
static CreatureSlots creature_slots(void (*motion)(Creature*, const MotionRecord*),
                                    int (*start)(Creature*, uint32_t, uint32_t, uint32_t, float, float),
                                    void (*b)(Creature*, uint32_t, uint32_t, uint32_t)) {
  return {motion,      set_health,  set_walk_speed, set_run_speed, set_swim_speed,
          set_value_a, set_value_b, set_value_c,    start,         b,
          effect_stop, effect_end,  on_attack,      on_hit};
}

static GameSlotTables g_tables[KIND_COUNT];

void game_slot_tables_reset(void) {
  const PlayerSlots player = {set_player_a, set_player_b, set_player_c, set_player_d, set_player_e};
  g_tables[KIND_OBJECT] = {};
  g_tables[KIND_OBJECT].object = object_slots(object_set_position, object_set_heading, set_flags, teleport);
  g_tables[KIND_CREATURE] = {};
  g_tables[KIND_CREATURE].object =
      object_slots(creature_set_position, creature_set_heading, creature_set_flags, teleport);
  g_tables[KIND_CREATURE].creature = creature_slots(set_motion, effect_start, effect_b);
  g_tables[KIND_PLAYER] = {};
  g_tables[KIND_PLAYER].object =
      object_slots(player_set_position, player_set_heading, creature_set_flags, teleport);
  g_tables[KIND_PLAYER].creature = creature_slots(player_set_motion, effect_start, effect_b);
  g_tables[KIND_PLAYER].player = player;
  g_tables[KIND_LOCAL].object =
      object_slots(player_set_position, player_set_heading, creature_set_flags, local_teleport);
  g_tables[KIND_LOCAL].creature = creature_slots(player_set_motion, local_effect_start, local_effect_b);
  g_tables[KIND_LOCAL].player = player;
  g_tables[KIND_LOCAL].local = {set_local_pair};
}

GameSlotTables* game_slot_tables(int32_t kind) {
  if (kind < 0 || kind >= KIND_COUNT) return nullptr;
  if (!g_tables[KIND_OBJECT].object.set_id) game_slot_tables_reset();
  return &g_tables[kind];
}
