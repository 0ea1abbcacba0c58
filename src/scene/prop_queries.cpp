#include "scene/prop_queries.h"

#include <cmath>

#include "base/ray.h"
#include "base/vec3_ops.h"

namespace {

PropBoxSourceFn g_source;
PropBox g_found[PROPS_QUERY_MAX];

// The props the filter passes among those overlapping the box, into g_found.
int candidates(const Bounds& box, int32_t filter) {
  if (!g_source) return 0;
  int n = g_source(&box, g_found, PROPS_QUERY_MAX);
  if (n < 0) n = 0;
  if (n > PROPS_QUERY_MAX) n = PROPS_QUERY_MAX;
  int kept = 0;
  for (int i = 0; i < n; i++)
    if (props_filter_passes(g_found[i].header, filter)) g_found[kept++] = g_found[i];
  return kept;
}

// The twelve triangles of a box.
struct BoxTriangles {
  Vec3 corners[12][3];
};
BoxTriangles box_triangles(const Bounds& b) {
  const Vec3 lo = b.min, hi = b.max;
  const Vec3 v[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z},
                     {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  static const int faces[6][4] = {{4, 5, 6, 7}, {0, 3, 2, 1}, {0, 1, 5, 4},
                                  {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  BoxTriangles out;
  for (int f = 0; f < 6; f++) {
    const int* q = faces[f];
    out.corners[2 * f][0] = v[q[0]];
    out.corners[2 * f][1] = v[q[1]];
    out.corners[2 * f][2] = v[q[2]];
    out.corners[2 * f + 1][0] = v[q[0]];
    out.corners[2 * f + 1][1] = v[q[2]];
    out.corners[2 * f + 1][2] = v[q[3]];
  }
  return out;
}

// The outward normal of the box face the point lies on (the nearest one).
Vec3 face_normal(const Bounds& b, Vec3 p) {
  const float d[6] = {fabsf(p.x - b.min.x), fabsf(p.x - b.max.x), fabsf(p.y - b.min.y),
                      fabsf(p.y - b.max.y), fabsf(p.z - b.min.z), fabsf(p.z - b.max.z)};
  static const Vec3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  int best = 0;
  for (int i = 1; i < 6; i++)
    if (d[i] < d[best]) best = i;
  return normals[best];
}

// Every triangle contact of the props overlapping the box; visit gets each.
template <typename Touch, typename Visit>
void prop_contacts(const Bounds& box, int32_t filter, Touch touch, Visit visit) {
  const int n = candidates(box, filter);
  for (int i = 0; i < n; i++) {
    const BoxTriangles t = box_triangles(g_found[i].bounds);
    for (const auto& tri : t.corners) {
      Contact c;
      if (!touch(tri[0], tri[1], tri[2], &c)) continue;
      c.surface = 0;
      visit(c);
    }
  }
}

int overlaps(const Bounds& a, const Bounds& b) {
  return a.min.x <= b.max.x && a.max.x >= b.min.x && a.min.y <= b.max.y && a.max.y >= b.min.y &&
         a.min.z <= b.max.z && a.max.z >= b.min.z;
}

}  // namespace

void props_set_source(PropBoxSourceFn source) { g_source = source; }

int props_filter_passes(uint32_t header, int32_t filter) {
  if (filter == -1) return 1;
  if (filter == 0) return (header & 1) == 0;
  return (header & (uint32_t)filter) != 0;
}

int props_gather_box(const Bounds* box, int32_t filter, uint32_t* handles, int capacity) {
  if (!box || !handles) return 0;
  const int n = candidates(*box, filter);
  int written = 0;
  for (int i = 0; i < n && written < capacity; i++)
    if (overlaps(*box, g_found[i].bounds)) handles[written++] = g_found[i].handle;
  return written;
}

int props_gather_cylinder(Vec3 a, Vec3 b, float radius, int32_t filter, uint32_t* handles, int capacity) {
  if (!handles || !(radius >= 0)) return 0;
  const float lo = fminf(a.y, b.y) - radius, hi = fmaxf(a.y, b.y) + radius;
  const Bounds box = bounds_make({a.x - radius, lo, a.z - radius}, {a.x + radius, hi, a.z + radius});
  const int n = candidates(box, filter);
  int written = 0;
  for (int i = 0; i < n && written < capacity; i++) {
    const Bounds& p = g_found[i].bounds;
    if (!(p.min.y <= hi && p.max.y >= lo)) continue;
    // The circle against the box's footprint.
    const float dx = fmaxf(fmaxf(p.min.x - a.x, 0.0f), a.x - p.max.x);
    const float dz = fmaxf(fmaxf(p.min.z - a.z, 0.0f), a.z - p.max.z);
    if (dx * dx + dz * dz <= radius * radius) handles[written++] = g_found[i].handle;
  }
  return written;
}

int props_trace(Vec3 from, Vec3 to, int32_t filter, TraceHit* out) {
  const Bounds box = bounds_make({fminf(from.x, to.x), fminf(from.y, to.y), fminf(from.z, to.z)},
                                 {fmaxf(from.x, to.x), fmaxf(from.y, to.y), fmaxf(from.z, to.z)});
  const int n = candidates(box, filter);
  const Ray ray = ray_from_points(from, to);
  float best = vec3_distance_squared(from, to);
  int found = 0;
  for (int i = 0; i < n; i++) {
    Vec3 p;
    if (!ray_hits_bounds(&ray, &g_found[i].bounds, &p)) continue;
    const float d2 = vec3_distance_squared(p, from);
    if (!(d2 <= best) || (found && !(d2 < best))) continue;
    best = d2;
    found = 1;
    if (out) *out = {p, face_normal(g_found[i].bounds, p), sqrtf(d2), 0};
  }
  return found;
}

int props_sphere_contacts(Vec3 centre, float radius, int32_t filter, Contact* out, int capacity, int* count) {
  int written = 0, touched = 0;
  const float r2 = radius * radius;
  prop_contacts(
      bounds_from_sphere(centre, radius), filter,
      [&](Vec3 a, Vec3 b, Vec3 c, Contact* o) { return sphere_triangle_contact(centre, radius, r2, a, b, c, o); },
      [&](const Contact& c) {
        touched = 1;
        if (out && written < capacity) out[written++] = c;
      });
  if (count) *count = written;
  return touched;
}

int props_capsule_contacts(const Capsule* capsule, int32_t filter, Contact* out, int capacity, int* count) {
  int written = 0, touched = 0;
  if (capsule)
    prop_contacts(
        capsule_bounds(capsule), filter,
        [&](Vec3 a, Vec3 b, Vec3 c, Contact* o) { return capsule_triangle_contact(capsule, a, b, c, o); },
        [&](const Contact& c) {
          touched = 1;
          if (out && written < capacity) out[written++] = c;
        });
  if (count) *count = written;
  return touched;
}

int props_capsule_contact(const Capsule* capsule, int32_t filter, Contact* out) {
  if (!capsule) return 0;
  Vec3 points = {0, 0, 0}, normals = {0, 0, 0};
  float deepest = -INFINITY;
  int n = 0;
  prop_contacts(
      capsule_bounds(capsule), filter,
      [&](Vec3 a, Vec3 b, Vec3 c, Contact* o) { return capsule_triangle_contact(capsule, a, b, c, o); },
      [&](const Contact& c) {
        points = vec3_add(points, c.point);
        normals = vec3_add(normals, c.normal);
        deepest = fmaxf(deepest, c.penetration);
        n++;
      });
  if (n == 0 || !(deepest > 0.0001f)) return 0;
  if (out) *out = {vec3_scale(points, 1.0f / (float)n), vec3_unit(normals), deepest, 0};
  return 1;
}
