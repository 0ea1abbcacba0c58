#pragma once
// The questions player control, the camera and the water state ask of the zone: segment
// traces (scene/zone_collision.h) and prop gathers (scene/prop_queries.h). Tests install fakes
// in their place; null puts back the real queries. Main thread only.
#include <cstdint>

#include "base/math.h"
#include "scene/zone_collision.h"

// 1 with the nearest hit along from -> to (out may be null), else 0.
typedef int (*SegmentTraceFn)(Vec3 from, Vec3 to, TraceHit* out);
// Handles of up to `capacity` props whose bounds overlap the upright capsule a .. b of the
// radius (a point when a == b and radius is 0), keeping those the header filter passes (-1
// any prop, a mask that must meet the header word, 0 props whose header bit 0 is clear).
// Answers how many were written.
typedef int (*PropGatherFn)(Vec3 a, Vec3 b, float radius, int32_t header_filter, uint32_t* handles,
                            int capacity);

// Null puts back the real query.
void world_queries_install(SegmentTraceFn zone_trace, SegmentTraceFn world_trace, PropGatherFn gather);
int prop_gather(Vec3 a, Vec3 b, float radius, int32_t header_filter, uint32_t* handles, int capacity);
