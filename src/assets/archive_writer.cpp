#include "assets/archive_writer.h"

#include <cstdio>
#include <cstring>

#include "assets/archive.h"
#include "assets/archive_keys.h"
#include "assets/lzss.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/xtea.h"

static void put_le32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

// Writes a reason into error; always returns 0 so callers can `return refuse(...)`.
static int refuse(char* error, size_t error_size, const char* reason, uint32_t value) {
  if (error && error_size) snprintf(error, error_size, "%s %u", reason, value);
  return 0;
}

static int sources_valid(const ArchiveSource* sources, uint32_t count, char* error, size_t error_size) {
  if (count && !sources) return refuse(error, error_size, "no entries given, count", count);
  if ((uint64_t)count * ARCHIVE_ENTRY_SIZE > 0xFFFFFFFFu - ARCHIVE_HEADER_SIZE)
    return refuse(error, error_size, "too many entries:", count);
  IntMap* seen = intmap_create(count);
  int ok = 1;
  for (uint32_t i = 0; i < count && ok; i++) {
    const ArchiveSource* s = &sources[i];
    if (s->id == 0)
      ok = refuse(error, error_size, "id 0 is reserved; entry number", i);
    else if (s->size == 0 || !s->data)
      ok = refuse(error, error_size, "empty entry: id", s->id);
    else if (s->size > 0xFFFFFFFFu)
      ok = refuse(error, error_size, "entry larger than 4 GiB: id", s->id);
    else if (!intmap_insert(seen, s->id, (void*)s))
      ok = refuse(error, error_size, "id given twice:", s->id);
  }
  intmap_destroy(seen, nullptr);
  return ok;
}

uint8_t* archive_build(const ArchiveSource* sources, uint32_t count, uint32_t salt, size_t* out_size,
                       char* error, size_t error_size) {
  *out_size = 0;
  if (error && error_size) error[0] = 0;
  if (!sources_valid(sources, count, error, error_size)) return nullptr;

  uint8_t** streams = (uint8_t**)mem_calloc(count ? count : 1, sizeof(uint8_t*));
  size_t* stream_sizes = (size_t*)mem_calloc(count ? count : 1, sizeof(size_t));
  uint64_t data_size = 0;
  int ok = 1;
  for (uint32_t i = 0; i < count && ok; i++) {
    const ArchiveSource* s = &sources[i];
    streams[i] = lzss_encode(s->data, s->size, &stream_sizes[i]);
    // The stream is accepted only once it is known to come back exactly.
    uint8_t* check = (uint8_t*)mem_alloc(s->size);
    size_t produced = 0;
    int decoded = lzss_decode(streams[i], stream_sizes[i], check, s->size, &produced);
    if (!decoded || produced != s->size || memcmp(check, s->data, s->size) != 0) {
      ok = refuse(error, error_size, "entry does not decode back to its bytes: id", s->id);
    }
    mem_free(check);
    data_size += stream_sizes[i];
  }
  uint64_t directory_offset = ARCHIVE_HEADER_SIZE + data_size;
  uint64_t total = directory_offset + (uint64_t)count * ARCHIVE_ENTRY_SIZE;
  if (ok && total > 0xFFFFFFFFu) {
    ok = refuse(error, error_size, "archive would exceed 4 GiB; entries", count);
  }
  uint8_t* image = nullptr;
  if (ok) {
    image = (uint8_t*)mem_alloc((size_t)total);
    put_le32(image, ARCHIVE_MAGIC);
    put_le32(image + 4, count);
    put_le32(image + 8, (uint32_t)directory_offset);
    put_le32(image + 12, salt);
    size_t at = ARCHIVE_HEADER_SIZE;
    ArchiveKeyState keys;
    archive_keys_begin(&keys, count, (uint32_t)directory_offset, salt);
    for (uint32_t i = 0; i < count; i++) {
      uint32_t offset = (uint32_t)(at - ARCHIVE_HEADER_SIZE);
      memcpy(image + at, streams[i], stream_sizes[i]);
      at += stream_sizes[i];
      uint32_t key[4];
      archive_keys_make(&keys, i, key);
      uint32_t first[2] = {sources[i].id, offset};
      uint32_t second[2] = {(uint32_t)stream_sizes[i], (uint32_t)sources[i].size};
      xtea_encipher(first, key);
      xtea_encipher(second, key);
      uint32_t stored[4] = {first[0], first[1], second[0], second[1]};
      uint8_t* d = image + directory_offset + (size_t)i * ARCHIVE_ENTRY_SIZE;
      for (int w = 0; w < 4; w++) put_le32(d + 4 * w, stored[w]);
      archive_keys_advance(&keys, stored);
    }
    *out_size = (size_t)total;
  }
  for (uint32_t i = 0; i < count; i++) mem_free(streams[i]);
  mem_free(streams);
  mem_free(stream_sizes);
  return image;
}
