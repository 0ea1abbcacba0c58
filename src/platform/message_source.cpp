#include "platform/message_source.h"

#include "platform/sdl_events.h"

static MessagePollFn g_poll = sdl_poll_message;

void message_source_set(MessagePollFn poll) { g_poll = poll ? poll : sdl_poll_message; }
int window_poll_message(WindowMessage* out) { return g_poll(out); }
