#pragma once
// The chat: two logs (chat_log.h), the input line (chat_input.h), the command interpreter and
// incoming chat messages. Every visible text is a locale string.
//
// Submitting: an empty buffer only closes the input. A buffer that does not start with '/'
// goes to the server as world message 9 {channel 3, text}. Otherwise every leading '/' and
// blank is stripped and the buffer is matched against the command words, case-sensitively,
// as prefixes (the word need not be followed by a blank): the longest match wins, the first
// in table order among equals; a word the locale lacks never matches. No match shows the
// unknown-command line and, when the typed word is within max(2, length / 3) byte edits of a
// command word, a suggestion naming the nearest one. A match calls the command with its rest
// of line (trimmed, at most 256 bytes, null when empty) and up to eight arguments.
// Every refusal is a system-style line and sends nothing.
//
// Incoming messages (types 0-8) are formatted with locale templates; a message is the
// player's own when its sender id is the local player's. Whispers from others play the
// whisper sound at most once per CHAT_WHISPER_QUIET seconds and set the reply target.
#include <cstdint>

#include "net/dispatch.h"
#include "ui/ui_draw.h"

enum { CHAT_COMMAND_COUNT = 67, CHAT_REPLY_BYTES = 256 };
constexpr float CHAT_WHISPER_QUIET = 0.5f;

// Loads the command words from the locale and prepares the input; chat_shutdown releases it.
// Both reset the logs, the reply target and the whisper timer.
void chat_startup(void);
void chat_shutdown(void);
// Reloads the command words (after a locale change).
void chat_commands_load(void);

void chat_submit(void);
// The whisper-sound timer runs down by dt seconds.
void chat_tick(float dt);

void chat_message_received(uint32_t sender_id, const char* sender, int32_t type, const char* text);
// The last whisperer's name ("" when none).
const char* chat_reply_target(void);
float chat_whisper_timer(void);

// Fills the chat's effect slots: chat, notice, group_invite, group_line, group_clear.
void chat_install_effects(NetEffects* effects);
// Empties the slots that still hold the chat's effects (shut-down: no message reaches freed logs).
void chat_remove_effects(NetEffects* effects);

// The command table, for tests and tools: the key of row i, its word (null when the locale
// lacks it), and the row the code points match (-1: none) with the matched length.
uint32_t chat_command_key(int32_t row);
const char* chat_command_word(int32_t row);
int32_t chat_command_match(const uint32_t* code_points, uint32_t count, uint32_t* matched);
// The row whose word is nearest the typed word under the suggestion limit, or -1.
int32_t chat_command_suggest(const char* typed);
// Every locale key the chat reads (count in *count), for the content check.
const uint32_t* chat_locale_keys(uint32_t* count);

// Links in chat lines: the colour of a link (hovered: white; with an entity: green; else
// cyan); remembering the hovered link; a click on a link of a line.
UiColour chat_link_colour(int32_t hovered, uint32_t entity);
void chat_link_hover(int32_t log, int32_t age, uint32_t link, uint64_t frame);
int32_t chat_link_hovered(int32_t log, int32_t age, uint32_t link, uint64_t frame);
void chat_link_click(int32_t log, int32_t age, uint32_t link);
