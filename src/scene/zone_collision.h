#pragma once
// The zone-level collision queries: every loaded cell (zone_stream.h) and the solid props
// (prop_queries.h, header filter 0) together. The movement code, the camera, the creatures'
// ground probe, the water state and the model lighting ask these. Main thread only; a query
// must not run inside another of its kind (static traversal stacks).
#include <cstdint>

#include "scene/collision.h"

// 1 on a hit (written to out when not null): the nearest over the cells (a later cell replaces
// an earlier hit only when strictly nearer) and the props (only when strictly nearer still).
int zone_trace(Vec3 from, Vec3 to, TraceHit* out);
// The same without props.
int zone_trace_world(Vec3 from, Vec3 to, TraceHit* out);
// 1 when the capsule touches anything, with one merged contact: the cells' merged contacts
// averaged (normal renormalised), the largest penetration, the surface words OR-ed; with the
// props' merged contact as well, the midpoint of the two, their renormalised mean normal, the
// larger penetration and both surface words.
int zone_capsule_contact(const Capsule* capsule, Contact* out);
// The props' contacts, then each cell's while room remains; *count is the total written.
int zone_sphere_contacts(const Sphere* sphere, Contact* out, int capacity, int* count);
int zone_capsule_contacts(const Capsule* capsule, Contact* out, int capacity, int* count);

// The zone's light over a model's volume: the shade at the centre of the volume's base among
// the triangles the volume grown 1 unit downwards reaches, in the loaded cell under that point
// (1.0 when there is none). 0 for a volume that is not finite. Shaped as the model lighting's
// sample function.
int zone_light_sample(const Bounds* volume, float* out);
// The creatures' ground probe: zone_trace's hit point.
int zone_trace_point(Vec3 from, Vec3 to, Vec3* hit);

// Tests replace the two traces with fakes (null: the real ones).
typedef int (*ZoneTraceOverrideFn)(Vec3 from, Vec3 to, TraceHit* out);
void zone_collision_override(ZoneTraceOverrideFn trace, ZoneTraceOverrideFn trace_world);
