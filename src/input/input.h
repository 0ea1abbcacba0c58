#pragma once
// Per-frame input state: what game code asks about keys, mouse buttons, axes and typed text.
//
// Key, button, axis and text events from the event bus wait in queues until input_update,
// which applies them once per frame. Every state change stays visible for one whole frame:
// a change for a key that already changed in the current frame waits for the next one, so a
// press and release within one frame's messages read as pressed, held, released on three
// frames. Key and button states: 0 up, 2 pressed, 1 held, 3 released, each stamped with the
// input frame of its last change. Axes: 0 wheel (one notch of +1 or -1 per frame; notches
// waiting for later frames are capped at 32), 1 and 2 motion (summed within a frame). At most
// 512 key and 512 button events wait; beyond that new ones are dropped.
// Before input_start every query answers 0 and input_update does nothing.
#include <cstdint>

enum : int {
  INPUT_KEY_COUNT = 121,
  INPUT_BUTTON_COUNT = 3,
  INPUT_AXIS_COUNT = 3,
  INPUT_WHEEL_WAITING_MAX = 32,
  INPUT_QUEUE_MAX = 512
};

void input_start(void);
void input_stop(void);
// The per-frame step: frame number, keys, buttons, axes, Ctrl+V paste, text.
void input_update(void);
void input_on_event(uint32_t event, const void* data);
// Every key, button and axis state to 0 (stamps kept), repeat stamps to 0, queues emptied.
void input_reset(void);

// What Ctrl+V calls (null: the clipboard paste, whose text arrives as text events).
void input_set_paste(void (*paste)(void));

uint32_t input_frame_number(void);
// Codes outside 0..120 give 0.
int key_down(uint32_t code);
int key_pressed(uint32_t code);
int key_released(uint32_t code);
int key_pressed_or_repeated(uint32_t code);
// Raw state 0..3 (for tests and checks).
int key_state(uint32_t code);
// Buttons 0 left, 1 right, 2 middle; others give 0.
int button_down(uint32_t button);
int button_pressed(uint32_t button);
int button_released(uint32_t button);
int button_state(uint32_t button);
// A module that consumed a click clears it so that others do not see it (stamp kept).
void button_clear(uint32_t button);
// The axis value when it changed in this frame, else 0.
float axis_value(uint32_t axis);
// Next code point typed in the previous frame, 0 when none is left. Bytes that do not
// decode are skipped.
uint32_t text_next_char(void);
// Bytes reserved by the payload arena (for tests and checks).
uint64_t input_arena_reserved(void);

// Whether a text field has the keyboard focus: answered by a query the interface installs
// (null: no field ever has it).
typedef int (*InputTextFocusQuery)(void);
void input_set_text_focus_query(InputTextFocusQuery query);
int input_text_focused(void);
