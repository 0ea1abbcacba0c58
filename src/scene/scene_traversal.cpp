#include "scene/scene_traversal.h"

#include <cstring>

#include "game/model_bounds.h"
#include "scene/labels.h"
#include "scene/model_draw.h"
#include "scene/overlays.h"
#include "scene/sprite_props.h"
#include "scene/water.h"

namespace {

// How each drawn space is culled and where its items go.
enum SpaceKind : uint8_t { KIND_MODEL, KIND_PROP, KIND_WATER, KIND_SPRITE };

struct DrawnSpace {
  uint32_t space;
  SpaceKind kind;
  bool offered;  // characters and objects: offered to the bubbles and overlays
};

constexpr DrawnSpace DRAWN_SPACES[] = {
    {SPACE_LOCAL_PLAYER, KIND_MODEL, true}, {SPACE_PLAYERS, KIND_MODEL, true},
    {SPACE_CREATURES, KIND_MODEL, true},    {SPACE_OBJECTS, KIND_MODEL, true},
    {SPACE_PROPS_D, KIND_MODEL, false},     {SPACE_PROPS, KIND_PROP, false},
    {SPACE_PREVIEW, KIND_MODEL, false},     {SPACE_WATER, KIND_WATER, false},
    {SPACE_PROPS_C, KIND_SPRITE, false},
};

// 0 outside, 1 crossing, 2 wholly inside.
int classify(const Camera* camera, const Bounds* b) {
  const Bounds& f = camera->frustum_bounds;
  if (b->max.x < f.min.x || b->min.x > f.max.x || b->max.y < f.min.y || b->min.y > f.max.y ||
      b->max.z < f.min.z || b->min.z > f.max.z)
    return 0;
  return frustum_classify(camera, b);
}

struct SpacePools {
  ComponentPool* header;
  ComponentPool* transform;
  ComponentPool* mesh;
  ComponentPool* instance;
  ComponentPool* server_id;
  ComponentPool* animation;
  ComponentPool* pose;
  ComponentPool* skinned;
  ComponentPool* prop_bounds;
  ComponentPool* prop_c;
};

template <typename T>
T* at(const ComponentPool* pool, uint32_t slot) {
  return pool ? (T*)pool_at(pool, slot) : nullptr;
}

void visit_space(EntityWorld* world, const Camera* camera, const DrawnSpace& row) {
  EntitySpace* space = world_space(world, row.space);
  if (!space) return;
  SpacePools p;
  p.header = space_pool(space, COMPONENT_ENTITY_HEADER);
  p.transform = space_pool(space, COMPONENT_TRANSFORM);
  p.mesh = space_pool(space, COMPONENT_MESH_REF);
  p.instance = space_pool(space, COMPONENT_MODEL_INSTANCE);
  p.server_id = space_pool(space, COMPONENT_SERVER_ID);
  p.animation = space_pool(space, COMPONENT_ANIMATION_STATE);
  p.pose = space_pool(space, COMPONENT_SKELETON_POSE);
  p.skinned = space_pool(space, COMPONENT_SKINNED_DRAW);
  p.prop_bounds = space_pool(space, COMPONENT_PROP_BOUNDS);
  p.prop_c = space_pool(space, COMPONENT_PROP_C);
  if (!p.header || !p.transform) return;
  bool model = row.kind == KIND_MODEL || row.kind == KIND_PROP;
  if (model && (!p.mesh || !p.instance)) return;
  if (row.kind == KIND_WATER && !p.prop_bounds) return;
  if (row.kind == KIND_SPRITE && !p.prop_c) return;

  uint32_t count = p.header->dense_count;
  for (uint32_t j = 0; j < count; j++) {
    const EntityHeader* header = at<EntityHeader>(p.header, j);
    if (header->flags & ENTITY_FLAG_HIDDEN) continue;
    const MeshRef* mesh = at<MeshRef>(p.mesh, j);
    if (model && mesh->mesh_id == 0) continue;
    const Transform* transform = at<Transform>(p.transform, j);
    const ModelInstance* instance = at<ModelInstance>(p.instance, j);

    Bounds bounds = {};
    int inside = 1;
    if (row.kind == KIND_WATER) {
      Mat4 m;
      transform_model_matrix(transform, &m);
      bounds = bounds_transform(&at<PropBounds>(p.prop_bounds, j)->local, &m);
    } else if (model) {
      bounds = instance->world_bounds;
    }
    if (row.kind != KIND_SPRITE) {
      inside = classify(camera, &bounds);
      if (inside == 0) continue;
    }
    if (row.offered && p.server_id) {
      uint32_t id = at<ServerId>(p.server_id, j)->id;
      bubble_place(id);
      overlay_consider(id);
    }

    // The layers copy a whole payload's bytes, more than the record holds.
    union {
      ScenePayload payload;
      uint8_t bytes[RENDER_PAYLOAD_BYTES];
    } item;
    memset(item.bytes, 0, sizeof item.bytes);
    ScenePayload& payload = item.payload;
    payload.handle = row.space << 24 | (uint32_t)p.header->dense_entity[j];
    if (mesh) {
      payload.mesh_id = mesh->mesh_id;
      payload.mesh_word = mesh->word;
    }
    payload.transform = *transform;
    payload.world_bounds = bounds;
    payload.inside = inside == 2 ? 1 : 0;
    payload.animation = at<AnimationState>(p.animation, j);
    payload.pose = at<SkeletonPose>(p.pose, j);
    payload.skinned = at<SkinnedDraw>(p.skinned, j);
    payload.bounds_fn = instance ? instance->bounds_fn : nullptr;
    payload.shade = instance ? instance->light : 1.0f;
    payload.alpha_test = row.kind == KIND_PROP && (header->flags & PROP_FLAG_SECOND_PASS) ? 1 : 0;

    switch (row.kind) {
      case KIND_MODEL:
        submit_render_item(1, mesh->mesh_id, item.bytes, model_dispatch);
        break;
      case KIND_PROP:
        submit_render_item(header->flags & PROP_FLAG_SECOND_PASS ? 2 : 1, mesh->mesh_id, item.bytes,
                           model_dispatch);
        break;
      case KIND_WATER:
        submit_render_item(4, 0, item.bytes, water_draw);
        break;
      case KIND_SPRITE:
        submit_render_item(5, at<PropC>(p.prop_c, j)->prop_id, item.bytes, sprite_prop_draw);
        break;
    }
  }
}

}  // namespace

void scene_traverse(EntityWorld* world, const Camera* camera) {
  if (!world || !camera) return;
  for (const DrawnSpace& row : DRAWN_SPACES) visit_space(world, camera, row);
}
