#include "assets/assets.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "assets/archive.h"
#include "assets/bsp.h"
#include "assets/cache.h"
#include "assets/font.h"
#include "assets/map.h"
#include "assets/mesh.h"
#include "assets/sound.h"
#include "assets/texture.h"

static const char* const REQUIRED_FILES[] = {
    "anim.dat", "bsp.dat",  "font.dat",  "light.dat", "locale.dat",
    "map.dat",  "mesh.dat", "music.dat", "sound.dat", "texture.dat",
};

// The decoders of the asset kinds built so far, with the largest entry each kind can hold
// (0: the cache's default). Start-up installs each into a slot that has no decoder yet, so
// tests that install fakes first keep them.
static const struct {
  uint32_t type;
  AssetDecoder decoder;
  uint64_t size_limit;
} BUILTIN_DECODERS[] = {
    {ASSET_TEXTURE, {texture_decode_asset, texture_destroy_asset}, 0},
    {ASSET_IMAGE, {image_decode_asset, image_destroy_asset}, 0},
    {ASSET_MAP, {map_decode_asset, map_destroy_asset}, MAP_FILE_MAX},
    {ASSET_BSP, {bsp_decode_asset, bsp_destroy_asset}, BSP_FILE_MAX},
    {ASSET_FONT, {font_decode_asset, font_destroy_asset}, 0},
    {ASSET_SOUND, {sound_decode_asset, sound_destroy_asset}, SOUND_FILE_MAX},
    {ASSET_MESH, {mesh_decode_asset, mesh_destroy_asset}, MESH_FILE_MAX},
};

static Archive* g_archives[ASSET_ARCHIVE_COUNT];
static int g_started;

int assets_join_path(char* out, size_t out_size, const char* directory, const char* name) {
  if (!out || !name) return 0;
  size_t dir_length = directory ? strlen(directory) : 0;
  size_t name_length = strlen(name);
  if (dir_length == 0) {
    if (name_length + 1 > out_size) return 0;
    memcpy(out, name, name_length + 1);
    return 1;
  }
  int separator = directory[dir_length - 1] != '/';
  if (dir_length + separator + name_length + 1 > out_size) return 0;
  memcpy(out, directory, dir_length);
  if (separator) out[dir_length] = '/';
  memcpy(out + dir_length + separator, name, name_length + 1);
  return 1;
}

int assets_check_present(const char* assets_dir) {
  if (!assets_dir || !assets_dir[0]) return 0;
  char path[ASSET_PATH_MAX];
  for (const char* name : REQUIRED_FILES) {
    if (!assets_join_path(path, sizeof path, assets_dir, name)) return 0;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return 0;
  }
  return 1;
}

void assets_startup(const char* assets_dir) {
  if (g_started) return;
  for (const auto& builtin : BUILTIN_DECODERS) {
    if (!asset_decoder(builtin.type).decode) asset_set_decoder(builtin.type, builtin.decoder);
    if (builtin.size_limit) asset_set_size_limit(builtin.type, builtin.size_limit);
  }
  char path[ASSET_PATH_MAX];
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++) {
    g_archives[i] = nullptr;
    if (assets_join_path(path, sizeof path, assets_dir, ASSET_ARCHIVE_NAMES[i]))
      g_archives[i] = archive_open(path);
  }
  asset_cache_start(g_archives);
  g_started = 1;
}

void assets_shutdown(void) {
  if (!g_started) return;
  asset_cache_stop();
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++) {
    archive_close(g_archives[i]);
    g_archives[i] = nullptr;
  }
  g_started = 0;
}
