#include "assets/locale.h"

#include <algorithm>
#include <cstring>

#include "assets/archive.h"
#include "assets/assets.h"
#include "base/crc32.h"
#include "base/mem.h"

struct LocaleRecord {
  uint32_t key;
  uint32_t kind;
  uint32_t value;
  const char* text;  // kind 0 with an index in range, else null
};

struct LocaleTable {
  int language;
  uint32_t header;
  uint32_t count;
  LocaleRecord* records;  // sorted by key
  char* strings;          // the string area plus one terminating zero
};

static LocaleTable* g_table;

uint32_t name_hash(const char* name) {
  if (!name) return 0;
  return crc32(name, strlen(name)) & 0x7FFFFFFFu;
}

static uint32_t read_le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void locale_unload(void) {
  if (!g_table) return;
  mem_free(g_table->records);
  mem_free(g_table->strings);
  mem_free(g_table);
  g_table = nullptr;
}

int locale_load_blob(const uint8_t* blob, size_t size, int language) {
  if (!blob || size < LOCALE_HEADER_SIZE) return 0;
  if (read_le32(blob) != LOCALE_VERSION) return 0;
  uint32_t count = read_le32(blob + 8);
  if (count > (size - LOCALE_HEADER_SIZE) / LOCALE_RECORD_SIZE) return 0;

  locale_unload();
  LocaleTable* table = (LocaleTable*)mem_calloc(1, sizeof(LocaleTable));
  table->language = language;
  table->header = read_le32(blob + 4);
  table->count = count;
  table->records = (LocaleRecord*)mem_alloc(count ? count * sizeof(LocaleRecord) : 1);

  size_t area_start = LOCALE_HEADER_SIZE + (size_t)count * LOCALE_RECORD_SIZE;
  size_t area_size = size - area_start;
  table->strings = (char*)mem_alloc(area_size + 1);
  if (area_size) memcpy(table->strings, blob + area_start, area_size);
  table->strings[area_size] = 0;

  // String n starts after the n-th zero; an unterminated tail is one more string.
  uint32_t string_count = 0;
  const char** starts = (const char**)mem_alloc((area_size + 1) * sizeof(char*));
  for (size_t at = 0; at < area_size; at += strlen(table->strings + at) + 1)
    starts[string_count++] = table->strings + at;

  for (uint32_t i = 0; i < count; i++) {
    const uint8_t* r = blob + LOCALE_HEADER_SIZE + (size_t)i * LOCALE_RECORD_SIZE;
    LocaleRecord* out = &table->records[i];
    out->key = read_le32(r);
    out->kind = read_le32(r + 4);
    out->value = out->kind <= LOCALE_NUMBER ? read_le32(r + 8) : 0;
    out->text = nullptr;
    if (out->kind == LOCALE_TEXT && out->value < string_count) out->text = starts[out->value];
  }
  mem_free(starts);
  std::sort(table->records, table->records + count,
            [](const LocaleRecord& a, const LocaleRecord& b) { return a.key < b.key; });
  g_table = table;
  return 1;
}

void locale_load(const char* assets_dir, int language) {
  locale_unload();
  char path[ASSET_PATH_MAX];
  if (!assets_join_path(path, sizeof path, assets_dir, "locale.dat")) return;
  Archive* archive = archive_open(path);
  if (!archive) return;
  uint32_t size = 0;
  uint8_t* blob = archive_read(archive, (uint32_t)language, &size);
  archive_close(archive);
  if (!blob) return;
  locale_load_blob(blob, size, language);
  mem_free(blob);
}

static const LocaleRecord* locale_find(uint32_t key) {
  if (!g_table) return nullptr;
  uint32_t low = 0, high = g_table->count;
  while (low < high) {
    uint32_t mid = low + (high - low) / 2;
    uint32_t k = g_table->records[mid].key;
    if (k == key) return &g_table->records[mid];
    if (k < key)
      low = mid + 1;
    else
      high = mid;
  }
  return nullptr;
}

const char* locale_string(uint32_t key) {
  const LocaleRecord* r = locale_find(key);
  return r && r->kind == LOCALE_TEXT && r->text ? r->text : "";
}

uint32_t locale_asset_id(uint32_t key) {
  const LocaleRecord* r = locale_find(key);
  return r && r->kind == LOCALE_ASSET ? r->value : 0;
}

int locale_is_loaded(void) { return g_table != nullptr; }

uint32_t locale_count(void) { return g_table ? g_table->count : 0; }
