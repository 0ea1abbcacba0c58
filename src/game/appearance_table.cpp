#include "game/appearance_table.h"

// The humanoid's body carries a second texture layer over its first.
static constexpr SkinnedPart kHumanoid[] = {{1, 1004, 1001, 0, 0}};
static constexpr SkinnedPart kQuadruped[] = {{2, 1001, 0, 0, 0}};
static constexpr SkinnedPart kSmallHumanoid[] = {{3, 1004, 0, 0, 0}};

static constexpr AppearanceEntry kAppearances[] = {
    {APPEARANCE_DEFAULT, 1, 1.7f, 1.0f, kHumanoid, 1, 6},
    {2, 2, 1.6f, 1.0f, kQuadruped, 1, 7},
    {3, 3, 1.2f, 0.8f, kSmallHumanoid, 1, 6},
};
static_assert(kAppearances[0].id == APPEARANCE_DEFAULT);

static Mat4 g_bind_pose[APPEARANCE_BONES_MAX];

static const Mat4* bind_pose(void) {
  static const bool filled = [] {
    for (Mat4& m : g_bind_pose) m = MAT4_IDENTITY;
    return true;
  }();
  (void)filled;
  return g_bind_pose;
}

const AppearanceEntry* appearance_find(int32_t id) {
  for (const AppearanceEntry& e : kAppearances)
    if (e.id == id) return &e;
  return &kAppearances[0];
}

void appearance_apply(EntityWorld* world, uint32_t handle, const AppearanceEntry* appearance) {
  if (!world || !appearance) return;
  if (ModelInstance* m = (ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, handle))
    m->appearance = appearance;
  if (MeshRef* m = (MeshRef*)entity_component(world, COMPONENT_MESH_REF, handle)) {
    m->mesh_id = appearance->mesh_id;
    m->word = 0;
  }
  if (SkeletonPose* p = (SkeletonPose*)entity_component(world, COMPONENT_SKELETON_POSE, handle)) {
    uint32_t count =
        appearance->bone_count < APPEARANCE_BONES_MAX ? appearance->bone_count : APPEARANCE_BONES_MAX;
    p->bones = count ? bind_pose() : nullptr;
    p->bone_count = count;
  }
  if (SkinnedDraw* d = (SkinnedDraw*)entity_component(world, COMPONENT_SKINNED_DRAW, handle)) {
    d->parts = appearance->parts;
    d->part_count = appearance->parts ? appearance->part_count : 0;
  }
}
