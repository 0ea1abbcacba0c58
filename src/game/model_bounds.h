#pragma once
// Per-frame bounds and lighting of model instances. For every space with EntityHeader,
// ModelInstance, MeshRef and Transform, each active entity gets its world bounds (its own
// bounds callback when it has one and it succeeds, else the mesh's local bounds through the
// model matrix) and a zone lighting factor sampled over those bounds; the stored factor
// moves towards the sample by at most dt per frame, except that the first sample is taken
// as is. Server entities (static flag 0) are updated every frame; props (static flag 1)
// only while their update is due, which is cleared once both steps succeeded.
//
// Mesh bounds and the zone's lighting come from later modules through two seams. Until they
// are installed the stubs answer: no mesh bounds (only callbacks give bounds), and full
// light (1.0). Non-finite bounds or samples count as failures.
#include <cstdint>

#include "base/math.h"
#include "game/components.h"
#include "world/entity_world.h"

// Bounds callbacks (ModelInstance::bounds_fn) run inside the pass and must not create or
// destroy entities.

// Local bounds of a mesh; 1 on success.
typedef int (*MeshBoundsFn)(uint32_t mesh_id, uint32_t word, Bounds* out);
// Lighting factor 0..1 of the zone over a volume; 1 on success.
typedef int (*ZoneLightSampleFn)(const Bounds* volume, float* out);

int model_mesh_bounds_stub(uint32_t mesh_id, uint32_t word, Bounds* out);
int zone_light_sample_stub(const Bounds* volume, float* out);
// Null restores the stub.
void model_bounds_set_mesh_source(MeshBoundsFn fn);
void model_bounds_set_light_source(ZoneLightSampleFn fn);

// Scale, then rotation about x, y, z (degrees), then translation, for row vectors.
void transform_model_matrix(const Transform* transform, Mat4* out);

// The per-frame pass over the world.
void model_bounds_update(EntityWorld* world, float dt);
