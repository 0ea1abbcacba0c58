#pragma once
// Byte-string helpers shared by the whole client.
#include <cstddef>
#include <cstdint>

// 32-bit FNV-1a of the bytes up to the terminator (basis 0x811C9DC5, prime 16777619).
uint32_t string_hash_fnv(const char* string);
// -1, 0 or 1, comparing unsigned bytes up to the terminator.
int string_compare(const char* a, const char* b);
// 0 when equal after folding ASCII A-Z to a-z; nonzero otherwise (an equality test only).
int string_icase_equal(const char* a, const char* b);
// Copy including the terminator, from allocate (given the byte count) or mem_alloc; null in,
// null out.
char* string_duplicate(const char* string, void* (*allocate)(size_t size));
// Copies at most size - 1 bytes and always terminates; a multi-byte UTF-8 character that
// would not fit whole is left out. Returns the number of bytes copied.
size_t string_copy_utf8(char* destination, size_t size, const char* source);
