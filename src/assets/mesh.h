#pragma once
// Decoder of mesh entries: indexed triangle meshes with optional texture coordinates, vertex
// colours, normals and single-bone skinning, decoded into the vertex records the renderer
// draws as they stand.
//
// File (little-endian): flags, vertex count V (1..65536), triangle count T (at most
// MESH_TRIANGLES_MAX), bounds minimum and maximum (three floats each), then V vertices and T
// triangles of three 32-bit indices. A vertex holds, in this order and each only with its
// flag: u, v (MESH_UV); a colour word (MESH_COLOUR); a normal as three signed bytes
// (MESH_NORMAL); four 16-bit bone indices and four float weights (MESH_SKIN); and always the
// position. The length must be exactly what these counts give.
//
// Decoding: an index of V or more becomes V - 1. With MESH_QUANTISE and MESH_NORMAL, each
// normal is replaced by the index of the nearest shared normal-table entry (byte 20 of the
// vertex, bytes 21-22 cleared). With MESH_SKIN only the heaviest influence is kept (weight
// 1.0, or 0.0 when it was at most 0.0001) and the vertices are reordered so their bones
// ascend, keeping the order of vertices of one bone, with the indices rewritten to match.
// A non-finite bound, position, texture coordinate or weight rejects the file.
#include <cstdint>

#include "assets/render_vertex.h"
#include "base/math.h"

enum : uint32_t {
  MESH_UV = 0x01,
  MESH_COLOUR = 0x02,
  MESH_NORMAL = 0x04,
  MESH_SKIN = 0x08,
  MESH_QUANTISE = 0x10,
};

constexpr uint32_t MESH_HEADER_SIZE = 36;
constexpr uint32_t MESH_VERTICES_MAX = 65536;
constexpr uint32_t MESH_TRIANGLES_MAX = 0x100000;
constexpr float MESH_WEIGHT_EPSILON = 0.0001f;

// Bytes of one vertex in the file for a flags word.
uint32_t mesh_vertex_file_size(uint32_t flags);
// The longest valid file, the cache's size limit for mesh entries.
constexpr uint64_t MESH_FILE_MAX = MESH_HEADER_SIZE + 51ull * MESH_VERTICES_MAX + 12ull * MESH_TRIANGLES_MAX;

struct MeshSkin {
  uint16_t bones[4];
  float weights[4];
  uint32_t count;  // influences in use: 1 after decoding
  uint32_t spare;
};
static_assert(sizeof(MeshSkin) == 32, "skin records are 32 bytes");

struct Mesh {
  uint32_t id;  // written by the loader
  uint32_t flags;
  Bounds bounds;
  RenderVertex* vertices;  // 16-byte aligned
  MeshSkin* skin;          // with MESH_SKIN, else null; bones[0] is the vertex's bone
  uint32_t bone_first, bone_last;
  uint32_t vertex_count;
  uint16_t* indices;  // 3 per triangle, each below vertex_count; null when there are none
  uint32_t triangle_count;
};

// Null on any rejection; nothing stays allocated then.
Mesh* mesh_decode(const uint8_t* bytes, uint32_t length);
void mesh_destroy(Mesh* mesh);

// The same two in the shape of the asset cache's decoder table.
void* mesh_decode_asset(const uint8_t* bytes, uint32_t length);
void mesh_destroy_asset(void* object);

// The unit cube that failed mesh loads answer: id MESH_CUBE_ID, MESH_UV | MESH_NORMAL, -0.5 ..
// 0.5 on every axis, four vertices per face with the face's axis normal (+-127) and colour
// 0xFFFF00FF, twelve triangles clockwise seen from outside. Built once, never freed.
constexpr uint32_t MESH_CUBE_ID = 0xFFFFFFFFu;
const Mesh* mesh_unit_cube(void);
