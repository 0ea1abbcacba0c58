// Opens the client's window through the platform layer and prints every event the window
// procedure posts, one line each, until the window is closed. Driven by
// tests/window_events_test.py with xdotool; F1 pastes the clipboard.
//
//   window_harness [display mode]     prints "ready" once the window is shown
#include <cstdio>
#include <cstdlib>

#include "base/event_bus.h"
#include "base/thread.h"
#include "platform/clipboard.h"
#include "platform/keymap.h"
#include "platform/message_source.h"
#include "platform/window.h"
#include "platform/window_proc.h"

static void log_event(uint32_t event, const void* data) {
  switch (event) {
    case EVENT_KEY: {
      const EventKey* k = (const EventKey*)data;
      printf("key %u %u\n", k->key, k->action);
      // F1: paste, as the input layer does on Ctrl+V.
      if (k->key == 79 && k->action == ACTION_PRESSED) clipboard_paste();
      break;
    }
    case EVENT_MOUSE_BUTTON: {
      const EventButton* b = (const EventButton*)data;
      printf("button %u %u\n", b->button, b->action);
      break;
    }
    case EVENT_AXIS: {
      const EventAxis* a = (const EventAxis*)data;
      printf("axis %u %+.1f\n", a->axis, a->value);
      break;
    }
    case EVENT_TEXT:
      printf("text %02X\n", *(const uint8_t*)data);
      break;
    case EVENT_ACTIVATE:
      printf("activate\n");
      break;
    case EVENT_DEACTIVATE:
      printf("deactivate\n");
      break;
    default:
      break;  // cursor requests arrive with every mouse move
  }
  fflush(stdout);
}

int main(int argc, char** argv) {
  int mode = argc > 1 ? atoi(argv[1]) : DISPLAY_WINDOWED;
  event_bus_start();
  event_subscribe(log_event);
  Window window;
  if (!window_create(&window, 640, 480, 0, 0, mode, -1, 0, "Ostrevane Client") ||
      !window_set_display_mode(&window)) {
    fprintf(stderr, "window failed\n");
    return 1;
  }
  window_place_and_show(&window);
  printf("ready\n");
  fflush(stdout);
  int code = 0;
  for (bool quit = false; !quit;) {
    WindowMessage m;
    while (window_poll_message(&m)) {
      if (m.kind == WMSG_QUIT) {
        quit = true;
        code = m.code;
        break;
      }
      window_proc(&window, &m);
    }
    event_dispatch();
    sleep_ms(2);
  }
  window_destroy(&window);
  event_bus_stop();
  printf("quit %d\n", code);
  return code;
}
