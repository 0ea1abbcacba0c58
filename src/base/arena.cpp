#include "base/arena.h"

#include "base/mem.h"

static const size_t ARENA_BLOCK_CAP = 16u * 1024u * 1024u;

static size_t round_up_pow2(size_t n) {
  size_t p = 1;
  while (p < n && p != 0) p <<= 1;
  return p ? p : n;
}

static size_t round_up8(size_t n) { return (n + 7) & ~(size_t)7; }

Arena* arena_create(size_t capacity) {
  Arena* arena = (Arena*)mem_alloc(sizeof(Arena));
  arena->capacity = capacity ? round_up_pow2(capacity) : 1024;
  arena->data = (uint8_t*)mem_alloc_aligned(arena->capacity, 8);
  arena->used = 0;
  arena->overflow = nullptr;
  return arena;
}

void* arena_alloc(Arena* arena, size_t size) {
  if (!arena) return nullptr;
  if (size == 0) size = 1;
  uint8_t* data = arena->overflow ? arena->overflow->data : arena->data;
  size_t capacity = arena->overflow ? arena->overflow->capacity : arena->capacity;
  size_t* used = arena->overflow ? &arena->overflow->used : &arena->used;
  size_t offset = round_up8(*used);
  if (offset <= capacity && size <= capacity - offset) {
    *used = offset + size;
    return data + offset;
  }
  size_t grown = size > capacity ? size : capacity * 2;
  grown = round_up_pow2(grown);
  if (grown > ARENA_BLOCK_CAP) grown = size > ARENA_BLOCK_CAP ? size : ARENA_BLOCK_CAP;
  ArenaBlock* block = (ArenaBlock*)mem_alloc(sizeof(ArenaBlock));
  block->data = (uint8_t*)mem_alloc_aligned(grown, 8);
  block->capacity = grown;
  block->used = size;
  block->next = arena->overflow;
  arena->overflow = block;
  return block->data;
}

static void arena_free_overflow(Arena* arena) {
  ArenaBlock* block = arena->overflow;
  while (block) {
    ArenaBlock* next = block->next;
    mem_free_aligned(block->data);
    mem_free(block);
    block = next;
  }
  arena->overflow = nullptr;
}

void arena_reset(Arena* arena) {
  if (!arena) return;
  size_t sum = 0;
  for (ArenaBlock* b = arena->overflow; b; b = b->next) sum += round_up8(b->capacity);
  if (sum != 0) {
    // Nothing in the arena survives a reset, so the main block is replaced, not copied.
    size_t capacity = round_up_pow2(sum + arena->capacity);
    mem_free_aligned(arena->data);
    arena->data = (uint8_t*)mem_alloc_aligned(capacity, 8);
    arena->capacity = capacity;
  }
  arena_free_overflow(arena);
  arena->used = 0;
}

void arena_destroy(Arena* arena) {
  if (!arena) return;
  arena_free_overflow(arena);
  mem_free_aligned(arena->data);
  mem_free(arena);
}

size_t arena_reserved(const Arena* arena) {
  if (!arena) return 0;
  size_t total = arena->capacity;
  for (ArenaBlock* b = arena->overflow; b; b = b->next) total += b->capacity;
  return total;
}

NodePool* pool_create(size_t node_size) {
  NodePool* pool = (NodePool*)mem_alloc(sizeof(NodePool));
  pool->arena = arena_create(256);
  pool->node_size = node_size < sizeof(void*) ? sizeof(void*) : node_size;
  pool->free_list = nullptr;
  return pool;
}

void* pool_get(NodePool* pool) {
  if (!pool) return nullptr;
  if (pool->free_list) {
    void* node = pool->free_list;
    pool->free_list = *(void**)node;
    return node;
  }
  return arena_alloc(pool->arena, pool->node_size);
}

void pool_put(NodePool* pool, void* node) {
  if (!pool || !node) return;
  *(void**)node = pool->free_list;
  pool->free_list = node;
}

void pool_destroy(NodePool* pool) {
  if (!pool) return;
  arena_destroy(pool->arena);
  mem_free(pool);
}
