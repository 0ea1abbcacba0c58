#pragma once
// Internal to the chat: running a command row, and the unknown-command lines.
#include <cstdint>

void chat_command_run(int32_t row, const char* rest, const char* const* args, int32_t count);
// The unknown-command line, then the suggestion for the typed word when one is near enough.
void chat_command_unknown(const char* typed);
