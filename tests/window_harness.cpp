// Opens the client's window through the platform layer and prints every event the window
// procedure posts, one line each, until the window is closed. Driven by
// tests/window_events_test.py with xdotool; F1 pastes the clipboard.
//
//   window_harness [display mode]     prints "ready" once the window is shown
//   window_harness <display mode> input [index=key,mods ...]
//       runs the real mouse layer, input state and bindings (each argument sets a binding's
//       primary combination, the secondary is cleared) and prints per frame what changed:
//       "F 12 key 58 pressed", "F 12 binding 0 triggered", "F 12 axis 1 -10.0",
//       "F 12 pos 0 480", "F 12 char 77", "F 12 captured 1". F2 toggles the mouse capture.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/event_bus.h"
#include "base/thread.h"
#include "input/input.h"
#include "input/keybind.h"
#include "input/mouse.h"
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

static const char* const STATE_NAMES[4] = {"up", "held", "pressed", "released"};
static const char* const BINDING_NAMES[4] = {"idle", "active", "ended", "triggered"};

struct InputPrinter {
  uint32_t frame;
  int keys[INPUT_KEY_COUNT];
  int buttons[INPUT_BUTTON_COUNT];
  int bindings[KEYBIND_COUNT];
  int x, y;
  bool positioned;
};

static void input_print_frame(InputPrinter* p) {
  uint32_t f = ++p->frame;
  for (uint32_t k = 0; k < INPUT_KEY_COUNT; k++) {
    int s = key_state(k);
    if (s != p->keys[k])
      printf("F %u key %u %s\n", f, k, STATE_NAMES[s]);
    else if (key_pressed_or_repeated(k) && !key_pressed(k))
      printf("F %u key %u repeat\n", f, k);
    p->keys[k] = s;
  }
  for (uint32_t b = 0; b < INPUT_BUTTON_COUNT; b++) {
    int s = button_state(b);
    if (s != p->buttons[b]) printf("F %u button %u %s\n", f, b, STATE_NAMES[s]);
    p->buttons[b] = s;
  }
  for (uint32_t a = 0; a < INPUT_AXIS_COUNT; a++)
    if (axis_value(a) != 0.0f) printf("F %u axis %u %.1f\n", f, a, axis_value(a));
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    int s = binding_state(i);
    if (s != p->bindings[i]) printf("F %u binding %d %s\n", f, i, BINDING_NAMES[s]);
    p->bindings[i] = s;
  }
  while (uint32_t c = text_next_char()) printf("F %u char %X\n", f, c);
  int x, y;
  mouse_position(&x, &y);
  if (!p->positioned || x != p->x || y != p->y) printf("F %u pos %d %d\n", f, x, y);
  p->positioned = true;
  p->x = x;
  p->y = y;
  if (key_pressed(KEY_F1 + 1)) {
    if (mouse_captured())
      mouse_release();
    else
      mouse_capture();
    printf("F %u captured %d\n", f, mouse_captured());
  }
  fflush(stdout);
}

// "index=key,mods" sets a binding's primary combination and clears its secondary.
static void input_apply_bindings(int argc, char** argv) {
  KeyBinding table[KEYBIND_COUNT];
  keybind_get_table(table);
  for (int i = 3; i < argc; i++) {
    int index = 0, key = 0, mods = 0;
    if (sscanf(argv[i], "%d=%d,%d", &index, &key, &mods) == 3 && index >= 0 && index < KEYBIND_COUNT)
      table[index] = KeyBinding{index, key, mods, 0, 0};
  }
  keybind_set_table(table);
}

int main(int argc, char** argv) {
  int mode = argc > 1 ? atoi(argv[1]) : DISPLAY_WINDOWED;
  bool input = argc > 2 && strcmp(argv[2], "input") == 0;
  event_bus_start();
  if (!input) event_subscribe(log_event);
  Window window;
  if (!window_create(&window, 640, 480, 0, 0, mode, -1, 0, "Ostrevane Client") ||
      !window_set_display_mode(&window)) {
    fprintf(stderr, "window failed\n");
    return 1;
  }
  window_place_and_show(&window);
  static InputPrinter printer;
  if (input) {
    mouse_set_sensitivity(1.0f);
    mouse_start(&window);
    input_start();
    keybind_init();
    keybind_start();
    input_apply_bindings(argc, argv);
  }
  printf("ready\n");
  fflush(stdout);
  int code = 0;
  for (bool quit = false; !quit;) {
    if (window_pump_messages(&window, &code)) quit = true;
    if (input) {
      mouse_update();
      input_update();
      keybind_frame();
      input_print_frame(&printer);
    }
    event_dispatch();
    sleep_ms(2);
  }
  if (input) {
    keybind_shutdown();
    input_stop();
    mouse_stop();
  }
  window_destroy(&window);
  event_bus_stop();
  printf("quit %d\n", code);
  return code;
}
