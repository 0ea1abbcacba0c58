// Map decoding of arbitrary bytes, followed by a read of everything the zone and cell code
// reads: every texture id and every prop's floats, which must be finite.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "assets/map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > MAP_FILE_MAX) return 0;
  MapObject* map = map_decode(data, (uint32_t)size);
  if (!map) return 0;
  if (map->grid_columns > 256 || map->grid_rows > 256 || map->name[31] != 0) __builtin_trap();
  volatile uint32_t sum = 0;
  for (uint32_t i = 0; i < map->material_count; i++) sum = sum + map->material_textures[i];
  for (uint32_t i = 0; i < map->prop_count; i++) {
    const MapProp& p = map->props[i];
    for (int k = 0; k < 3; k++)
      if (!std::isfinite(p.position[k]) || !std::isfinite(p.scale[k]) || !std::isfinite(p.bounds_max[k]))
        __builtin_trap();
    sum = sum + p.mesh_id + p.header_flag;
  }
  map_destroy(map);
  return 0;
}
