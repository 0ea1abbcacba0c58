#include "base/ray.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void expect_point(Vec3 got, Vec3 want, const char* why) {
  EXPECT_NEAR(got.x, want.x, 1e-5f) << why;
  EXPECT_NEAR(got.y, want.y, 1e-5f) << why;
  EXPECT_NEAR(got.z, want.z, 1e-5f) << why;
}

// A ray with an exact direction, bypassing normalisation, for axis-aligned cases.
Ray ray_exact(Vec3 origin, Vec3 d) { return {origin, d, {1.0f / d.x, 1.0f / d.y, 1.0f / d.z}}; }

}  // namespace

TEST(Ray, ConstructionNormalisesOrGivesZeroDirection) {
  Ray r = ray_from_points({1, 1, 1}, {1, 4, 5});
  expect_point(r.direction, {0, 0.6f, 0.8f}, "3-4-5");
  EXPECT_TRUE(std::isinf(r.inverse.x));
  EXPECT_FLOAT_EQ(r.inverse.y, 1 / 0.6f);
  Ray z = ray_from_points({1, 1, 1}, {1, 1, 1.00005f});  // |b - a| <= 0.0001
  expect_point(z.direction, {0, 0, 0}, "zero length");
  EXPECT_TRUE(std::isinf(z.inverse.x) && std::isinf(z.inverse.y) && std::isinf(z.inverse.z));
  Ray d = ray_from_direction({0, 0, 0}, {0, 0, -7});
  expect_point(d.direction, {0, 0, -1}, "from direction");
}

TEST(Ray, HitsBoundsTable) {
  const Bounds box = bounds_make({-1, -1, -1}, {1, 1, 1});
  struct Case {
    const char* why;
    Ray ray;
    int hit;
    Vec3 point;
  } cases[] = {
      {"from outside: entry point", ray_exact({-5, 0.5f, 0}, {1, 0, 0}), 1, {-1, 0.5f, 0}},
      {"from inside: exit point", ray_exact({0, 0, 0}, {0, 0, -1}), 1, {0, 0, -1}},
      {"pointing away", ray_exact({-5, 0, 0}, {-1, 0, 0}), 0, {}},
      {"parallel outside the slab", ray_exact({-5, 2, 0}, {1, 0, 0}), 0, {}},
      {"parallel on a face plane (no 0 x inf)", ray_exact({-5, 1, 1}, {1, 0, 0}), 1, {-1, 1, 1}},
      {"diagonal through a corner region", ray_from_points({-3, -3, -3}, {0, 0, 0}), 1, {-1, -1, -1}},
      {"passes beside", ray_from_points({-3, 2.5f, 0}, {3, 0.5f, 5}), 0, {}},
      {"zero direction inside: the origin", ray_from_points({0.5f, 0, 0}, {0.5f, 0, 0}), 1, {0.5f, 0, 0}},
      {"zero direction on the surface", ray_from_points({1, 1, 1}, {1, 1, 1}), 1, {1, 1, 1}},
      {"zero direction outside", ray_from_points({3, 0, 0}, {3, 0, 0}), 0, {}},
  };
  for (const Case& c : cases) {
    Vec3 out = {123, 123, 123};
    EXPECT_EQ(ray_hits_bounds(&c.ray, &box, &out), c.hit) << c.why;
    if (c.hit) {
      EXPECT_TRUE(finite(out)) << c.why;
      expect_point(out, c.point, c.why);
    }
  }
}

TEST(Ray, HitsBoundsAgreesWithMarchingAlongTheRay) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> u(-4, 4);
  int hits = 0;
  for (int n = 0; n < 2000; n++) {
    Bounds b = bounds_make({-1, -0.5f, -2}, {1.5f, 0.5f, 1});
    Vec3 o = {u(rng), u(rng), u(rng)};
    Ray r = ray_from_direction(o, {u(rng), u(rng), u(rng)});
    Vec3 p;
    int hit = ray_hits_bounds(&r, &b, &p);
    hits += hit;
    // March from the origin: a miss means no step lands clearly inside the box.
    bool inside_seen = false;
    for (float t = 0; t < 20 && !inside_seen; t += 0.005f) {
      Vec3 q = {o.x + t * r.direction.x, o.y + t * r.direction.y, o.z + t * r.direction.z};
      inside_seen = q.x > b.min.x + 0.01f && q.x < b.max.x - 0.01f && q.y > b.min.y + 0.01f &&
                    q.y < b.max.y - 0.01f && q.z > b.min.z + 0.01f && q.z < b.max.z - 0.01f;
    }
    if (inside_seen) {
      EXPECT_EQ(hit, 1) << "ray " << n;
    }
    if (hit) {
      // The point written lies on the surface.
      float dx = std::fmin(std::fabs(p.x - b.min.x), std::fabs(p.x - b.max.x));
      float dy = std::fmin(std::fabs(p.y - b.min.y), std::fabs(p.y - b.max.y));
      float dz = std::fmin(std::fabs(p.z - b.min.z), std::fabs(p.z - b.max.z));
      EXPECT_LT(std::fmin(dx, std::fmin(dy, dz)), 1e-4f) << "ray " << n;
      EXPECT_TRUE(p.x >= b.min.x - 1e-4f && p.x <= b.max.x + 1e-4f) << "ray " << n;
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(hits, 100);
}

TEST(Ray, HitsSphereTable) {
  struct Case {
    const char* why;
    Ray ray;
    int hit;
    Vec3 point;
  } cases[] = {
      {"front surface", ray_from_points({0, 0, -10}, {0, 0, 0}), 1, {0, 0, -2}},
      {"origin inside: the origin", ray_from_points({0, 1, 0}, {0, 1, 5}), 1, {0, 1, 0}},
      {"sphere behind", ray_from_points({0, 0, 10}, {0, 0, 20}), 0, {}},
      {"passes beside", ray_from_points({3, 0, -10}, {3, 0, 0}), 0, {}},
      {"grazes", ray_from_points({2, 0, -10}, {2, 0, 0}), 1, {2, 0, 0}},
      {"zero direction outside", ray_from_points({5, 0, 0}, {5, 0, 0}), 0, {}},
  };
  for (const Case& c : cases) {
    Vec3 out;
    EXPECT_EQ(ray_hits_sphere(&c.ray, {0, 0, 0}, 4, &out), c.hit) << c.why;
    if (c.hit) expect_point(out, c.point, c.why);
  }
}

TEST(Ray, HitsTriangleTable) {
  // Normal (Q - P) x (R - P) = +z.
  const Vec3 p = {0, 0, 0}, q = {2, 0, 0}, r = {0, 2, 0};
  struct Case {
    const char* why;
    Ray ray;
    int one_sided, hit;
    Vec3 point;
  } cases[] = {
      {"two-sided from the front", ray_from_points({0.5f, 0.5f, 3}, {0.5f, 0.5f, 0}), 0, 1, {0.5f, 0.5f, 0}},
      {"two-sided from the back", ray_from_points({0.5f, 0.5f, -3}, {0.5f, 0.5f, 0}), 0, 1, {0.5f, 0.5f, 0}},
      {"one-sided: det positive misses", ray_from_points({0.5f, 0.5f, 3}, {0.5f, 0.5f, 0}), 1, 0, {}},
      {"one-sided: det negative hits",
       ray_from_points({0.5f, 0.5f, -3}, {0.5f, 0.5f, 0}),
       1,
       1,
       {0.5f, 0.5f, 0}},
      {"outside the hypotenuse (u + v > 1)", ray_from_points({1.5f, 1.5f, 3}, {1.5f, 1.5f, 0}), 0, 0, {}},
      {"outside an edge (u < 0)", ray_from_points({-0.1f, 0.5f, 3}, {-0.1f, 0.5f, 0}), 0, 0, {}},
      {"triangle behind the origin", ray_from_points({0.5f, 0.5f, 3}, {0.5f, 0.5f, 6}), 0, 0, {}},
      {"parallel to the plane", ray_from_points({-1, 0.5f, 0}, {3, 0.5f, 0}), 0, 0, {}},
      {"no upper limit on distance",
       ray_from_points({0.5f, 0.5f, 1e5f}, {0.5f, 0.5f, 0}),
       0,
       1,
       {0.5f, 0.5f, 0}},
      {"zero direction", ray_from_points({0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}), 0, 0, {}},
      {"NaN origin", ray_from_direction({NAN, 0, 3}, {0, 0, -1}), 0, 0, {}},
  };
  for (const Case& c : cases) {
    Vec3 out;
    EXPECT_EQ(ray_hits_triangle(&c.ray, p, q, r, c.one_sided, &out), c.hit) << c.why;
    if (c.hit) {
      EXPECT_NEAR(out.x, c.point.x, 1e-2f) << c.why;
      EXPECT_NEAR(out.y, c.point.y, 1e-2f) << c.why;
      EXPECT_NEAR(out.z, c.point.z, 1e-2f) << c.why;
    }
  }
}
