#pragma once
// Asset archives: a 16-byte header (magic 0xDA7AF11E, entry count N, directory offset,
// salt; little-endian words), LZSS-compressed entry data from byte 16 on, and a directory of
// N 16-byte entries {id, data offset from the end of the header, stored size, size}, each
// enciphered as two XTEA blocks under a key rebuilt from the header and the previous entry
// (archive_keys.h).
//
// Opening fails (null, file closed, nothing reported) on a short header, a wrong magic, or a
// directory that does not lie within the file after the header. Entries whose data would
// reach outside the file or into the directory, or whose size exceeds what their stored
// bytes can expand to, are treated as absent. When an id occurs twice the first entry wins.
// A read succeeds only when the stream decodes to exactly the entry's size.
//
// Each archive has its own lock around seek-and-decode, so reads from several threads are
// safe; open and close are not.
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint32_t ARCHIVE_MAGIC = 0xDA7AF11Eu;
constexpr uint32_t ARCHIVE_HEADER_SIZE = 16;
constexpr uint32_t ARCHIVE_ENTRY_SIZE = 16;

struct ArchiveEntry {
  uint32_t id;
  uint32_t offset;  // from the end of the header
  uint32_t stored_size;
  uint32_t size;
};
static_assert(sizeof(ArchiveEntry) == 16);

struct IntMap;
struct Lock;

struct Archive {
  FILE* file;
  Lock* lock;
  char* path;
  uint32_t magic;
  uint32_t count;
  uint32_t directory_offset;
  uint32_t salt;
  ArchiveEntry* entries;  // deciphered, in directory order
  IntMap* map;            // id -> usable entry
  uint64_t file_size;
};

Archive* archive_open(const char* path);
// Like archive_open on an already open file, which the archive takes over (and closes on
// failure). path may be null.
Archive* archive_open_file(FILE* file, const char* path);
// 1 when the file closed cleanly; 0 for a null archive or a close error.
int archive_close(Archive* archive);
// A new mem_alloc'd buffer with the decompressed entry (at least one byte long), or null.
// size_out (may be null) receives the size, 0 on failure.
uint8_t* archive_read(Archive* archive, uint32_t id, uint32_t* size_out);
// 1 on success; 0 for a null archive or buffer, an unknown id, a size above capacity or a
// corrupt entry.
int archive_read_into(Archive* archive, uint32_t id, void* buffer, size_t capacity);
// The entry's size, or 0 when the archive is null or the id unknown.
uint32_t archive_entry_size(Archive* archive, uint32_t id);
// The usable entry with this id, or null.
const ArchiveEntry* archive_find(const Archive* archive, uint32_t id);
// 1 when the directory entry at index is usable (in bounds) and is the one its id finds.
int archive_entry_usable(const Archive* archive, uint32_t index);
