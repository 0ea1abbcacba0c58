// Decodes an arbitrary blob as a sound entry, then plays it through the mixer. Input: eight
// control bytes, then the entry. A decoded sound must be mono at the output rate with a
// sample count the rule gives; the mixer then starts one to four voices over it (looping or
// not, positional or not, in any category), mixes a few buffers of varied lengths while
// volumes, the listener and stops change, and must leave every gain within 0..1.
//
// The cache reads a one-entry archive written once; its installed decoder ignores the
// entry's bytes and decodes the current input instead, so the loader thread, the load and
// release events and the mixer's own copy all see the fuzzed sound.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/sound.h"
#include "audio/mixer.h"
#include "base/event_bus.h"
#include "base/mem.h"

namespace {

enum : uint32_t { CONTROL = 8, SOUND_ID = 1 };

const uint8_t* g_entry;
uint32_t g_entry_length;

void* decode_current(const uint8_t*, uint32_t) { return sound_decode_asset(g_entry, g_entry_length); }

Archive* one_entry_archive() {
  static Archive* archive = [] {
    static const uint8_t placeholder = 0;
    ArchiveSource source = {SOUND_ID, &placeholder, 1};
    size_t size = 0;
    uint8_t* image = archive_build(&source, 1, 5, &size, nullptr, 0);
    FILE* f = tmpfile();
    if (!image || !f || fwrite(image, 1, size, f) != size) abort();
    mem_free(image);
    rewind(f);
    Archive* a = archive_open_file(f, nullptr);
    if (!a) abort();
    return a;
  }();
  return archive;
}

void check_decoded(const uint8_t* entry, uint32_t length) {
  SoundObject* s = sound_decode(entry, length);
  if (!s) return;
  uint32_t block_align = 0, rate = 0;
  memcpy(&rate, entry + 24, 4);
  memcpy(&block_align, entry + 32, 2);
  uint32_t frames = (length - SOUND_HEADER_SIZE) / (block_align & 0xFFFF);
  if (s->channels != 1 || s->rate != SOUND_OUTPUT_RATE || s->bits != 16) abort();
  if (s->sample_count != s->playable_count) abort();
  if (s->sample_count != sound_output_count(frames, rate)) abort();
  if ((s->sample_count == 0) != (s->samples == nullptr)) abort();
  int64_t sum = 0;  // every sample is read, so a short buffer shows under the sanitizers
  for (uint32_t i = 0; i < s->sample_count; i++) sum += s->samples[i];
  if (sum == INT64_MIN) abort();
  sound_destroy(s);
}

void settle() {
  while (asset_pending()) {
  }
  event_dispatch();
}

void mix_and_check(uint32_t frames, uint32_t channels) {
  static int16_t out[2 * 1024];
  memset(out, 0, sizeof out);
  mixer_mix(out, frames, channels, SOUND_OUTPUT_RATE);
  for (uint32_t i = 0; i < MIXER_VOICES; i++) {
    Voice v = mixer_voice(i);
    if (!(v.gain >= 0.0f && v.gain <= 1.0f)) abort();
  }
  event_dispatch();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < CONTROL || size - CONTROL > SOUND_FILE_MAX) return 0;
  const uint8_t* c = data;
  g_entry = data + CONTROL;
  g_entry_length = (uint32_t)(size - CONTROL);
  check_decoded(g_entry, g_entry_length);

  Archive* archives[ASSET_ARCHIVE_COUNT] = {};
  archives[asset_archive_of(ASSET_SOUND)] = one_entry_archive();
  event_bus_start();
  asset_set_decoder(ASSET_SOUND, {decode_current, sound_destroy_asset});
  asset_cache_start(archives);
  mixer_start();
  for (auto set : {mixer_set_master_enabled, mixer_set_music_enabled, mixer_set_ambient_enabled,
                   mixer_set_effect_enabled})
    set(1);
  mixer_set_master_volume(1.0f);

  uint32_t voices = 1 + (c[0] & 3);
  for (uint32_t i = 0; i < voices; i++) {
    uint8_t f = c[4 + i];
    int loop = f & 1;
    float x = (float)(f >> 4) * 3.0f, near_distance = (float)(c[1] & 7), far_distance = (float)(c[2] & 15);
    switch ((f >> 1) & 7) {
      case 0:
        mixer_play_music(SOUND_ID, i, loop);
        break;
      case 1:
        mixer_play_ambient(SOUND_ID, i, loop);
        break;
      case 2:
        mixer_play_ambient_at(SOUND_ID, i, loop, x, 0, 0, near_distance, far_distance);
        break;
      case 3:
        mixer_play_effect_at(SOUND_ID, i, x, 0, 0, near_distance, far_distance);
        break;
      default:
        mixer_play_effect(SOUND_ID, i);
        break;
    }
  }
  settle();

  uint32_t buffers = 2 + (c[3] & 7), stop_at = (c[3] >> 3) & 7;
  for (uint32_t b = 0; b < buffers; b++) {
    uint8_t k = c[(b + 1) % CONTROL];
    mixer_set_music_volume((float)k / 255.0f);
    mixer_set_ambient_volume((float)(k ^ 0x5A) / 255.0f);
    mixer_set_effect_volume((float)(255 - k) / 255.0f);
    mixer_set_listener((float)(k & 15), 0, 0);
    if (b == stop_at) mixer_stop_tag(c[7] % voices);
    if (b == 5 && (c[0] & 4)) asset_release(ASSET_SOUND, SOUND_ID);
    if (b == 6 && (c[0] & 8)) mixer_set_master_enabled(0);
    mix_and_check(1 + (uint32_t)(k * 4 + b * 37) % 1024, (c[0] & 16) ? 2 : 1);
  }
  for (uint32_t i = 0; i < voices; i++) mixer_stop_tag(i);
  mix_and_check(1024, 1);

  mixer_stop();
  asset_cache_stop();
  asset_set_decoder(ASSET_SOUND, {});
  event_bus_stop();
  return 0;
}
