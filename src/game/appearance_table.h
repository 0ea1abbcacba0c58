#pragma once
// The appearances the client knows while appearance definitions are not loaded from the
// server: a constant table of model, skinned parts, bone count, eye height and the camera's
// near limit per appearance id. An id the table lacks uses appearance 1, the default model.
//
// Without animation every skinned entity holds the bind pose: its bones point at one shared
// palette of identity matrices (APPEARANCE_BONES_MAX of them).
#include <cstdint>

#include "game/components.h"
#include "world/entity_world.h"

struct AppearanceEntry {
  int32_t id;
  uint32_t mesh_id;  // ASSET_MESH of the model (its bounds are the entity's)
  float eye_height;  // the camera looks at the position raised by this
  float near_limit;  // the camera does not come nearer than this
  const SkinnedPart* parts;
  uint32_t part_count;
  uint32_t bone_count;
};

constexpr int32_t APPEARANCE_DEFAULT = 1;
constexpr uint32_t APPEARANCE_BONES_MAX = 256;

// The entry of the id, or that of APPEARANCE_DEFAULT (never null).
const AppearanceEntry* appearance_find(int32_t id);

// Gives an entity its appearance through whichever of these components it has: the model
// instance's appearance, the mesh reference, the skeleton pose (the bind pose, bone_count
// bones) and the skinned parts.
void appearance_apply(EntityWorld* world, uint32_t handle, const AppearanceEntry* appearance);
