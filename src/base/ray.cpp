#include "base/ray.h"

#include <cmath>

static const float RAY_EPSILON = 0.0001f;

static Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
static Vec3 along(Vec3 o, Vec3 d, float t) { return {o.x + t * d.x, o.y + t * d.y, o.z + t * d.z}; }

Ray ray_from_direction(Vec3 origin, Vec3 d) {
  Ray ray;
  ray.origin = origin;
  float length = sqrtf(dot(d, d));
  if (length <= RAY_EPSILON)
    ray.direction = {0, 0, 0};
  else
    ray.direction = {d.x / length, d.y / length, d.z / length};
  ray.inverse = {1.0f / ray.direction.x, 1.0f / ray.direction.y, 1.0f / ray.direction.z};
  return ray;
}

Ray ray_from_points(Vec3 a, Vec3 b) { return ray_from_direction(a, sub(b, a)); }

int ray_hits_bounds(const Ray* ray, const Bounds* bounds, Vec3* out) {
  const float o[3] = {ray->origin.x, ray->origin.y, ray->origin.z};
  const float d[3] = {ray->direction.x, ray->direction.y, ray->direction.z};
  const float inv[3] = {ray->inverse.x, ray->inverse.y, ray->inverse.z};
  const float lo[3] = {bounds->min.x, bounds->min.y, bounds->min.z};
  const float hi[3] = {bounds->max.x, bounds->max.y, bounds->max.z};
  float t_near = -INFINITY, t_far = INFINITY;
  int moving = 0;
  for (int k = 0; k < 3; k++) {
    // A ray parallel to a slab never crosses its planes: it is inside the slab for every t or
    // for none. Deciding that directly avoids 0 x infinity when the origin lies on a plane.
    if (d[k] == 0.0f || std::isinf(inv[k])) {
      if (!(o[k] >= lo[k] && o[k] <= hi[k])) return 0;
      continue;
    }
    moving = 1;
    float t1 = (lo[k] - o[k]) * inv[k], t2 = (hi[k] - o[k]) * inv[k];
    float t_small = t1 < t2 ? t1 : t2, t_large = t1 < t2 ? t2 : t1;
    if (t_small > t_near) t_near = t_small;
    if (t_large < t_far) t_far = t_large;
  }
  if (!(t_far >= (t_near > 0 ? t_near : 0))) return 0;
  if (!moving) {
    *out = ray->origin;
    return 1;
  }
  *out = along(ray->origin, ray->direction, t_near >= 0 ? t_near : t_far);
  return 1;
}

int ray_hits_sphere(const Ray* ray, Vec3 centre, float radius_squared, Vec3* out) {
  Vec3 m = sub(ray->origin, centre);
  float b = dot(m, ray->direction);
  float c = dot(m, m) - radius_squared;
  if (c > 0 && b > 0) return 0;
  float discriminant = b * b - c;
  if (!(discriminant >= 0)) return 0;
  float t = -b - sqrtf(discriminant);
  if (t < 0) t = 0;
  *out = along(ray->origin, ray->direction, t);
  return 1;
}

int ray_hits_triangle(const Ray* ray, Vec3 p, Vec3 q, Vec3 r, int one_sided, Vec3* out) {
  Vec3 e1 = sub(q, p), e2 = sub(r, p);
  Vec3 pv = cross(ray->direction, e2);
  float det = dot(e1, pv);
  // Every test is written to fail on NaN, so a ray or triangle with NaN never hits.
  if (one_sided) {
    if (!(det < -RAY_EPSILON)) return 0;
  } else if (!(fabsf(det) > RAY_EPSILON)) {
    return 0;
  }
  Vec3 s = sub(ray->origin, p);
  float u = dot(s, pv) / det;
  if (!(u >= 0 && u <= 1)) return 0;
  Vec3 qv = cross(s, e1);
  float v = dot(ray->direction, qv) / det;
  if (!(v >= 0 && u + v <= 1)) return 0;
  float t = dot(e2, qv) / det;
  if (!(t >= 0)) return 0;
  *out = along(ray->origin, ray->direction, t);
  return 1;
}
