#include "platform/platform_paths.h"

#include <SDL.h>
#include <errno.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

// Copies an SDL-owned path without its trailing separator and frees it.
static int platform_take_sdl_path(char* sdl_path, char* out, size_t size) {
  if (!out || size == 0) {
    SDL_free(sdl_path);
    return 0;
  }
  out[0] = 0;
  if (!sdl_path) return 0;
  size_t n = strlen(sdl_path);
  while (n > 1 && (sdl_path[n - 1] == '/' || sdl_path[n - 1] == '\\')) n--;
  int result = n == 0 ? 0 : (n < size ? 1 : -1);
  if (result == 1) {
    memcpy(out, sdl_path, n);
    out[n] = 0;
  }
  SDL_free(sdl_path);
  return result;
}

int platform_base_dir(char* out, size_t size) { return platform_take_sdl_path(SDL_GetBasePath(), out, size); }

int platform_user_data_dir(char* out, size_t size) {
  return platform_take_sdl_path(SDL_GetPrefPath(nullptr, "Ostrevane"), out, size);
}

int platform_make_dir(const char* path) {
  if (!path || !path[0]) return 0;
  if (mkdir(path, 0755) == 0) return 1;
  struct stat info;
  return errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int platform_path_exists(const char* path) {
  if (!path || !path[0]) return 0;
  struct stat info;
  if (lstat(path, &info) == 0) return 1;
  return !(errno == ENOENT || errno == ENOTDIR);
}
