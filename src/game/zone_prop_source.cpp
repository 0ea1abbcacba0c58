// The prop queries' view of the zone: the drawn-props tree of the current world, each hit
// turned back into its box from the entity's transform and local bounds (as the tree was
// filled), with the header's flag word that the queries' filter reads.
#include "game/components.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "game/zone_props.h"
#include "world/octree.h"

int zone_props_boxes(const Bounds* box, PropBox* out, int capacity) {
  EntityWorld* world = game_world();
  const OctreeNode* tree = world ? zone_props_tree(world, ZONE_TREE_PROPS) : nullptr;
  if (!tree || !box || !out || capacity <= 0) return 0;
  uint32_t keys[PROPS_QUERY_MAX];
  const uint32_t room = capacity < PROPS_QUERY_MAX ? (uint32_t)capacity : (uint32_t)PROPS_QUERY_MAX;
  uint32_t found = 0;
  octree_query_box(tree, box, keys, room, &found);
  int written = 0;
  for (uint32_t i = 0; i < found; i++) {
    const auto* header = (const EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, keys[i]);
    const auto* transform = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, keys[i]);
    const auto* bounds = (const PropBounds*)entity_component(world, COMPONENT_PROP_BOUNDS, keys[i]);
    if (!header || !transform || !bounds) continue;
    Mat4 m;
    transform_model_matrix(transform, &m);
    out[written++] = {keys[i], header->flags, bounds_transform(&bounds->local, &m)};
  }
  return written;
}
