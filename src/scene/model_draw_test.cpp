#include "scene/model_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>
#include <vector>

#include "game/catalogue.h"
#include "game/game_world.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/scene_traversal.h"
#include "support/backend_testing.h"

namespace {

enum : int { OP_DRAW = 8 };

int g_pair = 1, g_hardware = 1;
int (*g_recording_draw)(DrawRecord*);
std::vector<std::vector<RenderVertex>> g_drawn;

int capture_draw(DrawRecord* r) {
  g_drawn.emplace_back(r->vertices, r->vertices + r->count);
  return g_recording_draw(r);
}
int install_recording(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  g_recording_draw = table->draw;
  table->draw = capture_draw;
  table->can_pair_textures = [](int32_t, int32_t) { return g_pair; };
  table->transforms_vertices = [] { return g_hardware; };
  return 1;
}

std::vector<DrawRecord> draws(void) {
  std::vector<DrawRecord> out;
  for (int i = 0; i < recording_backend_count(); i++)
    if (recording_backend_op(i)->slot == OP_DRAW) out.push_back(recording_backend_op(i)->record);
  return out;
}

// A mesh file: each vertex (position, normal bytes, bone); triangles over them in order.
struct TestVertex {
  float x, y, z;
  int8_t nx, ny, nz;
  uint16_t bone;
  uint32_t colour;
};

std::vector<uint8_t> mesh_file(const std::vector<TestVertex>& vs, bool skinned) {
  std::vector<uint8_t> b;
  auto put = [&](const void* p, size_t n) { b.insert(b.end(), (const uint8_t*)p, (const uint8_t*)p + n); };
  auto u32 = [&](uint32_t v) { put(&v, 4); };
  auto f32 = [&](float v) { put(&v, 4); };
  u32(MESH_UV | MESH_COLOUR | MESH_NORMAL | (skinned ? (uint32_t)MESH_SKIN : 0u));
  u32((uint32_t)vs.size());
  u32((uint32_t)vs.size() / 3);
  for (int i = 0; i < 6; i++) f32(i < 3 ? -1.0f : 1.0f);
  for (size_t i = 0; i < vs.size(); i++) {
    const TestVertex& v = vs[i];
    f32((float)i * 0.125f), f32(1.0f - (float)i * 0.0625f);
    u32(v.colour);
    int8_t n[3] = {v.nx, v.ny, v.nz};
    put(n, 3);
    if (skinned) {
      uint16_t bones[4] = {v.bone, 0, 0, 0};
      float weights[4] = {1, 0, 0, 0};
      put(bones, 8), put(weights, 16);
    }
    f32(v.x), f32(v.y), f32(v.z);
  }
  for (uint32_t i = 0; i < (uint32_t)vs.size() / 3 * 3; i++) u32(i);
  return b;
}

Mesh* make_mesh(uint32_t id, std::vector<TestVertex> vs, bool skinned) {
  std::vector<uint8_t> bytes = mesh_file(vs, skinned);
  Mesh* m = mesh_decode(bytes.data(), (uint32_t)bytes.size());
  if (m) m->id = id;
  return m;
}

// Meshes by id for the drawing's look-up; a missing id is still loading, FAILED_ID failed.
constexpr uint32_t FAILED_ID = 666;
std::vector<Mesh*> g_meshes;
const Mesh* test_meshes(uint32_t id, int* ready, int* failed) {
  if (id == FAILED_ID) {
    *ready = *failed = 1;
    return mesh_unit_cube();
  }
  for (Mesh* m : g_meshes)
    if (m->id == id) {
      *ready = 1;
      return m;
    }
  return nullptr;
}

class ModelDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pair = g_hardware = 1;
    ASSERT_TRUE(recording_backend_install(install_recording));
    draw_startup();
    model_draw_set_mesh_source(test_meshes);
    make_world(true, true);
    std::vector<TestVertex> triangle = {{0, 0, 0, 0, 127, 0, 0, 0x80808080u},
                                        {1, 0, 0, 0, 127, 0, 0, 0x80808080u},
                                        {0, 0, 1, 0, 127, 0, 0, 0x80808080u}};
    g_meshes.push_back(make_mesh(STATIC_MESH, triangle, false));
    std::vector<TestVertex> skinned;
    for (uint16_t bone : {0, 3, 39}) {
      for (TestVertex v : triangle) {
        v.bone = bone;
        v.y = bone;
        skinned.push_back(v);
      }
    }
    g_meshes.push_back(make_mesh(SKINNED_MESH, skinned, true));
    reset();
  }
  void TearDown() override {
    for (Mesh* m : g_meshes) mesh_destroy(m);
    g_meshes.clear();
    game_world_replace(nullptr);
    model_draw_set_mesh_source(nullptr);
    draw_shutdown();
    recording_backend_uninstall();
  }
  void reset() {
    recording_backend_reset();
    g_drawn.clear();
  }
  void make_world(bool camera, bool environment) {
    EntityWorld* world = catalogue_world_create(4, nullptr);
    game_world_replace(world);
    if (camera) {
      uint32_t h = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
      CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, h);
      camera_build(&c->camera, 0, 0, 0, 0, 0, 0, 60, 0.1f, 100, 640, 480);
      draw_set_view(&c->camera.view);
      draw_set_projection(&c->camera.projection);
    }
    if (environment) {
      uint32_t h = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
      ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, h);
      const float white[3] = {1, 1, 1};
      env_record_init(e, white, 10, 100, 20, 80, 0, 0);
    }
  }
  static ModelPayload static_payload(void) {
    ModelPayload p = {};
    p.mesh_id = STATIC_MESH;
    p.texture = 1000;
    p.position = {0, 0, -5};
    p.scale = {1, 1, 1};
    p.shade = 1;
    return p;
  }
  SkinnedModelPayload skinned_payload(const SkinnedPart* parts, uint32_t part_count, uint32_t bone_count) {
    SkinnedModelPayload p = {};
    p.position = {0, 0, -5};
    p.scale = {1, 1, 1};
    p.bones = bones;
    p.bone_count = bone_count;
    p.parts = parts;
    p.part_count = part_count;
    p.shade = 1;
    return p;
  }

  static constexpr uint32_t STATIC_MESH = 7, SKINNED_MESH = 8;
  Mat4 bones[64];
};

TEST_F(ModelDraw, StaticFlagsFollowAlphaTestInsideAndTexture) {
  struct Case {
    uint32_t alpha_test, inside;
    int32_t texture;
    uint32_t flags;
  } cases[] = {
      {0, 0, 1000, 0x20B}, {1, 0, 1000, 0x21B}, {0, 1, 1000, 0x28B},
      {1, 1, 1000, 0x29B}, {0, 0, 0, 0x20A},    {1, 1, 0, 0x29A},
  };
  for (const Case& c : cases) {
    reset();
    ModelPayload p = static_payload();
    p.alpha_test = c.alpha_test;
    p.inside = c.inside;
    p.texture = c.texture;
    model_draw(game_world(), &p);
    std::vector<DrawRecord> d = draws();
    ASSERT_EQ(d.size(), 1u) << c.flags;
    EXPECT_EQ(d[0].flags, c.flags);
    EXPECT_EQ(d[0].texture, c.texture);
    EXPECT_EQ(d[0].source_id, (int32_t)STATIC_MESH);
    EXPECT_EQ(d[0].index_total, 3u);
    EXPECT_EQ(d[0].depth_function, DEPTH_LESS);
  }
}

TEST_F(ModelDraw, StaticDrawsNothingWithoutItsInputs) {
  struct Case {
    const char* what;
    bool camera, environment;
    uint32_t mesh_id;
    Vec3 scale;
    size_t draws;
  } cases[] = {
      {"everything there", true, true, STATIC_MESH, {1, 1, 1}, 1},
      {"no environment", true, false, STATIC_MESH, {1, 1, 1}, 0},
      {"no camera", false, true, STATIC_MESH, {1, 1, 1}, 0},
      {"mesh still loading", true, true, 12345, {1, 1, 1}, 0},
      {"x scale 0", true, true, STATIC_MESH, {0, 1, 1}, 0},
      {"z scale 0", true, true, STATIC_MESH, {1, 1, 0}, 0},
      {"NaN scale", true, true, STATIC_MESH, {1, NAN, 1}, 0},
      {"failed mesh: the cube", true, true, FAILED_ID, {1, 1, 1}, 1},
  };
  for (const Case& c : cases) {
    make_world(c.camera, c.environment);
    reset();
    ModelPayload p = static_payload();
    p.mesh_id = c.mesh_id;
    p.scale = c.scale;
    model_draw(game_world(), &p);
    EXPECT_EQ(draws().size(), c.draws) << c.what;
  }
  reset();
  model_draw(game_world(), nullptr);
  EXPECT_TRUE(draws().empty());
}

// Texture layers: the first two paired in one pass when the backend can; every further
// layer blended over with depth writes off and depth less-or-equal.
TEST_F(ModelDraw, SkinnedPartLayersMakeTheirPasses) {
  const uint32_t LAYER = 0x22F;  // texture, cull, blend, depth test, no depth write, fog
  struct Pass {
    int32_t texture, texture2;
    uint32_t flags;
    int32_t depth;
  };
  struct Case {
    int pair;
    uint32_t t2, t3;
    std::vector<Pass> passes;
  } cases[] = {
      {1, 0, 0, {{11, 0, 0x20B, DEPTH_LESS}}},
      {1, 12, 0, {{11, 12, 0x20B, DEPTH_LESS}}},
      {1, 0, 13, {{11, 0, 0x20B, DEPTH_LESS}, {13, 0, LAYER, DEPTH_LESS_EQUAL}}},
      {1, 12, 13, {{11, 12, 0x20B, DEPTH_LESS}, {13, 0, LAYER, DEPTH_LESS_EQUAL}}},
      {0, 0, 0, {{11, 0, 0x20B, DEPTH_LESS}}},
      {0, 12, 0, {{11, 0, 0x20B, DEPTH_LESS}, {12, 0, LAYER, DEPTH_LESS_EQUAL}}},
      {0, 0, 13, {{11, 0, 0x20B, DEPTH_LESS}, {13, 0, LAYER, DEPTH_LESS_EQUAL}}},
      {0,
       12,
       13,
       {{11, 0, 0x20B, DEPTH_LESS}, {12, 0, LAYER, DEPTH_LESS_EQUAL}, {13, 0, LAYER, DEPTH_LESS_EQUAL}}},
  };
  for (const Case& c : cases) {
    g_pair = c.pair;
    reset();
    const SkinnedPart part = {SKINNED_MESH, 11, c.t2, c.t3, 0};
    SkinnedModelPayload p = skinned_payload(&part, 1, 40);
    skinned_model_draw(game_world(), &p);
    std::vector<DrawRecord> d = draws();
    ASSERT_EQ(d.size(), c.passes.size()) << "pair " << c.pair << " t2 " << c.t2 << " t3 " << c.t3;
    for (size_t i = 0; i < d.size(); i++) {
      EXPECT_EQ(d[i].texture, c.passes[i].texture) << i;
      EXPECT_EQ(d[i].texture2, c.passes[i].texture2) << i;
      EXPECT_EQ(d[i].flags, c.passes[i].flags) << i;
      EXPECT_EQ(d[i].depth_function, c.passes[i].depth) << i;
      EXPECT_EQ(d[i].source_id, (int32_t)SKINNED_MESH);
      EXPECT_EQ(d[i].index_total, 9u);
    }
    EXPECT_EQ(draw_record()->depth_function, DEPTH_LESS) << "depth function restored";
  }
  // Inside the view the layer keeps the inside bit.
  g_pair = 0;
  reset();
  const SkinnedPart part = {SKINNED_MESH, 11, 12, 0, 0};
  SkinnedModelPayload p = skinned_payload(&part, 1, 40);
  p.inside = 1;
  skinned_model_draw(game_world(), &p);
  std::vector<DrawRecord> d = draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].flags, 0x28Bu);
  EXPECT_EQ(d[1].flags, 0x2AFu);
}

TEST_F(ModelDraw, SkinnedPartsNeedReadySkinnedMeshesWithinThePose) {
  struct Case {
    const char* what;
    uint32_t mesh_id;
    uint32_t bone_count;
    int32_t drawn_source;  // 0: nothing drawn
  } cases[] = {
      {"last bone 39 of 40 bones", SKINNED_MESH, 40, (int32_t)SKINNED_MESH},
      {"last bone 39 of 39 bones", SKINNED_MESH, 39, 0},
      {"not skinned", STATIC_MESH, 40, 0},
      {"still loading", 4242, 40, 0},
      {"failed: the cube at the entity", FAILED_ID, 40, (int32_t)MESH_CUBE_ID},
  };
  for (const Case& c : cases) {
    reset();
    const SkinnedPart part = {c.mesh_id, 11, 0, 0, 0};
    SkinnedModelPayload p = skinned_payload(&part, 1, c.bone_count);
    skinned_model_draw(game_world(), &p);
    std::vector<DrawRecord> d = draws();
    if (!c.drawn_source) {
      EXPECT_TRUE(d.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(d.size(), 1u) << c.what;
    EXPECT_EQ(d[0].source_id, c.drawn_source) << c.what;
  }
  // Nothing without parts, bones, environment or camera.
  const SkinnedPart part = {SKINNED_MESH, 11, 0, 0, 0};
  SkinnedModelPayload none[3] = {skinned_payload(nullptr, 0, 40), skinned_payload(&part, 1, 0),
                                 skinned_payload(&part, 1, 40)};
  none[2].bones = nullptr;
  for (const SkinnedModelPayload& p : none) {
    reset();
    skinned_model_draw(game_world(), &p);
    EXPECT_TRUE(draws().empty());
  }
  for (int which = 0; which < 2; which++) {
    make_world(which == 0, which == 1);
    reset();
    SkinnedModelPayload p = skinned_payload(&part, 1, 40);
    skinned_model_draw(game_world(), &p);
    EXPECT_TRUE(draws().empty()) << (which ? "no camera" : "no environment");
  }
}

// The scene pass's item: parts and bones make a skinned draw; anything else is a static draw
// textured by the mesh reference's word, alpha-tested for second-pass props.
TEST_F(ModelDraw, DispatcherSendsEachEntityToItsKind) {
  for (Mat4& m : bones) m = MAT4_IDENTITY;
  SkeletonPose pose = {bones, 40};
  const SkinnedPart part = {SKINNED_MESH, 21, 0, 0, 0};
  SkinnedDraw skinned = {&part, 1};
  struct Case {
    const char* what;
    bool pose, parts;
    uint32_t alpha_test;
    int32_t source, texture;
    uint32_t flags;
  } cases[] = {
      {"character", true, true, 0, (int32_t)SKINNED_MESH, 21, 0x20B},
      {"no parts", true, false, 0, (int32_t)STATIC_MESH, 31, 0x20B},
      {"no pose", false, true, 0, (int32_t)STATIC_MESH, 31, 0x20B},
      {"second-pass prop", false, false, 1, (int32_t)STATIC_MESH, 31, 0x21B},
  };
  for (const Case& c : cases) {
    reset();
    ScenePayload s = {};
    s.mesh_id = STATIC_MESH;
    s.mesh_word = 31;
    s.transform = {{0, 0, -5}, {0, 0, 0}, {1, 1, 1}};
    s.pose = c.pose ? &pose : nullptr;
    s.skinned = c.parts ? &skinned : nullptr;
    s.alpha_test = c.alpha_test;
    s.shade = 1;
    model_dispatch(game_world(), &s);
    std::vector<DrawRecord> d = draws();
    ASSERT_EQ(d.size(), 1u) << c.what;
    EXPECT_EQ(d[0].source_id, c.source) << c.what;
    EXPECT_EQ(d[0].texture, c.texture) << c.what;
    EXPECT_EQ(d[0].flags, c.flags) << c.what;
  }
}

// Skinned positions against GLM: with hardware transformation each vertex is moved by its
// bone alone; without, by bone x model x view x projection, so the output is clip space.
TEST_F(ModelDraw, SkinningMatchesGlmUnderBothPaletteRules) {
  std::mt19937 rng(84);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<TestVertex> vs;
  for (int i = 0; i < 60; i++)
    vs.push_back({u(rng) * 3, u(rng) * 3, u(rng) * 3, 0, 127, 0, (uint16_t)(rng() % 12), 0x80808080u});
  Mesh* mesh = make_mesh(99, vs, true);
  ASSERT_TRUE(mesh);
  g_meshes.push_back(mesh);
  for (int hardware = 0; hardware < 2; hardware++) {
    g_hardware = hardware;
    for (Mat4& m : bones) {
      for (float& f : m.m) f = u(rng);
      m.m[15] = 1;
    }
    reset();
    const SkinnedPart part = {99, 11, 0, 0, 0};
    SkinnedModelPayload p = skinned_payload(&part, 1, 12);
    p.rotation = {10, 70, -20};
    p.scale = {1.5f, 1.5f, 1.5f};
    skinned_model_draw(game_world(), &p);
    ASSERT_EQ(g_drawn.size(), 1u);
    const std::vector<RenderVertex>& out = g_drawn[0];
    ASSERT_EQ(out.size(), mesh->vertex_count);
    const DrawRecord r = draws()[0];
    glm::mat4 rest = glm::make_mat4(r.projection.m) * glm::make_mat4(r.view.m) * glm::make_mat4(r.model.m);
    for (uint32_t i = 0; i < mesh->vertex_count; i++) {
      const RenderVertex& v = mesh->vertices[i];
      glm::mat4 bone = glm::make_mat4(bones[mesh->skin[i].bones[0]].m);
      glm::vec4 want = (hardware ? bone : rest * bone) * glm::vec4(v.x, v.y, v.z, 1.0f);
      const float got[4] = {out[i].x, out[i].y, out[i].z, out[i].w};
      for (int k = 0; k < 4; k++) {
        float scale = std::fmax(1.0f, std::fabs(want[k]));
        EXPECT_NEAR(got[k], want[k], 2e-5f * scale * 8)
            << "hardware " << hardware << " vertex " << i << " lane " << k;
      }
    }
  }
}

TEST(ModelLight, InverseScaleIsExactlyOneNearOne) {
  struct Case {
    Vec3 scale, inverse;
  } cases[] = {
      {{1, 1, 1.00005f}, {1, 1, 1}},
      {{0.99992f, 1.00009f, 1}, {1, 1, 1}},
      {{1, 1, 1.0002f}, {1, 1, 1.0f / 1.0002f}},
      {{2, 4, 0.5f}, {0.5f, 0.25f, 2}},
      {{-1, 1, 1}, {-1, 1, 1}},
  };
  for (const Case& c : cases) {
    ModelLightBlock b;
    ASSERT_TRUE(model_light_block_init(&b, {0, 0, 0}, {0, 0, 0}, c.scale, 1, nullptr));
    EXPECT_EQ(b.inverse_scale.x, c.inverse.x) << c.scale.x << " " << c.scale.y << " " << c.scale.z;
    EXPECT_EQ(b.inverse_scale.y, c.inverse.y);
    EXPECT_EQ(b.inverse_scale.z, c.inverse.z);
  }
  struct Shade {
    float level;
    uint32_t word;
  } shades[] = {{1, 0xFF000000u},    {0, 0},           {0.5f, 0x80000000u},
                {0.2f, 0x33000000u}, {2, 0xFF000000u}, {-1, 0}};
  for (const Shade& s : shades) {
    ModelLightBlock b;
    ASSERT_TRUE(model_light_block_init(&b, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, s.level, nullptr));
    EXPECT_EQ(b.constant, s.word) << s.level;
  }
}

}  // namespace
