#include "game/model_bounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "game/catalogue.h"

namespace {

// GLM composes column-vector matrices right to left; its column-major memory of
// T x Rz x Ry x Rx x S is our row-major scale-first matrix.
TEST(ModelMatrix, MatchesGlmComposition) {
  struct Case {
    Transform t;
  } cases[] = {
      {{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}}},
      {{{1, 2, 3}, {0, 90, 0}, {2, 1, 1}}},
      {{{-5, 0.5f, 12}, {30, -45, 60}, {1, 3, 0.5f}}},
      {{{100, -20, 7}, {180, 270, -15}, {0.25f, 0.25f, 4}}},
  };
  for (const Case& c : cases) {
    Mat4 m;
    transform_model_matrix(&c.t, &m);
    glm::mat4 g = glm::translate(glm::mat4(1), glm::vec3(c.t.position.x, c.t.position.y, c.t.position.z)) *
                  glm::rotate(glm::mat4(1), glm::radians(c.t.rotation.z), glm::vec3(0, 0, 1)) *
                  glm::rotate(glm::mat4(1), glm::radians(c.t.rotation.y), glm::vec3(0, 1, 0)) *
                  glm::rotate(glm::mat4(1), glm::radians(c.t.rotation.x), glm::vec3(1, 0, 0)) *
                  glm::scale(glm::mat4(1), glm::vec3(c.t.scale.x, c.t.scale.y, c.t.scale.z));
    const float* ref = glm::value_ptr(g);
    for (int i = 0; i < 16; i++)
      EXPECT_NEAR(m.m[i], ref[i], 1e-4f * (1 + std::fabs(ref[i]))) << "element " << i;
  }
}

Bounds g_mesh_local;
int mesh_bounds(uint32_t mesh_id, uint32_t, Bounds* out) {
  if (mesh_id != 5) return 0;
  *out = g_mesh_local;
  return 1;
}
float g_sample;
int g_samples;
int light_sample(const Bounds*, float* out) {
  g_samples++;
  *out = g_sample;
  return 1;
}
int callback_bounds(EntityWorld*, uint32_t, Bounds* out) {
  *out = bounds_make({-9, -9, -9}, {9, 9, 9});
  return 1;
}

class ModelBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = catalogue_world_create(1, nullptr);
    g_mesh_local = bounds_make({-1, 0, -1}, {1, 2, 1});
    g_sample = 0.5f;
    g_samples = 0;
    model_bounds_set_mesh_source(mesh_bounds);
    model_bounds_set_light_source(light_sample);
  }
  void TearDown() override {
    model_bounds_set_mesh_source(nullptr);
    model_bounds_set_light_source(nullptr);
    world_destroy(world);
  }
  uint32_t make(uint32_t space, uint32_t mesh_id, Vec3 position) {
    uint32_t h = catalogue_entity_create(world, space, 0, 0);
    ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, h))->mesh_id = mesh_id;
    ((Transform*)entity_component(world, COMPONENT_TRANSFORM, h))->position = position;
    return h;
  }
  ModelInstance* instance(uint32_t h) {
    return (ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, h);
  }
  EntityWorld* world;
};

TEST_F(ModelBoundsTest, DynamicEntitiesFollowTheirTransformAndLight) {
  uint32_t h = make(SPACE_CREATURES, 5, {10, 0, 0});
  model_bounds_update(world, 0.1f);
  ModelInstance* m = instance(h);
  EXPECT_EQ(m->updated, 1);
  EXPECT_FLOAT_EQ(m->world_bounds.min.x, 9);
  EXPECT_FLOAT_EQ(m->world_bounds.max.y, 2);
  EXPECT_FLOAT_EQ(m->light, 0.5f);  // first sample as is
  // Later samples are approached by at most dt per frame, both ways.
  g_sample = 1.0f;
  model_bounds_update(world, 0.1f);
  EXPECT_NEAR(instance(h)->light, 0.6f, 1e-6);
  model_bounds_update(world, 1.0f);
  EXPECT_FLOAT_EQ(instance(h)->light, 1.0f);
  g_sample = 0.95f;
  model_bounds_update(world, 0.5f);
  EXPECT_FLOAT_EQ(instance(h)->light, 0.95f);
  // Moving the entity moves its bounds the next frame.
  ((Transform*)entity_component(world, COMPONENT_TRANSFORM, h))->position = {0, 5, 0};
  model_bounds_update(world, 0.1f);
  EXPECT_FLOAT_EQ(instance(h)->world_bounds.min.y, 5);
}

TEST_F(ModelBoundsTest, CallbackWinsAndFailuresAreKeptApart) {
  uint32_t with_callback = make(SPACE_OBJECTS, 5, {0, 0, 0});
  instance(with_callback)->bounds_fn = callback_bounds;
  uint32_t unknown_mesh = make(SPACE_OBJECTS, 6, {0, 0, 0});
  uint32_t inactive = make(SPACE_OBJECTS, 5, {0, 0, 0});
  ((EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, inactive))->active = 0;
  uint32_t not_finite = make(SPACE_OBJECTS, 5, {NAN, 0, 0});
  model_bounds_update(world, 0.1f);
  EXPECT_FLOAT_EQ(instance(with_callback)->world_bounds.max.x, 9);
  EXPECT_EQ(instance(unknown_mesh)->updated, 0);
  EXPECT_EQ(instance(inactive)->updated, 0);
  EXPECT_EQ(instance(not_finite)->updated, 0);
  EXPECT_EQ(g_samples, 1);
}

TEST_F(ModelBoundsTest, PropsAreComputedOnceWhenBothStepsSucceed) {
  uint32_t prop = make(SPACE_PROPS, 6, {1, 1, 1});  // mesh not known yet
  model_bounds_update(world, 0.1f);
  EXPECT_EQ(instance(prop)->update_due, 1);
  ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, prop))->mesh_id = 5;
  model_bounds_update(world, 0.1f);
  EXPECT_EQ(instance(prop)->update_due, 0);
  EXPECT_FLOAT_EQ(instance(prop)->world_bounds.min.x, 0);
  // Not recomputed afterwards.
  ((Transform*)entity_component(world, COMPONENT_TRANSFORM, prop))->position = {50, 50, 50};
  model_bounds_update(world, 0.1f);
  EXPECT_FLOAT_EQ(instance(prop)->world_bounds.min.x, 0);
  EXPECT_EQ(g_samples, 1);
}

TEST(ModelBoundsStubs, AnswerNoMeshAndFullLight) {
  Bounds b;
  float light = 0;
  EXPECT_EQ(model_mesh_bounds_stub(1, 0, &b), 0);
  EXPECT_EQ(zone_light_sample_stub(&b, &light), 1);
  EXPECT_EQ(light, 1.0f);
}

}  // namespace
