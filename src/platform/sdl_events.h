#pragma once
// SDL's event queue as the source of window messages: each SDL event becomes at most one
// window message (focus changes become the activation, foreground and focus-loss messages
// the window procedure expects, delivered one per call).
#include <cstdint>

#include "platform/window_proc.h"

// 1 and the next message, or 0 when SDL holds none (or its events are not started).
int sdl_poll_message(WindowMessage* out);
// The key message parameter (keymap.h) for an SDL scan code; 0 for keys without a code.
uint32_t sdl_key_param(int scancode, int repeat);
