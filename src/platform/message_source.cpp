#include "platform/message_source.h"

#include "platform/sdl_events.h"

static MessagePollFn g_poll = sdl_poll_message;

void message_source_set(MessagePollFn poll) { g_poll = poll ? poll : sdl_poll_message; }
int window_poll_message(WindowMessage* out) { return g_poll(out); }

int window_pump_messages(Window* window, int* quit_code) {
  WindowMessage message;
  while (window_poll_message(&message)) {
    if (message.kind == WMSG_QUIT) {
      if (quit_code) *quit_code = message.code;
      return 1;
    }
    window_proc(window, &message);
  }
  return 0;
}
