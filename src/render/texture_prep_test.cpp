#include "render/texture_prep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/math_test_support.h"
#include "base/mem.h"

namespace {

Texture* make_texture(uint32_t format, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels) {
  Texture* t = (Texture*)mem_calloc(1, sizeof(Texture));
  t->width = width;
  t->height = height;
  t->format = format;
  t->wrap = 1;
  t->filter = 1;
  t->param3 = 4;
  t->pixel_size = (uint32_t)pixels.size();
  t->pixels = (uint8_t*)mem_alloc(pixels.size());
  memcpy(t->pixels, pixels.data(), pixels.size());
  return t;
}

std::vector<uint8_t> random_bytes(std::mt19937* random, size_t n) {
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = (uint8_t)(*random)();
  return v;
}

struct OptionsScope {
  OptionsScope(int low_detail, int mipmaps, int anisotropic) {
    texture_options_set(low_detail, mipmaps, anisotropic, 1);
  }
  ~OptionsScope() { texture_options_set(0, 1, 1, 1); }
};

TEST(TexturePrepare, MipChainLivesInOneBlockDownToOneByOne) {
  OptionsScope options(0, 1, 1);
  std::mt19937 random(1);
  Texture* t = make_texture(PF_RGBA8888, 64, 16, random_bytes(&random, 64 * 16 * 4));
  t->wrap = 0;
  texture_prepare(t);
  const uint32_t want[][2] = {{32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
  EXPECT_EQ(t->anisotropic, 1u);
  const Texture* level = t->next;
  for (const auto& size : want) {
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->width, size[0]);
    EXPECT_EQ(level->height, size[1]);
    EXPECT_EQ(level->pixel_size, size[0] * size[1] * 4);
    EXPECT_EQ((uintptr_t)level % alignof(Texture), 0u);
    EXPECT_EQ(level->wrap, 0u) << "levels copy their parent's fields";
    EXPECT_EQ(level->anisotropic, 1u);
    EXPECT_GE(level->pixels, (const uint8_t*)(level + 1));
    if (level->next) {
      EXPECT_EQ((const uint8_t*)level->next,
                (const uint8_t*)level + texture_mip_level_bytes(level->width, level->height, 4));
    }
    level = level->next;
  }
  EXPECT_EQ(level, nullptr);
  texture_destroy(t);  // frees the block with the record of level 1 (checked by the sanitizer build)
}

TEST(TexturePrepare, OptionsAndSkips) {
  struct Case {
    const char* why;
    int low_detail, mipmaps, anisotropic;
    uint32_t format, width, height, filter;
    uint32_t want_width, want_height, want_anisotropic;
    bool want_levels;
  } cases[] = {
      {"1 x 1 stays with low detail", 1, 0, 1, PF_RGB888, 1, 1, 1, 1, 1, 1, false},
      {"2 x 1 halves to 1 x 1", 1, 0, 1, PF_RGB888, 2, 1, 1, 1, 1, 1, false},
      {"odd sizes halve downwards", 1, 0, 0, PF_RGB565, 5, 3, 1, 2, 1, 0, false},
      {"filter 0 is left alone", 1, 1, 1, PF_RGBA8888, 8, 8, 0, 8, 8, 0, false},
      {"filter 2 is not 1", 1, 1, 1, PF_RGBA8888, 8, 8, 2, 8, 8, 0, false},
      {"no options, only the flag", 0, 0, 1, PF_RGBA8888, 8, 8, 1, 8, 8, 1, false},
      {"a 1 x 1 texture has no smaller levels", 0, 1, 1, PF_I8, 1, 1, 1, 1, 1, 1, false},
      {"low detail then mip levels", 1, 1, 1, PF_ARGB4444, 8, 4, 1, 4, 2, 1, true},
      {"format 0 is skipped", 1, 1, 1, 0, 8, 8, 1, 8, 8, 0, false},
      {"format 17 is skipped", 1, 1, 1, 17, 8, 8, 1, 8, 8, 0, false},
  };
  std::mt19937 random(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    OptionsScope options(c.low_detail, c.mipmaps, c.anisotropic);
    uint32_t n = pixel_format_bytes(c.format) ? pixel_format_bytes(c.format) : 4;
    Texture* t = make_texture(c.format, c.width, c.height, random_bytes(&random, c.width * c.height * n));
    t->filter = c.filter;
    if (c.format == PF_I8) {
      t->palette = (float*)mem_calloc(3, sizeof(float));
      t->palette_count = 1;
    }
    texture_prepare(t);
    EXPECT_EQ(t->width, c.want_width);
    EXPECT_EQ(t->height, c.want_height);
    EXPECT_EQ(t->pixel_size, c.want_width * c.want_height * n);
    EXPECT_EQ(t->anisotropic, c.want_anisotropic);
    EXPECT_EQ(t->next != nullptr, c.want_levels);
    texture_destroy(t);
  }
  texture_prepare(nullptr);
}

TEST(TexturePrepare, OptionsAreReadBack) {
  texture_options_set(1, 0, 1, 0);
  EXPECT_EQ(texture_trilinear(), 0);
  EXPECT_EQ(texture_options().low_detail, 1);
  EXPECT_EQ(texture_options().mipmaps, 0);
  texture_options_set(0, 1, 1, 1);
  EXPECT_EQ(texture_trilinear(), 1);
}

// numpy computes the whole chain (and the low-detail halving) from the same level-0 pixels.
const char NUMPY_CHAIN[] = R"(
import sys, struct
import numpy as np
FIELDS = {1: [(11, 31), (5, 63), (0, 31)], 2: [(10, 31), (5, 31), (0, 31)],
          3: [(15, 1), (10, 31), (5, 31), (0, 31)], 4: [(12, 15), (8, 15), (4, 15), (0, 15)]}
for k in (1, 2, 3, 4):
    FIELDS[k + 7] = FIELDS[k]
data = sys.stdin.buffer.read()
off = 0
out = bytearray()
while off < len(data):
    fmt, n, w, h, low = struct.unpack_from('<5I', data, off)
    off += 20
    px = np.frombuffer(data, np.uint8, w * h * n, off)
    off += w * h * n
    img = (px.view('<u2').reshape(h, w) if n == 2 else px.reshape(h, w, n)).astype(np.int64)
    def down(img, w, h):
        dw, dh = max(w // 2, 1), max(h // 2, 1)
        bx, by = w // dw, h // dh
        area = bx * by
        blk = img[:dh * by, :dw * bx]
        if n == 2:
            r = np.zeros((dh, dw), np.int64)
            for s, m in FIELDS[fmt]:
                total = ((blk >> s) & m).reshape(dh, by, dw, bx).sum(axis=(1, 3))
                r |= ((total + area // 2) // area) << s
        else:
            r = blk.reshape(dh, by, dw, bx, n).sum(axis=(1, 3)) // area
        return r, dw, dh
    def emit(img):
        out.extend(img.astype('<u2').tobytes() if n == 2 else img.astype(np.uint8).tobytes())
    if low and (w > 1 or h > 1):
        img, w, h = down(img, w, h)
    emit(img)
    while w > 1 or h > 1:
        img, w, h = down(img, w, h)
        emit(img)
sys.stdout.buffer.write(bytes(out))
)";

TEST(TexturePrepare, MipChainsMatchNumpy) {
  struct Case {
    uint32_t format, width, height, low_detail;
  } cases[] = {
      {PF_RGBA8888, 64, 64, 0}, {PF_RGBA8888, 37, 20, 0}, {PF_RGB888, 1, 9, 0},    {PF_BGRX8888, 33, 7, 1},
      {PF_RGB565, 40, 24, 0},   {PF_BGR565, 7, 7, 1},     {PF_XRGB1555, 16, 5, 0}, {PF_ABGR1555, 31, 17, 0},
      {PF_ARGB4444, 64, 2, 1},  {PF_ABGR4444, 3, 12, 0},  {PF_BGR888, 50, 30, 1},
  };
  std::mt19937 random(3);
  std::string input, ours;
  for (const Case& c : cases) {
    const uint32_t n = pixel_format_bytes(c.format);
    std::vector<uint8_t> pixels = random_bytes(&random, c.width * c.height * n);
    uint32_t header[5] = {c.format, n, c.width, c.height, c.low_detail};
    input.append((const char*)header, sizeof header);
    input.append((const char*)pixels.data(), pixels.size());
    OptionsScope options((int)c.low_detail, 1, 1);
    Texture* t = make_texture(c.format, c.width, c.height, pixels);
    texture_prepare(t);
    for (const Texture* level = t; level; level = level->next)
      ours.append((const char*)level->pixels, level->pixel_size);
    texture_destroy(t);
  }
  std::string expected;
  REQUIRE_REFERENCE_PYTHON(NUMPY_CHAIN, input, &expected);
  ASSERT_EQ(ours.size(), expected.size());
  EXPECT_TRUE(ours == expected);
}

TEST(TextureDownsample, ByteChannelsTruncateAndWordFieldsRound) {
  Texture src{}, dst{};
  uint8_t bytes[6] = {255, 0, 0, 254, 0, 0}, out[3];
  src = Texture{0, 2, 1, PF_RGB888, 1, 1, 0, 0, 0, 0, bytes, 6, nullptr, 0, 0, 0, nullptr};
  dst = src;
  dst.width = 1;
  dst.pixels = out;
  texture_downsample(&src, &dst, 3);
  EXPECT_EQ(out[0], 254);
  // Red fields 1 and 2 average to 2 (rounded); green 0 and 1 to 1; blue 30 and 31 to 31.
  uint16_t words[2] = {(uint16_t)(1 << 11 | 0 << 5 | 30), (uint16_t)(2 << 11 | 1 << 5 | 31)};
  uint16_t word_out = 0;
  src = Texture{0, 2, 1, PF_RGB565, 1, 1, 0, 0, 0, 0, (uint8_t*)words, 4, nullptr, 0, 0, 0, nullptr};
  dst = src;
  dst.width = 1;
  dst.pixels = (uint8_t*)&word_out;
  texture_downsample(&src, &dst, 2);
  EXPECT_EQ(word_out, 2 << 11 | 1 << 5 | 31);
}

// The nearest palette entry by brute force, without any cache.
uint8_t brute_force_block(const Texture* t, const uint8_t* src, uint32_t sw, uint32_t x0, uint32_t y0,
                          uint32_t bx, uint32_t by, uint32_t n) {
  float sum[3] = {0, 0, 0}, weight = 0;
  uint32_t keyed = 0;
  for (uint32_t y = y0; y < y0 + by; y++) {
    for (uint32_t x = x0; x < x0 + bx; x++) {
      const uint8_t* p = src + ((size_t)y * sw + x) * n;
      float w = n == 2 ? (float)p[1] : 1.0f;
      if (t->color_key && p[0] == t->color_key_index) keyed++, w = 0;
      if (p[0] >= t->palette_count) w = 0;
      if (w == 0) continue;
      for (int c = 0; c < 3; c++) sum[c] += t->palette[3 * p[0] + c] * w;
      weight += w;
    }
  }
  if (keyed * 2 > bx * by) return (uint8_t)t->color_key_index;
  if (weight == 0) return src[((size_t)y0 * sw + x0) * n];
  uint32_t r = (uint32_t)(sum[0] / weight * 31 + 0.5f), g = (uint32_t)(sum[1] / weight * 63 + 0.5f),
           b = (uint32_t)(sum[2] / weight * 31 + 0.5f);
  float target[3] = {r / 31.0f, g / 63.0f, b / 31.0f};
  float best = 4;
  uint8_t best_index = 0;
  for (uint32_t i = 0; i < t->palette_count; i++) {
    if (t->color_key && i == t->color_key_index) continue;
    float d = 0;
    for (int c = 0; c < 3; c++)
      d += (t->palette[3 * i + c] - target[c]) * (t->palette[3 * i + c] - target[c]);
    if (d < best) best = d, best_index = (uint8_t)i;
  }
  return best_index;
}

TEST(TextureDownsample, PaletteAveragingMatchesBruteForceSearch) {
  struct Case {
    const char* why;
    uint32_t format, width, height, palette_count, key;
  } cases[] = {
      {"indices with a colour key", PF_I8, 64, 32, 200, 1},
      {"indices without a key", PF_I8, 48, 48, 256, 0},
      {"indices beyond a short palette weigh nothing", PF_I8, 32, 16, 100, 1},
      {"index and alpha", PF_I8A8, 64, 64, 256, 0},
      {"odd blocks", PF_I8, 45, 27, 180, 1},
  };
  std::mt19937 random(4);
  OptionsScope options(0, 1, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const uint32_t n = c.format == PF_I8 ? 1 : 2;
    std::vector<uint8_t> pixels = random_bytes(&random, c.width * c.height * n);
    for (size_t i = 0; i < pixels.size(); i += n)
      if (random() % 4 == 0) pixels[i] = 7;  // enough key pixels for some blocks to be keyed
    Texture* t = make_texture(c.format, c.width, c.height, pixels);
    t->palette = (float*)mem_alloc(sizeof(float) * 3 * c.palette_count);
    t->palette_count = c.palette_count;
    for (uint32_t i = 0; i < 3 * c.palette_count; i++) t->palette[i] = (float)(random() % 256) / 255.0f;
    t->color_key = c.key;
    t->color_key_index = c.key ? 7 : 0;
    texture_prepare(t);
    int levels = 0;
    for (const Texture* parent = t; parent->next; parent = parent->next, levels++) {
      const Texture* level = parent->next;
      const uint32_t bx = parent->width / level->width, by = parent->height / level->height;
      for (uint32_t y = 0; y < level->height; y++) {
        for (uint32_t x = 0; x < level->width; x++) {
          const uint8_t* got = level->pixels + ((size_t)y * level->width + x) * n;
          ASSERT_EQ(got[0], brute_force_block(t, parent->pixels, parent->width, x * bx, y * by, bx, by, n))
              << "level " << levels + 1 << " at " << x << "," << y;
          if (n == 2) {
            uint32_t alpha = 0;
            for (uint32_t yy = y * by; yy < (y + 1) * by; yy++)
              for (uint32_t xx = x * bx; xx < (x + 1) * bx; xx++)
                alpha += parent->pixels[(yy * parent->width + xx) * 2 + 1];
            ASSERT_EQ(got[1], (alpha + bx * by / 2) / (bx * by));
          }
        }
      }
    }
    EXPECT_GT(levels, 4);
    texture_destroy(t);
  }
}

TEST(TextureDownsample, MostlyKeyedBlockGivesTheKey) {
  float palette[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  uint8_t pixels[4] = {2, 2, 0, 2}, out = 99;
  Texture src{0, 2, 2, PF_I8, 1, 1, 0, 0, 0, 0, pixels, 4, palette, 3, 1, 2, nullptr};
  Texture dst = src;
  dst.width = dst.height = 1;
  dst.pixels = &out;
  texture_downsample(&src, &dst, 1);
  EXPECT_EQ(out, 2);
  pixels[1] = 1;  // two keyed of four: not a majority, the others average to yellow-ish
  texture_downsample(&src, &dst, 1);
  EXPECT_NE(out, 2) << "the key index is never chosen by the search";
}

TEST(TextureFallback, MagentaInEveryFormat) {
  struct Case {
    uint32_t format;
    std::vector<uint8_t> pixel;
  } cases[] = {
      {PF_RGB565, {0x1F, 0xF8}},         {PF_BGR565, {0x1F, 0xF8}},         {PF_XRGB1555, {0x1F, 0x7C}},
      {PF_XBGR1555, {0x1F, 0x7C}},       {PF_RGB888, {255, 0, 255}},        {PF_BGR888, {255, 0, 255}},
      {PF_RGBA8888, {255, 0, 255, 255}}, {PF_RGBX8888, {255, 0, 255, 255}}, {PF_BGRA8888, {255, 0, 255, 255}},
      {PF_BGRX8888, {255, 0, 255, 255}}, {PF_ARGB4444, {0xAA, 0xAA}},       {PF_I8, {0xAA}},
  };
  for (const Case& c : cases) {
    uint8_t pixels[16];
    memset(pixels, 0xAA, sizeof pixels);
    texture_magenta_pixels(c.format, pixels);
    const size_t n = c.pixel.size();
    for (size_t i = 0; i < 4; i++)
      EXPECT_EQ(std::vector<uint8_t>(pixels + i * n, pixels + (i + 1) * n), c.pixel)
          << c.format << " pixel " << i;
  }
  Texture* fallback = texture_fallback();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback, texture_fallback());
  EXPECT_EQ(fallback->id, -1);
  EXPECT_EQ(fallback->width, 2u);
  EXPECT_EQ(fallback->height, 2u);
  EXPECT_EQ(fallback->next, nullptr);
  uint8_t want[16] = {};
  texture_magenta_pixels(fallback->format, want);
  EXPECT_EQ(memcmp(fallback->pixels, want, 16), 0);
  texture_destroy(fallback);  // ignored for id -1
  EXPECT_EQ(fallback->width, 2u);
}

}  // namespace
