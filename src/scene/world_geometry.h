#pragma once
// Drawing of the zone's streamed cell geometry: a render item (layer 1, key 0) that the frame
// submits every frame.
//
// Each loaded cell's BSP is walked with hierarchical frustum culling (a plane leaves a
// subtree's mask once the node's box lies wholly inside it; the camera's side of each split is
// visited first); visible face groups go into their material's bucket, those wholly inside
// the view from the front, those crossing its border from the back. Then materials are drawn
// in ascending key order across all cells at once, so each texture is bound once per frame:
// per material one pass over the inside groups with device clipping off, then one over the
// crossing groups. Batches hold at most 256 vertices unless one group alone is larger; a
// group is never split.
//
// Terrain transition materials (key bit 0x8000) end the world when smooth terrain is off;
// when it is on they and everything after them blend over what was drawn, without depth
// writes and with a less-or-equal depth test; the depth test is back to less afterwards.
//
// Vertices are lit by world_light_stage on the draw record's copies; the walk writes each
// visible group's dynamic-light mask into its vertices (0 when there are no lights).
// Working state lives in each BSP's working arrays; a BSP that two cells share is drawn once.
// Main thread only.
#include <cstdint>

#include "base/camera.h"
#include "scene/lighting.h"

struct EntityWorld;
struct BspObject;
struct MapObject;

// The frame's render item: the current zone's loaded cells, the world's camera, the lights
// of the installed light source.
void world_geometry_draw(EntityWorld* world, const void* payload);

// Fills the block's lights and count (at most LIGHT_BLOCK_MAX) for this frame. Null (the
// default) gives no dynamic lights.
typedef void (*WorldLightSourceFn)(LightBlock* block);
void world_geometry_set_light_source(WorldLightSourceFn source);

struct WorldCell {
  BspObject* bsp;
  const MapObject* map;  // texture ids of the cell's materials; null draws untextured
};

// The same drawing for given cells, camera and light block (block may be null), for the
// harness, benchmarks and fuzzing. Answers the face groups drawn.
uint32_t world_geometry_draw_cells(const WorldCell* cells, uint32_t count, const Camera* camera,
                                   const LightBlock* block);

// One cell's walk alone: fills the BSP's buckets and counters (counters[2 j] groups of
// material j wholly inside, counters[2 j + 1] crossing). Answers the visible groups.
uint32_t world_geometry_traverse(BspObject* bsp, const Camera* camera, const LightBlock* block);

// The eye of a camera record (the inverse of its view's rigid motion).
Vec3 world_camera_eye(const Camera* camera);

// Face groups drawn by the last world_geometry_draw (for the harness and statistics).
uint32_t world_geometry_groups_drawn(void);
