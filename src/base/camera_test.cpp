#include "base/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>
#include <vector>

#include "support/math_test_support.h"

namespace {

struct View {
  float x, y, z, ax, ay, az, fov, near, far, width, height;
};

const View VIEWS[] = {
    {0, 0, 0, 0, 0, 0, 60, 1, 100, 640, 480},
    {10, -3, 25, 20, 135, 0, 75, 0.5f, 2000, 1280, 720},
    {-40, 12, 7, -35, -60, 10, 45, 2, 500, 800, 800},
    {0.5f, 100, -900, 89, 359, -170, 90, 0.1f, 5000, 1920, 1080},
};

void build(Camera* c, const View& v) {
  camera_build(c, v.x, v.y, v.z, v.ax, v.ay, v.az, v.fov, v.near, v.far, v.width, v.height);
}

// The view from GLM's column-vector side: translate first, then z, -y, x rotations.
glm::mat4 glm_view(const View& v) {
  return glm::rotate(glm::mat4(1), glm::radians(v.ax), {1, 0, 0}) *
         glm::rotate(glm::mat4(1), glm::radians(-v.ay), {0, 1, 0}) *
         glm::rotate(glm::mat4(1), glm::radians(v.az), {0, 0, 1}) *
         glm::translate(glm::mat4(1), glm::vec3(-v.x, -v.y, -v.z));
}

void expect_memory_near(const Mat4& ours, const glm::mat4& ref, float relative, const char* what) {
  const float* r = glm::value_ptr(ref);
  for (int i = 0; i < 16; i++)
    EXPECT_NEAR(ours.m[i], r[i], relative * (1 + std::fabs(r[i]))) << what << " element " << i;
}

float plane_distance(const Plane& p, glm::vec3 v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

}  // namespace

class CameraPaths : public MathVariants {};

TEST_P(CameraPaths, CameraMatricesMatchGlm) {
  for (const View& v : VIEWS) {
    Camera c;
    build(&c, v);
    float top = std::tan(glm::radians(v.fov) / 2) * v.near, right = v.width / v.height * top;
    expect_memory_near(c.projection, glm::frustum(-right, right, -top, top, v.near, v.far), 1e-6f, "frustum");
    expect_memory_near(c.projection, glm::perspective(glm::radians(v.fov), v.width / v.height, v.near, v.far),
                       1e-5f, "perspective");
    expect_memory_near(c.view, glm_view(v), 1e-5f, "view");
    glm::mat4 vp = glm::frustum(-right, right, -top, top, v.near, v.far) * glm_view(v);
    expect_memory_near(c.view_projection, vp, 1e-5f, "view x projection");
    // The axes are the camera's basis in the world: the rows of GLM's rotation part.
    glm::mat3 r = glm::mat3(glm_view(v));
    struct {
      Vec3 ours;
      int row;
    } axes[] = {{c.axis_x, 0}, {c.axis_y, 1}, {c.axis_z, 2}};
    for (const auto& a : axes) {
      glm::vec3 ref = glm::normalize(glm::vec3(r[0][a.row], r[1][a.row], r[2][a.row]));
      EXPECT_NEAR(a.ours.x, ref.x, 1e-5f);
      EXPECT_NEAR(a.ours.y, ref.y, 1e-5f);
      EXPECT_NEAR(a.ours.z, ref.z, 1e-5f);
    }
    if (HasFailure()) return;
  }
}

TEST_P(CameraPaths, CameraCornersAndPlanesBoundTheViewVolume) {
  for (const View& v : VIEWS) {
    Camera c;
    build(&c, v);
    // Reference corners in double precision. The float inverse of a projection loses precision
    // in proportion to far / near (float epsilon times the ratio, ours and GLM's alike).
    double top = std::tan(glm::radians((double)v.fov) / 2) * v.near, right = (double)v.width / v.height * top;
    glm::dmat4 view = glm::rotate(glm::dmat4(1), glm::radians((double)v.ax), {1, 0, 0}) *
                      glm::rotate(glm::dmat4(1), glm::radians(-(double)v.ay), {0, 1, 0}) *
                      glm::rotate(glm::dmat4(1), glm::radians((double)v.az), {0, 0, 1}) *
                      glm::translate(glm::dmat4(1), glm::dvec3(-v.x, -v.y, -v.z));
    glm::dmat4 inverse =
        glm::inverse(glm::frustum(-right, right, -top, top, (double)v.near, (double)v.far) * view);
    glm::vec3 lo(INFINITY), hi(-INFINITY);
    glm::vec3 corners[8];
    for (int i = 0; i < 8; i++) {
      glm::dvec4 ndc(i & 4 ? 1 : -1, i & 2 ? 1 : -1, i & 1 ? 1 : -1, 1);
      glm::dvec4 w = inverse * ndc;
      corners[i] = glm::vec3(glm::dvec3(w) / w.w);
      float scale = (1e-5f + 1.2e-7f * v.far / v.near) * (1 + glm::length(corners[i]));
      EXPECT_NEAR(c.corners[i].x, corners[i].x, scale) << "corner " << i;
      EXPECT_NEAR(c.corners[i].y, corners[i].y, scale) << "corner " << i;
      EXPECT_NEAR(c.corners[i].z, corners[i].z, scale) << "corner " << i;
      lo = glm::min(lo, glm::vec3(c.corners[i].x, c.corners[i].y, c.corners[i].z));
      hi = glm::max(hi, glm::vec3(c.corners[i].x, c.corners[i].y, c.corners[i].z));
    }
    EXPECT_EQ(c.frustum_bounds.min.x, lo.x);
    EXPECT_EQ(c.frustum_bounds.max.z, hi.z);
    // Plane k holds the four corners whose clip coordinate (axis, side) is on its face:
    // right (x = 1), left (x = -1), bottom (y = -1), top (y = 1), near (z = -1), far (z = 1).
    const struct { int bit, set; } faces[6] = {{4, 1}, {4, 0}, {2, 0}, {2, 1}, {1, 0}, {1, 1}};
    for (int k = 0; k < 6; k++) {
      const Plane& p = c.planes[k];
      EXPECT_NEAR(p.a * p.a + p.b * p.b + p.c * p.c, 1, 1e-5f) << "plane " << k;
      for (int i = 0; i < 8; i++) {
        float d = plane_distance(p, corners[i]);
        float scale = 1e-3f * (1 + glm::length(corners[i] - glm::vec3(v.x, v.y, v.z)));
        if (((i & faces[k].bit) != 0) == (faces[k].set != 0)) {
          EXPECT_NEAR(d, 0, scale) << "plane " << k << " corner " << i;
        } else {
          EXPECT_GT(d, 0) << "plane " << k << " corner " << i;  // normals point inwards
        }
      }
    }
    if (HasFailure()) return;
  }
}

// The record is the plain composition of the scalar math routines, bit for bit, whichever
// instructions camera_build uses inside: planes from the view-projection's columns through
// plane_normalise, corners through the inverse and a division by w, bounds through
// fminf/fmaxf, axes as columns divided by their length.
TEST_P(CameraPaths, RecordIsTheScalarCompositionBitForBit) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> pos(-500, 500), angle(-400, 400), fov(1, 170), near(0.01f, 20);
  std::vector<View> views(std::begin(VIEWS), std::end(VIEWS));
  for (int n = 0; n < 200; n++) {
    float z_near = near(rng);
    views.push_back({pos(rng), pos(rng), pos(rng), angle(rng), angle(rng), angle(rng), fov(rng), z_near,
                     z_near * (1 + near(rng) * 100), 1 + std::fabs(pos(rng)), 1 + std::fabs(pos(rng))});
  }
  for (const View& v : views) {
    Camera c;
    build(&c, v);
    const float* m = c.view_projection.m;
    const int columns[6] = {0, 0, 1, 1, 2, 2};
    const float signs[6] = {-1, 1, 1, -1, 1, -1};
    for (int k = 0; k < 6; k++) {
      int i = columns[k];
      Plane p = {m[3] + signs[k] * m[i], m[7] + signs[k] * m[4 + i], m[11] + signs[k] * m[8 + i],
                 m[15] + signs[k] * m[12 + i]};
      plane_normalise(&p);
      EXPECT_EQ(memcmp(&p, &c.planes[k], sizeof p), 0) << "plane " << k;
    }
    Mat4 inverse;
    mat4_inverse(&c.view_projection, &inverse);
    Vec3 lo = {INFINITY, INFINITY, INFINITY}, hi = {-INFINITY, -INFINITY, -INFINITY};
    for (int i = 0; i < 8; i++) {
      Vec4 w = vec4_transform_scalar(i & 4 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 1 ? 1.0f : -1.0f, 1,
                                     &inverse);
      Vec3 corner = {w.x / w.w, w.y / w.w, w.z / w.w};
      EXPECT_EQ(memcmp(&corner, &c.corners[i], sizeof corner), 0) << "corner " << i;
      lo = {fminf(lo.x, corner.x), fminf(lo.y, corner.y), fminf(lo.z, corner.z)};
      hi = {fmaxf(hi.x, corner.x), fmaxf(hi.y, corner.y), fmaxf(hi.z, corner.z)};
    }
    Bounds b = bounds_make(lo, hi);
    EXPECT_EQ(memcmp(&b, &c.frustum_bounds, sizeof b), 0);
    const Vec3* axes[3] = {&c.axis_x, &c.axis_y, &c.axis_z};
    for (int i = 0; i < 3; i++) {
      Vec3 a = {c.view.m[i], c.view.m[4 + i], c.view.m[8 + i]};
      float length = sqrtf(a.x * a.x + a.y * a.y + a.z * a.z);
      Vec3 want = length > 0.0001f ? Vec3{a.x / length, a.y / length, a.z / length} : Vec3{0, 0, 0};
      EXPECT_EQ(memcmp(&want, axes[i], sizeof want), 0) << "axis " << i;
    }
    if (HasFailure()) return;
  }
}

TEST(Camera, DegenerateSizesStayFinite) {
  struct Case {
    const char* why;
    float near, far, height;
  } cases[] = {
      {"zero height counts as 1", 1, 100, 0},
      {"negative height counts as 1", 1, 100, -5},
      {"far equal to near", 1, 1, 480},
      {"far before near", 10, 2, 480},
      {"NaN far", 1, NAN, 480},
      {"near 0 reads as 0.1", 0, 100, 480},
      {"near behind the eye reads as 0.1", -1, 100, 480},
      {"NaN near reads as 0.1", NAN, 100, 480},
      {"infinite near reads as 0.1", INFINITY, 100, 480},
  };
  for (const Case& k : cases) {
    Camera c;
    camera_build(&c, 0, 0, 0, 0, 0, 0, 60, k.near, k.far, 640, k.height);
    for (float v : c.projection.m) EXPECT_TRUE(std::isfinite(v)) << k.why;
    for (const Plane& p : c.planes) EXPECT_TRUE(std::isfinite(p.d)) << k.why;
    // Depth still runs forwards: the far plane lies beyond the near one along -z.
    EXPECT_LT(c.corners[1].z, c.corners[0].z) << k.why;
  }
  Camera one, zero;
  camera_build(&one, 0, 0, 0, 0, 0, 0, 60, 1, 100, 640, 1);
  camera_build(&zero, 0, 0, 0, 0, 0, 0, 60, 1, 100, 640, 0);
  EXPECT_EQ(memcmp(&one.projection, &zero.projection, sizeof one.projection), 0);
  Camera tenth, bad;
  camera_build(&tenth, 0, 0, 0, 0, 0, 0, 60, 0.1f, 100, 640, 480);
  for (float near : {0.0f, -1.0f, NAN, -INFINITY}) {
    camera_build(&bad, 0, 0, 0, 0, 0, 0, 60, near, 100, 640, 480);
    EXPECT_EQ(memcmp(&tenth.projection, &bad.projection, sizeof bad.projection), 0) << near;
  }
}

TEST_P(CameraPaths, ClassifyCentreAndBehind) {
  Camera c;
  camera_build(&c, 5, 2, -3, 10, 30, 0, 60, 1, 100, 640, 480);
  // The middle of the view volume: halfway between the near and far corner centroids.
  Vec3 mid = {0, 0, 0};
  for (const Vec3& p : c.corners) mid = {mid.x + p.x / 8, mid.y + p.y / 8, mid.z + p.z / 8};
  Bounds tiny = bounds_from_sphere(mid, 0.01f);
  EXPECT_EQ(frustum_classify(&c, &tiny), 2);
  EXPECT_EQ(frustum_touches(&c, &tiny), 1);
  // Behind the camera: step back along +view z (the camera looks down -z).
  Vec3 back = {5 + c.axis_z.x * 10, 2 + c.axis_z.y * 10, -3 + c.axis_z.z * 10};
  Bounds behind = bounds_from_sphere(back, 2);
  EXPECT_EQ(frustum_classify(&c, &behind), 0);
  EXPECT_EQ(frustum_touches(&c, &behind), 0);
  Bounds around = bounds_from_sphere({5, 2, -3}, 1000);  // holds the whole volume
  EXPECT_EQ(frustum_classify(&c, &around), 1);
}

TEST_P(CameraPaths, ClassifyAgreesWithClipSpaceOverRandomBoxes) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<float> u(-1, 1);
  int seen[3] = {0, 0, 0};
  for (const View& v : VIEWS) {
    Camera c;
    build(&c, v);
    glm::mat4 vp = glm::make_mat4(c.view_projection.m);
    float reach = std::fmin(v.far, 300.0f);
    for (int n = 0; n < 3000; n++) {
      Vec3 centre = {v.x + u(rng) * reach, v.y + u(rng) * reach, v.z + u(rng) * reach};
      float size = std::exp2(u(rng) * 6);
      Bounds b = bounds_make(centre, {centre.x + size, centre.y + size * (1.5f + u(rng)), centre.z + size});
      int k = frustum_classify(&c, &b);
      ASSERT_TRUE(k >= 0 && k <= 2);
      seen[k]++;
      EXPECT_EQ(frustum_touches(&c, &b), k != 0);
      // Sample the box's corners and centre in clip space.
      int inside = 0, clearly_inside = 0;
      for (int i = 0; i < 9; i++) {
        glm::vec3 p = i == 8 ? glm::vec3(b.centre.x, b.centre.y, b.centre.z)
                             : glm::vec3(i & 1 ? b.max.x : b.min.x, i & 2 ? b.max.y : b.min.y,
                                         i & 4 ? b.max.z : b.min.z);
        glm::vec4 q = vp * glm::vec4(p, 1);
        float m = std::fmax(std::fabs(q.x), std::fmax(std::fabs(q.y), std::fabs(q.z)));
        if (q.w > 0 && m <= q.w * 1.001f) inside++;
        if (q.w > 0 && m < q.w * 0.999f) clearly_inside++;
      }
      if (k == 2) {
        EXPECT_EQ(inside, 9) << "a box called inside has a point outside";
      }
      if (k == 0) {
        EXPECT_EQ(clearly_inside, 0) << "a box called outside has a point inside";
      }
      if (clearly_inside == 9) {
        EXPECT_EQ(k, 2);
      }
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(seen[0], 100);
  EXPECT_GT(seen[1], 100);
  EXPECT_GT(seen[2], 100);
}

INSTANTIATE_MATH_VARIANTS(CameraPaths);
