#pragma once
// Name intern table: object names and titles are kept once per distinct text, in a hash map
// keyed by the text (32-bit FNV-1a over the bytes), the copies living in an arena reset with
// the map. Interned pointers stay valid until name_table_reset, which the game calls when the
// zone's world is replaced. A null text interns as the empty text. Once the table holds
// NAME_TABLE_MAX_BYTES of text, new texts intern as the empty text, so a flood of distinct
// names from a server cannot exhaust memory. Main thread only.
#include <cstddef>
#include <cstdint>

constexpr size_t NAME_TABLE_MAX_BYTES = 8u << 20;

// The interned copy of the text (never null).
const char* name_table_intern(const char* text);
// Number of distinct texts held.
uint32_t name_table_count(void);
// Forgets every text; earlier interned pointers become invalid.
void name_table_reset(void);
// Frees the table (it is created again on the next use).
void name_table_shutdown(void);
