#pragma once
// Builds one cell's BSP entry from its triangles (shared by bspbuild and zonebuild).
//
// What the result guarantees, so the renderer and the collision code can trust it:
// - materials are ordered by ascending key (the renderer stops at the first transition key
//   when smooth terrain is off, so an unsorted list would hide later materials);
// - every triangle is drawn from exactly one leaf (the one its centroid falls in), in face
//   groups of one material and at most BSP_GROUP_VERTICES vertices (the draw batch);
// - every triangle is also a collision triangle, listed in every leaf whose region it
//   crosses; its shade bytes are its corners' shades, its corners its render vertices;
// - node bounds contain every group and collision triangle below the node; internal nodes
//   hold no groups or triangles; the tree is at most BSP_BUILD_DEPTH_MAX deep;
// - planes are axis-aligned Plane records whose side s >= 0 is the front child;
// - normals are the nearest entries of the normal table.
// The output is decoded with the client's decoder before it is handed back.
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t BSP_GROUP_VERTICES = 256;
constexpr uint32_t BSP_BUILD_DEPTH_MAX = 40;

struct BspBuildCorner {
  float position[3];
  float u, v;
  uint32_t colour;  // material colour 0xAARRGGBB; alpha 128 is opaque
  uint32_t light;   // baked light 0xRRGGBB
  uint32_t shade;   // 0..255
  float normal[3];  // any length but zero
};

struct BspBuildTriangle {
  uint32_t material;  // index into BspBuildInput::keys
  uint32_t flags;     // surface word of its collision triangle
  BspBuildCorner corners[3];
};

struct BspBuildInput {
  std::vector<uint16_t> keys;  // distinct material keys, in any order
  std::vector<BspBuildTriangle> triangles;
};

struct BspBuildOutput {
  std::vector<uint8_t> bytes;
  // Output material i is input material order[i] (ascending keys).
  std::vector<uint32_t> order;
};

// false with a message in *error when the input cannot make a valid entry.
bool bsp_build(const BspBuildInput& input, BspBuildOutput* output, std::string* error);
