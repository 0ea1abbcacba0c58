#include "base/ini.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/mem.h"

// ---------------------------------------------------------------------------------------
// Bytes, spans and lines

struct IniSpan {
  const char* p;
  size_t n;
};

enum IniLineKind { INI_LINE_OTHER = 0, INI_LINE_HEADER = 1, INI_LINE_KEY = 2 };

struct IniLine {
  int kind;
  IniSpan name;   // header: the section name
  IniSpan key;    // key line: the stripped key
  IniSpan value;  // key line: the stripped value without its enclosing quote pair
};

static int ini_is_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static int ini_is_quote(unsigned char c) { return c == '\'' || c == '"'; }

static IniSpan ini_strip(IniSpan s) {
  while (s.n > 0 && ini_is_space((unsigned char)s.p[0])) {
    s.p++;
    s.n--;
  }
  while (s.n > 0 && ini_is_space((unsigned char)s.p[s.n - 1])) s.n--;
  return s;
}

// Loading and saving both classify lines here, so a save always sees the same sections and
// keys that a load of the same bytes would.
static IniLine ini_classify(const char* bytes, size_t size) {
  IniLine line = {};
  // A line is a C string to the reader: an embedded NUL ends it.
  const void* nul = memchr(bytes, 0, size);
  if (nul) size = (size_t)((const char*)nul - bytes);
  IniSpan s = ini_strip({bytes, size});
  if (s.n == 0 || s.p[0] == ';' || s.p[0] == '#') return line;
  if (s.p[0] == '[' && s.p[s.n - 1] == ']') {
    IniSpan name = s;
    while (name.n > 0 && name.p[0] == '[') {
      name.p++;
      name.n--;
    }
    while (name.n > 0 && name.p[name.n - 1] == ']') name.n--;
    name = ini_strip(name);
    // A name that a header could not carry back ("[ [x] ]" names "[x]") is ignored like
    // an empty one; a header line is never a key line.
    if (name.n == 0 || name.p[0] == '[' || name.p[name.n - 1] == ']') return line;
    line.kind = INI_LINE_HEADER;
    line.name = name;
    return line;
  }
  const char* equals = (const char*)memchr(s.p, '=', s.n);
  if (!equals) return line;
  IniSpan key = ini_strip({s.p, (size_t)(equals - s.p)});
  if (key.n == 0) return line;
  IniSpan value = ini_strip({equals + 1, (size_t)(s.p + s.n - equals - 1)});
  if (value.n >= 2 && ini_is_quote((unsigned char)value.p[0]) && value.p[0] == value.p[value.n - 1]) {
    value.p++;
    value.n -= 2;
  }
  line.kind = INI_LINE_KEY;
  line.key = key;
  line.value = value;
  return line;
}

static char* ini_arena_copy(Arena* arena, const char* p, size_t n) {
  char* copy = (char*)arena_alloc(arena, n + 1);
  memcpy(copy, p, n);
  copy[n] = 0;
  return copy;
}

static char* ini_heap_copy(const char* p, size_t n) {
  char* copy = (char*)mem_alloc(n + 1);
  memcpy(copy, p, n);
  copy[n] = 0;
  return copy;
}

// ---------------------------------------------------------------------------------------
// Numbers, always in the C locale's format

static int ini_parse_int(const char* text) {
  const unsigned char* p = (const unsigned char*)text;
  while (ini_is_space(*p)) p++;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t magnitude = 0;
  // Saturating past 2^32 is enough: the result is clamped to the int32 range anyway.
  for (; *p >= '0' && *p <= '9'; p++)
    if (magnitude < ((int64_t)1 << 32)) magnitude = magnitude * 10 + (*p - '0');
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return (int)value;
}

static const char* ini_decimal_point() {
  const struct lconv* conv = localeconv();
  return (conv && conv->decimal_point && conv->decimal_point[0]) ? conv->decimal_point : ".";
}

static float ini_parse_real(const char* text) {
  const char* point = ini_decimal_point();
  double value;
  if (strcmp(point, ".") == 0) {
    value = strtod(text, nullptr);
  } else {
    // Another numeric locale is active: translate the C form into it. A byte of the
    // locale's decimal point can never be part of a C number, so the text is cut there.
    size_t length = strlen(text), point_length = strlen(point);
    char* local = (char*)mem_alloc(length * point_length + 1);
    size_t n = 0;
    for (const char* p = text; *p && !strchr(point, *p); p++) {
      if (*p == '.') {
        memcpy(local + n, point, point_length);
        n += point_length;
      } else {
        local[n++] = *p;
      }
    }
    local[n] = 0;
    value = strtod(local, nullptr);
    mem_free(local);
  }
  // Out of float range is undefined for a plain conversion; IEEE rounding gives infinity.
  if (value > FLT_MAX) return INFINITY;
  if (value < -FLT_MAX) return -INFINITY;
  return (float)value;
}

static void ini_format_real(float value, char* out, size_t size) {
  char buffer[80];
  snprintf(buffer, sizeof buffer, "%.6f", (double)value);
  const char* point = ini_decimal_point();
  const char* at = strcmp(point, ".") == 0 ? nullptr : strstr(buffer, point);
  if (at) {
    size_t before = (size_t)(at - buffer);
    snprintf(out, size, "%.*s.%s", (int)before, buffer, at + strlen(point));
  } else {
    snprintf(out, size, "%s", buffer);
  }
}

static void ini_value_assign(IniValue* value, const char* text, size_t length) {
  char* copy = ini_heap_copy(text, length);
  mem_free(value->text);
  value->text = copy;
  value->integer = ini_parse_int(copy);
  value->real = ini_parse_real(copy);
  value->flag = value->integer != 0;
}

// ---------------------------------------------------------------------------------------
// Documents, sections, values

int ini_name_valid(const char* name, int is_section) {
  if (!name) return 0;
  size_t n = strlen(name);
  if (n == 0) return is_section;
  for (size_t i = 0; i < n; i++)
    if ((unsigned char)name[i] < 0x20) return 0;
  if (ini_is_space((unsigned char)name[0]) || ini_is_space((unsigned char)name[n - 1])) return 0;
  if (is_section) return name[0] != '[' && name[n - 1] != ']';
  return name[0] != ';' && name[0] != '#' && name[0] != '[' && !strchr(name, '=');
}

static int ini_value_valid(const char* value) {
  for (const unsigned char* p = (const unsigned char*)value; *p; p++)
    if (*p < 0x20) return 0;
  return 1;
}

IniDocument* ini_create() {
  IniDocument* document = (IniDocument*)mem_alloc(sizeof(IniDocument));
  document->sections = hashmap_create(32, string_equal, string_key_hash);
  document->arena = arena_create(1024);
  return document;
}

static IniSection* ini_section_insert(IniDocument* document, const char* name, size_t length) {
  IniSection* section = (IniSection*)arena_alloc(document->arena, sizeof(IniSection));
  section->name = ini_arena_copy(document->arena, name, length);
  section->keys = hashmap_create(32, string_equal, string_key_hash);
  hashmap_insert(document->sections, section->name, section);
  return section;
}

static IniValue* ini_value_insert(IniDocument* document, IniSection* section, const char* key,
                                  size_t length) {
  IniValue* value = (IniValue*)arena_alloc(document->arena, sizeof(IniValue));
  value->text = nullptr;
  ini_value_assign(value, "", 0);
  hashmap_insert(section->keys, ini_arena_copy(document->arena, key, length), value);
  return value;
}

IniSection* ini_section(const IniDocument* document, const char* name) {
  if (!document) return nullptr;
  return (IniSection*)hashmap_find(document->sections, name ? name : "");
}

IniSection* ini_add_section(IniDocument* document, const char* name) {
  if (!document) return nullptr;
  if (!name) name = "";
  IniSection* section = ini_section(document, name);
  if (section) return section;
  if (!ini_name_valid(name, 1)) return nullptr;
  return ini_section_insert(document, name, strlen(name));
}

IniValue* ini_has_key(const IniDocument* document, const char* section, const char* key) {
  if (!key) return nullptr;
  IniSection* s = ini_section(document, section);
  return s ? (IniValue*)hashmap_find(s->keys, key) : nullptr;
}

static void ini_free_value(void* value) { mem_free(((IniValue*)value)->text); }

static void ini_free_section(void* section) {
  hashmap_destroy(((IniSection*)section)->keys, nullptr, ini_free_value);
}

void ini_destroy(IniDocument* document) {
  if (!document) return;
  hashmap_destroy(document->sections, nullptr, ini_free_section);
  arena_destroy(document->arena);
  mem_free(document);
}

IniDocument* ini_load_bytes(const char* bytes, size_t size) {
  IniDocument* document = ini_create();
  IniSection* current = ini_section_insert(document, "", 0);
  size_t at = 0;
  if (size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) at = 3;
  while (at < size) {
    const char* start = bytes + at;
    const char* end = (const char*)memchr(start, '\n', size - at);
    size_t length = end ? (size_t)(end - start) : size - at;
    at += length + (end ? 1 : 0);
    IniLine line = ini_classify(start, length);
    if (line.kind == INI_LINE_HEADER) {
      char* name = ini_heap_copy(line.name.p, line.name.n);
      if (!ini_section(document, name)) current = ini_section_insert(document, name, line.name.n);
      mem_free(name);
    } else if (line.kind == INI_LINE_KEY) {
      char* key = ini_heap_copy(line.key.p, line.key.n);
      if (!hashmap_contains(current->keys, key)) {
        IniValue* value = ini_value_insert(document, current, key, line.key.n);
        ini_value_assign(value, line.value.p, line.value.n);
      }
      mem_free(key);
    }
  }
  return document;
}

// Reads a whole file. 1 with the bytes (the caller frees them), 0 when it cannot be opened
// or read; *missing tells a file that does not exist from one that failed.
static int ini_read_file(const char* path, char** bytes, size_t* size, int* missing) {
  *bytes = nullptr;
  *size = 0;
  *missing = 0;
  errno = 0;
  FILE* file = fopen(path, "rb");
  if (!file) {
    *missing = errno == ENOENT;
    return 0;
  }
  size_t capacity = 4096, used = 0;
  char* data = (char*)mem_alloc(capacity);
  for (;;) {
    if (used == capacity) {
      capacity *= 2;
      data = (char*)mem_realloc(data, capacity);
    }
    size_t got = fread(data + used, 1, capacity - used, file);
    used += got;
    if (got == 0) break;
  }
  int failed = ferror(file);
  fclose(file);
  if (failed) {
    mem_free(data);
    return 0;
  }
  *bytes = data;
  *size = used;
  return 1;
}

IniDocument* ini_load(const char* path) {
  if (!path || !path[0]) return nullptr;
  char* bytes;
  size_t size;
  int missing;
  if (!ini_read_file(path, &bytes, &size, &missing)) return nullptr;
  IniDocument* document = ini_load_bytes(bytes, size);
  mem_free(bytes);
  return document;
}

// ---------------------------------------------------------------------------------------
// Getters and setters

int ini_get_string(const IniDocument* document, const char* section, const char* key, const char** out,
                   const char* fallback) {
  if (!out) return 0;
  IniValue* value = ini_has_key(document, section, key);
  *out = value ? value->text : fallback;
  return 1;
}

int ini_get_int(const IniDocument* document, const char* section, const char* key, int* out, int fallback) {
  if (!out) return 0;
  IniValue* value = ini_has_key(document, section, key);
  *out = value ? value->integer : fallback;
  return 1;
}

int ini_get_float(const IniDocument* document, const char* section, const char* key, float* out,
                  float fallback) {
  if (!out) return 0;
  IniValue* value = ini_has_key(document, section, key);
  *out = value ? value->real : fallback;
  return 1;
}

int ini_get_bool(const IniDocument* document, const char* section, const char* key, int* out, int fallback) {
  if (!out) return 0;
  IniValue* value = ini_has_key(document, section, key);
  *out = value ? value->flag : fallback;
  return 1;
}

int ini_set_string(IniDocument* document, const char* section, const char* key, const char* value) {
  if (!document || !ini_name_valid(key, 0)) return 0;
  if (!value) value = "";
  if (!ini_value_valid(value)) return 0;
  IniSection* s = ini_add_section(document, section);
  if (!s) return 0;
  IniValue* record = (IniValue*)hashmap_find(s->keys, key);
  if (!record) record = ini_value_insert(document, s, key, strlen(key));
  ini_value_assign(record, value, strlen(value));
  return 1;
}

int ini_set_int(IniDocument* document, const char* section, const char* key, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  return ini_set_string(document, section, key, text);
}

int ini_set_float(IniDocument* document, const char* section, const char* key, float value) {
  char text[80];
  ini_format_real(value, text, sizeof text);
  return ini_set_string(document, section, key, text);
}

int ini_set_bool(IniDocument* document, const char* section, const char* key, int value) {
  return ini_set_string(document, section, key, value ? "1" : "0");
}

// ---------------------------------------------------------------------------------------
// Saving

struct IniOut {
  char* data;
  size_t size;
  size_t capacity;
};

static void ini_out_bytes(IniOut* out, const char* p, size_t n) {
  if (n == 0) return;
  if (out->size + n > out->capacity) {
    size_t capacity = out->capacity ? out->capacity : 4096;
    while (capacity < out->size + n) capacity *= 2;
    out->data = (char*)mem_realloc(out->data, capacity);
    out->capacity = capacity;
  }
  memcpy(out->data + out->size, p, n);
  out->size += n;
}

static void ini_out_text(IniOut* out, const char* text) { ini_out_bytes(out, text, strlen(text)); }

static void ini_out_key(IniOut* out, const char* key, const IniValue* value) {
  const char* text = value->text;
  size_t n = strlen(text);
  int quoted = 0;
  if (n > 0) {
    unsigned char first = (unsigned char)text[0], last = (unsigned char)text[n - 1];
    quoted = ini_is_space(first) || ini_is_space(last) || ini_is_quote(first) || ini_is_quote(last);
    // "[k=v]" would read back as a section header.
    if (key[0] == '[' && last == ']') quoted = 1;
  }
  ini_out_text(out, key);
  ini_out_text(out, quoted ? "='" : "=");
  ini_out_bytes(out, text, n);
  ini_out_text(out, quoted ? "'\n" : "\n");
}

// Writes the keys of section that are not in written, in slot order.
static void ini_out_unwritten(IniOut* out, const IniSection* section, const HashMap* written) {
  if (!section) return;
  const HashMap* keys = section->keys;
  for (uint32_t i = 0; i < keys->capacity; i++)
    if (keys->used[i] && !hashmap_contains(written, keys->keys[i]))
      ini_out_key(out, (const char*)keys->keys[i], (const IniValue*)keys->values[i]);
}

static void ini_compose(const IniDocument* document, const char* old, size_t size, IniOut* out) {
  Arena* names = arena_create(1024);
  HashMap* written = hashmap_create(32, string_equal, string_key_hash);
  HashMap* seen = hashmap_create(32, string_equal, string_key_hash);
  hashmap_insert(seen, "", nullptr);
  const IniSection* current = ini_section(document, "");
  size_t at = 0;
  if (size >= 3 && memcmp(old, "\xEF\xBB\xBF", 3) == 0) {
    ini_out_bytes(out, old, 3);
    at = 3;
  }
  const bool bom_kept = at == 3;
  while (at < size) {
    const char* start = old + at;
    const char* end = (const char*)memchr(start, '\n', size - at);
    size_t length = end ? (size_t)(end - start) : size - at;
    at += length + (end ? 1 : 0);
    IniLine line = ini_classify(start, length);
    if (line.kind == INI_LINE_HEADER) {
      char* name = ini_arena_copy(names, line.name.p, line.name.n);
      // Like the loader, a header for a section already seen does not reopen it.
      if (!hashmap_contains(seen, name)) {
        ini_out_unwritten(out, current, written);
        hashmap_clear(written, nullptr, nullptr);
        hashmap_insert(seen, name, nullptr);
        current = ini_section(document, name);
      }
    } else if (line.kind == INI_LINE_KEY && current) {
      char* key = ini_arena_copy(names, line.key.p, line.key.n);
      int64_t slot = hashmap_slot(current->keys, key);
      if (slot >= 0) {
        ini_out_key(out, (const char*)current->keys->keys[slot],
                    (const IniValue*)current->keys->values[slot]);
        hashmap_insert(written, current->keys->keys[slot], nullptr);
        continue;
      }
    }
    ini_out_bytes(out, start, length);
    ini_out_text(out, "\n");  // an unterminated last line would join the keys written next
  }
  ini_out_unwritten(out, current, written);
  const HashMap* sections = document->sections;
  for (uint32_t i = 0; i < sections->capacity; i++) {
    if (!sections->used[i]) continue;
    const IniSection* section = (const IniSection*)sections->values[i];
    if (!section->name[0] || hashmap_contains(seen, section->name)) continue;
    ini_out_text(out, "\n[");
    ini_out_text(out, section->name);
    ini_out_text(out, "]\n");
    hashmap_clear(written, nullptr, nullptr);
    ini_out_unwritten(out, section, written);
  }
  hashmap_destroy(seen, nullptr, nullptr);
  hashmap_destroy(written, nullptr, nullptr);
  arena_destroy(names);
  // A key whose name begins with the byte-order mark's bytes, written first in a file, would
  // lose them to the reader; a real mark in front keeps them.
  if (!bom_kept && out->size >= 3 && memcmp(out->data, "\xEF\xBB\xBF", 3) == 0) {
    IniOut marked = {};
    ini_out_bytes(&marked, "\xEF\xBB\xBF", 3);
    ini_out_bytes(&marked, out->data, out->size);
    mem_free(out->data);
    *out = marked;
  }
}

int ini_save(const IniDocument* document, const char* path) {
  if (!document || !path || !path[0]) return 0;
  char* old;
  size_t size;
  int missing;
  // An old file that exists but cannot be read is kept: replacing it would lose the lines
  // this document does not know.
  if (!ini_read_file(path, &old, &size, &missing) && !missing) return 0;
  IniOut out = {};
  ini_compose(document, old, size, &out);
  mem_free(old);

  size_t path_length = strlen(path);
  char* temporary = (char*)mem_alloc(path_length + 5);
  memcpy(temporary, path, path_length);
  memcpy(temporary + path_length, ".tmp", 5);
  int ok = 0;
  FILE* file = fopen(temporary, "wb");
  if (file) {
    ok = out.size == 0 || fwrite(out.data, 1, out.size, file) == out.size;
    ok = fflush(file) == 0 && ok;
    ok = !ferror(file) && ok;
    ok = fclose(file) == 0 && ok;
    if (ok) ok = rename(temporary, path) == 0;
    if (!ok) remove(temporary);
  }
  mem_free(temporary);
  mem_free(out.data);
  return ok;
}
