// zonebuild: turns zone descriptions into the entries of the map, BSP and texture archives.
//
//   zonebuild OUTDIR MATERIALS ZONE...
//
// MATERIALS is the materials file every zone shares, each ZONE one zone's description (the
// syntax of both is in zone_description.h and the README). It writes:
//   OUTDIR/map/      the zone's entry (id = zone number) and one entry per grid cell
//                    (id = zone << 16 | column << 8 | row) naming the cell's BSP entry (same
//                    id) and its materials' textures, with the props placed in it
//   OUTDIR/bsp/      one BSP entry per cell
//   OUTDIR/texture/  one texture per material, ids as the materials file gives them
// with a manifest.txt in each folder for assetpack. The same inputs give the same bytes.
// Every entry is decoded with the client's decoders before anything is written; any fault
// is reported as FILE:LINE: message with exit code 1, and nothing is written: the output is
// made in a temporary folder that replaces OUTDIR at the end.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/map.h"
#include "assets/texture.h"
#include "bsp_builder.h"
#include "tool_files.h"
#include "zone_description.h"
#include "zone_geometry.h"
#include "zone_textures.h"

namespace {

struct OutputFile {
  std::string folder;  // map, bsp or texture
  std::string name;
  uint32_t id;
  std::vector<uint8_t> bytes;
};

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}
void put_f32(std::vector<uint8_t>* out, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  put_u32(out, v);
}

std::vector<uint8_t> map_entry(const ZoneDescription& z, uint32_t id, uint32_t bsp_id,
                               const std::vector<uint32_t>& textures,
                               const std::vector<const ZoneProp*>& props) {
  std::vector<uint8_t> b;
  put_u32(&b, id);
  char name[32] = {};
  memcpy(name, z.name.data(), std::min<size_t>(z.name.size(), 31));
  b.insert(b.end(), name, name + 32);
  for (float f : z.env_colour) put_f32(&b, f);
  for (float f : {z.env_near, z.env_far, z.fog_start, z.nominal_far}) put_f32(&b, f);
  put_u32(&b, z.env_word);
  put_u32(&b, bsp_id);
  put_f32(&b, z.origin_x);
  put_f32(&b, z.origin_z);
  for (uint32_t v : {z.columns, z.rows, z.cell_size, 0u, (uint32_t)textures.size(), (uint32_t)props.size()})
    put_u32(&b, v);
  for (uint32_t t : textures) put_u32(&b, t);
  for (const ZoneProp* p : props) b.insert(b.end(), p->record.begin(), p->record.end());
  return b;
}

bool build_zone(const ZoneDescription& z, const std::vector<ZoneMaterial>& materials,
                std::vector<OutputFile>* out, std::string* error) {
  if (!zone_check_spawn(z, error)) return false;
  std::vector<ZoneCellGeometry> cells;
  if (!zone_build_geometry(z, materials, &cells, error)) return false;

  std::vector<std::vector<const ZoneProp*>> cell_props(cells.size());
  std::vector<const ZoneProp*> zone_props;
  for (const ZoneProp& p : z.props) {
    if (z.cell_size == 0) {
      zone_props.push_back(&p);
      continue;
    }
    double column = std::floor((p.position[0] - z.origin_x) / z.cell_size);
    double row = std::floor((p.position[2] - z.origin_z) / z.cell_size);
    if (column < 0 || row < 0 || column >= z.columns || row >= z.rows) {
      *error = z.path + ":" + std::to_string(p.line) + ": the prop lies outside the grid";
      return false;
    }
    cell_props[(size_t)column * z.rows + (size_t)row].push_back(&p);
  }

  std::string stem = "zone" + std::to_string(z.number);
  out->push_back({"map", stem + ".map", z.number, map_entry(z, z.number, 0, {}, zone_props)});
  for (size_t i = 0; i < cells.size(); i++) {
    const ZoneCellGeometry& cell = cells[i];
    uint32_t id = z.number << 16 | cell.column << 8 | cell.row;
    BspBuildOutput bsp;
    if (!bsp_build(cell.input, &bsp, error)) {
      *error =
          z.path + ":0: cell " + std::to_string(cell.column) + "," + std::to_string(cell.row) + ": " + *error;
      return false;
    }
    std::vector<uint32_t> textures;
    for (uint32_t local : bsp.order) textures.push_back(materials[cell.materials[local]].texture);
    std::string name = stem + "_c" + std::to_string(cell.column) + "_r" + std::to_string(cell.row);
    out->push_back({"map", name + ".map", id, map_entry(z, id, id, textures, cell_props[i])});
    out->push_back({"bsp", name + ".bsp", id, std::move(bsp.bytes)});
  }
  return true;
}

bool write_outputs(const std::string& dir, const std::vector<OutputFile>& files) {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  for (const char* folder : {"map", "bsp", "texture"}) {
    std::string manifest = "# Written by zonebuild: ID FILE\n";
    if (!std::filesystem::create_directories(tool_join(dir, folder), ignored)) return false;
    for (const OutputFile& f : files) {
      if (f.folder != folder) continue;
      char id[16];
      snprintf(id, sizeof id, "0x%08X", f.id);
      manifest += std::string(id) + " " + f.name + "\n";
      if (!tool_write_file(tool_join(tool_join(dir, folder), f.name).c_str(), f.bytes.data(), f.bytes.size()))
        return false;
    }
    std::string path = tool_join(tool_join(dir, folder), "manifest.txt");
    if (!tool_write_file(path.c_str(), manifest.data(), manifest.size())) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: zonebuild OUTDIR MATERIALS ZONE...\n");
    return 2;
  }
  std::string error;
  std::vector<ZoneMaterial> materials;
  if (!zone_read_materials(argv[2], &materials, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<OutputFile> files;
  std::vector<uint32_t> numbers;
  for (int i = 3; i < argc; i++) {
    ZoneDescription zone;
    if (!zone_read_description(argv[i], materials, &zone, &error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    for (uint32_t n : numbers)
      if (n == zone.number) {
        fprintf(stderr, "%s:1: zone %u is described twice\n", argv[i], n);
        return 1;
      }
    numbers.push_back(zone.number);
    if (!build_zone(zone, materials, &files, &error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  for (const ZoneMaterial& m : materials)
    files.push_back({"texture", m.name + ".tga", m.texture, zone_texture_tga(m)});

  // The client's decoders must take every entry before anything is written.
  for (const OutputFile& f : files) {
    bool ok = true;
    if (f.folder == "map") {
      MapObject* map = map_decode(f.bytes.data(), (uint32_t)f.bytes.size());
      ok = map != nullptr;
      map_destroy(map);
    } else if (f.folder == "texture") {
      Texture* texture = texture_decode(f.bytes.data(), f.bytes.size());
      ok = texture != nullptr;
      texture_destroy(texture);
    }
    if (!ok) {
      fprintf(stderr, "zonebuild: %s/%s does not decode\n", f.folder.c_str(), f.name.c_str());
      return 1;
    }
  }

  std::string out = argv[1];
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  std::string temp = out + ".partial";
  std::error_code ignored;
  if (!write_outputs(temp, files)) {
    std::filesystem::remove_all(temp, ignored);
    fprintf(stderr, "zonebuild: cannot write %s\n", temp.c_str());
    return 1;
  }
  std::filesystem::remove_all(out, ignored);
  std::error_code renamed;
  std::filesystem::rename(temp, out, renamed);
  if (renamed) {
    std::filesystem::remove_all(temp, ignored);
    fprintf(stderr, "zonebuild: cannot rename %s to %s\n", temp.c_str(), out.c_str());
    return 1;
  }
  return 0;
}
