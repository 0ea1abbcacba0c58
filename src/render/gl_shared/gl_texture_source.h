#pragma once
// Where the OpenGL backends get their textures: a seam over the asset layer. A draw may start
// a load (the first draw naming a texture asks for it without waiting); the asset events and
// the resume only look at what the cache already holds, never queueing a load, so an event
// for a pair released or purged since cannot bring it back.
//
// Look-ups answer 0 while the texture is not loaded, and 1 once it is settled: *out is then
// the texture, or the fallback placeholder or null when its load failed. Until a source is
// installed nothing is found and draws that name textures are skipped. Main thread only.
#include <cstdint>

#include "assets/texture.h"

struct GlTextureSource {
  // The draw path: may queue the load.
  int (*request)(int32_t id, Texture** out);
  // The event and resume paths: the cache alone, never queueing.
  int (*find)(int32_t id, Texture** out);
  // 1 when an asset event's payload names a texture; *id is then its id.
  int (*texture_event)(const void* payload, int32_t* id);
};

void gl_set_texture_source(const GlTextureSource* source);  // null: nothing is ever found
// The installed source (never null; its slots are null when none is installed).
const GlTextureSource* gl_texture_source(void);
// The source over the asset cache (asset_request, asset_find, AssetEvent payloads).
const GlTextureSource* gl_asset_texture_source(void);
