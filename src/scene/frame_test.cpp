#include "scene/frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/ini.h"
#include "base/mem.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "render/draw.h"
#include "scene/environment.h"
#include "scene/model_draw.h"
#include "scene/render_layers.h"
#include "scene/water.h"
#include "settings/settings.h"
#include "support/backend_testing.h"
#include "support/test_files.h"

namespace {

// The recording backend, with each draw's mesh id kept beside the log.
int (*g_recording_draw)(DrawRecord*);
std::vector<int32_t> g_draw_meshes;
int capture_draw(DrawRecord* r) {
  g_draw_meshes.push_back(r->source_id);
  return g_recording_draw(r);
}

// Every mesh is a unit cube under its own id.
const Mesh* cube_meshes(uint32_t mesh_id, int* ready, int* failed) {
  static Mesh meshes[8];
  meshes[mesh_id & 7] = *mesh_unit_cube();
  meshes[mesh_id & 7].id = mesh_id;
  *ready = 1;
  *failed = 0;
  return &meshes[mesh_id & 7];
}
int install_recording(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  g_recording_draw = table->draw;
  table->draw = capture_draw;
  return 1;
}

// The installed interface draw leaves a grey colour clear in the log as its mark.
void interface_mark(void) { render_clear(0.5f, 0.5f, 0.5f, CLEAR_COLOUR); }

enum : int { OP_BEGIN = 4, OP_END = 5, OP_PRESENT = 6, OP_CLEAR = 7, OP_DRAW = 8, OP_SET_VSYNC = 14 };

struct Op {
  int slot;
  float colour[3];
  uint32_t flags;
  int32_t arg;
};

// The calls of the frame's passes, without the backend queries between them.
std::vector<Op> frame_ops(void) {
  std::vector<Op> ops;
  for (int i = 0; i < recording_backend_count(); i++) {
    const RecordedOp* r = recording_backend_op(i);
    if (r->slot == OP_BEGIN || r->slot == OP_END || r->slot == OP_PRESENT || r->slot == OP_CLEAR ||
        r->slot == OP_DRAW || r->slot == OP_SET_VSYNC)
      ops.push_back({r->slot, {r->colour[0], r->colour[1], r->colour[2]}, r->flags, r->args[0]});
  }
  return ops;
}

std::vector<int> slots_of(const std::vector<Op>& ops) {
  std::vector<int> slots;
  for (const Op& op : ops) slots.push_back(op.slot);
  return slots;
}

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(recording_backend_install(install_recording));
    recording_backend_configure(1, PF_RGBA8888, 640, 480);
    draw_startup();
    frame_startup();
    model_draw_set_mesh_source(cube_meshes);
    frame_set_interface_draw(interface_mark);
    settings_load((dir / "settings.ini").c_str());
    water_set_camera_in_liquid(0, nullptr);
    reset_log();
  }
  void TearDown() override {
    game_world_replace(nullptr);
    settings_close();
    frame_set_interface_draw(nullptr);
    model_draw_set_mesh_source(nullptr);
    frame_shutdown();
    draw_shutdown();
    recording_backend_uninstall();
    water_set_camera_in_liquid(0, nullptr);
  }
  void reset_log() {
    recording_backend_reset();
    g_draw_meshes.clear();
  }

  // A world with a camera at the origin looking down -z (60 degrees, 4:3, 0.1 .. 100).
  EntityWorld* make_world(bool with_camera, bool with_environment, uint32_t env_flags = 0) {
    EntityWorld* world = catalogue_world_create(4, nullptr);
    game_world_replace(world);
    if (with_camera) {
      uint32_t h = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
      CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, h);
      camera_build(&c->camera, 0, 0, 0, 0, 0, 0, 60, 0.1f, 100, 640, 480);
    }
    if (with_environment) {
      uint32_t h = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
      ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, h);
      const float white[3] = {1, 1, 1};
      env_record_init(e, white, 10, 100, 20, 80, env_flags, 0);
      e->fog_colour[0] = 0.25f;
      e->fog_colour[1] = 0.5f;
      e->fog_colour[2] = 0.75f;
      e->light_colour[0] = e->light_colour[1] = e->light_colour[2] = 0.5f;
      e->fog_start = 20;
      e->far_distance = 80;
    }
    return world;
  }
  // A creature whose world box is given directly, its mesh placed at the box's centre.
  uint32_t add_creature(uint32_t mesh_id, Vec3 min, Vec3 max) {
    EntityWorld* world = game_world();
    uint32_t h = catalogue_entity_create(world, SPACE_CREATURES, 0, 3);
    Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, h);
    t->position = bounds_make(min, max).centre;
    t->scale = {1, 1, 1};
    ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, h))->mesh_id = mesh_id;
    ((ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, h))->world_bounds =
        bounds_make(min, max);
    return h;
  }

  TestTempDir dir{"frame"};
};

TEST_F(Frame, AFrameIsOneSceneOfLayersInOrderThenOnePresent) {
  make_world(true, true, ENV_FLAG_CLEARS_COLOUR);
  add_creature(3, {-1, -1, -12}, {1, 1, -10});
  add_creature(5, {2, -1, -12}, {4, 1, -10});
  add_creature(3, {-4, -1, -12}, {-2, 1, -10});
  add_creature(3, {-1, -1, 10}, {1, 1, 12});  // behind the camera
  frame_render(nullptr);

  std::vector<Op> ops = frame_ops();
  const std::vector<int> want = {OP_SET_VSYNC, OP_BEGIN, OP_CLEAR, OP_DRAW,   OP_DRAW,
                                 OP_DRAW,      OP_CLEAR, OP_END,   OP_PRESENT};
  ASSERT_EQ(slots_of(ops), want);
  // Layer 0: the fog colour clears colour and depth; layer 7: the interface's mark.
  EXPECT_EQ(ops[2].flags, (uint32_t)(CLEAR_COLOUR | CLEAR_DEPTH));
  EXPECT_FLOAT_EQ(ops[2].colour[0], 0.25f);
  EXPECT_FLOAT_EQ(ops[2].colour[2], 0.75f);
  EXPECT_FLOAT_EQ(ops[6].colour[0], 0.5f);
  // The two boxes of mesh 3 are drawn one after the other.
  ASSERT_EQ(g_draw_meshes.size(), 3u);
  EXPECT_TRUE((g_draw_meshes == std::vector<int32_t>{3, 3, 5}) ||
              (g_draw_meshes == std::vector<int32_t>{5, 3, 3}));
  // Fog and camera reached the draw record; every layer is empty again.
  const DrawRecord* r = draw_record();
  EXPECT_FLOAT_EQ(r->fog_start, 20);
  EXPECT_FLOAT_EQ(r->fog_end, 80);
  const CameraState* c = (const CameraState*)pool_at(
      space_pool(world_space(game_world(), SPACE_CAMERA), COMPONENT_CAMERA_STATE), 0);
  EXPECT_EQ(memcmp(&r->view, &c->camera.view, sizeof(Mat4)), 0);
  EXPECT_EQ(memcmp(&r->projection, &c->camera.projection, sizeof(Mat4)), 0);
  for (int l = 0; l < RENDER_LAYER_COUNT; l++) EXPECT_EQ(render_layer_item_count(l), 0u) << l;
}

// The login and character screens have no zone: the frame still clears to black, draws the
// interface layer and presents, once. Items other modules left elsewhere are dropped.
TEST_F(Frame, WithoutWorldOrCameraOnlyTheInterfaceIsDrawnOnBlack) {
  struct Case {
    const char* what;
    bool world, camera;
  } cases[] = {{"no world", false, false}, {"world without camera", true, false}};
  for (const Case& c : cases) {
    if (c.world)
      make_world(c.camera, true, ENV_FLAG_CLEARS_COLOUR);
    else
      game_world_replace(nullptr);
    submit_render_item(5, 77, nullptr, [](EntityWorld*, const void*) { ADD_FAILURE() << "layer 5"; });
    reset_log();
    frame_render(nullptr);
    std::vector<Op> ops = frame_ops();
    std::vector<int> slots = slots_of(ops);
    if (!slots.empty() && slots[0] == OP_SET_VSYNC) slots.erase(slots.begin());
    const std::vector<int> want = {OP_BEGIN, OP_CLEAR, OP_CLEAR, OP_END, OP_PRESENT};
    ASSERT_EQ(slots, want) << c.what;
    const Op& clear = ops[ops.size() - 4];
    EXPECT_EQ(clear.flags, (uint32_t)(CLEAR_COLOUR | CLEAR_DEPTH)) << c.what;
    EXPECT_EQ(clear.colour[0] + clear.colour[1] + clear.colour[2], 0.0f) << c.what;
    EXPECT_FLOAT_EQ(ops[ops.size() - 3].colour[0], 0.5f) << c.what << ": the interface";
    EXPECT_EQ(render_layer_item_count(5), 0u) << c.what;
  }
}

TEST_F(Frame, ClearItemFollowsTheEnvironmentAndTheLiquid) {
  const float water[3] = {0.2f, 0.6f, 1.0f};
  struct Case {
    const char* what;
    bool environment;
    uint32_t env_flags;
    bool in_liquid;
    uint32_t clear_flags;
    float colour[3];
    float fog_start, fog_end;
  } cases[] = {
      {"no environment", false, 0, false, CLEAR_DEPTH, {0, 0, 0}, 0, 0},
      {"no environment, in liquid", false, 0, true, CLEAR_DEPTH, {0, 0, 0}, 0, 0},
      {"flags without bit 0", true, ENV_FLAG_SKY, false, CLEAR_DEPTH, {0, 0, 0}, 20, 80},
      {"flags bit 0", true, 3, false, CLEAR_COLOUR | CLEAR_DEPTH, {0.25f, 0.5f, 0.75f}, 20, 80},
      {"in liquid: tinted by the light",
       true,
       0,
       true,
       CLEAR_COLOUR | CLEAR_DEPTH,
       {0.1f, 0.3f, 0.5f},
       0,
       24},
  };
  for (const Case& c : cases) {
    make_world(true, c.environment, c.env_flags);
    water_set_camera_in_liquid(c.in_liquid, water);
    reset_log();
    frame_render(nullptr);
    std::vector<Op> ops = frame_ops();
    const Op* clear = nullptr;
    for (const Op& op : ops)
      if (op.slot == OP_CLEAR) {
        clear = &op;
        break;
      }
    ASSERT_NE(clear, nullptr) << c.what;
    EXPECT_EQ(clear->flags, c.clear_flags) << c.what;
    for (int i = 0; i < 3; i++)
      EXPECT_NEAR(clear->colour[i], c.colour[i], 1e-6f) << c.what << " channel " << i;
    EXPECT_FLOAT_EQ(draw_record()->fog_start, c.fog_start) << c.what;
    EXPECT_FLOAT_EQ(draw_record()->fog_end, c.fog_end) << c.what;
  }
}

TEST_F(Frame, VsyncFollowsTheSettingOnTheNextFrame) {
  make_world(true, true);
  auto set_vsync_calls = [](std::vector<int32_t>* values) {
    values->clear();
    for (const Op& op : frame_ops())
      if (op.slot == OP_SET_VSYNC) values->push_back(op.arg);
  };
  std::vector<int32_t> calls;
  struct Step {
    const char* what;
    int supported;
    int setting;  // -1: leave the document alone
    std::vector<int32_t> calls;
  } steps[] = {
      {"first frame applies the stored value", 1, -1, {0}},
      {"unchanged", 1, -1, {}},
      {"changed", 1, 1, {1}},
      {"unchanged again", 1, -1, {}},
      {"changed while unsupported", 0, 0, {}},
      {"supported again: applied", 1, -1, {0}},
  };
  for (const Step& s : steps) {
    recording_backend_configure(s.supported, PF_RGBA8888, 640, 480);
    if (s.setting >= 0) {
      ASSERT_TRUE(ini_set_bool(settings_document(), "Display", "DISPLAY_VSYNC", s.setting));
    }
    reset_log();
    frame_render(nullptr);
    set_vsync_calls(&calls);
    EXPECT_EQ(calls, s.calls) << s.what;
  }
}

TEST_F(Frame, ASteadyFrameAllocatesNothing) {
  make_world(true, true, 1);
  for (int i = 0; i < 40; i++) add_creature(1 + i % 6, {-1.0f + i, -1, -20}, {1.0f + i, 1, -18});
  frame_render(nullptr);
  frame_render(nullptr);
  uint64_t before = mem_allocation_count();
  frame_render(nullptr);
  EXPECT_EQ(mem_allocation_count(), before);
}

// A new zone brings new keys: the old zone's are dropped with its world.
TEST_F(Frame, ReplacingTheWorldForgetsTheBatchKeys) {
  make_world(true, true);
  for (int i = 0; i < 40; i++) add_creature(100 + i, {-1, -1, -20}, {1, 1, -18});
  frame_render(nullptr);
  make_world(true, true);
  add_creature(100, {-1, -1, -20}, {1, 1, -18});
  uint64_t before = mem_allocation_count();
  frame_render(nullptr);
  EXPECT_GT(mem_allocation_count(), before) << "key 100's array was made again";
}

}  // namespace
