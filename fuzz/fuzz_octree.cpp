// Operation sequences on the octree against a brute-force list: inserts of boxes built from
// grid values (so they sit on dividing planes and root faces) or raw float bits (NaN,
// infinities, huge values), removals with and without bounds, box and point queries with
// roomy and short outputs, and a structural walk. Any disagreement aborts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "world/octree.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size, at;
  uint32_t byte() { return at < size ? data[at++] : 0; }
  uint32_t word() { return byte() | byte() << 8 | byte() << 16 | byte() << 24; }
  bool done() const { return at >= size; }
  float coord() {
    uint32_t b = byte();
    if (b == 255) {
      uint32_t bits = word();
      float f;
      memcpy(&f, &bits, 4);
      return f;
    }
    return ((float)b - 127.0f) / 4.0f;  // root is +-32: 127 grid steps of 0.25 and some outside
  }
};

#define CHECK(cond)       \
  do {                    \
    if (!(cond)) abort(); \
  } while (0)

struct Entry {
  uint32_t key;
  Bounds bounds;
  uint32_t value;
};

bool within(const Bounds& o, const Bounds& i) {
  return i.min.x >= o.min.x && i.max.x <= o.max.x && i.min.y >= o.min.y && i.max.y <= o.max.y &&
         i.min.z >= o.min.z && i.max.z <= o.max.z && i.min.x <= o.max.x && i.max.x >= o.min.x &&
         i.min.y <= o.max.y && i.max.y >= o.min.y && i.min.z <= o.max.z && i.max.z >= o.min.z;
}
bool touch(const Bounds& a, const Bounds& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}
bool finite(const Bounds& b) {
  for (int i = 0; i < 15; i++)
    if (!std::isfinite((&b.min.x)[i])) return false;
  return true;
}

size_t walk(const OctreeNode* node) {
  size_t count = node->items ? node->items->count : 0;
  bool leaf = !node->children[0];
  CHECK(node->depth <= OCTREE_MAX_DEPTH);
  CHECK(!leaf || node->depth == OCTREE_MAX_DEPTH || count <= (size_t)OCTREE_SPLIT_THRESHOLD);
  for (size_t i = 0; i < (node->items ? node->items->count : 0); i++) {
    const OctreeItem* item = array_item<OctreeItem>(node->items, (uint32_t)i);
    CHECK(within(node->bounds, item->bounds));
    if (!leaf)
      for (int k = 0; k < 8; k++) CHECK(!within(node->children[k]->bounds, item->bounds));
  }
  if (!leaf)
    for (int k = 0; k < 8; k++) {
      CHECK(node->children[k] && node->children[k]->depth == node->depth + 1);
      count += walk(node->children[k]);
    }
  return count;
}

std::vector<uint32_t> brute(const std::vector<Entry>& items, const Bounds& q) {
  std::vector<uint32_t> keys;
  for (const Entry& e : items)
    if (touch(e.bounds, q)) keys.push_back(e.key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

Bounds read_box(Reader& in) {
  float x = in.coord(), y = in.coord(), z = in.coord();
  uint32_t extent = in.byte();
  // Extents of 0 (points and planes) are common; a wrapped grid step gives an inverted box.
  float dx = (float)(extent & 3) * 0.25f, dy = (float)(extent >> 2 & 3) * 0.25f,
        dz = (float)(extent >> 4 & 7) * 2;
  if (extent & 0x80) dx = -dx;
  return bounds_make({x, y, z}, {x + dx, y + dy, z + dz});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size, 0};
  Bounds root_bounds = bounds_make({-32, -32, -32}, {32, 32, 32});
  OctreeNode* root = octree_create(root_bounds);
  std::vector<Entry> items;
  uint32_t next_value = 0;
  for (int step = 0; step < 2000 && !in.done(); step++) {
    uint32_t op = in.byte();
    switch (op % 6) {
      case 0:
      case 1: {
        Entry e{in.byte() % 16, read_box(in), next_value++};
        bool ok = finite(e.bounds) && within(root_bounds, e.bounds);
        CHECK(octree_insert(root, e.key, &e.bounds, e.value) == (ok ? 1 : 0));
        if (ok) items.push_back(e);
        break;
      }
      case 2: {
        uint32_t key = in.byte() % 20;
        bool with_bounds = op & 0x40;
        Bounds hint = read_box(in);
        bool present = false;
        for (const Entry& e : items) present = present || e.key == key;
        uint32_t value = 0xFFFFFFFF;
        int found = octree_remove(root, key, with_bounds ? &hint : nullptr, &value);
        if (!with_bounds) CHECK(found == (present ? 1 : 0));
        if (found) {
          auto it =
              std::find_if(items.begin(), items.end(), [&](const Entry& e) { return e.value == value; });
          CHECK(it != items.end() && it->key == key);
          items.erase(it);
        }
        break;
      }
      case 3:
      case 4: {
        Bounds q = read_box(in);
        std::vector<uint32_t> want = brute(items, q);
        std::vector<uint32_t> got(items.size() + 1);
        uint32_t count = 0;
        CHECK(octree_query_box(root, &q, got.data(), (uint32_t)got.size(), &count) == (want.empty() ? 0 : 1));
        got.resize(count);
        std::sort(got.begin(), got.end());
        CHECK(got == want);
        uint32_t small[2];
        CHECK(octree_query_box(root, &q, small, 2, &count) == (want.empty() ? 0 : 1));
        CHECK(count == std::min<size_t>(2, want.size()));
        CHECK(octree_query_box(root, &q, nullptr, 0, &count) == (want.empty() ? 0 : 1) && count == 0);
        Bounds p = bounds_make(q.min, q.min);
        want = brute(items, p);
        got.assign(items.size() + 1, 0);
        CHECK(octree_query_point(root, q.min.x, q.min.y, q.min.z, got.data(), (uint32_t)got.size(), &count) ==
              (want.empty() ? 0 : 1));
        got.resize(count);
        std::sort(got.begin(), got.end());
        CHECK(got == want);
        break;
      }
      default:
        CHECK(walk(root) == items.size());
        break;
    }
  }
  CHECK(walk(root) == items.size());
  octree_destroy(root);
  return 0;
}
