// Sound hot paths beside references measured in the same run:
// - twelve looping voices mixed into one 1024-sample buffer, against a plain loop adding
//   twelve gain-scaled sources with saturation and against memcpy of the twelve sources;
// - decoding 10 s of 44.1 kHz stereo (items are output samples), against memcpy of the file;
// - sound table look-ups with ids sharing their low bits ((k << 16), (k << 24)) and with
//   sequential ids, against std::unordered_map with the same ids.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/sound.h"
#include "audio/mixer.h"
#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "support/test_wav.h"

namespace {

typedef std::vector<int16_t> Samples;
typedef std::vector<uint8_t> Bytes;

Samples noise(size_t n, uint32_t seed) {
  Samples s(n);
  for (size_t i = 0; i < n; i++) {
    seed = seed * 1664525u + 1013904223u;
    s[i] = (int16_t)((int)((seed >> 8) % 40001) - 20000);
  }
  return s;
}

enum : uint32_t { VOICE_SOUNDS = 12, VOICE_SOUND_SAMPLES = 3001 };

// The mixer over a real cache: twelve sounds in an archive on a temporary file, each playing
// in a loop (a length prime to 1024 so wraps fall inside buffers), all gains settled.
struct MixerRig {
  Archive* archive = nullptr;
  int started = 0;
  MixerRig() {
    std::vector<Bytes> files;
    std::vector<ArchiveSource> sources;
    for (uint32_t i = 0; i < VOICE_SOUNDS; i++)
      files.push_back(test_wav(1, 22050, noise(VOICE_SOUND_SAMPLES, i + 1)));
    for (uint32_t i = 0; i < VOICE_SOUNDS; i++) sources.push_back({i + 1, files[i].data(), files[i].size()});
    size_t size = 0;
    uint8_t* image = archive_build(sources.data(), VOICE_SOUNDS, 3, &size, nullptr, 0);
    FILE* f = tmpfile();
    if (!image || !f || fwrite(image, 1, size, f) != size) return;
    mem_free(image);
    rewind(f);
    archive = archive_open_file(f, nullptr);
    if (!archive) return;
    Archive* archives[ASSET_ARCHIVE_COUNT] = {};
    archives[asset_archive_of(ASSET_SOUND)] = archive;
    event_bus_start();
    asset_set_decoder(ASSET_SOUND, {sound_decode_asset, sound_destroy_asset});
    asset_cache_start(archives);
    mixer_start();
    mixer_set_master_enabled(1);
    mixer_set_ambient_enabled(1);
    mixer_set_master_volume(1.0f);
    mixer_set_ambient_volume(0.5f);
    for (uint32_t i = 0; i < VOICE_SOUNDS; i++) started += mixer_play_ambient(i + 1, i, 1);
    while (asset_pending()) {
    }
    event_dispatch();
    Samples out(1024);
    mixer_mix(out.data(), 1024, 1, 22050);  // lets the gains finish their ramps
  }
  ~MixerRig() {
    if (!archive) return;
    mixer_stop();
    asset_cache_stop();
    archive_close(archive);
    event_bus_stop();
  }
};

void BM_MixTwelveVoices(benchmark::State& state) {
  MixerRig rig;
  if (rig.started != (int)VOICE_SOUNDS) {
    state.SkipWithError("the voices did not start");
    return;
  }
  Samples out(1024);
  for (auto _ : state) {
    memset(out.data(), 0, out.size() * 2);
    mixer_mix(out.data(), 1024, 1, 22050);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 1024 * VOICE_SOUNDS);
}
BENCHMARK(BM_MixTwelveVoices)->Unit(benchmark::kMicrosecond);

struct Sources {
  std::vector<Samples> voices;
  Sources() {
    for (uint32_t i = 0; i < VOICE_SOUNDS; i++) voices.push_back(noise(1024, i + 1));
  }
};

// The least a mixer must do: per voice, scale by a Q15 gain and add with saturation.
void BM_SaturatingAddReference(benchmark::State& state) {
  Sources s;
  Samples out(1024);
  int32_t g = 16384;
  benchmark::DoNotOptimize(g);
  for (auto _ : state) {
    memset(out.data(), 0, out.size() * 2);
    for (const Samples& v : s.voices)
      for (size_t i = 0; i < 1024; i++) {
        int32_t sum = out[i] + ((v[i] * g) >> 15);
        out[i] = (int16_t)(sum < -32768 ? -32768 : (sum > 32767 ? 32767 : sum));
      }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 1024 * VOICE_SOUNDS);
}
BENCHMARK(BM_SaturatingAddReference)->Unit(benchmark::kMicrosecond);

void BM_MemcpyVoicesReference(benchmark::State& state) {
  Sources s;
  Samples out(1024 * VOICE_SOUNDS);
  for (auto _ : state) {
    for (uint32_t v = 0; v < VOICE_SOUNDS; v++) memcpy(&out[v * 1024], s.voices[v].data(), 1024 * 2);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 1024 * VOICE_SOUNDS);
}
BENCHMARK(BM_MemcpyVoicesReference)->Unit(benchmark::kMicrosecond);

const Bytes& ten_seconds_stereo() {
  static Bytes file = test_wav(2, 44100, noise(44100 * 10 * 2, 77));
  return file;
}

void BM_DecodeTenSeconds44kStereo(benchmark::State& state) {
  const Bytes& file = ten_seconds_stereo();
  uint64_t samples = 0;
  for (auto _ : state) {
    SoundObject* s = sound_decode(file.data(), (uint32_t)file.size());
    if (!s) {
      state.SkipWithError("the file did not decode");
      return;
    }
    samples += s->sample_count;
    benchmark::DoNotOptimize(s->samples);
    sound_destroy(s);
  }
  state.SetItemsProcessed((int64_t)samples);
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size());
}
BENCHMARK(BM_DecodeTenSeconds44kStereo)->Unit(benchmark::kMillisecond);

void BM_MemcpyFileReference(benchmark::State& state) {
  const Bytes& file = ten_seconds_stereo();
  Bytes copy(file.size());
  for (auto _ : state) {
    memcpy(copy.data(), file.data(), file.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size());
}
BENCHMARK(BM_MemcpyFileReference)->Unit(benchmark::kMillisecond);

// Id sets: 0 sequential (1..n), 1 (k << 16), 2 (k << 24) with k = 1..n.
enum : uint32_t { TABLE_IDS = 200 };
std::vector<uint32_t> table_ids(int64_t kind) {
  std::vector<uint32_t> ids(TABLE_IDS);
  for (uint32_t k = 1; k <= TABLE_IDS; k++) ids[k - 1] = kind == 0 ? k : kind == 1 ? k << 16 : k << 24;
  return ids;
}
const char* table_label(int64_t kind) { return kind == 0 ? "sequential" : kind == 1 ? "k<<16" : "k<<24"; }

// Built as the mixer builds its table (hint 32, growing), one look-up per id per pass.
void BM_SoundTableFind(benchmark::State& state) {
  std::vector<uint32_t> ids = table_ids(state.range(0));
  IntMap* map = intmap_create(32);
  for (uint32_t id : ids) intmap_insert(map, id, &ids);
  for (auto _ : state)
    for (uint32_t id : ids) benchmark::DoNotOptimize(intmap_find(map, id));
  intmap_destroy(map, nullptr);
  state.SetItemsProcessed((int64_t)state.iterations() * TABLE_IDS);
  state.SetLabel(table_label(state.range(0)));
}
BENCHMARK(BM_SoundTableFind)->Arg(0)->Arg(1)->Arg(2);

void BM_UnorderedMapFindReference(benchmark::State& state) {
  std::vector<uint32_t> ids = table_ids(state.range(0));
  std::unordered_map<uint32_t, void*> map;
  for (uint32_t id : ids) map[id] = &ids;
  for (auto _ : state)
    for (uint32_t id : ids) benchmark::DoNotOptimize(map.find(id));
  state.SetItemsProcessed((int64_t)state.iterations() * TABLE_IDS);
  state.SetLabel(table_label(state.range(0)));
}
BENCHMARK(BM_UnorderedMapFindReference)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
