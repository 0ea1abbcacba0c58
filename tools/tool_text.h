#pragma once
// Word splitting and number parsing for the tools' text formats. Numbers are read in the C
// locale; unsigned values are decimal or 0x-hex (a leading 0 is not octal); floats must be
// finite.
#include <cstdint>
#include <string>
#include <vector>

// The words of a line, split at spaces and tabs; a # starts a comment that runs to the end.
std::vector<std::string> tool_words(const std::string& line);
bool tool_parse_u32(const std::string& text, uint32_t* out);
bool tool_parse_float(const std::string& text, float* out);
