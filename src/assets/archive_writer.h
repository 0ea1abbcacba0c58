#pragma once
// Builds archive images for the packer and for tests: entries are compressed with the LZSS
// encoder, each stream is decoded back and compared before it is accepted, the data is laid
// out in the order given, and the directory follows it, enciphered under the shared key
// schedule. The same inputs always give the same bytes.
//
// Refused (null, with a reason in error): id 0, an id given twice, an empty entry, or an
// archive that would not fit the format's 32-bit offsets.
#include <cstddef>
#include <cstdint>

struct ArchiveSource {
  uint32_t id;
  const uint8_t* data;
  size_t size;
};

// A mem_alloc'd archive image and its size in out_size, or null. error (may be null) gets a
// zero-terminated reason of at most error_size bytes.
uint8_t* archive_build(const ArchiveSource* sources, uint32_t count, uint32_t salt, size_t* out_size,
                       char* error, size_t error_size);
