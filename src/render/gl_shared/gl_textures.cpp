#include "render/gl_shared/gl_textures.h"

#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_texture_source.h"
#include "render/texture_options.h"
#include "render/texture_prep.h"

namespace {

IntMap* g_names;     // id -> GL name; 0: drawn untextured
IntMap* g_resident;  // ids the asset cache holds loaded

typedef int (*LookUp)(int32_t id, Texture** out);

int is_power_of_two(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

void release_name(uint32_t name) {
  if (name && g_gl_shared.ops && g_gl_shared.ops->release) g_gl_shared.ops->release(name);
}

void release_entry_name(uint32_t, void* name, void*) { release_name((uint32_t)(uintptr_t)name); }

void release_all_names(void) {
  IntMap* map = g_names;
  if (!map) return;
  intmap_each(map, release_entry_name, nullptr);
  intmap_clear(map, nullptr);
}

struct IdList {
  int32_t* ids;
  uint32_t count;
};

void collect_id(uint32_t id, void*, void* list) {
  IdList* l = (IdList*)list;
  l->ids[l->count++] = (int32_t)id;
}

// The map entry of id, uploading through look_up when there is none. 0: nothing settled.
int resolve(int32_t id, LookUp look_up, uint32_t* name_out) {
  *name_out = 0;
  if (id == 0) return 1;
  if (!g_names) return 0;
  if (intmap_contains(g_names, (uint32_t)id)) {
    *name_out = (uint32_t)(uintptr_t)intmap_find(g_names, (uint32_t)id);
    return 1;
  }
  Texture* texture = nullptr;
  if (!look_up || !look_up(id, &texture)) return 0;
  if (g_gl_shared.suspended) return 0;
  const Texture* usable = gl_texture_usable(texture);
  uint32_t name = 0;
  if (usable) {
    name = g_gl_shared.ops->store(usable);
    if (!name) return 0;  // tried again at the next draw
  }
  intmap_insert(g_names, (uint32_t)id, (void*)(uintptr_t)name);
  *name_out = name;
  return 1;
}

// Keeps id resident (and uploaded while the device is there) only while the cache holds it.
void settle(int32_t id) {
  LookUp find = gl_texture_source()->find;
  Texture* texture = nullptr;
  if (!find || !find(id, &texture)) {
    intmap_take(g_resident, (uint32_t)id);
    return;
  }
  intmap_insert(g_resident, (uint32_t)id, (void*)(uintptr_t)1);
  uint32_t name;
  if (!g_gl_shared.suspended) resolve(id, find, &name);
}

void asset_event(uint32_t event, const void* payload) {
  if (event != EVENT_ASSET_LOADED && event != EVENT_ASSET_RELEASED) return;
  const GlTextureSource* source = gl_texture_source();
  int32_t id = 0;
  if (!source->texture_event || !source->texture_event(payload, &id)) return;
  if (event == EVENT_ASSET_LOADED)
    gl_texture_loaded(id);
  else
    gl_texture_released(id);
}

}  // namespace

void gl_textures_start(void) {
  if (!g_names) g_names = intmap_create(32);
  if (!g_resident) g_resident = intmap_create(32);
  event_subscribe(asset_event);
}

void gl_textures_stop(void) {
  event_unsubscribe(asset_event);
  release_all_names();
  intmap_destroy(g_names, nullptr);
  intmap_destroy(g_resident, nullptr);
  g_names = g_resident = nullptr;
}

void gl_textures_drop_names(void) { release_all_names(); }

void gl_textures_resume(void) {
  if (!g_resident || g_resident->count == 0) return;
  // Settling may remove ids, which moves entries of the set: walk a copy.
  IdList list = {(int32_t*)mem_alloc(sizeof(int32_t) * g_resident->count), 0};
  intmap_each(g_resident, collect_id, &list);
  for (uint32_t i = 0; i < list.count; i++) settle(list.ids[i]);
  mem_free(list.ids);
}

int gl_texture_for_draw(int32_t id, uint32_t* name) {
  return resolve(id, gl_texture_source()->request, name);
}

uint32_t gl_texture_upload(int32_t id) {
  uint32_t name = 0;
  gl_texture_for_draw(id, &name);
  return name;
}

const Texture* gl_texture_usable(const Texture* texture) {
  GLenum format;
  GLint alignment;
  const Texture* fallback = texture_fallback();
  const Texture* failed = gl_texture_formats(fallback, &format, &alignment) ? fallback : nullptr;
  // A failed load draws magenta, so a missing asset is seen.
  if (!texture || texture == fallback) return failed;
  // Nothing GL is given to hold: drawn as if no texture had been named.
  if (!texture->pixels || texture->pixel_size == 0 || !gl_texture_formats(texture, &format, &alignment))
    return nullptr;
  GLint largest = 0;
  g_gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  uint64_t bytes = (uint64_t)texture->width * texture->height * pixel_format_bytes(texture->format);
  if (!is_power_of_two(texture->width) || !is_power_of_two(texture->height) ||
      texture->width > (uint32_t)largest || texture->height > (uint32_t)largest ||
      bytes > (uint64_t)texture->pixel_size)
    return failed;
  return texture;
}

int gl_texture_formats(const Texture* texture, GLenum* format, GLint* alignment) {
  if (!texture) return 0;
  if (texture->format == PF_RGB888) {
    *format = GL_RGB;
    *alignment = 1;
    return 1;
  }
  if (texture->format == PF_RGBA8888) {
    *format = GL_RGBA;
    *alignment = 4;
    return 1;
  }
  return 0;
}

void gl_texture_specify(const Texture* t, GLint internal_format, GLenum format, GLint alignment,
                        int anisotropy) {
  g_gl.PixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  GLint wrap = t->wrap ? GL_REPEAT : GL_CLAMP;
  g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  // Levels that are usable: each one's size halves the previous one's (at least 1).
  int levels = 1;
  for (const Texture *above = t, *level = t->next; level && level->pixels;
       above = level, level = level->next) {
    uint32_t w = above->width > 1 ? above->width / 2 : 1, h = above->height > 1 ? above->height / 2 : 1;
    if (level->width != w || level->height != h || level->format != t->format) break;
    if ((uint64_t)w * h * pixel_format_bytes(t->format) > (uint64_t)level->pixel_size) break;
    levels++;
  }
  bool mipmapped = levels > 1;
  if (t->filter) {
    g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (mipmapped) {
      g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                         texture_trilinear() ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST);
      if (anisotropy && t->anisotropic && g_gl_shared.max_anisotropy > 1)
        g_gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, g_gl_shared.max_anisotropy);
    } else {
      g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
  } else {
    g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  }
  // A chain that stops above 1 x 1 would leave the texture incomplete (drawn white): the
  // last level present is declared the last. Always set, because the display-list backend
  // re-specifies one texture whose earlier levels would otherwise linger.
  g_gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  const Texture* level = t;
  for (int i = 0; i < levels; i++, level = level->next)
    g_gl.TexImage2D(GL_TEXTURE_2D, i, internal_format, (GLsizei)level->width, (GLsizei)level->height, 0,
                    format, GL_UNSIGNED_BYTE, level->pixels);
}

void gl_texture_loaded(int32_t id) {
  if (!g_resident || id == 0) return;
  settle(id);
}

void gl_texture_released(int32_t id) {
  if (!g_resident) return;
  intmap_take(g_resident, (uint32_t)id);
  if (g_gl_shared.suspended || !g_names) return;
  void* value = nullptr;
  if (!intmap_remove(g_names, (uint32_t)id, &value)) return;
  uint32_t name = (uint32_t)(uintptr_t)value;
  if (!name) return;
  g_gl_shared.ops->bind(0);  // the shadow must not keep a deleted name as bound
  release_name(name);
}

uint32_t gl_textures_resident_count(void) { return g_resident ? g_resident->count : 0; }

uint32_t gl_textures_mapped_count(void) { return g_names ? g_names->count : 0; }
