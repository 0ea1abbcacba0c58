// Arbitrary event streams through the input state and the key bindings, frame by frame.
// The bytes are 7-byte records: operation, code, action, then four payload bytes (a float for
// axes). Operations: key, mouse button, axis, text byte, deactivation (through the event
// bus), frame (input_update then keybind_frame), switches (text focus, bindings enabled,
// button_clear, input_reset, keybind_reset) and any other event number with any payload.
// Codes reach past the valid ranges and actions run 0..9.
// After every frame (a reset, a deactivation or a cleared click starts afresh): no key, button or binding
// state outside 0..3; key_pressed, button_pressed and binding_triggered never hold on two frames in a row; a
// pressed key is down; the payload arena stays within a bound set by the largest burst of events between two
// frames.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/event_bus.h"
#include "input/input.h"
#include "input/keybind.h"

namespace {

int g_focused;
int focus_query(void) { return g_focused; }

struct Previous {
  bool key_pressed[INPUT_KEY_COUNT];
  bool button_pressed[INPUT_BUTTON_COUNT];
  bool binding_triggered[KEYBIND_COUNT];
};

void check_frame(Previous* prev, uint64_t burst_max) {
  for (uint32_t k = 0; k < INPUT_KEY_COUNT; k++) {
    int pressed = key_pressed(k);
    if (key_state(k) < 0 || key_state(k) > 3) abort();
    if (pressed && prev->key_pressed[k]) abort();
    if (pressed && !key_down(k)) abort();
    prev->key_pressed[k] = pressed;
  }
  for (uint32_t b = 0; b < INPUT_BUTTON_COUNT; b++) {
    int pressed = button_pressed(b);
    if (button_state(b) < 0 || button_state(b) > 3) abort();
    if (pressed && prev->button_pressed[b]) abort();
    prev->button_pressed[b] = pressed;
  }
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    int triggered = binding_triggered(i);
    if (binding_state(i) < 0 || binding_state(i) > 3) abort();
    if (triggered && prev->binding_triggered[i]) abort();
    prev->binding_triggered[i] = triggered;
  }
  // Waiting events are at most the capped key and button queues and the capped wheel
  // notches; everything else is applied within the frame. Payloads take 8 bytes each, and
  // the arena's blocks at most double what they hold.
  uint64_t waiting = 2 * INPUT_QUEUE_MAX + INPUT_WHEEL_WAITING_MAX;
  if (input_arena_reserved() > 4 * 8 * (burst_max + waiting) + 8192) abort();
  for (int n = 0; text_next_char() != 0; n++)
    if (n > 1 << 20) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  event_bus_start();
  input_start();
  input_set_paste([] {});
  input_set_text_focus_query(focus_query);
  keybind_init();
  keybind_start();
  g_focused = 0;

  Previous prev = {};
  uint64_t burst = 0, burst_max = 0;
  for (size_t at = 0; at + 7 <= size; at += 7) {
    const uint8_t* r = data + at;
    uint32_t code = r[1], action = r[2] % 10;
    uint8_t payload[8];
    memcpy(payload, &code, 4);
    memcpy(payload + 4, r + 3, 4);
    burst++;
    switch (r[0] % 8) {
      case 0: {
        EventKey e = {code, action};
        input_on_event(EVENT_KEY, &e);
        break;
      }
      case 1: {
        EventButton e = {code % 8, action};
        input_on_event(EVENT_MOUSE_BUTTON, &e);
        break;
      }
      case 2: {
        EventAxis e = {code % 5, 0.0f};
        memcpy(&e.value, r + 3, 4);
        input_on_event(EVENT_AXIS, &e);
        break;
      }
      case 3:
        input_on_event(EVENT_TEXT, r + 1);
        break;
      case 4:
        event_post_copy(EVENT_DEACTIVATE, nullptr, 0);
        event_dispatch();
        prev = {};
        break;
      case 5:
        input_update();
        keybind_frame();
        burst_max = burst > burst_max ? burst : burst_max;
        burst = 0;
        check_frame(&prev, burst_max);
        break;
      case 6:
        g_focused = code & 1;
        keybind_set_enabled(!(code & 2));
        // A cleared click or a reset state may be pressed again in the next frame.
        if (code & 4) button_clear(action % 4);
        if (code & 8) input_reset();
        if (code & 12) prev = {};
        if (code & 16) keybind_reset();
        break;
      default:
        input_on_event(code, action & 1 ? nullptr : payload);
        if (code == EVENT_DEACTIVATE) prev = {};
        break;
    }
  }

  keybind_shutdown();
  input_set_text_focus_query(nullptr);
  input_set_paste(nullptr);
  input_stop();
  event_bus_stop();
  return 0;
}
