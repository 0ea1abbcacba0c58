// INI documents from arbitrary bytes: load, save over the same bytes (the layout-keeping
// path) and to a fresh file, load again. Nothing may crash; the reloaded document holds the
// same values; saving it again over the file gives the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ini.h"

static char g_dir[64];

static void remove_dir() {
  for (const char* name : {"/in_place.ini", "/fresh.ini"}) unlink((std::string(g_dir) + name).c_str());
  rmdir(g_dir);
}

static std::string fuzz_dir() {
  if (!g_dir[0]) {
    snprintf(g_dir, sizeof g_dir, "/tmp/fuzz_ini_XXXXXX");
    if (!mkdtemp(g_dir)) abort();
    atexit(remove_dir);
  }
  return g_dir;
}

static void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

static std::string read_bytes(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) abort();
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  fclose(f);
  return out;
}

// Every value of a must be in b with the same text and fields, and the counts must match.
static void check_same(const IniDocument* a, const IniDocument* b) {
  uint32_t a_sections = 0, b_sections = 0;
  for (uint32_t i = 0; i < a->sections->capacity; i++) {
    if (!a->sections->used[i]) continue;
    a_sections++;
    const IniSection* section = (const IniSection*)a->sections->values[i];
    const IniSection* other = ini_section(b, section->name);
    if (!other || other->keys->count != section->keys->count) abort();
    for (uint32_t k = 0; k < section->keys->capacity; k++) {
      if (!section->keys->used[k]) continue;
      const char* key = (const char*)section->keys->keys[k];
      const IniValue* x = (const IniValue*)section->keys->values[k];
      const IniValue* y = ini_has_key(b, section->name, key);
      if (!y || strcmp(x->text, y->text) != 0 || x->integer != y->integer || x->flag != y->flag) abort();
      if (memcmp(&x->real, &y->real, sizeof(float)) != 0) abort();
    }
  }
  for (uint32_t i = 0; i < b->sections->capacity; i++) b_sections += b->sections->used[i];
  if (a_sections != b_sections) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  std::string dir = fuzz_dir();
  std::string in_place = dir + "/in_place.ini", fresh = dir + "/fresh.ini";
  write_bytes(in_place, data, size);
  IniDocument* first = ini_load(in_place.c_str());
  if (!first) abort();

  // Over the original bytes.
  if (!ini_save(first, in_place.c_str())) abort();
  std::string saved = read_bytes(in_place);
  IniDocument* second = ini_load(in_place.c_str());
  check_same(first, second);
  if (!ini_save(second, in_place.c_str())) abort();
  if (read_bytes(in_place) != saved) abort();

  // To a file that does not exist yet, then over it. (Two fresh files may order a wrapped
  // cluster of hash slots differently: the reloaded map inserts in the first file's order.)
  unlink(fresh.c_str());
  if (!ini_save(first, fresh.c_str())) abort();
  std::string fresh_bytes = read_bytes(fresh);
  IniDocument* third = ini_load(fresh.c_str());
  check_same(first, third);
  if (!ini_save(third, fresh.c_str())) abort();
  if (read_bytes(fresh) != fresh_bytes) abort();

  ini_destroy(third);
  ini_destroy(second);
  ini_destroy(first);
  return 0;
}
