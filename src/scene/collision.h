#pragma once
// Collision and picking queries against one zone cell's static geometry: the collision
// triangles in the leaves of its BSP. Segment traces (line of sight, camera pull-in, picking),
// the triangles touching a sphere or an upright capsule with the push-out data, and the baked
// shade of the nearest ground triangle. The zone-level queries (zone_collision.h) walk the
// loaded cells and call these.
//
// Each query kind has its own fixed traversal stack of BSP_DEPTH_MAX entries, so nothing is
// allocated; a query must not run inside another of its kind. A triangle listed in several
// leaves (the builder copies one into every leaf it crosses) counts once per contact query. Main thread
// only.
#include <cstdint>

#include "base/math.h"

struct BspObject;
struct BspCollisionTriangle;

// The nearest hit of a segment.
struct TraceHit {
  Vec3 point;
  Vec3 normal;     // the triangle's unit normal (b - a) x (c - a)
  float distance;  // from the segment's start
  uint32_t surface;
};

// A triangle touching a sphere or capsule: the nearest point of the triangle, the unit
// direction from it to the shape's centre (the push-out direction; zero when the centre lies
// on the triangle) and how deep the shape reaches past it.
struct Contact {
  Vec3 point;
  Vec3 normal;
  float penetration;
  uint32_t surface;
};

// An upright capsule: the segment top .. bottom swept by the radius; a sphere when both
// points equal the centre.
struct Capsule {
  Vec3 centre, top, bottom;
  float radius, radius_squared, height;
};

struct Sphere {
  Vec3 centre;
  float radius, radius_squared;
};

constexpr int COLLISION_CONTACTS_MAX = 16;  // the contact buffers of the movement code

// When 2 x radius < height the axis points are the centre -+ (0, height / 2 - radius, 0);
// otherwise both are the centre.
Capsule capsule_make(Vec3 centre, float radius, float height);
// The box the capsule may reach: height / 2 above and below its centre (its radius when it is
// a sphere), its radius around.
Bounds capsule_bounds(const Capsule* capsule);

// 1 with the nearest hit of a collidable triangle along from -> to, else 0. one_sided: only
// triangles met from the side their normal points away from (ray_hits_triangle's rule).
int world_trace(const BspObject* cell, Vec3 from, Vec3 to, int one_sided, TraceHit* out);
// 1 when any collidable triangle touches the sphere; up to capacity contacts are written and
// *count says how many (a touch is reported even when the array is full).
int world_sphere_contacts(const BspObject* cell, Vec3 centre, float radius, Contact* out, int capacity,
                          int* count);
// The same for an upright capsule.
int world_capsule_contacts(const BspObject* cell, const Capsule* capsule, Contact* out, int capacity, int* count);
// 1 with one contact merging every touching triangle: mean point, renormalised mean normal,
// largest penetration, OR of the surface words; 0 when nothing reaches deeper than 0.0001.
int world_capsule_contact(const BspObject* cell, const Capsule* capsule, Contact* out);
// The baked shade (0..1) of the triangle nearest to the point among those whose bounds meet
// the search box (so the answer never depends on how the tree cut the cell), weighted at the nearest point; triangles flagged BSP_SURFACE_NO_SHADE are skipped,
// uncollidable ones are not. 1.0 for no cell, a box that misses the cell, or no triangle.
float world_shade_at(const BspObject* cell, Vec3 point, const Bounds* search);

// Per triangle (surface is left to the caller): no contact when the squared distance exceeds
// radius_squared or is not a number.
int sphere_triangle_contact(Vec3 centre, float radius, float radius_squared, Vec3 a, Vec3 b, Vec3 c,
                            Contact* out);
// The sphere of the capsule's radius at the axis point nearest to the triangle, found by
// projecting from the axis top to the triangle and back to the axis, four times.
int capsule_triangle_contact(const Capsule* capsule, Vec3 a, Vec3 b, Vec3 c, Contact* out);
