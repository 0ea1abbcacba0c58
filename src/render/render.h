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

// The backend operations in slot order. Any slot may be null: its dispatcher then answers
// the default listed with the dispatchers. Every slot runs on the main thread, except 9.
// Slots 1, 2, 3 and 9 are reached through the backend table; all others through the active
// table, so they are never called while the device is suspended.
struct RenderBackend {
  // 0: once, after install succeeded and before any other slot but 9. Makes caches, subscribes
  // to asset events, sets the fixed default state, clears to black and presents once; 0 fails.
  int (*init_device)(void);
  // 1: counterpart of 0, also while suspended: unsubscribes, deletes every device texture, frees
  // the caches, and fails every screenshot request not yet served. Harmless without slot 0.
  void (*shutdown_device)(void);
  // 2: after the front end switched the active table. flag 1: the screen is going; device
  // textures go, the resident set stays, pending screenshots fail. flag 0: back; every state
  // item is issued afresh and resident textures are uploaded again. 0 only for a null window.
  int (*suspend)(Window* window, int flag);
  // 3: at uninstall, after both tables were emptied; releases the context or device and unloads
  // the backend's library. 0 for a null window (nothing released).
  int (*destroy)(Window* window);
  // 4: at the start of a frame, before its first clear or draw. 0 when the device cannot draw
  // this frame (the dispatcher discards the answer); changes no state a draw depends on.
  int (*begin_scene)(void);
  // 5: after the frame's last draw and before present; closes what slot 4 opened and answers
  // like it. Draw state (the shadow, bound textures) carries over to the next frame.
  int (*end_scene)(void);
  // 6: once per frame: serves the frame's screenshot requests from the finished frame, then
  // shows it (buffer swap). Answers the swap's result.
  int (*present)(void);
  // 7: clears the current viewport rectangle only, colour to (red, green, blue, 1) and/or depth
  // to far per flags, whatever the write masks were; leaves those buffers' masks on.
  void (*clear)(float red, float green, float blue, uint32_t flags);
  // 8: applies the record's state and draws it; never given null (the dispatcher checks). May
  // rewrite the vertex colours in place once (colours_converted) and upload the record's
  // texture. 1 drawn; 0 skipped: texture not loaded yet, unknown primitive or no vertices.
  int (*draw)(DrawRecord* record);
  // 9: the pixel format texture decoding produces for a texture class. Called on the loader
  // thread too, also while suspended: must answer from fixed state and change nothing.
  uint32_t (*choose_pixel_format)(int texture_class);
  // 10: 1 when one draw may apply textures a and b together (texture2); null or 0: never, and
  // draw submission draws each texture in its own pass. Changes nothing.
  int (*can_pair_textures)(int32_t a, int32_t b);
  // 11: 1 when the device transforms positions with the record's matrices; null or 0: draw
  // submission transforms them to clip space on the CPU first.
  int (*transforms_vertices)(void);
  // 12: 1 when slot 14 can take effect; the answer does not change while the device lives.
  int (*vsync_supported)(void);
  // 13: 1 when the device filters anisotropically (its maximum is above 1); null: never.
  int (*anisotropy_supported)(void);
  // 14: waits for vertical retrace at present (on 1) or not (on 0); 1 when applied.
  int (*set_vsync)(int on);
  // 15: the viewport in pixels, origin bottom-left; ignored for a zero width or height or an
  // unchanged rectangle. Has no dispatcher: the backend and its tests call it.
  void (*set_viewport)(int x, int y, int width, int height);
  // 16: the windowed client area is now width x height; the viewport becomes all of it.
  void (*resize)(int width, int height);
  // 17: width low 32 bits, height high 32 bits, of the current viewport in pixels.
  uint64_t (*get_size)(void);
  // 18, 19, 20: device, vendor and version texts for logs. Never a null pointer (empty when
  // unknown); owned by the backend and valid until slot 3. Nothing dispatches them.
  const char* (*renderer_name)(void);
  const char* (*vendor_name)(void);
  const char* (*version_name)(void);
  // 21: asks for the visible frame as a 16-bit BMP at path (copied). 1 accepted: the file is
  // written at the next present and the outcome reported once through
  // render_screenshot_done, also when the device goes first. 0 refused, nothing reported.
  int (*screenshot)(const char* path);
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
// 1 when the request was accepted (see slot 21): the file is written from the frame that the
// next render_present shows, and the screenshot listener hears whether it was. Several
// requests in one frame are each served. 0 when refused (no backend, suspended, null path or
// too many requests waiting); the listener then hears nothing.
int render_screenshot(const char* path);

// Told once per accepted screenshot request, on the main thread, in request order: written 1
// when the file is complete and closed, 0 when nothing usable was written (the read-back or
// the file failed, or the device was suspended or shut down before the frame was shown).
typedef void (*RenderScreenshotListener)(const char* path, int written);
// Installs the listener (null: outcomes are not reported).
void render_set_screenshot_listener(RenderScreenshotListener listener);
// Backends report each accepted request here exactly once.
void render_screenshot_done(const char* path, int written);

// The installed tables, for tests and for backends that need their own table.
const RenderBackend* render_backend_table(void);
const RenderBackend* render_active_table(void);

// Glide resolution code of a window size, 255 when the size has none.
int render_glide_resolution_code(int width, int height);
