#include "base/mem.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"

static const char OUT_OF_MEMORY[] = "Out of memory - the application will now close.";

// Two header words (raw address, requested size) stand before every aligned user pointer.
static const size_t ALIGNED_HEADER = 2 * sizeof(void*);

[[noreturn]] static void mem_out_of_memory() { fatal_exit(OUT_OF_MEMORY); }

static std::atomic<uint64_t> g_allocations{0};

static inline void mem_count_call() { g_allocations.fetch_add(1, std::memory_order_relaxed); }

uint64_t mem_allocation_count(void) { return g_allocations.load(std::memory_order_relaxed); }

void* mem_alloc(size_t size) {
  mem_count_call();
  void* p = malloc(size ? size : 1);
  if (!p) mem_out_of_memory();
  return p;
}

void* mem_calloc(size_t count, size_t size) {
  mem_count_call();
  size_t total;
  if (__builtin_mul_overflow(count, size, &total)) mem_out_of_memory();
  void* p = calloc(total ? total : 1, 1);
  if (!p) mem_out_of_memory();
  return p;
}

void* mem_realloc(void* pointer, size_t size) {
  mem_count_call();
  void* p = realloc(pointer, size ? size : 1);
  if (!p) mem_out_of_memory();
  return p;
}

void mem_free(void* pointer) { free(pointer); }

static size_t mem_fix_alignment(size_t alignment) {
  if (alignment < 2 || (alignment & (alignment - 1)) != 0) return 16;
  return alignment;
}

static size_t mem_raw_size(size_t size, size_t alignment) {
  size_t total;
  if (__builtin_add_overflow(size, alignment + ALIGNED_HEADER, &total)) mem_out_of_memory();
  return total;
}

static char* mem_user_position(char* raw, size_t alignment) {
  uintptr_t first = (uintptr_t)raw + ALIGNED_HEADER;
  return (char*)((first + alignment - 1) & ~(uintptr_t)(alignment - 1));
}

static void* mem_write_header(char* user, char* raw, size_t size) {
  ((void**)user)[-1] = raw;
  ((void**)user)[-2] = (void*)(uintptr_t)size;
  return user;
}

void* mem_alloc_aligned(size_t size, size_t alignment) {
  if (size == 0) size = 1;
  alignment = mem_fix_alignment(alignment);
  char* raw = (char*)mem_alloc(mem_raw_size(size, alignment));
  return mem_write_header(mem_user_position(raw, alignment), raw, size);
}

void* mem_realloc_aligned(void* pointer, size_t size, size_t alignment) {
  if (!pointer) return mem_alloc_aligned(size, alignment);
  if (size == 0) size = 1;
  alignment = mem_fix_alignment(alignment);
  void** header = (void**)pointer;
  char* old_raw = (char*)header[-1];
  size_t old_size = (size_t)(uintptr_t)header[-2];
  size_t old_offset = (size_t)((char*)pointer - old_raw);
  char* raw = (char*)mem_realloc(old_raw, mem_raw_size(size, alignment));
  char* user = mem_user_position(raw, alignment);
  size_t new_offset = (size_t)(user - raw);
  if (new_offset != old_offset) {
    // The data still sits at the old offset inside the moved raw block; move it before the
    // new header is written, since the header may overlap the old data.
    size_t keep = old_size < size ? old_size : size;
    memmove(user, raw + old_offset, keep);
  }
  return mem_write_header(user, raw, size);
}

void mem_free_aligned(void* pointer) {
  if (!pointer) return;
  mem_free(((void**)pointer)[-1]);
}

size_t mem_aligned_size(const void* pointer) {
  if (!pointer) return 0;
  return (size_t)(uintptr_t)((void* const*)pointer)[-2];
}
