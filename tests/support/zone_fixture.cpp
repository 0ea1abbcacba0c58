#include "support/zone_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../../tools/bsp_builder.h"
#include "assets/archive_writer.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "base/mem.h"

namespace {

void put_u32(ZoneFixtureBytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*b)[at + i] = (uint8_t)(v >> (8 * i));
}

void put_f32(ZoneFixtureBytes* b, size_t at, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  put_u32(b, at, v);
}

}  // namespace

ZoneFixtureBytes zone_fixture_map(uint32_t id, uint32_t bsp_id, const ZoneFixtureGrid* grid,
                                  const std::vector<uint32_t>& textures) {
  ZoneFixtureBytes b(MAP_HEADER_SIZE + 4 * textures.size(), 0);
  put_u32(&b, 0, id);
  snprintf((char*)&b[4], 32, "cell %u", id);
  for (int i = 0; i < 3; i++) put_f32(&b, 36 + 4 * i, 1.0f);
  put_f32(&b, 48, 50);  // nearest far distance
  put_f32(&b, 52, 60);  // farthest
  put_f32(&b, 56, 10);  // fog start
  put_f32(&b, 60, 50);  // nominal far
  put_u32(&b, 64, 2);   // flags: the sun is published
  put_u32(&b, 68, bsp_id);
  if (grid) {
    put_f32(&b, 72, grid->origin_x);
    put_f32(&b, 76, grid->origin_z);
    put_u32(&b, 80, grid->columns);
    put_u32(&b, 84, grid->rows);
    put_u32(&b, 88, grid->cell_size);
  }
  put_u32(&b, 96, (uint32_t)textures.size());
  for (size_t i = 0; i < textures.size(); i++) put_u32(&b, MAP_HEADER_SIZE + 4 * i, textures[i]);
  return b;
}

ZoneFixtureBytes zone_fixture_bsp(const std::vector<ZoneFixtureSquare>& squares) {
  BspBuildInput input;
  for (const ZoneFixtureSquare& s : squares) {
    uint32_t material = (uint32_t)input.keys.size();
    input.keys.push_back(s.key);
    const float xs[4] = {s.x0, s.x0 + s.size, s.x0 + s.size, s.x0};
    const float zs[4] = {s.z0, s.z0, s.z0 + s.size, s.z0 + s.size};
    const int tris[2][3] = {{0, 2, 1}, {0, 3, 2}};
    for (const auto& t : tris) {
      BspBuildTriangle tri{};
      tri.material = material;
      for (int k = 0; k < 3; k++) {
        BspBuildCorner& c = tri.corners[k];
        c.position[0] = xs[t[k]];
        c.position[1] = s.y;
        c.position[2] = zs[t[k]];
        c.u = (xs[t[k]] - s.x0) / s.size;
        c.v = (zs[t[k]] - s.z0) / s.size;
        c.colour = s.colour;
        c.light = 0;
        c.shade = 200;
        c.normal[1] = 1;
      }
      input.triangles.push_back(tri);
    }
  }
  BspBuildOutput output;
  std::string error;
  if (!bsp_build(input, &output, &error)) {
    fprintf(stderr, "zone fixture: %s\n", error.c_str());
    return {};
  }
  return output.bytes;
}

bool zone_fixture_write_archive(const std::string& path,
                                const std::vector<std::pair<uint32_t, ZoneFixtureBytes>>& entries) {
  std::vector<ArchiveSource> sources;
  for (const auto& e : entries) sources.push_back({e.first, e.second.data(), e.second.size()});
  size_t size = 0;
  uint8_t* image = archive_build(sources.data(), (uint32_t)sources.size(), 1, &size, nullptr, 0);
  if (!image) return false;
  FILE* f = fopen(path.c_str(), "wb");
  bool ok = f && fwrite(image, 1, size, f) == size;
  if (f) ok = fclose(f) == 0 && ok;
  mem_free(image);
  return ok;
}

void zone_fixture_write_empty_archives(const std::string& dir, const std::vector<std::string>& except) {
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++) {
    std::string name = ASSET_ARCHIVE_NAMES[i];
    if (std::find(except.begin(), except.end(), name) == except.end())
      zone_fixture_write_archive(dir + "/" + name, {});
  }
}
