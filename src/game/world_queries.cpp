#include "game/world_queries.h"

namespace {
SegmentTraceFn g_zone_trace, g_world_trace;
PropGatherFn g_gather;
}  // namespace

void world_queries_install(SegmentTraceFn zone, SegmentTraceFn world, PropGatherFn gather) {
  g_zone_trace = zone;
  g_world_trace = world;
  g_gather = gather;
}

int zone_trace(Vec3 from, Vec3 to, TraceHit* out) { return g_zone_trace ? g_zone_trace(from, to, out) : 0; }
int zone_trace_world(Vec3 from, Vec3 to, TraceHit* out) {
  return g_world_trace ? g_world_trace(from, to, out) : 0;
}
int prop_gather(Vec3 a, Vec3 b, float radius, int32_t header_filter, uint32_t* handles, int capacity) {
  if (!g_gather || !handles || capacity <= 0) return 0;
  const int n = g_gather(a, b, radius, header_filter, handles, capacity);
  return n < 0 ? 0 : n > capacity ? capacity : n;
}
