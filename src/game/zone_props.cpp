#include "game/zone_props.h"

#include <cmath>

#include "assets/cache.h"
#include "assets/map.h"
#include "base/array.h"
#include "base/intmap.h"
#include "base/math.h"
#include "base/mem.h"
#include "game/model_bounds.h"
#include "world/octree.h"

namespace {

// The handle of resource 12 also remembers, per map entry, what it placed.
struct ZoneTree {
  OctreeNode* root;
  IntMap* entries;  // map entry id -> Array of Placed (resource 12 only)
  uint32_t outside;
};

struct Placed {
  uint32_t handle;
  uint32_t tree;  // ZONE_TREE_*, or ZONE_TREE_COUNT when the prop is in none
  Bounds box;
};

const uint32_t TREE_COMPONENTS[ZONE_TREE_COUNT] = {COMPONENT_ZONE_RESOURCE_A, COMPONENT_ZONE_RESOURCE_B,
                                                   COMPONENT_ZONE_RESOURCE_C};

void placed_release(void* array) { array_destroy((Array*)array, nullptr); }

void tree_destroy(void* handle) {
  ZoneTree* tree = (ZoneTree*)handle;
  if (!tree) return;
  octree_destroy(tree->root);
  if (tree->entries) intmap_destroy(tree->entries, placed_release);
  mem_free(tree);
}

ZoneResource* resource(const EntityWorld* world, uint32_t which) {
  if (!world || which >= ZONE_TREE_COUNT) return nullptr;
  ComponentPool* pool = space_pool(world_space(world, SPACE_ENVIRONMENT), TREE_COMPONENTS[which]);
  return pool && pool->dense_count ? (ZoneResource*)pool_at(pool, 0) : nullptr;
}

ZoneTree* tree_of(const EntityWorld* world, uint32_t which) {
  ZoneResource* r = resource(world, which);
  return r && r->destroy == tree_destroy ? (ZoneTree*)r->handle : nullptr;
}

Bounds prop_local_bounds(const MapProp* p) {
  return bounds_make({p->bounds_min[0], p->bounds_min[1], p->bounds_min[2]},
                     {p->bounds_max[0], p->bounds_max[1], p->bounds_max[2]});
}

Bounds prop_world_box(const MapProp* p) {
  Transform t = {{p->position[0], p->position[1], p->position[2]},
                 {p->rotation[0], p->rotation[1], p->rotation[2]},
                 {p->scale[0], p->scale[1], p->scale[2]}};
  Mat4 m;
  transform_model_matrix(&t, &m);
  Bounds local = prop_local_bounds(p);
  return bounds_transform(&local, &m);
}

uint32_t tree_for_space(uint32_t space) {
  switch (space) {
    case SPACE_PROPS:
    case SPACE_WATER:
    case SPACE_PROPS_D:
      return ZONE_TREE_PROPS;
    case SPACE_LIGHTS:
      return ZONE_TREE_LIGHTS;
    case SPACE_SOUNDS:
      return ZONE_TREE_SOUNDS;
    default:
      return ZONE_TREE_COUNT;
  }
}

void fill_light(PointLight* light, const MapProp* p) {
  const float r = p->light_radius_max > 0 ? p->light_radius_max : 0;
  light->radius = r;
  light->inverse_radius = r > 0 ? 1.0f / r : 0;
  light->radius_squared = r * r;
  light->inverse_radius_squared = r > 0 ? 1.0f / (r * r) : 0;
  for (int i = 0; i < 3; i++) {
    float c = p->light_colour[i] < 0 ? 0 : (p->light_colour[i] > 1 ? 1 : p->light_colour[i]);
    light->colour[i] = (uint8_t)lroundf(c * 255.0f);
  }
  light->position = {p->position[0], p->position[1], p->position[2]};
  light->bounds = bounds_from_sphere(light->position, r);
}

uint32_t place_prop(EntityWorld* world, const MapProp* p, uint32_t number, Placed* out) {
  const uint32_t space = catalogue_prop_space(p->light_flag, p->sound_flag, p->kind);
  const uint32_t handle = catalogue_entity_create(world, space, p->value, p->header_flag);
  if (!handle) return 0;
  if (EntityHeader* h = (EntityHeader*)entity_component(world, COMPONENT_ENTITY_HEADER, handle))
    h->prop_number = number;
  if (Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle)) {
    t->position = {p->position[0], p->position[1], p->position[2]};
    t->rotation = {p->rotation[0], p->rotation[1], p->rotation[2]};
    t->scale = {p->scale[0], p->scale[1], p->scale[2]};
  }
  if (MeshRef* m = (MeshRef*)entity_component(world, COMPONENT_MESH_REF, handle)) *m = {p->mesh_id, p->mesh_word2};
  if (PropBounds* b = (PropBounds*)entity_component(world, COMPONENT_PROP_BOUNDS, handle))
    *b = {p->bounds_word, prop_local_bounds(p), {p->point[0], p->point[1], p->point[2]}, p->radius};
  Bounds box = prop_world_box(p);
  if (PointLight* l = (PointLight*)entity_component(world, COMPONENT_POINT_LIGHT, handle)) {
    fill_light(l, p);
    box = l->bounds;
  }
  if (SoundSource* s = (SoundSource*)entity_component(world, COMPONENT_SOUND_SOURCE, handle)) {
    *s = {p->sound_id, {p->position[0], p->position[1], p->position[2]}, p->radius, 0};
    box = bounds_from_sphere(s->position, p->radius > 0 ? p->radius : 0);
  }
  *out = {handle, tree_for_space(space), box};
  return handle;
}

// The root of a grid: one cell more on every side, 4096 up and down.
int grid_root(const MapObject* zone, Bounds* out) {
  if (!zone || zone->cell_size == 0 || zone->grid_columns == 0 || zone->grid_rows == 0) return 0;
  const float cell = (float)zone->cell_size;
  const float x0 = zone->grid_origin_x - cell, z0 = zone->grid_origin_z - cell;
  const float x1 = zone->grid_origin_x + cell * (float)(zone->grid_columns + 1);
  const float z1 = zone->grid_origin_z + cell * (float)(zone->grid_rows + 1);
  if (!std::isfinite(x0) || !std::isfinite(z0) || !std::isfinite(x1) || !std::isfinite(z1)) return 0;
  *out = bounds_make({x0, -4096.0f, z0}, {x1, 4096.0f, z1});
  return 1;
}

// Without a grid: the union of the zone's own props' boxes (a unit box when it has none).
Bounds props_root(const MapObject* zone) {
  Vec3 lo = {-1, -1, -1}, hi = {1, 1, 1};
  int any = 0;
  for (uint32_t i = 0; zone && i < zone->prop_count; i++) {
    Bounds b = prop_world_box(&zone->props[i]);
    if (zone->props[i].light_flag) b = bounds_from_sphere(b.centre, zone->props[i].light_radius_max);
    if (zone->props[i].sound_flag) b = bounds_from_sphere(b.centre, zone->props[i].radius);
    if (!std::isfinite(b.min.x + b.min.y + b.min.z + b.max.x + b.max.y + b.max.z)) continue;
    if (!any) {
      lo = b.min;
      hi = b.max;
      any = 1;
      continue;
    }
    lo = {fminf(lo.x, b.min.x), fminf(lo.y, b.min.y), fminf(lo.z, b.min.z)};
    hi = {fmaxf(hi.x, b.max.x), fmaxf(hi.y, b.max.y), fmaxf(hi.z, b.max.z)};
  }
  return bounds_make(lo, hi);
}

}  // namespace

PropCounts zone_prop_counts(const MapObject* zone_map) {
  PropCounts counts = {};
  for (uint32_t i = 0; zone_map && i < zone_map->prop_count; i++) {
    const MapProp* p = &zone_map->props[i];
    uint32_t space = catalogue_prop_space(p->light_flag, p->sound_flag, p->kind);
    if (space <= CATALOGUE_SPACE_COUNT) counts.per_space[space]++;
  }
  return counts;
}

int zone_props_setup(EntityWorld* world, const MapObject* zone_map) {
  Bounds root;
  if (!grid_root(zone_map, &root)) root = props_root(zone_map);
  int ok = 1;
  for (uint32_t which = 0; which < ZONE_TREE_COUNT; which++) {
    ZoneResource* r = resource(world, which);
    if (!r) return 0;
    if (r->destroy) r->destroy(r->handle);
    ZoneTree* tree = (ZoneTree*)mem_alloc(sizeof(ZoneTree));
    *tree = {octree_create(root), which == ZONE_TREE_PROPS ? intmap_create(16) : nullptr, 0};
    *r = {tree, tree_destroy};
    if (!tree->root) ok = 0;
  }
  return ok;
}

uint32_t zone_cell_props_create(EntityWorld* world, const MapObject* map) {
  ZoneTree* props = tree_of(world, ZONE_TREE_PROPS);
  if (!world || !map || map->prop_count == 0) return 0;
  if (props && intmap_contains(props->entries, map->id)) return 0;
  Array* placed = array_create(sizeof(Placed), map->prop_count, nullptr);
  for (uint32_t i = 0; i < map->prop_count; i++) {
    Placed p;
    if (!place_prop(world, &map->props[i], i, &p)) continue;
    ZoneTree* tree = p.tree < ZONE_TREE_COUNT ? tree_of(world, p.tree) : nullptr;
    if (tree && !octree_insert(tree->root, p.handle, &p.box, p.handle)) {
      tree->outside++;
      p.tree = ZONE_TREE_COUNT;
    }
    array_push(placed, &p);
  }
  const uint32_t count = placed->count;
  if (props)
    intmap_insert(props->entries, map->id, placed);
  else
    array_destroy(placed, nullptr);  // a world without trees cannot take them back
  return count;
}

uint32_t zone_cell_props_remove(EntityWorld* world, const MapObject* map) {
  ZoneTree* props = tree_of(world, ZONE_TREE_PROPS);
  if (!world || !map || !props) return 0;
  Array* placed = (Array*)intmap_take(props->entries, map->id);
  if (!placed) return 0;
  uint32_t removed = 0;
  for (uint32_t i = 0; i < placed->count; i++) {
    const Placed* p = array_item<Placed>(placed, i);
    ZoneTree* tree = p->tree < ZONE_TREE_COUNT ? tree_of(world, p->tree) : nullptr;
    if (tree) octree_remove(tree->root, p->handle, &p->box, nullptr);
    removed += entity_destroy(world, p->handle) ? 1u : 0u;
  }
  array_destroy(placed, nullptr);
  return removed;
}

const OctreeNode* zone_props_tree(const EntityWorld* world, uint32_t which) {
  ZoneTree* tree = tree_of(world, which);
  return tree ? tree->root : nullptr;
}

uint32_t zone_props_outside(const EntityWorld* world) {
  uint32_t n = 0;
  for (uint32_t which = 0; which < ZONE_TREE_COUNT; which++)
    if (ZoneTree* tree = tree_of(world, which)) n += tree->outside;
  return n;
}

static uint32_t add_ref(ZoneAssetRef* out, uint32_t capacity, uint32_t n, uint32_t type, uint32_t id) {
  if (id == 0 || n >= capacity) return n;
  for (uint32_t i = 0; i < n; i++)
    if (out[i].type == type && out[i].id == id) return n;
  out[n] = {type, id};
  return n + 1;
}

uint32_t zone_map_assets(const MapObject* map, ZoneAssetRef* out, uint32_t capacity) {
  if (!map || !out) return 0;
  uint32_t n = add_ref(out, capacity, 0, ASSET_BSP, map->bsp_id);
  for (uint32_t i = 0; i < map->material_count; i++)
    n = add_ref(out, capacity, n, ASSET_TEXTURE, map->material_textures[i]);
  for (uint32_t i = 0; i < map->prop_count; i++) {
    const MapProp* p = &map->props[i];
    if (p->light_flag) continue;
    if (p->sound_flag) {
      n = add_ref(out, capacity, n, ASSET_SOUND, p->sound_id);
      continue;
    }
    n = add_ref(out, capacity, n, ASSET_MESH, p->mesh_id);
    n = add_ref(out, capacity, n, ASSET_TEXTURE, p->mesh_word2);
  }
  return n;
}

void zone_map_prepare(const MapObject* map) {
  ZoneAssetRef refs[512];
  const uint32_t n = zone_map_assets(map, refs, 512);
  for (uint32_t i = 0; i < n; i++) {
    AssetHandle h;
    asset_request(&h, refs[i].type, refs[i].id);
  }
}
