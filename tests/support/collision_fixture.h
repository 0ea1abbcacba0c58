#pragma once
// Test-only cells for the collision queries: a cell decoded from a list of triangles built
// with the content tools' builder, and the demo zones' cells decoded from the built archives.
#include <cstdint>
#include <vector>

#include "base/math.h"

struct BspObject;

struct FixtureTriangle {
  Vec3 a, b, c;
  uint32_t flags;    // the surface word (BSP_SURFACE_* bits)
  uint8_t shade[3];  // per corner
};

// A decoded cell of the triangles, or null when the builder refused them.
BspObject* collision_fixture_cell(const std::vector<FixtureTriangle>& triangles);
// An axis-aligned box as twelve triangles (no bottom face when open_bottom).
void collision_fixture_box(Vec3 min, Vec3 max, uint32_t flags, std::vector<FixtureTriangle>* out,
                           bool open_bottom = false);
// A flat square at height y, two triangles wound clockwise seen from above, as the zone
// tools wind them.
void collision_fixture_square(float x0, float z0, float x1, float z1, float y, uint32_t flags, uint8_t shade,
                              std::vector<FixtureTriangle>* out);

// Every cell of the demo zones 1..3 (or of the one zone named) in the built archives under
// binary_dir/assets, with its column and row; empty when the archives are missing. The
// caller destroys them with bsp_destroy.
struct FixtureCell;
std::vector<FixtureCell> collision_fixture_zone_cells(const char* binary_dir, uint32_t zone);
std::vector<BspObject*> collision_fixture_demo_cells(const char* binary_dir);

// A zone of 16 x 16 cells of cell_size units from (0, 0) whose listed cells are loaded (taken
// over, destroyed with the zone); the streaming table is emptied again on destruction.
struct FixtureCell {
  uint32_t column, row;
  BspObject* bsp;
};
class CollisionFixtureZone {
 public:
  CollisionFixtureZone(const std::vector<FixtureCell>& cells, uint32_t cell_size);
  ~CollisionFixtureZone();
  CollisionFixtureZone(const CollisionFixtureZone&) = delete;
  CollisionFixtureZone& operator=(const CollisionFixtureZone&) = delete;
  bool ok() const { return ok_; }

 private:
  std::vector<FixtureCell> cells_;
  std::vector<struct MapObject*> maps_;
  bool ok_ = true;
};

// The movement playground: one 64 x 64 cell with a floor at y 0 (shade 200) and lanes run
// towards -z from z 46..50: a wall met head-on (x 3..7 at z 40..41), a wall at 45 degrees
// (the line x + z = 54), risers of 0.25 (x 20..24) and 0.35 (x 27..31) from z 41, ramps of 30
// (x 34..38) and 50 degrees (x 41..45) rising from z 44 to z 40 onto platforms, platforms
// 0.2 (x 48..52) and 1.0 high (x 55..59) over z 42..56 to walk off, a ceiling slab from y 2.4
// over x 8..16, z 8..16, an uncollidable wall across x 60..63 at z 30, and a square flagged
// "no shade" (shade 0) over x 2..8, z 22..28, and a shelf 1.5 high over x 20..24, z 2..14
// for the pool's wading edge. The solid prop box and the pool are props.
void collision_fixture_playground(std::vector<FixtureTriangle>* out);
