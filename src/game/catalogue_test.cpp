#include "game/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "base/strings.h"
#include "game/game_objects.h"
#include "game/game_world.h"
#include "game/name_table.h"

namespace {

// The catalogue as a plain table: space, starting indices for the counts used below, and
// the component set. Written out here independently of the production table.
struct SpaceRow {
  uint32_t space, indices;
  std::set<uint32_t> components;
};
const SpaceRow kSpaceRows[] = {
    {1, 2, {3, 7, 1}},
    {2, 2, {3, 7, 2, 12, 13, 17}},
    {3, 11, {3, 7, 6, 5, 11}},  // 10 plain props
    {4, 3, {3, 7, 11, 24}},     // 2 water volumes
    {5, 32, {3, 7, 25}},        // none counted: default size
    {6, 5, {3, 7, 4}},          // 4 lights
    {7, 2, {3, 7, 6, 5, 8, 9, 10, 14, 15, 16, 22, 23}},
    {8, 32, {3, 7, 6, 5, 8, 9, 10, 14, 15, 16, 21, 23}},
    {9, 32, {3, 7, 6, 5, 14, 15, 16, 20, 23}},
    {10, 32, {3, 7, 6, 5, 14, 15, 16, 19, 23}},
    {11, 2, {3, 7, 6, 5, 11, 14, 15, 16}},
    {12, 65537, {3, 7, 18}},                    // a huge count is capped
    {13, 7, {3, 7, 6, 5, 11, 14, 15, 16, 26}},  // 6 animated props
};

const uint32_t kSizes[27] = {0,
                             sizeof(CameraState),
                             sizeof(ZoneEnvironment),
                             sizeof(EntityHeader),
                             sizeof(PointLight),
                             sizeof(MeshRef),
                             sizeof(ModelInstance),
                             sizeof(Transform),
                             sizeof(MotionState),
                             sizeof(MoveTrack),
                             sizeof(PositionHistory),
                             sizeof(PropBounds),
                             sizeof(ZoneResource),
                             sizeof(ZoneResource),
                             sizeof(AnimationState),
                             sizeof(SkeletonPose),
                             sizeof(SkinnedDraw),
                             sizeof(ZoneResource),
                             sizeof(SoundSource),
                             sizeof(GameObject),
                             sizeof(Creature),
                             sizeof(PlayerCharacter),
                             sizeof(LocalPlayer),
                             sizeof(ServerId),
                             sizeof(WaterSurface),
                             sizeof(PropC),
                             sizeof(PropD)};

PropCounts test_counts() {
  PropCounts counts = {};
  counts.per_space[SPACE_PROPS] = 10;
  counts.per_space[SPACE_WATER] = 2;
  counts.per_space[SPACE_LIGHTS] = 4;
  counts.per_space[SPACE_SOUNDS] = 1000000;
  counts.per_space[SPACE_PROPS_D] = 6;
  return counts;
}

int g_destroyed;
void count_destroy(void* handle) { g_destroyed += (int)(uintptr_t)handle; }

class GameWorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game_world_shutdown();
    game_world_replace(catalogue_world_create(42, nullptr));
  }
  void TearDown() override { game_world_shutdown(); }

  // What a spawn does with the catalogue: create, register the id, fill the object record.
  uint32_t spawn(uint32_t space, uint32_t server_id, int32_t attr_a = 0, uint32_t flags = 0,
                 uint32_t secondary = 0) {
    uint32_t handle = catalogue_entity_create(game_world(), space, 0, 3);
    EXPECT_EQ(entity_register_id(server_id, handle), 1);
    GameObject* object = object_by_id(server_id);
    EXPECT_NE(object, nullptr);
    object->server_id = server_id;
    object->attr_a = attr_a;
    object->flags = flags;
    object->secondary_id = secondary;
    object->name = name_table_intern("name");
    if (secondary) object_register_secondary(secondary, server_id);
    return handle;
  }
};

}  // namespace

TEST(Catalogue, SpacesComponentsAndSizes) {
  PropCounts counts = test_counts();
  EntityWorld* world = catalogue_world_create(7, &counts);
  EXPECT_EQ(world->tag, 7u);
  for (const SpaceRow& row : kSpaceRows) {
    EntitySpace* space = world_space(world, row.space);
    ASSERT_NE(space, nullptr) << row.space;
    EXPECT_EQ(space->capacity, row.indices) << "space " << row.space;
    EXPECT_EQ(space->pool_count, row.components.size()) << "space " << row.space;
    for (uint32_t type = 0; type < WORLD_COMPONENT_TYPES; type++) {
      ComponentPool* pool = space_pool(space, type);
      ASSERT_EQ(pool != nullptr, row.components.count(type) == 1)
          << "space " << row.space << " type " << type;
      if (pool) {
        EXPECT_EQ(pool->element_size, kSizes[type]) << "type " << type;
      }
    }
  }
  // Nothing but the thirteen spaces.
  for (uint32_t s = 0; s < WORLD_SPACE_COUNT; s++)
    EXPECT_EQ(world_space(world, s) != nullptr, s >= 1 && s <= 13) << s;
  world_destroy(world);
}

TEST(Catalogue, ZoneResourcesAreDestroyedWithTheWorld) {
  g_destroyed = 0;
  EntityWorld* world = catalogue_world_create(1, nullptr);
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  uintptr_t weights[] = {1, 10, 100};
  uint32_t types[] = {12, 13, 17};
  for (int i = 0; i < 3; i++) {
    ZoneResource* r = (ZoneResource*)entity_component(world, types[i], env);
    r->handle = (void*)weights[i];
    r->destroy = count_destroy;
  }
  world_destroy(world);
  EXPECT_EQ(g_destroyed, 111);
}

TEST(Catalogue, PropSpaceByFlagsThenKind) {
  struct Case {
    uint32_t light, sound, kind, space;
  } cases[] = {
      {1, 1, 4, 6},   // the light flag wins over everything
      {0, 7, 4, 12},  // then the sound flag
      {0, 0, 4, 4},  {0, 0, 5, 5}, {0, 0, 6, 13}, {0, 0, 0, 3}, {0, 0, 7, 3}, {0, 0, 0xFFFFFFFF, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(catalogue_prop_space(c.light, c.sound, c.kind), c.space)
        << c.light << c.sound << " kind " << c.kind;
}

TEST(Catalogue, StartingValues) {
  EntityWorld* world = catalogue_world_create(1, nullptr);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  uint32_t player = catalogue_entity_create(world, SPACE_PLAYERS, 0, 3);
  uint32_t prop = catalogue_entity_create(world, SPACE_PROPS, 77, 5);
  const CameraState* c = (const CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  EXPECT_FLOAT_EQ(c->near_plane, 0.1f);
  EXPECT_FLOAT_EQ(c->fov_degrees, 60.0f);
  const MotionState* m = (const MotionState*)entity_component(world, COMPONENT_MOTION_STATE, player);
  EXPECT_FLOAT_EQ(m->height, 2.0f);
  EXPECT_FLOAT_EQ(m->radius, 0.5f);
  EXPECT_FLOAT_EQ(m->centre_offset, 1.025f);
  EXPECT_FLOAT_EQ(((const MoveTrack*)entity_component(world, COMPONENT_MOVE_TRACK, player))->average, 0.1f);
  const EntityHeader* h = (const EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, player);
  EXPECT_EQ(h->handle, player);
  EXPECT_EQ(h->flags, 3u);
  EXPECT_EQ(h->static_flag, 0u);
  const EntityHeader* ph = (const EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, prop);
  EXPECT_EQ(ph->static_flag, 1u);
  EXPECT_EQ(ph->value, 77u);
  EXPECT_EQ(((const ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, prop))->visible, 1u);
  EXPECT_EQ(catalogue_entity_create(world, 14, 0, 0), 0u);
  world_destroy(world);
}

// Published FNV-1a 32 vectors for the hash the name table keys on.
TEST(NameTable, FnvVectorsAndInterning) {
  struct Case {
    const char* text;
    uint32_t hash;
  } cases[] = {{"", 0x811C9DC5u}, {"a", 0xE40C292Cu}, {"foobar", 0xBF9CF968u}};
  for (const Case& c : cases) EXPECT_EQ(string_hash_fnv(c.text), c.hash) << c.text;
  name_table_shutdown();
  char buffer[] = "Aldren";
  const char* a = name_table_intern(buffer);
  buffer[0] = 'X';  // the table keeps its own copy
  EXPECT_STREQ(a, "Aldren");
  EXPECT_EQ(name_table_intern("Aldren"), a);
  EXPECT_STREQ(name_table_intern(nullptr), "");
  EXPECT_STREQ(name_table_intern(""), "");
  EXPECT_EQ(name_table_count(), 1u);
  name_table_reset();
  EXPECT_EQ(name_table_count(), 0u);
  name_table_shutdown();
}

// A server sending ever new names fills the table only up to its byte limit; later new
// names read as empty, names already held still intern to themselves.
TEST(NameTable, StopsGrowingAtItsLimit) {
  name_table_shutdown();
  std::string text(4095, 'x');
  uint32_t stored = 0;
  for (uint32_t i = 0; i < NAME_TABLE_MAX_BYTES / 4096 + 10; i++) {
    snprintf(&text[0], 12, "%010u", i);
    text[10] = 'x';
    if (*name_table_intern(text.c_str())) stored++;
  }
  EXPECT_EQ(stored, NAME_TABLE_MAX_BYTES / 4096);
  EXPECT_EQ(name_table_count(), stored);
  snprintf(&text[0], 12, "%010u", 0u);
  text[10] = 'x';
  EXPECT_STREQ(name_table_intern(text.c_str()), text.c_str());
  name_table_reset();
  EXPECT_STRNE(name_table_intern("after reset"), "");
  name_table_shutdown();
}

TEST_F(GameWorldTest, LookupsByRecordKind) {
  spawn(SPACE_OBJECTS, 100);
  spawn(SPACE_CREATURES, 200);
  spawn(SPACE_PLAYERS, 300);
  spawn(SPACE_LOCAL_PLAYER, 400);
  struct Case {
    uint32_t id, component;  // the record every view of this id must point at
    bool object, creature, player, local;
  } cases[] = {
      {100, 19, true, false, false, false}, {200, 20, true, true, false, false},
      {300, 21, true, true, true, false},   {400, 22, true, true, true, true},
      {999, 0, false, false, false, false},
  };
  for (const Case& c : cases) {
    void* record = c.component ? entity_component(game_world(), c.component, entity_by_id(c.id)) : nullptr;
    EXPECT_EQ(object_by_id(c.id), c.object ? record : nullptr) << c.id;
    EXPECT_EQ((void*)creature_by_id(c.id), c.creature ? record : nullptr) << c.id;
    EXPECT_EQ((void*)player_by_id(c.id), c.player ? record : nullptr) << c.id;
    EXPECT_EQ((void*)local_by_id(c.id), c.local ? record : nullptr) << c.id;
    if (c.object) {
      EXPECT_EQ(object_by_id(c.id)->server_id, c.id);
    }
  }
  EXPECT_EQ(local_player_id(), 400u);
  const ServerId* sid =
      (const ServerId*)entity_component(game_world(), COMPONENT_SERVER_ID, entity_by_id(200));
  EXPECT_EQ(sid->id, 200u);
}

TEST_F(GameWorldTest, LocalPlayerIdAndUnknownRemovals) {
  EXPECT_EQ(local_player_id(), 0u);
  spawn(SPACE_CREATURES, 5);
  entity_remove_by_id(6);  // unknown: nothing happens
  EXPECT_EQ(game_world_id_count(), 1u);
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_CREATURES)), 1u);
  entity_remove_by_id(5);
  EXPECT_EQ(entity_by_id(5), 0u);
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_CREATURES)), 0u);
}

TEST_F(GameWorldTest, TargetKindRulePrecedence) {
  const uint32_t F26 = 1u << 26;
  struct Case {
    int32_t attr_a;
    uint32_t flags, kind;
  } cases[] = {
      {0x200 | 0x1000, 0, 512},      // bit 9 without flag 26 beats bit 12
      {0x200 | 0x1000, F26, 4096},   // flag 26 disables the bit 9 rule
      {0x1000 | 0x2000, 0, 4096},    // bit 12 before 13
      {0x2000 | 0x800, 0, 8192},     // 13 before 11
      {0x800 | 0x4000, 0, 2048},     // 11 before 14
      {0x4000 | 0x400, F26, 16384},  // 14 before the bit 10 rule
      {0x400 | 0x20, F26, 1024},     // bit 10 needs flag 26
      {0x400 | 0x20, 0, 32},         // without it: attr_a & 32
      {0x400, 0, 0},
      {-1, F26, 4096},
      {0, 0, 0},
  };
  uint32_t id = 1;
  for (const Case& c : cases) {
    spawn(SPACE_OBJECTS, id, c.attr_a, c.flags);
    EXPECT_EQ(object_target_kind(id), c.kind) << std::hex << c.attr_a << " flags " << c.flags;
    id++;
  }
  EXPECT_EQ(object_target_kind(9999), 0u);
}

// A repeated spawn of an id replaces the entity that had it.
TEST_F(GameWorldTest, RespawnReplacesTheOldEntity) {
  uint32_t first = spawn(SPACE_CREATURES, 50);
  uint32_t other = spawn(SPACE_CREATURES, 51);
  uint32_t second = spawn(SPACE_OBJECTS, 50);
  EXPECT_FALSE(entity_alive(game_world(), first));
  EXPECT_EQ(entity_by_id(50), second);
  EXPECT_EQ(entity_by_id(51), other);
  EXPECT_EQ(space_entity_count(world_space(game_world(), SPACE_CREATURES)), 1u);
  EXPECT_EQ(game_world_id_count(), 2u);
  EXPECT_EQ(creature_by_id(50), nullptr);
  EXPECT_NE(object_by_id(50), nullptr);
}

// Removing an object forgets its secondary id only while that id still maps to it.
TEST_F(GameWorldTest, SecondaryIdEntryBelongsToItsCurrentOwner) {
  spawn(SPACE_OBJECTS, 10, 0, 0, 777);
  EXPECT_EQ(object_by_secondary(777)->server_id, 10u);
  spawn(SPACE_OBJECTS, 11, 0, 0, 777);  // takes the secondary id over
  EXPECT_EQ(object_by_secondary(777)->server_id, 11u);
  entity_remove_by_id(10);
  ASSERT_NE(object_by_secondary(777), nullptr);
  EXPECT_EQ(object_by_secondary(777)->server_id, 11u);
  entity_remove_by_id(11);
  EXPECT_EQ(object_by_secondary(777), nullptr);
  EXPECT_EQ(game_world_secondary_count(), 0u);
}

// A handle whose index was reused by another entity is not that id's entity any more.
TEST_F(GameWorldTest, StaleHandleIsNotFollowed) {
  uint32_t handle = spawn(SPACE_CREATURES, 60);
  entity_destroy(game_world(), handle);  // behind the maps' back
  uint32_t reuse = spawn(SPACE_CREATURES, 61);
  ASSERT_EQ(reuse, handle);
  EXPECT_EQ(entity_by_id(60), 0u);
  EXPECT_EQ(object_by_id(60), nullptr);
  entity_remove_by_id(60);
  EXPECT_TRUE(entity_alive(game_world(), reuse));
  EXPECT_EQ(object_by_id(61)->server_id, 61u);
}

// An entity answers to the id it was registered with last; the earlier id no longer reaches
// it, and removing that id leaves it alone.
TEST_F(GameWorldTest, ReregisteringAnEntityForgetsItsEarlierId) {
  uint32_t handle = spawn(SPACE_CREATURES, 70);
  ASSERT_EQ(entity_register_id(71, handle), 1);
  EXPECT_EQ(entity_by_id(70), 0u);
  EXPECT_EQ(object_by_id(70), nullptr);
  EXPECT_EQ(entity_by_id(71), handle);
  EXPECT_EQ(((const ServerId*)entity_component(game_world(), COMPONENT_SERVER_ID, handle))->id, 71u);
  EXPECT_EQ(game_world_id_count(), 1u);
  entity_remove_by_id(70);
  EXPECT_TRUE(entity_alive(game_world(), handle));
  entity_remove_by_id(71);
  EXPECT_FALSE(entity_alive(game_world(), handle));
}

int g_listener_calls;
EntityWorld* g_listener_world;
void listener(EntityWorld* world) {
  g_listener_calls++;
  g_listener_world = world;
  // Listeners run after the maps and names are emptied.
  EXPECT_EQ(game_world_id_count(), 0u);
  EXPECT_EQ(name_table_count(), 0u);
}

TEST_F(GameWorldTest, ReplacingTheWorldEmptiesMapsAndNames) {
  spawn(SPACE_OBJECTS, 1, 0, 0, 5);
  spawn(SPACE_PLAYERS, 2);
  EXPECT_GT(name_table_count(), 0u);
  g_listener_calls = 0;
  ASSERT_EQ(game_world_listen(listener), 1);
  EXPECT_EQ(game_world_listen(listener), 0);
  EntityWorld* next = catalogue_world_create(43, nullptr);
  game_world_replace(next);
  EXPECT_EQ(g_listener_calls, 1);
  EXPECT_EQ(g_listener_world, next);
  EXPECT_EQ(game_world(), next);
  EXPECT_EQ(game_world_id_count(), 0u);
  EXPECT_EQ(game_world_secondary_count(), 0u);
  EXPECT_EQ(name_table_count(), 0u);
  EXPECT_EQ(object_by_id(1), nullptr);
  EXPECT_EQ(object_by_secondary(5), nullptr);
  game_world_unlisten(listener);
  game_world_replace(catalogue_world_create(44, nullptr));
  EXPECT_EQ(g_listener_calls, 1);
}
