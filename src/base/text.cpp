#include "base/text.h"

#include <cstdio>
#include <cstring>

#include "base/fatal.h"
#include "base/mem.h"
#include "base/utf8.h"

Text* text_create(uint32_t capacity) {
  if (capacity == 0) capacity = 1;
  Text* text = (Text*)mem_calloc(1, sizeof(Text));
  text->capacity = capacity;
  text->code_points = (uint32_t*)mem_alloc((size_t)capacity * sizeof(uint32_t));
  return text;
}

void text_destroy(Text* text) {
  if (!text) return;
  mem_free(text->code_points);
  mem_free(text->scratch_bytes);
  mem_free(text->scratch_code_points);
  mem_free(text);
}

void text_clear(Text* text) {
  if (text) text->count = 0;
}

void text_wipe(Text* text) {
  if (!text) return;
  // volatile so the compiler keeps the stores even though the memory is not read again.
  volatile uint32_t* p = text->code_points;
  for (uint32_t i = 0; i < text->count; i++) p[i] = 0;
  text->count = 0;
}

static void text_reserve(Text* text, size_t n) {
  if ((size_t)text->capacity - text->count >= n) return;
  size_t capacity = 2 * (size_t)text->count + 2 * n;
  if (capacity > UINT32_MAX) fatal_exit("Out of memory - the application will now close.");
  text->code_points = (uint32_t*)mem_realloc(text->code_points, capacity * sizeof(uint32_t));
  text->capacity = (uint32_t)capacity;
}

static void text_reserve_scratch(Text* text, size_t n) {
  if (n < 64) n = 64;
  if (text->scratch_capacity >= n) return;
  if (n > UINT32_MAX) fatal_exit("Out of memory - the application will now close.");
  text->scratch_bytes = (uint8_t*)mem_realloc(text->scratch_bytes, n);
  text->scratch_code_points = (uint32_t*)mem_realloc(text->scratch_code_points, n * sizeof(uint32_t));
  text->scratch_capacity = (uint32_t)n;
}

// Inserts n code points at index (index <= count).
static void text_insert_many(Text* text, uint32_t index, const uint32_t* cps, size_t n) {
  if (n == 0) return;
  text_reserve(text, n);
  memmove(text->code_points + index + n, text->code_points + index,
          (size_t)(text->count - index) * sizeof(uint32_t));
  memcpy(text->code_points + index, cps, n * sizeof(uint32_t));
  text->count += (uint32_t)n;
}

// Decodes a UTF-8 string into the scratch code points; returns how many.
static size_t text_decode_to_scratch(Text* text, const char* string) {
  text_reserve_scratch(text, strlen(string));
  size_t n = 0;
  uint32_t c;
  while ((c = utf8_decode(&string)) != 0) text->scratch_code_points[n++] = c;
  return n;
}

uint32_t text_append_utf8(Text* text, const char* string) {
  if (!text) return 0;
  text_insert_utf8(text, text->count, string);
  return text->count;
}

uint32_t text_append_ascii(Text* text, const char* string) {
  if (!text) return 0;
  if (!string) return text->count;
  size_t n = strlen(string);
  text_reserve_scratch(text, n);
  for (size_t i = 0; i < n; i++) text->scratch_code_points[i] = (uint8_t)string[i];
  text_insert_many(text, text->count, text->scratch_code_points, n);
  return text->count;
}

uint32_t text_append_int(Text* text, int32_t value) {
  if (!text) return 0;
  char digits[16];
  snprintf(digits, sizeof digits, "%d", value);
  return text_append_ascii(text, digits);
}

uint32_t text_append_uint(Text* text, uint32_t value) {
  if (!text) return 0;
  char digits[16];
  snprintf(digits, sizeof digits, "%u", value);
  return text_append_ascii(text, digits);
}

uint32_t text_append_char(Text* text, int value) {
  if (!text) return 0;
  uint32_t c = (uint8_t)value;
  if (c) text_insert_many(text, text->count, &c, 1);
  return text->count;
}

void text_append_codepoint(Text* text, uint32_t code_point) {
  if (text && code_point) text_insert_many(text, text->count, &code_point, 1);
}

void text_insert_codepoint(Text* text, uint32_t index, uint32_t code_point) {
  if (!text || index > text->count || code_point == 0) return;
  text_insert_many(text, index, &code_point, 1);
}

void text_insert_utf8(Text* text, uint32_t index, const char* string) {
  if (!text || !string || index > text->count) return;
  size_t n = text_decode_to_scratch(text, string);
  text_insert_many(text, index, text->scratch_code_points, n);
}

int text_remove_at(Text* text, uint32_t index) {
  if (!text || index >= text->count) return 0;
  memmove(text->code_points + index, text->code_points + index + 1,
          (size_t)(text->count - index - 1) * sizeof(uint32_t));
  text->count--;
  return 1;
}

int text_replace_utf8(Text* text, const char* find, const char* replacement) {
  if (!text || !find) return 0;
  size_t n = text_decode_to_scratch(text, find);
  if (n == 0 || n > text->count) return 0;
  for (size_t at = 0; at + n <= text->count; at++) {
    if (memcmp(text->code_points + at, text->scratch_code_points, n * sizeof(uint32_t)) != 0) continue;
    memmove(text->code_points + at, text->code_points + at + n, (text->count - at - n) * sizeof(uint32_t));
    text->count -= (uint32_t)n;
    if (replacement) text_insert_utf8(text, (uint32_t)at, replacement);
    return 1;
  }
  return 0;
}

static int text_is_space(uint32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void text_trim_left(Text* text) {
  if (!text) return;
  uint32_t n = 0;
  while (n < text->count && text_is_space(text->code_points[n])) n++;
  memmove(text->code_points, text->code_points + n, (size_t)(text->count - n) * sizeof(uint32_t));
  text->count -= n;
}

void text_trim_right(Text* text) {
  if (!text) return;
  while (text->count > 0 && text_is_space(text->code_points[text->count - 1])) text->count--;
}

uint32_t text_copy_codepoints(const Text* text, uint32_t* destination, uint32_t capacity, int32_t first,
                              int32_t last) {
  if (!text || !destination || text->count == 0) return 0;
  int64_t top = (int64_t)text->count - 1;
  int64_t a = first < 0 ? 0 : (first > top ? top : first);
  int64_t b = last < a ? a : (last > top ? top : last);
  uint32_t n = 0;
  for (int64_t i = a; i <= b && n < capacity; i++) destination[n++] = text->code_points[i];
  return n;
}

char* text_to_bytes(const Text* text, char* destination, size_t size) {
  if (!destination || size == 0) return nullptr;
  size_t n = 0;
  if (text)
    for (; n < text->count && n < size - 1; n++) destination[n] = (char)(uint8_t)text->code_points[n];
  destination[n] = 0;
  return destination;
}

char* text_to_utf8(const Text* text, char* destination, size_t size) {
  if (!destination || size == 0) return nullptr;
  size_t used = 0;
  if (text) {
    for (uint32_t i = 0; i < text->count; i++) {
      uint8_t bytes[4];
      int n = utf8_encode(text->code_points[i], bytes);
      if (n == 0) continue;
      if (used + (size_t)n > size - 1) break;
      memcpy(destination + used, bytes, (size_t)n);
      used += (size_t)n;
    }
  }
  destination[used] = 0;
  return destination;
}
