#include "render/texture_prep.h"

#include <cstring>

#include "base/mem.h"
#include "render/render.h"

namespace {

constexpr uint64_t align_up(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }
constexpr uint64_t RECORD_BYTES = align_up(sizeof(Texture), alignof(Texture));

struct Field {
  uint32_t shift, mask;
};
struct Fields {
  int count;
  Field field[4];
};

Fields fields_of(uint32_t format) {
  switch (format) {
    case PF_RGB565:
    case PF_BGR565:
      return {3, {{11, 31}, {5, 63}, {0, 31}, {0, 0}}};
    case PF_XRGB1555:
    case PF_XBGR1555:
      return {3, {{10, 31}, {5, 31}, {0, 31}, {0, 0}}};
    case PF_ARGB1555:
    case PF_ABGR1555:
      return {4, {{15, 1}, {10, 31}, {5, 31}, {0, 31}}};
    case PF_ARGB4444:
    case PF_ABGR4444:
      return {4, {{12, 15}, {8, 15}, {4, 15}, {0, 15}}};
    default:
      return {0, {}};
  }
}

constexpr uint32_t CACHE_SIZE = 509;

struct PaletteSearch {
  const Texture* texture;
  uint32_t cache[CACHE_SIZE];
};

uint32_t round_unit(float value, float scale) { return (uint32_t)(value * scale + 0.5f); }

uint8_t nearest_index(PaletteSearch* s, uint32_t key) {
  const Texture* t = s->texture;
  uint32_t slot = key % CACHE_SIZE;
  if (s->cache[slot] >> 8 == key) return (uint8_t)s->cache[slot];
  const float r = (float)(key >> 11) / 31.0f;
  const float g = (float)(key >> 5 & 63) / 63.0f;
  const float b = (float)(key & 31) / 31.0f;
  float best = 4.0f;
  uint32_t best_index = 0;
  for (uint32_t i = 0; i < t->palette_count && i < 256; i++) {
    if (t->color_key && i == t->color_key_index) continue;
    const float* p = t->palette + 3 * i;
    float dr = p[0] - r, dg = p[1] - g, db = p[2] - b;
    float d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      best_index = i;
    }
  }
  s->cache[slot] = key << 8 | best_index;
  return (uint8_t)best_index;
}

// Palette averaging of one block: indices at stride n bytes, alphas (for PF_I8A8) right after.
uint8_t average_block(PaletteSearch* s, const uint8_t* src, uint32_t src_width, uint32_t x0, uint32_t y0,
                      uint32_t bx, uint32_t by, uint32_t n) {
  const Texture* t = s->texture;
  float sum[3] = {0, 0, 0};
  float weight = 0;
  uint32_t key_pixels = 0;
  uint8_t first = src[((size_t)y0 * src_width + x0) * n];
  for (uint32_t y = y0; y < y0 + by; y++) {
    const uint8_t* p = src + ((size_t)y * src_width + x0) * n;
    for (uint32_t x = 0; x < bx; x++, p += n) {
      uint32_t index = p[0];
      float w = n == 2 ? (float)p[1] : 1.0f;
      if (t->color_key && index == t->color_key_index) {
        key_pixels++;
        w = 0;
      }
      if (index >= t->palette_count || !t->palette) w = 0;
      if (w == 0) continue;
      const float* c = t->palette + 3 * index;
      sum[0] += c[0] * w;
      sum[1] += c[1] * w;
      sum[2] += c[2] * w;
      weight += w;
    }
  }
  if (key_pixels * 2 > bx * by) return (uint8_t)t->color_key_index;
  if (weight == 0) return first;
  uint32_t key = round_unit(sum[0] / weight, 31) << 11 | round_unit(sum[1] / weight, 63) << 5 |
                 round_unit(sum[2] / weight, 31);
  return nearest_index(s, key);
}

void halve(uint32_t* width, uint32_t* height) {
  *width = *width / 2 > 1 ? *width / 2 : 1;
  *height = *height / 2 > 1 ? *height / 2 : 1;
}

}  // namespace

uint64_t texture_mip_level_bytes(uint32_t width, uint32_t height, uint32_t bytes_per_pixel) {
  return RECORD_BYTES + align_up((uint64_t)width * height * bytes_per_pixel, alignof(Texture));
}

void texture_downsample(const Texture* src, Texture* dst, uint32_t n) {
  const uint32_t dw = dst->width, dh = dst->height, sw = src->width;
  if (!dw || !dh || !sw || !src->height || !n) return;
  const uint32_t bx = sw / dw, by = src->height / dh;
  if (!bx || !by) return;
  const uint32_t area = bx * by;
  const uint8_t* s = src->pixels;
  uint8_t* d = dst->pixels;
  const uint32_t format = src->format;
  if (format == PF_I8 || format == PF_I8A8) {
    PaletteSearch* search = (PaletteSearch*)mem_alloc(sizeof(PaletteSearch));
    search->texture = src;
    memset(search->cache, 0xFF, sizeof search->cache);
    for (uint32_t y = 0; y < dh; y++) {
      for (uint32_t x = 0; x < dw; x++) {
        uint8_t index = average_block(search, s, sw, x * bx, y * by, bx, by, n);
        uint8_t* out = d + ((size_t)y * dw + x) * n;
        if (n == 2) {
          uint32_t alpha = 0;
          for (uint32_t yy = y * by; yy < y * by + by; yy++)
            for (uint32_t xx = x * bx; xx < x * bx + bx; xx++) alpha += s[((size_t)yy * sw + xx) * 2 + 1];
          out[1] = (uint8_t)((alpha + area / 2) / area);
        }
        out[0] = index;
      }
    }
    mem_free(search);
    return;
  }
  if (n == 2) {
    Fields f = fields_of(format);
    for (uint32_t y = 0; y < dh; y++) {
      for (uint32_t x = 0; x < dw; x++) {
        uint32_t sums[4] = {0, 0, 0, 0};
        for (uint32_t yy = y * by; yy < y * by + by; yy++) {
          const uint8_t* p = s + ((size_t)yy * sw + x * bx) * 2;
          for (uint32_t xx = 0; xx < bx; xx++, p += 2) {
            uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8;
            for (int k = 0; k < f.count; k++) sums[k] += v >> f.field[k].shift & f.field[k].mask;
          }
        }
        uint32_t v = 0;
        for (int k = 0; k < f.count; k++) v |= ((sums[k] + area / 2) / area) << f.field[k].shift;
        uint8_t* out = d + ((size_t)y * dw + x) * 2;
        out[0] = (uint8_t)v;
        out[1] = (uint8_t)(v >> 8);
      }
    }
    return;
  }
  // Byte channels, truncating. A 2 x 2 box of 4-byte pixels is the common mip step.
  for (uint32_t y = 0; y < dh; y++) {
    const uint8_t* row = s + (size_t)y * by * sw * n;
    uint8_t* out = d + (size_t)y * dw * n;
    if (bx == 2 && by == 2 && n == 4) {
      const uint8_t* row2 = row + (size_t)sw * 4;
      for (uint32_t x = 0; x < dw; x++, out += 4, row += 8, row2 += 8)
        for (uint32_t c = 0; c < 4; c++)
          out[c] = (uint8_t)(((uint32_t)row[c] + row[c + 4] + row2[c] + row2[c + 4]) / 4);
      continue;
    }
    for (uint32_t x = 0; x < dw; x++, out += n) {
      uint32_t sums[4] = {0, 0, 0, 0};
      for (uint32_t yy = 0; yy < by; yy++) {
        const uint8_t* p = row + ((size_t)yy * sw + (size_t)x * bx) * n;
        for (uint32_t xx = 0; xx < bx; xx++, p += n)
          for (uint32_t c = 0; c < n && c < 4; c++) sums[c] += p[c];
      }
      for (uint32_t c = 0; c < n && c < 4; c++) out[c] = (uint8_t)(sums[c] / area);
    }
  }
}

void texture_prepare(Texture* t) {
  if (!t || t->filter != 1 || t->format < 1 || t->format > 16 || !t->pixels) return;
  const uint32_t n = pixel_format_bytes(t->format);
  const TextureOptions options = texture_options();
  t->anisotropic = (uint32_t)options.anisotropic;
  if (options.low_detail && (t->width > 1 || t->height > 1)) {
    Texture smaller = *t;
    halve(&smaller.width, &smaller.height);
    texture_downsample(t, &smaller, n);
    t->width = smaller.width;
    t->height = smaller.height;
    t->pixel_size = t->width * t->height * n;
    t->pixels = (uint8_t*)mem_realloc(t->pixels, t->pixel_size);
  }
  if (options.mipmaps && !t->next && (t->width > 1 || t->height > 1)) {
    uint64_t total = 0;
    uint32_t w = t->width, h = t->height;
    while (w > 1 || h > 1) {
      halve(&w, &h);
      total += texture_mip_level_bytes(w, h, n);
    }
    uint8_t* block = (uint8_t*)mem_alloc((size_t)total);
    Texture* parent = t;
    while (parent->width > 1 || parent->height > 1) {
      Texture* level = (Texture*)block;
      *level = *parent;
      halve(&level->width, &level->height);
      level->pixels = block + RECORD_BYTES;
      level->pixel_size = level->width * level->height * n;
      level->next = nullptr;
      texture_downsample(parent, level, n);
      parent->next = level;
      parent = level;
      block += texture_mip_level_bytes(level->width, level->height, n);
    }
  }
}

void texture_magenta_pixels(uint32_t format, uint8_t pixels[16]) {
  for (int i = 0; i < 4; i++) {
    switch (format) {
      case PF_RGB565:
      case PF_BGR565:
        pixels[2 * i] = 0x1F, pixels[2 * i + 1] = 0xF8;
        break;
      case PF_XRGB1555:
      case PF_XBGR1555:
        pixels[2 * i] = 0x1F, pixels[2 * i + 1] = 0x7C;
        break;
      case PF_RGB888:
      case PF_BGR888:
        pixels[3 * i] = 255, pixels[3 * i + 1] = 0, pixels[3 * i + 2] = 255;
        break;
      case PF_RGBA8888:
      case PF_RGBX8888:
      case PF_BGRA8888:
      case PF_BGRX8888:
        pixels[4 * i] = 255, pixels[4 * i + 1] = 0, pixels[4 * i + 2] = 255, pixels[4 * i + 3] = 255;
        break;
      default:
        break;
    }
  }
}

static Texture* fallback_build(void) {
  static uint8_t pixels[16];
  static Texture fallback;
  fallback.id = -1;
  fallback.width = 2;
  fallback.height = 2;
  fallback.wrap = 1;
  fallback.filter = 1;
  fallback.pixels = pixels;
  fallback.pixel_size = sizeof pixels;
  fallback.format = render_choose_pixel_format(3);
  texture_magenta_pixels(fallback.format, pixels);
  return &fallback;
}

// Built on first use; the language makes the first call's construction thread-safe.
Texture* texture_fallback(void) {
  static Texture* fallback = fallback_build();
  return fallback;
}
