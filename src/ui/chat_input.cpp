#include "ui/chat_input.h"

#include <cstdio>

#include "base/utf8.h"
#include "settings/settings.h"
#include "ui/chat.h"
#include "ui/chat_log.h"
#include "ui/chat_text.h"
#include "ui/text_layout.h"

constexpr uint32_t LOCALE_KEY_MACRO_EMPTY = 0x34230F89u;

static ChatInput g_input;

ChatInput* chat_input(void) { return &g_input; }

void chat_input_startup(void) {
  if (!g_input.buffer) g_input.buffer = text_create(CHAT_INPUT_CODE_POINTS + 2);
  text_clear(g_input.buffer);
  g_input.open = 0;
  g_input.caret = 0;
  g_input.scroll = 0;
  g_input.blink = 0;
}

void chat_input_shutdown(void) {
  text_destroy(g_input.buffer);
  g_input = ChatInput{};
}

void chat_input_open(void) {
  chat_input_startup();
  g_input.open = 1;
}

void chat_input_close(void) {
  g_input.open = 0;
  if (g_input.buffer) text_clear(g_input.buffer);
  g_input.caret = 0;
  g_input.scroll = 0;
}

static int32_t is_link_marker(uint32_t c) {
  return c == TEXT_LINK_CLOSE || (c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST);
}

static uint32_t utf8_size(uint32_t code_point) {
  uint8_t bytes[4];
  return (uint32_t)utf8_encode(code_point, bytes);
}

// Whether `added` code points of `added_bytes` UTF-8 bytes (with or without a link) fit.
static int32_t room_for(const Text* buffer, uint32_t added, uint32_t added_bytes, int32_t adds_link) {
  uint32_t count = buffer ? buffer->count : 0;
  if (count + added > CHAT_INPUT_CODE_POINTS) return 0;
  uint32_t bytes = added_bytes;
  int32_t link = adds_link;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t c = buffer->code_points[i];
    bytes += utf8_size(c);
    if (c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST) link = 1;
  }
  if (link) bytes += CHAT_INPUT_LINK_EXTRA;
  return bytes <= CHAT_INPUT_BYTES;
}

int32_t chat_input_accepts(const Text* buffer, uint32_t code_point) {
  // Letters, digits, punctuation and blanks: the printable ASCII range plus tab.
  if (!((code_point >= 0x20 && code_point <= 0x7E) || code_point == '\t')) return 0;
  return room_for(buffer, 1, 1, 0);
}

int32_t chat_input_type(uint32_t code_point) {
  if (!g_input.buffer || !chat_input_accepts(g_input.buffer, code_point)) return 0;
  if (g_input.caret > g_input.buffer->count) g_input.caret = g_input.buffer->count;
  text_insert_codepoint(g_input.buffer, g_input.caret, code_point);
  g_input.caret++;
  return 1;
}

int32_t chat_input_insert_link(uint32_t link_id, const char* text) {
  if (!g_input.buffer || link_id == 0 || link_id > TEXT_LINK_LAST - 0xF0000u || !text) return 0;
  uint32_t points[CHAT_INPUT_CODE_POINTS + 2];
  uint32_t count = 0, bytes = 0;
  points[count++] = 0xF0000u + link_id;
  const char* cursor = text;
  while (*cursor) {
    uint32_t c = utf8_decode_lenient(&cursor);
    if (is_link_marker(c) || c == '\n') continue;
    if (count >= CHAT_INPUT_CODE_POINTS) return 0;
    points[count++] = c;
  }
  points[count++] = TEXT_LINK_CLOSE;
  for (uint32_t i = 0; i < count; i++) bytes += utf8_size(points[i]);
  if (!room_for(g_input.buffer, count, bytes, 1)) return 0;
  uint32_t at = chat_caret_settle(g_input.buffer->code_points, g_input.buffer->count, g_input.caret, 0);
  for (uint32_t i = 0; i < count; i++) text_insert_codepoint(g_input.buffer, at + i, points[i]);
  g_input.caret = at + count;
  return 1;
}

uint32_t chat_caret_settle(const uint32_t* code_points, uint32_t count, uint32_t caret, int32_t direction) {
  if (caret > count) caret = count;
  if (!code_points) return caret;
  // The last opening marker before the caret with no closing marker after it, still before.
  int64_t open_at = -1;
  for (uint32_t i = 0; i < caret; i++) {
    uint32_t c = code_points[i];
    if (c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST)
      open_at = i;
    else if (c == TEXT_LINK_CLOSE)
      open_at = -1;
  }
  if (open_at < 0) return caret;
  if (direction <= 0) return (uint32_t)open_at;
  for (uint32_t i = caret; i < count; i++)
    if (code_points[i] == TEXT_LINK_CLOSE) return i + 1;
  return count;
}

// A replayed character: typed characters by the typing rule, link markers by the room rule.
static int32_t feed(uint32_t c) {
  Text* buffer = g_input.buffer;
  int32_t accepted = 0;
  if (is_link_marker(c)) {
    accepted = room_for(buffer, 1, utf8_size(c), c != TEXT_LINK_CLOSE);
    if (accepted) text_append_codepoint(buffer, c);
  } else {
    accepted = chat_input_accepts(buffer, c);
    if (accepted) text_append_codepoint(buffer, c);
  }
  g_input.caret = buffer->count;
  return accepted;
}

void chat_macro_run(int32_t n) {
  char name[16];
  snprintf(name, sizeof name, "MACRO_%d", (int)n);
  const char* text = macro_text(name);
  if (!text || !text[0]) {
    char number[16];
    snprintf(number, sizeof number, "%d", (int)n);
    chat_show_key_with(LOCALE_KEY_MACRO_EMPTY, nullptr, number, CHAT_STYLE_SYSTEM);
    return;
  }
  if (!g_input.open) chat_input_open();
  int32_t in_link = 0;
  const char* cursor = text;
  while (*cursor) {
    uint32_t c = utf8_decode_lenient(&cursor);
    if (g_input.buffer->count == 0 && chat_is_space(c)) continue;
    if (c == '/' && !in_link && g_input.buffer->count > 0) {
      chat_submit();
      chat_input_open();
    }
    if (!feed(c)) continue;
    if (c >= TEXT_LINK_FIRST && c <= TEXT_LINK_LAST)
      in_link = 1;
    else if (c == TEXT_LINK_CLOSE)
      in_link = 0;
  }
  chat_submit();
}
