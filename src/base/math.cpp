#include "base/math.h"

#include <cmath>
#include <cstring>

// pi / 180 to single precision.
static const float DEGREES_TO_RADIANS = 0.017453292f;
static const float MATH_EPSILON = 0.0001f;

const Mat4 MAT4_IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

void mat4_identity(Mat4* out) { *out = MAT4_IDENTITY; }

void mat4_zero(Mat4* out) { memset(out->m, 0, sizeof out->m); }

void mat4_transpose(const Mat4* m, Mat4* out) {
  Mat4 t;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) t.m[4 * j + i] = m->m[4 * i + j];
  *out = t;
}

// Laplace expansion over pairs of rows: the 2 x 2 minors of rows 0-1 (s) and rows 2-3 (c)
// give every 3 x 3 cofactor and the determinant with few products.
void mat4_inverse(const Mat4* m, Mat4* out) {
  const float* a = m->m;
  float a00 = a[0], a01 = a[1], a02 = a[2], a03 = a[3];
  float a10 = a[4], a11 = a[5], a12 = a[6], a13 = a[7];
  float a20 = a[8], a21 = a[9], a22 = a[10], a23 = a[11];
  float a30 = a[12], a31 = a[13], a32 = a[14], a33 = a[15];

  float s0 = a00 * a11 - a10 * a01, s1 = a00 * a12 - a10 * a02, s2 = a00 * a13 - a10 * a03;
  float s3 = a01 * a12 - a11 * a02, s4 = a01 * a13 - a11 * a03, s5 = a02 * a13 - a12 * a03;
  float c0 = a20 * a31 - a30 * a21, c1 = a20 * a32 - a30 * a22, c2 = a20 * a33 - a30 * a23;
  float c3 = a21 * a32 - a31 * a22, c4 = a21 * a33 - a31 * a23, c5 = a22 * a33 - a32 * a23;

  float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  float inv = 1.0f / det;

  float* b = out->m;
  b[0] = (a11 * c5 - a12 * c4 + a13 * c3) * inv;
  b[1] = (-a01 * c5 + a02 * c4 - a03 * c3) * inv;
  b[2] = (a31 * s5 - a32 * s4 + a33 * s3) * inv;
  b[3] = (-a21 * s5 + a22 * s4 - a23 * s3) * inv;
  b[4] = (-a10 * c5 + a12 * c2 - a13 * c1) * inv;
  b[5] = (a00 * c5 - a02 * c2 + a03 * c1) * inv;
  b[6] = (-a30 * s5 + a32 * s2 - a33 * s1) * inv;
  b[7] = (a20 * s5 - a22 * s2 + a23 * s1) * inv;
  b[8] = (a10 * c4 - a11 * c2 + a13 * c0) * inv;
  b[9] = (-a00 * c4 + a01 * c2 - a03 * c0) * inv;
  b[10] = (a30 * s4 - a31 * s2 + a33 * s0) * inv;
  b[11] = (-a20 * s4 + a21 * s2 - a23 * s0) * inv;
  b[12] = (-a10 * c3 + a11 * c1 - a12 * c0) * inv;
  b[13] = (a00 * c3 - a01 * c1 + a02 * c0) * inv;
  b[14] = (-a30 * s3 + a31 * s1 - a32 * s0) * inv;
  b[15] = (a20 * s3 - a21 * s1 + a22 * s0) * inv;
}

void mat4_translate(float x, float y, float z, Mat4* m) {
  for (int i = 0; i < 4; i++) {
    float* r = m->m + 4 * i;
    r[0] += r[3] * x;
    r[1] += r[3] * y;
    r[2] += r[3] * z;
  }
}

// Post-multiplying by a rotation in the plane of columns j and k mixes only those columns:
// new j = j*c + k*(R[k][j]), new k = j*(R[j][k]) + k*c.
static void rotate_columns(Mat4* m, int j, int k, float s_jk, float s_kj, float degrees) {
  float angle = degrees * DEGREES_TO_RADIANS;
  float c = cosf(angle), s = sinf(angle);
  for (int i = 0; i < 4; i++) {
    float* r = m->m + 4 * i;
    float rj = r[j], rk = r[k];
    r[j] = rj * c + rk * (s_kj * s);
    r[k] = rj * (s_jk * s) + rk * c;
  }
}

// Rx[1][2] = s, Rx[2][1] = -s.
void mat4_rotate_x(float degrees, Mat4* m) { rotate_columns(m, 1, 2, 1.0f, -1.0f, degrees); }
// Ry[0][2] = -s, Ry[2][0] = s.
void mat4_rotate_y(float degrees, Mat4* m) { rotate_columns(m, 0, 2, -1.0f, 1.0f, degrees); }
// Rz[0][1] = s, Rz[1][0] = -s.
void mat4_rotate_z(float degrees, Mat4* m) { rotate_columns(m, 0, 1, 1.0f, -1.0f, degrees); }

void mat4_scale(float x, float y, float z, Mat4* m) {
  for (int i = 0; i < 4; i++) {
    float* r = m->m + 4 * i;
    r[0] *= x;
    r[1] *= y;
    r[2] *= z;
  }
}

void mat4_from_quat(float x, float y, float z, float w, Mat4* out) {
  float* r = out->m;
  r[0] = 1 - 2 * (y * y + z * z);
  r[1] = 2 * (x * y - z * w);
  r[2] = 2 * (x * z + y * w);
  r[3] = 0;
  r[4] = 2 * (x * y + z * w);
  r[5] = 1 - 2 * (x * x + z * z);
  r[6] = 2 * (y * z - x * w);
  r[7] = 0;
  r[8] = 2 * (x * z - y * w);
  r[9] = 2 * (y * z + x * w);
  r[10] = 1 - 2 * (x * x + y * y);
  r[11] = 0;
  r[12] = 0;
  r[13] = 0;
  r[14] = 0;
  r[15] = 1;
}

Vec3 vec3_transform_point(float x, float y, float z, const Mat4* m) {
  const float* r = m->m;
  return {x * r[0] + y * r[4] + z * r[8] + r[12], x * r[1] + y * r[5] + z * r[9] + r[13],
          x * r[2] + y * r[6] + z * r[10] + r[14]};
}

void plane_normalise(Plane* p) {
  float length = sqrtf(p->a * p->a + p->b * p->b + p->c * p->c);
  p->a /= length;
  p->b /= length;
  p->c /= length;
  p->d /= length;
}

// ---- Quaternions.

static const Quat QUAT_IDENTITY = {0, 0, 0, 1};

Quat quat_multiply(Quat a, Quat b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat quat_normalise(Quat q) {
  float length = sqrtf(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  // Written so that a NaN length also gives the identity.
  if (!(length >= MATH_EPSILON)) return QUAT_IDENTITY;
  return {q.x / length, q.y / length, q.z / length, q.w / length};
}

Quat quat_from_axis_angle(Vec3 axis, float radians) {
  float length = sqrtf(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  if (!(length >= MATH_EPSILON)) return QUAT_IDENTITY;
  float s = sinf(radians / 2);
  return {axis.x / length * s, axis.y / length * s, axis.z / length * s, cosf(radians / 2)};
}

Quat quat_nlerp(Quat a, Quat b, float t) {
  if (t <= 0) return a;
  if (t >= 1) return b;
  if (a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0) b = {-b.x, -b.y, -b.z, -b.w};
  float u = 1 - t;
  Quat r = {u * a.x + t * b.x, u * a.y + t * b.y, u * a.z + t * b.z, u * a.w + t * b.w};
  float squared = r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w;
  if (!(squared >= MATH_EPSILON)) return QUAT_IDENTITY;
  float length = sqrtf(squared);
  return {r.x / length, r.y / length, r.z / length, r.w / length};
}

// Pivot 0 is the trace (w largest), 1..3 the diagonal entries (x, y, z largest). With our
// layout m[9] - m[6] = 4xw, m[2] - m[8] = 4yw, m[4] - m[1] = 4zw, and the symmetric sums
// give the products of the other pairs.
static int quat_from_pivot(const float* m, int pivot, Quat* q) {
  float s;
  switch (pivot) {
    case 0:
      s = 2 * sqrtf(1 + m[0] + m[5] + m[10]);
      if (!(s >= MATH_EPSILON)) return 0;
      *q = {(m[9] - m[6]) / s, (m[2] - m[8]) / s, (m[4] - m[1]) / s, s / 4};
      return 1;
    case 1:
      s = 2 * sqrtf(1 + m[0] - m[5] - m[10]);
      if (!(s >= MATH_EPSILON)) return 0;
      *q = {s / 4, (m[1] + m[4]) / s, (m[2] + m[8]) / s, (m[9] - m[6]) / s};
      return 1;
    case 2:
      s = 2 * sqrtf(1 + m[5] - m[0] - m[10]);
      if (!(s >= MATH_EPSILON)) return 0;
      *q = {(m[1] + m[4]) / s, s / 4, (m[6] + m[9]) / s, (m[2] - m[8]) / s};
      return 1;
    default:
      s = 2 * sqrtf(1 + m[10] - m[0] - m[5]);
      if (!(s >= MATH_EPSILON)) return 0;
      *q = {(m[2] + m[8]) / s, (m[6] + m[9]) / s, s / 4, (m[4] - m[1]) / s};
      return 1;
  }
}

Quat quat_from_matrix(const Mat4* matrix) {
  const float* m = matrix->m;
  float candidates[4] = {m[0] + m[5] + m[10], m[0], m[5], m[10]};
  int pivot = 0;
  for (int i = 1; i < 4; i++)
    if (candidates[i] > candidates[pivot]) pivot = i;
  // A pivot too small to divide by falls through to the following cases; a matrix with no
  // usable pivot or with NaN in it has no rotation to recover.
  Quat q;
  for (int i = pivot; i < 4; i++) {
    if (!quat_from_pivot(m, i, &q)) continue;
    if (q.x != q.x || q.y != q.y || q.z != q.z || q.w != q.w) break;  // NaN off the pivot
    return q;
  }
  return QUAT_IDENTITY;
}

int quat_nearly_equal(Quat a, Quat b) {
  return 1 - fabsf(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) < MATH_EPSILON;
}

// ---- Angles.

static float angle_wrap_once(float d) {
  if (d > 180) return d - 360;
  if (d < -180) return d + 360;
  return d;
}

float angle_difference(float a, float b) { return angle_wrap_once(b - a); }

float angle_normalise(float a) { return angle_wrap_once(fmodf(a, 360)); }

float angle_step(float from, float to, float max_step) {
  from = angle_normalise(from);
  to = angle_normalise(to);
  if (to - from > 180)
    to -= 360;
  else if (to - from < -180)
    to += 360;
  if (fabsf(to - from) <= max_step) return to;
  return to > from ? from + max_step : from - max_step;
}

int is_nan(double d) { return d != d; }

int is_infinite(double d) { return d > 1.7976931348623157e308 || d < -1.7976931348623157e308; }

// ---- Bounds.

Bounds bounds_from_sphere(Vec3 c, float radius) {
  return bounds_make({c.x - radius, c.y - radius, c.z - radius}, {c.x + radius, c.y + radius, c.z + radius});
}

Bounds bounds_from_cylinder(float x, float y, float z, float radius, float height) {
  return bounds_make({x - radius, y - height / 2, z - radius}, {x + radius, y + height / 2, z + radius});
}

Bounds bounds_transform(const Bounds* bounds, const Mat4* m) {
  Vec3 c = vec3_transform_point(bounds->centre.x, bounds->centre.y, bounds->centre.z, m);
  const float h[3] = {bounds->half.x, bounds->half.y, bounds->half.z};
  float e[3];
  for (int j = 0; j < 3; j++)
    e[j] = fabsf(m->m[j]) * h[0] + fabsf(m->m[4 + j]) * h[1] + fabsf(m->m[8 + j]) * h[2];
  return bounds_make({c.x - e[0], c.y - e[1], c.z - e[2]}, {c.x + e[0], c.y + e[1], c.z + e[2]});
}
