// Meshes and models, each beside a reference in the same run:
// - mesh_decode of a humanoid-sized skinned mesh (six boxes, 144 vertices on six bones, file
//   order not by bone) and of a 65,536-vertex skinned mesh (64 bones, 131,072 triangles),
//   beside memcpy of the same bytes;
// - model draw submission on a backend that does nothing and transforms nothing: 1,000
//   static boxes and 1,000 skinned humanoids per iteration through the light and transform
//   stages (CPU lighting, CPU transformation, skinning), in vertices per second, beside a
//   GLM loop multiplying the same number of vertices by one matrix.
#include <benchmark/benchmark.h>

#include <cstring>
#include <glm/glm.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>
#include <vector>

#include "assets/mesh.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/model_draw.h"
#include "support/backend_testing.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put(Bytes* b, const void* p, size_t n) { b->insert(b->end(), (const uint8_t*)p, (const uint8_t*)p + n); }
template <typename T>
void put(Bytes* b, T v) {
  put(b, &v, sizeof v);
}

// Boxes of 24 vertices and 12 triangles, box k on bone bones[k] (skinned when bones is set),
// written in the order given.
Bytes make_mesh(uint32_t boxes, const std::vector<uint16_t>* bones, uint32_t extra_triangles, uint32_t seed) {
  const uint32_t flags = MESH_UV | MESH_COLOUR | MESH_NORMAL | (bones ? (uint32_t)MESH_SKIN : 0u);
  const uint32_t V = 24 * boxes, T = 12 * boxes + extra_triangles;
  std::mt19937 rng(seed);
  Bytes b;
  put(&b, flags), put(&b, V), put(&b, T);
  for (float f : {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f}) put(&b, f);
  for (uint32_t k = 0; k < boxes; k++) {
    for (uint32_t v = 0; v < 24; v++) {
      put(&b, (float)(v & 1)), put(&b, (float)(v >> 1 & 1));
      put(&b, 0x80808080u);
      const int8_t n[3] = {0, 127, 0};
      put(&b, n, 3);
      if (bones) {
        uint16_t four[4] = {(*bones)[k], (uint16_t)(rng() % 64), 0, 0};
        float weights[4] = {0.7f, 0.3f, 0, 0};
        put(&b, four, 8), put(&b, weights, 16);
      }
      for (int c = 0; c < 3; c++) put(&b, (float)(rng() % 1000) / 500.0f - 1.0f);
    }
  }
  for (uint32_t t = 0; t < T; t++)
    for (int c = 0; c < 3; c++) put(&b, (uint32_t)(t < 12 * boxes ? 24 * (t / 12) + rng() % 24 : rng() % V));
  return b;
}

Bytes humanoid_bytes(void) {
  static const std::vector<uint16_t> bones = {3, 0, 5, 1, 4, 2};
  return make_mesh(6, &bones, 0, 1);
}

Bytes large_bytes(void) {
  std::vector<uint16_t> bones(65536 / 24);
  for (size_t i = 0; i < bones.size(); i++) bones[i] = (uint16_t)((i * 37) % 64);
  return make_mesh((uint32_t)bones.size(), &bones, 131072 - 12 * (uint32_t)bones.size(), 2);
}

void decode(benchmark::State& state, const Bytes& bytes) {
  for (auto _ : state) {
    Mesh* m = mesh_decode(bytes.data(), (uint32_t)bytes.size());
    benchmark::DoNotOptimize(m);
    mesh_destroy(m);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes.size());
}

void copy(benchmark::State& state, const Bytes& bytes) {
  std::vector<uint8_t> out(bytes.size());
  for (auto _ : state) {
    memcpy(out.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes.size());
}

void BM_MeshDecodeHumanoid(benchmark::State& state) { decode(state, humanoid_bytes()); }
void BM_ReferenceMemcpyHumanoid(benchmark::State& state) { copy(state, humanoid_bytes()); }
void BM_MeshDecodeSkinned65536(benchmark::State& state) { decode(state, large_bytes()); }
void BM_ReferenceMemcpySkinned65536(benchmark::State& state) { copy(state, large_bytes()); }
BENCHMARK(BM_MeshDecodeHumanoid);
BENCHMARK(BM_ReferenceMemcpyHumanoid);
BENCHMARK(BM_MeshDecodeSkinned65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceMemcpySkinned65536)->Unit(benchmark::kMillisecond);

// ---- Draw submission.
constexpr uint32_t INSTANCES = 1000;
Mesh* g_box;
Mesh* g_humanoid;

const Mesh* bench_meshes(uint32_t id, int* ready, int* failed) {
  *ready = 1;
  *failed = 0;
  return id == 1 ? g_humanoid : g_box;
}

int install_null(Window*, RenderBackend* table) {
  null_backend_fill(table);
  return 1;
}
int pixel_format_ok(Window*) { return 1; }
RenderBackendInits g_inits = {pixel_format_ok, install_null, install_null, nullptr, nullptr, nullptr};

void BM_ModelDrawSubmission(benchmark::State& state) {
  render_set_backend_inits(&g_inits);
  render_install(nullptr, 0);
  draw_startup();
  Bytes box = make_mesh(1, nullptr, 0, 3), humanoid = humanoid_bytes();
  g_box = mesh_decode(box.data(), (uint32_t)box.size());
  g_humanoid = mesh_decode(humanoid.data(), (uint32_t)humanoid.size());
  model_draw_set_mesh_source(bench_meshes);
  EntityWorld* world = catalogue_world_create(4, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  camera_build(&c->camera, 0, 0, 0, 0, 0, 0, 60, 0.1f, 500, 1024, 768);
  draw_set_view(&c->camera.view);
  draw_set_projection(&c->camera.projection);
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  const float white[3] = {1, 1, 1};
  env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, env), white, 100,
                  1000, 50, 400, 2, 64);
  env_update();
  static Mat4 bones[6];
  for (Mat4& m : bones) m = MAT4_IDENTITY;
  const SkinnedPart part = {1, 11, 0, 0, 0};
  std::vector<ModelPayload> rocks(INSTANCES);
  std::vector<SkinnedModelPayload> people(INSTANCES);
  for (uint32_t i = 0; i < INSTANCES; i++) {
    ModelPayload& r = rocks[i];
    r = {};
    r.mesh_id = 2;
    r.texture = 7;
    r.position = {(float)(i % 40) - 20, 0, -10.0f - (float)(i / 40)};
    r.rotation = {0, (float)i, 0};
    r.scale = {1.2f, 1.2f, 1.2f};
    r.shade = 0.8f;
    SkinnedModelPayload& p = people[i];
    p = {};
    p.position = r.position;
    p.rotation = {0, (float)i * 3, 0};
    p.scale = {1, 1, 1};
    p.bones = bones;
    p.bone_count = 6;
    p.parts = &part;
    p.part_count = 1;
    p.shade = 1;
  }
  for (auto _ : state) {
    for (const ModelPayload& r : rocks) model_draw(world, &r);
    for (const SkinnedModelPayload& p : people) skinned_model_draw(world, &p);
  }
  const double vertices = (double)INSTANCES * (g_box->vertex_count + g_humanoid->vertex_count);
  state.counters["vertices"] = benchmark::Counter(vertices, benchmark::Counter::kIsIterationInvariantRate);
  game_world_replace(nullptr);
  model_draw_set_mesh_source(nullptr);
  mesh_destroy(g_box);
  mesh_destroy(g_humanoid);
  draw_shutdown();
  render_uninstall(nullptr);
  render_set_backend_inits(nullptr);
}
BENCHMARK(BM_ModelDrawSubmission)->Unit(benchmark::kMillisecond);

void BM_ReferenceGlmTransformSameVertices(benchmark::State& state) {
  const uint32_t count = INSTANCES * (24 + 144);
  std::vector<glm::vec4> in(count), out(count);
  std::mt19937 rng(4);
  for (glm::vec4& v : in)
    v = glm::vec4((float)(rng() % 100), (float)(rng() % 100), (float)(rng() % 100), 1.0f);
  glm::mat4 m = glm::mat4(1.0f);
  m[3] = glm::vec4(1, 2, 3, 1);
  for (auto _ : state) {
    for (uint32_t i = 0; i < count; i++) out[i] = m * in[i];
    benchmark::ClobberMemory();
  }
  state.counters["vertices"] =
      benchmark::Counter((double)count, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReferenceGlmTransformSameVertices)->Unit(benchmark::kMillisecond);

}  // namespace
