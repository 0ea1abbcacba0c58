#include "support/collision_fixture.h"

#include <cmath>
#include <string>

#include "assets/archive.h"
#include "assets/bsp.h"
#include "assets/map.h"
#include "base/mem.h"
#include "scene/zone_stream.h"
#include "../../tools/bsp_builder.h"

BspObject* collision_fixture_cell(const std::vector<FixtureTriangle>& triangles) {
  BspBuildInput input;
  input.keys.push_back(1);
  for (const FixtureTriangle& t : triangles) {
    BspBuildTriangle b = {};
    b.material = 0;
    b.flags = t.flags;
    const Vec3 p[3] = {t.a, t.b, t.c};
    for (int i = 0; i < 3; i++) {
      BspBuildCorner& c = b.corners[i];
      c.position[0] = p[i].x;
      c.position[1] = p[i].y;
      c.position[2] = p[i].z;
      c.colour = 0x80808080u;
      c.light = 0;
      c.shade = t.shade[i];
      c.normal[1] = 1;
    }
    input.triangles.push_back(b);
  }
  BspBuildOutput output;
  std::string error;
  if (!bsp_build(input, &output, &error)) return nullptr;
  return bsp_decode(output.bytes.data(), (uint32_t)output.bytes.size());
}

void collision_fixture_square(float x0, float z0, float x1, float z1, float y, uint32_t flags, uint8_t shade,
                              std::vector<FixtureTriangle>* out) {
  const Vec3 a = {x0, y, z0}, b = {x1, y, z0}, c = {x1, y, z1}, d = {x0, y, z1};
  out->push_back({a, b, c, flags, {shade, shade, shade}});
  out->push_back({a, c, d, flags, {shade, shade, shade}});
}

void collision_fixture_box(Vec3 lo, Vec3 hi, uint32_t flags, std::vector<FixtureTriangle>* out, bool open_bottom) {
  const Vec3 v[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z},
                     {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int faces[6][4] = {{4, 5, 6, 7}, {0, 3, 2, 1}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (int f = 0; f < 6; f++) {
    if (f == 1 && open_bottom) continue;
    const int* q = faces[f];
    out->push_back({v[q[0]], v[q[1]], v[q[2]], flags, {255, 255, 255}});
    out->push_back({v[q[0]], v[q[2]], v[q[3]], flags, {255, 255, 255}});
  }
}

std::vector<FixtureCell> collision_fixture_zone_cells(const char* binary_dir, uint32_t only) {
  std::vector<FixtureCell> cells;
  const std::string dir = std::string(binary_dir) + "/assets/";
  Archive* maps = archive_open((dir + "map.dat").c_str());
  Archive* bsps = archive_open((dir + "bsp.dat").c_str());
  for (uint32_t zone = 1; maps && bsps && zone <= 3; zone++) {
    if (only && zone != only) continue;
    for (uint32_t c = 0; c < 16; c++) {
      for (uint32_t r = 0; r < 16; r++) {
        uint32_t size = 0;
        uint8_t* bytes = archive_read(maps, zone << 16 | c << 8 | r, &size);
        MapObject* map = bytes ? map_decode(bytes, size) : nullptr;
        mem_free(bytes);
        if (!map) continue;
        bytes = map->bsp_id ? archive_read(bsps, map->bsp_id, &size) : nullptr;
        map_destroy(map);
        BspObject* bsp = bytes ? bsp_decode(bytes, size) : nullptr;
        mem_free(bytes);
        if (bsp) cells.push_back({c, r, bsp});
      }
    }
  }
  if (maps) archive_close(maps);
  if (bsps) archive_close(bsps);
  return cells;
}

std::vector<BspObject*> collision_fixture_demo_cells(const char* binary_dir) {
  std::vector<BspObject*> out;
  for (const FixtureCell& c : collision_fixture_zone_cells(binary_dir, 0)) out.push_back(c.bsp);
  return out;
}

CollisionFixtureZone::CollisionFixtureZone(const std::vector<FixtureCell>& cells, uint32_t cell_size)
    : cells_(cells) {
  zone_cells_setup();
  static MapObject zone;
  zone = MapObject{};
  zone.grid_columns = zone.grid_rows = 16;
  zone.cell_size = cell_size;
  ok_ = zone_stream_set_grid(3, &zone) == 1;
  for (const FixtureCell& c : cells_) {
    MapObject* map = new MapObject{};
    map->bsp_id = 1000 + c.column * 16 + c.row;
    maps_.push_back(map);
    ok_ = ok_ && c.bsp && zone_stream_adopt(3u << 16 | c.column << 8 | c.row, map, c.bsp) == 1;
  }
}

CollisionFixtureZone::~CollisionFixtureZone() {
  zone_cells_setup();
  for (const FixtureCell& c : cells_)
    if (c.bsp) bsp_destroy(c.bsp);
  for (MapObject* m : maps_) delete m;
}

void collision_fixture_playground(std::vector<FixtureTriangle>* out) {
  collision_fixture_square(0, 0, 64, 64, 0, 0, 200, out);
  collision_fixture_box({3, 0, 40}, {7, 3, 41}, 0, out, true);
  // The 45-degree wall: a vertical quad along x + z = 54, both sides solid.
  out->push_back({{6, 0, 48}, {18, 0, 36}, {18, 3, 36}, 0, {200, 200, 200}});
  out->push_back({{6, 0, 48}, {18, 3, 36}, {6, 3, 48}, 0, {200, 200, 200}});
  collision_fixture_box({20, 0, 30}, {24, 0.25f, 41}, 0, out, true);
  collision_fixture_box({27, 0, 30}, {31, 0.35f, 41}, 0, out, true);
  const float ramps[2][2] = {{34, 30}, {41, 50}};
  for (const auto& r : ramps) {
    const float x0 = r[0], x1 = r[0] + 4, top = 4 * tanf(r[1] * 3.14159265f / 180);
    out->push_back({{x0, 0, 44}, {x1, 0, 44}, {x1, top, 40}, 0, {200, 200, 200}});
    out->push_back({{x0, 0, 44}, {x1, top, 40}, {x0, top, 40}, 0, {200, 200, 200}});
    collision_fixture_box({x0, 0, 30}, {x1, top, 40}, 0, out, true);
  }
  collision_fixture_box({48, 0, 42}, {52, 0.2f, 56}, 0, out, true);
  collision_fixture_box({55, 0, 42}, {59, 1.0f, 56}, 0, out, true);
  collision_fixture_box({8, 2.4f, 8}, {16, 2.8f, 16}, 0, out);
  out->push_back({{60, 0, 30}, {63, 0, 30}, {63, 3, 30}, 1, {200, 200, 200}});
  out->push_back({{60, 0, 30}, {63, 3, 30}, {60, 3, 30}, 1, {200, 200, 200}});
  collision_fixture_square(2, 22, 8, 28, 0, 8, 0, out);
  collision_fixture_box({20, 0, 2}, {24, 1.5f, 14}, 0, out, true);  // the pool's wading shelf
}
