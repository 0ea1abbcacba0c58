#include "settings/settings_paths.h"

#include <cstdio>
#include <cstring>

#include "platform/platform_paths.h"

// Joins up to three parts into out; "" when the result would exceed the path limit or a
// part is missing or empty.
static const char* path_join(char* out, const char* a, const char* b, const char* c = "") {
  out[0] = 0;
  if (!a || !a[0] || !b || !c) return out;
  int n = snprintf(out, SETTINGS_PATH_MAX + 1, "%s/%s%s", a, b, c);
  if (n < 0 || n > SETTINGS_PATH_MAX) out[0] = 0;
  return out;
}

const char* settings_client_dir() {
  static char path[SETTINGS_PATH_MAX + 1];
  platform_base_dir(path, sizeof path);
  return path;
}

const char* settings_assets_dir() {
  static char path[SETTINGS_PATH_MAX + 1];
  return path_join(path, settings_client_dir(), "assets");
}

const char* settings_user_folder() {
  static char path[SETTINGS_PATH_MAX + 1];
  // No data folder at all: the client directory stands in. One too long to keep: "".
  if (platform_user_data_dir(path, sizeof path) == 0)
    snprintf(path, sizeof path, "%s", settings_client_dir());
  return path;
}

int settings_make_dirs(const char* path) {
  if (!path || !path[0]) return 0;
  size_t length = strlen(path);
  if (length > SETTINGS_PATH_MAX) return 0;
  char prefix[SETTINGS_PATH_MAX + 1];
  memcpy(prefix, path, length + 1);
  for (size_t i = 1; i <= length; i++) {
    if (i < length && prefix[i] != '/') continue;
    if (prefix[i - 1] == '/') continue;  // doubled separators
    char saved = prefix[i];
    prefix[i] = 0;
    int ok = platform_make_dir(prefix);
    prefix[i] = saved;
    if (!ok) return 0;
  }
  return 1;
}

const char* settings_default_path() {
  static char path[SETTINGS_PATH_MAX + 1];
  const char* folder = settings_user_folder();
  settings_make_dirs(folder);
  return path_join(path, folder, "settings.ini");
}

const char* settings_screenshot_dir() {
  static char path[SETTINGS_PATH_MAX + 1];
  path_join(path, settings_user_folder(), "screenshots");
  settings_make_dirs(path);
  return path;
}

// A server-supplied name as one harmless path component; 0 for a null or empty name.
static int profile_component(const char* name, char* out, size_t size) {
  if (!name || !name[0]) return 0;
  size_t n = strlen(name);
  if (n >= size) return 0;
  for (size_t i = 0; i < n; i++) {
    unsigned char c = (unsigned char)name[i];
    int unsafe = c == '/' || c == '\\' || c == ':' || c < 0x20 || c == 0x7F || (i == 0 && c == '.');
    out[i] = unsafe ? '_' : (char)c;
  }
  out[n] = 0;
  return 1;
}

// 1 when path is directory + "/" + more, with no "." or ".." segment after directory.
static int path_inside(const char* path, const char* directory) {
  size_t n = strlen(directory);
  if (n == 0 || strncmp(path, directory, n) != 0 || path[n] != '/' || !path[n + 1]) return 0;
  for (const char* p = path + n; *p; p++) {
    if (*p != '/') continue;
    const char* segment = p + 1;
    if (segment[0] == '/' || segment[0] == 0) return 0;
    if (segment[0] == '.' && (segment[1] == '/' || segment[1] == 0)) return 0;
    if (segment[0] == '.' && segment[1] == '.' && (segment[2] == '/' || segment[2] == 0)) return 0;
  }
  return 1;
}

const char* settings_profile_path(const char* summary_name, const char* character_name) {
  static char path[SETTINGS_PATH_MAX + 1];
  char summary[SETTINGS_PATH_MAX + 1], character[SETTINGS_PATH_MAX + 1];
  char conf[SETTINGS_PATH_MAX + 1], folder[SETTINGS_PATH_MAX + 1];
  path[0] = 0;
  if (!profile_component(summary_name, summary, sizeof summary) ||
      !profile_component(character_name, character, sizeof character))
    return path;
  path_join(conf, settings_user_folder(), "conf");
  path_join(folder, conf, summary);
  path_join(path, folder, character, ".ini");
  if (!path[0] || !path_inside(path, conf)) {
    path[0] = 0;
    return path;
  }
  settings_make_dirs(folder);
  return path;
}
