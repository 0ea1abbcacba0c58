#include "base/camera.h"

#include <cmath>
#include <cstring>

static const float CAMERA_PI = 3.14159265f;

static Vec3 column_axis(const Mat4* m, int column) {
  Vec3 v = {m->m[column], m->m[4 + column], m->m[8 + column]};
  float length = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(length > 0.0001f)) return {0, 0, 0};
  return {v.x / length, v.y / length, v.z / length};
}

// c3 + sign x ci, where column i of the view-projection is ci = (m[i], m[4+i], m[8+i], m[12+i]):
// a clip-space bound such as x <= w written as a world-space plane.
static Plane column_plane(const Mat4* m, int i, float sign) {
  return {m->m[3] + sign * m->m[i], m->m[7] + sign * m->m[4 + i], m->m[11] + sign * m->m[8 + i],
          m->m[15] + sign * m->m[12 + i]};
}

void camera_build(Camera* camera, float x, float y, float z, float angle_x, float angle_y, float angle_z,
                  float fov_degrees, float near, float far, float width, float height) {
  if (!(height >= 1)) height = 1;
  if (!(far > near)) {
    // A far plane at or before the near one would divide by zero or flip depth.
    float gap = fabsf(near) * 0.001f;
    far = near + (gap > 1 ? gap : 1);
  }
  float top = tanf(fov_degrees * 0.0027777778f * CAMERA_PI) * near;
  float bottom = -top;
  float right = (width / height) * top;
  float left = -right;

  Mat4* p = &camera->projection;
  mat4_zero(p);
  p->m[0] = 2 * near / (right - left);
  p->m[5] = 2 * near / (top - bottom);
  p->m[8] = (right + left) / (right - left);
  p->m[9] = (top + bottom) / (top - bottom);
  p->m[10] = -(far + near) / (far - near);
  p->m[11] = -1;
  p->m[14] = -2 * far * near / (far - near);

  Mat4* v = &camera->view;
  mat4_identity(v);
  mat4_translate(-x, -y, -z, v);
  mat4_rotate_z(angle_z, v);
  mat4_rotate_y(-angle_y, v);
  mat4_rotate_x(angle_x, v);

  mat4_multiply(v, p, &camera->view_projection);

  camera->axis_z = column_axis(v, 2);
  camera->axis_y = column_axis(v, 1);
  camera->axis_x = column_axis(v, 0);

  const Mat4* vp = &camera->view_projection;
  const int columns[6] = {0, 0, 1, 1, 2, 2};
  const float signs[6] = {-1, 1, 1, -1, 1, -1};
  for (int i = 0; i < 6; i++) {
    camera->planes[i] = column_plane(vp, columns[i], signs[i]);
    plane_normalise(&camera->planes[i]);
  }

  Mat4 inverse;
  mat4_inverse(vp, &inverse);
  Vec3 lo = {INFINITY, INFINITY, INFINITY}, hi = {-INFINITY, -INFINITY, -INFINITY};
  for (int i = 0; i < 8; i++) {
    Vec4 c = vec4_transform(i & 4 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 1 ? 1.0f : -1.0f, 1, &inverse);
    Vec3 corner = {c.x / c.w, c.y / c.w, c.z / c.w};
    camera->corners[i] = corner;
    lo = {fminf(lo.x, corner.x), fminf(lo.y, corner.y), fminf(lo.z, corner.z)};
    hi = {fmaxf(hi.x, corner.x), fmaxf(hi.y, corner.y), fmaxf(hi.z, corner.z)};
  }
  camera->frustum_bounds = bounds_make(lo, hi);
}

// r is how far the box reaches towards the plane's normal from its centre.
static inline void plane_reach(const Plane* p, const Bounds* b, float* s, float* r) {
  *s = p->a * b->centre.x + p->b * b->centre.y + p->c * b->centre.z + p->d;
  *r = fabsf(p->a) * b->half.x + fabsf(p->b) * b->half.y + fabsf(p->c) * b->half.z;
}

int frustum_touches(const Camera* camera, const Bounds* bounds) {
  for (int i = 0; i < 6; i++) {
    float s, r;
    plane_reach(&camera->planes[i], bounds, &s, &r);
    if (r + s <= 0) return 0;
  }
  return 1;
}

int frustum_classify(const Camera* camera, const Bounds* bounds) {
  int inside = 1;
  for (int i = 0; i < 6; i++) {
    float s, r;
    plane_reach(&camera->planes[i], bounds, &s, &r);
    if (r + s <= 0) return 0;
    if (s < r) inside = 0;
  }
  return inside ? 2 : 1;
}
