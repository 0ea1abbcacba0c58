#include "game/name_table.h"

#include <cstring>

#include "base/arena.h"
#include "base/hashmap.h"

static HashMap* g_map;
static Arena* g_arena;
static size_t g_bytes;

const char* name_table_intern(const char* text) {
  if (!text || !*text) return "";
  if (!g_map) {
    g_map = hashmap_create(256, string_equal, string_key_hash);
    g_arena = arena_create(16 * 1024);
  }
  const char* found = (const char*)hashmap_find(g_map, text);
  if (found) return found;
  size_t length = strlen(text) + 1;
  if (g_bytes + length > NAME_TABLE_MAX_BYTES) return "";
  char* copy = (char*)arena_alloc(g_arena, length);
  memcpy(copy, text, length);
  hashmap_insert(g_map, copy, copy);
  g_bytes += length;
  return copy;
}

uint32_t name_table_count(void) { return g_map ? g_map->count : 0; }

void name_table_reset(void) {
  if (!g_map) return;
  hashmap_clear(g_map, nullptr, nullptr);
  arena_reset(g_arena);
  g_bytes = 0;
}

void name_table_shutdown(void) {
  if (!g_map) return;
  hashmap_destroy(g_map, nullptr, nullptr);
  arena_destroy(g_arena);
  g_map = nullptr;
  g_arena = nullptr;
  g_bytes = 0;
}
