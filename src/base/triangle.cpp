#include "base/triangle.h"

#include "base/vec3_ops.h"

namespace {
Vec3 weighted(Vec3 a, Vec3 b, Vec3 c, float u, float v, float w, float weights[3]) {
  if (weights) {
    weights[0] = u;
    weights[1] = v;
    weights[2] = w;
  }
  return {a.x * u + b.x * v + c.x * w, a.y * u + b.y * v + c.y * w, a.z * u + b.z * v + c.z * w};
}
}  // namespace

Vec3 closest_point_on_triangle(Vec3 a, Vec3 b, Vec3 c, Vec3 p, float weights[3]) {
  const Vec3 ab = vec3_sub(b, a), ac = vec3_sub(c, a), ap = vec3_sub(p, a);
  const float d1 = vec3_dot(ab, ap), d2 = vec3_dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return weighted(a, b, c, 1, 0, 0, weights);
  const Vec3 bp = vec3_sub(p, b);
  const float d3 = vec3_dot(ab, bp), d4 = vec3_dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return weighted(a, b, c, 0, 1, 0, weights);
  const float vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    const float v = d1 - d3 != 0 ? d1 / (d1 - d3) : 0.0f;
    return weighted(a, b, c, 1 - v, v, 0, weights);
  }
  const Vec3 cp = vec3_sub(p, c);
  const float d5 = vec3_dot(ab, cp), d6 = vec3_dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return weighted(a, b, c, 0, 0, 1, weights);
  const float vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    const float w = d2 - d6 != 0 ? d2 / (d2 - d6) : 0.0f;
    return weighted(a, b, c, 1 - w, 0, w, weights);
  }
  const float va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
    const float denominator = (d4 - d3) + (d5 - d6);
    const float w = denominator != 0 ? (d4 - d3) / denominator : 0.0f;
    return weighted(a, b, c, 0, 1 - w, w, weights);
  }
  const float sum = va + vb + vc;
  // Only a degenerate triangle reaches here with no area; its first corner is in its hull.
  if (!(sum != 0)) return weighted(a, b, c, 1, 0, 0, weights);
  const float v = vb / sum, w = vc / sum;
  return weighted(a, b, c, 1 - v - w, v, w, weights);
}

Vec3 closest_point_on_segment(Vec3 a, Vec3 b, Vec3 p) {
  const Vec3 ab = vec3_sub(b, a);
  const float length_squared = vec3_dot(ab, ab);
  if (!(length_squared > 0)) return a;
  float t = vec3_dot(vec3_sub(p, a), ab) / length_squared;
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  return vec3_add(a, vec3_scale(ab, t));
}

Vec3 triangle_normal(Vec3 a, Vec3 b, Vec3 c) { return vec3_unit(vec3_cross(vec3_sub(b, a), vec3_sub(c, a))); }
