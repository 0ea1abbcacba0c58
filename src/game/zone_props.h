#pragma once
// A zone's placed props in its world: the entities a map entry (the zone's own, or a cell's)
// places, and the three spatial trees of the environment entity that find them again:
// ZoneResource 12 holds the world boxes of the drawn props (spaces 3, 4 and 13), 13 the
// lights' boxes, 17 the sound sources' boxes; each item's key is its entity handle.
//
// The map format gives the trees no bounds: their roots span the zone's grid grown by one
// cell on every side and 4096 units up and down, or, for a zone without a grid, the boxes of
// the zone's own props. A prop whose box is outside the root still becomes an entity; it is
// only counted (zone_props_outside) and reported by the loader.
//
// Each world's props are remembered per map entry, so zone_cell_props_remove takes away
// exactly what zone_cell_props_create placed. These functions touch only the world they are
// given: the zone loader's worker calls them on a world nobody else sees, cell streaming on
// the current world on the main thread.
#include <cstdint>

#include "game/catalogue.h"
#include "scene/prop_queries.h"
#include "world/entity_world.h"

struct MapObject;
struct OctreeNode;

enum : uint32_t { ZONE_TREE_PROPS = 0, ZONE_TREE_LIGHTS = 1, ZONE_TREE_SOUNDS = 2, ZONE_TREE_COUNT = 3 };

// Props of the zone's own entry per space.
PropCounts zone_prop_counts(const MapObject* zone_map);
// Gives the world's environment entity its three trees (bounds as above); 0 when the world
// has no environment entity or a root could not be made.
int zone_props_setup(EntityWorld* world, const MapObject* zone_map);
// Creates the entities of the entry's props and puts them into the trees; answers how many
// were created. An entry already placed in this world places nothing again.
uint32_t zone_cell_props_create(EntityWorld* world, const MapObject* map);
// Destroys them and takes them out of the trees; answers how many.
uint32_t zone_cell_props_remove(EntityWorld* world, const MapObject* map);

// The current world's drawn props (tree 12) whose boxes overlap the box: handle, the header's
// flag word and the world box, at most capacity; answers how many. Installed as the prop
// queries' source, so collision and the water state meet the zone's props. Main thread.
int zone_props_boxes(const Bounds* box, PropBox* out, int capacity);

// One of the trees, or null.
const OctreeNode* zone_props_tree(const EntityWorld* world, uint32_t which);
// Props whose box did not fit their tree's root, since the world was made.
uint32_t zone_props_outside(const EntityWorld* world);

// The assets a map entry names, in a fixed order (its BSP, the materials' textures, then per
// prop its mesh, the mesh's texture word and its sound), each (type, id) once; at most
// capacity are written. Answers the number found.
struct ZoneAssetRef {
  uint32_t type;
  uint32_t id;
};
uint32_t zone_map_assets(const MapObject* map, ZoneAssetRef* out, uint32_t capacity);
// Asks the cache for every asset the entry names without waiting (cell streaming's
// preparation step, before the cell's BSP is awaited).
void zone_map_prepare(const MapObject* map);
