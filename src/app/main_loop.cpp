#include "app/main_loop.h"

#include "app/startup.h"
#include "platform/message_source.h"

static FrameFn g_frame;

void set_frame_callback(FrameFn frame) { g_frame = frame; }

int run_message_loop(void) {
  if (!g_frame) return 1;
  Window* window = platform_window();
  for (;;) {
    int code = 0;
    const bool quit = window_pump_messages(window, &code);
    g_frame(window);
    if (quit) return code;
  }
}
