#include "render/gl_shared/gl_texture_source.h"

#include "assets/cache.h"

namespace {

GlTextureSource g_source;

int settled(const AssetHandle* handle, Texture** out) {
  if (!handle->ready) return 0;
  *out = (Texture*)handle->object;
  return 1;
}

int asset_texture_request(int32_t id, Texture** out) {
  AssetHandle handle;
  asset_request(&handle, ASSET_TEXTURE, (uint32_t)id);
  return settled(&handle, out);
}

int asset_texture_find(int32_t id, Texture** out) {
  AssetHandle handle;
  if (!asset_find(&handle, ASSET_TEXTURE, (uint32_t)id)) return 0;
  return settled(&handle, out);
}

int asset_texture_event(const void* payload, int32_t* id) {
  const AssetEvent* event = (const AssetEvent*)payload;
  if (!event || event->type != ASSET_TEXTURE) return 0;
  *id = (int32_t)event->id;
  return 1;
}

const GlTextureSource ASSET_SOURCE = {asset_texture_request, asset_texture_find, asset_texture_event};

}  // namespace

void gl_set_texture_source(const GlTextureSource* source) { g_source = source ? *source : GlTextureSource{}; }

const GlTextureSource* gl_texture_source(void) { return &g_source; }

const GlTextureSource* gl_asset_texture_source(void) { return &ASSET_SOURCE; }
