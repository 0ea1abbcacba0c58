#include "render/gl_shared/gl_device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"

namespace {

TEST(GlDevice, VersionTextDecidesVertexArrays) {
  struct Case {
    const char* text;
    int parsed, arrays;
  } cases[] = {
      {"1.0", 1, 0},      {"1.0.3 Vendor", 1, 0}, {"1.1", 1, 1},
      {"1.1 Mesa", 1, 1}, {"2.0", 1, 1},          {"4.5 (Compatibility Profile) Mesa 22.3.6", 1, 1},
      {"", 0, 0},         {"OpenGL 2.1", 0, 0},   {"3", 0, 0},
  };
  for (const Case& c : cases) {
    int major = -1, minor = -1;
    ASSERT_EQ(gl_parse_version(c.text, &major, &minor), c.parsed) << c.text;
    if (c.parsed) {
      EXPECT_EQ(gl_version_has_arrays(major, minor), c.arrays) << c.text;
    }
  }
  int major, minor;
  EXPECT_EQ(gl_parse_version(nullptr, &major, &minor), 0);
}

TEST(GlDevice, ExtensionsMatchWholeWordsOnly) {
  const char* list = "GL_ARB_x GL_EXT_texture_filter_anisotropic_extra GL_EXT_y";
  EXPECT_FALSE(gl_has_word(list, "GL_EXT_texture_filter_anisotropic"));
  EXPECT_TRUE(gl_has_word("GL_EXT_texture_filter_anisotropic", "GL_EXT_texture_filter_anisotropic"));
  EXPECT_TRUE(gl_has_word("a GL_EXT_texture_filter_anisotropic b", "GL_EXT_texture_filter_anisotropic"));
  EXPECT_TRUE(gl_has_word(list, "GL_EXT_y"));
  EXPECT_FALSE(gl_has_word(list, "GL_EXT"));
  EXPECT_FALSE(gl_has_word(nullptr, "GL_EXT_y"));
  EXPECT_FALSE(gl_has_word(list, ""));
}

// A context system and a driver that answer "1.0": the vertex-array backend must refuse and
// leave nothing behind, and the display-list backend must take the context.
int g_created, g_released, g_destroyed;
void* fake_create(Window*) { return g_created++, (void*)&g_created; }
int fake_make_current(Window*, void* context) {
  if (!context) g_released++;
  return 1;
}
void fake_destroy(void*) { g_destroyed++; }
int fake_swap(Window*) { return 1; }
int fake_interval(int) { return 1; }
int fake_supported(void) { return 1; }
void* fake_proc(const char*) { return nullptr; }
int fake_depth(void) { return 24; }
const GLubyte* old_version(GLenum) { return (const GLubyte*)"1.0 Old Driver"; }

TEST(GlDevice, VersionOneZeroFallsBackToDisplayLists) {
  const GlContextSystem fake = {fake_create,   fake_make_current, fake_destroy, fake_swap,
                                fake_interval, fake_supported,    fake_proc,    fake_depth};
  gl_context_set_system(&fake);
  GlApi saved = g_gl;
  g_gl.GetString = old_version;
  gl_context_forget_version();
  Window window{};
  window.handle = &window;
  RenderBackend table{};
  EXPECT_EQ(gl_arrays_init(&window, &table), 0);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(g_destroyed, 1);
  RenderBackend empty{};
  EXPECT_EQ(memcmp(&table, &empty, sizeof table), 0);
  ASSERT_EQ(gl_lists_init(&window, &table), 1);
  EXPECT_NE(table.draw, nullptr);
  EXPECT_EQ(table.anisotropy_supported, nullptr);
  EXPECT_EQ(table.can_pair_textures, nullptr);
  EXPECT_EQ(table.transforms_vertices(), 1);
  const uint32_t formats[] = {PF_RGB888,   PF_RGBA8888, PF_RGBA8888, PF_RGB888, PF_RGB888,
                              PF_RGBA8888, PF_RGBA8888, PF_RGB888,   PF_RGB888};
  for (int c = 0; c < 9; c++) EXPECT_EQ(table.choose_pixel_format(c), formats[c]) << c;
  EXPECT_EQ(table.destroy(nullptr), 0);
  EXPECT_EQ(table.destroy(&window), 1);
  EXPECT_EQ(g_destroyed, 2);
  EXPECT_EQ(gl_arrays_init(nullptr, &table), 0);
  g_gl = saved;
  gl_context_set_system(nullptr);
  gl_context_forget_version();
}

}  // namespace
