#include "scene/collision.h"

#include <cmath>

#include "assets/bsp.h"
#include "base/ray.h"
#include "base/triangle.h"
#include "base/vec3_ops.h"

namespace {

constexpr int CAPSULE_PROJECTIONS = 4;

// One stack per query kind: the trace may run while a contact query's results are in use.
const BspNode* g_trace_stack[BSP_DEPTH_MAX];
const BspNode* g_contact_stack[BSP_DEPTH_MAX];
const BspNode* g_shade_stack[BSP_DEPTH_MAX];

// Triangles already met by the running query. The builder lists a triangle that crosses a
// split plane in each leaf it reaches, as copies sharing the cell's vertices, so a copy is
// known by its corner pointers. Past the list's end nothing is remembered (the query then
// may count a triangle twice, never miss one).
constexpr int SEEN_MAX = 256;
const float* g_seen[SEEN_MAX][3];
int g_seen_count;

int seen_before(const BspCollisionTriangle* t) {
  for (int i = 0; i < g_seen_count; i++)
    if (g_seen[i][0] == t->corners[0] && g_seen[i][1] == t->corners[1] && g_seen[i][2] == t->corners[2]) return 1;
  if (g_seen_count < SEEN_MAX) {
    for (int k = 0; k < 3; k++) g_seen[g_seen_count][k] = t->corners[k];
    g_seen_count++;
  }
  return 0;
}

Vec3 corner(const BspCollisionTriangle* t, int i) { return {t->corners[i][0], t->corners[i][1], t->corners[i][2]}; }

int is_leaf(const BspNode* n) { return !n->back && !n->front; }

float plane_side(const Plane& p, Vec3 v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

int boxes_overlap(const Bounds& a, const float min[3], const float max[3]) {
  return a.min.x <= max[0] && a.max.x >= min[0] && a.min.y <= max[1] && a.max.y >= min[1] && a.min.z <= max[2] &&
         a.max.z >= min[2];
}
int boxes_overlap(const Bounds& a, const Bounds& b) {
  return a.min.x <= b.max.x && a.max.x >= b.min.x && a.min.y <= b.max.y && a.max.y >= b.min.y &&
         a.min.z <= b.max.z && a.max.z >= b.min.z;
}

// The slab test from t = 0 to the segment's end (the ray's direction is a unit vector, so t
// is the distance); the ray's inverse holds 1/0 = inf. Boxes beyond the end cannot hold a hit.
int ray_meets_box(const Ray& r, const float min[3], const float max[3], float reach) {
  const float o[3] = {r.origin.x, r.origin.y, r.origin.z}, d[3] = {r.direction.x, r.direction.y, r.direction.z},
              inv[3] = {r.inverse.x, r.inverse.y, r.inverse.z};
  float lo = 0, hi = reach;
  for (int k = 0; k < 3; k++) {
    if (d[k] == 0.0f || std::isinf(inv[k])) {
      if (!(o[k] >= min[k] && o[k] <= max[k])) return 0;
      continue;
    }
    float t1 = (min[k] - o[k]) * inv[k], t2 = (max[k] - o[k]) * inv[k];
    if (t1 > t2) {
      const float s = t1;
      t1 = t2;
      t2 = s;
    }
    if (t1 > lo) lo = t1;
    if (t2 < hi) hi = t2;
  }
  return hi >= lo;
}

// The lowest and highest plane value over an upright capsule's axis widened by its radius.
void capsule_span(const Plane& p, const Capsule* c, float* lo, float* hi) {
  const float a = plane_side(p, c->top), b = plane_side(p, c->bottom);
  *lo = fminf(a, b) - c->radius;
  *hi = fmaxf(a, b) + c->radius;
}

// Visits every collidable triangle the shape may touch: nodes whose bounds meet the box; both
// children when the shape's span over the plane reaches both sides (a span touching the plane
// counts for both, so a shape resting on a triangle in a split plane finds it), else the
// child on its side. visit returns 0 to stop.
template <typename Span, typename Visit>
void contact_walk(const BspObject* cell, const Bounds& box, Span span, Visit visit) {
  g_seen_count = 0;
  int top = 0;
  const BspNode* node = cell->root;
  while (node || top > 0) {
    if (!node) node = g_contact_stack[--top];
    if (!boxes_overlap(box, node->bounds)) {
      node = nullptr;
      continue;
    }
    if (is_leaf(node)) {
      for (uint32_t i = 0; i < node->triangle_count; i++) {
        const BspCollisionTriangle* t = &node->triangles[i];
        if ((t->surface & BSP_SURFACE_NOT_COLLIDABLE) || !boxes_overlap(box, t->min, t->max)) continue;
        if (seen_before(t)) continue;
        if (!visit(t)) return;
      }
      node = nullptr;
      continue;
    }
    float lo, hi, centre;
    span(node->plane, &lo, &hi, &centre);
    const BspNode* near = centre >= 0 ? node->front : node->back;
    const BspNode* far = centre >= 0 ? node->back : node->front;
    if (lo <= 0 && hi >= 0 && far && top < (int)BSP_DEPTH_MAX) g_contact_stack[top++] = far;
    node = near;
  }
}

}  // namespace

Capsule capsule_make(Vec3 centre, float radius, float height) {
  Capsule c;
  c.centre = centre;
  c.top = c.bottom = centre;
  if (2 * radius < height) {
    const float reach = height / 2 - radius;
    c.top.y += reach;
    c.bottom.y -= reach;
  }
  c.radius = radius;
  c.radius_squared = radius * radius;
  c.height = height;
  return c;
}

Bounds capsule_bounds(const Capsule* c) {
  const float reach = fmaxf(c->height / 2, c->radius);
  return bounds_make({c->centre.x - c->radius, c->centre.y - reach, c->centre.z - c->radius},
                     {c->centre.x + c->radius, c->centre.y + reach, c->centre.z + c->radius});
}

int sphere_triangle_contact(Vec3 centre, float radius, float radius_squared, Vec3 a, Vec3 b, Vec3 c,
                            Contact* out) {
  const Vec3 q = closest_point_on_triangle(a, b, c, centre, nullptr);
  const float d2 = vec3_distance_squared(centre, q);
  if (!(d2 <= radius_squared)) return 0;  // beyond, or not a number
  const float d = sqrtf(d2);
  out->point = q;
  out->normal = d > 0.0001f ? vec3_scale(vec3_sub(centre, q), 1.0f / d) : Vec3{0, 0, 0};
  out->penetration = radius - d;
  return 1;
}

int capsule_triangle_contact(const Capsule* capsule, Vec3 a, Vec3 b, Vec3 c, Contact* out) {
  // One projection from the axis top to the triangle and back to the axis can land far from
  // the axis point nearest the triangle (a slope met by the capsule's foot is reached from
  // the top at a point up the slope), and a missed penetration lets the player sink into
  // steep ground; alternating the projections a few times closes in on the nearest pair.
  Vec3 s = capsule->top;
  for (int i = 0; i < CAPSULE_PROJECTIONS; i++) {
    const Vec3 q = closest_point_on_triangle(a, b, c, s, nullptr);
    s = closest_point_on_segment(capsule->top, capsule->bottom, q);
  }
  return sphere_triangle_contact(s, capsule->radius, capsule->radius_squared, a, b, c, out);
}

int world_trace(const BspObject* cell, Vec3 from, Vec3 to, int one_sided, TraceHit* out) {
  if (!cell || !cell->root) return 0;
  const Ray ray = ray_from_points(from, to);
  float best = vec3_distance_squared(from, to);
  const float reach = sqrtf(best) * 1.0001f + 0.0001f;
  int found = 0;
  TraceHit hit = {};
  int top = 0;
  const BspNode* node = cell->root;
  while (node || top > 0) {
    if (!node) node = g_trace_stack[--top];
    const Bounds& b = node->bounds;
    const float lo[3] = {b.min.x, b.min.y, b.min.z}, hi[3] = {b.max.x, b.max.y, b.max.z};
    if (!ray_meets_box(ray, lo, hi, reach)) {
      node = nullptr;
      continue;
    }
    if (is_leaf(node)) {
      for (uint32_t i = 0; i < node->triangle_count; i++) {
        const BspCollisionTriangle* t = &node->triangles[i];
        if ((t->surface & BSP_SURFACE_NOT_COLLIDABLE) || !ray_meets_box(ray, t->min, t->max, reach)) continue;
        const Vec3 a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
        Vec3 p;
        if (!ray_hits_triangle(&ray, a, b, c, one_sided, &p)) continue;
        const float d2 = vec3_distance_squared(p, from);
        if (!(d2 < best)) continue;
        best = d2;
        found = 1;
        hit = {p, triangle_normal(a, b, c), sqrtf(d2), t->surface};
      }
      node = nullptr;
      continue;
    }
    const int from_front = plane_side(node->plane, from) >= 0, to_front = plane_side(node->plane, to) >= 0;
    const BspNode* near = from_front ? node->front : node->back;
    if (from_front != to_front) {
      const BspNode* far = from_front ? node->back : node->front;
      if (far && top < (int)BSP_DEPTH_MAX) g_trace_stack[top++] = far;
    }
    node = near;
  }
  if (found && out) *out = hit;
  return found;
}

int world_sphere_contacts(const BspObject* cell, Vec3 centre, float radius, Contact* out, int capacity,
                          int* count) {
  int written = 0, touched = 0;
  if (cell && cell->root) {
    const float r2 = radius * radius;
    const Bounds box = bounds_from_sphere(centre, radius);
    contact_walk(
        cell, box,
        [&](const Plane& p, float* lo, float* hi, float* mid) {
          *mid = plane_side(p, centre);
          *lo = *mid - radius;
          *hi = *mid + radius;
        },
        [&](const BspCollisionTriangle* t) {
          Contact c;
          if (!sphere_triangle_contact(centre, radius, r2, corner(t, 0), corner(t, 1), corner(t, 2), &c)) return 1;
          touched = 1;
          if (written < capacity && out) {
            c.surface = t->surface;
            out[written++] = c;
          }
          return 1;
        });
  }
  if (count) *count = written;
  return touched;
}

int world_capsule_contacts(const BspObject* cell, const Capsule* capsule, Contact* out, int capacity, int* count) {
  int written = 0, touched = 0;
  if (cell && cell->root && capsule) {
    const Bounds box = capsule_bounds(capsule);
    contact_walk(
        cell, box,
        [&](const Plane& p, float* lo, float* hi, float* mid) {
          capsule_span(p, capsule, lo, hi);
          *mid = plane_side(p, capsule->centre);
        },
        [&](const BspCollisionTriangle* t) {
          Contact c;
          if (!capsule_triangle_contact(capsule, corner(t, 0), corner(t, 1), corner(t, 2), &c)) return 1;
          touched = 1;
          if (written < capacity && out) {
            c.surface = t->surface;
            out[written++] = c;
          }
          return 1;
        });
  }
  if (count) *count = written;
  return touched;
}

int world_capsule_contact(const BspObject* cell, const Capsule* capsule, Contact* out) {
  if (!cell || !cell->root || !capsule) return 0;
  Vec3 points = {0, 0, 0}, normals = {0, 0, 0};
  float deepest = -INFINITY;
  uint32_t surface = 0;
  int n = 0;
  const Bounds box = capsule_bounds(capsule);
  contact_walk(
      cell, box,
      [&](const Plane& p, float* lo, float* hi, float* mid) {
        capsule_span(p, capsule, lo, hi);
        *mid = plane_side(p, capsule->centre);
      },
      [&](const BspCollisionTriangle* t) {
        Contact c;
        if (!capsule_triangle_contact(capsule, corner(t, 0), corner(t, 1), corner(t, 2), &c)) return 1;
        points = vec3_add(points, c.point);
        normals = vec3_add(normals, c.normal);
        deepest = fmaxf(deepest, c.penetration);
        surface |= t->surface;
        n++;
        return 1;
      });
  if (n == 0 || !(deepest > 0.0001f)) return 0;
  if (out) *out = {vec3_scale(points, 1.0f / (float)n), vec3_unit(normals), deepest, surface};
  return 1;
}

float world_shade_at(const BspObject* cell, Vec3 point, const Bounds* search) {
  if (!cell || !cell->root || !search || !boxes_overlap(*search, cell->root->bounds)) return 1.0f;
  float best = INFINITY, shade = 1.0f;
  const Vec3 centre = search->centre, half = search->half;
  int top = 0;
  const BspNode* node = cell->root;
  while (node || top > 0) {
    if (!node) node = g_shade_stack[--top];
    if (is_leaf(node)) {
      for (uint32_t i = 0; i < node->triangle_count; i++) {
        const BspCollisionTriangle* t = &node->triangles[i];
        if ((t->surface & BSP_SURFACE_NO_SHADE) || !boxes_overlap(*search, t->min, t->max)) continue;
        const float p[3] = {point.x, point.y, point.z};
        float box_d2 = 0;
        for (int k = 0; k < 3; k++) {
          const float out_by = fmaxf(fmaxf(t->min[k] - p[k], 0.0f), p[k] - t->max[k]);
          box_d2 += out_by * out_by;
        }
        if (!(box_d2 < best)) continue;
        float w[3];
        const Vec3 q = closest_point_on_triangle(corner(t, 0), corner(t, 1), corner(t, 2), point, w);
        const float d2 = vec3_distance_squared(point, q);
        if (!(d2 < best)) continue;
        best = d2;
        shade = (w[0] * t->shade[0] + w[1] * t->shade[1] + w[2] * t->shade[2]) / 255.0f;
      }
      node = nullptr;
      continue;
    }
    const Plane& pl = node->plane;
    const float mid = plane_side(pl, centre);
    const float extent = fabsf(pl.a) * half.x + fabsf(pl.b) * half.y + fabsf(pl.c) * half.z;
    const BspNode* near = mid >= 0 ? node->front : node->back;
    const BspNode* far = mid >= 0 ? node->back : node->front;
    if (mid - extent <= 0 && mid + extent >= 0 && far && top < (int)BSP_DEPTH_MAX) g_shade_stack[top++] = far;
    node = near;
  }
  return shade;
}
