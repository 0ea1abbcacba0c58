#pragma once
// Locale table: every visible text and many interface asset references, addressed by
// 31-bit keys. The table is entry <language> of locale.dat, a blob of little-endian words:
// version (2), a header word (kept), record count N, N records {key, kind, value}, then a
// string area of zero-terminated UTF-8 strings numbered from 0. Kind 0 is a text (value =
// string index), 1 an asset id, 2 a number (kept, never answered); other kinds keep no value.
//
// Loading refuses a blob shorter than 12 bytes, of another version, or whose count does not
// fit its length; a missing file or entry leaves no table. Without a table every look-up
// answers "" or 0. Look-ups are a binary search over the records sorted by unsigned key;
// with two records of one key either may answer. Main thread only.
#include <cstddef>
#include <cstdint>

constexpr uint32_t LOCALE_VERSION = 2;
constexpr uint32_t LOCALE_TEXT = 0;
constexpr uint32_t LOCALE_ASSET = 1;
constexpr uint32_t LOCALE_NUMBER = 2;
constexpr uint32_t LOCALE_RECORD_SIZE = 12;
constexpr uint32_t LOCALE_HEADER_SIZE = 12;

// CRC-32 of the bytes with the top bit cleared; "" and null give 0.
uint32_t name_hash(const char* name);

// Loads entry <language> of <assets_dir>/locale.dat (the bare name for an empty directory),
// replacing any table loaded before; on any failure no table is left.
void locale_load(const char* assets_dir, int language);
// The same from a blob already in memory (copied).
int locale_load_blob(const uint8_t* blob, size_t size, int language);
void locale_unload(void);

// The UTF-8 text of a kind-0 record; "" (never null) otherwise.
const char* locale_string(uint32_t key);
// The value of a kind-1 record; 0 otherwise.
uint32_t locale_asset_id(uint32_t key);
// 1 while a table is loaded.
int locale_is_loaded(void);
// Number of records of the loaded table (0 without one).
uint32_t locale_count(void);
