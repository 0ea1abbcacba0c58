#include "render/gl/gl_shared.h"

#include <cstdio>
#include <cstring>

#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/math.h"
#include "base/mem.h"
#include "base/strings.h"
#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/screenshot.h"
#include "render/texture_prep.h"

GlShared g_gl_shared;

namespace {

struct Shadow {
  uint32_t generation[32];  // per item; 0 is never current (generations start at 1)
  int enabled[GL_ITEM_ENABLE_COUNT];
  uint32_t bound;
  uint32_t list;
  GLenum depth_function;
  GLenum blend_source, blend_destination;
  int depth_mask, colour_mask;
  float point_size, line_width;
  GLint fog_mode;
  float fog_range[2];
  float fog_colour[4];
  int scissor[4];
  struct Pointer {
    GLint size;
    GLenum type;
    GLsizei stride;
    const void* pointer;
  } pointers[3];
  GLenum matrix_mode;
  Mat4 projection, modelview;
  int projection_identity, modelview_identity;
};

enum ShadowItem : int {
  ITEM_ENABLE_FIRST = 0,  // one per GlEnableItem
  ITEM_BOUND = GL_ITEM_ENABLE_COUNT,
  ITEM_LIST,
  ITEM_DEPTH_FUNCTION,
  ITEM_BLEND,
  ITEM_DEPTH_MASK,
  ITEM_COLOUR_MASK,
  ITEM_POINT_SIZE,
  ITEM_LINE_WIDTH,
  ITEM_FOG_MODE,
  ITEM_FOG_RANGE,
  ITEM_FOG_COLOUR,
  ITEM_SCISSOR,
  ITEM_POINTER_FIRST,  // three
  ITEM_MATRIX_MODE = ITEM_POINTER_FIRST + 3,
  ITEM_PROJECTION,
  ITEM_MODELVIEW,
  ITEM_COUNT
};
static_assert(ITEM_COUNT <= 32, "shadow items");

Shadow g_shadow;
GlTextureSource g_source;
int g_version_major = -1, g_version_minor = -1;

const GLenum ENABLE_CAPS[GL_ITEM_ENABLE_COUNT] = {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_ALPHA_TEST,  GL_CULL_FACE,
                                                  GL_BLEND,      GL_FOG,        GL_SCISSOR_TEST};

// True when the item must be issued; the caller then stores the value.
bool stale(int item, bool same_value) {
  if (g_shadow.generation[item] == g_gl_shared.generation && same_value) return false;
  g_shadow.generation[item] = g_gl_shared.generation;
  return true;
}

void matrix_mode(GLenum mode) {
  if (!stale(ITEM_MATRIX_MODE, g_shadow.matrix_mode == mode)) return;
  g_shadow.matrix_mode = mode;
  g_gl.MatrixMode(mode);
}

// Loads m (null: identity) into one matrix through the shadow.
void load_matrix(int item, GLenum mode, Mat4* stored, int* stored_identity, const Mat4* m) {
  bool identity = m == nullptr;
  bool same = identity ? *stored_identity : (!*stored_identity && memcmp(stored, m, sizeof *m) == 0);
  if (g_shadow.generation[item] == g_gl_shared.generation && same) return;
  g_shadow.generation[item] = g_gl_shared.generation;
  matrix_mode(mode);
  *stored_identity = identity;
  if (identity) {
    g_gl.LoadIdentity();
  } else {
    *stored = *m;
    g_gl.LoadMatrixf(m->m);
  }
}

void depth_function(GLenum f) {
  if (!stale(ITEM_DEPTH_FUNCTION, g_shadow.depth_function == f)) return;
  g_shadow.depth_function = f;
  g_gl.DepthFunc(f);
}

void blend_function(GLenum s, GLenum d) {
  if (!stale(ITEM_BLEND, g_shadow.blend_source == s && g_shadow.blend_destination == d)) return;
  g_shadow.blend_source = s;
  g_shadow.blend_destination = d;
  g_gl.BlendFunc(s, d);
}

void depth_mask(int on) {
  if (!stale(ITEM_DEPTH_MASK, g_shadow.depth_mask == on)) return;
  g_shadow.depth_mask = on;
  g_gl.DepthMask(on ? GL_TRUE : GL_FALSE);
}

void colour_mask(int on) {
  if (!stale(ITEM_COLOUR_MASK, g_shadow.colour_mask == on)) return;
  g_shadow.colour_mask = on;
  GLboolean b = on ? GL_TRUE : GL_FALSE;
  g_gl.ColorMask(b, b, b, b);
}

void point_size(float size) {
  if (!stale(ITEM_POINT_SIZE, g_shadow.point_size == size)) return;
  g_shadow.point_size = size;
  g_gl.PointSize(size);
}

void line_width(float width) {
  if (!stale(ITEM_LINE_WIDTH, g_shadow.line_width == width)) return;
  g_shadow.line_width = width;
  g_gl.LineWidth(width);
}

void fog(const DrawRecord* r) {
  if (stale(ITEM_FOG_MODE, g_shadow.fog_mode == GL_LINEAR)) {
    g_shadow.fog_mode = GL_LINEAR;
    g_gl.Fogi(GL_FOG_MODE, GL_LINEAR);
  }
  if (stale(ITEM_FOG_RANGE, g_shadow.fog_range[0] == r->fog_start && g_shadow.fog_range[1] == r->fog_end)) {
    g_shadow.fog_range[0] = r->fog_start;
    g_shadow.fog_range[1] = r->fog_end;
    g_gl.Fogf(GL_FOG_START, r->fog_start);
    g_gl.Fogf(GL_FOG_END, r->fog_end);
  }
  const float colour[4] = {r->fog_colour[0], r->fog_colour[1], r->fog_colour[2], 1.0f};
  if (stale(ITEM_FOG_COLOUR, memcmp(g_shadow.fog_colour, colour, sizeof colour) == 0)) {
    memcpy(g_shadow.fog_colour, colour, sizeof colour);
    g_gl.Fogfv(GL_FOG_COLOR, colour);
  }
}

void scissor(const int* rect) {
  if (!stale(ITEM_SCISSOR, memcmp(g_shadow.scissor, rect, sizeof g_shadow.scissor) == 0)) return;
  memcpy(g_shadow.scissor, rect, sizeof g_shadow.scissor);
  g_gl.Scissor(rect[0], rect[1], rect[2], rect[3]);
}

// ---- Textures.

int is_power_of_two(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

void release_value(uint32_t name) {
  if (name && g_gl_shared.ops && g_gl_shared.ops->release) g_gl_shared.ops->release(name);
}

void release_all_textures(void) {
  IntMap* map = g_gl_shared.textures;
  if (!map) return;
  for (uint32_t i = 0; i < map->capacity; i++)
    if (map->used[i]) release_value((uint32_t)(uintptr_t)map->values[i]);
  intmap_clear(map, nullptr);
}

void asset_event(uint32_t event, const void* payload) {
  if (event != EVENT_ASSET_LOADED && event != EVENT_ASSET_RELEASED) return;
  int32_t id = 0;
  if (!g_source.texture_event || !g_source.texture_event(payload, &id)) return;
  if (event == EVENT_ASSET_LOADED)
    gl_texture_loaded(id);
  else
    gl_texture_released(id);
}

// ---- Slots shared by both backends.

int slot_init_device(void) {
  GlShared* s = &g_gl_shared;
  if (!s->textures) s->textures = intmap_create(32);
  if (!s->resident) s->resident = intmap_create(32);
  s->max_anisotropy = 0;
  if (s->ops->arrays) {
    const char* extensions = (const char*)g_gl.GetString(GL_EXTENSIONS);
    if (gl_has_word(extensions, "GL_EXT_texture_filter_anisotropic")) {
      GLfloat most = 0;
      g_gl.GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
      s->max_anisotropy = most > 8 ? 8 : most;
    }
  }
  event_subscribe(asset_event);
  GLint viewport[4] = {0, 0, 0, 0};
  g_gl.GetIntegerv(GL_VIEWPORT, viewport);
  memcpy(s->viewport, viewport, sizeof s->viewport);
  g_gl.MatrixMode(GL_TEXTURE);
  g_gl.LoadIdentity();
  g_gl.MatrixMode(GL_PROJECTION);
  g_gl.LoadIdentity();
  g_gl.MatrixMode(GL_MODELVIEW);
  g_gl.LoadIdentity();
  // "Alpha above one half" for 8-bit alpha is alpha >= 128. Stated that way it holds also
  // where the driver rounds the reference to 8 bits (llvmpipe makes 0.5 into 128 and then
  // rejects 128 under GL_GREATER).
  g_gl.AlphaFunc(GL_GEQUAL, 128.0f / 255.0f);
  g_gl.CullFace(GL_BACK);
  g_gl.FrontFace(GL_CW);
  g_gl.ShadeModel(GL_SMOOTH);
  g_gl.BlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  g_gl.Hint(GL_FOG_HINT, GL_NICEST);
  g_gl.Disable(GL_FOG);
  g_gl.Hint(GL_PERSPECTIVE_CORRECTION_HINT, GL_DONT_CARE);
  g_gl.TexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  if (s->ops->arrays) {
    g_gl.EnableClientState(GL_VERTEX_ARRAY);
    g_gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
    g_gl.EnableClientState(GL_COLOR_ARRAY);
  }
  s->generation++;
  g_gl.ClearColor(0, 0, 0, 1);
  g_gl.Clear(GL_COLOR_BUFFER_BIT);
  g_gl.Flush();
  return gl_context_system()->swap(s->window);
}

void slot_shutdown_device(void) {
  GlShared* s = &g_gl_shared;
  event_unsubscribe(asset_event);
  release_all_textures();
  intmap_destroy(s->textures, nullptr);
  intmap_destroy(s->resident, nullptr);
  s->textures = s->resident = nullptr;
}

int slot_suspend(Window* window, int flag) {
  GlShared* s = &g_gl_shared;
  if (!window) return 0;
  const GlContextSystem* system = gl_context_system();
  if (flag) {
    g_gl.Finish();
    release_all_textures();
    system->make_current(window, nullptr);
  } else {
    system->make_current(window, s->context);
    s->generation++;
    s->suspended = 0;
    IntMap* resident = s->resident;
    if (resident)
      for (uint32_t i = 0; i < resident->capacity; i++)
        if (resident->used[i]) gl_texture_upload((int32_t)resident->keys[i]);
  }
  s->suspended = flag;
  return 1;
}

int slot_destroy(Window* window) {
  GlShared* s = &g_gl_shared;
  if (!window) return 0;
  const GlContextSystem* system = gl_context_system();
  system->make_current(window, nullptr);
  system->destroy(s->context);
  s->context = nullptr;
  s->window = nullptr;
  return 1;
}

int slot_scene(void) { return 1; }

void serve_screenshot(void) {
  GlShared* s = &g_gl_shared;
  s->screenshot_pending = 0;
  s->screenshot_result = 0;
  int width = s->viewport[2], height = s->viewport[3];
  if (width < 1 || height < 1) return;
  uint64_t count = (uint64_t)width * (uint64_t)height;
  uint8_t* rgb = (uint8_t*)mem_alloc((size_t)(count * 3));
  GLint alignment = 4;
  g_gl.GetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  g_gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
  g_gl.ReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  g_gl.PixelStorei(GL_PACK_ALIGNMENT, alignment);
  uint16_t* pixels = (uint16_t*)mem_alloc((size_t)(count * 2));
  for (uint64_t i = 0; i < count; i++) pixels[i] = render_rgb565(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  mem_free(rgb);
  // Rows as read: bottom row first, as the file stores them.
  s->screenshot_result = render_bmp_write(s->screenshot_path, width, height, pixels);
  mem_free(pixels);
}

int slot_present(void) {
  GlShared* s = &g_gl_shared;
  if (s->vsync_on) g_gl.Finish();
  // Served from the frame just drawn, before the swap leaves the back buffer undefined.
  if (s->screenshot_pending) serve_screenshot();
  return gl_context_system()->swap(s->window);
}

void slot_clear(float red, float green, float blue, uint32_t flags) {
  GlShared* s = &g_gl_shared;
  gl_state_enable(GL_ITEM_SCISSOR, 1);
  scissor(s->viewport);
  bool colour = flags & CLEAR_COLOUR, depth = flags & CLEAR_DEPTH;
  GLbitfield bits = 0;
  if (colour) {
    colour_mask(1);
    g_gl.ClearColor(red, green, blue, 1);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (depth) {
    depth_mask(1);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (bits) g_gl.Clear(bits);
  gl_state_enable(GL_ITEM_SCISSOR, 0);
}

int slot_draw(DrawRecord* r) {
  GlShared* s = &g_gl_shared;
  if (!r) return 0;
  int textured = (r->flags & DRAW_TEXTURE) != 0;
  uint32_t name = 0;
  if (textured) {
    name = gl_texture_upload(r->texture);
    if (!name) return 0;
  }
  gl_state_enable(GL_ITEM_TEXTURE, textured);
  if (textured) s->ops->bind(name);

  int depth_test = (r->flags & DRAW_DEPTH_TEST) != 0;
  gl_state_enable(GL_ITEM_DEPTH_TEST, depth_test);
  if (depth_test) depth_function(gl_depth_function(r->depth_function));
  gl_state_enable(GL_ITEM_ALPHA_TEST, (r->flags & DRAW_ALPHA_TEST) != 0);
  gl_state_enable(GL_ITEM_CULL, (r->flags & DRAW_CULL) != 0);
  int blend = (r->flags & DRAW_BLEND) != 0;
  gl_state_enable(GL_ITEM_BLEND, blend);
  GLenum source, destination;
  if (blend && gl_blend_factors(r->blend, &source, &destination)) blend_function(source, destination);
  depth_mask((r->flags & DRAW_NO_DEPTH_WRITE) == 0);
  colour_mask((r->flags & DRAW_NO_COLOUR_WRITE) == 0);

  GLenum mode;
  switch (r->primitive) {
    case PRIM_TRIANGLES:
      mode = GL_TRIANGLES;
      break;
    case PRIM_POINTS:
      mode = GL_POINTS;
      point_size(r->point_size);
      break;
    case PRIM_LINES:
      mode = GL_LINES;
      line_width(r->line_width);
      break;
    default:
      return 0;
  }

  int screen = (r->flags & DRAW_SCREEN_SPACE) != 0;
  int fogged = (r->flags & DRAW_FOG) && !screen && r->fog_end > r->fog_start;
  gl_state_enable(GL_ITEM_FOG, fogged);
  if (fogged) fog(r);

  if (screen) {
    load_matrix(ITEM_PROJECTION, GL_PROJECTION, &g_shadow.projection, &g_shadow.projection_identity, nullptr);
    load_matrix(ITEM_MODELVIEW, GL_MODELVIEW, &g_shadow.modelview, &g_shadow.modelview_identity, nullptr);
  } else {
    load_matrix(ITEM_PROJECTION, GL_PROJECTION, &g_shadow.projection, &g_shadow.projection_identity,
                &r->projection);
    // The product is kept with its factors: most draws of a frame repeat both.
    static Mat4 model, view, modelview;
    if (memcmp(&model, &r->model, sizeof model) != 0 || memcmp(&view, &r->view, sizeof view) != 0) {
      model = r->model;
      view = r->view;
      mat4_multiply(&model, &view, &modelview);
    }
    load_matrix(ITEM_MODELVIEW, GL_MODELVIEW, &g_shadow.modelview, &g_shadow.modelview_identity, &modelview);
  }

  if (!r->vertices || r->count == 0) return 0;
  if (!r->colours_converted) {
    gl_convert_colours(r->vertices, r->count);
    r->colours_converted = 1;
  }
  s->ops->send(r, mode);
  return 1;
}

uint32_t slot_choose_pixel_format(int texture_class) {
  switch (texture_class) {
    case 1:
    case 2:
    case 5:
    case 6:
      return PF_RGBA8888;
    default:
      return PF_RGB888;
  }
}

int slot_transforms_vertices(void) { return 1; }

int slot_vsync_supported(void) {
  GlShared* s = &g_gl_shared;
  if (!s->vsync_known) {
    s->vsync_supported = gl_context_system()->swap_control_supported();
    s->vsync_known = 1;
  }
  return s->vsync_supported;
}

int slot_anisotropy_supported(void) { return g_gl_shared.max_anisotropy > 1; }

int slot_set_vsync(int on) {
  if (!slot_vsync_supported()) return 0;
  int result = gl_context_system()->set_swap_interval(on ? 1 : 0);
  g_gl_shared.vsync_on = on;
  return result;
}

void store_viewport(int x, int y, int width, int height) {
  g_gl.Viewport(x, y, width, height);
  int* v = g_gl_shared.viewport;
  v[0] = x;
  v[1] = y;
  v[2] = width;
  v[3] = height;
}

void slot_set_viewport(int x, int y, int width, int height) {
  const int* v = g_gl_shared.viewport;
  if (width == 0 || height == 0) return;
  if (v[0] == x && v[1] == y && v[2] == width && v[3] == height) return;
  store_viewport(x, y, width, height);
}

void slot_resize(int width, int height) {
  const int* v = g_gl_shared.viewport;
  if (width == 0 || height == 0) return;
  if (v[0] == 0 && v[1] == 0 && v[2] == width && v[3] == height) return;
  store_viewport(0, 0, width, height);
}

uint64_t slot_get_size(void) {
  const int* v = g_gl_shared.viewport;
  return (uint64_t)(uint32_t)v[3] << 32 | (uint32_t)v[2];
}

const char* gl_text(GLenum which) {
  const char* text = (const char*)g_gl.GetString(which);
  return text ? text : "";
}
const char* slot_renderer_name(void) { return gl_text(GL_RENDERER); }
const char* slot_vendor_name(void) { return gl_text(GL_VENDOR); }
const char* slot_version_name(void) { return gl_text(GL_VERSION); }

int slot_screenshot(const char* path) {
  GlShared* s = &g_gl_shared;
  if (!path || !path[0] || strlen(path) >= sizeof s->screenshot_path) return 0;
  memcpy(s->screenshot_path, path, strlen(path) + 1);
  s->screenshot_pending = 1;
  return 1;
}

}  // namespace

void gl_set_texture_source(const GlTextureSource* source) { g_source = source ? *source : GlTextureSource{}; }

int gl_parse_version(const char* text, int* major, int* minor) {
  int a = 0, b = 0;
  if (!text || sscanf(text, "%d.%d", &a, &b) != 2) return 0;
  *major = a;
  *minor = b;
  return 1;
}

int gl_version_has_arrays(int major, int minor) { return major > 1 || (major == 1 && minor > 0); }

int gl_context_version(int* major, int* minor) {
  if (g_version_major < 0) {
    int a, b;
    if (!gl_parse_version((const char*)g_gl.GetString(GL_VERSION), &a, &b)) return 0;
    g_version_major = a;
    g_version_minor = b;
  }
  *major = g_version_major;
  *minor = g_version_minor;
  return 1;
}

int gl_has_word(const char* list, const char* word) {
  if (!list || !word || !word[0]) return 0;
  size_t n = strlen(word);
  for (const char* p = list; (p = strstr(p, word)) != nullptr; p += n) {
    bool starts = p == list || p[-1] == ' ';
    bool ends = p[n] == 0 || p[n] == ' ';
    if (starts && ends) return 1;
  }
  return 0;
}

int gl_shared_create_context(Window* window) {
  if (!window || !window->handle) return 0;
  void* context = gl_context_system()->create(window);
  if (!context) return 0;
  g_gl_shared.window = window;
  g_gl_shared.context = context;
  return 1;
}

void gl_shared_fill(RenderBackend* table, const GlBackendOps* ops) {
  g_gl_shared.ops = ops;
  g_gl_shared.suspended = 0;
  g_gl_shared.vsync_on = 0;
  g_gl_shared.vsync_known = 0;
  g_gl_shared.screenshot_pending = 0;
  g_gl_shared.screenshot_result = 0;
  memset(&g_shadow, 0, sizeof g_shadow);
  *table = RenderBackend{
      slot_init_device,
      slot_shutdown_device,
      slot_suspend,
      slot_destroy,
      slot_scene,
      slot_scene,
      slot_present,
      slot_clear,
      slot_draw,
      slot_choose_pixel_format,
      nullptr,
      slot_transforms_vertices,
      slot_vsync_supported,
      ops->arrays ? slot_anisotropy_supported : nullptr,
      slot_set_vsync,
      slot_set_viewport,
      slot_resize,
      slot_get_size,
      slot_renderer_name,
      slot_vendor_name,
      slot_version_name,
      slot_screenshot,
  };
}

void gl_state_enable(GlEnableItem item, int on) {
  on = on ? 1 : 0;
  if (!stale((int)ITEM_ENABLE_FIRST + (int)item, g_shadow.enabled[item] == on)) return;
  g_shadow.enabled[item] = on;
  if (on)
    g_gl.Enable(ENABLE_CAPS[item]);
  else
    g_gl.Disable(ENABLE_CAPS[item]);
}

void gl_state_bind(uint32_t name) {
  if (!stale(ITEM_BOUND, g_shadow.bound == name)) return;
  g_shadow.bound = name;
  g_gl.BindTexture(GL_TEXTURE_2D, name);
}

void gl_state_call_list(uint32_t list) {
  if (list == 0) {
    g_shadow.list = 0;
    g_shadow.generation[ITEM_LIST] = 0;
    return;
  }
  if (!stale(ITEM_LIST, g_shadow.list == list)) return;
  g_shadow.list = list;
  g_gl.CallList(list);
}

void gl_state_pointer(GlArray array, GLint size, GLenum type, GLsizei stride, const void* pointer) {
  Shadow::Pointer* p = &g_shadow.pointers[array];
  bool same = p->size == size && p->type == type && p->stride == stride && p->pointer == pointer;
  if (!stale((int)ITEM_POINTER_FIRST + (int)array, same)) return;
  *p = Shadow::Pointer{size, type, stride, pointer};
  if (array == GL_ARRAY_VERTEX)
    g_gl.VertexPointer(size, type, stride, pointer);
  else if (array == GL_ARRAY_TEXCOORD)
    g_gl.TexCoordPointer(size, type, stride, pointer);
  else
    g_gl.ColorPointer(size, type, stride, pointer);
}

GLenum gl_depth_function(int32_t function) {
  static const GLenum FUNCTIONS[8] = {GL_NEVER,   GL_LESS,   GL_EQUAL,    GL_LEQUAL,
                                      GL_GREATER, GL_GEQUAL, GL_NOTEQUAL, GL_ALWAYS};
  return function >= 0 && function < 8 ? FUNCTIONS[function] : GL_LESS;
}

int gl_blend_factors(int32_t blend, GLenum* source, GLenum* destination) {
  switch (blend) {
    case BLEND_ALPHA:
      *source = GL_SRC_ALPHA;
      *destination = GL_ONE_MINUS_SRC_ALPHA;
      return 1;
    case BLEND_PREMULTIPLIED:
      *source = GL_ONE;
      *destination = GL_ONE_MINUS_SRC_ALPHA;
      return 1;
    case BLEND_ADDITIVE:
      *source = GL_ONE;
      *destination = GL_ONE;
      return 1;
    default:
      return 0;
  }
}

void gl_convert_colours(RenderVertex* vertices, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) {
    uint32_t c = __builtin_bswap32(vertices[i].colour);
    vertices[i].colour = c >> 8 | c << 24;
  }
}

const Texture* gl_texture_usable(const Texture* texture) {
  GLint largest = 0;
  g_gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (!texture || !is_power_of_two(texture->width) || !is_power_of_two(texture->height) ||
      texture->width > (uint32_t)largest || texture->height > (uint32_t)largest || !texture->pixels)
    return texture_fallback();
  return texture;
}

int gl_texture_formats(const Texture* texture, GLenum* format, GLint* alignment) {
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

uint32_t gl_texture_upload(int32_t id) {
  GlShared* s = &g_gl_shared;
  if (!s->textures) return 0;
  if (intmap_contains(s->textures, (uint32_t)id))
    return (uint32_t)(uintptr_t)intmap_find(s->textures, (uint32_t)id);
  Texture* texture = nullptr;
  if (!g_source.find || !g_source.find(id, &texture)) return 0;
  if (s->suspended) return 0;
  // A failed load draws magenta like a texture GL cannot hold, so it is seen.
  const Texture* usable = gl_texture_usable(texture);
  if (!usable) return 0;
  uint32_t pixel_bytes = pixel_format_bytes(usable->format);
  if (usable != texture_fallback() &&
      (uint64_t)usable->width * usable->height * pixel_bytes > (uint64_t)usable->pixel_size)
    usable = texture_fallback();  // fewer pixel bytes than the size claims
  GLenum format;
  GLint alignment;
  if (!gl_texture_formats(usable, &format, &alignment)) return 0;
  uint32_t name = s->ops->store(usable);
  if (!name) return 0;
  intmap_insert(s->textures, (uint32_t)id, (void*)(uintptr_t)name);
  return name;
}

void gl_texture_loaded(int32_t id) {
  GlShared* s = &g_gl_shared;
  if (!s->resident) return;
  intmap_insert(s->resident, (uint32_t)id, (void*)(uintptr_t)1);
  if (!s->suspended) gl_texture_upload(id);
}

void gl_texture_released(int32_t id) {
  GlShared* s = &g_gl_shared;
  if (!s->resident) return;
  intmap_take(s->resident, (uint32_t)id);
  if (s->suspended || !s->textures) return;
  void* value = nullptr;
  if (!intmap_remove(s->textures, (uint32_t)id, &value)) return;
  uint32_t name = (uint32_t)(uintptr_t)value;
  if (!name) return;
  if (s->ops->arrays)
    gl_state_bind(0);
  else
    gl_state_call_list(0);
  release_value(name);
}

int gl_screenshot_status(void) { return g_gl_shared.screenshot_pending ? -1 : g_gl_shared.screenshot_result; }
