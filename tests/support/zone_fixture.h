#pragma once
// Test-only zone content: map entries (a zone's grid or a cell's BSP id and textures), cell
// BSP entries built from a few squares with the content tools' builder, and archives of them
// written to a folder the asset cache then opens.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef std::vector<uint8_t> ZoneFixtureBytes;

struct ZoneFixtureGrid {
  float origin_x, origin_z;
  uint32_t columns, rows, cell_size;
};

// A map entry: grid may be null (a cell's entry), textures its material texture ids.
ZoneFixtureBytes zone_fixture_map(uint32_t id, uint32_t bsp_id, const ZoneFixtureGrid* grid,
                                  const std::vector<uint32_t>& textures = {});

// A horizontal square at height y, as two triangles of one material.
struct ZoneFixtureSquare {
  float x0, z0, size, y;
  uint16_t key;
  uint32_t colour;  // material colour 0xAARRGGBB (alpha 128 opaque)
};
// A BSP entry of the squares (each square's key is its own material); empty on failure.
ZoneFixtureBytes zone_fixture_bsp(const std::vector<ZoneFixtureSquare>& squares);

// Writes an archive of (id, bytes) entries; false when it cannot.
bool zone_fixture_write_archive(const std::string& path,
                                const std::vector<std::pair<uint32_t, ZoneFixtureBytes>>& entries);
// Writes empty archives for every slot but those named (so the cache opens the folder whole).
void zone_fixture_write_empty_archives(const std::string& dir, const std::vector<std::string>& except);
