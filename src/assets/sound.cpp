#include "assets/sound.h"

#include <cstring>

#include "base/mem.h"

static uint32_t read_u32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static uint32_t read_u16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static int32_t read_s16(const uint8_t* p) { return (int16_t)read_u16(p); }

static const uint32_t ACCEPTED_RATES[] = {8000, 11025, 16000, 22050, 44100, 48000};

static int rate_accepted(uint32_t rate) {
  for (uint32_t accepted : ACCEPTED_RATES)
    if (rate == accepted) return 1;
  return 0;
}

uint64_t sound_output_count(uint64_t frames, uint32_t rate) {
  // Remainder first, so no intermediate product overflows.
  return (frames % rate) * SOUND_OUTPUT_RATE / rate + (frames / rate) * SOUND_OUTPUT_RATE;
}

static int header_valid(const uint8_t* b, uint32_t length) {
  if (memcmp(b, "RIFF", 4) || memcmp(b + 8, "WAVE", 4) || memcmp(b + 12, "fmt ", 4) ||
      memcmp(b + 36, "data", 4))
    return 0;
  uint32_t channels = read_u16(b + 22), rate = read_u32(b + 24), bits = read_u16(b + 34);
  if (read_u32(b + 4) != length - 8 || read_u32(b + 16) != 16) return 0;
  if ((channels != 1 && channels != 2) || bits != 16 || !rate_accepted(rate)) return 0;
  if (read_u32(b + 28) != channels * bits * rate / 8 || read_u16(b + 32) != channels * bits / 8) return 0;
  return read_u32(b + 40) == length - SOUND_HEADER_SIZE;
}

static int32_t source_frame(const uint8_t* data, uint32_t channels, uint64_t frame) {
  if (channels == 1) return read_s16(data + frame * 2);
  const uint8_t* p = data + frame * 4;
  return (read_s16(p) + read_s16(p + 2)) >> 1;
}

SoundObject* sound_decode(const uint8_t* bytes, uint32_t length) {
  if (!bytes || length < SOUND_HEADER_SIZE || !header_valid(bytes, length)) return nullptr;
  uint32_t channels = read_u16(bytes + 22), rate = read_u32(bytes + 24);
  uint64_t frames = read_u32(bytes + 40) / read_u16(bytes + 32);
  uint64_t count = sound_output_count(frames, rate);
  // A 32-bit length at 8000 Hz could ask for more samples than a count holds.
  if (count > 0x7FFFFFFFu) return nullptr;
  const uint8_t* data = bytes + SOUND_HEADER_SIZE;

  SoundObject* sound = (SoundObject*)mem_calloc(1, sizeof(SoundObject));
  sound->channels = 1;
  sound->rate = SOUND_OUTPUT_RATE;
  sound->bits = read_u16(bytes + 34);
  sound->sample_count = (uint32_t)count;
  sound->playable_count = (uint32_t)count;
  if (count == 0) return sound;
  sound->samples = (int16_t*)mem_alloc(count * sizeof(int16_t));

  uint32_t step_whole = rate / SOUND_OUTPUT_RATE;
  uint32_t step_fraction = ((rate % SOUND_OUTPUT_RATE) * 65536u) / SOUND_OUTPUT_RATE;
  uint64_t last = frames - 1, position = 0;
  uint32_t fraction = 0;
  for (uint64_t i = 0; i < count; i++) {
    uint64_t m = position < last ? position : last;
    uint64_t n = m + 1 < last ? m + 1 : last;
    int32_t a = source_frame(data, channels, m), b = source_frame(data, channels, n);
    sound->samples[i] = (int16_t)(a + (((b - a) * (int32_t)(fraction >> 1)) >> 15));
    fraction += step_fraction;
    position += step_whole + (fraction >> 16);
    fraction &= 0xFFFFu;
  }
  return sound;
}

void sound_destroy(SoundObject* sound) {
  if (!sound) return;
  mem_free(sound->samples);
  mem_free(sound);
}

void* sound_decode_asset(const uint8_t* bytes, uint32_t length) { return sound_decode(bytes, length); }
void sound_destroy_asset(void* object) { sound_destroy((SoundObject*)object); }
