#pragma once
// Collision and picking queries against the zone's placed props. A prop meets traces, spheres
// and capsules as its world bounds box: a trace is a slab test on the box, a sphere or capsule
// meets its twelve triangles through the same contact functions as the cell geometry, so
// props block and can be stood on.
//
// Where the props are kept is not known here: the zone's prop index is installed as a source
// that lists the props whose world bounds overlap a box. Until one is installed there are no
// props. The header filter of every query: -1 any prop, 0 the props whose header bit 0 is
// clear (the solid ones), any other value a mask that must meet the header word (1 picks the
// water volumes, which carry bit 0). Main thread only.
#include <cstdint>

#include "base/math.h"
#include "scene/collision.h"

struct PropBox {
  uint32_t handle;  // the prop's entity
  uint32_t header;  // its entity header's flag word
  Bounds bounds;    // in world space
};

// Writes up to capacity props whose bounds overlap the box; answers how many.
typedef int (*PropBoxSourceFn)(const Bounds* box, PropBox* out, int capacity);
// Null: no props.
void props_set_source(PropBoxSourceFn source);

// The most props one query looks at; more overlapping the query box are not seen.
constexpr int PROPS_QUERY_MAX = 64;

int props_filter_passes(uint32_t header, int32_t filter);

// Handles of the props the filter passes whose bounds overlap the box, or the upright
// cylinder (axis a .. b, same x and z as a, widened by radius). Answer how many were written.
int props_gather_box(const Bounds* box, int32_t filter, uint32_t* handles, int capacity);
int props_gather_cylinder(Vec3 a, Vec3 b, float radius, int32_t filter, uint32_t* handles, int capacity);

// 1 with the nearest prop box the segment meets (from inside a box: where it leaves it).
int props_trace(Vec3 from, Vec3 to, int32_t filter, TraceHit* out);
// As world_sphere_contacts and world_capsule_contacts; the surface word of a prop contact is 0.
int props_sphere_contacts(Vec3 centre, float radius, int32_t filter, Contact* out, int capacity, int* count);
int props_capsule_contacts(const Capsule* capsule, int32_t filter, Contact* out, int capacity, int* count);
// As world_capsule_contact over every prop the filter passes.
int props_capsule_contact(const Capsule* capsule, int32_t filter, Contact* out);
