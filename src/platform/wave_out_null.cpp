// The null and paced null wave output devices. A small mutex-guarded queue stands for the
// hardware; the paced device completes on a thread of its own at the playing rate.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/wave_out.h"

namespace {

struct Queued {
  const int16_t* samples;
  uint32_t count;
};

std::mutex g_mutex;
Queued g_queue[WAVEOUT_MAX_QUEUED];
uint32_t g_head, g_size, g_fail;
WaveOutDone g_done;
std::thread g_pacer;
std::atomic<int> g_pacing;

int null_open(WaveOutDone done) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_done = done;
  g_head = g_size = 0;
  return 1;
}

int null_write(const int16_t* samples, uint32_t count) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (g_fail) {
    g_fail--;
    return 0;
  }
  if (!g_done || g_size == WAVEOUT_MAX_QUEUED) return 0;
  g_queue[(g_head + g_size++) % WAVEOUT_MAX_QUEUED] = {samples, count};
  return 1;
}

void null_close(void) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_done = nullptr;
  g_head = g_size = 0;
}

// The paced device: one completion per buffer's playing time, measured from the open.
void pace(void) {
  auto period = std::chrono::microseconds(1024 * 1000000ll / WAVEOUT_RATE);
  auto next = std::chrono::steady_clock::now() + period;
  while (g_pacing) {
    std::this_thread::sleep_until(next);
    next += period;
    waveout_null_complete(nullptr);
  }
}

int paced_open(WaveOutDone done) {
  if (!null_open(done)) return 0;
  g_pacing = 1;
  g_pacer = std::thread(pace);
  return 1;
}

void paced_close(void) {
  g_pacing = 0;
  if (g_pacer.joinable()) g_pacer.join();
  null_close();
}

const WaveOut NULL_DEVICE = {null_open, null_write, null_close};
const WaveOut PACED_DEVICE = {paced_open, null_write, paced_close};

}  // namespace

const WaveOut* waveout_null_device(void) { return &NULL_DEVICE; }
const WaveOut* waveout_paced_device(void) { return &PACED_DEVICE; }

uint32_t waveout_null_complete(int16_t* copy_out) {
  WaveOutDone done;
  uint32_t count;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (!g_size || !g_done) return 0;
    Queued q = g_queue[g_head];
    g_head = (g_head + 1) % WAVEOUT_MAX_QUEUED;
    g_size--;
    if (copy_out) memcpy(copy_out, q.samples, q.count * sizeof(int16_t));
    count = q.count;
    done = g_done;
  }
  // Reported with the device's own lock left, as a sound card would.
  done();
  return count;
}

uint32_t waveout_null_queued(void) {
  std::lock_guard<std::mutex> guard(g_mutex);
  return g_size;
}

void waveout_null_fail_writes(uint32_t n) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_fail = n;
}
