#include "game/model_bounds.h"

#include <cmath>

int model_mesh_bounds_stub(uint32_t, uint32_t, Bounds*) { return 0; }

int zone_light_sample_stub(const Bounds*, float* out) {
  *out = 1.0f;
  return 1;
}

static MeshBoundsFn g_mesh_bounds = model_mesh_bounds_stub;
static ZoneLightSampleFn g_light_sample = zone_light_sample_stub;

void model_bounds_set_mesh_source(MeshBoundsFn fn) { g_mesh_bounds = fn ? fn : model_mesh_bounds_stub; }
void model_bounds_set_light_source(ZoneLightSampleFn fn) {
  g_light_sample = fn ? fn : zone_light_sample_stub;
}

void transform_model_matrix(const Transform* t, Mat4* out) {
  // Each step post-multiplies, and row vectors take the leftmost factor first.
  mat4_identity(out);
  mat4_scale(t->scale.x, t->scale.y, t->scale.z, out);
  mat4_rotate_x(t->rotation.x, out);
  mat4_rotate_y(t->rotation.y, out);
  mat4_rotate_z(t->rotation.z, out);
  mat4_translate(t->position.x, t->position.y, t->position.z, out);
}

static bool finite_bounds(const Bounds* b) {
  const float* f = &b->min.x;
  for (int i = 0; i < 15; i++)
    if (!std::isfinite(f[i])) return false;
  return true;
}

static bool compute_bounds(EntityWorld* world, uint32_t handle, const MeshRef* mesh,
                           const Transform* transform, ModelInstance* instance) {
  Bounds bounds;
  bool ok = instance->bounds_fn && instance->bounds_fn(world, handle, &bounds);
  if (!ok) {
    Bounds local;
    if (!g_mesh_bounds(mesh->mesh_id, mesh->word, &local)) return false;
    Mat4 model;
    transform_model_matrix(transform, &model);
    bounds = bounds_transform(&local, &model);
  }
  if (!finite_bounds(&bounds)) return false;
  instance->world_bounds = bounds;
  return true;
}

static bool sample_light(ModelInstance* instance, float dt) {
  float sample;
  if (!g_light_sample(&instance->world_bounds, &sample) || !std::isfinite(sample)) return false;
  sample = sample < 0 ? 0 : (sample > 1 ? 1 : sample);
  if (!instance->light_sampled) {
    instance->light = sample;
    instance->light_sampled = 1;
    return true;
  }
  float step = dt > 0 && std::isfinite(dt) ? dt : 0;
  float delta = sample - instance->light;
  instance->light += delta > step ? step : (delta < -step ? -step : delta);
  return true;
}

void model_bounds_update(EntityWorld* world, float dt) {
  if (!world) return;
  static const uint32_t NEEDED[] = {COMPONENT_ENTITY_HEADER, COMPONENT_MODEL_INSTANCE, COMPONENT_MESH_REF,
                                    COMPONENT_TRANSFORM};
  for (uint32_t s = 0; s < WORLD_SPACE_COUNT; s++) {
    EntitySpace* space = world->spaces[s];
    if (!space_has_components(space, NEEDED, 4)) continue;
    ComponentPool* headers = space_pool(space, COMPONENT_ENTITY_HEADER);
    ComponentPool* instances = space_pool(space, COMPONENT_MODEL_INSTANCE);
    ComponentPool* meshes = space_pool(space, COMPONENT_MESH_REF);
    ComponentPool* transforms = space_pool(space, COMPONENT_TRANSFORM);
    for (uint32_t j = 0; j < headers->dense_count; j++) {
      const EntityHeader* header = (const EntityHeader*)pool_at(headers, j);
      if (!header->active) continue;
      ModelInstance* instance = (ModelInstance*)pool_at(instances, j);
      if (header->static_flag && !instance->update_due) continue;
      uint32_t handle = s << 24 | (uint32_t)headers->dense_entity[j];
      if (!compute_bounds(world, handle, (const MeshRef*)pool_at(meshes, j),
                          (const Transform*)pool_at(transforms, j), instance)) {
        instance->updated = 0;
        continue;
      }
      bool lit = sample_light(instance, dt);
      instance->updated = 1;
      if (header->static_flag && lit) instance->update_due = 0;
    }
  }
}
