#include "ui/chat_text.h"

#include <cstring>

#include "assets/locale.h"
#include "assets/locale_keys.h"
#include "base/strings.h"
#include "base/utf8.h"
#include "ui/chat_log.h"
#include "ui/text_layout.h"

int32_t chat_is_space(uint32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Appends up to `length` bytes, never splitting a character at the end of the room; 0 when
// the bytes did not all fit (the line ends there).
static int32_t put(char* out, uint32_t size, uint32_t* at, const char* bytes, uint32_t length) {
  uint32_t room = *at + 1 < size ? size - 1 - *at : 0;
  int32_t whole = length <= room;
  if (!whole) {
    length = room;
    uint32_t floor = room > 3 ? room - 3 : 0;
    while (length > floor && (bytes[length] & 0xC0) == 0x80) length--;
  }
  memcpy(out + *at, bytes, length);
  *at += length;
  out[*at] = 0;
  return whole;
}

uint32_t chat_format(char* out, uint32_t size, const char* templ, const char* name, const char* text) {
  if (!out || size == 0) return 0;
  out[0] = 0;
  if (!templ) return 0;
  if (!name) name = "";
  if (!text) text = "";
  const char* name_token = locale_string(LOCALE_KEY_NAME_TOKEN);
  const char* text_token = locale_string(LOCALE_KEY_TEXT_TOKEN);
  const char* name_at = name_token[0] ? strstr(templ, name_token) : nullptr;
  const char* text_at = text_token[0] ? strstr(templ, text_token) : nullptr;
  uint32_t name_len = (uint32_t)strlen(name_token), text_len = (uint32_t)strlen(text_token);
  // Overlapping tokens: the earlier one is replaced, the other is left as it stands.
  if (name_at && text_at) {
    if (name_at < text_at && text_at < name_at + name_len)
      text_at = nullptr;
    else if (text_at < name_at && name_at < text_at + text_len)
      name_at = nullptr;
  }
  uint32_t at = 0;
  const char* cursor = templ;
  int32_t fits = 1;
  while (*cursor && fits) {
    if (cursor == name_at) {
      fits = put(out, size, &at, name, (uint32_t)strlen(name));
      cursor += name_len;
    } else if (cursor == text_at) {
      fits = put(out, size, &at, text, (uint32_t)strlen(text));
      cursor += text_len;
    } else {
      const char* stop = nullptr;
      if (name_at && name_at > cursor) stop = name_at;
      if (text_at && text_at > cursor && (!stop || text_at < stop)) stop = text_at;
      const char* next = stop ? stop : cursor + strlen(cursor);
      fits = put(out, size, &at, cursor, (uint32_t)(next - cursor));
      cursor = next;
    }
  }
  return at;
}

void chat_show_key(uint32_t key, int32_t style) {
  const char* text = locale_string(key);
  if (text[0]) chat_add_text(CHAT_LOG_MAIN, text, style);
}

void chat_show_key_with(uint32_t key, const char* name, const char* text, int32_t style) {
  const char* templ = locale_string(key);
  if (!templ[0]) return;
  char line[CHAT_FORMAT_BYTES];
  chat_format(line, sizeof line, templ, name, text);
  if (line[0]) chat_add_text(CHAT_LOG_MAIN, line, style);
}

int32_t chat_edit_distance(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  uint32_t n = (uint32_t)strnlen(a, 256), m = (uint32_t)strnlen(b, 256);
  uint16_t row[257];
  for (uint32_t j = 0; j <= m; j++) row[j] = (uint16_t)j;
  for (uint32_t i = 1; i <= n; i++) {
    uint16_t diagonal = row[0];
    row[0] = (uint16_t)i;
    for (uint32_t j = 1; j <= m; j++) {
      uint16_t above = row[j];
      uint16_t best = (uint16_t)(diagonal + (a[i - 1] != b[j - 1]));
      if (above + 1 < best) best = (uint16_t)(above + 1);
      if (row[j - 1] + 1 < best) best = (uint16_t)(row[j - 1] + 1);
      row[j] = best;
      diagonal = above;
    }
  }
  return row[m];
}

int32_t chat_split_args(const char* rest, ChatArgs* args) {
  if (!args) return 0;
  args->count = 0;
  if (!rest) return 0;
  const char* cursor = rest;
  while (*cursor && args->count < CHAT_ARGS_MAX) {
    while (*cursor && chat_is_space((uint8_t)*cursor)) cursor++;
    if (!*cursor) break;
    const char* start = cursor;
    int32_t in_link = 0;
    while (*cursor) {
      if (!in_link && chat_is_space((uint8_t)*cursor)) break;
      const char* before = cursor;
      uint32_t code_point = utf8_decode_lenient(&cursor);
      if (code_point >= TEXT_LINK_FIRST && code_point <= TEXT_LINK_LAST)
        in_link = 1;
      else if (code_point == TEXT_LINK_CLOSE)
        in_link = 0;
      if (cursor == before) break;
    }
    char* slot = args->text[args->count];
    uint32_t length = (uint32_t)(cursor - start);
    if (length > 256) {
      length = 256;
      while (length > 253 && (start[length] & 0xC0) == 0x80) length--;
    }
    memcpy(slot, start, length);
    slot[length] = 0;
    args->values[args->count] = slot;
    args->count++;
  }
  return args->count;
}
