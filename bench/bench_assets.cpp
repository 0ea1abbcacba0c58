// Asset archive hot paths beside references measured in the same run:
// - LZSS decode of a mixed corpus (text, texture-like pixels, mesh-like vertices) against
//   zlib inflate of the same corpus and against memcpy of the output;
// - opening an archive of 100k entries (directory decipher and map) against reading its
//   bytes with one fread;
// - a cache hit (lock + probe) against std::mutex + std::unordered_map;
// - request-to-event latency for 1000 small entries through the loader thread.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/lzss.h"
#include "base/event_bus.h"
#include "base/mem.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes make_corpus() {
  std::mt19937 rng(42);
  Bytes out;
  // Text: sentences from a small vocabulary.
  const char* words[] = {"the",   "ancient", "keep",  "of",       "Ostrevane", "stands", "above",
                         "river", "where",   "guard", "watch",    "mist",      "and",    "stone",
                         "gate",  "north",   "road",  "merchant", "sword",     "quest"};
  std::string text;
  while (text.size() < 256 * 1024) {
    text += words[rng() % 20];
    text += rng() % 9 ? " " : ".\n";
  }
  out.insert(out.end(), text.begin(), text.end());
  // Texture: 256 x 256 RGBA with gradients, flat areas and a little noise.
  for (int y = 0; y < 256; y++)
    for (int x = 0; x < 256; x++) {
      bool flat = ((x / 32) + (y / 32)) % 3 == 0;
      uint8_t n = flat ? 0 : (uint8_t)(rng() % 4);
      out.push_back((uint8_t)(x + n));
      out.push_back((uint8_t)(y + n));
      out.push_back(flat ? 128 : (uint8_t)((x ^ y) + n));
      out.push_back(255);
    }
  // Mesh: 32-byte vertices (position, colour, spare, uv) on a grid.
  for (int i = 0; i < 8192; i++) {
    float v[8] = {(float)(i % 64),         (float)std::sin(i * 0.05), (float)(i / 64), 1.0f, 0, 0,
                  (float)(i % 64) / 64.0f, (float)(i / 64) / 128.0f};
    uint32_t colour = 0xFF808080u;
    memcpy(&v[4], &colour, 4);
    const uint8_t* b = (const uint8_t*)v;
    out.insert(out.end(), b, b + sizeof v);
  }
  return out;
}

struct Corpus {
  Bytes plain, lzss, zlib_data;
  Corpus() {
    plain = make_corpus();
    size_t n = 0;
    uint8_t* packed = lzss_encode(plain.data(), plain.size(), &n);
    lzss.assign(packed, packed + n);
    mem_free(packed);
    uLongf zn = compressBound(plain.size());
    zlib_data.resize(zn);
    compress2(zlib_data.data(), &zn, plain.data(), plain.size(), Z_DEFAULT_COMPRESSION);
    zlib_data.resize(zn);
  }
};

const Corpus& corpus() {
  static Corpus c;
  return c;
}

void BM_LzssDecode(benchmark::State& state) {
  const Corpus& c = corpus();
  Bytes out(c.plain.size());
  for (auto _ : state) {
    size_t produced = 0;
    lzss_decode(c.lzss.data(), c.lzss.size(), out.data(), out.size(), &produced);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.plain.size());
  state.counters["ratio"] = (double)c.lzss.size() / (double)c.plain.size();
}
BENCHMARK(BM_LzssDecode);

void BM_ZlibInflate(benchmark::State& state) {
  const Corpus& c = corpus();
  Bytes out(c.plain.size());
  for (auto _ : state) {
    uLongf n = out.size();
    uncompress(out.data(), &n, c.zlib_data.data(), c.zlib_data.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.plain.size());
  state.counters["ratio"] = (double)c.zlib_data.size() / (double)c.plain.size();
}
BENCHMARK(BM_ZlibInflate);

void BM_Memcpy(benchmark::State& state) {
  const Corpus& c = corpus();
  Bytes out(c.plain.size());
  for (auto _ : state) {
    memcpy(out.data(), c.plain.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.plain.size());
}
BENCHMARK(BM_Memcpy);

void BM_LzssEncode(benchmark::State& state) {
  const Corpus& c = corpus();
  for (auto _ : state) {
    size_t n = 0;
    uint8_t* packed = lzss_encode(c.plain.data(), c.plain.size(), &n);
    benchmark::DoNotOptimize(packed);
    mem_free(packed);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)c.plain.size());
}
BENCHMARK(BM_LzssEncode)->Unit(benchmark::kMillisecond);

// Every file this program writes goes into one private folder under $TMPDIR (or /tmp),
// removed with its files when the program ends, so runs neither meet nor leave files behind.
struct BenchFolder {
  std::string path;
  std::vector<std::string> files;
  ~BenchFolder() {
    for (const std::string& file : files) remove(file.c_str());
    if (!path.empty()) rmdir(path.c_str());
  }
};

BenchFolder& bench_folder() {
  static BenchFolder folder;
  if (folder.path.empty()) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench_assets_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
      perror("mkdtemp");
      exit(1);
    }
    folder.path = name.data();
  }
  return folder;
}

// Ids are 1..count, or with id_shift, (i << id_shift) | 1: all alike in their low bits.
std::string write_archive(const char* name, uint32_t count, uint32_t entry_size, uint32_t id_shift = 0) {
  BenchFolder& folder = bench_folder();
  std::string path = folder.path + "/" + name;
  folder.files.push_back(path);
  std::vector<Bytes> data(count);
  std::vector<ArchiveSource> sources(count);
  for (uint32_t i = 0; i < count; i++) {
    data[i].assign(entry_size, (uint8_t)i);
    uint32_t id = id_shift ? (i << id_shift) | 1 : i + 1;
    sources[i] = {id, data[i].data(), data[i].size()};
  }
  size_t size = 0;
  uint8_t* image = archive_build(sources.data(), count, 1, &size, nullptr, 0);
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(image, 1, size, f);
  fclose(f);
  mem_free(image);
  return path;
}

const std::string& big_archive() {
  static std::string path = write_archive("bench_assets_100k.dat", 100000, 4);
  return path;
}

void BM_OpenArchive100k(benchmark::State& state) {
  const std::string& path = big_archive();
  for (auto _ : state) {
    Archive* a = archive_open(path.c_str());
    benchmark::DoNotOptimize(a);
    archive_close(a);
  }
}
BENCHMARK(BM_OpenArchive100k)->Unit(benchmark::kMillisecond);

// 65536 ids sharing their low 16 bits: placed by their low bits, the map's probe chains
// would collapse into two clusters and opening would take seconds.
void BM_OpenArchiveCraftedIds64k(benchmark::State& state) {
  static std::string path = write_archive("bench_assets_crafted.dat", 65536, 4, 16);
  for (auto _ : state) {
    Archive* a = archive_open(path.c_str());
    benchmark::DoNotOptimize(a);
    archive_close(a);
  }
}
BENCHMARK(BM_OpenArchiveCraftedIds64k)->Unit(benchmark::kMillisecond);

void BM_ReadArchiveFileRaw(benchmark::State& state) {
  const std::string& path = big_archive();
  Bytes buffer(8 << 20);
  for (auto _ : state) {
    FILE* f = fopen(path.c_str(), "rb");
    size_t n = fread(buffer.data(), 1, buffer.size(), f);
    fclose(f);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_ReadArchiveFileRaw)->Unit(benchmark::kMillisecond);

struct Blob {
  uint32_t id;
  uint32_t size;
};
void* decode_blob(const uint8_t*, uint32_t size) {
  Blob* b = (Blob*)mem_alloc(sizeof(Blob));
  b->size = size;
  return b;
}

// The asset folder: the private folder with a 1000-entry texture archive in it.
const std::string& small_dir() {
  static bool written = false;
  if (!written) write_archive("texture.dat", 1000, 64);
  written = true;
  return bench_folder().path;
}

void BM_CacheHit(benchmark::State& state) {
  event_bus_start();
  asset_set_decoder(ASSET_TEXTURE, {decode_blob, nullptr});
  assets_startup(small_dir().c_str());
  AssetHandle h;
  asset_request_wait(&h, ASSET_TEXTURE, 500);
  for (auto _ : state) {
    asset_find(&h, ASSET_TEXTURE, 500);
    benchmark::DoNotOptimize(h.object);
  }
  assets_shutdown();
  asset_set_decoder(ASSET_TEXTURE, {});
  event_bus_stop();
}
BENCHMARK(BM_CacheHit);

void BM_MutexUnorderedMapHit(benchmark::State& state) {
  std::mutex mutex;
  std::unordered_map<uint32_t, void*> map;
  for (uint32_t i = 1; i <= 1000; i++) map[i] = &map;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(mutex);
    auto it = map.find(500);
    benchmark::DoNotOptimize(it->second);
  }
}
BENCHMARK(BM_MutexUnorderedMapHit);

int g_loaded;
void count_loaded(uint32_t event, const void*) {
  if (event == EVENT_ASSET_LOADED) g_loaded++;
}

// Time from the first of 1000 requests until all 1000 loaded events were delivered.
void BM_RequestToEvent1k(benchmark::State& state) {
  event_bus_start();
  event_subscribe(count_loaded);
  asset_set_decoder(ASSET_TEXTURE, {decode_blob, nullptr});
  assets_startup(small_dir().c_str());
  for (auto _ : state) {
    g_loaded = 0;
    AssetHandle h;
    for (uint32_t id = 1; id <= 1000; id++) asset_request(&h, ASSET_TEXTURE, id);
    while (g_loaded < 1000) event_dispatch();
    state.PauseTiming();
    asset_purge_begin();
    asset_purge_end();
    event_dispatch();
    state.ResumeTiming();
  }
  state.counters["per_entry_us"] = benchmark::Counter(
      (double)state.iterations() * 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  assets_shutdown();
  asset_set_decoder(ASSET_TEXTURE, {});
  event_bus_stop();
}
BENCHMARK(BM_RequestToEvent1k)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
