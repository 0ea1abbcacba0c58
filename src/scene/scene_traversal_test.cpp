#include "scene/scene_traversal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <random>
#include <vector>

#include "game/catalogue.h"
#include "scene/model_draw.h"
#include "scene/sprite_props.h"
#include "scene/water.h"

namespace {

struct Seen {
  int32_t layer;
  int32_t key;
  RenderItemFn fn;
  ScenePayload payload;
};

void collect(const RenderItem* item, void* context) {
  Seen s;
  s.layer = item->layer;
  s.key = item->key;
  s.fn = item->fn;
  memcpy(&s.payload, item->payload, sizeof s.payload);
  ((std::vector<Seen>*)context)->push_back(s);
}

// The items one pass submitted, layer by layer.
std::vector<Seen> traverse(EntityWorld* world, const Camera* camera) {
  render_layers_empty();
  scene_traverse(world, camera);
  std::vector<Seen> seen;
  for (int l = 0; l < RENDER_LAYER_COUNT; l++) render_layers_visit(l, collect, &seen);
  render_layers_empty();
  return seen;
}

// At the origin looking down -z: 60 degrees, 4:3, 0.1 .. 100.
Camera forward_camera(void) {
  Camera c;
  camera_build(&c, 0, 0, 0, 0, 0, 0, 60, 0.1f, 100, 640, 480);
  return c;
}

enum Place { INSIDE, CROSSING, OUTSIDE };
// A unit box wholly in view, across the right edge of the view, or behind the camera.
Vec3 place_centre(Place p) {
  switch (p) {
    case INSIDE:
      return {0, 0, -10};
    case CROSSING:
      return {7.7f, 0, -10};  // the view's half width at depth 10 is tan 30 x 10 x 4/3
    default:
      return {0, 0, 10};
  }
}

class Traversal : public ::testing::Test {
 protected:
  void SetUp() override {
    render_layers_startup();
    world = catalogue_world_create(1, nullptr);
  }
  void TearDown() override {
    world_destroy(world);
    render_layers_shutdown();
  }
  template <typename T>
  T* get(uint32_t type, uint32_t h) {
    return (T*)entity_component(world, type, h);
  }
  EntityWorld* world;
};

TEST_F(Traversal, SpacesFlagsMeshesAndCullingDecideLayerKeyAndClipping) {
  const uint32_t HIDDEN = ENTITY_FLAG_HIDDEN, SECOND = PROP_FLAG_SECOND_PASS;
  struct Case {
    const char* what;
    uint32_t space;
    uint32_t flags;
    uint32_t mesh_id;
    Place place;
    bool drawn;
    int32_t layer, key;
    uint32_t inside;
  } cases[] = {
      {"creature inside", SPACE_CREATURES, 0, 42, INSIDE, true, 1, 42, 1},
      {"creature crossing: clipped", SPACE_CREATURES, 0, 42, CROSSING, true, 1, 42, 0},
      {"creature behind", SPACE_CREATURES, 0, 42, OUTSIDE, false, 0, 0, 0},
      {"creature hidden", SPACE_CREATURES, HIDDEN, 42, INSIDE, false, 0, 0, 0},
      {"creature without mesh", SPACE_CREATURES, 0, 0, INSIDE, false, 0, 0, 0},
      {"the second-pass flag is for props only", SPACE_CREATURES, SECOND, 42, INSIDE, true, 1, 42, 1},
      {"local player", SPACE_LOCAL_PLAYER, 3, 7, INSIDE, true, 1, 7, 1},
      {"other player", SPACE_PLAYERS, 3, 8, CROSSING, true, 1, 8, 0},
      {"object", SPACE_OBJECTS, 0, 9, INSIDE, true, 1, 9, 1},
      {"animated prop", SPACE_PROPS_D, SECOND, 13, INSIDE, true, 1, 13, 1},
      {"preview model", SPACE_PREVIEW, 0, 11, INSIDE, true, 1, 11, 1},
      {"preview model hidden", SPACE_PREVIEW, HIDDEN | 3, 11, INSIDE, false, 0, 0, 0},
      {"plain prop", SPACE_PROPS, 0, 5, INSIDE, true, 1, 5, 1},
      {"plain prop, second pass", SPACE_PROPS, SECOND | 1, 5, CROSSING, true, 2, 5, 0},
      {"plain prop behind", SPACE_PROPS, SECOND, 5, OUTSIDE, false, 0, 0, 0},
      {"plain prop without mesh", SPACE_PROPS, 0, 0, INSIDE, false, 0, 0, 0},
      {"plain prop hidden", SPACE_PROPS, HIDDEN | SECOND, 5, INSIDE, false, 0, 0, 0},
      {"water: its prop box", SPACE_WATER, 0, 0, INSIDE, true, 4, 0, 1},
      {"water crossing", SPACE_WATER, SECOND, 0, CROSSING, true, 4, 0, 0},
      {"water behind", SPACE_WATER, 0, 0, OUTSIDE, false, 0, 0, 0},
      {"water hidden", SPACE_WATER, HIDDEN, 0, INSIDE, false, 0, 0, 0},
      {"kind-5 prop: keyed by prop id", SPACE_PROPS_C, 0, 0, INSIDE, true, 5, 77, 0},
      {"kind-5 prop: never culled", SPACE_PROPS_C, 0, 0, OUTSIDE, true, 5, 77, 0},
      {"kind-5 prop hidden", SPACE_PROPS_C, HIDDEN, 0, INSIDE, false, 0, 0, 0},
      {"camera space is not drawn", SPACE_CAMERA, 0, 0, INSIDE, false, 0, 0, 0},
      {"lights are not drawn", SPACE_LIGHTS, 0, 0, INSIDE, false, 0, 0, 0},
  };
  const Camera camera = forward_camera();
  for (const Case& c : cases) {
    world_destroy(world);
    world = catalogue_world_create(1, nullptr);
    uint32_t h = catalogue_entity_create(world, c.space, 0, c.flags);
    ASSERT_NE(h, 0u) << c.what;
    Vec3 centre = place_centre(c.place);
    Bounds box = bounds_make({centre.x - 0.5f, centre.y - 0.5f, centre.z - 0.5f},
                             {centre.x + 0.5f, centre.y + 0.5f, centre.z + 0.5f});
    if (MeshRef* m = get<MeshRef>(COMPONENT_MESH_REF, h)) m->mesh_id = c.mesh_id;
    if (ModelInstance* m = get<ModelInstance>(COMPONENT_MODEL_INSTANCE, h)) m->world_bounds = box;
    if (PropBounds* b = get<PropBounds>(COMPONENT_PROP_BOUNDS, h)) {
      b->local = bounds_make({-0.25f, -0.25f, -0.25f}, {0.25f, 0.25f, 0.25f});
      Transform* t = get<Transform>(COMPONENT_TRANSFORM, h);
      t->position = centre;
      t->scale = {2, 2, 2};
    }
    if (PropC* p = get<PropC>(COMPONENT_PROP_C, h)) p->prop_id = 77;

    std::vector<Seen> seen = traverse(world, &camera);
    if (!c.drawn) {
      EXPECT_TRUE(seen.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(seen.size(), 1u) << c.what;
    EXPECT_EQ(seen[0].layer, c.layer) << c.what;
    EXPECT_EQ(seen[0].key, c.key) << c.what;
    EXPECT_EQ(seen[0].payload.inside, c.inside) << c.what;
    EXPECT_EQ(seen[0].payload.handle, h) << c.what;
    RenderItemFn want = c.layer == 4 ? water_draw : (c.layer == 5 ? sprite_prop_draw : model_dispatch);
    EXPECT_EQ(seen[0].fn, want) << c.what;
    if (c.space == SPACE_WATER) {
      for (int i = 0; i < 3; i++)
        EXPECT_FLOAT_EQ((&seen[0].payload.world_bounds.min.x)[i], (&box.min.x)[i]) << c.what << " prop box";
    }
  }
}

int own_bounds(EntityWorld*, uint32_t, Bounds*) { return 0; }

TEST_F(Traversal, PayloadCarriesWhatModelDrawingNeeds) {
  const Camera camera = forward_camera();
  uint32_t skinned = catalogue_entity_create(world, SPACE_CREATURES, 0, 3);
  uint32_t prop = catalogue_entity_create(world, SPACE_PROPS, 9, 0);
  for (uint32_t h : {skinned, prop}) {
    MeshRef* m = get<MeshRef>(COMPONENT_MESH_REF, h);
    m->mesh_id = 0x51000000u | h;  // ids that differ in their high bits
    m->word = 0xBEEF;
    get<ModelInstance>(COMPONENT_MODEL_INSTANCE, h)->world_bounds = bounds_make({-1, -1, -6}, {1, 1, -4});
    *get<Transform>(COMPONENT_TRANSFORM, h) = Transform{{1, 2, 3}, {10, 20, 30}, {2, 2, 2}};
  }
  get<ModelInstance>(COMPONENT_MODEL_INSTANCE, skinned)->bounds_fn = own_bounds;
  std::vector<Seen> seen = traverse(world, &camera);
  ASSERT_EQ(seen.size(), 2u);
  for (const Seen& s : seen) {
    bool is_skinned = s.payload.handle == skinned;
    uint32_t h = is_skinned ? skinned : prop;
    EXPECT_EQ(s.payload.mesh_id, 0x51000000u | h);
    EXPECT_EQ((uint32_t)s.key, 0x51000000u | h);
    EXPECT_EQ(s.payload.mesh_word, 0xBEEFu);
    EXPECT_EQ(memcmp(&s.payload.transform, get<Transform>(COMPONENT_TRANSFORM, h), sizeof(Transform)), 0);
    EXPECT_EQ(s.payload.world_bounds.min.z, -6.0f);
    EXPECT_EQ(s.payload.animation, is_skinned ? get<AnimationState>(COMPONENT_ANIMATION_STATE, h) : nullptr);
    EXPECT_EQ(s.payload.pose, is_skinned ? get<SkeletonPose>(COMPONENT_SKELETON_POSE, h) : nullptr);
    EXPECT_EQ(s.payload.skinned, is_skinned ? get<SkinnedDraw>(COMPONENT_SKINNED_DRAW, h) : nullptr);
    EXPECT_EQ(s.payload.bounds_fn, is_skinned ? own_bounds : nullptr);
  }
}

// Culling against an independent one: the box's corners through GLM's view-projection,
// tested against the six clip-space planes, and the frustum's own box from GLM's inverse.
TEST_F(Traversal, CullingMatchesCornersThroughGlm) {
  struct View {
    float x, y, z, ax, ay, az, fov;
  } views[] = {{0, 0, 0, 0, 0, 0, 60}, {5, 2, -3, 15, 40, 0, 75}, {-10, 8, 20, -30, 200, 10, 45}};
  std::mt19937 random(3);
  std::uniform_real_distribution<float> coordinate(-40, 40), extent(0.1f, 12);
  int counts[3] = {0, 0, 0};
  for (const View& v : views) {
    Camera camera;
    camera_build(&camera, v.x, v.y, v.z, v.ax, v.ay, v.az, v.fov, 0.5f, 60, 800, 600);
    glm::mat4 view = glm::rotate(glm::mat4(1), glm::radians(v.ax), {1, 0, 0}) *
                     glm::rotate(glm::mat4(1), glm::radians(-v.ay), {0, 1, 0}) *
                     glm::rotate(glm::mat4(1), glm::radians(v.az), {0, 0, 1}) *
                     glm::translate(glm::mat4(1), glm::vec3(-v.x, -v.y, -v.z));
    glm::mat4 vp = glm::perspective(glm::radians(v.fov), 800.0f / 600.0f, 0.5f, 60.0f) * view;
    glm::mat4 inverse = glm::inverse(vp);
    glm::vec3 lo(INFINITY), hi(-INFINITY);
    for (int i = 0; i < 8; i++) {
      glm::vec4 c = inverse * glm::vec4(i & 4 ? 1 : -1, i & 2 ? 1 : -1, i & 1 ? 1 : -1, 1);
      lo = glm::min(lo, glm::vec3(c) / c.w);
      hi = glm::max(hi, glm::vec3(c) / c.w);
    }
    for (int n = 0; n < 300; n++) {
      glm::vec3 centre(v.x + coordinate(random), v.y + coordinate(random), v.z + coordinate(random));
      glm::vec3 half(extent(random), extent(random), extent(random));
      glm::vec3 bmin = centre - half, bmax = centre + half;
      // Per clip plane (x, y, z against +-w): how many corners lie inside it.
      int inside_planes = 0;
      bool outside = false;
      for (int plane = 0; plane < 6; plane++) {
        int inside_corners = 0;
        for (int i = 0; i < 8; i++) {
          glm::vec4 p =
              vp * glm::vec4(i & 4 ? bmax.x : bmin.x, i & 2 ? bmax.y : bmin.y, i & 1 ? bmax.z : bmin.z, 1);
          float coord = p[plane / 2];
          if (plane % 2 ? coord < p.w : coord > -p.w) inside_corners++;
        }
        if (inside_corners == 0) outside = true;
        if (inside_corners == 8) inside_planes++;
      }
      bool overlaps = bmax.x >= lo.x && bmin.x <= hi.x && bmax.y >= lo.y && bmin.y <= hi.y &&
                      bmax.z >= lo.z && bmin.z <= hi.z;
      int want = !overlaps || outside ? 0 : (inside_planes == 6 ? 2 : 1);
      counts[want]++;

      world_destroy(world);
      world = catalogue_world_create(1, nullptr);
      uint32_t h = catalogue_entity_create(world, SPACE_OBJECTS, 0, 0);
      get<MeshRef>(COMPONENT_MESH_REF, h)->mesh_id = 1;
      get<ModelInstance>(COMPONENT_MODEL_INSTANCE, h)->world_bounds =
          bounds_make({bmin.x, bmin.y, bmin.z}, {bmax.x, bmax.y, bmax.z});
      std::vector<Seen> seen = traverse(world, &camera);
      int got = seen.empty() ? 0 : (seen[0].payload.inside ? 2 : 1);
      EXPECT_EQ(got, want) << "view " << (&v - views) << " box " << n;
    }
  }
  // The random boxes exercise all three outcomes.
  EXPECT_GT(counts[0], 50);
  EXPECT_GT(counts[1], 50);
  EXPECT_GT(counts[2], 10);
}

}  // namespace
