#pragma once
// The static geometry of a described zone, cut into its grid cells: terrain from the ground,
// hills and paints (continuous across cell seams: shared edge vertices are computed from the
// same grid point and come out bit for bit equal), transition overlays, boxes, and the shade
// and warm light baked into every vertex from the sun (with the terrain's and the boxes'
// shadows) and the lamps.
#include <string>
#include <vector>

#include "bsp_builder.h"
#include "zone_description.h"

struct ZoneCellGeometry {
  uint32_t column, row;
  BspBuildInput input;              // input.keys[i] is the key of materials[i]
  std::vector<uint32_t> materials;  // index into the materials file of each cell material
};

// One entry per grid cell, columns outer, rows inner. false with "FILE:LINE: message" when a
// box reaches outside the grid.
bool zone_build_geometry(const ZoneDescription& zone, const std::vector<ZoneMaterial>& materials,
                         std::vector<ZoneCellGeometry>* cells, std::string* error);

// The checks of the spawn line: inside the grid, not under the terrain, on a surface or at
// most 0.5 above one. false with "FILE:LINE: message".
bool zone_check_spawn(const ZoneDescription& zone, std::string* error);
