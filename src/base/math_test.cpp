#include "base/math.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>
#include <string>

#include "base/cpu_features.h"
#include "base/math_kernels.h"
#include "support/math_test_support.h"

// Our row-major matrix M (row vectors on the left) has exactly the memory of GLM's
// column-major matrix Mt (column vectors on the right): v x M == Mt * v, A x B == Bt * At,
// and post-multiplying by X (M <- M x X) is GLM's pre-multiplication Xt * Mt.

static glm::mat4 to_glm(const Mat4& m) { return glm::make_mat4(m.m); }

static Mat4 random_matrix(std::mt19937& rng, float range = 2.0f) {
  std::uniform_real_distribution<float> d(-range, range);
  Mat4 m;
  for (float& v : m.m) v = d(rng);
  return m;
}

static void expect_matrix_near(const Mat4& ours, const glm::mat4& ref, float tolerance, const char* what) {
  const float* r = glm::value_ptr(ref);
  for (int i = 0; i < 16; i++) EXPECT_NEAR(ours.m[i], r[i], tolerance) << what << " element " << i;
}

TEST_P(MathVariants, MultiplyMatchesGlm) {
  std::mt19937 rng(7);
  for (int n = 0; n < 200; n++) {
    Mat4 a = random_matrix(rng), b = random_matrix(rng), out;
    mat4_multiply(&a, &b, &out);
    expect_matrix_near(out, to_glm(b) * to_glm(a), 1e-5f, "a x b");
    if (HasFailure()) return;
  }
}

TEST(MathKernels, VariantsSumInTheSameOrder) {
#if MATH_HAVE_SSE_KERNELS
  if (!cpu_has_sse()) GTEST_SKIP() << "this processor has no SSE";
  std::mt19937 rng(8);
  for (int n = 0; n < 100; n++) {
    Mat4 a = random_matrix(rng, 100), b = random_matrix(rng, 100), s, v;
    mat4_multiply_scalar(&a, &b, &s);
    mat4_multiply_sse(&a, &b, &v);
    EXPECT_EQ(memcmp(&s, &v, sizeof s), 0);
    Vec4 p = vec4_transform_scalar(a.m[0], a.m[1], a.m[2], a.m[3], &b);
    Vec4 q = vec4_transform_sse(a.m[0], a.m[1], a.m[2], a.m[3], &b);
    EXPECT_EQ(memcmp(&p, &q, sizeof p), 0);
  }
#else
  GTEST_SKIP() << "no SSE variant on this processor family";
#endif
}

TEST_P(MathVariants, TranslationOnTheRightMovesPointsAfterTheLeftMatrix) {
  Mat4 a = MAT4_IDENTITY, t = MAT4_IDENTITY, at;
  mat4_rotate_z(90, &a);  // (1, 0, 0) -> (0, 1, 0)
  t.m[12] = 5;
  mat4_multiply(&a, &t, &at);
  Vec3 p = vec3_transform_point(1, 0, 0, &at);
  EXPECT_NEAR(p.x, 5, 1e-6f);
  EXPECT_NEAR(p.y, 1, 1e-6f);
  EXPECT_NEAR(p.z, 0, 1e-6f);
}

TEST_P(MathVariants, TransformsMatchGlm) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> d(-10, 10);
  for (int n = 0; n < 200; n++) {
    Mat4 m = random_matrix(rng);
    glm::vec4 v(d(rng), d(rng), d(rng), d(rng));
    glm::vec4 ref = to_glm(m) * v;
    Vec4 out = vec4_transform(v.x, v.y, v.z, v.w, &m);
    EXPECT_NEAR(out.x, ref.x, 1e-4f);
    EXPECT_NEAR(out.y, ref.y, 1e-4f);
    EXPECT_NEAR(out.z, ref.z, 1e-4f);
    EXPECT_NEAR(out.w, ref.w, 1e-4f);
    glm::vec4 point = to_glm(m) * glm::vec4(v.x, v.y, v.z, 1);
    Vec3 p = vec3_transform_point(v.x, v.y, v.z, &m);
    EXPECT_NEAR(p.x, point.x, 1e-4f);
    EXPECT_NEAR(p.y, point.y, 1e-4f);
    EXPECT_NEAR(p.z, point.z, 1e-4f);
    if (HasFailure()) return;
  }
}

TEST_P(MathVariants, CpuFlagsFollowTheOverride) {
  CpuFeatures f = cpu_features();
  if (!GetParam()) {
    // Without CPUID nothing may be claimed.
    EXPECT_EQ(f.cpuid + f.mmx + f.sse + f.amd_3dnow, 0);
    EXPECT_EQ(cpu_has_sse(), 0);
  } else {
#if defined(__i386__) || defined(__x86_64__)
    // The compiler's own detection is the reference.
    __builtin_cpu_init();
    EXPECT_EQ(f.cpuid, 1);
    EXPECT_EQ(f.mmx, __builtin_cpu_supports("mmx") ? 1 : 0);
    EXPECT_EQ(f.sse, __builtin_cpu_supports("sse") ? 1 : 0);
    EXPECT_EQ(cpu_has_sse(), f.sse);
#endif
  }
}

INSTANTIATE_MATH_VARIANTS(MathVariants);

TEST(Mat4, PostMultiplyingOperationsMatchGlm) {
  struct Case {
    const char* what;
    void (*ours)(Mat4*);
    glm::mat4 applied;  // GLM's matrix of the operation, pre-multiplied
  } cases[] = {
      {"translate", [](Mat4* m) { mat4_translate(1.5f, -2, 3.25f, m); },
       glm::translate(glm::mat4(1), glm::vec3(1.5f, -2, 3.25f))},
      {"rotate x", [](Mat4* m) { mat4_rotate_x(37, m); },
       glm::rotate(glm::mat4(1), glm::radians(37.0f), {1, 0, 0})},
      {"rotate y", [](Mat4* m) { mat4_rotate_y(-123, m); },
       glm::rotate(glm::mat4(1), glm::radians(-123.0f), {0, 1, 0})},
      {"rotate z", [](Mat4* m) { mat4_rotate_z(200, m); },
       glm::rotate(glm::mat4(1), glm::radians(200.0f), {0, 0, 1})},
      {"scale", [](Mat4* m) { mat4_scale(2, -0.5f, 3, m); },
       glm::scale(glm::mat4(1), glm::vec3(2, -0.5f, 3))},
  };
  std::mt19937 rng(10);
  for (const Case& c : cases) {
    for (int n = 0; n < 20; n++) {
      Mat4 m = random_matrix(rng);
      glm::mat4 ref = c.applied * to_glm(m);
      c.ours(&m);
      expect_matrix_near(m, ref, 1e-5f, c.what);
    }
  }
}

TEST(Mat4, RotationsTurnAxesCounterClockwise) {
  struct Case {
    void (*rotate)(float, Mat4*);
    Vec3 from, to;
  } cases[] = {
      {mat4_rotate_x, {0, 1, 0}, {0, 0, 1}},
      {mat4_rotate_y, {0, 0, 1}, {1, 0, 0}},
      {mat4_rotate_z, {1, 0, 0}, {0, 1, 0}},
  };
  for (const Case& c : cases) {
    Mat4 m = MAT4_IDENTITY;
    c.rotate(90, &m);
    Vec3 p = vec3_transform_point(c.from.x, c.from.y, c.from.z, &m);
    EXPECT_NEAR(p.x, c.to.x, 1e-6f);
    EXPECT_NEAR(p.y, c.to.y, 1e-6f);
    EXPECT_NEAR(p.z, c.to.z, 1e-6f);
  }
}

TEST(Mat4, TransposeIdentityZero) {
  std::mt19937 rng(11);
  Mat4 m = random_matrix(rng), t = m;
  mat4_transpose(&t, &t);  // in place is allowed
  expect_matrix_near(t, glm::transpose(to_glm(m)), 0, "transpose");
  mat4_identity(&t);
  expect_matrix_near(t, glm::mat4(1), 0, "identity");
  mat4_zero(&t);
  expect_matrix_near(t, glm::mat4(0), 0, "zero");
}

TEST(Mat4, InverseMatchesNumpyInDoublePrecision) {
  std::mt19937 rng(12);
  std::string input;
  Mat4 mats[40];
  for (int n = 0; n < 40; n++) {
    if (n % 2 == 0) {
      mats[n] = random_matrix(rng);
    } else {  // the common case: a rigid transform with scale
      mats[n] = MAT4_IDENTITY;
      std::uniform_real_distribution<float> d(-50, 50);
      mat4_rotate_y(d(rng) * 3, &mats[n]);
      mat4_rotate_x(d(rng) * 3, &mats[n]);
      mat4_scale(1.5f, 0.5f, 2, &mats[n]);
      mat4_translate(d(rng), d(rng), d(rng), &mats[n]);
    }
    char text[32];
    for (float v : mats[n].m) {
      snprintf(text, sizeof text, "%.9g ", v);
      input += text;
    }
    input += "\n";
  }
  std::string output;
  REQUIRE_REFERENCE_PYTHON(
      "import sys, numpy as np\n"
      "for line in sys.stdin:\n"
      "    m = np.array([float(v) for v in line.split()], dtype=np.float64).reshape(4, 4)\n"
      "    print(' '.join('%.17g' % v for v in np.linalg.inv(m).reshape(16)))\n",
      input, &output);
  const char* cursor = output.c_str();
  for (int n = 0; n < 40; n++) {
    Mat4 inv;
    mat4_inverse(&mats[n], &inv);
    double largest = 0;
    double ref[16];
    for (double& v : ref) {
      char* end;
      v = strtod(cursor, &end);
      ASSERT_NE(end, cursor) << "numpy output ended early, at byte " << (cursor - output.c_str()) << " of "
                             << output.size();
      cursor = end;
      largest = std::fmax(largest, std::fabs(v));
    }
    for (int i = 0; i < 16; i++)
      EXPECT_NEAR(inv.m[i], ref[i], 2e-5 * (1 + largest)) << "matrix " << n << " element " << i;
  }
}

TEST(Mat4, SingularInverseGivesNonFiniteValuesWithoutFailing) {
  Mat4 singular, inv;
  mat4_zero(&singular);
  mat4_inverse(&singular, &inv);
  EXPECT_FALSE(std::isfinite(inv.m[0]));
}

TEST(Quat, MultiplyMatchesGlm) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<float> d(-1, 1);
  for (int n = 0; n < 100; n++) {
    Quat a = {d(rng), d(rng), d(rng), d(rng)}, b = {d(rng), d(rng), d(rng), d(rng)};
    glm::quat ref = glm::quat(a.w, a.x, a.y, a.z) * glm::quat(b.w, b.x, b.y, b.z);
    Quat q = quat_multiply(a, b);
    EXPECT_NEAR(q.x, ref.x, 1e-6f);
    EXPECT_NEAR(q.y, ref.y, 1e-6f);
    EXPECT_NEAR(q.z, ref.z, 1e-6f);
    EXPECT_NEAR(q.w, ref.w, 1e-6f);
  }
}

TEST(Quat, MatrixIsTheTransposeOfGlmCast) {
  std::mt19937 rng(14);
  std::uniform_real_distribution<float> d(-1, 1);
  for (int n = 0; n < 100; n++) {
    glm::quat g = glm::normalize(glm::quat(d(rng), d(rng), d(rng), d(rng)));
    Mat4 m;
    mat4_from_quat(g.x, g.y, g.z, g.w, &m);
    expect_matrix_near(m, glm::transpose(glm::mat4_cast(g)), 1e-6f, "from quat");
  }
}

TEST(Quat, FromMatrixRecoversTheRotationForEveryPivot) {
  struct Case {
    const char* why;
    Vec3 axis;
    float radians;
  } cases[] = {
      {"small angle: the trace pivots", {1, 2, 3}, 0.3f},
      {"half turn about x: trace -1, x pivots", {1, 0, 0}, 3.14159265f},
      {"half turn about y", {0, 1, 0}, 3.14159265f},
      {"half turn about z", {0, 0, 1}, 3.14159265f},
      {"near half turn about a diagonal", {1, -1, 0.5f}, 3.1f},
      {"no rotation", {0, 1, 0}, 0},
  };
  for (const Case& c : cases) {
    Quat q = quat_from_axis_angle(c.axis, c.radians);
    Mat4 m;
    mat4_from_quat(q.x, q.y, q.z, q.w, &m);
    Quat back = quat_from_matrix(&m);
    EXPECT_TRUE(quat_nearly_equal(back, q)) << c.why;
    EXPECT_NEAR(back.x * back.x + back.y * back.y + back.z * back.z + back.w * back.w, 1, 1e-5f) << c.why;
    // GLM reads the same rotation from the column-major 3 x 3 of the transpose.
    glm::quat g = glm::quat_cast(glm::transpose(glm::mat3(to_glm(m))));
    EXPECT_NEAR(std::fabs(back.x * g.x + back.y * g.y + back.z * g.z + back.w * g.w), 1, 1e-5f) << c.why;
  }
}

TEST(Quat, FromMatrixWithoutUsablePivotIsIdentity) {
  // A finite matrix always has a usable pivot (the four radicands sum to 4); NaN anywhere
  // leaves none, or poisons the one found.
  Mat4 all_nan, one_nan = MAT4_IDENTITY, diagonal_nan = MAT4_IDENTITY;
  for (float& v : all_nan.m) v = NAN;
  one_nan.m[1] = NAN;
  diagonal_nan.m[5] = NAN;
  for (const Mat4* m : {&all_nan, &one_nan, &diagonal_nan}) {
    Quat q = quat_from_matrix(m);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, 0);
    EXPECT_EQ(q.z, 0);
    EXPECT_EQ(q.w, 1);
  }
}

TEST(Quat, AxisAngleNormaliseAndNlerp) {
  glm::quat g = glm::angleAxis(1.2f, glm::normalize(glm::vec3(2, -1, 0.5f)));
  Quat q = quat_from_axis_angle({2, -1, 0.5f}, 1.2f);  // radians, axis normalised here
  EXPECT_NEAR(q.x, g.x, 1e-6f);
  EXPECT_NEAR(q.y, g.y, 1e-6f);
  EXPECT_NEAR(q.z, g.z, 1e-6f);
  EXPECT_NEAR(q.w, g.w, 1e-6f);

  struct Case {
    const char* why;
    Quat got, want;
  } cases[] = {
      {"zero axis", quat_from_axis_angle({0, 0, 0.00005f}, 1), {0, 0, 0, 1}},
      {"tiny quaternion", quat_normalise({0.00001f, 0, 0, 0}), {0, 0, 0, 1}},
      {"NaN quaternion", quat_normalise({NAN, 0, 0, 1}), {0, 0, 0, 1}},
      {"normalise", quat_normalise({0, 3, 0, 4}), {0, 0.6f, 0, 0.8f}},
      {"t <= 0 gives a unchanged", quat_nlerp({0, 2, 0, 0}, {1, 0, 0, 0}, -1), {0, 2, 0, 0}},
      {"t >= 1 gives b unchanged", quat_nlerp({0, 2, 0, 0}, {3, 0, 0, 0}, 1), {3, 0, 0, 0}},
      {"midway", quat_nlerp({0, 0, 0, 1}, {1, 0, 0, 0}, 0.5f), {0.70710678f, 0, 0, 0.70710678f}},
      {"b on the far hemisphere is negated",
       quat_nlerp({0, 0, 0, 1}, {-0.6f, 0, 0, -0.8f}, 0.5f),
       {0.31622777f, 0, 0, 0.94868330f}},
      {"tiny blend gives the identity", quat_nlerp({0.001f, 0, 0, 0}, {0.001f, 0, 0, 0}, 0.5f), {0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.got.x, c.want.x, 1e-6f) << c.why;
    EXPECT_NEAR(c.got.y, c.want.y, 1e-6f) << c.why;
    EXPECT_NEAR(c.got.z, c.want.z, 1e-6f) << c.why;
    EXPECT_NEAR(c.got.w, c.want.w, 1e-6f) << c.why;
  }
  EXPECT_TRUE(quat_nearly_equal({0, 0, 0, 1}, {0, 0, 0, -1}));  // same rotation
  EXPECT_FALSE(quat_nearly_equal({0, 0, 0, 1}, {0.1f, 0, 0, 0.995f}));
}

TEST(Angles, Table) {
  struct Case {
    const char* what;
    float got, want;
  } cases[] = {
      {"difference wraps up", angle_difference(170, -170), 20},
      {"difference wraps down", angle_difference(-170, 170), -20},
      {"difference plain", angle_difference(10, 30), 20},
      {"normalise 350", angle_normalise(350), -10},
      {"normalise -725", angle_normalise(-725), -5},
      {"normalise 180 stays", angle_normalise(180), 180},
      {"step limited after wrap", angle_step(350, 10, 5), -5},
      {"step reaches target", angle_step(0, 3, 5), 3},
      {"step the short way round", angle_step(170, -170, 5), 175},
      {"step down", angle_step(0, -90, 10), -10},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(c.got, c.want) << c.what;
  EXPECT_TRUE(is_nan(NAN));
  EXPECT_FALSE(is_nan(1e308));
  EXPECT_TRUE(is_infinite(-INFINITY));
  EXPECT_FALSE(is_infinite(1.7976931348623157e308));
}

TEST(Bounds, ConstructorsKeepEveryFieldConsistent) {
  struct Case {
    const char* what;
    Bounds got;
    Vec3 min, max;
  } cases[] = {
      {"sphere", bounds_from_sphere({1, 2, 3}, 0.5f), {0.5f, 1.5f, 2.5f}, {1.5f, 2.5f, 3.5f}},
      {"cylinder is centred on its middle", bounds_from_cylinder(1, 2, 3, 1, 4), {0, 0, 2}, {2, 4, 4}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got.min.x, c.min.x) << c.what;
    EXPECT_EQ(c.got.min.y, c.min.y) << c.what;
    EXPECT_EQ(c.got.min.z, c.min.z) << c.what;
    EXPECT_EQ(c.got.max.x, c.max.x) << c.what;
    EXPECT_EQ(c.got.max.y, c.max.y) << c.what;
    EXPECT_EQ(c.got.max.z, c.max.z) << c.what;
    EXPECT_EQ(c.got.size.y, c.max.y - c.min.y) << c.what;
    EXPECT_EQ(c.got.half.y, (c.max.y - c.min.y) / 2) << c.what;
    EXPECT_EQ(c.got.centre.y, (c.max.y + c.min.y) / 2) << c.what;
  }
}

TEST(Bounds, TransformEnclosesTheTransformedCornersTightly) {
  std::mt19937 rng(15);
  std::uniform_real_distribution<float> d(-10, 10);
  for (int n = 0; n < 100; n++) {
    Mat4 m = MAT4_IDENTITY;
    mat4_scale(d(rng) / 4, d(rng) / 4, d(rng) / 4, &m);
    mat4_rotate_x(d(rng) * 18, &m);
    mat4_rotate_y(d(rng) * 18, &m);
    mat4_rotate_z(d(rng) * 18, &m);
    mat4_translate(d(rng), d(rng), d(rng), &m);
    Vec3 lo = {d(rng), d(rng), d(rng)};
    Bounds b = bounds_make(lo, {lo.x + 1 + d(rng) + 10, lo.y + 2, lo.z + 0.5f});
    Bounds t = bounds_transform(&b, &m);
    // The box of the eight transformed corners is what the formula must give exactly.
    glm::vec3 cmin(INFINITY), cmax(-INFINITY);
    for (int corner = 0; corner < 8; corner++) {
      Vec3 p = vec3_transform_point(corner & 1 ? b.max.x : b.min.x, corner & 2 ? b.max.y : b.min.y,
                                    corner & 4 ? b.max.z : b.min.z, &m);
      cmin = glm::min(cmin, glm::vec3(p.x, p.y, p.z));
      cmax = glm::max(cmax, glm::vec3(p.x, p.y, p.z));
    }
    EXPECT_NEAR(t.min.x, cmin.x, 1e-4f);
    EXPECT_NEAR(t.min.y, cmin.y, 1e-4f);
    EXPECT_NEAR(t.min.z, cmin.z, 1e-4f);
    EXPECT_NEAR(t.max.x, cmax.x, 1e-4f);
    EXPECT_NEAR(t.max.y, cmax.y, 1e-4f);
    EXPECT_NEAR(t.max.z, cmax.z, 1e-4f);
    EXPECT_EQ(t.size.x, t.max.x - t.min.x);
    if (HasFailure()) return;
  }
}
