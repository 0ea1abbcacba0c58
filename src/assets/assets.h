#pragma once
// Start-up and shut-down of the asset archives and the loader, and the presence check the
// entry point makes before anything else starts.
//
// assets_check_present: 1 when the assets directory is named and holds anim.dat, bsp.dat,
// font.dat, light.dat, locale.dat, map.dat, mesh.dat, music.dat, sound.dat and texture.dat
// (existence only; morph.dat is optional); 0 at the first one missing or when a path would
// not fit ASSET_PATH_MAX.
//
// assets_startup opens the ten archives of the table in cache.h (a file that cannot be
// opened or parsed leaves its slot empty, silently: its types then fail to load) and starts
// the loader, after installing the built-in decoders (textures, images, meshes, maps, BSP trees,
// fonts and sounds so far) into every type that has none, with the size limits of those kinds; an empty
// directory means the bare file names. assets_shutdown stops the loader, destroys the cache
// (posting release events) and closes the archives.
#include <cstddef>

constexpr size_t ASSET_PATH_MAX = 4096;

int assets_check_present(const char* assets_dir);
void assets_startup(const char* assets_dir);
void assets_shutdown(void);

// directory + "/" + name into out (the bare name for a null or empty directory); 0 when it
// would not fit in out_size bytes with its terminator.
int assets_join_path(char* out, size_t out_size, const char* directory, const char* name);
