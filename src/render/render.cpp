#include "render/render.h"

#include "base/thread.h"
#include "platform/lib.h"
#include "platform/window.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_device.h"

namespace {

const char LIB_GLIDE[] = "Glide3x.dll";
const char LIB_D3D9[] = "d3d9.dll";
const char LIB_DDRAW[] = "ddraw.dll";

const RenderBackend NULL_TABLE = {};

RenderBackend g_backend;
RenderBackend g_active;
int g_suspended;
Window* g_window;
RenderScreenshotListener g_screenshot_listener;

// Not built on this platform: a library that happens to load is still not a backend.
int library_backend_absent(Window*, Lib*, RenderBackend*) { return 0; }

const RenderBackendInits BUILTIN_INITS = {
    gl_pixel_format,        gl_arrays_init,         gl_lists_init,
    library_backend_absent, library_backend_absent, library_backend_absent,
};
RenderBackendInits g_inits = BUILTIN_INITS;

// Loads and frees a library: answers whether it could be loaded.
int library_loads(const char* name) {
  Lib* lib = lib_open(name);
  lib_close(lib);
  return lib != nullptr;
}

// Opens the library and runs the initialiser; the library is kept only on success.
int try_library_backend(Window* window, const char* name, int (*init)(Window*, Lib*, RenderBackend*),
                        RenderBackend* table) {
  Lib* lib = lib_open(name);
  if (!lib) return 0;
  *table = NULL_TABLE;
  if (init && init(window, lib, table)) return 1;
  *table = NULL_TABLE;
  lib_close(lib);
  return 0;
}

int try_backend(Window* window, int (*init)(Window*, RenderBackend*), RenderBackend* table) {
  *table = NULL_TABLE;
  if (init && init(window, table)) return 1;
  *table = NULL_TABLE;
  return 0;
}

int install(Window* window, int kind, RenderBackend* table) {
  if (kind == 1) return try_library_backend(window, LIB_GLIDE, g_inits.glide, table);
  if (kind == 2) {
    if (try_library_backend(window, LIB_D3D9, g_inits.d3d9, table)) return 1;
    return try_library_backend(window, LIB_DDRAW, g_inits.ddraw, table);
  }
  if (!g_inits.gl_pixel_format || !g_inits.gl_pixel_format(window)) return 0;
  if (try_backend(window, g_inits.gl_arrays, table)) return 1;
  return try_backend(window, g_inits.gl_lists, table);
}

struct GlideSize {
  int width, height, code;
};
constexpr GlideSize GLIDE_SIZES[] = {
    {320, 200, 0},    {320, 240, 1},    {400, 256, 2},    {512, 384, 3},    {640, 200, 4},
    {640, 350, 5},    {640, 400, 6},    {640, 480, 7},    {800, 600, 8},    {960, 720, 9},
    {856, 480, 10},   {512, 256, 11},   {1024, 768, 12},  {1280, 1024, 13}, {1600, 1200, 14},
    {400, 300, 15},   {1152, 864, 16},  {1280, 960, 17},  {1600, 1024, 18}, {1792, 1344, 19},
    {1856, 1392, 20}, {1920, 1440, 21}, {2048, 1536, 22}, {2048, 2048, 23},
};

}  // namespace

int render_glide_resolution_code(int width, int height) {
  for (const GlideSize& s : GLIDE_SIZES)
    if (s.width == width && s.height == height) return s.code;
  return 255;
}

void render_set_backend_inits(const RenderBackendInits* inits) { g_inits = inits ? *inits : BUILTIN_INITS; }

int render_probe(int kind) {
  if (kind == 1) return library_loads(LIB_GLIDE);
  if (kind == 2) return library_loads(LIB_D3D9) || library_loads(LIB_DDRAW);
  return 1;
}

int render_check_resolution(int kind, int width, int height, int, int) {
  if (kind != 1) return 1;
  return render_glide_resolution_code(width, height) != 255;
}

int render_install(Window* window, int kind) {
  RenderBackend table;
  if (!install(window, kind, &table)) return 0;
  g_backend = table;
  g_active = g_backend;
  g_suspended = 0;
  g_window = window;
  return 1;
}

void render_uninstall(Window* window) {
  int (*destroy)(Window*) = g_backend.destroy;
  g_backend = NULL_TABLE;
  g_active = NULL_TABLE;
  g_suspended = 0;
  g_window = nullptr;
  if (destroy) destroy(window);
}

void render_suspend(Window* window, int flag) {
  g_suspended = flag ? 1 : 0;
  g_active = flag ? NULL_TABLE : g_backend;
  if (g_backend.suspend) g_backend.suspend(window, flag);
}

int render_suspended(void) { return g_suspended; }

const RenderBackend* render_backend_table(void) { return &g_backend; }
const RenderBackend* render_active_table(void) { return &g_active; }

void render_init_device(void) {
  if (g_active.init_device) g_active.init_device();
}

void render_shutdown_device(void) {
  if (g_backend.shutdown_device) g_backend.shutdown_device();
}

void render_begin_scene(void) {
  if (g_active.begin_scene) g_active.begin_scene();
}

void render_end_scene(void) {
  if (g_active.end_scene) g_active.end_scene();
}

void render_present(Window*) {
  if (g_active.present)
    g_active.present();
  else
    sleep_ms(1);  // a suspended or backend-less client must not spin
}

void render_clear(float red, float green, float blue, uint32_t flags) {
  if (g_active.clear) g_active.clear(red, green, blue, flags);
}

void render_draw(DrawRecord* record) {
  if (g_active.draw && record) g_active.draw(record);
}

uint32_t render_choose_pixel_format(int texture_class) {
  if (g_backend.choose_pixel_format) return g_backend.choose_pixel_format(texture_class);
  return texture_class >= 0 && texture_class <= 2 ? PF_RGBA8888 : PF_RGB888;
}

int render_can_pair_textures(int32_t a, int32_t b) {
  return g_active.can_pair_textures ? g_active.can_pair_textures(a, b) : 0;
}

int render_transforms_vertices(void) {
  return g_active.transforms_vertices ? g_active.transforms_vertices() : 0;
}

int render_vsync_supported(void) { return g_active.vsync_supported ? g_active.vsync_supported() : 0; }

int render_anisotropy_supported(void) {
  return g_active.anisotropy_supported ? g_active.anisotropy_supported() : 0;
}

void render_set_vsync(int on) {
  if (g_active.set_vsync) g_active.set_vsync(on);
}

void render_resize(int width, int height) {
  if (width == 0 || height == 0) return;
  if (g_window && g_window->display_mode == DISPLAY_FULL_SCREEN) return;
  if (g_active.resize) g_active.resize(width, height);
}

uint64_t render_get_size(void) {
  if (g_active.get_size) return g_active.get_size();
  return (uint64_t)1 << 32 | 1;
}

int render_screenshot(const char* path) {
  return g_active.screenshot && path ? g_active.screenshot(path) : 0;
}

void render_set_screenshot_listener(RenderScreenshotListener listener) { g_screenshot_listener = listener; }

void render_screenshot_done(const char* path, int written) {
  if (g_screenshot_listener) g_screenshot_listener(path, written);
}
