#pragma once
// Rays for picking and collision queries: construction from two points or a direction, and
// hit tests against boxes, spheres and triangles. The hit tests return 1 on a hit and write
// the hit point, else 0. Pure computation on caller-owned memory.
#include "base/math.h"

// Origin, unit direction and the reciprocal of each direction component (1/0 = infinity).
struct Ray {
  Vec3 origin, direction, inverse;
};

// Direction (b - a) normalised; (0, 0, 0) when |b - a| <= 0.0001.
Ray ray_from_points(Vec3 a, Vec3 b);
// Direction d normalised with the same rule.
Ray ray_from_direction(Vec3 origin, Vec3 d);
// Slab test. From inside the box the exit point is written. A zero direction component
// limits nothing along its axis but the origin must lie within that slab; a zero direction
// hits only from inside, at the origin.
int ray_hits_bounds(const Ray* ray, const Bounds* bounds, Vec3* out);
// First point of the sphere along the ray; the origin when it starts inside.
int ray_hits_sphere(const Ray* ray, Vec3 centre, float radius_squared, Vec3* out);
// Moller-Trumbore with no upper limit on the distance. one_sided: only a ray travelling along
// the normal (Q - P) x (R - P), that is meeting the triangle from behind, can hit.
int ray_hits_triangle(const Ray* ray, Vec3 p, Vec3 q, Vec3 r, int one_sided, Vec3* out);
