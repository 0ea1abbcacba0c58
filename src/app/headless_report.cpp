#include "app/headless_report.h"

#include <cstdio>

#include "game/components.h"
#include "game/game_objects.h"
#include "game/game_world.h"

namespace {

const uint32_t kReportedSpaces[] = {SPACE_LOCAL_PLAYER, SPACE_PLAYERS, SPACE_CREATURES, SPACE_OBJECTS};

uint32_t state_of(EntityWorld* world, uint32_t space, uint32_t handle) {
  if (space == SPACE_CREATURES) {
    const Creature* c = (const Creature*)entity_component(world, COMPONENT_CREATURE, handle);
    return c && c->path_active ? MOTION_WALKING : MOTION_STANDING;
  }
  const MoveTrack* t = (const MoveTrack*)entity_component(world, COMPONENT_MOVE_TRACK, handle);
  return t ? t->motion_state : 0;
}

uint32_t active_count(EntityWorld* world, uint32_t space_number) {
  const ComponentPool* headers = space_pool(world_space(world, space_number), COMPONENT_ENTITY_HEADER);
  uint32_t n = 0;
  for (uint32_t i = 0; headers && i < headers->dense_count; i++)
    n += ((const EntityHeader*)pool_at(headers, i))->active ? 1 : 0;
  return n;
}

}  // namespace

void headless_report_entities(HeadlessLine out) {
  EntityWorld* world = game_world();
  if (!world) return;
  char line[224];
  for (uint32_t space : kReportedSpaces) {
    const ComponentPool* headers = space_pool(world_space(world, space), COMPONENT_ENTITY_HEADER);
    for (uint32_t i = 0; headers && i < headers->dense_count; i++) {
      const EntityHeader* h = (const EntityHeader*)pool_at(headers, i);
      const Transform* t = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, h->handle);
      const ServerId* id = (const ServerId*)entity_component(world, COMPONENT_SERVER_ID, h->handle);
      if (!h->active || !t || !id) continue;
      const MeshRef* mesh = (const MeshRef*)entity_component(world, COMPONENT_MESH_REF, h->handle);
      const ModelInstance* model =
          (const ModelInstance*)entity_component(world, COMPONENT_MODEL_INSTANCE, h->handle);
      const Vec3 size = model ? model->world_bounds.size : Vec3{0, 0, 0};
      snprintf(line, sizeof line, "entity %u %u %.4f %.4f %.4f %.3f %u %u %.4f %.4f %.4f", id->id, space,
               t->position.x, t->position.y, t->position.z, t->rotation.y, state_of(world, space, h->handle),
               mesh ? mesh->mesh_id : 0, size.x, size.y, size.z);
      out(line);
    }
  }
}

void headless_report_counts(HeadlessLine out) {
  EntityWorld* world = game_world();
  char line[128];
  if (!world) {
    out("count local 0 players 0 creatures 0 objects 0");
    return;
  }
  snprintf(line, sizeof line, "count local %u players %u creatures %u objects %u",
           active_count(world, SPACE_LOCAL_PLAYER), active_count(world, SPACE_PLAYERS),
           active_count(world, SPACE_CREATURES), active_count(world, SPACE_OBJECTS));
  out(line);
}
