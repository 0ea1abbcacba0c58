#include "base/triangle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "support/math_test_support.h"

namespace {

// Reads n doubles from the reference output; false when it ends early.
bool read_doubles(const char** cursor, double* out, int n) {
  for (int i = 0; i < n; i++) {
    char* end;
    out[i] = strtod(*cursor, &end);
    if (end == *cursor) return false;
    *cursor = end;
  }
  return true;
}

std::string vec_text(Vec3 v) {
  char text[64];
  snprintf(text, sizeof text, "%.9g %.9g %.9g ", v.x, v.y, v.z);
  return text;
}

// Random triangles of every shape (thin slivers and near-degenerate ones among them) and
// points around them, including points in every Voronoi region.
struct Sample {
  Vec3 a, b, c, p;
};
std::vector<Sample> random_samples(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-10, 10), small(-0.05f, 0.05f);
  std::vector<Sample> out;
  for (int i = 0; i < n; i++) {
    Sample s = {{d(rng), d(rng), d(rng)}, {d(rng), d(rng), d(rng)}, {d(rng), d(rng), d(rng)},
                {d(rng) * 1.5f, d(rng) * 1.5f, d(rng) * 1.5f}};
    if (i % 10 == 0) s.c = {s.b.x + small(rng), s.b.y + small(rng), s.b.z + small(rng)};  // a sliver
    out.push_back(s);
  }
  return out;
}

}  // namespace

// numpy in float64 finds the closest point independently: the plane projection when it falls
// inside, else the nearest of the three edges' clamped projections; and a dense barycentric
// search must find nothing nearer.
TEST(Triangle, ClosestPointsMatchNumpy) {
  const std::vector<Sample> samples = random_samples(300, 21);
  std::string input;
  for (const Sample& s : samples) input += vec_text(s.a) + vec_text(s.b) + vec_text(s.c) + vec_text(s.p) + "\n";
  std::string output;
  REQUIRE_REFERENCE_PYTHON(
      "import sys, numpy as np\n"
      "def seg(a, b, p):\n"
      "    d = b - a\n"
      "    t = 0.0 if d @ d == 0 else min(max((p - a) @ d / (d @ d), 0.0), 1.0)\n"
      "    return a + t * d\n"
      "n = 60\n"
      "i, j = np.meshgrid(np.arange(n + 1), np.arange(n + 1))\n"
      "keep = i + j <= n\n"
      "u, v = (i[keep] / n)[:, None], (j[keep] / n)[:, None]\n"
      "for line in sys.stdin:\n"
      "    a, b, c, p = np.array([float(x) for x in line.split()], dtype=np.float64).reshape(4, 3)\n"
      "    best = min((seg(a, b, p), seg(b, c, p), seg(c, a, p)), key=lambda q: (p - q) @ (p - q))\n"
      "    n3 = np.cross(b - a, c - a)\n"
      "    if n3 @ n3 > 1e-12:\n"
      "        q = p - (p - a) @ n3 / (n3 @ n3) * n3\n"
      "        m = np.array([b - a, c - a]).T\n"
      "        s, t = np.linalg.lstsq(m, q - a, rcond=None)[0]\n"
      "        if s >= 0 and t >= 0 and s + t <= 1:\n"
      "            best = q\n"
      "    grid = a + u * (b - a) + v * (c - a)\n"
      "    dense = np.min(np.sum((grid - p) ** 2, axis=1))\n"
      "    print(' '.join('%.17g' % x for x in best), '%.17g' % np.sqrt(dense))\n",
      input, &output);
  const char* cursor = output.c_str();
  for (size_t n = 0; n < samples.size(); n++) {
    const Sample& s = samples[n];
    double ref[4];
    ASSERT_TRUE(read_doubles(&cursor, ref, 4)) << "numpy output ended at sample " << n;
    float w[3];
    const Vec3 q = closest_point_on_triangle(s.a, s.b, s.c, s.p, w);
    const double distance = std::sqrt((q.x - s.p.x) * (double)(q.x - s.p.x) + (q.y - s.p.y) * (double)(q.y - s.p.y) +
                                      (q.z - s.p.z) * (double)(q.z - s.p.z));
    const double ref_distance = std::sqrt((ref[0] - s.p.x) * (ref[0] - s.p.x) + (ref[1] - s.p.y) * (ref[1] - s.p.y) +
                                          (ref[2] - s.p.z) * (ref[2] - s.p.z));
    EXPECT_NEAR(distance, ref_distance, 2e-4) << "sample " << n;
    EXPECT_LE(distance, ref[3] + 2e-4) << "the dense search found a nearer point, sample " << n;
    // Away from slivers the point itself is unique.
    if (n % 10 != 0) {
      EXPECT_NEAR(q.x, ref[0], 1e-3) << "sample " << n;
      EXPECT_NEAR(q.y, ref[1], 1e-3) << "sample " << n;
      EXPECT_NEAR(q.z, ref[2], 1e-3) << "sample " << n;
    }
    // The weights are barycentric and name the point.
    EXPECT_NEAR(w[0] + w[1] + w[2], 1.0f, 1e-4f);
    for (float x : w) EXPECT_GE(x, -1e-5f);
    EXPECT_NEAR(w[0] * s.a.x + w[1] * s.b.x + w[2] * s.c.x, q.x, 1e-3f);
    EXPECT_NEAR(w[0] * s.a.z + w[1] * s.b.z + w[2] * s.c.z, q.z, 1e-3f);
  }
}

TEST(Triangle, SegmentClosestPointsAndNormalsMatchNumpy) {
  const std::vector<Sample> samples = random_samples(200, 22);
  std::string input;
  for (const Sample& s : samples) input += vec_text(s.a) + vec_text(s.b) + vec_text(s.c) + vec_text(s.p) + "\n";
  std::string output;
  REQUIRE_REFERENCE_PYTHON(
      "import sys, numpy as np\n"
      "for line in sys.stdin:\n"
      "    a, b, c, p = np.array([float(x) for x in line.split()], dtype=np.float64).reshape(4, 3)\n"
      "    d = b - a\n"
      "    t = np.clip((p - a) @ d / (d @ d), 0.0, 1.0)\n"
      "    n = np.cross(b - a, c - a)\n"
      "    n = n / np.linalg.norm(n) if np.linalg.norm(n) > 1e-4 else np.zeros(3)\n"
      "    print(' '.join('%.17g' % x for x in np.concatenate([a + t * d, n])))\n",
      input, &output);
  const char* cursor = output.c_str();
  for (size_t n = 0; n < samples.size(); n++) {
    const Sample& s = samples[n];
    double ref[6];
    ASSERT_TRUE(read_doubles(&cursor, ref, 6)) << "numpy output ended at sample " << n;
    const Vec3 q = closest_point_on_segment(s.a, s.b, s.p);
    EXPECT_NEAR(q.x, ref[0], 1e-4) << n;
    EXPECT_NEAR(q.y, ref[1], 1e-4) << n;
    EXPECT_NEAR(q.z, ref[2], 1e-4) << n;
    const Vec3 normal = triangle_normal(s.a, s.b, s.c);
    EXPECT_NEAR(normal.x, ref[3], 1e-3) << n;
    EXPECT_NEAR(normal.y, ref[4], 1e-3) << n;
    EXPECT_NEAR(normal.z, ref[5], 1e-3) << n;
  }
}

TEST(Triangle, DegenerateInputsGiveTheDocumentedFallbacks) {
  // A segment of no length answers its start; a parameter past either end is clamped.
  const Vec3 a = {1, 2, 3};
  const Vec3 same = closest_point_on_segment(a, a, {9, 9, 9});
  EXPECT_EQ(same.x, 1);
  const Vec3 past = closest_point_on_segment({0, 0, 0}, {1, 0, 0}, {5, 1, 0});
  EXPECT_EQ(past.x, 1);
  const Vec3 before = closest_point_on_segment({0, 0, 0}, {1, 0, 0}, {-5, 1, 0});
  EXPECT_EQ(before.x, 0);
  // Collinear corners have no normal; a tiny triangle neither.
  const Vec3 none = triangle_normal({0, 0, 0}, {1, 0, 0}, {2, 0, 0});
  EXPECT_EQ(none.x, 0);
  EXPECT_EQ(none.y, 0);
  EXPECT_EQ(none.z, 0);
  const Vec3 tiny = triangle_normal({0, 0, 0}, {0.005f, 0, 0}, {0, 0, 0.005f});
  EXPECT_EQ(tiny.y, 0);
  // All three corners at one point: that point, weight on the first corner.
  float w[3];
  const Vec3 q = closest_point_on_triangle(a, a, a, {0, 0, 0}, w);
  EXPECT_EQ(q.x, 1);
  EXPECT_EQ(w[0] + w[1] + w[2], 1);
}
