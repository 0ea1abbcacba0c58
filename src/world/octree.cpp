#include "world/octree.h"

#include <cmath>

#include "base/fatal.h"
#include "base/mem.h"

// Each level of a walk leaves at most seven siblings waiting plus the eight children just
// pushed; sixteen levels bound every stack.
static constexpr int STACK_SIZE = (OCTREE_MAX_DEPTH + 1) * 8 + 8;

// Child offsets, index = 4 x (x high) + 2 x (y high) + (z high).
static constexpr float CHILD_OFFSET[8][3] = {
    {-0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, 0.5f}, {-0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, 0.5f},
    {0.5f, -0.5f, -0.5f},  {0.5f, -0.5f, 0.5f},  {0.5f, 0.5f, -0.5f},  {0.5f, 0.5f, 0.5f},
};

static bool bounds_finite(const Bounds* b) {
  const float* f = &b->min.x;
  for (int i = 0; i < 15; i++)
    if (!std::isfinite(f[i])) return false;
  return true;
}

int octree_contains(const Bounds* n, const Bounds* b) {
  return b->min.x >= n->min.x && b->min.x <= n->max.x && b->max.x >= n->min.x && b->max.x <= n->max.x &&
         b->min.y >= n->min.y && b->min.y <= n->max.y && b->max.y >= n->min.y && b->max.y <= n->max.y &&
         b->min.z >= n->min.z && b->min.z <= n->max.z && b->max.z >= n->min.z && b->max.z <= n->max.z;
}

static bool overlaps(const Bounds* n, const Bounds* q) {
  return q->max.x >= n->min.x && q->min.x <= n->max.x && q->max.y >= n->min.y && q->min.y <= n->max.y &&
         q->max.z >= n->min.z && q->min.z <= n->max.z;
}

static bool holds_point(const Bounds* n, float x, float y, float z) {
  return n->min.x <= x && x <= n->max.x && n->min.y <= y && y <= n->max.y && n->min.z <= z && z <= n->max.z;
}

// One axis of a child: size = parent size x 0.5 + enlargement, centre = parent centre + size x
// offset, interval = centre -+ size x 0.5. Insertion recomputes these from the parent
// instead of reading the children, with the same operations, so the results are identical.
static inline void child_interval(float parent_centre, float parent_size, float offset, float* min,
                                  float* max) {
  float size = parent_size * 0.5f + OCTREE_CHILD_ENLARGEMENT;
  float centre = parent_centre + size * offset;
  *min = centre - size * 0.5f;
  *max = centre + size * 0.5f;
}

Bounds octree_child_bounds(const Bounds* parent, int k) {
  Vec3 min, max;
  child_interval(parent->centre.x, parent->size.x, CHILD_OFFSET[k][0], &min.x, &max.x);
  child_interval(parent->centre.y, parent->size.y, CHILD_OFFSET[k][1], &min.y, &max.y);
  child_interval(parent->centre.z, parent->size.z, CHILD_OFFSET[k][2], &min.z, &max.z);
  return bounds_make(min, max);
}

static OctreeNode* node_create(const Bounds* bounds, int depth) {
  OctreeNode* node = (OctreeNode*)mem_calloc(1, sizeof(OctreeNode));
  node->depth = depth;
  node->bounds = *bounds;
  return node;
}

OctreeNode* octree_create(Bounds bounds) {
  if (!bounds_finite(&bounds)) return nullptr;
  return node_create(&bounds, 0);
}

void octree_destroy(OctreeNode* root) {
  if (!root) return;
  OctreeNode* stack[STACK_SIZE];
  int top = 0;
  stack[top++] = root;
  while (top > 0) {
    OctreeNode* node = stack[--top];
    if (node->children[0]) {
      BASE_ASSERT(top + 8 <= STACK_SIZE);
      for (int k = 0; k < 8; k++) stack[top++] = node->children[k];
    }
    array_destroy(node->items, nullptr);
    mem_free(node);
  }
}

static void node_append(OctreeNode* node, const OctreeItem* item) {
  if (!node->items) node->items = array_create(sizeof(OctreeItem), 8, nullptr);
  array_push(node->items, item);
}

static void node_split(OctreeNode* node);

// Containment of [lo, hi] in [min, max] on one axis, with the four inclusive tests.
static inline bool axis_fits(float lo, float hi, float min, float max) {
  return lo >= min && lo <= max && hi >= min && hi <= max;
}

// Index of the first child (ascending order) that contains the box, or -1. A child's
// interval on an axis depends only on its bit for that axis, and containment is the AND of
// the three axes, so the first containing child takes the low side of every axis where the
// low side fits.
static int first_containing_child(const OctreeNode* node, const Bounds* b) {
  const float* centre = &node->bounds.centre.x;
  const float* size = &node->bounds.size.x;
  const float* bmin = &b->min.x;
  const float* bmax = &b->max.x;
  int k = 0;
  for (int axis = 0; axis < 3; axis++) {
    float min, max;
    child_interval(centre[axis], size[axis], -0.5f, &min, &max);
    if (axis_fits(bmin[axis], bmax[axis], min, max)) continue;
    child_interval(centre[axis], size[axis], 0.5f, &min, &max);
    if (!axis_fits(bmin[axis], bmax[axis], min, max)) return -1;
    k |= 4 >> axis;
  }
  return k;
}

// The insertion walk from `start`, which must contain the item. Depth-first over children
// in ascending order, a contained inner node either keeps the item (no child contains it) or
// hands it to its first containing child, so the walk never returns to a sibling and needs
// no stack. A split re-enters this walk for the split node's items, so nesting is bounded by
// the depth limit (at most 15).
static void insert_from(OctreeNode* start, const OctreeItem* item) {
  OctreeNode* node = start;
  while (node->children[0]) {
    int k = first_containing_child(node, &item->bounds);
    if (k < 0) {
      node_append(node, item);
      return;
    }
    node = node->children[k];
  }
  node_append(node, item);
  if (node->items->count > (uint32_t)OCTREE_SPLIT_THRESHOLD && node->depth < OCTREE_MAX_DEPTH)
    node_split(node);
}

static void node_split(OctreeNode* node) {
  for (int k = 0; k < 8; k++) {
    Bounds child = octree_child_bounds(&node->bounds, k);
    node->children[k] = node_create(&child, node->depth + 1);
  }
  // Last to first: an item that stays here is appended behind the index still to be visited.
  Array* items = node->items;
  for (int64_t i = (int64_t)items->count - 1; i >= 0; i--) {
    OctreeItem item = *array_item<OctreeItem>(items, (uint32_t)i);
    array_remove_at(items, (uint32_t)i, nullptr);
    insert_from(node, &item);
  }
}

int octree_insert(OctreeNode* root, uint32_t key, const Bounds* bounds, uint32_t value) {
  if (!root || !bounds || !bounds_finite(bounds) || !octree_contains(&root->bounds, bounds)) return 0;
  OctreeItem item;
  item.key = key;
  item.bounds = *bounds;
  item.value = value;
  insert_from(root, &item);
  return 1;
}

int octree_remove(OctreeNode* root, uint32_t key, const Bounds* bounds, uint32_t* value_out) {
  if (!root) return 0;
  OctreeNode* stack[STACK_SIZE];
  int top = 0;
  stack[top++] = root;
  while (top > 0) {
    OctreeNode* node = stack[--top];
    uint32_t count = node->items ? node->items->count : 0;
    for (uint32_t i = 0; i < count; i++) {
      OctreeItem* item = array_item<OctreeItem>(node->items, i);
      if (item->key != key) continue;
      if (value_out) *value_out = item->value;
      array_remove_at(node->items, i, nullptr);
      return 1;
    }
    if (!node->children[0]) continue;
    BASE_ASSERT(top + 8 <= STACK_SIZE);
    for (int k = 7; k >= 0; k--) {
      if (!bounds || octree_contains(&node->children[k]->bounds, bounds)) stack[top++] = node->children[k];
    }
  }
  return 0;
}

// The shared walk of both queries; `match` tests a node's or an item's bounds.
template <typename Match>
static int query_walk(const OctreeNode* root, Match match, uint32_t* keys_out, uint32_t capacity,
                      uint32_t* count_out) {
  uint32_t written = 0;
  int found = 0;
  if (root) {
    const OctreeNode* stack[STACK_SIZE];
    int top = 0;
    stack[top++] = root;
    while (top > 0) {
      const OctreeNode* node = stack[--top];
      if (!match(&node->bounds)) continue;
      uint32_t count = node->items ? node->items->count : 0;
      for (uint32_t i = 0; i < count; i++) {
        const OctreeItem* item = array_item<OctreeItem>(node->items, i);
        if (!match(&item->bounds)) continue;
        found = 1;
        if (keys_out && written < capacity) keys_out[written++] = item->key;
      }
      if (found && (!keys_out || written >= capacity)) break;
      if (!node->children[0]) continue;
      BASE_ASSERT(top + 8 <= STACK_SIZE);
      for (int k = 7; k >= 0; k--) stack[top++] = node->children[k];
    }
  }
  if (count_out) *count_out = written;
  return found;
}

int octree_query_box(const OctreeNode* root, const Bounds* box, uint32_t* keys_out, uint32_t capacity,
                     uint32_t* count_out) {
  if (!box) {
    if (count_out) *count_out = 0;
    return 0;
  }
  return query_walk(
      root, [box](const Bounds* b) { return overlaps(b, box); }, keys_out, capacity, count_out);
}

int octree_query_point(const OctreeNode* root, float x, float y, float z, uint32_t* keys_out,
                       uint32_t capacity, uint32_t* count_out) {
  return query_walk(
      root, [x, y, z](const Bounds* b) { return holds_point(b, x, y, z); }, keys_out, capacity, count_out);
}
