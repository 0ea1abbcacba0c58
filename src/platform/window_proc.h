#pragma once
// The window procedure: one window message in, event-bus events out.
//
// Keys post (code, 2) then (code, 1) on a press and mark the key; an auto-repeat posts only
// (code, 4); a release posts (code, 3), preceded by 2 and 1 when the press was never seen.
// Buttons post 2 then 1 on press and 3 on release and take the mouse capture while held;
// losing the capture releases every held button, left before right before middle. The
// wheel posts axis 0 at +1 or -1 per notch (a message without vertical movement posts
// nothing). Text arrives as UTF-16 units (surrogate pairs joined) or as UTF-8 bytes and is
// posted one UTF-8 byte per event.
#include <cstdint>

#include "platform/window.h"

enum WindowMessageKind : uint32_t {
  WMSG_NONE,
  WMSG_QUIT,          // code: the exit code
  WMSG_CLOSE,         // the player asked to close the window
  WMSG_KEY_DOWN,      // param: key message parameter (keymap.h)
  WMSG_KEY_UP,        // param: key message parameter
  WMSG_CHAR,          // param: one UTF-16 unit; code: repeat count
  WMSG_TEXT,          // text/length: UTF-8 bytes
  WMSG_BUTTON_DOWN,   // param: 0 left, 1 right, 2 middle
  WMSG_BUTTON_UP,     // param: as above
  WMSG_WHEEL,         // code: signed wheel delta
  WMSG_KILL_FOCUS,    // keyboard focus lost
  WMSG_CAPTURE_LOST,  // the system took the mouse capture away
  WMSG_ACTIVATE,      // param: 1 active, 0 inactive
  WMSG_ACTIVATE_APP,  // param: 1 the client gains the foreground, 0 loses it
  WMSG_SET_CURSOR,    // param: 1 over the client area
  WMSG_SIZE,          // x, y: new client size; param: 1 when minimised
  WMSG_SETTINGS_CHANGE,
};

struct WindowMessage {
  uint32_t kind;
  uint32_t param;
  int32_t code;
  int32_t x, y;
  uint32_t length;
  uint8_t text[32];
};

void window_proc(Window* window, const WindowMessage* message);

// Posts the bytes of one code point (as UTF-8) repeat times.
void window_post_code_point(uint32_t code_point, int repeat);
// Code point of the next UTF-16 unit or surrogate pair, advancing the cursor; 0 at the
// terminator or at a malformed surrogate, which also ends the text.
uint32_t utf16_next(const uint16_t** cursor);
