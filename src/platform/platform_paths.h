#pragma once
// File-system places and folders: the program's own directory, the per-user data folder of
// the product, directory creation and existence tests. Every result is a plain byte string
// with "/" separators and no trailing separator. A result that does not fit the caller's
// buffer is not written partly: the buffer becomes "" and the call returns -1.
#include <cstddef>

// The directory holding the program file. 1, or 0 when it cannot be found.
int platform_base_dir(char* out, size_t size);
// The per-user data folder "Ostrevane" (on Linux $XDG_DATA_HOME/Ostrevane or
// ~/.local/share/Ostrevane), created when missing. 1, or 0 when there is no such folder.
int platform_user_data_dir(char* out, size_t size);
// Creates one directory level. 1 when it was made or already exists as a directory.
int platform_make_dir(const char* path);
// 0 only when nothing at all exists at path (not even a dangling link); 1 otherwise, also
// when the answer cannot be found out, so callers that protect existing files stay safe.
int platform_path_exists(const char* path);
