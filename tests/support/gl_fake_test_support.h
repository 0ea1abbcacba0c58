#pragma once
// A GL driver and context system for unit tests of the GL backends without a display
// (header-only; never part of the client library). Every entry point does nothing except
// those that keep the books a test reads: live texture names and lists, which level-0
// pixels each name or list was given, texturing and binding at every draw call, and a
// read-back that fills a known pattern.
#include <cstdint>
#include <map>
#include <set>
#include <type_traits>
#include <vector>

#include "platform/gl_context.h"
#include "render/gl_shared/gl_api.h"
#include "render/gl_shared/gl_device.h"

struct GlFakeDraw {
  bool texturing;
  const void* pixels;  // level 0 of what was bound or called; null when nothing was
};

struct GlFake {
  GLuint next_name = 1;
  std::set<GLuint> textures, lists;
  std::map<GLuint, const void*> level0;  // name or list -> the pixels of its level 0
  GLuint bound = 0, compiling = 0, called = 0;
  bool texturing = false;
  int viewport[4] = {0, 0, 6, 3};
  std::vector<GlFakeDraw> draws;
  int swaps = 0;
};
inline GlFake g_gl_fake;
inline int g_gl_fake_context;

template <typename F>
struct GlFakeStub;
template <typename R, typename... A>
struct GlFakeStub<R (*)(A...)> {
  static R call(A...) {
    if constexpr (!std::is_void_v<R>) return R();
  }
};

// The pattern the fake read-back gives pixel i (bytes R, G, B).
inline uint8_t gl_fake_pixel_byte(uint64_t i, int channel) {
  return (uint8_t)(i * 37 + (uint64_t)channel * 101);
}

inline const void* gl_fake_current_pixels(void) {
  GLuint which = g_gl_fake.called ? g_gl_fake.called : g_gl_fake.bound;
  auto found = g_gl_fake.level0.find(which);
  return found == g_gl_fake.level0.end() ? nullptr : found->second;
}

inline void gl_fake_record_draw(void) {
  g_gl_fake.draws.push_back({g_gl_fake.texturing, g_gl_fake.texturing ? gl_fake_current_pixels() : nullptr});
}

// Installs the fake driver and context system with a clean book.
inline void gl_fake_install(void) {
  g_gl_fake = GlFake{};
#define GL_FAKE_STUB(ret, name, params, args, state) g_gl.name = GlFakeStub<decltype(g_gl.name)>::call;
  GL_API_FUNCTIONS(GL_FAKE_STUB)
#undef GL_FAKE_STUB
  g_gl.GetString = [](GLenum which) -> const GLubyte* {
    return (const GLubyte*)(which == GL_VERSION ? "2.1 Fake" : which == GL_EXTENSIONS ? "" : "Fake");
  };
  g_gl.GetIntegerv = [](GLenum which, GLint* out) {
    if (which == GL_MAX_TEXTURE_SIZE) out[0] = 1024;
    if (which == GL_PACK_ALIGNMENT) out[0] = 4;
    if (which == GL_VIEWPORT)
      for (int i = 0; i < 4; i++) out[i] = g_gl_fake.viewport[i];
  };
  g_gl.GenTextures = [](GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; i++) g_gl_fake.textures.insert(names[i] = g_gl_fake.next_name++);
  };
  g_gl.DeleteTextures = [](GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; i++) g_gl_fake.textures.erase(names[i]);
  };
  g_gl.BindTexture = [](GLenum, GLuint name) { g_gl_fake.bound = name; };
  g_gl.GenLists = [](GLsizei) -> GLuint {
    GLuint list = g_gl_fake.next_name++;
    g_gl_fake.lists.insert(list);
    return list;
  };
  g_gl.DeleteLists = [](GLuint list, GLsizei) { g_gl_fake.lists.erase(list); };
  g_gl.NewList = [](GLuint list, GLenum) { g_gl_fake.compiling = list; };
  g_gl.EndList = [] { g_gl_fake.compiling = 0; };
  g_gl.CallList = [](GLuint list) { g_gl_fake.called = list; };
  g_gl.TexImage2D = [](GLenum, GLint level, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                       const void* pixels) {
    if (level == 0) g_gl_fake.level0[g_gl_fake.compiling ? g_gl_fake.compiling : g_gl_fake.bound] = pixels;
  };
  g_gl.Enable = [](GLenum cap) {
    if (cap == GL_TEXTURE_2D) g_gl_fake.texturing = true;
  };
  g_gl.Disable = [](GLenum cap) {
    if (cap == GL_TEXTURE_2D) g_gl_fake.texturing = false;
  };
  g_gl.DrawArrays = [](GLenum, GLint, GLsizei) { gl_fake_record_draw(); };
  g_gl.DrawElements = [](GLenum, GLsizei, GLenum, const void*) { gl_fake_record_draw(); };
  g_gl.End = [] { gl_fake_record_draw(); };
  g_gl.ReadPixels = [](GLint, GLint, GLsizei width, GLsizei height, GLenum, GLenum, void* out) {
    uint8_t* bytes = (uint8_t*)out;
    for (uint64_t i = 0; i < (uint64_t)width * (uint64_t)height; i++)
      for (int c = 0; c < 3; c++) bytes[3 * i + (uint64_t)c] = gl_fake_pixel_byte(i, c);
  };
  static const GlContextSystem SYSTEM = {
      [](Window*) -> void* { return &g_gl_fake_context; },
      [](Window*, void*) { return 1; },
      [](void*) {},
      [](Window*) { return ++g_gl_fake.swaps, 1; },
      [](int) { return 1; },
      [] { return 1; },
      [](const char*) -> void* { return nullptr; },
      [] { return 24; },
  };
  gl_context_set_system(&SYSTEM);
  gl_context_forget_version();
}

// Puts the driver and the SDL context system back.
inline void gl_fake_remove(void) {
  gl_api_use_driver();
  gl_context_set_system(nullptr);
  gl_context_forget_version();
}
