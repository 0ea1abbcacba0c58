#include "app/main_loop.h"

#include "app/startup.h"
#include "platform/message_source.h"

static FrameFn g_frame;

void set_frame_callback(FrameFn frame) { g_frame = frame; }

int run_message_loop(void) {
  if (!g_frame) return 1;
  Window* window = platform_window();
  for (;;) {
    bool quit = false;
    int code = 0;
    WindowMessage message;
    while (window_poll_message(&message)) {
      if (message.kind == WMSG_QUIT) {
        quit = true;
        code = message.code;
        break;
      }
      window_proc(window, &message);
    }
    g_frame(window);
    if (quit) return code;
  }
}
