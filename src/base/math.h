#pragma once
// Single-precision 3D math shared by the renderer, world rendering, collision queries (rays
// in ray.h), the spatial index and the camera. The world is y-up. Matrices are sixteen
// floats read as four rows; vectors are row vectors multiplied on the left (v' = v x M), so
// A x B applies A first and the translation sits in m[12..14]. This memory layout goes to
// every backend unchanged. Angles are degrees unless a name says radians.
//
// Nothing here reports errors: degenerate input gives the documented fallback (the identity
// for an unusable quaternion) or the IEEE result (a singular matrix inverts to infinities).
// mat4_multiply and vec4_transform pick an SSE or a scalar variant from the processor
// features (cpu_features.h); both variants sum in the same order, so they give the same bits
// (vec4_transform takes the scalar one until the features were first detected). All functions are pure
// computation on caller-owned memory.
#include <cstdint>

#include "base/cpu_features.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

struct Vec3 {
  float x, y, z;
};
struct Vec4 {
  float x, y, z, w;
};
struct Mat4 {
  float m[16];
};
struct Quat {
  float x, y, z, w;
};

// Always kept consistent: size = |max - min|, half = size / 2, centre = min + (max - min) / 2.
struct Bounds {
  Vec3 min, max, half, centre, size;
};
static_assert(sizeof(Bounds) == 15 * sizeof(float));

// A point p is inside when a*px + b*py + c*pz + d > 0.
struct Plane {
  float a, b, c, d;
};

// Fills every field of a box from its corners.
static inline Bounds bounds_make(Vec3 min, Vec3 max) {
  Bounds b;
  b.min = min;
  b.max = max;
  float sx = max.x - min.x, sy = max.y - min.y, sz = max.z - min.z;
  b.size = {sx < 0 ? -sx : sx, sy < 0 ? -sy : sy, sz < 0 ? -sz : sz};
  b.half = {b.size.x / 2, b.size.y / 2, b.size.z / 2};
  b.centre = {min.x + sx / 2, min.y + sy / 2, min.z + sz / 2};
  return b;
}

// ---- Matrices. "Post-multiply by X" means M <- M x X.

extern const Mat4 MAT4_IDENTITY;

// out = a x b. out must not alias a or b.
void mat4_multiply(const Mat4* a, const Mat4* b, Mat4* out);
// Adjugate divided by the determinant; a singular matrix gives infinities or NaN.
void mat4_inverse(const Mat4* m, Mat4* out);
// out may alias m.
void mat4_transpose(const Mat4* m, Mat4* out);
void mat4_identity(Mat4* out);
void mat4_zero(Mat4* out);
// Post-multiplies by a translation, a rotation about one axis or a scale.
void mat4_translate(float x, float y, float z, Mat4* m);
void mat4_rotate_x(float degrees, Mat4* m);
void mat4_rotate_y(float degrees, Mat4* m);
void mat4_rotate_z(float degrees, Mat4* m);
void mat4_scale(float x, float y, float z, Mat4* m);
// Rotation of the quaternion (x, y, z, w), no translation, m[15] = 1.
void mat4_from_quat(float x, float y, float z, float w, Mat4* out);
// (x, y, z, 1) x m with w dropped.
Vec3 vec3_transform_point(float x, float y, float z, const Mat4* m);
// (x, y, z, w) x m: defined below, inline, as it runs per vertex and per corner.
static inline Vec4 vec4_transform(float x, float y, float z, float w, const Mat4* m);
// Divides all four components by the length of (a, b, c).
void plane_normalise(Plane* p);

// ---- Quaternions (x, y, z, w).

// Hamilton product a (x) b.
Quat quat_multiply(Quat a, Quat b);
// q / |q|; the identity when |q| < 0.0001.
Quat quat_normalise(Quat q);
// The identity when |axis| < 0.0001.
Quat quat_from_axis_angle(Vec3 axis, float radians);
// t <= 0 gives a, t >= 1 gives b; otherwise the normalised blend along the shorter arc.
Quat quat_nlerp(Quat a, Quat b, float t);
// From the 3 x 3 rotation part of m; the identity when no pivot is usable (including NaN).
Quat quat_from_matrix(const Mat4* m);
// 1 - |a . b| < 0.0001.
int quat_nearly_equal(Quat a, Quat b);

// ---- Angles in degrees.

// b - a brought into [-180, 180] by adding or subtracting 360 once.
float angle_difference(float a, float b);
// a modulo 360, then brought into [-180, 180] the same way.
float angle_normalise(float a);
// Moves from towards to (along the shorter way round) by at most max_step.
float angle_step(float from, float to, float max_step);
int is_nan(double d);
// Beyond the largest finite double in either direction.
int is_infinite(double d);

// ---- Bounds.

Bounds bounds_from_sphere(Vec3 centre, float radius);
// Upright cylinder centred at (x, y, z).
Bounds bounds_from_cylinder(float x, float y, float z, float radius, float height);
// The box enclosing the transformed box (centre transformed, half-extents through |m|).
Bounds bounds_transform(const Bounds* bounds, const Mat4* m);

// ---- vec4_transform and its variants. Both variants compute each lane as
// ((x*r0 + y*r1) + z*r2) + w*r3 from the rows of m, so their results are bit-identical.

static inline Vec4 vec4_transform_scalar(float x, float y, float z, float w, const Mat4* m) {
  const float* r = m->m;
  return {x * r[0] + y * r[4] + z * r[8] + w * r[12], x * r[1] + y * r[5] + z * r[9] + w * r[13],
          x * r[2] + y * r[6] + z * r[10] + w * r[14], x * r[3] + y * r[7] + z * r[11] + w * r[15]};
}

#if defined(__SSE__)
// Where the compiler may use SSE everywhere (every x86-64 build) the variant is inline;
// elsewhere on x86 it lives out of line, compiled for SSE, and is called only when
// cpu_has_sse() is set.
#define MATH_HAVE_INLINE_SSE 1
static inline __m128 vec4_transform_ps(__m128 x, __m128 y, __m128 z, __m128 w, const Mat4* m) {
  const float* r = m->m;
  __m128 v = _mm_mul_ps(x, _mm_loadu_ps(r));
  v = _mm_add_ps(v, _mm_mul_ps(y, _mm_loadu_ps(r + 4)));
  v = _mm_add_ps(v, _mm_mul_ps(z, _mm_loadu_ps(r + 8)));
  return _mm_add_ps(v, _mm_mul_ps(w, _mm_loadu_ps(r + 12)));
}
static inline Vec4 vec4_transform_sse(float x, float y, float z, float w, const Mat4* m) {
  __m128 v = vec4_transform_ps(_mm_set1_ps(x), _mm_set1_ps(y), _mm_set1_ps(z), _mm_set1_ps(w), m);
  Vec4 out;
  _mm_storeu_ps(&out.x, v);
  return out;
}
#elif defined(__i386__)
#define MATH_HAVE_OUTLINE_SSE 1
Vec4 vec4_transform_sse(float x, float y, float z, float w, const Mat4* m);
#endif

static inline Vec4 vec4_transform(float x, float y, float z, float w, const Mat4* m) {
#if defined(MATH_HAVE_INLINE_SSE) || defined(MATH_HAVE_OUTLINE_SSE)
  if (cpu_has_sse_cached()) return vec4_transform_sse(x, y, z, w, m);
#endif
  return vec4_transform_scalar(x, y, z, w, m);
}
