#pragma once
// The two chat logs: rings of 128 lines of at most 256 bytes of UTF-8 each, with a scroll
// counter in lines (0 shows the newest lines). Text is split into lines at line feeds
// (empty parts skipped) and wherever a line would pass 256 bytes; a cut never splits a
// UTF-8 sequence (it moves back by up to three bytes), so a line always holds whole
// characters unless the text itself was not valid UTF-8. Lines keep their style, whether they
// contain a link opening marker, and the entity their links refer to (0: none).
// Main thread only.
#include <cstdint>

#include "ui/ui_records.h"

enum { CHAT_LINE_BYTES = 256, CHAT_LOG_LINES = 128 };

enum ChatLogId : int32_t { CHAT_LOG_MAIN = 0, CHAT_LOG_SECOND = 1, CHAT_LOG_COUNT = 2 };

// The chat styles: copies of interface style 9 with word wrap and their own text colour.
enum ChatStyle : int32_t {
  CHAT_STYLE_SAY = 0,      // types 3 and 8, unknown types
  CHAT_STYLE_INFO = 1,     // types 0 and 2; help, lists, macro output
  CHAT_STYLE_SYSTEM = 2,   // types 1 and 6; every refusal and usage line
  CHAT_STYLE_WHISPER = 3,  // type 4
  CHAT_STYLE_NOTICE = 4,   // type 5
  CHAT_STYLE_LIME = 5,     // other modules' lines
  CHAT_STYLE_GREEN = 6,
  CHAT_STYLE_CYAN = 7,  // type 7
  CHAT_STYLE_COUNT = 8,
};

struct ChatLine {
  int32_t style;
  int32_t has_link;
  uint32_t entity;
  char text[CHAT_LINE_BYTES + 1];
};

struct ChatLog {
  ChatLine lines[CHAT_LOG_LINES];
  int32_t next;   // ring index written next
  int32_t count;  // lines held, at most CHAT_LOG_LINES
  int32_t scroll;
};

// The log of an id (null for an id out of range).
ChatLog* chat_log(int32_t log);
void chat_log_clear(ChatLog* log);
// The line `age` steps back from the newest (0: newest); null past the held lines.
const ChatLine* chat_log_line(const ChatLog* log, int32_t age);

// Appends a line per line-feed part of the text (see above). Null text or style out of range
// appends nothing.
void chat_add_text(int32_t log, const char* text, int32_t style);
// As chat_add_text, with the entity the lines' links refer to.
void chat_add_text_ref(int32_t log, const char* text, int32_t style, uint32_t entity);
// Code points converted to UTF-8: a new line at each line feed and before a character that
// would pass 256 bytes; empty lines are skipped and unencodable code points dropped.
void chat_add_buffer(int32_t log, const uint32_t* code_points, uint32_t count, int32_t style);

// The text colour of a chat style (white for a style out of range).
UiColour chat_style_colour(int32_t style);
// The chat style built from the interface's style 9: word wrap added, the colour replaced.
UiStyle chat_style_make(const UiStyle* base, int32_t style);

// 1 when the UTF-8 text holds a link opening marker (U+F0001 ... U+FFFFF).
int32_t chat_text_has_link(const char* text);
