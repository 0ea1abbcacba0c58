#include "audio/wave_output.h"

#include <cstring>

#include "audio/mixer.h"
#include "base/mem.h"
#include "base/thread.h"
#include "platform/wave_out.h"

static const WaveOut* g_chosen;
static const WaveOut* g_device;
static int16_t* g_block;
static Lock* g_free_lock;
static uint32_t g_free;
static uint32_t g_index;
static int g_write_failed;
static WorkerThread* g_thread;

void waveout_use_device(const WaveOut* device) { g_chosen = device; }
int waveout_running(void) { return g_thread != nullptr; }

static void on_done(void) {
  lock_enter(g_free_lock);
  g_free++;
  lock_leave(g_free_lock);
}

static void mix_pass(void) {
  lock_enter(g_free_lock);
  uint32_t free_count = g_free;
  lock_leave(g_free_lock);
  uint32_t written = 0;
  for (; written < free_count; written++) {
    int16_t* buffer = g_block + (size_t)g_index * WAVEOUT_BUFFER_SAMPLES;
    if (!g_write_failed) {
      memset(buffer, 0, WAVEOUT_BUFFER_SAMPLES * sizeof(int16_t));
      mixer_mix(buffer, WAVEOUT_BUFFER_SAMPLES, 1, 22050);
    }
    if (!g_device->write(buffer, WAVEOUT_BUFFER_SAMPLES)) {
      g_write_failed = 1;
      break;
    }
    g_write_failed = 0;
    g_index = (g_index + 1) % WAVEOUT_BUFFERS;
  }
  if (!written) return;
  lock_enter(g_free_lock);
  g_free -= written;
  lock_leave(g_free_lock);
}

static void release_all(void) {
  if (g_free_lock) lock_destroy(g_free_lock);
  g_free_lock = nullptr;
  mem_free(g_block);
  g_block = nullptr;
  g_device = nullptr;
}

void waveout_start(void) {
  if (g_thread) return;
  g_device = g_chosen ? g_chosen : waveout_sdl_device();
  g_block = (int16_t*)mem_calloc(WAVEOUT_BUFFERS * WAVEOUT_BUFFER_SAMPLES, sizeof(int16_t));
  g_free_lock = lock_create();
  g_free = WAVEOUT_BUFFERS;
  g_index = 0;
  g_write_failed = 0;
  if (!g_free_lock || !g_device->open(on_done)) {
    release_all();
    return;
  }
  g_thread = thread_start(mix_pass, 1);
  if (!g_thread) {
    g_device->close();
    release_all();
  }
}

void waveout_stop(void) {
  if (!g_thread) return;
  thread_stop(g_thread);
  g_thread = nullptr;
  g_device->close();
  release_all();
}
