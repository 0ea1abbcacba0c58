#pragma once
// The 256 directions that world vertices and quantised mesh normals refer to by index, and
// that the lighting looks its diffuse terms up by. Each entry is a direction scaled to
// length 127 as signed bytes, on a spiral from +z to -z: entry i sits at height
// z = 127 x (1 - (2i + 1) / 256) and turns by the golden angle (about 137.5 degrees) from
// the one before, starting at the angle of (11, -1); entries 0, 1, 128 and 255 are fixed
// values that lie a few units off that spiral. Content tools and the client share this one
// table, and tests/data/normal_table.txt pins it.
#include <cstdint>

constexpr uint32_t NORMAL_TABLE_SIZE = 256;
extern const int8_t NORMAL_TABLE[NORMAL_TABLE_SIZE][3];

// The entry with the largest dot product with (x, y, z), the first one on ties; a zero or
// non-finite direction answers 0.
uint32_t normal_table_nearest(float x, float y, float z);
