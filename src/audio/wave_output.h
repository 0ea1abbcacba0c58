#pragma once
// The wave output: four rotating buffers of 1024 samples (about 186 ms queued) filled by the
// mixer on a repeating mixing thread and written to a WaveOut device.
//
// waveout_start allocates the buffers, opens the device, creates the free-count lock and
// starts the thread; any failure leaves sound off, silently. Each pass the thread reads the
// free count, then for each free buffer in ring order clears and mixes it (unless the last
// write failed: that buffer is written again as it is) and writes it; a failed write stops
// the pass. It then subtracts the buffers written. The count is read and changed in short
// sections of its own lock, which never nests with the mixer's; completions add to it with
// no other lock of ours held. waveout_stop stops the thread, closes the device and frees.
#include <cstdint>

struct WaveOut;

enum : uint32_t { WAVEOUT_BUFFERS = 4, WAVEOUT_BUFFER_SAMPLES = 1024 };

void waveout_start(void);
void waveout_stop(void);
// The device the next waveout_start opens (null: SDL audio, the default).
void waveout_use_device(const WaveOut* device);
// 1 while the wave output runs.
int waveout_running(void);
