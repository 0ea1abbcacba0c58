// Mesh decoding of arbitrary bytes, then what drawing reads of an accepted mesh: every index
// below the vertex count, skinned vertices in ascending bone order within the first and last
// bone, and the mesh drawn as a static model and as a skinned part on a backend that does
// nothing (both CPU stages run: lighting, transformation and skinning).
#include <cstddef>
#include <cstdint>

#include "assets/mesh.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/model_draw.h"
#include "support/backend_testing.h"

namespace {

const Mesh* g_mesh;
Mat4 g_bones[MODEL_PALETTE_MAX];

const Mesh* fuzzed_mesh(uint32_t, int* ready, int* failed) {
  *ready = 1;
  *failed = 0;
  return g_mesh;
}

int install_null(Window*, RenderBackend* table) {
  null_backend_fill(table);
  return 1;
}
int pixel_format_ok(Window*) { return 1; }

void start_once(void) {
  static bool started = false;
  if (started) return;
  started = true;
  static RenderBackendInits inits = {pixel_format_ok, install_null, install_null, nullptr, nullptr, nullptr};
  render_set_backend_inits(&inits);
  render_install(nullptr, 0);
  draw_startup();
  model_draw_set_mesh_source(fuzzed_mesh);
  EntityWorld* world = catalogue_world_create(4, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  camera_build(&c->camera, 0, 0, 5, 0, 0, 0, 60, 0.1f, 100, 640, 480);
  draw_set_view(&c->camera.view);
  draw_set_projection(&c->camera.projection);
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  const float white[3] = {1, 1, 1};
  env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, env), white, 10, 100,
                  20, 80, 2, 0);
  for (Mat4& m : g_bones) {
    m = MAT4_IDENTITY;
    mat4_rotate_y(30, &m);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > MESH_FILE_MAX) return 0;
  Mesh* mesh = mesh_decode(data, (uint32_t)size);
  if (!mesh) return 0;
  for (uint32_t i = 0; i < 3 * mesh->triangle_count; i++)
    if (mesh->indices[i] >= mesh->vertex_count) __builtin_trap();
  if (mesh->skin) {
    for (uint32_t i = 0; i < mesh->vertex_count; i++) {
      uint32_t bone = mesh->skin[i].bones[0];
      if (bone < mesh->bone_first || bone > mesh->bone_last) __builtin_trap();
      if (i > 0 && bone < mesh->skin[i - 1].bones[0]) __builtin_trap();
    }
  }
  start_once();
  mesh->id = 5;
  g_mesh = mesh;
  ModelPayload model = {};
  model.mesh_id = 5;
  model.texture = 1;
  model.position = {0, 0, -3};
  model.rotation = {10, 20, 30};
  model.scale = {1, 2, 1};
  model.shade = 0.75f;
  model_draw(game_world(), &model);
  const SkinnedPart part = {5, 1, 2, 3, 0};
  SkinnedModelPayload skinned = {};
  skinned.position = {0, 0, -3};
  skinned.scale = {1, 1, 1};
  skinned.bones = g_bones;
  skinned.bone_count = MODEL_PALETTE_MAX;
  skinned.parts = &part;
  skinned.part_count = 1;
  skinned.shade = 1;
  skinned_model_draw(game_world(), &skinned);
  g_mesh = nullptr;
  mesh_destroy(mesh);
  return 0;
}
