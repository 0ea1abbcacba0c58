#include "assets/archive.h"

#include <cstring>

#include "assets/archive_keys.h"
#include "assets/lzss.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/strings.h"
#include "base/thread.h"
#include "base/xtea.h"

static uint32_t read_le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int read_word(FILE* file, uint32_t* out) {
  uint8_t bytes[4];
  if (fread(bytes, 1, 4, file) != 4) return 0;
  *out = read_le32(bytes);
  return 1;
}

static void archive_free(Archive* archive) {
  if (archive->map) intmap_destroy(archive->map, nullptr);
  if (archive->lock) lock_destroy(archive->lock);
  mem_free(archive->entries);
  mem_free(archive->path);
  mem_free(archive);
}

// The entry's data must lie between the header and the end of the file and stay clear of
// the directory, and its size must be reachable from its stored bytes.
static int entry_in_bounds(const Archive* archive, const ArchiveEntry* e) {
  uint64_t start = (uint64_t)e->offset + ARCHIVE_HEADER_SIZE;
  uint64_t end = start + e->stored_size;
  if (end > archive->file_size) return 0;
  if (archive->count > 0) {
    uint64_t dir_start = archive->directory_offset;
    uint64_t dir_end = dir_start + (uint64_t)archive->count * ARCHIVE_ENTRY_SIZE;
    if (e->stored_size > 0 && start < dir_end && dir_start < end) return 0;
  }
  return (uint64_t)e->size <= lzss_max_output(e->stored_size);
}

Archive* archive_open_file(FILE* file, const char* path) {
  if (!file) return nullptr;
  Archive* archive = (Archive*)mem_calloc(1, sizeof(Archive));
  archive->file = file;
  uint32_t header[4];
  for (int i = 0; i < 4; i++) {
    if (!read_word(file, &header[i])) goto fail;
  }
  archive->magic = header[0];
  archive->count = header[1];
  archive->directory_offset = header[2];
  archive->salt = header[3];
  if (archive->magic != ARCHIVE_MAGIC) goto fail;
  {
    if (fseek(file, 0, SEEK_END) != 0) goto fail;
    long size = ftell(file);
    if (size < 0) goto fail;
    archive->file_size = (uint64_t)size;
  }
  if (archive->count > 0) {
    // Checked before anything is allocated: a forged count cannot ask for more memory than
    // the file holds.
    uint64_t dir_end = (uint64_t)archive->directory_offset + (uint64_t)archive->count * ARCHIVE_ENTRY_SIZE;
    if (archive->directory_offset < ARCHIVE_HEADER_SIZE || dir_end > archive->file_size) goto fail;
    if (fseek(file, (long)archive->directory_offset, SEEK_SET) != 0) goto fail;
    size_t bytes = (size_t)archive->count * ARCHIVE_ENTRY_SIZE;
    uint8_t* stored = (uint8_t*)mem_alloc(bytes);
    if (fread(stored, 1, bytes, file) != bytes) {
      mem_free(stored);
      goto fail;
    }
    archive->entries = (ArchiveEntry*)mem_alloc(bytes);
    ArchiveKeyState keys;
    archive_keys_begin(&keys, archive->count, archive->directory_offset, archive->salt);
    for (uint32_t i = 0; i < archive->count; i++) {
      const uint8_t* s = stored + (size_t)i * ARCHIVE_ENTRY_SIZE;
      uint32_t words[4] = {read_le32(s), read_le32(s + 4), read_le32(s + 8), read_le32(s + 12)};
      uint32_t key[4];
      archive_keys_make(&keys, i, key);
      uint32_t first[2] = {words[0], words[1]};
      uint32_t second[2] = {words[2], words[3]};
      xtea_decipher(first, key);
      xtea_decipher(second, key);
      archive->entries[i] = {first[0], first[1], second[0], second[1]};
      archive_keys_advance(&keys, words);
    }
    mem_free(stored);
  }
  archive->map = intmap_create(32);
  for (uint32_t i = 0; i < archive->count; i++) {
    ArchiveEntry* e = &archive->entries[i];
    if (!entry_in_bounds(archive, e)) continue;
    intmap_insert(archive->map, e->id, e);  // first one wins
  }
  archive->lock = lock_create();
  archive->path = path ? string_duplicate(path, nullptr) : nullptr;
  return archive;

fail:
  fclose(file);
  archive->file = nullptr;
  archive_free(archive);
  return nullptr;
}

Archive* archive_open(const char* path) {
  if (!path) return nullptr;
  FILE* file = fopen(path, "rb");
  if (!file) return nullptr;
  return archive_open_file(file, path);
}

int archive_close(Archive* archive) {
  if (!archive) return 0;
  int ok = archive->file && fclose(archive->file) == 0;
  archive_free(archive);
  return ok;
}

const ArchiveEntry* archive_find(const Archive* archive, uint32_t id) {
  if (!archive || !archive->map) return nullptr;
  return (const ArchiveEntry*)intmap_find(archive->map, id);
}

int archive_entry_usable(const Archive* archive, uint32_t index) {
  if (!archive || index >= archive->count) return 0;
  return archive_find(archive, archive->entries[index].id) == &archive->entries[index];
}

uint32_t archive_entry_size(Archive* archive, uint32_t id) {
  const ArchiveEntry* e = archive_find(archive, id);
  return e ? e->size : 0;
}

static size_t file_read(void* context, uint8_t* buffer, size_t want) {
  return fread(buffer, 1, want, (FILE*)context);
}

// Decodes the entry into buffer (at least e->size bytes); 1 when exactly e->size came out.
static int archive_decode(Archive* archive, const ArchiveEntry* e, uint8_t* buffer) {
  lock_enter(archive->lock);
  int ok = 0;
  if (fseek(archive->file, (long)e->offset + ARCHIVE_HEADER_SIZE, SEEK_SET) == 0) {
    size_t produced = 0;
    ok = lzss_decode_stream(file_read, archive->file, e->stored_size, buffer, e->size, &produced);
    // A stream that ends early would leave the tail of the object unwritten.
    if (produced != e->size) ok = 0;
  }
  lock_leave(archive->lock);
  return ok;
}

uint8_t* archive_read(Archive* archive, uint32_t id, uint32_t* size_out) {
  if (size_out) *size_out = 0;
  const ArchiveEntry* e = archive_find(archive, id);
  if (!e) return nullptr;
  uint8_t* buffer = (uint8_t*)mem_alloc(e->size ? e->size : 1);
  if (!archive_decode(archive, e, buffer)) {
    mem_free(buffer);
    return nullptr;
  }
  if (size_out) *size_out = e->size;
  return buffer;
}

int archive_read_into(Archive* archive, uint32_t id, void* buffer, size_t capacity) {
  if (!buffer) return 0;
  const ArchiveEntry* e = archive_find(archive, id);
  if (!e || e->size > capacity) return 0;
  return archive_decode(archive, e, (uint8_t*)buffer);
}
