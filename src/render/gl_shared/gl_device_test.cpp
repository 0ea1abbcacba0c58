#include "render/gl_shared/gl_device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_draw.h"

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

TEST(GlDevice, ColoursBecomeRgbaBytes) {
  RenderVertex v[2] = {};
  v[0].colour = 0x80112233u;  // A 0x80, R 0x11, G 0x22, B 0x33
  v[1].colour = 0xFF0000FFu;
  gl_convert_colours(v, 2);
  const uint8_t* b = (const uint8_t*)&v[0].colour;
  EXPECT_EQ(b[0], 0x11);
  EXPECT_EQ(b[1], 0x22);
  EXPECT_EQ(b[2], 0x33);
  EXPECT_EQ(b[3], 0x80);
  b = (const uint8_t*)&v[1].colour;
  EXPECT_EQ(b[0], 0x00);
  EXPECT_EQ(b[2], 0xFF);
  EXPECT_EQ(b[3], 0xFF);
}

TEST(GlDevice, DepthAndBlendTables) {
  const GLenum want[] = {GL_NEVER,   GL_LESS,   GL_EQUAL,    GL_LEQUAL,
                         GL_GREATER, GL_GEQUAL, GL_NOTEQUAL, GL_ALWAYS};
  for (int i = 0; i < 8; i++) EXPECT_EQ(gl_depth_function(i), want[i]);
  EXPECT_EQ(gl_depth_function(8), (GLenum)GL_LESS);
  EXPECT_EQ(gl_depth_function(-1), (GLenum)GL_LESS);
  GLenum s = 0, d = 0;
  ASSERT_TRUE(gl_blend_factors(BLEND_ALPHA, &s, &d));
  EXPECT_EQ(s, (GLenum)GL_SRC_ALPHA);
  EXPECT_EQ(d, (GLenum)GL_ONE_MINUS_SRC_ALPHA);
  ASSERT_TRUE(gl_blend_factors(BLEND_PREMULTIPLIED, &s, &d));
  EXPECT_EQ(s, (GLenum)GL_ONE);
  ASSERT_TRUE(gl_blend_factors(BLEND_ADDITIVE, &s, &d));
  EXPECT_EQ(d, (GLenum)GL_ONE);
  EXPECT_FALSE(gl_blend_factors(3, &s, &d));
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
