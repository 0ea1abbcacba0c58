// Opens arbitrary bytes as an archive and reads every directory entry, as the loader would.
#include <cstdint>
#include <cstdio>

#include "assets/archive.h"
#include "base/mem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fmemopen((void*)data, size, "rb");
  Archive* archive = archive_open_file(file, nullptr);
  if (!archive) return 0;
  for (uint32_t i = 0; i < archive->count; i++) {
    uint32_t id = archive->entries[i].id;
    uint32_t entry_size = 0;
    uint8_t* bytes = archive_read(archive, id, &entry_size);
    mem_free(bytes);
    uint8_t small[64];
    archive_read_into(archive, id, small, sizeof small);
  }
  archive_close(archive);
  return 0;
}
