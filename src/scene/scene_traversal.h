#pragma once
// The frame's scene pass: walks the drawn entity spaces in a fixed order (local player, other
// players, creatures, objects, animated props, plain props, the preview model, water, kind-5
// props), culls each entity against the camera and submits one render item per visible
// entity:
//   spaces 7-11 and 13 -> layer 1, keyed by mesh id, model_dispatch;
//   space 3            -> layer 2 when its header flags have PROP_FLAG_SECOND_PASS, else
//                         layer 1, keyed by mesh id, model_dispatch (alpha-tested in layer 2);
//   space 4            -> layer 4, key 0, water_draw;
//   space 5            -> layer 5, keyed by prop id, sprite_prop_draw.
// Skipped: entities whose header flags have ENTITY_FLAG_HIDDEN, and model entities whose mesh
// id is 0. Culling: the world bounds must overlap the frustum's bounding box on all three
// axes and touch the frustum; a box wholly inside it is drawn with device clipping off.
// Water volumes have no model bounds and are culled by their prop box through their
// transform; kind-5 props have no size yet and are never culled. Characters and objects
// (spaces 7-10) are also offered by server id to the speech bubbles and then the overlays.
#include <cstdint>

#include "base/camera.h"
#include "game/components.h"
#include "scene/render_layers.h"

enum : uint32_t {
  PROP_FLAG_SECOND_PASS = 0x04,
  ENTITY_FLAG_HIDDEN = 0x40,
};

// The payload of every item the pass submits.
struct ScenePayload {
  uint32_t handle;
  uint32_t mesh_id;
  uint32_t mesh_word;
  Transform transform;
  Bounds world_bounds;
  uint32_t inside;      // 1: wholly inside the view, so device clipping may be off
  uint32_t alpha_test;  // 1: a prop of the second pass
  float shade;          // the instance's zone lighting factor, 0..1
  // Skinned entities only, else null; valid until the space's next create or destroy.
  AnimationState* animation;
  SkeletonPose* pose;
  SkinnedDraw* skinned;
  InstanceBoundsFn bounds_fn;
};
static_assert(sizeof(ScenePayload) <= RENDER_PAYLOAD_BYTES, "fits a render item");
static_assert(alignof(ScenePayload) <= alignof(RenderItem), "readable in place");

void scene_traverse(EntityWorld* world, const Camera* camera);
