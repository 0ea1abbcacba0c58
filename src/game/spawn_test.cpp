#include "game/spawn.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/catalogue.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/local_lists.h"
#include "game/object_effects.h"
#include "game/object_requests.h"
#include "game/object_slots.h"
#include "net/dispatch.h"

namespace {

class GameObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    net_effects_clear();
    game_world_replace(catalogue_world_create(1, nullptr));
    game_objects_start();
    object_requests_clear();
  }
  void TearDown() override {
    game_objects_shutdown();
    game_world_shutdown();
    net_effects_clear();
  }
};

SpawnCharacter character(uint32_t id, float x = 1, float y = 2, float z = 3) {
  SpawnCharacter s = {};
  s.id = id;
  s.position[0] = x, s.position[1] = y, s.position[2] = z;
  s.heading = 45;
  s.scale = 1.5f;
  s.appearance = 1;
  s.name = "Mara";
  s.title = "the Grey";
  s.motion.a[0] = x, s.motion.a[1] = y, s.motion.a[2] = z;
  s.motion.b[0] = x, s.motion.b[1] = y, s.motion.b[2] = z;
  s.motion.c[0] = x, s.motion.c[1] = y, s.motion.c[2] = z;
  s.health_max = 100, s.health = 40;
  s.walk_speed = 1, s.run_speed = 2, s.swim_speed = 0.5f;
  return s;
}

SpawnObject object(uint32_t id, uint32_t secondary) {
  SpawnObject s = {};
  s.id = id;
  s.secondary_id = secondary;
  s.position[0] = 4, s.position[1] = 5, s.position[2] = 6;
  s.heading = 90;
  s.scale = 2;
  s.appearance = 999;  // unknown: the default model
  s.name = "Chest";
  s.title = nullptr;
  return s;
}

// Everything the server's entities are made of: every pool of spaces 7 to 10, and both maps.
std::string snapshot(void) {
  std::string bytes;
  EntityWorld* world = game_world();
  for (uint32_t n = SPACE_LOCAL_PLAYER; n <= SPACE_OBJECTS; n++) {
    EntitySpace* space = world_space(world, n);
    for (uint32_t type = 1; type <= CATALOGUE_COMPONENT_COUNT; type++) {
      const ComponentPool* pool = space_pool(space, type);
      if (pool && pool->dense_count)
        bytes.append((const char*)pool->dense, (size_t)pool->dense_count * pool->element_size);
    }
  }
  bytes += std::to_string(game_world_id_count()) + "/" + std::to_string(game_world_secondary_count());
  return bytes;
}

// ---- Spawning.

std::vector<std::string> g_calls;
GameSlotTables g_saved;

void record_slots(int32_t kind) {
  GameSlotTables* t = game_slot_tables(kind);
  g_saved = *t;
  t->object.set_id = [](GameObject* o, uint32_t v) {
    g_calls.push_back("set_id"), g_saved.object.set_id(o, v);
  };
  t->object.set_secondary_id = [](GameObject* o, uint32_t v) {
    g_calls.push_back("set_secondary_id"), g_saved.object.set_secondary_id(o, v);
  };
  t->object.set_attr_a = [](GameObject* o, int32_t v) {
    g_calls.push_back("set_attr_a"), g_saved.object.set_attr_a(o, v);
  };
  t->object.set_flags = [](GameObject* o, uint32_t v) {
    g_calls.push_back("set_flags"), g_saved.object.set_flags(o, v);
  };
  t->object.set_appearance = [](GameObject* o, int32_t v) {
    g_calls.push_back("set_appearance"), g_saved.object.set_appearance(o, v);
  };
  t->object.set_attr_d = [](GameObject* o, uint32_t v) {
    g_calls.push_back("set_attr_d"), g_saved.object.set_attr_d(o, v);
  };
  t->object.set_names = [](GameObject* o, const char* a, const char* b) {
    g_calls.push_back("set_names"), g_saved.object.set_names(o, a, b);
  };
  t->object.set_listed = [](GameObject* o, int f, const uint32_t* ids, uint32_t n) {
    g_calls.push_back("set_listed"), g_saved.object.set_listed(o, f, ids, n);
  };
  t->creature.set_motion = [](Creature* c, const MotionRecord* m) {
    g_calls.push_back("set_motion"), g_saved.creature.set_motion(c, m);
  };
  t->creature.set_health = [](Creature* c, float a, float b) {
    g_calls.push_back("set_health"), g_saved.creature.set_health(c, a, b);
  };
  t->creature.set_swim_speed = [](Creature* c, float v) {
    g_calls.push_back("set_swim_speed"), g_saved.creature.set_swim_speed(c, v);
  };
  t->creature.set_value_c = [](Creature* c, uint32_t v) {
    g_calls.push_back("set_value_c"), g_saved.creature.set_value_c(c, v);
  };
  t->player.set_player_a = [](PlayerCharacter* p, int32_t v) {
    g_calls.push_back("set_player_a"), g_saved.player.set_player_a(p, v);
  };
  t->player.set_player_e = [](PlayerCharacter* p, int32_t v) {
    g_calls.push_back("set_player_e"), g_saved.player.set_player_e(p, v);
  };
  t->local.set_local_pair = [](LocalPlayer* l, float a, float b) {
    g_calls.push_back("set_local_pair"), g_saved.local.set_local_pair(l, a, b);
  };
}

TEST_F(GameObjects, EachKindSpawnsIntoItsSpaceWithItsSlotCallsInOrder) {
  const std::vector<std::string> shared = {"set_id",     "set_attr_a", "set_flags", "set_appearance",
                                           "set_attr_d", "set_names",  "set_listed"};
  std::vector<std::string> character_tail = {"set_motion", "set_health", "set_swim_speed", "set_value_c"};
  struct Case {
    int32_t kind;
    uint32_t space, component;
    std::vector<std::string> tail;
  };
  std::vector<std::string> player_tail = character_tail;
  player_tail.insert(player_tail.end(), {"set_player_a", "set_player_e"});
  std::vector<std::string> local_tail = player_tail;
  local_tail.push_back("set_local_pair");
  const Case cases[] = {
      {KIND_OBJECT, SPACE_OBJECTS, COMPONENT_GAME_OBJECT, {"set_secondary_id"}},
      {KIND_CREATURE, SPACE_CREATURES, COMPONENT_CREATURE, character_tail},
      {KIND_PLAYER, SPACE_PLAYERS, COMPONENT_PLAYER_CHARACTER, player_tail},
      {KIND_LOCAL, SPACE_LOCAL_PLAYER, COMPONENT_LOCAL_PLAYER, local_tail},
  };
  uint32_t id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    g_calls.clear();
    record_slots(c.kind);
    const SpawnObject so = object(id, 7000 + id);
    const SpawnCharacter sc = character(id);
    uint32_t handle = c.kind == KIND_OBJECT     ? spawn_object(&so)
                      : c.kind == KIND_CREATURE ? spawn_creature(&sc)
                      : c.kind == KIND_PLAYER   ? spawn_player(&sc)
                                                : spawn_local_player(&sc);
    *game_slot_tables(c.kind) = g_saved;
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(entity_space_of(handle), c.space);
    EXPECT_EQ(entity_by_id(id), handle);
    EXPECT_NE(entity_component(game_world(), c.component, handle), nullptr);
    std::vector<std::string> want = shared;
    want.insert(want.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(g_calls, want);
    const GameObject* o = object_by_id(id);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->server_id, id);
    EXPECT_EQ(((const ServerId*)entity_component(game_world(), COMPONENT_SERVER_ID, handle))->id, id);
    const Transform* t = (const Transform*)entity_component(game_world(), COMPONENT_TRANSFORM, handle);
    EXPECT_FLOAT_EQ(t->scale.y, c.kind == KIND_OBJECT ? 2.0f : 1.5f);
    EXPECT_STREQ(o->name, c.kind == KIND_OBJECT ? "Chest" : "Mara");
    EXPECT_STREQ(o->title, c.kind == KIND_OBJECT ? "" : "the Grey");
    const MeshRef* mesh = (const MeshRef*)entity_component(game_world(), COMPONENT_MESH_REF, handle);
    EXPECT_EQ(mesh->mesh_id, 1u);  // appearance 999 falls back to the default model
    id++;
  }
  EXPECT_EQ(object_by_secondary(7100), object_by_id(100));
  EXPECT_EQ(local_player_id(), 103u);
  EXPECT_EQ(local_by_id(103)->local_pair[0], 0.0f);
}

TEST_F(GameObjects, ListedStatusHalvesAndTheLocalPair) {
  SpawnCharacter local = character(5);
  local.local_pair[0] = 1.5f, local.local_pair[1] = 2.5f;
  spawn_local_player(&local);
  EXPECT_FLOAT_EQ(local_by_id(5)->local_pair[0], 2.5f);  // the second value first

  IdEntry ids[] = {{9}, {5}};
  StatusEntry low[] = {{3, 30, 2.0f}, {14, 99, 1.0f}};    // 14 is not of the first half
  StatusEntry high[] = {{12, 120, 4.0f}, {2, 99, 1.0f}};  // 2 is not of the second half
  SpawnCharacter c = character(6);
  c.listed_ids = {ids, 2};
  c.status_low = {low, 2};
  c.status_high = {high, 2};
  spawn_creature(&c);
  const Creature* cr = creature_by_id(6);
  EXPECT_EQ(cr->object.listed, 1);  // the local player's id is in the list
  EXPECT_EQ(cr->status[3].value, 30);
  EXPECT_EQ(cr->status[12].value, 120);
  EXPECT_EQ(cr->status[14].value, 0);
  EXPECT_EQ(cr->status[2].value, 0);

  ids[1].id = 8;
  c.id = 7;
  spawn_creature(&c);
  EXPECT_EQ(creature_by_id(7)->object.listed, 0);
  c.listed = 1;
  c.id = 8;
  spawn_creature(&c);
  EXPECT_EQ(creature_by_id(8)->object.listed, 1);
}

TEST_F(GameObjects, RepeatedIdsAndANewLocalPlayerLeaveOneEntity) {
  SpawnCharacter c = character(40);
  spawn_creature(&c);
  spawn_creature(&c);
  spawn_player(&c);  // the same id as another kind replaces it too
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_CREATURES)), 0u);
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_PLAYERS)), 1u);
  EXPECT_EQ(game_world_id_count(), 1u);

  SpawnCharacter a = character(1), b = character(2);
  spawn_local_player(&a);
  spawn_local_player(&b);
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_LOCAL_PLAYER)), 1u);
  EXPECT_EQ(entity_by_id(1), 0u);
  EXPECT_EQ(local_player_id(), 2u);
}

TEST_F(GameObjects, NoWorldNoSpawn) {
  game_world_replace(nullptr);
  SpawnCharacter c = character(1);
  net_effects()->spawn_local_player(nullptr, &c);
  EXPECT_EQ(spawn_creature(&c), 0u);
  uint32_t kept;
  object_requests(&kept);
  EXPECT_EQ(kept, 0u);
}

TEST_F(GameObjects, LocalSpawnAttachesTheCameraSwitchesTheFrontEndAndFillsTheLists) {
  static int entered;
  entered = 0;
  game_objects_set_enter_game_hook([] { entered++; });
  ItemEntry bag[] = {{0, 11, 1}, {29, 12, 2}, {30, 13, 3}, {-1, 14, 4}};  // the last two are out of range
  SkillEntry skills[] = {{3, {1, 2, 3, 4, 5, 6}}, {11, {}}};
  SpawnCharacter s = character(9);
  s.bag = {bag, 4};
  s.skills = {skills, 2};
  s.sheet[22] = 77;
  NetEvent event = {MSG_SPAWN_LOCAL_PLAYER, 0, 0};
  net_effects()->spawn_local_player(&event, &s);
  game_objects_set_enter_game_hook(nullptr);
  EXPECT_EQ(entered, 1);
  const LocalLists* l = local_lists();
  EXPECT_EQ(l->bag[0].a, 11);
  EXPECT_EQ(l->bag[29].a, 12);
  EXPECT_EQ(l->skills[2][5], 6);
  EXPECT_EQ(l->skill_present[2], 1);
  EXPECT_EQ(l->sheet[22], 77);
  uint32_t kept;
  const ObjectRequest* r = object_requests(&kept);
  int camera = 0, items = 0;
  for (uint32_t i = 0; i < kept; i++) {
    camera += r[i].kind == REQUEST_CAMERA_ATTACH && (uint32_t)r[i].a == entity_by_id(9);
    items += r[i].kind == REQUEST_ITEM_DEFINITION;
  }
  EXPECT_EQ(camera, 1);
  EXPECT_EQ(items, 2);
}

// ---- Owned effects addressed to nobody, or to the wrong kind, change nothing.

TEST_F(GameObjects, EffectsForUnknownIdsWrongKindsOrNoLocalPlayerChangeNothing) {
  SpawnObject o = object(1, 11);
  spawn_object(&o);
  SpawnCharacter c = character(2);
  spawn_creature(&c);
  NetEffects* fx = net_effects();
  NetEvent ev = {MSG_MOVE, 0, 0};
  struct Case {
    const char* what;
    void (*run)(NetEffects*, const NetEvent*, uint32_t id);
    uint32_t ids[2];  // an unknown id, then one of the wrong kind (0: none)
  };
  const Case cases[] = {
      {"remove",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgId m = {id};
         f->remove(e, &m);
       },
       {99, 0}},
      {"move",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgMove m = {id, 4, 1, {1, 1, 1}, 5};
         f->move(e, &m);
       },
       {99, 2}},
      {"player_flag_a",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdFlag m = {id, 1};
         f->player_flag_a(e, &m);
       },
       {99, 2}},
      {"player_value",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdInt m = {id, 5};
         f->player_value(e, &m);
       },
       {99, 2}},
      {"player_value_b",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdInt m = {id, 5};
         f->player_value_b(e, &m);
       },
       {99, 2}},
      {"local_flag",
       [](NetEffects* f, const NetEvent* e, uint32_t) {
         MsgFlag m = {1};
         f->local_flag(e, &m);
       },
       {0, 0}},
      {"local_pair",
       [](NetEffects* f, const NetEvent* e, uint32_t) {
         MsgFloatPair m = {1, 2};
         f->local_pair(e, &m);
       },
       {0, 0}},
      {"object_attrs",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectAttrs m = {id, 3, 4, 5, 6};
         f->object_attrs(e, &m);
       },
       {99, 0}},
      {"object_names",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectNames m = {id, "x", "y"};
         f->object_names(e, &m);
       },
       {99, 0}},
      {"object_flags",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdWord m = {id, 0x40};
         f->object_flags(e, &m);
       },
       {99, 0}},
      {"object_place",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectPlace m = {id, {7, 7, 7}, 3, 2};
         f->object_place(e, &m);
       },
       {99, 0}},
      {"object_teleport",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectPlace m = {id, {7, 7, 7}, 3, 0};
         f->object_teleport(e, &m);
       },
       {99, 0}},
      {"object_attr_a",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdWord m = {id, 9};
         f->object_attr_a(e, &m);
       },
       {99, 0}},
      {"object_effect",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectEffect m = {id, 1, {0, 0, 0}, 0, 0};
         f->object_effect(e, &m);
       },
       {99, 0}},
      {"object_listed",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgObjectListed m = {id, 1, {nullptr, 0}};
         f->object_listed(e, &m);
       },
       {99, 0}},
      {"creature_motion",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureMotion m = {id, {{20, 0, 0}, 10, {30, 0, 0}, {30, 0, 0}, 0, 0}};
         f->creature_motion(e, &m);
       },
       {99, 1}},
      {"creature_health",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureFloats m = {id, {5, 5, 5}};
         f->creature_health(e, &m);
       },
       {99, 1}},
      {"creature_speeds",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureFloats m = {id, {5, 5, 5}};
         f->creature_speeds(e, &m);
       },
       {99, 1}},
      {"creature_value_a",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdInt m = {id, 5};
         f->creature_value_a(e, &m);
       },
       {99, 1}},
      {"creature_value_b",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdInt m = {id, 5};
         f->creature_value_b(e, &m);
       },
       {99, 1}},
      {"creature_value_c",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgIdWord m = {id, 5};
         f->creature_value_c(e, &m);
       },
       {99, 1}},
      {"creature_effect_start",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureEffect m = {id, 0, 3, 1, 1};
         f->creature_effect_start(e, &m);
       },
       {99, 1}},
      {"creature_effect_b",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureEffect m = {id, 0, 3, 1, 1};
         f->creature_effect_b(e, &m);
       },
       {99, 1}},
      {"creature_effect_stop",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureEffect m = {id, 0, 3, 0, 0};
         f->creature_effect_stop(e, &m);
       },
       {99, 1}},
      {"creature_effect_end",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgCreatureEffect m = {id, 2, 3, 0, 0};
         f->creature_effect_end(e, &m);
       },
       {99, 1}},
      {"status_effect_set",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgStatusEffect m = {id, 3, 7, 2, 1};
         f->status_effect_set(e, &m);
       },
       {99, 1}},
      {"status_effect_clear",
       [](NetEffects* f, const NetEvent* e, uint32_t id) {
         MsgStatusEffect m = {id, 3, 7, 0, 1};
         f->status_effect_clear(e, &m);
       },
       {99, 1}},
  };
  for (const Case& k : cases) {
    for (uint32_t id : k.ids) {
      if (k.ids[0] != 0 && id == 0) continue;
      SCOPED_TRACE(std::string(k.what) + " id " + std::to_string(id));
      const std::string before = snapshot();
      object_requests_clear();
      k.run(fx, &ev, id);
      EXPECT_EQ(snapshot(), before);
      EXPECT_EQ(object_request_total(), 0u);
    }
  }
}

}  // namespace
