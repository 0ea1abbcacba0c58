// Loads an arbitrary blob as the locale table and looks up every key it names and a few it
// does not; every text answered must be a readable, terminated string.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "assets/locale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!locale_load_blob(data, size, 1)) return 0;
  uint32_t count = locale_count();
  size_t total = 0;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t key;
    memcpy(&key, data + 12 + 12 * (size_t)i, 4);
    total += strlen(locale_string(key));
    total += locale_asset_id(key);
  }
  for (uint32_t key : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) total += strlen(locale_string(key));
  locale_unload();
  // Keeps the look-ups from being optimised away.
  if (total == (size_t)-1) abort();
  return 0;
}
