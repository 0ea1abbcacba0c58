#include "base/camera.h"

#include <cmath>
#include <cstring>

static const float CAMERA_PI = 3.14159265f;

// Plane k is column 3 + sign k x column c(k) of the view-projection: a clip-space bound
// such as x <= w written as a world-space plane (order right, left, bottom, top, near, far).
static const float PLANE_SIGNS[6] = {-1, 1, 1, -1, 1, -1};

#if defined(__SSE__)
// The SSE paths below divide and take square roots lane by lane, which IEEE rounds exactly as
// the scalar operations do, and sum in the scalar order, so both paths fill identical records.

// Columns 0..2 of the view's 3 x 3 part sit in lanes 0..2 of its first three rows.
static void camera_axes(Camera* camera, const Mat4* v) {
  __m128 r0 = _mm_loadu_ps(v->m), r1 = _mm_loadu_ps(v->m + 4), r2 = _mm_loadu_ps(v->m + 8);
  __m128 length =
      _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(r0, r0), _mm_mul_ps(r1, r1)), _mm_mul_ps(r2, r2)));
  float x[4], y[4], z[4], l[4];
  _mm_storeu_ps(x, _mm_div_ps(r0, length));
  _mm_storeu_ps(y, _mm_div_ps(r1, length));
  _mm_storeu_ps(z, _mm_div_ps(r2, length));
  _mm_storeu_ps(l, length);
  Vec3* axes[3] = {&camera->axis_x, &camera->axis_y, &camera->axis_z};
  for (int i = 0; i < 3; i++) *axes[i] = l[i] > 0.0001f ? Vec3{x[i], y[i], z[i]} : Vec3{0, 0, 0};
}

// Four planes at once, one per lane: a = m[3] + sign x m[c], b from row 1, c from row 2, d
// from row 3; lanes pick column c with a shuffle.
static void camera_planes(Camera* camera, const Mat4* vp) {
  __m128 rows[4] = {_mm_loadu_ps(vp->m), _mm_loadu_ps(vp->m + 4), _mm_loadu_ps(vp->m + 8),
                    _mm_loadu_ps(vp->m + 12)};
  const __m128 signs_lo = _mm_setr_ps(PLANE_SIGNS[0], PLANE_SIGNS[1], PLANE_SIGNS[2], PLANE_SIGNS[3]);
  const __m128 signs_hi = _mm_setr_ps(PLANE_SIGNS[4], PLANE_SIGNS[5], 0, 0);
  __m128 lo[4], hi[4];  // component k of planes 0..3 and 4..5
  for (int k = 0; k < 4; k++) {
    __m128 w = _mm_shuffle_ps(rows[k], rows[k], _MM_SHUFFLE(3, 3, 3, 3));
    lo[k] = _mm_add_ps(w, _mm_mul_ps(signs_lo, _mm_shuffle_ps(rows[k], rows[k], _MM_SHUFFLE(1, 1, 0, 0))));
    hi[k] = _mm_add_ps(w, _mm_mul_ps(signs_hi, _mm_shuffle_ps(rows[k], rows[k], _MM_SHUFFLE(2, 2, 2, 2))));
  }
  // Lengths and divisions per lane, then a transpose turns components back into planes.
  __m128* groups[2] = {lo, hi};
  for (int g = 0; g < 2; g++) {
    __m128* c = groups[g];
    __m128 length = _mm_sqrt_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(c[0], c[0]), _mm_mul_ps(c[1], c[1])), _mm_mul_ps(c[2], c[2])));
    for (int k = 0; k < 4; k++) c[k] = _mm_div_ps(c[k], length);
    _MM_TRANSPOSE4_PS(c[0], c[1], c[2], c[3]);
  }
  static_assert(sizeof(Plane) == 4 * sizeof(float));
  for (int k = 0; k < 4; k++) _mm_storeu_ps(&camera->planes[k].a, lo[k]);
  for (int k = 0; k < 2; k++) _mm_storeu_ps(&camera->planes[4 + k].a, hi[k]);
}

// min(c, lo) keeps lo unless c is smaller, as fminf(lo, c) does (a NaN corner included).
static void camera_corners(Camera* camera, const Mat4* inverse, Vec3* lo_out, Vec3* hi_out) {
  const __m128 one = _mm_set1_ps(1.0f), minus = _mm_set1_ps(-1.0f);
  __m128 lo = _mm_set1_ps(INFINITY), hi = _mm_set1_ps(-INFINITY);
  for (int i = 0; i < 8; i++) {
    __m128 c = vec4_transform_ps(i & 4 ? one : minus, i & 2 ? one : minus, i & 1 ? one : minus, one, inverse);
    c = _mm_div_ps(c, _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 3, 3)));
    float corner[4];
    _mm_storeu_ps(corner, c);
    camera->corners[i] = {corner[0], corner[1], corner[2]};
    lo = _mm_min_ps(c, lo);
    hi = _mm_max_ps(c, hi);
  }
  float l[4], h[4];
  _mm_storeu_ps(l, lo);
  _mm_storeu_ps(h, hi);
  *lo_out = {l[0], l[1], l[2]};
  *hi_out = {h[0], h[1], h[2]};
}
#else
static Vec3 column_axis(const Mat4* m, int column) {
  Vec3 v = {m->m[column], m->m[4 + column], m->m[8 + column]};
  float length = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(length > 0.0001f)) return {0, 0, 0};
  return {v.x / length, v.y / length, v.z / length};
}

static void camera_axes(Camera* camera, const Mat4* v) {
  camera->axis_z = column_axis(v, 2);
  camera->axis_y = column_axis(v, 1);
  camera->axis_x = column_axis(v, 0);
}

static void camera_planes(Camera* camera, const Mat4* vp) {
  static const int PLANE_COLUMNS[6] = {0, 0, 1, 1, 2, 2};
  const float* m = vp->m;
  for (int k = 0; k < 6; k++) {
    int i = PLANE_COLUMNS[k];
    float sign = PLANE_SIGNS[k];
    Plane* p = &camera->planes[k];
    *p = {m[3] + sign * m[i], m[7] + sign * m[4 + i], m[11] + sign * m[8 + i], m[15] + sign * m[12 + i]};
    plane_normalise(p);
  }
}

static void camera_corners(Camera* camera, const Mat4* inverse, Vec3* lo_out, Vec3* hi_out) {
  Vec3 lo = {INFINITY, INFINITY, INFINITY}, hi = {-INFINITY, -INFINITY, -INFINITY};
  for (int i = 0; i < 8; i++) {
    Vec4 c = vec4_transform(i & 4 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 1 ? 1.0f : -1.0f, 1, inverse);
    Vec3 corner = {c.x / c.w, c.y / c.w, c.z / c.w};
    camera->corners[i] = corner;
    lo = {fminf(lo.x, corner.x), fminf(lo.y, corner.y), fminf(lo.z, corner.z)};
    hi = {fmaxf(hi.x, corner.x), fmaxf(hi.y, corner.y), fmaxf(hi.z, corner.z)};
  }
  *lo_out = lo;
  *hi_out = hi;
}
#endif

void camera_build(Camera* camera, float x, float y, float z, float angle_x, float angle_y, float angle_z,
                  float fov_degrees, float near, float far, float width, float height) {
  if (!(height >= 1)) height = 1;
  // A near plane at or behind the eye (or not a number) would make a projection of infinities.
  if (!(near > 0) || !std::isfinite(near)) near = 0.1f;
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
  camera_axes(camera, v);
  camera_planes(camera, &camera->view_projection);
  Mat4 inverse;
  mat4_inverse(&camera->view_projection, &inverse);
  Vec3 lo, hi;
  camera_corners(camera, &inverse, &lo, &hi);
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
