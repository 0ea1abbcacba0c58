#pragma once
// Spatial octree: a loose octree of boxes (each item a Bounds with a 32-bit key and a 32-bit
// value) for finding the few items that touch a point or a box. An item lives in the deepest
// node that contains its whole box; a leaf that reaches 6 items splits into eight children
// unless its depth is 15. Children are half the parent's size plus 0.0001 on every axis,
// centred at parent centre + child size x (+-0.5 per axis): they meet at the parent's centre
// planes and reach 0.0001 past its outer faces. Items that no single child contains stay in
// the parent. Nodes never merge after removals. Duplicate keys are allowed.
//
// All tests are inclusive (min <= x <= max). Every walk is depth-first without recursion
// (queries and removal keep an explicit stack) and visits children in ascending index order,
// index = 4 x (x high) + 2 x (y high) + (z high), so results come out in a fixed order and an
// item fitting two children goes to the lower index. Boxes and roots with non-finite values
// are refused; a non-finite query point or box matches nothing. Allocation failure is fatal.
// A tree is not thread-safe.
#include <cstdint>

#include "base/array.h"
#include "base/math.h"

constexpr int OCTREE_SPLIT_THRESHOLD = 5;  // a leaf holding more than this splits
constexpr int OCTREE_MAX_DEPTH = 15;       // nodes of this depth never split
constexpr float OCTREE_CHILD_ENLARGEMENT = 0.0001f;

struct OctreeItem {
  uint32_t key;
  Bounds bounds;
  uint32_t value;
};

struct OctreeNode {
  int depth;                // root 0
  OctreeNode* children[8];  // all null (leaf) or all set
  Bounds bounds;
  Array* items;  // of OctreeItem, created on the first insertion, or null
};

// Root of depth 0 with these bounds; null when a bound is not finite.
OctreeNode* octree_create(Bounds bounds);
void octree_destroy(OctreeNode* root);
// 1 stored; 0 when the box is not finite or not entirely inside the root.
int octree_insert(OctreeNode* root, uint32_t key, const Bounds* bounds, uint32_t value);
// Removes the first item with the key found (depth-first, items in list order) and writes
// its value to value_out (may be null). With bounds, only children entirely containing them
// are searched. 1 when an item was removed, 0 when none was found: a value of 0 is valid.
int octree_remove(OctreeNode* root, uint32_t key, const Bounds* bounds, uint32_t* value_out);
// Writes the keys of items overlapping the box while the output has room; *count_out gets
// the number written. 1 when at least one item overlapped. The walk ends after the node in
// which the output became full, or after the first node with a hit when keys_out is null.
int octree_query_box(const OctreeNode* root, const Bounds* box, uint32_t* keys_out, uint32_t capacity,
                     uint32_t* count_out);
// As octree_query_box for the items containing the point.
int octree_query_point(const OctreeNode* root, float x, float y, float z, uint32_t* keys_out,
                       uint32_t capacity, uint32_t* count_out);

// Inclusive containment of box b in node bounds n, as the tree uses it.
int octree_contains(const Bounds* n, const Bounds* b);
// Bounds of child k (0..7) of a node with these bounds.
Bounds octree_child_bounds(const Bounds* parent, int k);
