#pragma once
// Directory key schedule of the asset archives, shared by the client's reader and the
// archive packer in tools/. No key is stored in an archive: each directory entry's XTEA key
// is rebuilt from the header, the entry's index and the stored (enciphered) words of the
// entry before it, through the integer mix of base/hash_mix.h and the constants below.
//
// Changing any constant makes every existing archive unreadable; the golden-archive test
// pins them.
#include <cstdint>

#include "base/hash_mix.h"

enum : uint32_t {
  ARCHIVE_SEED_1 = 0x125276A7u,
  ARCHIVE_SEED_2 = 0x82ED8226u,
  ARCHIVE_SEED_3 = 0x314FE0CEu,
  ARCHIVE_SEED_4 = 0x1F5F5D26u,
  ARCHIVE_SEED_5 = 0xC9E9683Au,
  ARCHIVE_SEED_6 = 0x8EBE968Du,
  ARCHIVE_SEED_7 = 0xB50EF797u,
  ARCHIVE_SEED_8 = 0x8B116CB0u,
  ARCHIVE_STEP = 0xB19A7A02u,
};

// The running state of the key schedule over one directory.
struct ArchiveKeyState {
  uint32_t count, directory_offset, salt;
  uint32_t a, b, w, p, q;
};

static inline void archive_keys_begin(ArchiveKeyState* s, uint32_t count, uint32_t directory_offset,
                                      uint32_t salt) {
  s->count = count;
  s->directory_offset = directory_offset;
  s->salt = salt;
  s->a = hash_mix32(count ^ ARCHIVE_SEED_1);
  s->b = hash_mix32(directory_offset ^ ARCHIVE_SEED_2);
  s->w = hash_mix32(salt ^ ARCHIVE_SEED_3);
  s->p = ARCHIVE_SEED_4;
  s->q = 0;
}

static inline void archive_keys_make(const ArchiveKeyState* s, uint32_t index, uint32_t key[4]) {
  key[0] = hash_mix32(index ^ s->p ^ ARCHIVE_SEED_5);
  key[1] = hash_mix32(s->a + s->count + index + ARCHIVE_SEED_6);
  key[2] = hash_mix32((index << 16) ^ s->directory_offset ^ s->b ^ ARCHIVE_SEED_7);
  key[3] = hash_mix32(s->q + s->w + s->salt + ARCHIVE_SEED_8);
}

// Chains on the entry's stored words, i.e. the enciphered ones as they lie in the file.
static inline void archive_keys_advance(ArchiveKeyState* s, const uint32_t stored[4]) {
  s->p = stored[0];
  s->a = stored[1];
  s->b = stored[2];
  s->w = stored[3];
  s->q += ARCHIVE_STEP;
}
