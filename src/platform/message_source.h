#pragma once
// Where the message loop takes window messages from: SDL's queue here, a script in tests.
#include "platform/window_proc.h"

// 1 and a message, or 0 when none is waiting. Never blocks.
typedef int (*MessagePollFn)(WindowMessage* out);
void message_source_set(MessagePollFn poll);
int window_poll_message(WindowMessage* out);
