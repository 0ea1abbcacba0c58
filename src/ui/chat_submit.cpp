#include <cstring>

#include "net/opcodes.h"
#include "net/payloads.h"
#include "ui/chat.h"
#include "ui/chat_commands.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"
#include "ui/chat_text.h"

enum { CHAT_PLAIN_CHANNEL = 3 };

// UTF-8 of code points, stopping before the first that would pass `size - 1` bytes.
static void to_utf8(const uint32_t* points, uint32_t count, char* out, uint32_t size) {
  Text view = {};
  view.code_points = const_cast<uint32_t*>(points);
  view.count = count;
  text_to_utf8(&view, out, size);
}

void chat_submit(void) {
  ChatInput* input = chat_input();
  Text* buffer = input->buffer;
  if (!buffer || buffer->count == 0) {
    chat_input_close();
    return;
  }
  const uint32_t* points = buffer->code_points;
  uint32_t count = buffer->count;
  if (points[0] != '/') {
    char text[CHAT_INPUT_BYTES + CHAT_INPUT_LINK_EXTRA + 1024];
    to_utf8(points, count, text, sizeof text);
    OutIntText record = {CHAT_PLAIN_CHANNEL, text};
    chat_input_close();
    chat_send(OUT_WORLD_CHAT, &record);
    return;
  }
  uint32_t start = 0;
  while (start < count && (points[start] == '/' || chat_is_space(points[start]))) start++;
  uint32_t matched = 0;
  int32_t row = chat_command_match(points + start, count - start, &matched);
  if (row < 0) {
    uint32_t end = start;
    while (end < count && !chat_is_space(points[end])) end++;
    char typed[CHAT_LINE_BYTES + 1];
    to_utf8(points + start, end - start, typed, sizeof typed);
    chat_input_close();
    chat_command_unknown(typed);
    return;
  }
  // The word becomes a blank, which the trim removes: the rest is what followed the word.
  uint32_t first = start + matched, last = count;
  while (first < last && chat_is_space(points[first])) first++;
  while (last > first && chat_is_space(points[last - 1])) last--;
  char rest[CHAT_LINE_BYTES + 1];
  to_utf8(points + first, last - first, rest, sizeof rest);
  ChatArgs args;
  chat_split_args(rest, &args);
  // The buffer may change under the command (a macro, a cleared input): close first.
  chat_input_close();
  chat_command_run(row, rest[0] ? rest : nullptr, args.values, args.count);
}
