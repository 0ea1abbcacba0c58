#include "settings/settings.h"

#include <cstring>

#include "base/ini.h"
#include "platform/platform_paths.h"
#include "settings/keys.h"

// One settings document or profile with the file it came from.
struct SettingsFile {
  IniDocument* document;
  char path[SETTINGS_PATH_MAX + 1];
  // The file existed but could not be read: it must not be replaced by what is in memory.
  int keep_file;
};

static SettingsFile g_settings;
static SettingsFile g_profile;
static float g_camera_pitch;
static float g_camera_distance;

IniDocument* settings_document() { return g_settings.document; }
const char* settings_path() { return g_settings.path; }
IniDocument* profile_document() { return g_profile.document; }
const char* profile_file() { return g_profile.path; }

static int settings_file_save(const SettingsFile* file) {
  if (!file->document || file->keep_file) return 0;
  return ini_save(file->document, file->path);
}

static void settings_file_release(SettingsFile* file) {
  ini_destroy(file->document);
  file->document = nullptr;
  file->path[0] = 0;
  file->keep_file = 0;
}

// Loads path into file; when there is nothing readable, builds a document with the given
// first-run keys. Only a missing file may later be written over.
// Copies a path that fits the limit; a longer one becomes "".
static void settings_path_copy(char* out, const char* path) {
  size_t length = path ? strlen(path) : 0;
  if (length > SETTINGS_PATH_MAX) length = 0;
  memmove(out, path ? path : "", length);
  out[length] = 0;
}

static void settings_file_open(SettingsFile* file, const char* path, const SettingId* first_run, int count) {
  settings_path_copy(file->path, path);
  file->keep_file = 0;
  file->document = ini_load(file->path);
  if (file->document) return;
  file->keep_file = platform_path_exists(file->path);
  file->document = ini_create();
  // The first-run backend is its own default; the keys it overrides follow it.
  int backend =
      setting_rule_int(SETTING_RENDERING_BACKEND, (int)SETTING_KEYS[SETTING_RENDERING_BACKEND].fallback, 0);
  for (int i = 0; i < count; i++) {
    const SettingKey* key = &SETTING_KEYS[first_run[i]];
    switch (key->type) {
      case SETTING_TYPE_BOOL:
        ini_set_bool(file->document, key->section, key->name,
                     setting_rule_int(key->id, (int)key->fallback, backend));
        break;
      case SETTING_TYPE_INT:
        ini_set_int(file->document, key->section, key->name,
                    setting_rule_int(key->id, (int)key->fallback, backend));
        break;
      case SETTING_TYPE_FLOAT:
        ini_set_float(file->document, key->section, key->name,
                      setting_rule_float(key->id, (float)key->fallback));
        break;
      case SETTING_TYPE_STRING:
        ini_set_string(file->document, key->section, key->name, "");
        break;
    }
  }
}

void settings_load(const char* path) {
  char next[SETTINGS_PATH_MAX + 1];
  settings_path_copy(next, path);  // path may be settings_path(), which the release clears
  if (g_settings.document) {
    settings_file_save(&g_settings);
    settings_file_release(&g_settings);
  }
  settings_file_open(&g_settings, next, SETTINGS_FIRST_RUN, SETTINGS_FIRST_RUN_COUNT);
}

int settings_save() { return settings_file_save(&g_settings); }

void settings_close() {
  settings_file_save(&g_settings);
  settings_file_release(&g_settings);
  settings_file_release(&g_profile);
  g_camera_pitch = 0;
  g_camera_distance = 0;
}

// ---------------------------------------------------------------------------------------
// Profile and camera values

static void profile_store_camera() {
  ini_set_float(g_profile.document, "Camera", "PITCH", g_camera_pitch);
  ini_set_float(g_profile.document, "Camera", "DISTANCE", g_camera_distance);
}

void profile_load(const char* path) {
  char next[SETTINGS_PATH_MAX + 1];
  settings_path_copy(next, path);  // path may be profile_file(), which the release clears
  if (g_profile.document) {
    profile_store_camera();
    settings_file_save(&g_profile);
    settings_file_release(&g_profile);
  }
  settings_file_open(&g_profile, next, PROFILE_FIRST_RUN, PROFILE_FIRST_RUN_COUNT);
  g_camera_pitch = setting_float_value(SETTING_PITCH);
  g_camera_distance = setting_float_value(SETTING_DISTANCE);
}

int profile_save() {
  if (!g_profile.document) return 0;
  profile_store_camera();
  return settings_file_save(&g_profile);
}

float camera_pitch() { return g_camera_pitch; }
float camera_distance() { return g_camera_distance; }
void camera_set_pitch(float pitch) { g_camera_pitch = pitch; }
void camera_set_distance(float distance) { g_camera_distance = distance; }

// ---------------------------------------------------------------------------------------
// Key bindings and chat macros

static const char* profile_text(const char* section, const char* name) {
  if (!g_profile.document || !name) return nullptr;
  const char* text = nullptr;
  ini_get_string(g_profile.document, section, name, &text, nullptr);
  return text;
}

const char* binding_text(const char* key_name) { return profile_text("Keybinding", key_name); }
int set_binding_text(const char* key_name, const char* text) {
  return ini_set_string(g_profile.document, "Keybinding", key_name, text);
}
const char* macro_text(const char* macro_name) { return profile_text("Macro", macro_name); }
int set_macro_text(const char* macro_name, const char* text) {
  return ini_set_string(g_profile.document, "Macro", macro_name, text);
}
