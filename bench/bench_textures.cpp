// Texture decoding and preparation beside the cost of merely copying the same bytes:
// a 2048 x 2048 32-bit TGA decoded to RGBA8888 (target at least 100 Mpx/s) and the mip chain
// of a 1024 x 1024 RGBA8888 texture (target at most 15 ms).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "assets/texture.h"
#include "base/mem.h"
#include "render/texture_prep.h"

namespace {

std::vector<uint8_t> tga_32bit(uint32_t width, uint32_t height) {
  std::vector<uint8_t> file(18 + (size_t)width * height * 4);
  file[2] = 2;
  file[12] = (uint8_t)width;
  file[13] = (uint8_t)(width >> 8);
  file[14] = (uint8_t)height;
  file[15] = (uint8_t)(height >> 8);
  file[16] = 32;
  file[17] = 8;
  std::mt19937 random(5);
  for (size_t i = 18; i < file.size(); i++) file[i] = (uint8_t)random();
  return file;
}

uint32_t choose_rgba(int) { return PF_RGBA8888; }

void BM_TgaDecode2048(benchmark::State& state) {
  std::vector<uint8_t> file = tga_32bit(2048, 2048);
  TextureHooks hooks = {choose_rgba, nullptr};
  texture_set_hooks(&hooks);
  for (auto _ : state) {
    Texture* t = texture_decode(file.data(), file.size());
    benchmark::DoNotOptimize(t->pixels);
    texture_destroy(t);
  }
  texture_set_hooks(nullptr);
  state.counters["Mpx/s"] =
      benchmark::Counter(2048.0 * 2048.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TgaDecode2048)->Unit(benchmark::kMillisecond);

// Reference: allocating and copying the pixel bytes, the least a decoder can do.
void BM_MemcpyOfTheSameBytes(benchmark::State& state) {
  std::vector<uint8_t> file = tga_32bit(2048, 2048);
  for (auto _ : state) {
    uint8_t* pixels = (uint8_t*)mem_alloc(file.size() - 18);
    memcpy(pixels, file.data() + 18, file.size() - 18);
    benchmark::DoNotOptimize(pixels);
    benchmark::ClobberMemory();
    mem_free(pixels);
  }
  state.counters["Mpx/s"] =
      benchmark::Counter(2048.0 * 2048.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MemcpyOfTheSameBytes)->Unit(benchmark::kMillisecond);

void BM_MipChain1024(benchmark::State& state) {
  std::vector<uint8_t> pixels(1024 * 1024 * 4);
  std::mt19937 random(6);
  for (uint8_t& b : pixels) b = (uint8_t)random();
  texture_options_set(0, 1, 1, 1);
  Texture t{};
  t.width = t.height = 1024;
  t.format = PF_RGBA8888;
  t.filter = 1;
  t.pixels = pixels.data();
  t.pixel_size = (uint32_t)pixels.size();
  for (auto _ : state) {
    texture_prepare(&t);
    benchmark::DoNotOptimize(t.next);
    mem_free(t.next);
    t.next = nullptr;
  }
}
BENCHMARK(BM_MipChain1024)->Unit(benchmark::kMillisecond);

// Reference: one pass over the same level-0 bytes.
void BM_MemcpyOfLevelZero(benchmark::State& state) {
  std::vector<uint8_t> pixels(1024 * 1024 * 4, 1), copy(pixels.size());
  for (auto _ : state) {
    memcpy(copy.data(), pixels.data(), pixels.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyOfLevelZero)->Unit(benchmark::kMillisecond);

}  // namespace
