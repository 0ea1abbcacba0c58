#pragma once
// A timed input script for the headless run: key, button and wheel events posted on the event
// bus as the window would post them, each when the run's time since the spawn reaches it.
// One event a line:
//   SECONDS key NAME down|up       NAME: A-Z, 0-9, SPACE, UP, DOWN, LEFT, RIGHT, or a code 1..120
//   SECONDS button 0|1|2 down|up
//   SECONDS wheel 1|-1
// Blank lines and lines starting with '#' are skipped; times are finite, not negative and
// never decrease. A press is posted as pressed then held, as the window does. Main thread.
#include <cstdint>

#include "base/array.h"

enum : uint32_t { HEADLESS_INPUT_KEY = 1, HEADLESS_INPUT_BUTTON, HEADLESS_INPUT_WHEEL };

struct HeadlessInputEvent {
  double at;  // seconds after the spawn
  uint32_t kind;
  uint32_t code;  // key code or button
  int32_t value;  // 1 down, 0 up; the wheel's +1 or -1
};

struct HeadlessInput {
  Array* events;  // HeadlessInputEvent, in time order
  uint32_t next;  // the first event not posted yet
};

// 1 parsed into *out (release with headless_input_free); 0 with the 1-based number of the
// first bad line in *bad_line and nothing to release.
int headless_input_parse(const char* text, HeadlessInput* out, int32_t* bad_line);
void headless_input_free(HeadlessInput* input);
// Posts every event due by `seconds`.
void headless_input_post(HeadlessInput* input, double seconds);
