#include "assets/texture.h"

#include <cstring>

#include "assets/tga.h"
#include "base/mem.h"

namespace {

struct Reduce {
  uint8_t to5[256], to6[256], to4[256];
};

// Channel reduction rounds: v x max / 255 to the nearest, halves up.
constexpr Reduce make_reduce() {
  Reduce r{};
  for (uint32_t v = 0; v < 256; v++) {
    r.to5[v] = (uint8_t)((v * 31 + 127) / 255);
    r.to6[v] = (uint8_t)((v * 63 + 127) / 255);
    r.to4[v] = (uint8_t)((v * 15 + 127) / 255);
  }
  return r;
}
constexpr Reduce REDUCE = make_reduce();

constexpr uint8_t FORMAT_BYTES[PF_COUNT] = {0, 2, 2, 2, 2, 3, 4, 4, 2, 2, 2, 2, 3, 4, 4, 1, 2};

uint32_t default_choose(int texture_class) {
  return texture_class >= 0 && texture_class <= 2 ? PF_RGBA8888 : PF_RGB888;
}

TextureHooks g_hooks = {default_choose, nullptr};

inline void put16(uint8_t* d, uint32_t v) {
  d[0] = (uint8_t)v;
  d[1] = (uint8_t)(v >> 8);
}

// Writes one row of red, green, blue, alpha bytes in a format; step is +1 or -1 pixels.
void write_row(uint32_t format, const uint8_t* s, uint8_t* d, uint32_t w, int reverse) {
  const uint32_t n = FORMAT_BYTES[format];
  ptrdiff_t step = reverse ? -(ptrdiff_t)n : (ptrdiff_t)n;
  if (reverse) d += (size_t)(w - 1) * n;
  const Reduce& R = REDUCE;
  for (uint32_t x = 0; x < w; x++, s += 4, d += step) {
    uint32_t r = s[0], g = s[1], b = s[2], a = s[3];
    switch (format) {
      case PF_RGB565:
        put16(d, (uint32_t)R.to5[r] << 11 | (uint32_t)R.to6[g] << 5 | R.to5[b]);
        break;
      case PF_XRGB1555:
        put16(d, (uint32_t)R.to5[r] << 10 | (uint32_t)R.to5[g] << 5 | R.to5[b]);
        break;
      case PF_ARGB1555:
        put16(d, (a ? 0x8000u : 0) | (uint32_t)R.to5[r] << 10 | (uint32_t)R.to5[g] << 5 | R.to5[b]);
        break;
      case PF_ARGB4444:
        put16(d, (uint32_t)R.to4[a] << 12 | (uint32_t)R.to4[r] << 8 | (uint32_t)R.to4[g] << 4 | R.to4[b]);
        break;
      case PF_RGB888:
        d[0] = (uint8_t)r, d[1] = (uint8_t)g, d[2] = (uint8_t)b;
        break;
      case PF_RGBA8888:
        memcpy(d, s, 4);
        break;
      case PF_RGBX8888:
        d[0] = (uint8_t)r, d[1] = (uint8_t)g, d[2] = (uint8_t)b, d[3] = 255;
        break;
      case PF_BGR565:
        put16(d, (uint32_t)R.to5[b] << 11 | (uint32_t)R.to6[g] << 5 | R.to5[r]);
        break;
      case PF_XBGR1555:
        put16(d, (uint32_t)R.to5[b] << 10 | (uint32_t)R.to5[g] << 5 | R.to5[r]);
        break;
      case PF_ABGR1555:
        put16(d, (a ? 0x8000u : 0) | (uint32_t)R.to5[b] << 10 | (uint32_t)R.to5[g] << 5 | R.to5[r]);
        break;
      case PF_ABGR4444:
        put16(d, (uint32_t)R.to4[a] << 12 | (uint32_t)R.to4[b] << 8 | (uint32_t)R.to4[g] << 4 | R.to4[r]);
        break;
      case PF_BGR888:
        d[0] = (uint8_t)b, d[1] = (uint8_t)g, d[2] = (uint8_t)r;
        break;
      case PF_BGRA8888:
        d[0] = (uint8_t)b, d[1] = (uint8_t)g, d[2] = (uint8_t)r, d[3] = (uint8_t)a;
        break;
      case PF_BGRX8888:
        d[0] = (uint8_t)b, d[1] = (uint8_t)g, d[2] = (uint8_t)r, d[3] = 255;
        break;
      default:
        break;
    }
  }
}

// The common row loop: every file row converted and placed by the origin bits. 0 on a bad
// colour-map index.
int convert_rows(const TgaFile* f, const uint8_t* source, uint32_t format, uint8_t* out) {
  const uint32_t w = f->width, h = f->height;
  const uint32_t n = FORMAT_BYTES[format];
  const size_t source_row = (size_t)w * f->source_bytes;
  const size_t out_row = (size_t)w * n;
  const int top_down = (f->descriptor >> 5) & 1;
  const int reverse = (f->descriptor >> 4) & 1;
  const bool indexed = format == PF_I8 || format == PF_I8A8;
  // 32-bit true colour to a 32-bit byte format is one word shuffle per pixel (the common
  // texture), when the alpha byte is either used as it is or replaced by 255.
  const uint32_t alpha_bits = f->descriptor & 15;
  const bool direct = (f->image_type & 7) == 2 && f->depth == 32 && !reverse &&
                      (alpha_bits == 0 || alpha_bits >= 8) &&
                      (format == PF_RGBA8888 || format == PF_BGRA8888);
  const uint32_t opaque = alpha_bits == 0 ? 0xFF000000u : 0;
  uint8_t* row = direct ? nullptr : (uint8_t*)mem_alloc((size_t)w * 4);
  int ok = 1;
  for (uint32_t y = 0; y < h && ok; y++) {
    const uint8_t* s = source + y * source_row;
    uint8_t* d = out + (size_t)(top_down ? h - 1 - y : y) * out_row;
    if (direct) {
      for (uint32_t x = 0; x < w; x++) {
        uint32_t v;  // little-endian B, G, R, A
        memcpy(&v, s + 4 * x, 4);
        if (format == PF_RGBA8888) v = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
        v |= opaque;
        memcpy(d + 4 * x, &v, 4);
      }
    } else if (indexed) {
      ok = tga_row_indices(f, s, row, row + w);
      for (uint32_t x = 0; x < w && ok; x++) {
        uint32_t dx = reverse ? w - 1 - x : x;
        if (format == PF_I8) {
          d[dx] = row[x];
        } else {
          d[2 * dx] = row[x];
          d[2 * dx + 1] = row[w + x];
        }
      }
    } else {
      ok = tga_row_rgba(f, s, row);
      if (ok) write_row(format, row, d, w, reverse);
    }
  }
  mem_free(row);
  return ok;
}

// Output size with the pixels known to be there; 0 when it does not fit the record's field.
size_t output_size(const TgaFile* f, uint32_t bytes_per_pixel) {
  uint64_t size = (uint64_t)f->width * f->height * bytes_per_pixel;
  return size <= 0xFFFFFFFFu ? (size_t)size : 0;
}

}  // namespace

uint32_t pixel_format_bytes(uint32_t format) { return format < PF_COUNT ? FORMAT_BYTES[format] : 0; }

void texture_set_hooks(const TextureHooks* hooks) {
  g_hooks.choose_pixel_format =
      hooks && hooks->choose_pixel_format ? hooks->choose_pixel_format : default_choose;
  g_hooks.prepare = hooks ? hooks->prepare : nullptr;
}

Texture* texture_decode(const uint8_t* bytes, size_t length) {
  TgaFile* f = (TgaFile*)mem_alloc(sizeof(TgaFile));
  Texture* t = nullptr;
  uint8_t* expanded = nullptr;
  if (!tga_read_header(bytes, length, f)) goto fail;
  if (f->image_type == 0) {
    t = (Texture*)mem_calloc(1, sizeof(Texture));
    t->width = f->width;
    t->height = f->height;
    t->wrap = 1;
    t->filter = 1;
    t->param3 = 4;
    mem_free(f);
    return t;
  }
  if (!tga_read_layout(f)) goto fail;
  {
    const bool mapped = tga_colour_mapped(f);
    int texture_class = (int)f->texture_class;
    if (mapped && texture_class >= 1 && texture_class <= 4) texture_class += 4;
    uint32_t format = g_hooks.choose_pixel_format(texture_class);
    if (format < 1 || format > 16) goto fail;
    if ((format == PF_I8 || format == PF_I8A8) && !mapped) goto fail;
    if (!tga_pixels_plausible(f)) goto fail;
    size_t size = output_size(f, FORMAT_BYTES[format]);
    if (!size) goto fail;
    uint32_t key = 0, key_index = 0;
    if (mapped) {
      if (!tga_read_colour_map(f)) goto fail;
      if (f->color_key) {
        int found = tga_find_key(f);
        if (found >= 0) {
          key = 1;
          key_index = (uint32_t)found;
        }
        if (key && format != PF_I8) {
          tga_clear_key_entries(f);
          key = 0;
          key_index = 0;
        }
      }
    }
    const uint8_t* source = tga_pixels(f, &expanded);
    if (!source) goto fail;
    t = (Texture*)mem_calloc(1, sizeof(Texture));
    t->width = f->width;
    t->height = f->height;
    t->format = format;
    t->wrap = f->wrap;
    t->filter = f->filter;
    t->param1 = f->param1;
    t->param2 = f->param2;
    t->param3 = f->param3;
    t->color_key = key;
    t->color_key_index = key_index;
    t->pixels = (uint8_t*)mem_alloc(size);
    t->pixel_size = (uint32_t)size;
    if (!convert_rows(f, source, format, t->pixels)) goto fail;
    if (format == PF_I8 || format == PF_I8A8) {
      t->palette_count = f->table_size;
      t->palette = (float*)mem_alloc(sizeof(float) * 3 * f->table_size);
      for (uint32_t i = 0; i < f->table_size; i++) {
        t->palette[3 * i] = (float)(f->table[i] >> 24) / 255.0f;
        t->palette[3 * i + 1] = (float)(f->table[i] >> 16 & 255) / 255.0f;
        t->palette[3 * i + 2] = (float)(f->table[i] >> 8 & 255) / 255.0f;
      }
    }
  }
  mem_free(expanded);
  mem_free(f);
  if (g_hooks.prepare) g_hooks.prepare(t);
  return t;
fail:
  mem_free(expanded);
  mem_free(f);
  texture_destroy(t);
  return nullptr;
}

Image* image_decode(const uint8_t* bytes, size_t length) {
  TgaFile* f = (TgaFile*)mem_alloc(sizeof(TgaFile));
  Image* image = nullptr;
  uint8_t* expanded = nullptr;
  const uint8_t* source = nullptr;
  size_t size = 0;
  if (!tga_read_header(bytes, length, f) || f->image_type == 0 || !tga_read_layout(f)) goto fail;
  if (!tga_pixels_plausible(f)) goto fail;
  size = output_size(f, 4);
  if (!size) goto fail;
  if (tga_colour_mapped(f)) {
    if (!tga_read_colour_map(f)) goto fail;
    if (f->color_key) tga_clear_key_entries(f);
  }
  source = tga_pixels(f, &expanded);
  if (!source) goto fail;
  image = (Image*)mem_calloc(1, sizeof(Image));
  image->width = f->width;
  image->height = f->height;
  image->pixels = (uint8_t*)mem_alloc(size);
  image->pixel_size = (uint32_t)size;
  if (!convert_rows(f, source, PF_BGRA8888, image->pixels)) goto fail;
  mem_free(expanded);
  mem_free(f);
  return image;
fail:
  mem_free(expanded);
  mem_free(f);
  image_destroy(image);
  return nullptr;
}

void texture_destroy(Texture* t) {
  if (!t || t->id == -1) return;
  mem_free(t->pixels);
  mem_free(t->palette);
  // Every smaller level lives in the one block that starts with level 1's record.
  mem_free(t->next);
  mem_free(t);
}

void image_destroy(Image* image) {
  if (!image) return;
  mem_free(image->pixels);
  mem_free(image);
}

void* texture_decode_asset(const uint8_t* bytes, uint32_t length) { return texture_decode(bytes, length); }
void texture_destroy_asset(void* object) { texture_destroy((Texture*)object); }
void* image_decode_asset(const uint8_t* bytes, uint32_t length) { return image_decode(bytes, length); }
void image_destroy_asset(void* object) { image_destroy((Image*)object); }
