#pragma once
// Vertex lighting shared by world and model drawing: per-frame tables built from the zone's
// sun, the dynamic point lights a draw hands over in a light block, and the per-vertex step
// that turns a vertex's shade, normal, baked light and material colour into its final colour.
//
// All arithmetic is integer except the dynamic-light distances, which are single-precision
// floats in a fixed order (the same bytes on every machine built without contraction). The
// tables are process-wide, rebuilt by the frame before any drawing; main thread only.
//
// Vertex bytes as lit here (RenderVertex): 12..15 material colour blue, green, red, alpha
// (128 means 1.0); 16..19 on input baked light blue, green, red and the shade level 0..255,
// on output the final colour; 20 normal index into NORMAL_TABLE; 23 dynamic-light mask.
#include <cstdint>

#include "assets/render_vertex.h"
#include "base/math.h"

struct DrawRecord;

enum : uint32_t { LIGHT_BLOCK_MAX = 4 };

// One dynamic point light as drawing receives it.
struct LightSource {
  float inv_radius;  // 1 / radius
  float radius_sq;
  uint8_t red, green, blue, spare;
  Vec3 position;
  Bounds bounds;  // the light's reach, for per-group masks
};

// What a draw hands to the lighting through the draw record's user_extra. A count outside
// 0..LIGHT_BLOCK_MAX is read as the nearest end of that range.
struct LightBlock {
  int8_t direction[3];
  LightSource lights[LIGHT_BLOCK_MAX];
  int32_t count;
};

// Lanes blue, green, red, alpha: the order of the colour bytes.
struct LightingTables {
  uint8_t ramp_linear[256][4];  // alpha lane 255
  uint8_t ramp_square[256][4];  // alpha lane 0
  uint8_t diffuse[256];         // per normal index, 0..170
};

// direction: the sun as signed bytes (unit vector x 127), null for none; colour: blue, green,
// red, alpha, null for black. The light colour enters at about 0.6 (x 154 >> 8).
void lighting_tables_build(const int8_t direction[3], const uint8_t colour[4]);
const LightingTables* lighting_tables(void);

// 1 / sqrt(x) from the bit-pattern estimate 0x5F375A86 - bits(x) / 2 and one Newton step;
// within about 0.2 % for positive finite x.
float lighting_inverse_sqrt(float x);

// Bit j set for each light j of the block whose bounds overlap the box on all three axes
// (touching counts). Null or an empty block gives 0.
uint8_t face_group_light_mask(const Bounds* box, const LightBlock* block);

// Adds the lights named by the vertex's mask byte to its baked light, saturating each byte at
// 255. Mask bits at or above the block's light count are ignored: a mask written for an
// earlier block must not reach lights that no longer exist.
void lighting_add_dynamic(RenderVertex* vertex, const LightBlock* block);

// The final colour word (0xAARRGGBB) from the material colour word, the baked-light-and-shade
// word and a normal index, through the current tables. Material alpha 128 or more is opaque;
// below, alpha x 255 >> 7.
uint32_t lighting_final_colour(uint32_t material, uint32_t light_and_shade, uint32_t normal);

// The same with the diffuse term given (0..255) instead of looked up by normal index: models
// compute it per vertex from their own normal bytes.
uint32_t lighting_final_colour_diffuse(uint32_t material, uint32_t light_and_shade, uint32_t diffuse);

// One light's addition to a vertex's baked light (blue, green, red; saturating at 255), with
// the normal given as bytes and the light's position in the vertex's own space.
void light_vertex_dynamic(const LightSource* light, const int8_t normal[3], const float position[3],
                          uint8_t baked[4]);

// Both steps over a run of vertices: dynamic lights (block may be null), then the final colour
// into bytes 16..19.
void lighting_apply(RenderVertex* vertices, uint32_t count, const LightBlock* block);

// Vertex stage of world geometry: lights the record's own accumulated copies with the light
// block in user_extra. It leaves a caller's vertices alone (an external source), since
// lighting in place adds the dynamic light again every frame.
void world_light_stage(DrawRecord* record);
