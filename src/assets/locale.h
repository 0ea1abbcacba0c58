#pragma once
// Locale table: localized texts and asset ids by 31-bit key.
// (Placeholder until the locale archive reader lands: no table, every text is empty.)
#include <cstdint>

void locale_load(const char* assets_dir, int language);
void locale_unload(void);
const char* locale_string(uint32_t key);
