#pragma once
// The chat input line: a code-point buffer with a caret, open or closed, and the macro
// replay that feeds it. Typed characters are ASCII letters, digits, punctuation and blanks;
// links (an opening marker, the link's text, the closing marker) are inserted whole by the
// client. Every insertion, typed, replayed or inserted, obeys the same room: at most 256
// code points, and a UTF-8 size, plus 40 while the buffer holds a link, of at most 255
// bytes (the wire and the chat line must still hold the text with its link expanded).
// The caret never rests inside a link. Main thread only.
#include <cstdint>

#include "base/text.h"

enum { CHAT_INPUT_CODE_POINTS = 256, CHAT_INPUT_BYTES = 255, CHAT_INPUT_LINK_EXTRA = 40 };

struct ChatInput {
  int32_t open;
  Text* buffer;
  uint32_t caret;
  uint32_t scroll;
  float blink;  // seconds since the caret last restarted
};

ChatInput* chat_input(void);
// Creates the buffer (once); chat_input_shutdown releases it.
void chat_input_startup(void);
void chat_input_shutdown(void);
// Opens with an empty buffer, caret 0 and the blink restarted.
void chat_input_open(void);
void chat_input_close(void);

// 1 when code_point could be inserted into buffer under the rules above (typed characters
// only: markers are refused here).
int32_t chat_input_accepts(const Text* buffer, uint32_t code_point);
// Inserts a typed character at the caret; 1 when accepted.
int32_t chat_input_type(uint32_t code_point);
// Inserts a whole link (opening marker of link_id, its text, closing marker) at the caret
// when it fits; 1 when inserted.
int32_t chat_input_insert_link(uint32_t link_id, const char* text);

// Where a caret at `caret` settles when moved in `direction` (-1 left, +1 right, 0: either,
// nearest start): never between a link's opening and closing markers.
uint32_t chat_caret_settle(const uint32_t* code_points, uint32_t count, uint32_t caret, int32_t direction);

// Replays macro n (1 ... 12): see chat.h.
void chat_macro_run(int32_t n);
