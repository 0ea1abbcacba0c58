#pragma once
// Arena: a bump allocator for per-frame, per-event and per-message data. Allocations are
// 8-byte aligned and never freed one by one; arena_reset invalidates them all at once.
// When the current block is full an overflow block is chained in (doubling, or the request
// when larger; power of two, but above 16 MiB only as large as needed). A reset folds the
// overflow into one main block, so a repeating workload stops allocating after its first
// peak.
//
// NodePool: fixed-size nodes from an arena with a free list through each free node's first
// word. Nodes are at least pointer-sized.
#include <cstddef>
#include <cstdint>

struct ArenaBlock {
  ArenaBlock* next;
  uint8_t* data;
  size_t capacity;
  size_t used;
};

struct Arena {
  uint8_t* data;
  size_t capacity;
  size_t used;
  ArenaBlock* overflow;  // newest first
};

Arena* arena_create(size_t capacity);
void* arena_alloc(Arena* arena, size_t size);
// arena_alloc for hot paths: served inline while the main block has room (no overflow block
// yet), else by arena_alloc. Same placement as arena_alloc.
static inline void* arena_alloc_inline(Arena* arena, size_t size) {
  size_t offset = (arena->used + 7) & ~(size_t)7;
  if (!arena->overflow && size != 0 && offset <= arena->capacity && size <= arena->capacity - offset) {
    arena->used = offset + size;
    return arena->data + offset;
  }
  return arena_alloc(arena, size);
}
void arena_reset(Arena* arena);
void arena_destroy(Arena* arena);
// Bytes reserved by the main block and every overflow block (for tests and statistics).
size_t arena_reserved(const Arena* arena);

struct NodePool {
  Arena* arena;
  size_t node_size;
  void* free_list;
};

NodePool* pool_create(size_t node_size);
// A node from the free list, else a new one; contents undefined.
void* pool_get(NodePool* pool);
void pool_put(NodePool* pool, void* node);
void pool_destroy(NodePool* pool);
