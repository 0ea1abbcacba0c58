#pragma once
// Text helpers of the chat: locale templates with a name and a text token, lines shown from
// locale keys, the byte-wise edit distance used for command suggestions, and splitting a
// command's rest of line into arguments.
//
// Templates: the first occurrence of the name token (the text of LOCALE_KEY_NAME_TOKEN) and
// of the text token (LOCALE_KEY_TEXT_TOKEN) are each replaced once, in a single pass over the
// template, so a name that itself holds a token is never substituted again. An empty token
// text replaces nothing. A key without a text shows nothing.
#include <cstdint>

constexpr uint32_t LOCALE_KEY_TEXT_TOKEN = 0x502F7DD8u;

enum { CHAT_ARGS_MAX = 8, CHAT_FORMAT_BYTES = 1024 };

// Writes the template with its tokens replaced into out (size bytes, always terminated, cut
// at a character boundary). Null name or text substitute "". Returns the bytes written.
uint32_t chat_format(char* out, uint32_t size, const char* templ, const char* name, const char* text);

// A line of the key's text in the style on the main log (nothing when the text is empty).
void chat_show_key(uint32_t key, int32_t style);
// The same with the tokens replaced (either may be null).
void chat_show_key_with(uint32_t key, const char* name, const char* text, int32_t style);

// Levenshtein distance over bytes (insert, delete, substitute cost 1). Null reads as "".
// Strings longer than 256 bytes are read as their first 256.
int32_t chat_edit_distance(const char* a, const char* b);

// The arguments of a rest of line: split at ASCII white space, except inside a link (from
// an opening marker to its closing marker); at most CHAT_ARGS_MAX kept, each copied into
// args[i] (at most 256 bytes, cut at a character boundary). Returns the count.
struct ChatArgs {
  char text[CHAT_ARGS_MAX][257];
  const char* values[CHAT_ARGS_MAX];
  int32_t count;
};
int32_t chat_split_args(const char* rest, ChatArgs* args);

// 1 for the ASCII white-space bytes (space, tab, line feed, vertical tab, form feed, return).
int32_t chat_is_space(uint32_t c);
