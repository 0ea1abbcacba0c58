#pragma once
// The message loop: each pass takes every waiting window message without blocking, then
// runs the frame callback once. The quit message ends the loop after the pass that saw it
// (so one more frame runs) with its exit code. There is no sleep and no frame cap: the
// renderer's present paces the loop.
#include "platform/window.h"

typedef void (*FrameFn)(Window* window);

void set_frame_callback(FrameFn frame);
// The quit message's exit code; 1 at once when no frame callback is installed.
int run_message_loop(void);
