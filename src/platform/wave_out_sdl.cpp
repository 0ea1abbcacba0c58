// SDL audio as a wave output device. The callback copies queued buffers into SDL's stream in
// order, fills the rest with silence, and reports each buffer it finished. SDL runs the
// callback with its device lock held; write takes the same lock, so the queue needs no other.
#include <SDL2/SDL.h>

#include <cstring>

#include "platform/wave_out.h"

namespace {

struct Queued {
  const int16_t* samples;
  uint32_t count;
};

SDL_AudioDeviceID g_device;
Queued g_queue[WAVEOUT_MAX_QUEUED];
uint32_t g_head, g_size, g_offset;
WaveOutDone g_done;

void callback(void*, Uint8* stream, int length) {
  int16_t* out = (int16_t*)stream;
  uint32_t wanted = (uint32_t)length / 2, filled = 0, finished = 0;
  while (filled < wanted && g_size) {
    Queued& q = g_queue[g_head];
    uint32_t take = q.count - g_offset < wanted - filled ? q.count - g_offset : wanted - filled;
    memcpy(out + filled, q.samples + g_offset, take * sizeof(int16_t));
    filled += take;
    g_offset += take;
    if (g_offset == q.count) {
      g_offset = 0;
      g_head = (g_head + 1) % WAVEOUT_MAX_QUEUED;
      g_size--;
      finished++;
    }
  }
  memset(out + filled, 0, (wanted - filled) * sizeof(int16_t));
  for (uint32_t i = 0; i < finished; i++) g_done();
}

int sdl_open(WaveOutDone done) {
  if (!done || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  SDL_AudioSpec want, have;
  SDL_zero(want);
  want.freq = WAVEOUT_RATE;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 1024;
  want.callback = callback;
  g_head = g_size = g_offset = 0;
  g_done = done;
  g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!g_device) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
  }
  SDL_PauseAudioDevice(g_device, 0);
  return 1;
}

int sdl_write(const int16_t* samples, uint32_t count) {
  if (!g_device || !count) return 0;
  SDL_LockAudioDevice(g_device);
  int accepted = g_size < WAVEOUT_MAX_QUEUED;
  if (accepted) g_queue[(g_head + g_size++) % WAVEOUT_MAX_QUEUED] = {samples, count};
  SDL_UnlockAudioDevice(g_device);
  return accepted;
}

void sdl_close(void) {
  if (!g_device) return;
  SDL_CloseAudioDevice(g_device);  // waits for a running callback; none starts after
  g_device = 0;
  g_size = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

const WaveOut SDL_DEVICE = {sdl_open, sdl_write, sdl_close};

}  // namespace

const WaveOut* waveout_sdl_device(void) { return &SDL_DEVICE; }
