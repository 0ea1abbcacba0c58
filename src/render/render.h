#pragma once
// Renderer front end: the shared vocabulary of every backend (the 32-byte vertex, the draw
// record and its flag bits) and the table of 22 backend operations, reached only through the
// dispatchers below.
//
// Three tables are kept: the backend table (filled by the installed backend), the active
// table (what most dispatchers call) and an all-null table. While the device is suspended
// the active table is the all-null one, so drawing silently does nothing; shutdown_device,
// suspend, destroy and choose_pixel_format always go through the backend table. Every
// dispatcher tolerates a null slot and answers its default then (0 for int answers).
//
// Backends are chosen by kind (0 OpenGL, 1 Glide 3, 2 Direct3D; any other value OpenGL) with
// fixed fallbacks. Libraries are loaded through the lib_open seam: where a kind's libraries
// do not exist its probe answers 0. Every call happens on the main thread except
// render_choose_pixel_format, which the loader thread uses: it reads only the backend table,
// which changes only while the loader is stopped (install, uninstall).
#include <cstddef>
#include <cstdint>

#include "assets/render_vertex.h"
#include "assets/texture.h"
#include "base/math.h"

struct Window;
struct Lib;

enum : int32_t { PRIM_TRIANGLES = 0, PRIM_POINTS = 1, PRIM_LINES = 2 };
enum : int32_t { BLEND_ALPHA = 0, BLEND_PREMULTIPLIED = 1, BLEND_ADDITIVE = 2 };
enum : int32_t {
  DEPTH_NEVER = 0,
  DEPTH_LESS = 1,
  DEPTH_EQUAL = 2,
  DEPTH_LESS_EQUAL = 3,
  DEPTH_GREATER = 4,
  DEPTH_GREATER_EQUAL = 5,
  DEPTH_NOT_EQUAL = 6,
  DEPTH_ALWAYS = 7,
};

enum : uint32_t {
  DRAW_TEXTURE = 0x001,
  DRAW_CULL = 0x002,  // clockwise front faces; back faces removed
  DRAW_BLEND = 0x004,
  DRAW_DEPTH_TEST = 0x008,
  DRAW_ALPHA_TEST = 0x010,  // passes alpha above one half
  DRAW_NO_DEPTH_WRITE = 0x020,
  DRAW_NO_COLOUR_WRITE = 0x040,
  DRAW_NO_CLIP = 0x080,       // device clipping off (Direct3D 9 only)
  DRAW_SCREEN_SPACE = 0x100,  // positions already in normalised device coordinates; no fog
  DRAW_FOG = 0x200,           // linear fog when fog_end > fog_start
};

// Clear flags.
enum : uint32_t { CLEAR_COLOUR = 1, CLEAR_DEPTH = 2 };

struct DrawSource {
  RenderVertex* vertices;
  RenderVertex* output;
  uint32_t capacity;
  uint32_t count;
};

// The one draw context through which every draw reaches the backend.
struct DrawRecord {
  RenderVertex* source_vertices;
  RenderVertex* output_vertices;
  uint32_t vertex_capacity;
  uint32_t vertex_count;
  uint16_t* index_buffer;
  uint32_t index_capacity;
  uint32_t index_count;
  DrawSource external_source;
  void* current_source;
  RenderVertex* vertices;  // what draw reads
  uint32_t count;
  int32_t colours_converted;
  int32_t spare[2];
  uint16_t* indices;  // null: not indexed
  uint32_t index_total;
  int32_t primitive;
  int32_t blend;
  int32_t depth_function;
  uint32_t flags;
  float point_size;
  float line_width;
  float fog_start, fog_end;
  float fog_colour[3];
  int32_t source_id;
  int32_t texture;
  int32_t texture2;
  Mat4 model, view, projection;
  void* user_data;
  void* user_extra;
};

// The backend operations in slot order. "Null" is always allowed: the dispatcher's default
// applies.
struct RenderBackend {
  int (*init_device)(void);                  // 0: caches, asset subscription, defaults, clear, present once
  void (*shutdown_device)(void);             // 1: counterpart of 0
  int (*suspend)(Window* window, int flag);  // 2: 1 losing the screen, 0 back (re-upload)
  int (*destroy)(Window* window);            // 3: context or device gone, library unloaded
  int (*begin_scene)(void);                  // 4
  int (*end_scene)(void);                    // 5
  int (*present)(void);                      // 6: buffer swap
  void (*clear)(float red, float green, float blue, uint32_t flags);  // 7: current viewport only
  int (*draw)(DrawRecord* record);                                    // 8
  uint32_t (*choose_pixel_format)(int texture_class);                 // 9: loader thread too
  int (*can_pair_textures)(int32_t a, int32_t b);                     // 10
  int (*transforms_vertices)(void);   // 11: 0 means the caller transforms to clip space
  int (*vsync_supported)(void);       // 12
  int (*anisotropy_supported)(void);  // 13
  int (*set_vsync)(int on);           // 14
  void (*set_viewport)(int x, int y, int width, int height);  // 15: origin bottom-left
  void (*resize)(int width, int height);                      // 16
  uint64_t (*get_size)(void);                                 // 17: width low 32 bits, height high 32 bits
  const char* (*renderer_name)(void);                         // 18
  const char* (*vendor_name)(void);                           // 19
  const char* (*version_name)(void);                          // 20
  int (*screenshot)(const char* path);                        // 21: 16-bit BMP of the visible frame
};
static_assert(sizeof(RenderBackend) == 22 * sizeof(void*), "22 slots");

// The backend initialisers that installation tries. Each fills the table and answers 1, or
// answers 0 and leaves nothing behind. A library-based backend gets its library already
// loaded and owns it on success (its destroy slot unloads it); on failure the front end
// unloads it.
struct RenderBackendInits {
  int (*gl_pixel_format)(Window* window);  // double-buffered, 24-bit colour, 32-bit depth
  int (*gl_arrays)(Window* window, RenderBackend* table);
  int (*gl_lists)(Window* window, RenderBackend* table);
  int (*d3d9)(Window* window, Lib* library, RenderBackend* table);
  int (*ddraw)(Window* window, Lib* library, RenderBackend* table);
  int (*glide)(Window* window, Lib* library, RenderBackend* table);
};
// Installs the initialisers (null: the built-in ones). The built-in OpenGL initialisers are
// the vertex-array backend, then the display-list backend; the Direct3D, DirectDraw and
// Glide ones are not built on this platform and fail.
void render_set_backend_inits(const RenderBackendInits* inits);

// Lifecycle (platform start-up and the window procedure).
int render_probe(int kind);
int render_check_resolution(int kind, int width, int height, int depth, int refresh);
int render_install(Window* window, int kind);
void render_uninstall(Window* window);
void render_suspend(Window* window, int flag);
int render_suspended(void);

// Dispatchers.
void render_init_device(void);
void render_shutdown_device(void);
void render_begin_scene(void);
void render_end_scene(void);
void render_present(Window* window);  // null slot: sleeps 1 ms
void render_clear(float red, float green, float blue, uint32_t flags);
void render_draw(DrawRecord* record);
uint32_t render_choose_pixel_format(int texture_class);  // null: 0..2 PF_RGBA8888, else PF_RGB888
int render_can_pair_textures(int32_t a, int32_t b);
int render_transforms_vertices(void);
int render_vsync_supported(void);
int render_anisotropy_supported(void);
void render_set_vsync(int on);
// Skipped when width or height is 0 or the window is full-screen.
void render_resize(int width, int height);
uint64_t render_get_size(void);  // null slot: width 1, height 1
int render_screenshot(const char* path);

// The installed tables, for tests and for backends that need their own table.
const RenderBackend* render_backend_table(void);
const RenderBackend* render_active_table(void);

// Glide resolution code of a window size, 255 when the size has none.
int render_glide_resolution_code(int width, int height);
