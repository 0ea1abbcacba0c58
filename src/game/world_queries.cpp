#include "game/world_queries.h"

#include "scene/prop_queries.h"

namespace {
PropGatherFn g_gather;
}  // namespace

void world_queries_install(SegmentTraceFn zone, SegmentTraceFn world, PropGatherFn gather) {
  zone_collision_override(zone, world);
  g_gather = gather;
}

int prop_gather(Vec3 a, Vec3 b, float radius, int32_t header_filter, uint32_t* handles, int capacity) {
  if (!handles || capacity <= 0) return 0;
  const int n = g_gather ? g_gather(a, b, radius, header_filter, handles, capacity)
                         : props_gather_cylinder(a, b, radius, header_filter, handles, capacity);
  return n < 0 ? 0 : n > capacity ? capacity : n;
}
