#pragma once
// Where the message loop takes window messages from: SDL's queue here, a script in tests.
#include "platform/window_proc.h"

// 1 and a message, or 0 when none is waiting. Never blocks.
typedef int (*MessagePollFn)(WindowMessage* out);
void message_source_set(MessagePollFn poll);
int window_poll_message(WindowMessage* out);

// Hands every waiting message to the window procedure. Returns 1 when a quit message arrived
// (its code in *quit_code; the messages behind it stay queued), else 0.
int window_pump_messages(Window* window, int* quit_code);
