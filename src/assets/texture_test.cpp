#include "assets/texture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t g_format = PF_RGBA8888;
int g_last_class = -1;
uint32_t choose_recording(int texture_class) {
  g_last_class = texture_class;
  return g_format;
}
int g_prepared;
void prepare_counting(Texture*) { g_prepared++; }

// Decoding with a fixed format answer and preparation counted.
struct FormatScope {
  explicit FormatScope(uint32_t format) {
    g_format = format;
    TextureHooks hooks = {choose_recording, prepare_counting};
    texture_set_hooks(&hooks);
  }
  ~FormatScope() {
    texture_set_hooks(nullptr);
    g_format = PF_RGBA8888;
  }
};

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Tga {
  uint8_t id_length = 0, cmap_type = 0, image_type = 2;
  uint16_t cmap_first = 0, cmap_length = 0;
  uint8_t cmap_bits = 0;
  uint16_t width = 1, height = 1;
  uint8_t depth = 32, descriptor = 8;
  Bytes id, cmap, pixels;

  Bytes build() const {
    Bytes b = {id_length,
               cmap_type,
               image_type,
               (uint8_t)cmap_first,
               (uint8_t)(cmap_first >> 8),
               (uint8_t)cmap_length,
               (uint8_t)(cmap_length >> 8),
               cmap_bits,
               0,
               0,
               0,
               0,
               (uint8_t)width,
               (uint8_t)(width >> 8),
               (uint8_t)height,
               (uint8_t)(height >> 8),
               depth,
               descriptor};
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), cmap.begin(), cmap.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

Bytes txid(uint8_t wrap, uint8_t filter, uint8_t p1, uint8_t p2, uint8_t p3, uint8_t cls, uint8_t key,
           uint8_t r, uint8_t g, uint8_t b) {
  return {'T', 'X', 'I', 'D', 1, wrap, filter, p1, p2, p3, cls, key, r, g, b};
}

// A 2 x 2 colour-mapped image over four 24-bit entries (blue, green, red in the file).
Tga mapped_2x2(void) {
  Tga t;
  t.image_type = 1;
  t.cmap_type = 1;
  t.cmap_length = 4;
  t.cmap_bits = 24;
  t.cmap = {0, 0, 255, /**/ 0, 255, 0, /**/ 255, 0, 0, /**/ 255, 0, 255};
  t.width = 2;
  t.height = 2;
  t.depth = 8;
  t.descriptor = 0;
  t.pixels = {0, 1, 2, 3};
  return t;
}

// ---- Fixtures written by PIL and netpbm, compared with PIL's reading ----

class TgaFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = test_make_temp_dir("ostrevane_tga");
    if (dir_.empty()) return;
    std::string command = std::string("/usr/bin/python3 ") + OSTREVANE_SOURCE_DIR +
                          "/src/assets/testdata/tga_fixtures.py " + dir_ + " 2>&1";
    ok_ = system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) system(("rm -rf " + dir_).c_str());
  }
  void SetUp() override {
    if (!ok_) {
      const char* ci = getenv("CI");
      if (ci && strcmp(ci, "true") == 0) FAIL() << "python3-pil and netpbm (pamtotga) are required";
      GTEST_SKIP() << "python3-pil or netpbm missing";
    }
  }
  struct Fixture {
    std::string name;
    int width, height;
    std::string flags;
    Bytes file, rgba;
  };
  static std::vector<Fixture> fixtures() {
    std::vector<Fixture> list;
    std::ifstream manifest(dir_ + "/manifest");
    Fixture f;
    while (manifest >> f.name >> f.width >> f.height >> f.flags) {
      f.file = read_file(dir_ + "/" + f.name + ".tga");
      f.rgba = read_file(dir_ + "/" + f.name + ".rgba");
      list.push_back(f);
    }
    return list;
  }
  static Fixture fixture(const char* name) {
    for (const Fixture& f : fixtures())
      if (f.name == name) return f;
    ADD_FAILURE() << "no fixture " << name;
    return Fixture{};
  }
  static std::string dir_;
  static bool ok_;
};
std::string TgaFixtures::dir_;
bool TgaFixtures::ok_;

TEST_F(TgaFixtures, ImagesMatchPilsReading) {
  std::vector<Fixture> list = fixtures();
  ASSERT_GE(list.size(), 27u);
  for (const Fixture& f : list) {
    SCOPED_TRACE(f.name);
    ASSERT_EQ(f.rgba.size(), (size_t)f.width * f.height * 4);
    Image* image = image_decode(f.file.data(), f.file.size());
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, (uint32_t)f.width);
    ASSERT_EQ(image->height, (uint32_t)f.height);
    ASSERT_EQ(image->pixel_size, f.rgba.size());
    const int tolerance = f.flags.find('t') != std::string::npos ? 1 : 0;
    const bool opaque = f.flags.find('o') != std::string::npos;
    int bad = 0;
    for (size_t p = 0; p < f.rgba.size() / 4 && bad < 5; p++) {
      const uint8_t* want = &f.rgba[4 * p];
      const uint8_t* got = image->pixels + 4 * p;
      int channels[4] = {got[2] - want[0], got[1] - want[1], got[0] - want[2],
                         got[3] - (opaque ? 255 : want[3])};
      for (int c = 0; c < 4; c++) {
        if (abs(channels[c]) > (c == 3 ? 0 : tolerance)) {
          ADD_FAILURE() << "pixel " << p << " channel " << c << " off by " << channels[c];
          bad++;
        }
      }
    }
    // The texture decoder in RGBA8888 gives the same picture.
    FormatScope scope(PF_RGBA8888);
    Texture* t = texture_decode(f.file.data(), f.file.size());
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->pixel_size, image->pixel_size);
    for (size_t p = 0; p < f.rgba.size() / 4; p++) {
      const uint8_t* a = t->pixels + 4 * p;
      const uint8_t* b = image->pixels + 4 * p;
      ASSERT_TRUE(a[0] == b[2] && a[1] == b[1] && a[2] == b[0] && a[3] == b[3]) << p;
    }
    texture_destroy(t);
    image_destroy(image);
  }
}

TEST_F(TgaFixtures, OriginBitsDoNotChangeThePixels) {
  Fixture up = fixture("pil_rgba"), down = fixture("pil_rgba_top");
  Image* a = image_decode(up.file.data(), up.file.size());
  Image* b = image_decode(down.file.data(), down.file.size());
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->pixel_size, b->pixel_size);
  EXPECT_EQ(memcmp(a->pixels, b->pixels, a->pixel_size), 0);
  image_destroy(a);
  image_destroy(b);
}

// The expected pixel of each format from red, green, blue, alpha, written independently of
// the decoder: reductions round to nearest.
uint32_t r5(uint32_t v) { return (v * 31 + 127) / 255; }
uint32_t r6(uint32_t v) { return (v * 63 + 127) / 255; }
uint32_t r4(uint32_t v) { return (v * 15 + 127) / 255; }
Bytes expected_pixel(uint32_t format, const uint8_t* c) {
  uint32_t r = c[0], g = c[1], b = c[2], a = c[3];
  auto w16 = [](uint32_t v) { return Bytes{(uint8_t)v, (uint8_t)(v >> 8)}; };
  switch (format) {
    case PF_RGB565:
      return w16(r5(r) << 11 | r6(g) << 5 | r5(b));
    case PF_XRGB1555:
      return w16(r5(r) << 10 | r5(g) << 5 | r5(b));
    case PF_ARGB1555:
      return w16((a ? 1u : 0u) << 15 | r5(r) << 10 | r5(g) << 5 | r5(b));
    case PF_ARGB4444:
      return w16(r4(a) << 12 | r4(r) << 8 | r4(g) << 4 | r4(b));
    case PF_RGB888:
      return {(uint8_t)r, (uint8_t)g, (uint8_t)b};
    case PF_RGBA8888:
      return {(uint8_t)r, (uint8_t)g, (uint8_t)b, (uint8_t)a};
    case PF_RGBX8888:
      return {(uint8_t)r, (uint8_t)g, (uint8_t)b, 255};
    case PF_BGR565:
      return w16(r5(b) << 11 | r6(g) << 5 | r5(r));
    case PF_XBGR1555:
      return w16(r5(b) << 10 | r5(g) << 5 | r5(r));
    case PF_ABGR1555:
      return w16((a ? 1u : 0u) << 15 | r5(b) << 10 | r5(g) << 5 | r5(r));
    case PF_ABGR4444:
      return w16(r4(a) << 12 | r4(b) << 8 | r4(g) << 4 | r4(r));
    case PF_BGR888:
      return {(uint8_t)b, (uint8_t)g, (uint8_t)r};
    case PF_BGRA8888:
      return {(uint8_t)b, (uint8_t)g, (uint8_t)r, (uint8_t)a};
    case PF_BGRX8888:
      return {(uint8_t)b, (uint8_t)g, (uint8_t)r, 255};
  }
  return {};
}

TEST_F(TgaFixtures, EveryPixelFormatThroughTheChooser) {
  for (const char* name : {"pil_rgba", "pil_la_rle", "nb_cmap_rle"}) {
    Fixture f = fixture(name);
    for (uint32_t format = 1; format <= 14; format++) {
      SCOPED_TRACE(std::string(name) + " format " + std::to_string(format));
      FormatScope scope(format);
      Texture* t = texture_decode(f.file.data(), f.file.size());
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(t->format, format);
      EXPECT_EQ(t->palette, nullptr);
      const uint32_t n = pixel_format_bytes(format);
      ASSERT_EQ(t->pixel_size, (uint32_t)(f.width * f.height) * n);
      for (int p = 0; p < f.width * f.height; p++) {
        Bytes want = expected_pixel(format, &f.rgba[4 * p]);
        ASSERT_EQ(Bytes(t->pixels + p * n, t->pixels + (p + 1) * n), want) << "pixel " << p;
      }
      texture_destroy(t);
    }
  }
  // Palette formats: the palette entry of every index is PIL's colour.
  for (const char* name : {"pil_p", "pil_p_rle", "nb_cmap_raw"}) {
    Fixture f = fixture(name);
    for (uint32_t format : {PF_I8, PF_I8A8}) {
      SCOPED_TRACE(std::string(name) + " format " + std::to_string(format));
      FormatScope scope(format);
      Texture* t = texture_decode(f.file.data(), f.file.size());
      ASSERT_NE(t, nullptr);
      ASSERT_NE(t->palette, nullptr);
      const uint32_t n = format == PF_I8 ? 1 : 2;
      for (int p = 0; p < f.width * f.height; p++) {
        uint32_t index = t->pixels[p * n];
        ASSERT_LT(index, t->palette_count);
        for (int c = 0; c < 3; c++)
          ASSERT_EQ((int)(t->palette[3 * index + c] * 255 + 0.5f), f.rgba[4 * p + c]);
        if (n == 2) {
          ASSERT_EQ(t->pixels[p * 2 + 1], 255);
        }
      }
      texture_destroy(t);
    }
  }
  // Palette formats need a colour-mapped file.
  Fixture rgb = fixture("pil_rgb");
  FormatScope scope(PF_I8);
  EXPECT_EQ(texture_decode(rgb.file.data(), rgb.file.size()), nullptr);
}

// ---- Hand-made files for the rules PIL and netpbm do not reach ----

TEST(TextureDecode, ImageTypeZeroHasNoPixels) {
  Tga tga;
  tga.image_type = 0;
  tga.width = 7;
  tga.height = 3;
  Bytes file = tga.build();
  Texture* t = texture_decode(file.data(), file.size());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->format, 0u);
  EXPECT_EQ(t->pixels, nullptr);
  EXPECT_EQ(t->width, 7u);
  EXPECT_EQ(t->wrap, 1u);
  EXPECT_EQ(t->param3, 4u);
  texture_destroy(t);
  EXPECT_EQ(image_decode(file.data(), file.size()), nullptr);
}

TEST(TextureDecode, RejectedFiles) {
  struct Case {
    const char* why;
    Tga tga;
    size_t cut;  // bytes removed from the end
  };
  auto with = [](auto change) {
    Tga t;
    t.pixels = {1, 2, 3, 4};
    change(t);
    return t;
  };
  Tga mapped = mapped_2x2();
  auto mapped_with = [&](auto change) {
    Tga t = mapped;
    change(t);
    return t;
  };
  const Case cases[] = {
      {"colour-map type 2", with([](Tga& t) { t.cmap_type = 2; }), 0},
      {"image type 4", with([](Tga& t) { t.image_type = 4; }), 0},
      {"image type 12", with([](Tga& t) { t.image_type = 12; }), 0},
      {"colour-mapped without a map", mapped_with([](Tga& t) { t.cmap_type = 0; }), 0},
      {"colour-mapped with map length 0", mapped_with([](Tga& t) { t.cmap_length = 0; }), 0},
      {"colour-mapped 24-bit pixels", mapped_with([](Tga& t) { t.depth = 24; }), 0},
      {"colour-map entry size 12", mapped_with([](Tga& t) { t.cmap_bits = 12; }), 0},
      {"pixel depth 12", with([](Tga& t) { t.depth = 12; }), 0},
      {"interleave bits", with([](Tga& t) { t.descriptor = 0x48; }), 0},
      {"width 0", with([](Tga& t) { t.width = 0; }), 0},
      {"no pixel data at all", with([](Tga& t) { t.pixels.clear(); }), 0},
      {"8-bit true colour", with([](Tga& t) { t.depth = 8; }), 0},
      {"24-bit greyscale", with([](Tga& t) {
         t.image_type = 3, t.depth = 24, t.pixels = {1, 2, 3};
       }),
       0},
      {"raw data one pixel short", with([](Tga& t) { t.width = 2; }), 0},
      {"8-bit index beyond the map", mapped_with([](Tga& t) {
         t.pixels = {0, 1, 2, 4};
       }),
       0},
      {"8-bit index below the first entry", mapped_with([](Tga& t) {
         t.cmap_first = 1, t.pixels = {1, 1, 0, 1};
       }),
       0},
      {"16-bit index beyond the map",
       mapped_with([](Tga& t) { t.depth = 16, t.pixels = {0, 0, 1, 0, 2, 0, 4, 0}; }), 0},
      {"run-length packet overrunning the image", with([](Tga& t) {
         t.image_type = 10, t.pixels = {0x84, 1, 2, 3, 4};
       }),
       0},
      {"run-length data one pixel short", with([](Tga& t) {
         t.image_type = 10, t.width = 3, t.pixels = {0x81, 1, 2, 3, 4};
       }),
       0},
      {"run-length packet cut inside its pixel", with([](Tga& t) {
         t.image_type = 10, t.pixels = {0x80, 1, 2, 3};
       }),
       0},
      {"raw packet cut short",
       with([](Tga& t) { t.image_type = 10, t.width = 2, t.pixels = {0x01, 1, 2, 3, 4, 5}; }), 0},
      {"file shorter than the header", with([](Tga&) {}), 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Bytes file = c.tga.build();
    file.resize(file.size() - c.cut);
    EXPECT_EQ(texture_decode(file.data(), file.size()), nullptr);
    EXPECT_EQ(image_decode(file.data(), file.size()), nullptr);
  }
  EXPECT_EQ(texture_decode(nullptr, 100), nullptr);
}

// Headers that claim a huge picture over a few bytes are refused before any allocation.
TEST(TextureDecode, ClaimedSizesMustFitTheData) {
  for (uint8_t type : {2, 10}) {
    Tga t;
    t.image_type = type;
    t.width = 65535;
    t.height = 65535;
    t.pixels.assign(200, 0xFF);  // run-length packets of 128 pixels each
    Bytes file = t.build();
    EXPECT_EQ(texture_decode(file.data(), file.size()), nullptr) << (int)type;
    EXPECT_EQ(image_decode(file.data(), file.size()), nullptr) << (int)type;
  }
  // Exactly enough run-length input for the claim is accepted.
  Tga t;
  t.image_type = 10;
  t.width = 256;
  t.height = 1;
  t.pixels = {0xFF, 1, 2, 3, 4, 0xFF, 5, 6, 7, 8};
  Bytes file = t.build();
  Image* image = image_decode(file.data(), file.size());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixels[4 * 200], 5);
  image_destroy(image);
}

TEST(TextureDecode, SixteenBitIndexWithAlphaBits) {
  Tga t = mapped_2x2();
  t.depth = 16;
  t.descriptor = 4;  // 12-bit index, 4-bit alpha
  // index 3 alpha 15, index 2 alpha 5, index 1 alpha 0, index 0 alpha 8
  t.pixels = {0x03, 0xF0, 0x02, 0x50, 0x01, 0x00, 0x00, 0x80};
  Bytes file = t.build();
  Image* image = image_decode(file.data(), file.size());
  ASSERT_NE(image, nullptr);
  const uint8_t want[16] = {255, 0, 255, 255, 255, 0, 0, 85, 0, 255, 0, 0, 0, 0, 255, 136};
  EXPECT_EQ(memcmp(image->pixels, want, 16), 0);
  image_destroy(image);
  // Without alpha bits the same words are 16-bit indices far beyond the map.
  t.descriptor = 0;
  file = t.build();
  EXPECT_EQ(image_decode(file.data(), file.size()), nullptr);
}

TEST(TextureDecode, TrueColourAlphaRules) {
  struct Case {
    const char* why;
    uint8_t depth, alpha_bits;
    Bytes pixel;
    uint8_t alpha;
  } cases[] = {
      {"16-bit, 1 alpha bit set", 16, 1, {0x00, 0x80}, 255},
      {"16-bit, 1 alpha bit clear", 16, 1, {0xFF, 0x7F}, 0},
      {"16-bit, no alpha bits", 16, 0, {0xFF, 0x7F}, 255},
      {"32-bit, no alpha bits", 32, 0, {1, 2, 3, 0}, 255},
      {"32-bit, 4 alpha bits", 32, 4, {1, 2, 3, 0x80}, 136},
      {"32-bit, 1 alpha bit", 32, 1, {1, 2, 3, 0x80}, 255},
      {"32-bit, 8 alpha bits", 32, 8, {1, 2, 3, 0x42}, 0x42},
      {"24-bit", 24, 0, {1, 2, 3}, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Tga t;
    t.depth = c.depth;
    t.descriptor = c.alpha_bits;
    t.pixels = c.pixel;
    Bytes file = t.build();
    Image* image = image_decode(file.data(), file.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[3], c.alpha);
    image_destroy(image);
  }
}

TEST(TextureDecode, RightToLeftRowsAreMirrored) {
  Tga t;
  t.width = 3;
  t.depth = 24;
  t.descriptor = 0x10;
  t.pixels = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  Bytes file = t.build();
  FormatScope scope(PF_BGR888);
  Texture* tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(Bytes(tex->pixels, tex->pixels + 9), (Bytes{3, 3, 3, 2, 2, 2, 1, 1, 1}));
  texture_destroy(tex);
}

TEST(TextureDecode, TxidBlock) {
  Tga t = mapped_2x2();
  t.id = txid(0, 0, 9, 8, 7, 2, 0, 0, 0, 0);
  t.id_length = 15;
  Bytes file = t.build();
  FormatScope scope(PF_RGB565);
  g_prepared = 0;
  Texture* tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(g_last_class, 6) << "a colour-mapped file presents class 2 as 6";
  EXPECT_EQ(g_prepared, 1);
  EXPECT_EQ(tex->wrap, 0u);
  EXPECT_EQ(tex->filter, 0u);
  EXPECT_EQ(tex->param1, 9u);
  EXPECT_EQ(tex->param2, 8u);
  EXPECT_EQ(tex->param3, 7u);
  texture_destroy(tex);

  // Fourteen bytes of image ID are too short for the block, whatever they say.
  t.id.pop_back();
  t.id_length = 14;
  file = t.build();
  tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(g_last_class, 0);
  EXPECT_EQ(tex->wrap, 1u);
  EXPECT_EQ(tex->filter, 1u);
  EXPECT_EQ(tex->param3, 4u);
  texture_destroy(tex);

  // A true-colour file keeps its class.
  Tga rgb;
  rgb.id = txid(1, 1, 0, 0, 4, 3, 0, 0, 0, 0);
  rgb.id_length = 15;
  rgb.pixels = {1, 2, 3, 4};
  file = rgb.build();
  tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(g_last_class, 3);
  texture_destroy(tex);
}

TEST(TextureDecode, ColourKey) {
  struct Case {
    const char* why;
    uint32_t format;
    uint8_t key_red, key_green, key_blue;
    uint32_t key, key_index;
  } cases[] = {
      {"palette format keeps the matching index", PF_I8, 0, 255, 0, 1, 1},
      {"no matching entry turns the key off", PF_I8, 1, 2, 3, 0, 0},
      {"other formats make the key transparent", PF_RGBA8888, 0, 255, 0, 0, 0},
      {"index-and-alpha format clears the entry too", PF_I8A8, 0, 255, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Tga t = mapped_2x2();
    t.id = txid(1, 1, 0, 0, 4, 0, 1, c.key_red, c.key_green, c.key_blue);
    t.id_length = 15;
    Bytes file = t.build();
    FormatScope scope(c.format);
    Texture* tex = texture_decode(file.data(), file.size());
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->color_key, c.key);
    EXPECT_EQ(tex->color_key_index, c.key_index);
    if (c.format == PF_RGBA8888 && c.key_green == 255) {
      EXPECT_EQ(Bytes(tex->pixels + 4, tex->pixels + 8), (Bytes{0, 0, 0, 0}));
      EXPECT_EQ(Bytes(tex->pixels, tex->pixels + 4), (Bytes{255, 0, 0, 255}));
    }
    if (c.format == PF_I8A8) {
      EXPECT_EQ(tex->pixels[3], 0) << "alpha of the keyed pixel";
      EXPECT_EQ(tex->palette[3 * 1 + 1], 0.0f);
    }
    texture_destroy(tex);
  }
  // Images keep no key: the keyed entries become transparent black.
  Tga t = mapped_2x2();
  t.id = txid(1, 1, 0, 0, 4, 0, 1, 255, 0, 255);
  t.id_length = 15;
  Bytes file = t.build();
  Image* image = image_decode(file.data(), file.size());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Bytes(image->pixels + 12, image->pixels + 16), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Bytes(image->pixels + 8, image->pixels + 12), (Bytes{255, 0, 0, 255})) << "blue, unkeyed";
  image_destroy(image);
}

TEST(TextureDecode, ChooserAnswersOutsideTheFormatsFail) {
  Tga t;
  t.pixels = {1, 2, 3, 4};
  Bytes file = t.build();
  for (uint32_t format : {0u, 17u, 0xFFFFFFFFu}) {
    FormatScope scope(format);
    EXPECT_EQ(texture_decode(file.data(), file.size()), nullptr) << format;
  }
  // Without a chooser installed, the renderer's defaults apply.
  texture_set_hooks(nullptr);
  Texture* tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->format, (uint32_t)PF_RGBA8888);
  texture_destroy(tex);
}

TEST(TextureDecode, ColourMapBeyondSlot255IsCut) {
  Tga t;
  t.image_type = 1;
  t.cmap_type = 1;
  t.cmap_first = 250;
  t.cmap_length = 10;
  t.cmap_bits = 8;
  t.cmap = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
  t.depth = 16;
  t.descriptor = 0;
  t.width = 2;
  t.pixels = {255, 0, 250, 0};
  Bytes file = t.build();
  FormatScope scope(PF_I8);
  Texture* tex = texture_decode(file.data(), file.size());
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->palette_count, 256u);
  EXPECT_EQ(tex->pixels[0], 255);
  EXPECT_EQ(tex->pixels[1], 250);
  EXPECT_EQ(tex->palette[3 * 255], 50 / 255.0f);
  texture_destroy(tex);
  t.pixels = {0, 1, 250, 0};  // index 256
  file = t.build();
  EXPECT_EQ(texture_decode(file.data(), file.size()), nullptr);
}

// Every cut of a valid run-length file fails cleanly until the pixels are complete.
TEST(TextureDecode, TruncatedFilesFail) {
  Tga t;
  t.image_type = 10;
  t.width = 5;
  t.height = 2;
  t.pixels = {0x84, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 9, 9, 9, 0x82, 7, 7, 7, 7};
  Bytes file = t.build();
  for (size_t n = 0; n < file.size(); n++) {
    EXPECT_EQ(image_decode(file.data(), n), nullptr) << n;
    EXPECT_EQ(texture_decode(file.data(), n), nullptr) << n;
  }
  Image* image = image_decode(file.data(), file.size());
  ASSERT_NE(image, nullptr);
  image_destroy(image);
}

}  // namespace
