#include "render/gl_shared/gl_draw.h"

#include <gtest/gtest.h>

namespace {

TEST(GlDraw, ColoursBecomeRgbaBytes) {
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

TEST(GlDraw, DepthAndBlendTables) {
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

}  // namespace
