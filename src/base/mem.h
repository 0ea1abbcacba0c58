#pragma once
// Heap memory for the whole client. None of these functions returns null: a failed
// allocation shows "Out of memory - the application will now close." and ends the process
// with exit code 1 (see fatal.h). A size of 0 is treated as 1.
//
// Aligned blocks come from mem_alloc with the user pointer rounded up to the alignment; the
// pointer-sized word just before the user pointer holds the raw block address and the word
// before that the requested size. An alignment that is not a power of two or is below 2
// becomes 16.
#include <cstddef>
#include <cstdint>

void* mem_alloc(size_t size);
// count x size zero-filled bytes; an overflowing product counts as out of memory.
void* mem_calloc(size_t count, size_t size);
void* mem_realloc(void* pointer, size_t size);
void mem_free(void* pointer);

void* mem_alloc_aligned(size_t size, size_t alignment);
// Null pointer allocates. Contents up to min(old, new) size are kept at the aligned address.
void* mem_realloc_aligned(void* pointer, size_t size, size_t alignment);
void mem_free_aligned(void* pointer);

// Returns the requested size recorded in an aligned block's header.
size_t mem_aligned_size(const void* pointer);

// Calls of mem_alloc, mem_calloc and mem_realloc (the aligned functions go through them) since
// the process started, from every thread. Lets tests and benchmarks show that a steady
// frame allocates nothing; a relaxed counter, so it costs no ordering.
uint64_t mem_allocation_count(void);
