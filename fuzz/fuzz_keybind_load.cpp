// Binding texts of arbitrary bytes through the profile into keybind_load. The bytes are cut at
// line feeds; line i becomes the profile text of binding i (the profile may refuse some).
// After loading, every key is within 0..120 and every modifier within 0..7; a binding whose
// stored text has other than four fields keeps its defaults, and one whose four fields are
// plain decimal numbers holds them clamped. Saving writes at most 256 characters without
// spaces per binding, and loading what was saved gives the same table.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/keybind.h"
#include "settings/settings.h"

namespace {

char g_dir[64];

void remove_dir(void) {
  unlink((std::string(g_dir) + "/profile.ini").c_str());
  rmdir(g_dir);
}

// A profile path in a private folder; the profile is never saved there.
std::string profile_path(void) {
  if (!g_dir[0]) {
    snprintf(g_dir, sizeof g_dir, "/tmp/fuzz_keybind_XXXXXX");
    if (!mkdtemp(g_dir)) abort();
    atexit(remove_dir);
  }
  return std::string(g_dir) + "/profile.ini";
}

int64_t clamp(int64_t v, int64_t low, int64_t high) { return v < low ? low : v > high ? high : v; }

// Four fields of an optional minus and 1..9 digits, read with strtol; 0 for any other form.
int plain_fields(const char* text, int64_t out[4]) {
  const char* p = text;
  for (int i = 0; i < 4; i++) {
    const char* start = p;
    if (*p == '-') p++;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') p++;
    if (p == digits || p - digits > 9) return 0;
    out[i] = strtol(start, nullptr, 10);
    if (*p != (i < 3 ? ',' : 0)) return 0;
    p++;
  }
  return 1;
}

int field_count(const char* text) {
  int n = 1;
  for (const char* p = text; *p; p++) n += *p == ',';
  return n;
}

bool same_row(const KeyBinding& a, const KeyBinding& b) {
  return a.primary_key == b.primary_key && a.primary_mods == b.primary_mods &&
         a.secondary_key == b.secondary_key && a.secondary_mods == b.secondary_mods;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  profile_load(profile_path().c_str());
  const uint8_t* line = data;
  const uint8_t* end = data + size;
  for (int i = 0; i < KEYBIND_COUNT && line && line < end; i++) {
    const uint8_t* feed = (const uint8_t*)memchr(line, '\n', (size_t)(end - line));
    std::string text((const char*)line, (size_t)((feed ? feed : end) - line));
    set_binding_text(keybind_def(i)->name, text.c_str());
    line = feed ? feed + 1 : nullptr;
  }

  keybind_load();
  KeyBinding table[KEYBIND_COUNT];
  keybind_get_table(table);
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    const KeyBinding& b = table[i];
    const KeyBindingDef* d = keybind_def(i);
    if (b.index != i) abort();
    if (b.primary_key < 0 || b.primary_key > 120 || b.secondary_key < 0 || b.secondary_key > 120) abort();
    if (b.primary_mods < 0 || b.primary_mods > 7 || b.secondary_mods < 0 || b.secondary_mods > 7) abort();
    const char* stored = binding_text(d->name);
    KeyBinding defaults = {i, d->primary_key, d->primary_mods, d->secondary_key, d->secondary_mods};
    if ((!stored || field_count(stored) != 4) && !same_row(b, defaults)) abort();
    int64_t f[4];
    if (stored && plain_fields(stored, f)) {
      KeyBinding expect = {i, (int32_t)clamp(f[0], 0, 120), (int32_t)clamp(f[1], 0, 7),
                           (int32_t)clamp(f[2], 0, 120), (int32_t)clamp(f[3], 0, 7)};
      if (!same_row(b, expect)) abort();
    }
  }

  keybind_save();
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    const char* saved = binding_text(keybind_def(i)->name);
    if (!saved || strlen(saved) > KEYBIND_TEXT_MAX || strchr(saved, ' ')) abort();
  }
  keybind_load();
  KeyBinding back[KEYBIND_COUNT];
  keybind_get_table(back);
  for (int i = 0; i < KEYBIND_COUNT; i++)
    if (!same_row(table[i], back[i])) abort();

  keybind_shutdown();
  settings_close();
  return 0;
}
