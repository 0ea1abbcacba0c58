#include "assets/map.h"

#include <cmath>

#include "assets/byte_reader.h"
#include "base/mem.h"

static int all_finite(const float* values, uint32_t count) {
  for (uint32_t i = 0; i < count; i++)
    if (!std::isfinite(values[i])) return 0;
  return 1;
}

static void read_floats(ByteReader* r, float* out, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) out[i] = byte_reader_f32(r);
}

// Reads one prop in file order; 0 when a float is not finite.
static int read_prop(ByteReader* r, MapProp* p) {
  p->id = byte_reader_u32(r);
  p->value = byte_reader_u32(r);
  p->kind = byte_reader_u32(r);
  p->header_flag = byte_reader_u8(r);
  p->flag2 = byte_reader_u8(r);
  read_floats(r, p->position, 3);
  read_floats(r, p->rotation, 3);
  read_floats(r, p->scale, 3);
  p->model_ref = byte_reader_u32(r);
  p->mesh_id = byte_reader_u32(r);
  p->mesh_word2 = byte_reader_u32(r);
  p->carried1 = byte_reader_u32(r);
  p->sound_id = byte_reader_u32(r);
  p->bounds_word = byte_reader_u32(r);
  read_floats(r, p->bounds_min, 3);
  read_floats(r, p->bounds_max, 3);
  read_floats(r, p->point, 3);
  p->radius = byte_reader_f32(r);
  p->light_flag = byte_reader_u8(r);
  p->sound_flag = byte_reader_u8(r);
  p->carried2 = byte_reader_u32(r);
  p->light_value = byte_reader_f32(r);
  p->light_radius_max = byte_reader_f32(r);
  read_floats(r, p->light_colour, 3);
  float scalars[3] = {p->radius, p->light_value, p->light_radius_max};
  return all_finite(p->position, 3) && all_finite(p->rotation, 3) && all_finite(p->scale, 3) &&
         all_finite(p->bounds_min, 3) && all_finite(p->bounds_max, 3) && all_finite(p->point, 3) &&
         all_finite(p->light_colour, 3) && all_finite(scalars, 3);
}

MapObject* map_decode(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < MAP_HEADER_SIZE) return nullptr;
  ByteReader counts = byte_reader(bytes + 96, 8);
  uint32_t materials = byte_reader_u32(&counts);
  uint32_t props = byte_reader_u32(&counts);
  if (materials > MAP_MATERIALS_MAX || props > MAP_PROPS_MAX) return nullptr;
  if (length != MAP_HEADER_SIZE + 4ull * materials + (uint64_t)MAP_PROP_FILE_SIZE * props) return nullptr;

  MapObject* map = (MapObject*)mem_calloc(1, sizeof(MapObject));
  ByteReader r = byte_reader(bytes, length);
  map->id = byte_reader_u32(&r);
  byte_reader_take(&r, map->name, sizeof map->name);
  map->name[sizeof map->name - 1] = 0;
  read_floats(&r, map->env_colour, 3);
  map->env_value1 = byte_reader_f32(&r);
  map->far_distance = byte_reader_f32(&r);
  map->env_value2 = byte_reader_f32(&r);
  map->env_value3 = byte_reader_f32(&r);
  map->env_word = byte_reader_u32(&r);
  map->bsp_id = byte_reader_u32(&r);
  map->grid_origin_x = byte_reader_f32(&r);
  map->grid_origin_z = byte_reader_f32(&r);
  map->grid_columns = byte_reader_u32(&r);
  map->grid_rows = byte_reader_u32(&r);
  map->cell_size = byte_reader_u32(&r);
  map->reserved = byte_reader_u32(&r);
  map->material_count = byte_reader_u32(&r);
  map->prop_count = byte_reader_u32(&r);
  float scalars[6] = {map->env_value1, map->far_distance,  map->env_value2,
                      map->env_value3, map->grid_origin_x, map->grid_origin_z};
  int ok = all_finite(map->env_colour, 3) && all_finite(scalars, 6) && map->grid_columns <= MAP_GRID_MAX &&
           map->grid_rows <= MAP_GRID_MAX;

  if (ok && materials > 0) {
    map->material_textures = (uint32_t*)mem_alloc(4ull * materials);
    for (uint32_t i = 0; i < materials; i++) map->material_textures[i] = byte_reader_u32(&r);
  }
  if (ok && props > 0) {
    map->props = (MapProp*)mem_alloc(sizeof(MapProp) * (size_t)props);
    for (uint32_t i = 0; i < props && ok; i++) ok = read_prop(&r, &map->props[i]);
  }
  if (!ok || r.error) {
    map_destroy(map);
    return nullptr;
  }
  return map;
}

void map_destroy(MapObject* map) {
  if (!map) return;
  mem_free(map->material_textures);
  mem_free(map->props);
  mem_free(map);
}

void* map_decode_asset(const uint8_t* bytes, uint32_t length) { return map_decode(bytes, length); }
void map_destroy_asset(void* object) { map_destroy((MapObject*)object); }
