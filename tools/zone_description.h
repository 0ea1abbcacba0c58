#pragma once
// The text descriptions zonebuild reads: the shared materials file and one file per zone.
//
// Materials file, one statement per line (# comments, blank lines skipped):
//   material NAME KEY TEXTURE PATTERN COLOUR_A COLOUR_B
//     NAME the zones use; KEY the draw-order key (0..65535; bit 0x8000 marks a transition
//     material, drawn blended over the terrain); TEXTURE its texture id (1000..1999, one
//     texture per material); PATTERN noise, bricks, planks or speckle; COLOUR_A and COLOUR_B
//     the pattern's two colours 0xRRGGBB.
//
// Zone file:
//   zone NUMBER NAME                       1..65535 and up to 31 bytes of name (required)
//   environment R G B NEAR FAR FOG_START NOMINAL_FAR WORD
//       base colour (0..1 each), far distance at the nearest and the farthest view level,
//       nominal fog start and far distance, environment word (bit 0: clear with the fog
//       colour, bit 1: draw the sky)
//   grid ORIGIN_X ORIGIN_Z COLUMNS ROWS CELL_SIZE    no grid line, or cell size 0: no cells
//   ground MATERIAL HEIGHT SPACING         terrain over the whole grid, a vertex every
//                                          SPACING units (a divisor of the cell size)
//   hill X Z RADIUS HEIGHT                 a smooth bump added to the terrain
//   paint MATERIAL X0 Z0 X1 Z1             terrain squares whose centre lies in the rectangle
//   paint_circle MATERIAL X Z RADIUS       ... or in the circle (later paints win)
//   transition OVERLAY FROM ONTO           OVERLAY drawn over ONTO squares next to FROM
//                                          ground, opaque at FROM corners, clear elsewhere
//   box MATERIAL X0 Y0 Z0 X1 Y1 Z1 FLAGS   a solid box without its bottom face; FLAGS is its
//                                          surface word (0: collidable and shaded)
//   quad MATERIAL X0 Y0 Z0 X1 Y1 Z1 X2 Y2 Z2 X3 Y3 Z3 FLAGS
//                                          a flat four-cornered face (ramps, slanted walls),
//                                          corners clockwise seen from its front; FLAGS as
//                                          for a box (1: not collidable, 8: no shade)
//   sun DX DY DZ AMBIENT                   direction towards the sun and the shade of
//                                          unlit ground (0..1), for the baked shade
//   lamp X Y Z RADIUS COLOUR               warm baked light 0xRRGGBB fading out at RADIUS
//   spawn X Y Z HEADING                    where players enter: inside the grid, on or at
//                                          most 0.5 above the ground
//   prop ID VALUE KIND FLAG1 FLAG2 PX PY PZ RX RY RZ SX SY SZ MODEL MESH MESH2 VALUE2 SOUND
//        BOUNDS_WORD MINX MINY MINZ MAXX MAXY MAXZ LX LY LZ RADIUS LIGHT_FLAG SOUND_FLAG
//        VALUE3 LIGHT_VALUE LIGHT_RADIUS R G B
//       every field of a prop record, in record order, on one line; the prop goes to the
//       cell its position lies in (the zone's own entry when there is no grid)
#include <cstdint>
#include <string>
#include <vector>

struct ZoneMaterial {
  std::string name;
  uint16_t key;
  uint32_t texture;
  std::string pattern;
  uint32_t colour_a, colour_b;
};

struct ZoneHill {
  float x, z, radius, height;
};

struct ZonePaint {
  uint32_t material;
  bool circle;
  float a, b, c, d;  // x0 z0 x1 z1, or x z radius
};

struct ZoneTransition {
  uint32_t overlay, from, onto;
};

struct ZoneBox {
  uint32_t material;
  float min[3], max[3];
  uint32_t flags;
  int line;
};

struct ZoneQuad {
  uint32_t material;
  float corners[4][3];
  uint32_t flags;
  int line;
};

struct ZoneLamp {
  float position[3];
  float radius;
  uint32_t colour;
};

struct ZoneProp {
  float position[3];
  std::vector<uint8_t> record;  // the 140 bytes of the file record
  int line;
};

struct ZoneDescription {
  std::string path;
  uint32_t number = 0;
  std::string name;
  float env_colour[3] = {1, 1, 1};
  float env_near = 100, env_far = 1000, fog_start = 100, nominal_far = 500;
  uint32_t env_word = 1;
  float origin_x = 0, origin_z = 0;
  uint32_t columns = 0, rows = 0, cell_size = 0;
  bool has_ground = false;
  uint32_t ground_material = 0;
  float ground_height = 0;
  uint32_t spacing = 0;
  std::vector<ZoneHill> hills;
  std::vector<ZonePaint> paints;
  std::vector<ZoneTransition> transitions;
  std::vector<ZoneBox> boxes;
  std::vector<ZoneQuad> quads;
  std::vector<ZoneLamp> lamps;
  float sun[3] = {0, 1, 0};
  float ambient = 1;
  bool has_spawn = false;
  float spawn[4] = {0, 0, 0, 0};
  int spawn_line = 0;
  std::vector<ZoneProp> props;
};

// Both return false with "FILE:LINE: message" in *error.
bool zone_read_materials(const char* path, std::vector<ZoneMaterial>* out, std::string* error);
bool zone_read_description(const char* path, const std::vector<ZoneMaterial>& materials, ZoneDescription* out,
                           std::string* error);
