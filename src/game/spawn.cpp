#include "game/spawn.h"

#include <cmath>
#include <cstring>

#include "base/random.h"
#include "game/appearance_table.h"
#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/local_lists.h"
#include "game/object_slots.h"

static_assert(sizeof(IdEntry) == sizeof(uint32_t), "id lists are read as plain id arrays");

static float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }

static uint32_t component_of_space(uint32_t space) {
  switch (space) {
    case SPACE_OBJECTS:
      return COMPONENT_GAME_OBJECT;
    case SPACE_CREATURES:
      return COMPONENT_CREATURE;
    case SPACE_PLAYERS:
      return COMPONENT_PLAYER_CHARACTER;
    default:
      return COMPONENT_LOCAL_PLAYER;
  }
}

static size_t record_size(uint32_t space) {
  switch (space) {
    case SPACE_OBJECTS:
      return sizeof(GameObject);
    case SPACE_CREATURES:
      return sizeof(Creature);
    case SPACE_PLAYERS:
      return sizeof(PlayerCharacter);
    default:
      return sizeof(LocalPlayer);
  }
}

// Steps 1-3: the entity, its starting components and the id map entry. Answers the zeroed
// record with the kind's tables installed (fetched after the registration, which may have
// removed an entity of the same id from this very space).
static GameObject* create(uint32_t space, int32_t kind, uint32_t id, const float position[3], float heading,
                          float scale, int32_t appearance_id, uint32_t* handle_out) {
  EntityWorld* world = game_world();
  *handle_out = 0;
  if (!world) return nullptr;
  const AppearanceEntry* appearance = appearance_find(appearance_id);
  const uint32_t handle = catalogue_entity_create(world, space, 0, 3);
  if (!handle) return nullptr;
  const Vec3 at = {position[0], position[1], position[2]};
  heading = finite_or_zero(heading);
  scale = finite_or_zero(scale);
  if (Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle)) {
    t->position = at;
    t->rotation = {0, heading, 0};
    t->scale = {scale, scale, scale};
  }
  appearance_apply(world, handle, appearance);
  if (AnimationState* a = (AnimationState*)entity_component(world, COMPONENT_ANIMATION_STATE, handle))
    a->set_id = (uint32_t)appearance->id;
  if (PositionHistory* p = (PositionHistory*)entity_component(world, COMPONENT_POSITION_HISTORY, handle))
    p->previous = p->current = at;
  if (MotionState* m = (MotionState*)entity_component(world, COMPONENT_MOTION_STATE, handle))
    m->heading = heading;
  if (!entity_register_id(id, handle)) {
    entity_destroy(world, handle);
    return nullptr;
  }
  GameObject* o = (GameObject*)entity_component(world, component_of_space(space), handle);
  memset(o, 0, record_size(space));
  const GameSlotTables* tables = game_slot_tables(kind);
  o->slots = &tables->object;
  if (kind != KIND_OBJECT) ((Creature*)o)->creature_slots = &tables->creature;
  if (kind == KIND_PLAYER || kind == KIND_LOCAL) ((PlayerCharacter*)o)->player_slots = &tables->player;
  if (kind == KIND_LOCAL) ((LocalPlayer*)o)->local_slots = &tables->local;
  *handle_out = handle;
  return o;
}

// Step 4's shared part, identical for all four records.
static void common_slots(GameObject* o, uint32_t id, int32_t attr_a, int32_t flags, int32_t appearance,
                         uint32_t b, uint32_t c, uint32_t d, const char* name, const char* title,
                         int32_t listed, const IdEntry* ids, int32_t id_count) {
  const ObjectSlots* s = o->slots;
  s->set_id(o, id);
  s->set_attr_a(o, attr_a);
  s->set_flags(o, (uint32_t)flags);
  s->set_appearance(o, appearance);
  s->set_attr_b(o, b);
  s->set_attr_c(o, c);
  s->set_attr_d(o, d);
  s->set_names(o, name, title);
  s->set_listed(o, listed, (const uint32_t*)ids, ids && id_count > 0 ? (uint32_t)id_count : 0);
}

static void copy_status(Creature* c, const StatusEntry* items, int32_t count, int32_t low, int32_t high) {
  for (int32_t i = 0; items && i < count; i++) {
    const StatusEntry& e = items[i];
    if (e.slot < low || e.slot > high) continue;
    c->status[e.slot] = {e.slot, e.value, finite_or_zero(e.time)};
  }
}

static void draw_idle_timers(Creature* c) {
  c->blink_interval = random_float(1.5f, 2.0f);
  c->idle_threshold = random_float(5.0f, 25.0f);
}

static uint32_t spawn_character(uint32_t space, int32_t kind, const SpawnCharacter* s) {
  uint32_t handle;
  GameObject* o = create(space, kind, s->id, s->position, s->heading, s->scale, s->appearance, &handle);
  if (!o) return 0;
  Creature* c = (Creature*)o;
  common_slots(o, s->id, s->attr_a, s->flags, s->appearance, s->attr_b, s->attr_c, s->attr_d, s->name,
               s->title, s->listed, s->listed_ids.items, s->listed_ids.count);
  copy_status(c, s->status_low.items, s->status_low.count, 0, 11);
  copy_status(c, s->status_high.items, s->status_high.count, 12, 23);
  draw_idle_timers(c);
  c->target_position = {s->position[0], s->position[1], s->position[2]};
  c->target_heading = finite_or_zero(s->heading);
  const CreatureSlots* cs = c->creature_slots;
  cs->set_motion(c, &s->motion);
  cs->set_health(c, finite_or_zero(s->health_max), finite_or_zero(s->health));
  cs->set_walk_speed(c, finite_or_zero(s->walk_speed));
  cs->set_run_speed(c, finite_or_zero(s->run_speed));
  cs->set_swim_speed(c, finite_or_zero(s->swim_speed));
  cs->set_value_a(c, s->value_a);
  cs->set_value_b(c, s->value_b);
  cs->set_value_c(c, s->value_c);
  if (kind == KIND_PLAYER || kind == KIND_LOCAL) {
    PlayerCharacter* p = (PlayerCharacter*)o;
    const PlayerSlots* ps = p->player_slots;
    ps->set_player_a(p, s->player_a);
    ps->set_player_b(p, s->player_b);
    ps->set_player_c(p, s->player_c);
    ps->set_player_d(p, s->player_d);
    ps->set_player_e(p, s->player_e);
  }
  if (kind == KIND_LOCAL) {
    LocalPlayer* l = (LocalPlayer*)o;
    l->local_slots->set_local_pair(l, finite_or_zero(s->local_pair[0]), finite_or_zero(s->local_pair[1]));
  }
  return handle;
}

uint32_t spawn_object(const SpawnObject* s) {
  uint32_t handle;
  GameObject* o =
      create(SPACE_OBJECTS, KIND_OBJECT, s->id, s->position, s->heading, s->scale, s->appearance, &handle);
  if (!o) return 0;
  common_slots(o, s->id, s->attr_a, s->flags, s->appearance, s->attr_b, s->attr_c, s->attr_d, s->name,
               s->title, s->listed, s->listed_ids.items, s->listed_ids.count);
  o->slots->set_secondary_id(o, s->secondary_id);
  if (s->secondary_id) object_register_secondary(s->secondary_id, s->id);
  return handle;
}

uint32_t spawn_creature(const SpawnCharacter* s) {
  return spawn_character(SPACE_CREATURES, KIND_CREATURE, s);
}
uint32_t spawn_player(const SpawnCharacter* s) { return spawn_character(SPACE_PLAYERS, KIND_PLAYER, s); }

uint32_t spawn_local_player(const SpawnCharacter* s) {
  if (!game_world()) return 0;
  // There is one local player: a new one (under any id) takes the place of the old.
  if (const uint32_t old = local_player_id()) entity_remove_by_id(old);
  const uint32_t handle = spawn_character(SPACE_LOCAL_PLAYER, KIND_LOCAL, s);
  if (handle) local_lists_fill(s);
  return handle;
}
