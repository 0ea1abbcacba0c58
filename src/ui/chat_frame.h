#pragma once
// The chat's windows in the in-game frame (declared between ui_begin_frame and ui_end_frame,
// after chat_frame_keys):
// - the two logs as clipped, pass-through list windows (layer 2) whose lines are labels in
//   their chat style, declared newest first so they stack upwards from the bottom; lines that
//   hold links get the link callbacks (colour by hover and entity, hover, click);
// - beside each log a column of three scroll buttons (older, newer, newest), in the interface
//   styles 31, 32 and 38, with the ids chat_scroll_button_id gives;
// - while the input is open, its background box (style 22) and over it the text field on the
//   input buffer, focused, whose caret shows during the first third of each 2/3 s.
// Scrolling reads the log's counter through the list's scroll getter, in lines of the label
// font, so the counter stays within the lines hidden. Main thread only.
#include <cstdint>

enum : uint32_t {
  CHAT_WINDOW_MAIN = 0xC4A70000u,
  CHAT_WINDOW_SECOND = 0xC4A70001u,
  CHAT_WINDOW_MAIN_BUTTONS = 0xC4A70002u,
  CHAT_WINDOW_SECOND_BUTTONS = 0xC4A70003u,
  CHAT_WINDOW_INPUT = 0xC4A70004u,
  CHAT_FIELD_ID = 0xC4A70010u,
  CHAT_LINE_ID_BASE = 0xC4A71000u,  // + log * 0x100 + age
};
enum : int32_t { CHAT_BUTTON_SIZE = 16, CHAT_BUTTON_GAP = 4 };

// Declares the chat for a frame `frame_width` pixels wide, with CHAT_LINES from the settings.
void chat_declare(int32_t frame_width);
// The same with the visible-line setting given (benchmarks, tests).
void chat_declare_lines(int32_t frame_width, int32_t chat_lines);

// The label id of the line `age` steps back in a log, and the way back (0 when not a line id).
uint32_t chat_line_id(int32_t log, int32_t age);
int32_t chat_line_of_id(uint32_t id, int32_t* log, int32_t* age);
