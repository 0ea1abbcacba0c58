// Zone geometry decoders beside memcpy of the same bytes in the same run:
// - bsp_decode of a cell of 512k vertices in 2048 face groups with 64k collision triangles
//   (about 22 MB; the tree, group and index checks all run);
// - map_decode of a zone with 65,536 props (about 9 MB).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "assets/bsp.h"
#include "assets/map.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put(Bytes* b, const void* p, size_t n) { b->insert(b->end(), (const uint8_t*)p, (const uint8_t*)p + n); }
void u16(Bytes* b, uint16_t v) { put(b, &v, 2); }
void u32(Bytes* b, uint32_t v) { put(b, &v, 4); }
void f32(Bytes* b, float v) { put(b, &v, 4); }

// One root over 64 leaves of 32 groups each; groups of 256 vertices and 128 triangles.
Bytes make_bsp() {
  const uint32_t leaves = 64, groups_per_leaf = 32, vertices = 256, triangles = 128, collision = 65536;
  const uint32_t G = leaves * groups_per_leaf, M = 8;
  Bytes b;
  u32(&b, BSP_MAGIC);
  u32(&b, BSP_VERSION);
  // A chain of internal nodes, each with one leaf as back child: 2 x leaves - 1 nodes.
  const uint32_t N = 2 * leaves - 1;
  for (uint32_t v : {M, N, G, collision, G * vertices, G * triangles * 3}) u32(&b, v);
  for (uint32_t m = 0; m < M; m++) u16(&b, (uint16_t)(m * 16));
  for (uint32_t n = 0; n < N; n++) {
    bool leaf = n % 2 == 1 || n == N - 1;
    uint32_t leaf_index = n / 2;
    u32(&b, leaf ? (uint32_t)leaf_index : 0xFFFFFFFF);
    u32(&b, leaf ? 0xFFFFFFFF : n + 1);
    u32(&b, leaf ? 0xFFFFFFFF : (n + 2 < N ? n + 2 : 0xFFFFFFFF));
    for (float f : {1.0f, 0.0f, 0.0f, -(float)n}) f32(&b, f);
    for (float f : {0.0f, 0.0f, 0.0f, 64.0f, 16.0f, 64.0f}) f32(&b, f);
    uint32_t per = collision / leaves;
    for (uint32_t v : {leaf ? groups_per_leaf : 0u, leaf ? leaf_index * groups_per_leaf : 0u, leaf ? per : 0u,
                       leaf ? leaf_index * per : 0u})
      u32(&b, v);
  }
  for (uint32_t g = 0; g < G; g++) {
    u16(&b, (uint16_t)(g % M));
    u16(&b, (uint16_t)vertices);
    for (uint32_t v : {triangles, g * vertices, g * triangles * 3}) u32(&b, v);
    for (float f : {0.0f, 0.0f, 0.0f, 64.0f, 16.0f, 64.0f}) f32(&b, f);
  }
  for (uint32_t t = 0; t < collision; t++) {
    u16(&b, (uint16_t)(t % M));
    u32(&b, 0);
    u32(&b, 0x808080);
    for (uint32_t v : {t * 3 % (G * vertices), (t * 3 + 1) % (G * vertices), (t * 3 + 2) % (G * vertices)})
      u32(&b, v);
    for (int k = 0; k < 6; k++) f32(&b, 0.5f);
  }
  for (uint32_t v = 0; v < G * vertices; v++) {
    for (float f : {(float)(v % 64), 1.0f, (float)(v / 64 % 64)}) f32(&b, f);
    for (uint32_t w : {0x80FFFFFFu, 0x80102030u, v % 256}) u32(&b, w);
    f32(&b, 0.25f);
    f32(&b, 0.75f);
  }
  for (uint32_t i = 0; i < G * triangles * 3; i++) u16(&b, (uint16_t)(i * 7 % vertices));
  return b;
}

Bytes make_map() {
  Bytes b;
  u32(&b, 3);
  char name[32] = "bench";
  put(&b, name, 32);
  for (int i = 0; i < 7; i++) f32(&b, 1.0f);
  for (uint32_t v : {3u, 0u}) u32(&b, v);
  f32(&b, 0);
  f32(&b, 0);
  for (uint32_t v : {16u, 16u, 64u, 0u, 16u, 65536u}) u32(&b, v);
  for (uint32_t m = 0; m < 16; m++) u32(&b, 1000 + m);
  for (uint32_t p = 0; p < 65536; p++) {
    for (uint32_t v : {p, 1u, 4u}) u32(&b, v);
    b.push_back(1);
    b.push_back(0);
    for (int k = 0; k < 9; k++) f32(&b, (float)k);
    for (int k = 0; k < 6; k++) u32(&b, k);
    for (int k = 0; k < 10; k++) f32(&b, 0.5f);
    b.push_back(0);
    b.push_back(0);
    u32(&b, 0);
    for (int k = 0; k < 5; k++) f32(&b, 0.25f);
  }
  return b;
}

const Bytes& bsp_bytes() {
  static Bytes b = make_bsp();
  return b;
}
const Bytes& map_bytes() {
  static Bytes b = make_map();
  return b;
}

void BM_BspDecode(benchmark::State& state) {
  const Bytes& b = bsp_bytes();
  for (auto _ : state) {
    BspObject* bsp = bsp_decode(b.data(), (uint32_t)b.size());
    if (!bsp) state.SkipWithError("the bench cell does not decode");
    benchmark::DoNotOptimize(bsp);
    bsp_destroy(bsp);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)b.size());
}
BENCHMARK(BM_BspDecode)->Unit(benchmark::kMillisecond);

void BM_MapDecode65536Props(benchmark::State& state) {
  const Bytes& b = map_bytes();
  for (auto _ : state) {
    MapObject* map = map_decode(b.data(), (uint32_t)b.size());
    if (!map) state.SkipWithError("the bench zone does not decode");
    benchmark::DoNotOptimize(map);
    map_destroy(map);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)b.size());
}
BENCHMARK(BM_MapDecode65536Props)->Unit(benchmark::kMillisecond);

// The reference: copying the same bytes into a fresh buffer.
void memcpy_of(benchmark::State& state, const Bytes& b) {
  for (auto _ : state) {
    std::vector<uint8_t> out(b.size());
    memcpy(out.data(), b.data(), b.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)b.size());
}
void BM_MemcpyBspBytes(benchmark::State& state) { memcpy_of(state, bsp_bytes()); }
void BM_MemcpyMapBytes(benchmark::State& state) { memcpy_of(state, map_bytes()); }
BENCHMARK(BM_MemcpyBspBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyMapBytes)->Unit(benchmark::kMillisecond);

}  // namespace
