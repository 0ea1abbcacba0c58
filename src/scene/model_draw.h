#pragma once
// Model drawing, for the items the scene pass submits in layers 1 and 2 (payload: a
// ScenePayload). Until meshes are drawn for real, each model is its world bounds drawn as an
// untextured, depth-tested, fogged box in one of eight colours chosen by mesh id, and every
// mesh's local bounds are the unit cube centred on the origin (so a Transform's scale is the
// box's size).
#include <cstdint>

#include "base/math.h"

struct EntityWorld;

void model_draw(EntityWorld* world, const void* payload);
// The mesh bounds the per-frame bounds pass uses meanwhile (model_bounds_set_mesh_source).
int model_placeholder_bounds(uint32_t mesh_id, uint32_t word, Bounds* out);
// The colour of a mesh's box, 0xAARRGGBB.
uint32_t model_placeholder_colour(uint32_t mesh_id);
