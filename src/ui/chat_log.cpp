#include "ui/chat_log.h"

#include <cstring>

#include "base/utf8.h"
#include "ui/text_layout.h"

static ChatLog g_logs[CHAT_LOG_COUNT];

static const UiColour kStyleColours[CHAT_STYLE_COUNT] = {
    {1, 1, 1, 1},        // say
    {1, 1, 0, 1},        // info
    {1, 0, 0, 1},        // system
    {1, 0, 1, 1},        // whisper
    {1, 0.6471f, 0, 1},  // notice
    {0.5f, 1, 0, 1},     // lime
    {0, 1, 0, 1},        // green
    {0, 1, 1, 1},        // cyan
};

ChatLog* chat_log(int32_t log) {
  if (log < 0 || log >= CHAT_LOG_COUNT) return nullptr;
  return &g_logs[log];
}

void chat_log_clear(ChatLog* log) {
  if (!log) return;
  log->next = 0;
  log->count = 0;
  log->scroll = 0;
}

const ChatLine* chat_log_line(const ChatLog* log, int32_t age) {
  if (!log || age < 0 || age >= log->count) return nullptr;
  int32_t index = (log->next - 1 - age + 2 * CHAT_LOG_LINES) % CHAT_LOG_LINES;
  return &log->lines[index];
}

int32_t chat_text_has_link(const char* text) {
  if (!text) return 0;
  const char* cursor = text;
  while (*cursor) {
    uint32_t code_point = utf8_decode_lenient(&cursor);
    if (code_point >= TEXT_LINK_FIRST && code_point <= TEXT_LINK_LAST) return 1;
  }
  return 0;
}

static void push_line(ChatLog* log, const char* bytes, uint32_t length, int32_t style, uint32_t entity) {
  ChatLine* line = &log->lines[log->next];
  memcpy(line->text, bytes, length);
  line->text[length] = 0;
  line->style = style;
  line->entity = entity;
  line->has_link = chat_text_has_link(line->text);
  log->next = (log->next + 1) % CHAT_LOG_LINES;
  if (log->count < CHAT_LOG_LINES) log->count++;
}

static int32_t is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

void chat_add_text_ref(int32_t log_id, const char* text, int32_t style, uint32_t entity) {
  ChatLog* log = chat_log(log_id);
  if (!log || !text || style < 0 || style >= CHAT_STYLE_COUNT) return;
  const char* part = text;
  while (*part) {
    const char* end = strchr(part, '\n');
    uint32_t length = end ? (uint32_t)(end - part) : (uint32_t)strlen(part);
    while (length > CHAT_LINE_BYTES) {
      // Cut before a character that would be split; invalid text moves back at most three.
      uint32_t cut = CHAT_LINE_BYTES;
      while (cut > CHAT_LINE_BYTES - 3 && is_continuation((uint8_t)part[cut])) cut--;
      push_line(log, part, cut, style, entity);
      part += cut;
      length -= cut;
    }
    if (length > 0) push_line(log, part, length, style, entity);
    if (!end) break;
    part = end + 1;
  }
}

void chat_add_text(int32_t log, const char* text, int32_t style) { chat_add_text_ref(log, text, style, 0); }

void chat_add_buffer(int32_t log_id, const uint32_t* code_points, uint32_t count, int32_t style) {
  ChatLog* log = chat_log(log_id);
  if (!log || (!code_points && count) || style < 0 || style >= CHAT_STYLE_COUNT) return;
  char line[CHAT_LINE_BYTES + 1];
  uint32_t length = 0;
  for (uint32_t i = 0; i < count; i++) {
    if (code_points[i] == '\n') {
      if (length) push_line(log, line, length, style, 0);
      length = 0;
      continue;
    }
    uint8_t bytes[4];
    int size = utf8_encode(code_points[i], bytes);
    if (size == 0) continue;
    if (length + (uint32_t)size > CHAT_LINE_BYTES) {
      push_line(log, line, length, style, 0);
      length = 0;
    }
    memcpy(line + length, bytes, (size_t)size);
    length += (uint32_t)size;
  }
  if (length) push_line(log, line, length, style, 0);
}

UiColour chat_style_colour(int32_t style) {
  if (style < 0 || style >= CHAT_STYLE_COUNT) return UiColour{1, 1, 1, 1};
  return kStyleColours[style];
}

UiStyle chat_style_make(const UiStyle* base, int32_t style) {
  UiStyle made = {};
  if (base) made = *base;
  made.flags |= UI_STYLE_WRAP;
  made.text_colour = chat_style_colour(style);
  return made;
}
