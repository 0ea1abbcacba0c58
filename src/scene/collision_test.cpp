#include "scene/collision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "assets/bsp.h"
#include "base/ray.h"
#include "base/triangle.h"
#include "base/vec3_ops.h"
#include "support/collision_fixture.h"

namespace {

Vec3 corner(const BspCollisionTriangle* t, int i) { return {t->corners[i][0], t->corners[i][1], t->corners[i][2]}; }

struct DemoCells {
  std::vector<BspObject*> cells = collision_fixture_demo_cells(OSTREVANE_BINARY_DIR);
  ~DemoCells() {
    for (BspObject* b : cells) bsp_destroy(b);
  }
};

// Brute force over every triangle of the cell: the nearest collidable hit.
int brute_trace(const BspObject* cell, Vec3 from, Vec3 to, int one_sided, float* distance) {
  const Ray ray = ray_from_points(from, to);
  float best = vec3_distance_squared(from, to);
  int found = 0;
  for (uint32_t i = 0; i < cell->triangle_count; i++) {
    const BspCollisionTriangle* t = &cell->triangles[i];
    Vec3 p;
    if ((t->surface & BSP_SURFACE_NOT_COLLIDABLE) ||
        !ray_hits_triangle(&ray, corner(t, 0), corner(t, 1), corner(t, 2), one_sided, &p))
      continue;
    const float d2 = vec3_distance_squared(p, from);
    if (d2 < best) {
      best = d2;
      found = 1;
    }
  }
  *distance = sqrtf(best);
  return found;
}

struct BruteContacts {
  int count = 0;
  float deepest = -INFINITY;
};
// Each triangle once: the cell's list holds a copy per leaf the triangle crosses.
template <typename Touch>
BruteContacts brute_contacts(const BspObject* cell, Touch touch) {
  BruteContacts out;
  std::set<std::array<const float*, 3>> seen;
  for (uint32_t i = 0; i < cell->triangle_count; i++) {
    const BspCollisionTriangle* t = &cell->triangles[i];
    if (!seen.insert({t->corners[0], t->corners[1], t->corners[2]}).second) continue;
    Contact c;
    if ((t->surface & BSP_SURFACE_NOT_COLLIDABLE) || !touch(corner(t, 0), corner(t, 1), corner(t, 2), &c)) continue;
    out.count++;
    out.deepest = fmaxf(out.deepest, c.penetration);
  }
  return out;
}

}  // namespace

// The tree walks against looking at every triangle of every demo cell: a traversal fault or a
// triangle missing from a leaf shows up as a different nearest hit, contact count or shade.
TEST(Collision, QueriesOverTheDemoCellsMatchBruteForce) {
  DemoCells demo;
  ASSERT_FALSE(demo.cells.empty()) << "build the assets target first";
  std::mt19937 rng(41);
  int hits = 0, touches = 0, shaded = 0;
  for (const BspObject* cell : demo.cells) {
    const Bounds& root = cell->root->bounds;
    std::uniform_real_distribution<float> x(root.min.x - 2, root.max.x + 2), z(root.min.z - 2, root.max.z + 2),
        y(root.min.y - 1, root.max.y + 3), unit(0, 1), radius(0.1f, 2.0f);
    for (int n = 0; n < 60; n++) {
      const Vec3 from = {x(rng), y(rng), z(rng)};
      // Long and short segments, and straight down ones as the ground probes cast.
      Vec3 to = {x(rng), y(rng), z(rng)};
      if (n % 3 == 1) to = {from.x + unit(rng) - 0.5f, from.y - 4 * unit(rng), from.z + unit(rng) - 0.5f};
      if (n % 3 == 2) to = {from.x, root.min.y - 1, from.z};
      for (int one_sided = 0; one_sided < 2; one_sided++) {
        TraceHit hit;
        float expected;
        const int want = brute_trace(cell, from, to, one_sided, &expected);
        ASSERT_EQ(world_trace(cell, from, to, one_sided, &hit), want) << "cell " << cell->id << " trace " << n;
        if (want) {
          EXPECT_NEAR(hit.distance, expected, 1e-3f);
          hits++;
        }
      }

      const Vec3 centre = {from.x, root.min.y + unit(rng) * (root.max.y - root.min.y + 1), from.z};
      const float r = radius(rng);
      Contact contacts[512];
      int count = 0;
      const BruteContacts sphere = brute_contacts(cell, [&](Vec3 a, Vec3 b, Vec3 c, Contact* out) {
        return sphere_triangle_contact(centre, r, r * r, a, b, c, out);
      });
      ASSERT_EQ(world_sphere_contacts(cell, centre, r, contacts, 512, &count), sphere.count > 0);
      ASSERT_EQ(count, sphere.count) << "sphere " << n;
      touches += sphere.count > 0;

      const Capsule capsule = capsule_make(centre, 0.5f, n % 4 == 0 ? 0.8f : 2.0f);
      const BruteContacts swept = brute_contacts(cell, [&](Vec3 a, Vec3 b, Vec3 c, Contact* out) {
        return capsule_triangle_contact(&capsule, a, b, c, out);
      });
      ASSERT_EQ(world_capsule_contacts(cell, &capsule, contacts, 512, &count), swept.count > 0);
      ASSERT_EQ(count, swept.count) << "capsule " << n;
      Contact merged;
      const int deep = swept.count > 0 && swept.deepest > 0.0001f;
      ASSERT_EQ(world_capsule_contact(cell, &capsule, &merged), deep);
      if (deep) {
        EXPECT_FLOAT_EQ(merged.penetration, swept.deepest);
      }

      // Shade: the nearest shaded triangle among those whose bounds meet the search box, when
      // no other is about as near.
      const Vec3 p = {from.x, centre.y, from.z};
      const Bounds search = bounds_make({p.x - 1, p.y - 3, p.z - 1}, {p.x + 1, p.y + 1, p.z + 1});
      float best = INFINITY, second = INFINITY, shade = 1;
      for (uint32_t i = 0; i < cell->triangle_count; i++) {
        const BspCollisionTriangle* t = &cell->triangles[i];
        if ((t->surface & BSP_SURFACE_NO_SHADE) || t->min[0] > search.max.x || t->max[0] < search.min.x ||
            t->min[1] > search.max.y || t->max[1] < search.min.y || t->min[2] > search.max.z ||
            t->max[2] < search.min.z)
          continue;
        float w[3];
        const Vec3 q = closest_point_on_triangle(corner(t, 0), corner(t, 1), corner(t, 2), p, w);
        const float d2 = vec3_distance_squared(p, q);
        if (d2 < best) {
          second = best;
          best = d2;
          shade = (w[0] * t->shade[0] + w[1] * t->shade[1] + w[2] * t->shade[2]) / 255;
        } else if (d2 < second) {
          second = d2;
        }
      }
      if (best == INFINITY) {
        EXPECT_EQ(world_shade_at(cell, p, &search), 1.0f);
      } else if (second - best > 1e-3f) {
        EXPECT_NEAR(world_shade_at(cell, p, &search), shade, 1e-4f) << "shade " << n;
        shaded++;
      }
    }
  }
  // The random queries reached the geometry often enough to mean something.
  EXPECT_GT(hits, 200);
  EXPECT_GT(touches, 100);
  EXPECT_GT(shaded, 100);
}

// Small cells that show each rule on its own.
TEST(Collision, EdgeCases) {
  std::vector<FixtureTriangle> tris;
  // Ground 0..10 at y 0; a wall strip that is not collidable; a "no shade" square above.
  collision_fixture_square(0, 0, 10, 10, 0, 0, 200, &tris);
  tris.push_back({{20, 0, 0}, {20, 0, 10}, {20, 5, 0}, BSP_SURFACE_NOT_COLLIDABLE, {40, 40, 40}});
  collision_fixture_square(30, 0, 40, 10, 0, BSP_SURFACE_NO_SHADE, 10, &tris);
  // A triangle whose shade bytes are 255, 0, 0.
  tris.push_back({{50, 0, 0}, {60, 0, 0}, {50, 0, 10}, 0, {255, 0, 0}});
  BspObject* cell = collision_fixture_cell(tris);
  ASSERT_NE(cell, nullptr);

  // A sphere resting exactly on the ground touches with penetration 0 and the upward normal.
  Contact c[4];
  int count = 0;
  ASSERT_EQ(world_sphere_contacts(cell, {5, 0.5f, 5}, 0.5f, c, 4, &count), 1);
  ASSERT_GE(count, 1);
  EXPECT_EQ(c[0].penetration, 0.0f);
  EXPECT_NEAR(c[0].normal.y, 1.0f, 1e-6f);
  // A full array still reports the touch (both ground triangles meet this sphere).
  EXPECT_EQ(world_sphere_contacts(cell, {5, 0.2f, 5}, 0.5f, c, 1, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(world_sphere_contacts(cell, {5, 0.2f, 5}, 0.5f, c, 0, &count), 1);
  EXPECT_EQ(count, 0);
  // A centre on the triangle has no push-out direction.
  ASSERT_EQ(world_sphere_contacts(cell, {5, 0, 5}, 0.5f, c, 4, &count), 1);
  EXPECT_EQ(c[0].normal.y, 0.0f);
  EXPECT_EQ(c[0].penetration, 0.5f);

  // The uncollidable triangle: no trace, no contact, but it shades.
  TraceHit hit;
  EXPECT_EQ(world_trace(cell, {25, 1, 2}, {15, 1, 2}, 0, &hit), 0);
  EXPECT_EQ(world_sphere_contacts(cell, {20.2f, 1, 2}, 0.5f, c, 4, &count), 0);
  Bounds search = bounds_make({19, 0, 1}, {21, 2, 3});
  EXPECT_NEAR(world_shade_at(cell, {20.1f, 1, 2}, &search), 40.0f / 255, 1e-6f);
  // "No shade" is skipped: nothing else in reach gives 1.0.
  search = bounds_make({34, -1, 4}, {36, 1, 6});
  EXPECT_EQ(world_shade_at(cell, {35, 0.5f, 5}, &search), 1.0f);
  // But it still blocks.
  ASSERT_EQ(world_trace(cell, {35, 1, 5}, {35, -1, 5}, 0, &hit), 1);
  EXPECT_NEAR(hit.distance, 1.0f, 1e-6f);
  EXPECT_EQ(hit.surface, BSP_SURFACE_NO_SHADE);
  // Shade bytes 255, 0, 0 give the first corner's weight.
  search = bounds_make({51, -1, 1}, {54, 1, 4});
  const Vec3 p = {52, 0.25f, 3};
  float w[3];
  closest_point_on_triangle({50, 0, 0}, {60, 0, 0}, {50, 0, 10}, p, w);
  EXPECT_NEAR(world_shade_at(cell, p, &search), w[0], 1e-6f);
  EXPECT_NEAR(w[0], 0.5f, 1e-6f);
  // No cell, or a box away from the cell: 1.0.
  EXPECT_EQ(world_shade_at(nullptr, p, &search), 1.0f);
  search = bounds_make({500, 500, 500}, {501, 501, 501});
  EXPECT_EQ(world_shade_at(cell, {500.5f, 500.5f, 500.5f}, &search), 1.0f);

  // Traces: the zone tools' winding faces up for a one-sided trace from above only.
  EXPECT_EQ(world_trace(cell, {5, 1, 5}, {5, -1, 5}, 1, &hit), 1);
  EXPECT_EQ(world_trace(cell, {5, -1, 5}, {5, 1, 5}, 1, &hit), 0);
  EXPECT_EQ(world_trace(cell, {5, -1, 5}, {5, 1, 5}, 0, &hit), 1);
  EXPECT_EQ(world_trace(cell, {5, 2, 5}, {5, 1, 5}, 0, &hit), 0) << "a segment ending short of the ground";
  bsp_destroy(cell);
}

TEST(Collision, CapsuleRecordAndMergedContact) {
  // Tall: the axis points sit radius below the ends; squat: a sphere.
  const Capsule tall = capsule_make({1, 2, 3}, 0.5f, 2);
  EXPECT_EQ(tall.top.y, 2.5f);
  EXPECT_EQ(tall.bottom.y, 1.5f);
  EXPECT_EQ(tall.radius_squared, 0.25f);
  const Capsule squat = capsule_make({1, 2, 3}, 0.5f, 1);
  EXPECT_EQ(squat.top.y, 2.0f);
  EXPECT_EQ(squat.bottom.y, 2.0f);

  // A 50-degree slope met by the capsule's foot: projected once from the axis top, the
  // nearest axis point would stay 0.55 from the slope; the foot is 0.3 from it.
  Contact foot;
  const Capsule on_slope = capsule_make({0, 1.5f, 0.448f}, 0.5f, 2);
  ASSERT_EQ(capsule_triangle_contact(&on_slope, {-5, 0, 0}, {5, 0, 0}, {0, 11.9175f, 10}, &foot), 1);
  EXPECT_NEAR(foot.penetration, 0.2f, 0.01f);

  // A floor and a wall: the merged contact of a capsule in the corner.
  std::vector<FixtureTriangle> tris;
  collision_fixture_square(0, 0, 10, 10, 0, 0x10, 255, &tris);
  tris.push_back({{0, 0, 0}, {0, 5, 0}, {0, 0, 10}, 0x20, {255, 255, 255}});
  tris.push_back({{0, 5, 0}, {0, 5, 10}, {0, 0, 10}, 0x20, {255, 255, 255}});
  BspObject* cell = collision_fixture_cell(tris);
  ASSERT_NE(cell, nullptr);
  const Capsule corner_capsule = capsule_make({0.4f, 0.9f, 5}, 0.5f, 2);
  Contact m;
  ASSERT_EQ(world_capsule_contact(cell, &corner_capsule, &m), 1);
  EXPECT_NEAR(m.penetration, 0.1f, 1e-5f);
  EXPECT_NEAR(m.normal.x, std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(m.normal.y, std::sqrt(0.5f), 1e-5f);
  EXPECT_EQ(m.surface, 0x30u);
  // Only just touching (0.0001 or less) is no contact.
  const Capsule resting = capsule_make({5, 1.0f, 5}, 0.5f, 2);
  EXPECT_EQ(world_capsule_contact(cell, &resting, &m), 0);
  int count = 0;
  Contact c[4];
  EXPECT_EQ(world_capsule_contacts(cell, &resting, c, 4, &count), 1);
  bsp_destroy(cell);
}
