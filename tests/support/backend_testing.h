#pragma once
// Backends for tests and headless runs: the null backend (every slot empty, so every
// dispatcher answers its default) and the recording backend (every slot filled; each call
// is logged in order with its arguments and, for draw, a copy of the draw record).
//
// The recording log holds the last RECORDING_LIMIT calls; older ones are dropped and counted.
// Single-threaded: for tests, not for a running loader.
#include <cstdint>

#include "render/render.h"

enum : int { RECORDING_LIMIT = 4096 };

struct RecordedOp {
  int slot;  // 0..21 in table order
  Window* window;
  int32_t args[4];    // integer arguments in call order
  float colour[3];    // clear
  uint32_t flags;     // clear
  char path[256];     // screenshot
  DrawRecord record;  // draw: the record as it was at the call
};

// Fills every slot with nothing (the null backend).
void null_backend_fill(RenderBackend* table);
// Backend inits for benchmarks: any pixel format is accepted and both backend kinds install
// the null backend with a present that returns at once (the empty default would sleep a
// millisecond a frame).
const RenderBackendInits* quiet_backend_inits(void);

// Fills all 22 slots with recording functions and clears the log.
void recording_backend_fill(RenderBackend* table);
void recording_backend_reset(void);
int recording_backend_count(void);
const RecordedOp* recording_backend_op(int index);
// Answers of the recording slots: int slots answer `answer` (default 1), choose_pixel_format
// answers `format` (default PF_RGBA8888), get_size answers width x height (default 640 x 480).
void recording_backend_configure(int answer, uint32_t format, uint32_t width, uint32_t height);
// Makes the recording backend the renderer's (install, or null for plain recording_backend_fill,
// serves both backend kinds) and installs it: 1 on success. uninstall undoes it and puts the
// default answers back.
int recording_backend_install(int (*install)(Window*, RenderBackend*));
void recording_backend_uninstall(void);
