#pragma once
// Model drawing for the items the scene pass submits in layers 1 and 2. The pass files
// model_dispatch, which sends an entity with skinned parts and bones to skinned_model_draw
// and any other to model_draw: the texture is the mesh reference's second word (0 for
// characters), there is no baked light asset, props of the second pass are alpha-tested, and
// the shade is the instance's zone lighting factor.
//
// Static models: one mesh, one texture, lit per vertex on the CPU (model_light_stage) with
// the world's integer lighting, then transformed. Skinned models: parts whose vertices each
// follow one bone (ordered by bone), lit per bone (skinned_light_stage) and moved by the
// bone palette (skin_transform_stage); each part draws up to three texture layers, the first
// two paired in one pass when the backend can, further layers blended over it without depth
// writes.
//
// Nothing is drawn without a zone environment or a camera, for a mesh that is not loaded
// yet (meshes are requested without waiting; a failed one answers the unit cube), for a
// named light asset still loading (a failed one counts as absent), or for a scale with a 0
// component. A skinned part is skipped when its mesh is not ready, not skinned, or needs a
// bone past the pose's count; a part whose mesh failed draws the cube at the entity's
// transform instead, so the character stays visible. Main thread only.
#include <cstdint>

#include "assets/mesh.h"
#include "base/math.h"
#include "game/components.h"
#include "scene/lighting.h"

struct EntityWorld;
struct DrawRecord;

// Static model payload.
struct ModelPayload {
  uint32_t mesh_id;
  uint32_t light_asset;  // ASSET_LIGHT, 0 for none
  int32_t texture;       // 0: untextured
  Vec3 position;
  Vec3 rotation;  // degrees
  Vec3 scale;
  Bounds world_bounds;
  uint32_t alpha_test;
  uint32_t inside;  // wholly inside the view: device clipping off
  float shade;      // 0..1
};

struct SkinnedModelPayload {
  Vec3 position;
  Vec3 rotation;
  Vec3 scale;
  Bounds world_bounds;
  const Mat4* bones;
  uint32_t bone_count;
  const SkinnedPart* parts;
  uint32_t part_count;
  uint32_t inside;
  float shade;
};

enum : uint32_t { MODEL_PALETTE_MAX = 256 };

// What the vertex stages read through the draw record's user data during a model draw.
struct ModelLightBlock {
  LightBlock light;       // the sun (world space, bytes) and the dynamic lights (world space)
  const uint32_t* baked;  // baked light words (blue, green, red, shade), or null
  uint32_t baked_count;
  uint32_t constant;   // blue, green, red 0 and the shade byte: the start without baked light
  Vec3 inverse_scale;  // exactly 1 per axis when every scale component is within 0.0001 of 1
  Mat4 model;
  // Skinned parts only.
  const Mesh* mesh;
  const Mat4* bones;    // the pose, for lighting per bone
  const Mat4* palette;  // what positions are multiplied by, per bone
};

// The mesh look-up of drawing: fills ready (1 once the load completed) and answers the mesh,
// the cube for a failed load (failed set), or null. The default requests from the asset
// cache without waiting; tests install their own. Null restores the default.
typedef const Mesh* (*ModelMeshFn)(uint32_t mesh_id, int* ready, int* failed);
void model_draw_set_mesh_source(ModelMeshFn fn);
const Mesh* model_mesh_lookup(uint32_t mesh_id, int* ready, int* failed);

// The mesh bounds the per-frame bounds pass uses (model_bounds_set_mesh_source): the
// requested mesh's bounds once it is ready, nothing before.
int model_mesh_bounds(uint32_t mesh_id, uint32_t word, Bounds* out);

// The item the scene pass files (payload: a ScenePayload).
void model_dispatch(EntityWorld* world, const void* payload);
// payload: a ModelPayload.
void model_draw(EntityWorld* world, const void* payload);
// payload: a SkinnedModelPayload.
void skinned_model_draw(EntityWorld* world, const void* payload);

// Vertex and transform stages.
void model_light_stage(DrawRecord* record);
void skinned_light_stage(DrawRecord* record);
void skin_transform_stage(DrawRecord* record);

// Per-draw preparation shared by both kinds: the model matrix (scale, rotation about x, y, z
// in degrees, translation) and the light block's constant word, inverse scale and sun; 0 when
// a scale component is 0 or not finite.
int model_light_block_init(ModelLightBlock* block, Vec3 position, Vec3 rotation, Vec3 scale, float shade,
                           const int8_t sun[3]);
// The sun (bytes, world space) in the space whose 3 x 3 part is m, each row divided by its
// scale: renormalised with the fast inverse square root and rounded to bytes.
void model_sun_in_space(const int8_t sun[3], const Mat4* m, const Vec3* inverse_scale, int8_t out[3]);
// The per-vertex diffuse term of models: (max(0, N . S) >> 1) x 1382 >> 16, capped at 255.
uint32_t model_diffuse(const int8_t normal[3], const int8_t sun[3]);
// Lights a run of model vertices into out: the starting colour (baked[i], or the constant
// word when baked is null), the dynamic lights (already in the vertices' space), the final
// colour with the per-vertex diffuse against sun (bytes in the vertices' space), u and v
// copied.
void model_light_vertices(const RenderVertex* in, RenderVertex* out, uint32_t count, uint32_t constant,
                          const uint32_t* baked, const int8_t sun[3], const LightSource* lights,
                          uint32_t light_count);
