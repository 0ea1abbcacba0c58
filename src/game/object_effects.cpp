#include "game/object_effects.h"

#include <cmath>

#include "game/components.h"
#include "game/creature_path.h"
#include "game/game_world.h"
#include "game/local_lists.h"
#include "game/move_track.h"
#include "game/object_requests.h"
#include "game/object_slots.h"
#include "game/spawn.h"
#include "net/dispatch.h"
#include "scene/environment.h"

// ---- Spawns and removal.

static void on_spawn_local_player(const NetEvent*, const SpawnCharacter* s) {
  if (!game_world()) return;
  // The world time travels in the spawn, before the effect fields.
  env_set_clock(s->local_extra);
  const uint32_t handle = spawn_local_player(s);
  if (!handle) return;
  camera_attach(handle);
  game_objects_enter_game();
}
static void on_spawn_player(const NetEvent*, const SpawnCharacter* s) { spawn_player(s); }
static void on_spawn_creature(const NetEvent*, const SpawnCharacter* s) { spawn_creature(s); }
static void on_spawn_object(const NetEvent*, const SpawnObject* s) { spawn_object(s); }
static void on_remove(const NetEvent*, const MsgId* m) { entity_remove_by_id(m->id); }

// ---- Compact movement: other players only (the local player's own echo is dropped).

static void on_move(const NetEvent* event, const MsgMove* m) {
  if (m->id == local_player_id()) return;
  const uint32_t handle = entity_by_id(m->id);
  if (entity_space_of(handle) != SPACE_PLAYERS) return;
  MoveSample s = {
      {m->position[0], m->position[1], m->position[2]}, m->heading, m->motion_state, m->direction, 0};
  move_sample(game_world(), handle, &s,
              event->opcode == MSG_MOVE_EXTRA ? MOVE_MODE_EXTRA : MOVE_MODE_REGULAR);
}

// ---- Player and local slots.

static void on_player_flag_a(const NetEvent*, const MsgIdFlag* m) {
  if (PlayerCharacter* p = player_by_id(m->id)) p->player_slots->set_player_c(p, m->flag);
}
static void on_player_value(const NetEvent*, const MsgIdInt* m) {
  if (PlayerCharacter* p = player_by_id(m->id)) p->player_slots->set_player_d(p, m->value);
}
static void on_player_value_b(const NetEvent*, const MsgIdInt* m) {
  if (PlayerCharacter* p = player_by_id(m->id)) p->player_slots->set_player_a(p, m->value);
}
static void on_local_flag(const NetEvent*, const MsgFlag* m) {
  if (LocalPlayer* l = local_by_id(local_player_id()))
    l->player.player_slots->set_player_e(&l->player, m->flag);
}
static void on_local_pair(const NetEvent*, const MsgFloatPair* m) {
  if (LocalPlayer* l = local_by_id(local_player_id())) l->local_slots->set_local_pair(l, m->a, m->b);
}

// ---- Object slots (any kind).

static void on_object_attrs(const NetEvent*, const MsgObjectAttrs* m) {
  GameObject* o = object_by_id(m->id);
  if (!o) return;
  o->slots->set_appearance(o, m->appearance);
  o->slots->set_attr_b(o, m->attr_b);
  o->slots->set_attr_c(o, m->attr_c);
  o->slots->set_attr_d(o, m->attr_d);
}
static void on_object_names(const NetEvent*, const MsgObjectNames* m) {
  if (GameObject* o = object_by_id(m->id)) o->slots->set_names(o, m->name, m->title);
}
static void on_object_flags(const NetEvent*, const MsgIdWord* m) {
  if (GameObject* o = object_by_id(m->id)) o->slots->set_flags(o, m->value);
}
static void on_object_place(const NetEvent*, const MsgObjectPlace* m) {
  GameObject* o = object_by_id(m->id);
  if (!o) return;
  o->slots->set_position(o, m->position[0], m->position[1], m->position[2]);
  // A slot may have moved elements; the record is looked up again.
  if ((o = object_by_id(m->id))) o->slots->set_heading(o, std::isfinite(m->heading) ? m->heading : 0.0f);
  if ((o = object_by_id(m->id))) o->slots->set_scale(o, std::isfinite(m->scale) ? m->scale : 0.0f);
}
static void on_object_teleport(const NetEvent*, const MsgObjectPlace* m) {
  if (GameObject* o = object_by_id(m->id))
    o->slots->teleport(o, m->position[0], m->position[1], m->position[2],
                       std::isfinite(m->heading) ? m->heading : 0.0f);
}
static void on_object_attr_a(const NetEvent*, const MsgIdWord* m) {
  if (GameObject* o = object_by_id(m->id)) o->slots->set_attr_a(o, (int32_t)m->value);
}
static void on_object_effect(const NetEvent*, const MsgObjectEffect* m) {
  if (GameObject* o = object_by_id(m->id))
    o->slots->play_interact(o, m->value, {m->point[0], m->point[1], m->point[2]}, m->a, m->b);
}
static void on_object_listed(const NetEvent*, const MsgObjectListed* m) {
  GameObject* o = object_by_id(m->id);
  if (!o) return;
  const uint32_t count = m->ids.items && m->ids.count > 0 ? (uint32_t)m->ids.count : 0;
  o->slots->set_listed(o, m->flag, (const uint32_t*)m->ids.items, count);
}

// ---- Creature slots (creatures and players).

static void on_creature_motion(const NetEvent*, const MsgCreatureMotion* m) {
  if (Creature* c = creature_by_id(m->id)) c->creature_slots->set_motion(c, &m->motion);
}
static float finite(float v) { return std::isfinite(v) ? v : 0.0f; }
static void on_creature_health(const NetEvent*, const MsgCreatureFloats* m) {
  if (Creature* c = creature_by_id(m->id))
    c->creature_slots->set_health(c, finite(m->values[0]), finite(m->values[1]));
}
static void on_creature_speeds(const NetEvent*, const MsgCreatureFloats* m) {
  Creature* c = creature_by_id(m->id);
  if (!c) return;
  c->creature_slots->set_walk_speed(c, finite(m->values[0]));
  c->creature_slots->set_run_speed(c, finite(m->values[1]));
  c->creature_slots->set_swim_speed(c, finite(m->values[2]));
}
static void on_creature_value_a(const NetEvent*, const MsgIdInt* m) {
  if (Creature* c = creature_by_id(m->id)) c->creature_slots->set_value_a(c, m->value);
}
static void on_creature_value_b(const NetEvent*, const MsgIdInt* m) {
  if (Creature* c = creature_by_id(m->id)) c->creature_slots->set_value_b(c, m->value);
}
static void on_creature_value_c(const NetEvent*, const MsgIdWord* m) {
  if (Creature* c = creature_by_id(m->id)) c->creature_slots->set_value_c(c, m->value);
}
static void on_effect_start(const NetEvent*, const MsgCreatureEffect* m) {
  if (Creature* c = creature_by_id(m->id))
    c->creature_slots->effect_start(c, m->id, m->word, (uint32_t)m->ability, finite(m->duration),
                                    finite(m->elapsed));
}
// Opcode 46 carries the value where 45 carries the ability.
static void on_effect_b(const NetEvent*, const MsgCreatureEffect* m) {
  if (Creature* c = creature_by_id(m->id))
    c->creature_slots->effect_b(c, m->id, m->word, (uint32_t)m->ability);
}
static void on_effect_stop(const NetEvent*, const MsgCreatureEffect* m) {
  if (Creature* c = creature_by_id(m->id))
    c->creature_slots->effect_stop(c, m->id, m->word, (uint32_t)m->ability);
}
static void on_effect_end(const NetEvent*, const MsgCreatureEffect* m) {
  if (Creature* c = creature_by_id(m->id))
    c->creature_slots->effect_end(c, m->id, m->word, (uint32_t)m->ability);
}

// ---- Status effects: the decoder already kept the slot within the half the message names.

static void on_status_set(const NetEvent*, const MsgStatusEffect* m) {
  Creature* c = creature_by_id(m->id);
  if (!c || m->slot >= CREATURE_STATUS_EFFECTS) return;
  c->status[m->slot] = {m->slot, m->value, finite(m->time) > 0 ? finite(m->time) : 0.0f};
}
static void on_status_clear(const NetEvent*, const MsgStatusEffect* m) {
  Creature* c = creature_by_id(m->id);
  if (!c || m->slot >= CREATURE_STATUS_EFFECTS) return;
  c->status[m->slot] = {0, 0, 0};
}

static void on_world_replaced(EntityWorld*) { local_lists_clear(); }

void game_objects_start(void) {
  NetEffects* fx = net_effects();
  fx->spawn_local_player = on_spawn_local_player;
  fx->spawn_player = on_spawn_player;
  fx->spawn_creature = on_spawn_creature;
  fx->spawn_object = on_spawn_object;
  fx->remove = on_remove;
  fx->move = on_move;
  fx->player_flag_a = on_player_flag_a;
  fx->player_value = on_player_value;
  fx->player_value_b = on_player_value_b;
  fx->local_flag = on_local_flag;
  fx->local_pair = on_local_pair;
  fx->object_attrs = on_object_attrs;
  fx->object_names = on_object_names;
  fx->object_flags = on_object_flags;
  fx->object_place = on_object_place;
  fx->object_teleport = on_object_teleport;
  fx->object_attr_a = on_object_attr_a;
  fx->object_effect = on_object_effect;
  fx->object_listed = on_object_listed;
  fx->creature_motion = on_creature_motion;
  fx->creature_health = on_creature_health;
  fx->creature_speeds = on_creature_speeds;
  fx->creature_value_a = on_creature_value_a;
  fx->creature_value_b = on_creature_value_b;
  fx->creature_value_c = on_creature_value_c;
  fx->creature_effect_start = on_effect_start;
  fx->creature_effect_b = on_effect_b;
  fx->creature_effect_stop = on_effect_stop;
  fx->creature_effect_end = on_effect_end;
  fx->status_effect_set = on_status_set;
  fx->status_effect_clear = on_status_clear;
  game_world_listen(on_world_replaced);
}

void game_objects_shutdown(void) {
  NetEffects* fx = net_effects();
  fx->spawn_local_player = nullptr;
  fx->spawn_player = nullptr;
  fx->spawn_creature = nullptr;
  fx->spawn_object = nullptr;
  fx->remove = nullptr;
  fx->move = nullptr;
  fx->player_flag_a = nullptr;
  fx->player_value = nullptr;
  fx->player_value_b = nullptr;
  fx->local_flag = nullptr;
  fx->local_pair = nullptr;
  fx->object_attrs = nullptr;
  fx->object_names = nullptr;
  fx->object_flags = nullptr;
  fx->object_place = nullptr;
  fx->object_teleport = nullptr;
  fx->object_attr_a = nullptr;
  fx->object_effect = nullptr;
  fx->object_listed = nullptr;
  fx->creature_motion = nullptr;
  fx->creature_health = nullptr;
  fx->creature_speeds = nullptr;
  fx->creature_value_a = nullptr;
  fx->creature_value_b = nullptr;
  fx->creature_value_c = nullptr;
  fx->creature_effect_start = nullptr;
  fx->creature_effect_b = nullptr;
  fx->creature_effect_stop = nullptr;
  fx->creature_effect_end = nullptr;
  fx->status_effect_set = nullptr;
  fx->status_effect_clear = nullptr;
  game_world_unlisten(on_world_replaced);
  local_lists_clear();
  game_slot_tables_reset();
}

// Each pass walks one space's dense rows; nothing in it creates or destroys entities.
static void for_each(uint32_t space_number, void (*step)(EntityWorld*, uint32_t, float), float dt) {
  EntityWorld* world = game_world();
  EntitySpace* space = world_space(world, space_number);
  const ComponentPool* headers = space_pool(space, COMPONENT_ENTITY_HEADER);
  if (!headers) return;
  for (uint32_t i = 0; i < headers->dense_count; i++) {
    const EntityHeader* h = (const EntityHeader*)pool_at(headers, i);
    if (h->active) step(world, h->handle, dt);
  }
}

static void playback_step(EntityWorld* world, uint32_t handle, float dt) {
  int32_t air_mode;
  move_playback(world, handle, dt, &air_mode);
}
static void status_step(EntityWorld* world, uint32_t handle, float dt) {
  Creature* c = (Creature*)entity_component(world, COMPONENT_CREATURE, handle);
  if (!c) c = (Creature*)entity_component(world, COMPONENT_PLAYER_CHARACTER, handle);
  if (!c) c = (Creature*)entity_component(world, COMPONENT_LOCAL_PLAYER, handle);
  if (c) status_effects_tick(c, dt);
}

void game_objects_frame(float dt) {
  if (!game_world() || !(dt >= 0)) return;
  for_each(SPACE_PLAYERS, playback_step, dt);
  for_each(SPACE_CREATURES, creature_step, dt);
  for (uint32_t space = SPACE_LOCAL_PLAYER; space <= SPACE_CREATURES; space++) {
    for_each(space, idle_tick, dt);
    for_each(space, status_step, dt);
  }
}
