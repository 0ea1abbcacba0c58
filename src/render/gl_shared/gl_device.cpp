#include "render/gl_shared/gl_device.h"

#include <cstdio>
#include <cstring>

#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/gl_shared/gl_draw.h"
#include "render/gl_shared/gl_frame.h"
#include "render/gl_shared/gl_screenshot.h"
#include "render/gl_shared/gl_state.h"
#include "render/gl_shared/gl_textures.h"

GlShared g_gl_shared;

namespace {

int g_version_major = -1, g_version_minor = -1;

int slot_init_device(void) {
  GlShared* s = &g_gl_shared;
  s->max_anisotropy = 0;
  if (s->ops->arrays) {
    const char* extensions = (const char*)g_gl.GetString(GL_EXTENSIONS);
    if (gl_has_word(extensions, "GL_EXT_texture_filter_anisotropic")) {
      GLfloat most = 0;
      g_gl.GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
      s->max_anisotropy = most > 8 ? 8 : most;
    }
  }
  gl_textures_start();
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
  gl_state_new_generation();
  g_gl.ClearColor(0, 0, 0, 1);
  g_gl.Clear(GL_COLOR_BUFFER_BIT);
  g_gl.Flush();
  return gl_context_system()->swap(s->window);
}

void slot_shutdown_device(void) {
  gl_textures_stop();
  gl_screenshot_fail_pending();
}

int slot_suspend(Window* window, int flag) {
  GlShared* s = &g_gl_shared;
  if (!window) return 0;
  const GlContextSystem* system = gl_context_system();
  if (flag) {
    g_gl.Finish();
    gl_textures_drop_names();
    // The frame those requests wait for will never be shown.
    gl_screenshot_fail_pending();
    system->make_current(window, nullptr);
    s->suspended = 1;
  } else {
    system->make_current(window, s->context);
    gl_state_new_generation();
    s->suspended = 0;
    gl_textures_resume();
  }
  return 1;
}

int slot_destroy(Window* window) {
  if (!window) return 0;
  gl_screenshot_fail_pending();
  gl_shared_drop_context(window);
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

int slot_anisotropy_supported(void) { return g_gl_shared.max_anisotropy > 1; }

}  // namespace

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

void gl_context_forget_version(void) { g_version_major = g_version_minor = -1; }

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

int gl_pixel_format(Window* window) { return window && window->handle ? 1 : 0; }

int gl_shared_create_context(Window* window) {
  if (!window || !window->handle) return 0;
  void* context = gl_context_system()->create(window);
  if (!context) return 0;
  g_gl_shared.window = window;
  g_gl_shared.context = context;
  return 1;
}

void gl_shared_drop_context(Window* window) {
  const GlContextSystem* system = gl_context_system();
  system->make_current(window, nullptr);
  system->destroy(g_gl_shared.context);
  g_gl_shared.context = nullptr;
  g_gl_shared.window = nullptr;
}

void gl_shared_fill(RenderBackend* table, const GlBackendOps* ops) {
  g_gl_shared.ops = ops;
  g_gl_shared.suspended = 0;
  g_gl_shared.vsync_on = 0;
  g_gl_shared.vsync_known = 0;
  gl_state_reset();
  *table = RenderBackend{
      slot_init_device,
      slot_shutdown_device,
      slot_suspend,
      slot_destroy,
      gl_frame_scene,
      gl_frame_scene,
      gl_frame_present,
      gl_frame_clear,
      gl_draw,
      slot_choose_pixel_format,
      nullptr,
      gl_draw_transforms_vertices,
      gl_frame_vsync_supported,
      ops->arrays ? slot_anisotropy_supported : nullptr,
      gl_frame_set_vsync,
      gl_frame_set_viewport,
      gl_frame_resize,
      gl_frame_get_size,
      gl_frame_renderer_name,
      gl_frame_vendor_name,
      gl_frame_version_name,
      gl_screenshot_request,
  };
}
