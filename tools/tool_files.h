#pragma once
// File helpers shared by the command-line tools (whole-file read and write, paths).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

bool tool_read_file(const char* path, std::vector<uint8_t>* out);
// Writes and closes, checking every step.
bool tool_write_file(const char* path, const void* data, size_t size);
// The lines of a text file, without their line ends ("\n" or "\r\n"); line i is number i + 1.
std::vector<std::string> tool_split_lines(const std::vector<uint8_t>& bytes);
// The folder part of a path ("" for a bare name).
std::string tool_directory_of(const std::string& path);
// base + "/" + name; name unchanged when it is absolute or base is empty.
std::string tool_join(const std::string& base, const std::string& name);
