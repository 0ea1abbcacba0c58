#pragma once
// INI documents: a file of "[Section]" headers and "KEY=value" lines read into memory,
// typed queries with caller-supplied defaults, typed updates, and a save that keeps the
// file's own layout. Names match exactly (case matters).
//
// Loading: lines end at "\n" and may be of any length; each is stripped of the classic white
// space (space, \t, \n, \v, \f, \r; never a non-ASCII byte). A leading UTF-8 byte-order mark
// is skipped. Empty lines and lines starting with ";" or "#" are comments. "[name]" (any
// number of brackets) opens a section unless the name is empty, already seen, or could not
// be written back as a header (starts with "[" or ends with "]"); an ignored header leaves
// the current section as it was. A line with "=" is a key line: the stripped key (never
// empty) and the stripped value, from which one matching pair of enclosing quotes (' or ")
// is removed. The first occurrence of a key in a section wins. Keys before the first header
// belong to the global section, whose name is empty; a loaded document always has it.
//
// Values: the text, plus the integer (decimal, parsed in 64 bits and clamped to the int32
// range, 0 when the text does not start with a number), the real (C-locale floating point
// as float) and the flag (integer != 0), all recomputed whenever the text changes.
//
// Saving: the old file is walked line by line with the same rules as loading; a key line
// whose key the document holds in the current section is rewritten with the document's
// value, every other line is copied unchanged (an unterminated last line gains its "\n").
// Keys the file lacks are written at the end of their section; sections the file lacks
// follow at the end, as "\n[name]\n" and their keys, in hash-slot order. A value whose first
// or last byte is white space or a quote is written in single quotes, so it reads back the
// same; a file whose first bytes would look like a byte-order mark gets a real one in front.
// The new text goes to "<path>.tmp" in the same folder, is flushed and closed, then
// renamed over the old file: any failure returns 0 and leaves the old file untouched. An
// old file that exists but cannot be read is never replaced.
//
// Setters refuse values holding bytes below 0x20 and key or section names that could not
// be read back (see ini_name_valid). Files are always read and written in the C locale's
// number format. Not thread-safe; running out of memory ends the client (mem.h).
#include <cstdint>

#include "base/arena.h"
#include "base/hashmap.h"

struct IniValue {
  char* text;  // heap copy, never null
  int integer;
  float real;
  int flag;
};

struct IniSection {
  const char* name;  // arena copy
  HashMap* keys;     // key name (arena copy) -> IniValue* (arena)
};

struct IniDocument {
  HashMap* sections;  // section name -> IniSection* (arena)
  Arena* arena;
};

// A new document with no sections.
IniDocument* ini_create();
// The document read from path, or null when the file cannot be opened or read.
IniDocument* ini_load(const char* path);
// Loads from memory with the same rules as ini_load (tests and fuzzing).
IniDocument* ini_load_bytes(const char* bytes, size_t size);
// 1 when the document was written to path; 0 on any failure (old file left untouched).
int ini_save(const IniDocument* document, const char* path);
void ini_destroy(IniDocument* document);

// Getters: 1, or 0 when out is null. *out receives the stored field when the section (null:
// the global section) and key exist, else the default. A null document or key gives the
// default. ini_get_string hands out the document's own text.
int ini_get_string(const IniDocument* document, const char* section, const char* key, const char** out,
                   const char* fallback);
int ini_get_int(const IniDocument* document, const char* section, const char* key, int* out, int fallback);
int ini_get_float(const IniDocument* document, const char* section, const char* key, float* out,
                  float fallback);
int ini_get_bool(const IniDocument* document, const char* section, const char* key, int* out, int fallback);

// Setters: 1, or 0 for a null document, an invalid section or key name, or a value holding
// a byte below 0x20. The section and key are created when missing. A null string is empty.
int ini_set_string(IniDocument* document, const char* section, const char* key, const char* value);
int ini_set_int(IniDocument* document, const char* section, const char* key, int value);      // "%d"
int ini_set_float(IniDocument* document, const char* section, const char* key, float value);  // "%.6f"
int ini_set_bool(IniDocument* document, const char* section, const char* key, int value);     // "1"/"0"

// The value record, or null.
IniValue* ini_has_key(const IniDocument* document, const char* section, const char* key);
// The section (null name: the global one), or null.
IniSection* ini_section(const IniDocument* document, const char* name);
// The existing or new section; null for a null document or a name that could not be read
// back as a header. The empty name is the global section.
IniSection* ini_add_section(IniDocument* document, const char* name);

// 1 when a name survives a save and load: no byte below 0x20, no white space at either end,
// keys non-empty without "=" or a leading ";", "#" or "[", section names without a leading
// "[" or trailing "]" (the empty section name is the global section).
int ini_name_valid(const char* name, int is_section);
