#include "scene/zone_collision.h"

#include <cmath>

#include "assets/bsp.h"
#include "base/vec3_ops.h"
#include "scene/prop_queries.h"
#include "scene/zone_stream.h"

namespace {

ZoneTraceOverrideFn g_trace_override, g_world_override;

// The solid props: those whose header bit 0 is clear.
constexpr int32_t SOLID_PROPS = 0;

int cells_trace(Vec3 from, Vec3 to, TraceHit* best_hit, float* best) {
  int found = 0;
  const uint32_t n = zone_loaded_cell_count();
  for (uint32_t i = 0; i < n; i++) {
    TraceHit hit;
    if (!world_trace(zone_loaded_cell(i), from, to, 0, &hit)) continue;
    const float d2 = vec3_distance_squared(hit.point, from);
    if (found && !(d2 < *best)) continue;
    *best = d2;
    *best_hit = hit;
    found = 1;
  }
  return found;
}

// Appends the contacts of one source while room remains.
template <typename Query>
void gather(Query query, Contact* out, int capacity, int* total, int* touched) {
  int n = 0;
  const int room = capacity - *total;
  if (query(out ? out + *total : nullptr, room > 0 ? room : 0, &n)) *touched = 1;
  *total += n;
}

}  // namespace

void zone_collision_override(ZoneTraceOverrideFn trace, ZoneTraceOverrideFn trace_world) {
  g_trace_override = trace;
  g_world_override = trace_world;
}

int zone_trace_world(Vec3 from, Vec3 to, TraceHit* out) {
  if (g_world_override) return g_world_override(from, to, out);
  TraceHit hit;
  float best = 0;
  if (!cells_trace(from, to, &hit, &best)) return 0;
  if (out) *out = hit;
  return 1;
}

int zone_trace(Vec3 from, Vec3 to, TraceHit* out) {
  if (g_trace_override) return g_trace_override(from, to, out);
  TraceHit hit, prop;
  float best = 0;
  int found = cells_trace(from, to, &hit, &best);
  if (props_trace(from, to, SOLID_PROPS, &prop) &&
      (!found || vec3_distance_squared(prop.point, from) < best)) {
    hit = prop;
    found = 1;
  }
  if (found && out) *out = hit;
  return found;
}

int zone_trace_point(Vec3 from, Vec3 to, Vec3* point) {
  TraceHit hit;
  if (!zone_trace(from, to, &hit)) return 0;
  if (point) *point = hit.point;
  return 1;
}

int zone_capsule_contact(const Capsule* capsule, Contact* out) {
  if (!capsule) return 0;
  Vec3 points = {0, 0, 0}, normals = {0, 0, 0};
  float deepest = -INFINITY;
  uint32_t surface = 0;
  int cells = 0;
  const uint32_t n = zone_loaded_cell_count();
  for (uint32_t i = 0; i < n; i++) {
    Contact c;
    if (!world_capsule_contact(zone_loaded_cell(i), capsule, &c)) continue;
    points = vec3_add(points, c.point);
    normals = vec3_add(normals, c.normal);
    deepest = fmaxf(deepest, c.penetration);
    surface |= c.surface;
    cells++;
  }
  Contact world = {};
  if (cells) world = {vec3_scale(points, 1.0f / (float)cells), vec3_unit(normals), deepest, surface};
  Contact prop;
  const int props = props_capsule_contact(capsule, SOLID_PROPS, &prop);
  if (!cells && !props) return 0;
  if (out) {
    if (cells && props)
      *out = {vec3_scale(vec3_add(world.point, prop.point), 0.5f),
              vec3_unit(vec3_scale(vec3_add(world.normal, prop.normal), 0.5f)),
              fmaxf(world.penetration, prop.penetration), world.surface | prop.surface};
    else
      *out = cells ? world : prop;
  }
  return 1;
}

int zone_sphere_contacts(const Sphere* sphere, Contact* out, int capacity, int* count) {
  int total = 0, touched = 0;
  if (sphere) {
    gather([&](Contact* o, int room, int* n) {
      return props_sphere_contacts(sphere->centre, sphere->radius, SOLID_PROPS, o, room, n);
    }, out, capacity, &total, &touched);
    const uint32_t cells = zone_loaded_cell_count();
    for (uint32_t i = 0; i < cells; i++)
      gather([&](Contact* o, int room, int* n) {
        return world_sphere_contacts(zone_loaded_cell(i), sphere->centre, sphere->radius, o, room, n);
      }, out, capacity, &total, &touched);
  }
  if (count) *count = total;
  return touched;
}

int zone_capsule_contacts(const Capsule* capsule, Contact* out, int capacity, int* count) {
  int total = 0, touched = 0;
  if (capsule) {
    gather([&](Contact* o, int room, int* n) { return props_capsule_contacts(capsule, SOLID_PROPS, o, room, n); },
           out, capacity, &total, &touched);
    const uint32_t cells = zone_loaded_cell_count();
    for (uint32_t i = 0; i < cells; i++)
      gather([&](Contact* o, int room, int* n) {
        return world_capsule_contacts(zone_loaded_cell(i), capsule, o, room, n);
      }, out, capacity, &total, &touched);
  }
  if (count) *count = total;
  return touched;
}

int zone_light_sample(const Bounds* volume, float* out) {
  if (!volume || !out) return 0;
  const float values[6] = {volume->min.x, volume->min.y, volume->min.z, volume->max.x, volume->max.y, volume->max.z};
  for (float v : values)
    if (!std::isfinite(v)) return 0;
  const Vec3 point = {volume->centre.x, volume->min.y, volume->centre.z};
  const Bounds search = bounds_make({volume->min.x, volume->min.y - 1, volume->min.z}, volume->max);
  const uint32_t n = zone_loaded_cell_count();
  for (uint32_t i = 0; i < n; i++) {
    const BspObject* cell = zone_loaded_cell(i);
    const Bounds& root = cell->root->bounds;
    if (point.x < root.min.x || point.x > root.max.x || point.z < root.min.z || point.z > root.max.z) continue;
    *out = world_shade_at(cell, point, &search);
    return 1;
  }
  *out = 1.0f;
  return 1;
}
