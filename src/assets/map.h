#pragma once
// Decoder of zone and cell descriptions (the map archive). A zone's entry carries the zone's
// grid, its environment values and its props; a cell's entry (id = zone << 16 | column << 8
// | row) carries the cell's BSP id, the texture ids of its materials and its props.
//
// File: a 104-byte header (id, 32-byte name, environment colour and values, BSP id, grid,
// material count M <= 4096, prop count P <= 65536), M texture ids, P props of 140 bytes; the
// length must be exactly 104 + 4M + 140P. The object's id comes from the file.
//
// Rejected as well: grids of more than 256 columns or rows (cell ids keep eight bits for
// each), and any non-finite float in the header or a prop, since they become positions,
// scales, far distances and fog ranges. Zone numbers are not checked here: cell entries'
// own ids exceed 16 bits, so whoever forms cell ids from a zone number checks it.
#include <cstdint>

constexpr uint32_t MAP_HEADER_SIZE = 104;
constexpr uint32_t MAP_PROP_FILE_SIZE = 140;
constexpr uint32_t MAP_MATERIALS_MAX = 4096;
constexpr uint32_t MAP_PROPS_MAX = 65536;
constexpr uint32_t MAP_GRID_MAX = 256;
// The longest valid map file, the cache's size limit for map entries.
constexpr uint64_t MAP_FILE_MAX =
    MAP_HEADER_SIZE + 4ull * MAP_MATERIALS_MAX + (uint64_t)MAP_PROP_FILE_SIZE * MAP_PROPS_MAX;

// One placed prop; every single byte of the file is widened to 32 bits.
struct MapProp {
  uint32_t id;
  uint32_t value;  // copied into the prop's entity header
  uint32_t kind;   // selects the prop's entity space
  uint32_t header_flag;
  uint32_t flag2;
  float position[3];
  float rotation[3];  // degrees about x, y, z
  float scale[3];
  uint32_t model_ref;   // first word of the prop's model instance
  uint32_t mesh_id;     // mesh asset, first word of the mesh reference
  uint32_t mesh_word2;  // second word of the mesh reference
  uint32_t carried1;
  uint32_t sound_id;     // sound asset of a sound emitter
  uint32_t bounds_word;  // first word of the prop's bounds component
  float bounds_min[3];   // local bounds
  float bounds_max[3];
  float point[3];  // a local point transformed with the prop
  float radius;
  uint32_t light_flag;  // non-zero: the prop is a point light
  uint32_t sound_flag;  // non-zero: the prop is a sound emitter
  uint32_t carried2;
  float light_value;
  float light_radius_max;
  float light_colour[3];  // red, green, blue in 0..1
};
static_assert(sizeof(MapProp) == 152, "a prop keeps a 152-byte slot");

struct MapObject {
  uint32_t id;
  char name[32];        // always zero-terminated
  float env_colour[3];  // multiplies the fog colour
  float env_value1;     // far distance at the nearest view-distance level
  float far_distance;   // far distance at the farthest level
  float env_value2;     // nominal fog start
  float env_value3;     // nominal far distance
  uint32_t env_word;    // bit 0 clear with the fog colour, bit 1 draw the sky
  uint32_t bsp_id;      // BSP asset of this entry (0: none)
  float grid_origin_x;
  float grid_origin_z;
  uint32_t grid_columns;
  uint32_t grid_rows;
  uint32_t cell_size;  // world units; 0: no grid
  uint32_t reserved;
  uint32_t material_count;
  uint32_t prop_count;
  uint32_t* material_textures;  // texture asset ids, null when there are none
  MapProp* props;               // null when there are none
};

// Null on any rejection; nothing stays allocated then.
MapObject* map_decode(const uint8_t* bytes, uint32_t length);
void map_destroy(MapObject* map);

// The same two in the shape of the asset cache's decoder table.
void* map_decode_asset(const uint8_t* bytes, uint32_t length);
void map_destroy_asset(void* object);
