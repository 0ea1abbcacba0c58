#include "scene/zone_collision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "assets/bsp.h"
#include "base/ray.h"
#include "base/vec3_ops.h"
#include "scene/prop_queries.h"
#include "support/collision_fixture.h"

namespace {

// The fixture's prop list, handed out by brute force as the zone's prop index would.
std::vector<PropBox> g_props;
int fixture_source(const Bounds* box, PropBox* out, int capacity) {
  int n = 0;
  for (const PropBox& p : g_props) {
    if (n == capacity) break;
    if (p.bounds.min.x <= box->max.x && p.bounds.max.x >= box->min.x && p.bounds.min.y <= box->max.y &&
        p.bounds.max.y >= box->min.y && p.bounds.min.z <= box->max.z && p.bounds.max.z >= box->min.z)
      out[n++] = p;
  }
  return n;
}

class PropQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    g_props.clear();
    props_set_source(fixture_source);
  }
  void TearDown() override {
    props_set_source(nullptr);
    g_props.clear();
  }
};

float box_distance(const Bounds& b, Vec3 p) {
  const float dx = fmaxf(fmaxf(b.min.x - p.x, 0.0f), p.x - b.max.x);
  const float dy = fmaxf(fmaxf(b.min.y - p.y, 0.0f), p.y - b.max.y);
  const float dz = fmaxf(fmaxf(b.min.z - p.z, 0.0f), p.z - b.max.z);
  return sqrtf(dx * dx + dy * dy + dz * dz);
}

// How far the point is from the box's faces (inside or out).
float surface_distance(const Bounds& b, Vec3 p) {
  const float outside = box_distance(b, p);
  if (outside > 0) return outside;
  return fminf(fminf(fminf(p.x - b.min.x, b.max.x - p.x), fminf(p.y - b.min.y, b.max.y - p.y)),
               fminf(p.z - b.min.z, b.max.z - p.z));
}

bool passes(uint32_t header, int32_t filter) {
  return filter == -1 ? true : filter == 0 ? (header & 1) == 0 : (header & (uint32_t)filter) != 0;
}

}  // namespace

// Random props against brute force per filter: traces against each box's twelve triangles,
// touches against the distance to each box, gathers against overlap.
TEST_F(PropQueries, MatchBruteForcePerFilter) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> at(0, 40), size(0.5f, 4), unit(0, 1);
  for (int i = 0; i < 40; i++) {
    const Vec3 lo = {at(rng), at(rng) / 4, at(rng)};
    g_props.push_back({100u + i, (uint32_t)(i % 4), bounds_make(lo, {lo.x + size(rng), lo.y + size(rng), lo.z + size(rng)})});
  }
  const int32_t filters[] = {-1, 0, 1, 2};
  int hits = 0, touches = 0;
  for (int n = 0; n < 300; n++) {
    const Vec3 from = {at(rng), at(rng) / 4 + 5 * unit(rng), at(rng)}, to = {at(rng), at(rng) / 4, at(rng)};
    const float r = 0.2f + 2 * unit(rng);
    for (int32_t filter : filters) {
      const Ray ray = ray_from_points(from, to);
      float best = vec3_distance_squared(from, to);
      bool inside = false, want_hit = false, want_touch = false;
      int want_gather = 0;
      for (const PropBox& p : g_props) {
        if (!passes(p.header, filter)) continue;
        const Bounds& b = p.bounds;
        inside = inside || box_distance(b, from) == 0;
        std::vector<FixtureTriangle> tris;
        collision_fixture_box(b.min, b.max, 0, &tris);
        for (const FixtureTriangle& t : tris) {
          Vec3 q;
          if (ray_hits_triangle(&ray, t.a, t.b, t.c, 0, &q) && vec3_distance_squared(q, from) < best) {
            best = vec3_distance_squared(q, from);
            want_hit = true;
          }
        }
        if (surface_distance(b, to) <= r) want_touch = true;
        const Bounds q = bounds_from_sphere(to, r);
        if (q.min.x <= b.max.x && q.max.x >= b.min.x && q.min.y <= b.max.y && q.max.y >= b.min.y &&
            q.min.z <= b.max.z && q.max.z >= b.min.z)
          want_gather++;
      }
      if (inside) continue;  // from inside a box the trace reports where it leaves
      TraceHit hit;
      ASSERT_EQ(props_trace(from, to, filter, &hit), want_hit ? 1 : 0) << n << " filter " << filter;
      if (want_hit) {
        EXPECT_NEAR(hit.distance, sqrtf(best), 1e-3f);
        hits++;
      }
      int count = 0;
      Contact contacts[64];
      ASSERT_EQ(props_sphere_contacts(to, r, filter, contacts, 64, &count), want_touch ? 1 : 0) << n;
      touches += want_touch;
      uint32_t handles[64];
      const Bounds q = bounds_from_sphere(to, r);
      EXPECT_EQ(props_gather_box(&q, filter, handles, 64), want_gather);
      for (int k = 0; k < props_gather_box(&q, filter, handles, 64); k++)
        EXPECT_TRUE(passes(g_props[handles[k] - 100].header, filter));
    }
  }
  EXPECT_GT(hits, 50);
  EXPECT_GT(touches, 50);
}

TEST_F(PropQueries, CylinderGatherAndBoxContacts) {
  g_props.push_back({7, 0, bounds_make({0, 0, 0}, {2, 1, 2})});
  g_props.push_back({8, 1, bounds_make({0, 0, 0}, {2, 3, 2})});  // a water volume
  uint32_t h[4];
  // The circle misses the corner that the square around it would reach.
  EXPECT_EQ(props_gather_cylinder({2.6f, 0.5f, 2.6f}, {2.6f, 0.5f, 2.6f}, 0.8f, -1, h, 4), 0);
  EXPECT_EQ(props_gather_cylinder({2.5f, 0.5f, 1}, {2.5f, 0.5f, 1}, 0.6f, -1, h, 4), 2);
  ASSERT_EQ(props_gather_cylinder({1, 2, 1}, {1, 2.5f, 1}, 0.1f, 1, h, 4), 1);
  EXPECT_EQ(h[0], 8u) << "only the water volume reaches y 2";
  EXPECT_EQ(props_gather_cylinder({1, 0.5f, 1}, {1, 0.5f, 1}, 0, 0, h, 4), 1);
  // Standing on the solid box: the contact pushes up.
  const Capsule c = capsule_make({1, 1.45f, 1}, 0.5f, 1.0f);
  Contact m;
  ASSERT_EQ(props_capsule_contact(&c, 0, &m), 1);
  EXPECT_NEAR(m.penetration, 0.05f, 1e-5f);
  EXPECT_NEAR(m.normal.y, 1.0f, 1e-5f);
  // No source: nothing.
  props_set_source(nullptr);
  EXPECT_EQ(props_capsule_contact(&c, 0, &m), 0);
  EXPECT_EQ(props_gather_cylinder({1, 0.5f, 1}, {1, 0.5f, 1}, 0, -1, h, 4), 0);
}

// Two cells and a prop through the zone-level merging rules.
TEST_F(PropQueries, ZoneQueriesMergeCellsAndProps) {
  std::vector<FixtureTriangle> a, b;
  collision_fixture_square(0, 0, 64, 64, 0, 0x100, 100, &a);
  collision_fixture_square(64, 0, 128, 64, 2, 0x200, 200, &b);
  // A second floor in the first cell's square but listed by the second cell: the nearer one
  // wins whichever cell holds it.
  collision_fixture_square(10, 10, 20, 20, 1, 0x400, 50, &b);
  CollisionFixtureZone zone({{0, 0, collision_fixture_cell(a)}, {1, 0, collision_fixture_cell(b)}}, 64);
  ASSERT_TRUE(zone.ok());

  TraceHit hit;
  ASSERT_EQ(zone_trace({15, 5, 15}, {15, -5, 15}, &hit), 1);
  EXPECT_EQ(hit.surface, 0x400u);
  EXPECT_NEAR(hit.point.y, 1.0f, 1e-6f);
  ASSERT_EQ(zone_trace({5, 5, 5}, {5, -5, 5}, &hit), 1);
  EXPECT_EQ(hit.surface, 0x100u);
  // A prop wins only when strictly nearer: at the floor's own height the floor stays.
  g_props.push_back({9, 0, bounds_make({4, 0, 4}, {6, 3, 6})});
  ASSERT_EQ(zone_trace({5, 5, 5}, {5, -5, 5}, &hit), 1);
  EXPECT_EQ(hit.surface, 0u) << "the box top at 3 is nearer";
  EXPECT_NEAR(hit.point.y, 3.0f, 1e-6f);
  EXPECT_NEAR(hit.normal.y, 1.0f, 1e-6f);
  ASSERT_EQ(zone_trace_world({5, 5, 5}, {5, -5, 5}, &hit), 1);
  EXPECT_EQ(hit.surface, 0x100u) << "the world trace ignores props";
  g_props[0].bounds = bounds_make({4, -1, 4}, {6, 0, 6});
  ASSERT_EQ(zone_trace({5, 5, 5}, {5, -5, 5}, &hit), 1);
  EXPECT_EQ(hit.surface, 0x100u) << "a tie keeps the world hit";
  // Water volumes (bit 0) do not block.
  g_props[0] = {9, 1, bounds_make({4, 0, 4}, {6, 3, 6})};
  ASSERT_EQ(zone_trace({5, 5, 5}, {5, -5, 5}, &hit), 1);
  EXPECT_EQ(hit.surface, 0x100u);

  // Merged contact over both cells' floors at the seam, then with a prop: the midpoint rule.
  g_props.clear();
  const Capsule seam = capsule_make({64, 2.4f, 30}, 0.5f, 1.0f);
  Contact m;
  ASSERT_EQ(zone_capsule_contact(&seam, &m), 1);
  EXPECT_NEAR(m.penetration, 0.1f, 1e-5f);
  EXPECT_EQ(m.surface, 0x200u);
  const Capsule low = capsule_make({30, 0.45f, 30}, 0.5f, 1.0f);
  ASSERT_EQ(zone_capsule_contact(&low, &m), 1);
  const Contact world = m;
  g_props.push_back({9, 0, bounds_make({29, 0, 30.2f}, {31, 2, 31})});
  ASSERT_EQ(zone_capsule_contact(&low, &m), 1);
  Contact prop;
  ASSERT_EQ(props_capsule_contact(&low, 0, &prop), 1);
  EXPECT_NEAR(m.point.x, (world.point.x + prop.point.x) / 2, 1e-5f);
  EXPECT_NEAR(m.point.z, (world.point.z + prop.point.z) / 2, 1e-5f);
  const Vec3 mean = vec3_unit(vec3_add(world.normal, prop.normal));
  EXPECT_NEAR(m.normal.x, mean.x, 1e-5f);
  EXPECT_NEAR(m.normal.z, mean.z, 1e-5f);
  EXPECT_FLOAT_EQ(m.penetration, fmaxf(world.penetration, prop.penetration));
  EXPECT_EQ(m.surface, 0x100u);

  // Contact lists: the props' first, then the cells', while room remains.
  Contact list[16];
  int count = 0;
  const Sphere s = {{30, 0.3f, 30.5f}, 0.5f, 0.25f};
  ASSERT_EQ(zone_sphere_contacts(&s, list, 16, &count), 1);
  ASSERT_GE(count, 2);
  EXPECT_EQ(list[0].surface, 0u);
  EXPECT_EQ(list[count - 1].surface, 0x100u);
  ASSERT_EQ(zone_sphere_contacts(&s, list, 1, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(list[0].surface, 0u);
  ASSERT_EQ(zone_capsule_contacts(&low, list, 16, &count), 1);
  EXPECT_EQ(list[count - 1].surface, 0x100u);

  // The light under a model: the shade of the floor its base stands on.
  float light = 0;
  Bounds model = bounds_make({40, 0.0f, 40}, {41, 2, 41});
  ASSERT_EQ(zone_light_sample(&model, &light), 1);
  EXPECT_NEAR(light, 100.0f / 255, 1e-6f);
  model = bounds_make({80, 2.5f, 40}, {81, 4, 41});
  ASSERT_EQ(zone_light_sample(&model, &light), 1);
  EXPECT_NEAR(light, 200.0f / 255, 1e-6f) << "within a unit above the floor";
  model = bounds_make({500, 0, 500}, {501, 2, 501});
  ASSERT_EQ(zone_light_sample(&model, &light), 1);
  EXPECT_EQ(light, 1.0f) << "no cell there";
  model.max.y = NAN;
  EXPECT_EQ(zone_light_sample(&model, &light), 0);
}
