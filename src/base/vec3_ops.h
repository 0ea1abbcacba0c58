#pragma once
// Small inline vector operations for the collision and movement code, where they run per
// triangle and per sub-move. Pure computation.
#include <cmath>

#include "base/math.h"

static inline Vec3 vec3_add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
static inline Vec3 vec3_sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static inline Vec3 vec3_scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
static inline float vec3_dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static inline Vec3 vec3_cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
static inline float vec3_length(Vec3 a) { return sqrtf(vec3_dot(a, a)); }
static inline float vec3_distance_squared(Vec3 a, Vec3 b) {
  const Vec3 d = vec3_sub(a, b);
  return vec3_dot(d, d);
}
// a / |a|, or the zero vector when |a| <= 0.0001 (a tiny or no direction means none).
static inline Vec3 vec3_unit(Vec3 a) {
  const float length = vec3_length(a);
  if (!(length > 0.0001f)) return {0, 0, 0};
  return vec3_scale(a, 1.0f / length);
}
