#pragma once
// Where the chat sits on the game screen, its scroll buttons and counters, the caret blink,
// and the keys the chat answers each frame (the chat key and the twelve macro keys).
//
// Layout for a frame W pixels wide (half width h = W / 2): L = CHAT_LINES clamped to 5 ... 16
// lines; both logs are 15 x L pixels high at y = 87 above the bottom. The main log is anchored
// bottom-left at x = 34, 280 wide up to h = 321, 768 above h = 810, else h - 42; the second
// log bottom-right at x = -34, 280 wide below h = 322, 400 above h = 442, else h - 42. The
// input field lies over its box under the main log, three quarters of its width.
//
// Scrolling: a button id carries the log (bit 0: main) and the direction (0x04 older, 0x08
// newer, neither: newest); a click plays the scroll sound and moves the counter, never below
// 0. The counter is clamped to the lines hidden, round((content - window) / line height).
#include <cstdint>

enum {
  CHAT_LINES_MIN = 5,
  CHAT_LINES_MAX = 16,
  CHAT_LINE_PIXELS = 15,
  CHAT_BOTTOM = 87,
  CHAT_MARGIN = 34,
  CHAT_WINDOW_FLAGS = 0x806,  // list layout, pass-through, clipped
  CHAT_WINDOW_LAYER = 2,
  CHAT_SCROLL_MAIN = 0x01,
  CHAT_SCROLL_OLDER = 0x04,
  CHAT_SCROLL_NEWER = 0x08,
};
constexpr uint32_t LOCALE_KEY_CHAT_SCROLL_SOUND = 0x72C42402u;

struct ChatRect {
  int32_t x, y, width, height;
};

struct ChatLayout {
  int32_t lines;
  ChatRect main_log;    // anchor bottom-left
  ChatRect second_log;  // anchor bottom-right (x counts leftwards from the right edge)
  ChatRect input;       // the text field
  ChatRect input_box;   // its background
};

void chat_layout(int32_t frame_width, int32_t chat_lines, ChatLayout* out);

// Button ids and clicks.
uint32_t chat_scroll_button_id(int32_t log, uint32_t direction);
void chat_scroll_click(uint32_t button_id);
// The scroll fraction of a log (0 when nothing is hidden); the counter is clamped here.
float chat_scroll_fraction(int32_t log, float content_height, float window_height, float line_height);

// 1 while the caret shows: the first third of each 2/3 s period since the blink restarted.
int32_t chat_caret_visible(float blink_seconds);

// The chat's per-frame step before drawing: the whisper timer and caret blink run; the chat key
// submits an open input or opens it (not while another window's text field has the focus);
// the first macro key triggered this frame replays its macro.
void chat_frame_keys(float dt, int32_t other_field_focused);
