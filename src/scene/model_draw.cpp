#include "scene/model_draw.h"

#include "assets/cache.h"
#include "game/catalogue.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/model_view.h"
#include "scene/scene_traversal.h"

namespace {

const Mesh* request_mesh(uint32_t mesh_id, int* ready, int* failed) {
  AssetHandle h;
  asset_request(&h, ASSET_MESH, mesh_id);
  *ready = h.ready;
  *failed = h.failed;
  return (const Mesh*)h.object;
}

ModelMeshFn g_mesh_source = request_mesh;

}  // namespace

void model_draw_set_mesh_source(ModelMeshFn fn) { g_mesh_source = fn ? fn : request_mesh; }

const Mesh* model_mesh_lookup(uint32_t mesh_id, int* ready, int* failed) {
  *ready = *failed = 0;
  const Mesh* mesh = g_mesh_source(mesh_id, ready, failed);
  return *ready ? mesh : nullptr;
}

int model_mesh_bounds(uint32_t mesh_id, uint32_t, Bounds* out) {
  int ready, failed;
  const Mesh* mesh = model_mesh_lookup(mesh_id, &ready, &failed);
  if (!mesh) return 0;
  *out = mesh->bounds;
  return 1;
}

int model_view_ready(EntityWorld* world) {
  if (!world || !env_record()) return 0;
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count > 0;
}

void model_dispatch(EntityWorld* world, const void* payload) {
  const ScenePayload* p = (const ScenePayload*)payload;
  if (!p) return;
  const Transform& t = p->transform;
  if (p->pose && p->skinned && p->pose->bones && p->pose->bone_count && p->skinned->parts &&
      p->skinned->part_count) {
    SkinnedModelPayload s = {};
    s.position = t.position;
    s.rotation = t.rotation;
    s.scale = t.scale;
    s.world_bounds = p->world_bounds;
    s.bones = p->pose->bones;
    s.bone_count = p->pose->bone_count;
    s.parts = p->skinned->parts;
    s.part_count = p->skinned->part_count;
    s.inside = p->inside;
    s.shade = p->shade;
    skinned_model_draw(world, &s);
    return;
  }
  ModelPayload m = {};
  m.mesh_id = p->mesh_id;
  m.texture = (int32_t)p->mesh_word;
  m.position = t.position;
  m.rotation = t.rotation;
  m.scale = t.scale;
  m.world_bounds = p->world_bounds;
  m.alpha_test = p->alpha_test;
  m.inside = p->inside;
  m.shade = p->shade;
  model_draw(world, &m);
}

void model_draw(EntityWorld* world, const void* payload) {
  const ModelPayload* p = (const ModelPayload*)payload;
  if (!p || !model_view_ready(world)) return;
  int ready, failed;
  const Mesh* mesh = model_mesh_lookup(p->mesh_id, &ready, &failed);
  if (!mesh) return;
  if (p->light_asset) {
    // Baked light sets have no decoder yet: a light asset only has to have finished loading
    // (a failed one counts as absent).
    AssetHandle h;
    asset_request(&h, ASSET_LIGHT, p->light_asset);
    if (!h.ready) return;
  }
  int8_t sun[3];
  env_light_direction(sun);
  ModelLightBlock block;
  if (!model_light_block_init(&block, p->position, p->rotation, p->scale, p->shade, sun)) return;

  draw_set_vertex_stage(model_light_stage);
  draw_set_transform_stage(transform_to_output);
  draw_reset();
  draw_set_model(&block.model);
  draw_set_texture(p->texture);
  uint32_t flags = p->alpha_test ? 0x21Bu : 0x20Bu;
  if (p->inside) flags |= DRAW_NO_CLIP;
  if (p->texture == 0) flags &= ~(uint32_t)DRAW_TEXTURE;
  draw_set_flags(flags);
  draw_set_blend(BLEND_ALPHA);
  draw_set_depth_function(DEPTH_LESS);
  const DrawMesh prepared = {(int32_t)mesh->id, mesh->vertices, mesh->vertex_count};
  draw_prepared_mesh(&prepared, &block);
  draw_indexed(mesh->indices, mesh->triangle_count * 3);
  draw_reset();
}
