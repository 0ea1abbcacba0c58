#include "game/catalogue.h"

#include "game/game_objects.h"
#include "game/move_track.h"

const CatalogueSpace CATALOGUE_SPACES[CATALOGUE_SPACE_COUNT] = {
    {SPACE_CAMERA, SIZING_ONE, 3, {3, 7, 1}},
    {SPACE_ENVIRONMENT, SIZING_ONE, 6, {3, 7, 2, 12, 13, 17}},
    {SPACE_PROPS, SIZING_COUNTED, 5, {3, 7, 6, 5, 11}},
    {SPACE_WATER, SIZING_COUNTED, 4, {3, 7, 11, 24}},
    {SPACE_PROPS_C, SIZING_COUNTED, 3, {3, 7, 25}},
    {SPACE_LIGHTS, SIZING_COUNTED, 3, {3, 7, 4}},
    {SPACE_LOCAL_PLAYER, SIZING_ONE, 12, {3, 7, 6, 5, 8, 9, 10, 14, 15, 16, 22, 23}},
    {SPACE_PLAYERS, SIZING_GROWS, 12, {3, 7, 6, 5, 8, 9, 10, 14, 15, 16, 21, 23}},
    {SPACE_CREATURES, SIZING_GROWS, 9, {3, 7, 6, 5, 14, 15, 16, 20, 23}},
    {SPACE_OBJECTS, SIZING_GROWS, 9, {3, 7, 6, 5, 14, 15, 16, 19, 23}},
    {SPACE_PREVIEW, SIZING_ONE, 8, {3, 7, 6, 5, 11, 14, 15, 16}},
    {SPACE_SOUNDS, SIZING_COUNTED, 3, {3, 7, 18}},
    {SPACE_PROPS_D, SIZING_COUNTED, 9, {3, 7, 6, 5, 11, 14, 15, 16, 26}},
};

void zone_resource_release(void* element) {
  ZoneResource* resource = (ZoneResource*)element;
  if (resource->destroy) resource->destroy(resource->handle);
  resource->destroy = nullptr;
  resource->handle = nullptr;
}

#define COMPONENT_ROW(type, record) \
  { type, (uint32_t)sizeof(record), nullptr }
const CatalogueComponent CATALOGUE_COMPONENTS[CATALOGUE_COMPONENT_COUNT] = {
    COMPONENT_ROW(COMPONENT_CAMERA_STATE, CameraState),
    COMPONENT_ROW(COMPONENT_ZONE_ENVIRONMENT, ZoneEnvironment),
    COMPONENT_ROW(COMPONENT_ENTITY_HEADER, EntityHeader),
    COMPONENT_ROW(COMPONENT_POINT_LIGHT, PointLight),
    COMPONENT_ROW(COMPONENT_MESH_REF, MeshRef),
    COMPONENT_ROW(COMPONENT_MODEL_INSTANCE, ModelInstance),
    COMPONENT_ROW(COMPONENT_TRANSFORM, Transform),
    COMPONENT_ROW(COMPONENT_MOTION_STATE, MotionState),
    COMPONENT_ROW(COMPONENT_MOVE_TRACK, MoveTrack),
    COMPONENT_ROW(COMPONENT_POSITION_HISTORY, PositionHistory),
    COMPONENT_ROW(COMPONENT_PROP_BOUNDS, PropBounds),
    {COMPONENT_ZONE_RESOURCE_A, (uint32_t)sizeof(ZoneResource), zone_resource_release},
    {COMPONENT_ZONE_RESOURCE_B, (uint32_t)sizeof(ZoneResource), zone_resource_release},
    COMPONENT_ROW(COMPONENT_ANIMATION_STATE, AnimationState),
    COMPONENT_ROW(COMPONENT_SKELETON_POSE, SkeletonPose),
    COMPONENT_ROW(COMPONENT_SKINNED_DRAW, SkinnedDraw),
    {COMPONENT_ZONE_RESOURCE_C, (uint32_t)sizeof(ZoneResource), zone_resource_release},
    COMPONENT_ROW(COMPONENT_SOUND_SOURCE, SoundSource),
    COMPONENT_ROW(COMPONENT_GAME_OBJECT, GameObject),
    COMPONENT_ROW(COMPONENT_CREATURE, Creature),
    COMPONENT_ROW(COMPONENT_PLAYER_CHARACTER, PlayerCharacter),
    COMPONENT_ROW(COMPONENT_LOCAL_PLAYER, LocalPlayer),
    COMPONENT_ROW(COMPONENT_SERVER_ID, ServerId),
    COMPONENT_ROW(COMPONENT_WATER_SURFACE, WaterSurface),
    COMPONENT_ROW(COMPONENT_PROP_C, PropC),
    COMPONENT_ROW(COMPONENT_PROP_D, PropD),
};
#undef COMPONENT_ROW

const CatalogueSpace* catalogue_space(uint32_t space) {
  if (space < 1 || space > CATALOGUE_SPACE_COUNT) return nullptr;
  return &CATALOGUE_SPACES[space - 1];
}

const CatalogueComponent* catalogue_component(uint32_t type) {
  if (type < 1 || type > CATALOGUE_COMPONENT_COUNT) return nullptr;
  return &CATALOGUE_COMPONENTS[type - 1];
}

uint32_t catalogue_prop_space(uint32_t light_flag, uint32_t sound_flag, uint32_t kind) {
  if (light_flag) return SPACE_LIGHTS;
  if (sound_flag) return SPACE_SOUNDS;
  switch (kind) {
    case 4:
      return SPACE_WATER;
    case 5:
      return SPACE_PROPS_C;
    case 6:
      return SPACE_PROPS_D;
    default:
      return SPACE_PROPS;
  }
}

EntityWorld* catalogue_world_create(uint32_t tag, const PropCounts* counts) {
  EntityWorld* world = world_create(tag);
  for (const CatalogueSpace& row : CATALOGUE_SPACES) {
    uint32_t capacity = 0;
    if (row.sizing == SIZING_ONE) capacity = 1;
    if (row.sizing == SIZING_COUNTED && counts) capacity = counts->per_space[row.space];
    if (capacity > CATALOGUE_MAX_PREALLOCATED) capacity = CATALOGUE_MAX_PREALLOCATED;
    EntitySpace* space = world_create_space(world, row.space, capacity);
    for (uint32_t i = 0; i < row.component_count; i++) {
      const CatalogueComponent* c = catalogue_component(row.components[i]);
      space_register_component(space, c->type, c->element_size, c->release);
    }
  }
  return world;
}

static bool is_prop_space(uint32_t space) {
  return space == SPACE_PROPS || space == SPACE_WATER || space == SPACE_PROPS_C || space == SPACE_LIGHTS ||
         space == SPACE_SOUNDS || space == SPACE_PROPS_D;
}

uint32_t catalogue_entity_create(EntityWorld* world, uint32_t space, uint32_t value, uint32_t flags) {
  uint32_t handle = entity_create(world, space);
  if (!handle) return 0;
  if (EntityHeader* header = (EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, handle)) {
    header->handle = handle;
    header->value = value;
    header->flags = flags;
    header->active = 1;
    header->static_flag = is_prop_space(space) ? 1 : 0;
  }
  if (Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle)) t->scale = {1, 1, 1};
  if (ModelInstance* m = (ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, handle)) {
    m->visible = 1;
    m->update_due = 1;
  }
  if (CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, handle)) {
    c->near_plane = 0.1f;
    c->fov_degrees = 60.0f;
  }
  if (MotionState* m = (MotionState*)entity_component(world, COMPONENT_MOTION_STATE, handle))
    motion_state_reset(m);
  if (MoveTrack* m = (MoveTrack*)entity_component(world, COMPONENT_MOVE_TRACK, handle)) move_track_reset(m);
  return handle;
}
