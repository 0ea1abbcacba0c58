#pragma once
// Building mesh entries from vertices and triangles: the pieces meshbuild's text reader and
// generators share.
//
// Every entry carries colours and normals (models read bytes 20-22 of a vertex as a normal,
// so normals are stored raw, never quantised); texture coordinates and skinning only when
// the build asks for them. A vertex without a normal takes the normalised sum of the normals
// of the triangles that use it (triangles are clockwise seen from their front). The bounds
// are those of the vertices.
#include <cstdint>
#include <string>
#include <vector>

// Material byte 128 is a factor of 1.0 in the lighting, so this draws textures unchanged.
constexpr uint32_t MESH_BUILD_DEFAULT_COLOUR = 0x80808080u;

struct BuildVertex {
  float position[3] = {0, 0, 0};
  float uv[2] = {0, 0};
  uint32_t colour = MESH_BUILD_DEFAULT_COLOUR;
  int8_t normal[3] = {0, 0, 0};
  bool has_normal = false;
  uint16_t bone = 0;
};

struct MeshBuild {
  std::vector<BuildVertex> vertices;
  std::vector<uint32_t> indices;  // three per triangle
  bool uv = false;
  bool skin = false;
};

// An axis-aligned box of four vertices per face (texture coordinates 0..1 across each face,
// faces outwards), all on one bone and colour. Without a bottom when open_bottom is set.
void mesh_build_box(MeshBuild* build, const float min[3], const float max[3], uint16_t bone, uint32_t colour,
                    bool open_bottom = false);
// A quad a, b, c, d (clockwise seen from the front), optionally with its back as well.
void mesh_build_quad(MeshBuild* build, const float corners[4][3], uint16_t bone, uint32_t colour,
                     bool two_sided);

// The entry's bytes; false with a message naming what the client would refuse.
bool mesh_build_write(const MeshBuild& build, std::vector<uint8_t>* out, std::string* error);
