#include "world/octree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

Bounds box(float x0, float y0, float z0, float x1, float y1, float z1) {
  return bounds_make({x0, y0, z0}, {x1, y1, z1});
}
Bounds cube(float x, float y, float z, float r) { return box(x - r, y - r, z - r, x + r, y + r, z + r); }

// Independent restatements of the inclusive rules, written per axis over arrays.
bool inside(const Bounds& outer, const Bounds& inner) {
  const float* omin = &outer.min.x;
  const float* omax = &outer.max.x;
  const float* imin = &inner.min.x;
  const float* imax = &inner.max.x;
  for (int a = 0; a < 3; a++)
    if (!(imin[a] >= omin[a] && imax[a] <= omax[a] && imin[a] <= omax[a] && imax[a] >= omin[a])) return false;
  return true;
}
bool touch(const Bounds& a, const Bounds& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

struct Stats {
  size_t items = 0, nodes = 0;
  int max_depth = 0;
};

// Walks the whole tree and checks the structure: all-or-none children at depth + 1 with the
// child formula's bounds, every item inside its node, items kept in an inner node fit no
// child, only depth-15 leaves hold more than five items, and no item fits an earlier sibling
// of any node on its path (children are tried in ascending order).
void check_structure(const OctreeNode* node, Stats* stats, std::vector<Bounds>* earlier) {
  stats->nodes++;
  stats->max_depth = std::max(stats->max_depth, node->depth);
  ASSERT_LE(node->depth, OCTREE_MAX_DEPTH);
  bool leaf = node->children[0] == nullptr;
  uint32_t count = node->items ? node->items->count : 0;
  stats->items += count;
  for (uint32_t i = 0; i < count; i++) {
    const OctreeItem* item = array_item<OctreeItem>(node->items, i);
    ASSERT_TRUE(inside(node->bounds, item->bounds)) << "item " << item->key << " depth " << node->depth;
    for (const Bounds& sibling : *earlier)
      ASSERT_FALSE(inside(sibling, item->bounds)) << "item " << item->key;
    if (!leaf) {
      for (int k = 0; k < 8; k++)
        ASSERT_FALSE(inside(node->children[k]->bounds, item->bounds)) << "fits child " << k;
    }
  }
  if (leaf) {
    for (int k = 0; k < 8; k++) ASSERT_EQ(node->children[k], nullptr);
    if (node->depth < OCTREE_MAX_DEPTH) {
      ASSERT_LE(count, (uint32_t)OCTREE_SPLIT_THRESHOLD);
    }
    return;
  }
  for (int k = 0; k < 8; k++) {
    const OctreeNode* child = node->children[k];
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(child->depth, node->depth + 1);
    // Child k sits on the high side of axis x, y, z when bits 4, 2, 1 of k are set.
    const float* pmin = &node->bounds.min.x;
    const float* pmax = &node->bounds.max.x;
    const float* cmin = &child->bounds.min.x;
    const float* cmax = &child->bounds.max.x;
    for (int a = 0; a < 3; a++) {
      double half = ((double)pmax[a] - pmin[a]) / 2, mid = ((double)pmax[a] + pmin[a]) / 2;
      bool high = k & (4 >> a);
      double want_min = high ? mid : pmin[a] - 0.0001, want_max = high ? pmax[a] + 0.0001 : mid;
      double tolerance = 1e-5 * (1 + std::fabs(mid) + half);
      ASSERT_NEAR(cmin[a], want_min, tolerance) << "child " << k << " axis " << a;
      ASSERT_NEAR(cmax[a], want_max, tolerance) << "child " << k << " axis " << a;
    }
    size_t mark = earlier->size();
    for (int j = 0; j < k; j++) earlier->push_back(node->children[j]->bounds);
    check_structure(child, stats, earlier);
    earlier->resize(mark);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

void check_structure(const OctreeNode* root, Stats* stats) {
  std::vector<Bounds> earlier;
  check_structure(root, stats, &earlier);
}

struct Entry {
  uint32_t key;
  Bounds bounds;
  uint32_t value;
};

std::vector<uint32_t> brute(const std::vector<Entry>& items, const Bounds& query) {
  std::vector<uint32_t> keys;
  for (const Entry& e : items)
    if (touch(e.bounds, query)) keys.push_back(e.key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

// Coordinates on a grid of 1/8 of the root's half: many boxes lie on dividing planes, touch
// the root's faces or degenerate to points or planes.
float grid(std::mt19937& rng) { return -64.0f + 8.0f * (float)(rng() % 17); }

Bounds random_box(std::mt19937& rng) {
  switch (rng() % 8) {
    case 0: {  // on the grid, possibly flat or a point, possibly outside the root
      float a = grid(rng), b = grid(rng), c = grid(rng);
      return box(a, b, c, a + 8.0f * (rng() % 3), b + 8.0f * (rng() % 3), c + 8.0f * (rng() % 3));
    }
    case 1: {  // a small cluster that forces deep splits
      std::uniform_real_distribution<float> d(10.0f, 10.001f);
      float x = d(rng), y = d(rng), z = d(rng);
      return box(x, y, z, x + 1e-4f, y, z);
    }
    case 2: {  // touching a root face
      std::uniform_real_distribution<float> d(-64.0f, 60.0f);
      float x = d(rng), y = d(rng);
      return box(x, y, 60.0f, x + 1.0f, y + 4.0f, 64.0f);
    }
    case 3: {  // not finite
      float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity()};
      Bounds b = cube(1, 2, 3, 1);
      (&b.min.x)[rng() % 6] = bad[rng() % 3];
      return b;
    }
    default: {
      std::uniform_real_distribution<float> d(-70.0f, 70.0f), s(0.0f, 12.0f);
      float x = d(rng), y = d(rng), z = d(rng);
      return box(x, y, z, x + s(rng), y + s(rng), z + s(rng));
    }
  }
}

}  // namespace

// Random inserts, removals and queries against a plain list, with the structure checked
// after every step.
TEST(Octree, MatchesBruteForce) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    Bounds root_bounds = box(-64, -64, -64, 64, 64, 64);
    OctreeNode* root = octree_create(root_bounds);
    std::vector<Entry> items;
    uint32_t next_value = 0;
    int refused = 0, deepest = 0;
    for (int step = 0; step < 3000; step++) {
      uint32_t op = rng() % 10;
      if (op < 6) {
        Entry e{(uint32_t)(rng() % 200), random_box(rng), next_value++};
        bool finite = true;
        for (int i = 0; i < 15; i++) finite = finite && std::isfinite((&e.bounds.min.x)[i]);
        bool fits = finite && inside(root_bounds, e.bounds);
        ASSERT_EQ(octree_insert(root, e.key, &e.bounds, e.value), fits ? 1 : 0) << "step " << step;
        if (fits) items.push_back(e);
        refused += !fits;
      } else if (op < 8 && !items.empty()) {
        // Remove by a key known to be present, with or without that item's bounds.
        const Entry& pick = items[rng() % items.size()];
        uint32_t key = pick.key;
        Bounds hint = pick.bounds;
        uint32_t value = 0xDEAD;
        ASSERT_EQ(octree_remove(root, key, (rng() & 1) ? &hint : nullptr, &value), 1);
        auto it = std::find_if(items.begin(), items.end(), [&](const Entry& e) { return e.value == value; });
        ASSERT_NE(it, items.end());
        ASSERT_EQ(it->key, key);
        items.erase(it);
      } else if (op == 8) {
        uint32_t absent = 1000 + rng() % 10;
        ASSERT_EQ(octree_remove(root, absent, nullptr, nullptr), 0);
      } else {
        Bounds q = random_box(rng);
        std::vector<uint32_t> want = brute(items, q);
        std::vector<uint32_t> got(items.size() + 1);
        uint32_t count = 99;
        ASSERT_EQ(octree_query_box(root, &q, got.data(), (uint32_t)got.size(), &count), want.empty() ? 0 : 1);
        got.resize(count);
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got, want) << "step " << step;
        // A short output is filled as far as the hits allow and holds only hits.
        uint32_t small[3];
        ASSERT_EQ(octree_query_box(root, &q, small, 3, &count), want.empty() ? 0 : 1);
        ASSERT_EQ(count, std::min<size_t>(3, want.size()));
        for (uint32_t i = 0; i < count; i++)
          ASSERT_TRUE(std::binary_search(want.begin(), want.end(), small[i]));
        // The point query at the box's minimum corner against the degenerate box there.
        Bounds p = box(q.min.x, q.min.y, q.min.z, q.min.x, q.min.y, q.min.z);
        want = brute(items, p);
        got.assign(items.size() + 1, 0);
        ASSERT_EQ(
            octree_query_point(root, q.min.x, q.min.y, q.min.z, got.data(), (uint32_t)got.size(), &count),
            want.empty() ? 0 : 1);
        got.resize(count);
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got, want) << "point, step " << step;
      }
      Stats stats;
      check_structure(root, &stats);
      if (HasFatalFailure()) return;
      ASSERT_EQ(stats.items, items.size());
      deepest = std::max(deepest, stats.max_depth);
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(deepest, OCTREE_MAX_DEPTH) << "the cluster should reach the depth limit";
    octree_destroy(root);
  }
}

TEST(Octree, SixthItemSplitsAndStraddlersStay) {
  OctreeNode* root = octree_create(box(0, 0, 0, 8, 8, 8));
  // Two boxes across the centre planes, three inside child 0, none yet split.
  Bounds straddlers[] = {cube(4, 4, 4, 1), box(3, 1, 1, 5, 2, 2)};
  ASSERT_EQ(octree_insert(root, 1, &straddlers[0], 10), 1);
  ASSERT_EQ(octree_insert(root, 2, &straddlers[1], 20), 1);
  for (uint32_t k = 3; k <= 5; k++) {
    Bounds b = cube(1, 1, (float)k / 2, 0.25f);
    ASSERT_EQ(octree_insert(root, k, &b, k * 10), 1);
  }
  EXPECT_EQ(root->children[0], nullptr);
  EXPECT_EQ(root->items->count, 5u);
  Bounds b = cube(7, 7, 7, 0.5f);  // child 7
  ASSERT_EQ(octree_insert(root, 6, &b, 60), 1);
  ASSERT_NE(root->children[0], nullptr);
  // Re-insertion runs last to first, so the straddlers come back in reverse order.
  ASSERT_EQ(root->items->count, 2u);
  EXPECT_EQ(array_item<OctreeItem>(root->items, 0)->key, 2u);
  EXPECT_EQ(array_item<OctreeItem>(root->items, 1)->key, 1u);
  EXPECT_EQ(root->children[0]->items->count, 3u);
  EXPECT_EQ(array_item<OctreeItem>(root->children[0]->items, 0)->key, 5u);
  EXPECT_EQ(root->children[7]->items->count, 1u);
  EXPECT_EQ(root->children[1]->items, nullptr);
  octree_destroy(root);
}

TEST(Octree, DepthFifteenNeverSplits) {
  OctreeNode* root = octree_create(box(-1, -1, -1, 1, 1, 1));
  Bounds point = box(0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f);
  for (uint32_t i = 0; i < 40; i++) ASSERT_EQ(octree_insert(root, i, &point, i), 1);
  Stats stats;
  check_structure(root, &stats);
  EXPECT_EQ(stats.max_depth, OCTREE_MAX_DEPTH);
  EXPECT_EQ(stats.items, 40u);
  uint32_t keys[64], count = 0;
  EXPECT_EQ(octree_query_point(root, 0.3f, 0.3f, 0.3f, keys, 64, &count), 1);
  EXPECT_EQ(count, 40u);
  octree_destroy(root);
}

TEST(Octree, InclusiveFacesAndRefusedBoxes) {
  OctreeNode* root = octree_create(box(0, 0, 0, 10, 10, 10));
  float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    Bounds b;
    int stored;
  } cases[] = {
      {"the root itself", box(0, 0, 0, 10, 10, 10), 1},
      {"touching the max faces", box(9, 9, 9, 10, 10, 10), 1},
      {"a point on a corner", box(0, 0, 0, 0, 0, 0), 1},
      {"a hair outside", box(0, 0, 0, 10.001f, 1, 1), 0},
      {"wholly outside", box(20, 20, 20, 21, 21, 21), 0},
      {"NaN min", box(nan, 0, 0, 1, 1, 1), 0},
      {"infinite max", box(0, 0, 0, 1, std::numeric_limits<float>::infinity(), 1), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(octree_insert(root, 1, &c.b, 0), c.stored) << c.what;
  // A NaN query matches nothing; a face point matches.
  uint32_t count = 5;
  EXPECT_EQ(octree_query_point(root, nan, 1, 1, nullptr, 0, &count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(octree_query_point(root, 10, 10, 10, nullptr, 0, &count), 1);
  Bounds bad = box(nan, nan, nan, nan, nan, nan);
  EXPECT_EQ(octree_create(bad), nullptr);
  octree_destroy(root);
}

TEST(Octree, QueryStopRules) {
  OctreeNode* root = octree_create(box(0, 0, 0, 8, 8, 8));
  // Root keeps straddler 1; child 0 gets 2, 3, 4; child 7 gets 5, 6 (six items: one split).
  Bounds items[] = {cube(4, 4, 4, 1),    cube(1, 1, 1, 0.5f), cube(1.5f, 1.5f, 1.5f, 0.5f),
                    cube(2, 2, 2, 0.5f), cube(6, 6, 6, 0.5f), cube(7, 7, 7, 0.5f)};
  for (uint32_t i = 0; i < 6; i++) ASSERT_EQ(octree_insert(root, i + 1, &items[i], 0), 1);
  ASSERT_NE(root->children[0], nullptr);
  Bounds all = box(0, 0, 0, 8, 8, 8);
  uint32_t keys[8] = {}, count = 0;
  // The split re-inserted last to first, so child 0 holds 4, 3, 2 and child 7 holds 6, 5.
  // Output for 2: the root's key, then the first of child 0; the walk ends with child 0.
  EXPECT_EQ(octree_query_box(root, &all, keys, 2, &count), 1);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(keys[0], 1u);
  EXPECT_EQ(keys[1], 4u);
  // Everything, in walk order: root, then children 0..7.
  EXPECT_EQ(octree_query_box(root, &all, keys, 8, &count), 1);
  std::vector<uint32_t> order(keys, keys + count);
  EXPECT_EQ(order, (std::vector<uint32_t>{1, 4, 3, 2, 6, 5}));
  // Null output: found at the first node with a hit, nothing written.
  count = 7;
  EXPECT_EQ(octree_query_point(root, 7, 7, 7, nullptr, 0, &count), 1);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(octree_query_point(root, 0.1f, 7.9f, 0.1f, keys, 8, &count), 0);
  octree_destroy(root);
}

TEST(Octree, RemoveReportsFoundApartFromValue) {
  OctreeNode* root = octree_create(box(0, 0, 0, 8, 8, 8));
  Bounds b = cube(1, 1, 1, 0.5f);
  Bounds elsewhere = cube(7, 7, 7, 0.5f);
  ASSERT_EQ(octree_insert(root, 9, &b, 0), 1);  // value 0 is a real value
  ASSERT_EQ(octree_insert(root, 9, &b, 5), 1);
  uint32_t value = 77;
  EXPECT_EQ(octree_remove(root, 9, nullptr, &value), 1);
  EXPECT_EQ(value, 0u);
  uint32_t count = 0;
  EXPECT_EQ(octree_query_point(root, 1, 1, 1, nullptr, 0, &count), 1);  // only one removed
  EXPECT_EQ(octree_remove(root, 9, nullptr, &value), 1);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(octree_remove(root, 9, nullptr, &value), 0);
  // With bounds, subtrees not containing them are skipped.
  for (uint32_t i = 0; i < 6; i++) octree_insert(root, 100 + i, &b, i);
  ASSERT_NE(root->children[0], nullptr);
  EXPECT_EQ(octree_remove(root, 100, &elsewhere, &value), 0);
  EXPECT_EQ(octree_remove(root, 100, &b, &value), 1);
  octree_destroy(root);
}
