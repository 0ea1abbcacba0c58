#pragma once
// Wave output devices: a mono signed 16-bit stream at 22050 samples per second fed in
// buffers that the device plays in the order written and hands back one completion each.
//
// Three devices share the table: SDL audio (opened at exactly that format with no changes
// allowed, SDL converting for the hardware; silence whenever no buffer is queued), a null
// device whose completions a test drives, and a paced null device that completes one buffer
// every 1024 / 22050 s, for headless harnesses. A written buffer stays owned by the caller
// and must stay untouched until its completion; close drops whatever is queued, and no
// completion arrives after close returns. Completions come from the device's own thread
// (the null device: the caller of waveout_null_complete) with no lock of the caller held.
#include <cstdint>

typedef void (*WaveOutDone)(void);

struct WaveOut {
  // 1 when the device opened; done is called once per finished buffer.
  int (*open)(WaveOutDone done);
  // Queues count samples; 1 when accepted. At most WAVEOUT_MAX_QUEUED buffers wait at once.
  int (*write)(const int16_t* samples, uint32_t count);
  void (*close)(void);
};

enum : uint32_t { WAVEOUT_RATE = 22050, WAVEOUT_MAX_QUEUED = 8 };

const WaveOut* waveout_sdl_device(void);
const WaveOut* waveout_null_device(void);
const WaveOut* waveout_paced_device(void);

// The null device: completes the oldest queued buffer, first copying its samples into
// copy_out when given (room for the buffer's count); returns that count, 0 when none waits.
uint32_t waveout_null_complete(int16_t* copy_out);
uint32_t waveout_null_queued(void);
// The next n writes fail (to test the retry).
void waveout_null_fail_writes(uint32_t n);
