#pragma once
// What the two OpenGL backends share: the context and version check, the state shadow with
// its generation counter, the texture map and resident set with their asset-event handling,
// texture parameters and image upload, the draw state steps and colour conversion, clear,
// present, vertical sync, viewport, strings and screenshots. Each backend adds only how it
// stores and binds a texture and how it sends vertices (GlBackendOps).
//
// State shadow: every item the backends set remembers its value and the generation at which
// it was set; an item is issued only when its value differs or its generation is not the
// current one. The generation moves on at init_device and at every resume, so the first draw
// after either re-issues everything. Matrices are shadowed too.
//
// One GL backend is active at a time; all of this is process-wide and main-thread only. No
// GL error is ever queried. Textures come through the GlTextureSource seam: the asset cache
// answers look-ups (never queueing a load) and decodes its event payloads; until it is wired
// nothing is found and draws that name textures are skipped.
#include <cstdint>

#include "assets/texture.h"
#include "render/gl/gl_api.h"
#include "render/render.h"

struct Window;
struct IntMap;

// The asset layer as the GL backends see it.
struct GlTextureSource {
  // 0: not loaded (yet). 1: settled; *out is the texture, or null when its load failed.
  int (*find)(int32_t id, Texture** out);
  // 1 when an asset event's payload names a texture; *id is then its id.
  int (*texture_event)(const void* payload, int32_t* id);
};
void gl_set_texture_source(const GlTextureSource* source);  // null: nothing is ever found

struct GlBackendOps {
  // Stores the texture (already checked and replaced by the fallback where needed) under a
  // new name; 0 when nothing was stored.
  uint32_t (*store)(const Texture* texture);
  void (*release)(uint32_t name);
  // Makes name the texture of the next draw (through the shadow).
  void (*bind)(uint32_t name);
  void (*send)(DrawRecord* record, GLenum mode);
  int arrays;  // client arrays and anisotropy exist
};

struct GlShared {
  Window* window;
  void* context;
  const GlBackendOps* ops;
  IntMap* textures;  // texture id -> GL name (texture object or display list)
  IntMap* resident;  // ids the asset layer holds in memory
  float max_anisotropy;
  int suspended;
  int vsync_on;
  int vsync_known, vsync_supported;
  int viewport[4];
  uint32_t generation;
  char screenshot_path[1024];
  int screenshot_pending;
  int screenshot_result;  // of the last served request: 1 written, 0 failed
};
extern GlShared g_gl_shared;

// Parses "major.minor" from the start of a version string; 0 when it does not match.
int gl_parse_version(const char* text, int* major, int* minor);
// Vertex arrays and texture objects need more than OpenGL 1.0.
int gl_version_has_arrays(int major, int minor);
// The version of the current context, parsed once for the process; 0 when unreadable.
int gl_context_version(int* major, int* minor);
// A whole space-separated word of a list (extension strings).
int gl_has_word(const char* list, const char* word);

// Creates the context on the window; 0 on failure with nothing left behind.
int gl_shared_create_context(Window* window);
// Fills the table with the shared slots and remembers the backend's operations.
void gl_shared_fill(RenderBackend* table, const GlBackendOps* ops);

// ---- State shadow.
enum GlEnableItem : int {
  GL_ITEM_TEXTURE,
  GL_ITEM_DEPTH_TEST,
  GL_ITEM_ALPHA_TEST,
  GL_ITEM_CULL,
  GL_ITEM_BLEND,
  GL_ITEM_FOG,
  GL_ITEM_SCISSOR,
  GL_ITEM_ENABLE_COUNT
};
void gl_state_enable(GlEnableItem item, int on);
void gl_state_bind(uint32_t name);       // texture object on GL_TEXTURE_2D
void gl_state_call_list(uint32_t list);  // 0: forget the last list called
enum GlArray : int { GL_ARRAY_VERTEX, GL_ARRAY_TEXCOORD, GL_ARRAY_COLOUR };
void gl_state_pointer(GlArray array, GLint size, GLenum type, GLsizei stride, const void* pointer);

// Mapping tables of the draw record.
GLenum gl_depth_function(int32_t function);
// 0 when the mode leaves the factors unchanged.
int gl_blend_factors(int32_t blend, GLenum* source, GLenum* destination);
// 0xAARRGGBB words to the bytes R, G, B, A in place.
void gl_convert_colours(RenderVertex* vertices, uint32_t count);

// The texture name for an id, uploading when it is not in the map yet; 0 when the texture
// is not available (not loaded, unsupported format, store failed).
uint32_t gl_texture_upload(int32_t id);
// Parameters and every level of a texture, to the bound texture (or into the list being
// compiled). The fallback replaces textures a GL texture cannot hold.
const Texture* gl_texture_usable(const Texture* texture);
int gl_texture_formats(const Texture* texture, GLenum* format, GLint* alignment);
void gl_texture_specify(const Texture* texture, GLint internal_format, GLenum format, GLint alignment,
                        int anisotropy);
// The asset events' effect (also what the event handler calls).
void gl_texture_loaded(int32_t id);
void gl_texture_released(int32_t id);

// Result of the last screenshot served at present: 1 written, 0 failed, -1 still pending.
int gl_screenshot_status(void);
