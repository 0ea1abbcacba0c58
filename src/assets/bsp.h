#pragma once
// Decoder of a zone cell's static geometry (the BSP archive): a tree of split planes whose
// leaves hold face groups (runs of indexed triangles of one material) and collision
// triangles, over the cell's vertex and index arrays.
//
// File: a 32-byte header ("BSP2", version 4, counts M <= 65535 materials, 1 <= N <= 65536
// nodes, G, K, V <= 1048576 face groups, collision triangles and vertices, I <= 4194304
// indices), then M 16-bit material keys, N nodes (68 bytes), G face groups (40), K collision
// triangles (46), V vertices (32) and I 16-bit indices; the length must be exact.
//
// Everything is checked before the object is handed out, so consumers walk it without
// checks of their own: ranges in 64-bit arithmetic; every index inside a face group below
// that group's vertex count; the nodes form one tree under node 0 (no node is a child twice,
// node 0 is nobody's child, every node is reached) no deeper than BSP_DEPTH_MAX (the fixed
// traversal stacks); no two leaves share a face group; planes, bounds and vertex positions
// are finite. Every node's ranges are checked, but consumers read the face groups and
// collision triangles of leaves (nodes without children) only.
//
// A node's plane is a Plane with s = a x + b y + c z + d; the front child holds the side
// s >= 0 (points on the plane included), the back child s < 0.
#include <cstdint>

#include "assets/render_vertex.h"
#include "base/math.h"

constexpr uint32_t BSP_MAGIC = 0x32505342;  // "BSP2"
constexpr uint32_t BSP_VERSION = 4;
constexpr uint32_t BSP_HEADER_SIZE = 32;
constexpr uint32_t BSP_NODE_FILE_SIZE = 68;
constexpr uint32_t BSP_GROUP_FILE_SIZE = 40;
constexpr uint32_t BSP_TRIANGLE_FILE_SIZE = 46;
constexpr uint32_t BSP_VERTEX_FILE_SIZE = 32;
constexpr uint32_t BSP_MATERIALS_MAX = 65535;
constexpr uint32_t BSP_NODES_MAX = 65536;
constexpr uint32_t BSP_GROUPS_MAX = 1048576;
constexpr uint32_t BSP_TRIANGLES_MAX = 1048576;
constexpr uint32_t BSP_VERTICES_MAX = 1048576;
constexpr uint32_t BSP_INDICES_MAX = 4194304;
// Nodes on the longest path from the root to a leaf.
constexpr uint32_t BSP_DEPTH_MAX = 1024;
// The longest valid file, the cache's size limit for BSP entries.
constexpr uint64_t BSP_FILE_MAX =
    BSP_HEADER_SIZE + 2ull * BSP_MATERIALS_MAX + (uint64_t)BSP_NODE_FILE_SIZE * BSP_NODES_MAX +
    (uint64_t)BSP_GROUP_FILE_SIZE * BSP_GROUPS_MAX + (uint64_t)BSP_TRIANGLE_FILE_SIZE * BSP_TRIANGLES_MAX +
    (uint64_t)BSP_VERTEX_FILE_SIZE * BSP_VERTICES_MAX + 2ull * BSP_INDICES_MAX;

// Surface word bits of a collision triangle.
constexpr uint32_t BSP_SURFACE_NOT_COLLIDABLE = 0x01;
constexpr uint32_t BSP_SURFACE_NO_SHADE = 0x08;

struct BspFaceGroup {
  uint32_t material;  // index into the cell's materials
  RenderVertex* vertices;
  uint32_t vertex_count;
  uint16_t* indices;  // 3 per triangle, each below vertex_count
  uint32_t triangle_count;
  Bounds bounds;
};

struct BspCollisionTriangle {
  uint32_t material;
  uint32_t surface;         // the file's flags word: BSP_SURFACE_* bits
  const float* corners[3];  // x, y, z of three vertices of the cell
  uint8_t shade[3];         // per corner, 0..255, from the low 24 bits of the file's value
  uint8_t spare;
  float min[3], max[3];  // bounds of the corners
  float vectors[2][3];   // carried for the collision code
};

struct BspNode {
  int32_t leaf_value;
  BspNode* back;   // null: none
  BspNode* front;  // null: none
  Plane plane;
  Bounds bounds;
  uint32_t plane_mask;  // working field of the renderer's culling
  BspFaceGroup* groups;
  uint32_t group_count;
  BspCollisionTriangle* triangles;
  uint32_t triangle_count;
};

struct BspObject {
  uint32_t id;  // written by the loader
  BspNode* root;
  BspNode* nodes;
  uint32_t node_count;
  uint32_t material_count;
  uint16_t* material_keys;  // draw order key of each material
  BspFaceGroup* groups;
  uint32_t group_count;
  BspFaceGroup** draw_list;  // group_count entries of renderer working space
  uint32_t* bucket_starts;   // material_count + 1: groups of materials below j
  uint32_t* counters;        // 2 x material_count entries of renderer working space
  BspCollisionTriangle* triangles;
  uint32_t triangle_count;
  RenderVertex* vertices;  // 16-byte aligned; w holds the material colour, colour the baked
                           // light and shade, spare the normal index (upper bytes 0)
  uint32_t vertex_count;
  uint16_t* indices;
  uint32_t index_count;
};

// Null on any rejection; nothing stays allocated then.
BspObject* bsp_decode(const uint8_t* bytes, uint32_t length);
void bsp_destroy(BspObject* bsp);

// The same two in the shape of the asset cache's decoder table.
void* bsp_decode_asset(const uint8_t* bytes, uint32_t length);
void bsp_destroy_asset(void* object);
