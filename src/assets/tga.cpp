#include "assets/tga.h"

#include <cstring>

#include "base/mem.h"

static uint32_t read16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }

// 5-bit value widened so that 0 stays 0 and 31 becomes 255.
static uint32_t widen5(uint32_t c) { return (c << 3) | (c >> 2); }

static uint32_t pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return r << 24 | g << 16 | b << 8 | a;
}

int tga_colour_mapped(const TgaFile* f) { return f->image_type == 1 || f->image_type == 9; }

int tga_read_header(const uint8_t* bytes, size_t length, TgaFile* f) {
  memset(f, 0, sizeof *f);
  if (!bytes || length < 18) return 0;
  f->bytes = bytes;
  f->length = length;
  f->id_length = bytes[0];
  f->cmap_type = bytes[1];
  f->image_type = bytes[2];
  f->cmap_first = read16(bytes + 3);
  f->cmap_length = read16(bytes + 5);
  f->cmap_bits = bytes[7];
  f->width = read16(bytes + 12);
  f->height = read16(bytes + 14);
  f->depth = bytes[16];
  f->descriptor = bytes[17];
  f->wrap = 1;
  f->filter = 1;
  f->param3 = 4;
  if (f->cmap_type > 1) return 0;
  switch (f->image_type) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 9:
    case 10:
    case 11:
      break;
    default:
      return 0;
  }
  if (tga_colour_mapped(f)) {
    if (f->cmap_type != 1 || f->cmap_length == 0 || (f->depth != 8 && f->depth != 16) || f->cmap_bits == 0)
      return 0;
  }
  switch (f->cmap_bits) {
    case 0:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return 0;
  }
  switch (f->depth) {
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return 0;
  }
  if (f->descriptor >> 6) return 0;
  return 1;
}

int tga_read_layout(TgaFile* f) {
  if (f->width == 0 || f->height == 0) return 0;
  size_t cmap_size = f->cmap_type == 1 ? (size_t)f->cmap_length * ((f->cmap_bits + 7) / 8) : 0;
  f->pixel_offset = 18 + (size_t)f->id_length + cmap_size;
  if (f->length <= f->pixel_offset) return 0;
  const uint8_t* b = f->bytes;
  if (f->id_length >= 15 && memcmp(b + 18, "TXID", 4) == 0 && b[22] == 1) {
    f->wrap = b[23];
    f->filter = b[24];
    f->param1 = b[25];
    f->param2 = b[26];
    f->param3 = b[27];
    f->texture_class = b[28];
    f->color_key = b[29];
    f->key_red = b[30];
    f->key_green = b[31];
    f->key_blue = b[32];
  }
  f->source_bytes = f->depth / 8;
  uint32_t kind = f->image_type & 7;
  if (f->depth == 8 && kind == 2) return 0;
  // Greyscale pixels are a grey byte, optionally followed by alpha.
  if (kind == 3 && f->depth > 16) return 0;
  return 1;
}

int tga_read_colour_map(TgaFile* f) {
  if (f->cmap_type != 1 || f->cmap_length == 0 || f->cmap_bits == 0) return 0;
  uint32_t entry_bytes = (f->cmap_bits + 7) / 8;
  size_t start = 18 + (size_t)f->id_length;
  if (start + (size_t)f->cmap_length * entry_bytes > f->length) return 0;
  uint32_t size = f->cmap_first + f->cmap_length;
  f->table_size = size < 256 ? size : 256;
  memset(f->table, 0, sizeof f->table);
  const uint8_t* p = f->bytes + start;
  for (uint32_t i = 0; i < f->cmap_length; i++, p += entry_bytes) {
    uint32_t slot = f->cmap_first + i;
    if (slot >= f->table_size) break;
    uint32_t colour;
    switch (f->cmap_bits) {
      case 8:
        colour = pack(p[0], p[0], p[0], 255);
        break;
      case 15:
      case 16: {
        uint32_t w = read16(p);
        uint32_t alpha = f->cmap_bits == 15 || (w & 0x8000) ? 255 : 0;
        colour = pack(widen5(w >> 10 & 31), widen5(w >> 5 & 31), widen5(w & 31), alpha);
        break;
      }
      case 24:
        colour = pack(p[2], p[1], p[0], 255);
        break;
      case 32:
        colour = pack(p[2], p[1], p[0], p[3]);
        break;
      default:
        return 0;
    }
    f->table[slot] = colour;
  }
  return 1;
}

static uint32_t key_colour(const TgaFile* f) { return f->key_red << 16 | f->key_green << 8 | f->key_blue; }

int tga_find_key(const TgaFile* f) {
  for (uint32_t i = f->cmap_first; i < f->table_size; i++)
    if (f->table[i] >> 8 == key_colour(f)) return (int)i;
  return -1;
}

void tga_clear_key_entries(TgaFile* f) {
  for (uint32_t i = f->cmap_first; i < f->table_size; i++)
    if (f->table[i] >> 8 == key_colour(f)) f->table[i] = 0;
}

int tga_pixels_plausible(const TgaFile* f) {
  uint64_t pixels = (uint64_t)f->width * f->height;
  uint64_t remaining = f->length - f->pixel_offset;
  if (f->image_type >= 9) return pixels <= 128 * remaining / (1 + f->source_bytes);
  return pixels * f->source_bytes <= remaining;
}

static int rle_expand(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size, uint32_t n) {
  size_t i = 0, o = 0;
  while (i < in_size) {
    uint32_t h = in[i++];
    size_t count = (h & 0x7F) + 1;
    size_t bytes = count * n;
    if (bytes > out_size - o) return 0;
    if (h & 0x80) {
      if (n > in_size - i) return 0;
      const uint8_t* pixel = in + i;
      i += n;
      if (n == 4) {
        uint32_t v;
        memcpy(&v, pixel, 4);
        for (size_t k = 0; k < count; k++) memcpy(out + o + k * 4, &v, 4);
      } else {
        for (size_t k = 0; k < count; k++) memcpy(out + o + k * n, pixel, n);
      }
    } else {
      if (bytes > in_size - i) return 0;
      memcpy(out + o, in + i, bytes);
      i += bytes;
    }
    o += bytes;
    if (o == out_size) return 1;
  }
  return 0;
}

const uint8_t* tga_pixels(const TgaFile* f, uint8_t** owned) {
  *owned = nullptr;
  const uint8_t* data = f->bytes + f->pixel_offset;
  size_t remaining = f->length - f->pixel_offset;
  size_t size = (size_t)f->width * f->height * f->source_bytes;
  if (f->image_type < 9) return size <= remaining ? data : nullptr;
  uint8_t* out = (uint8_t*)mem_alloc(size);
  if (!rle_expand(data, remaining, out, size, f->source_bytes)) {
    mem_free(out);
    return nullptr;
  }
  *owned = out;
  return out;
}

// Colour-map index of a 16-bit pixel: with A alpha bits the index is the low 16 - A bits and
// the alpha is scaled from the top A bits; -1 alpha means "from the table".
static inline uint32_t mapped16(const TgaFile* f, uint32_t w, int* alpha) {
  uint32_t a = f->descriptor & 15;
  if (a == 0) {
    *alpha = -1;
    return w;
  }
  *alpha = (int)((w >> (16 - a)) * 255 / ((1u << a) - 1));
  return w & ((1u << (16 - a)) - 1);
}

// The colour-map entry of pixel x of a mapped row and its alpha (from the index bits where
// the pixel carries them, else from the entry); 0 for an index outside the map.
static inline int map_entry(const TgaFile* f, const uint8_t* s, uint32_t x, uint32_t* index,
                            uint32_t* alpha) {
  int a = -1;
  uint32_t i = f->depth == 8 ? s[x] : mapped16(f, read16(s + 2 * x), &a);
  if (i < f->cmap_first || i >= f->table_size) return 0;
  *index = i;
  *alpha = a < 0 ? f->table[i] & 255 : (uint32_t)a;
  return 1;
}

int tga_row_indices(const TgaFile* f, const uint8_t* s, uint8_t* index, uint8_t* alpha) {
  uint32_t w = f->width;
  for (uint32_t x = 0; x < w; x++) {
    uint32_t i, a;
    if (!map_entry(f, s, x, &i, &a)) return 0;
    index[x] = (uint8_t)i;
    alpha[x] = (uint8_t)a;
  }
  return 1;
}

int tga_row_rgba(const TgaFile* f, const uint8_t* s, uint8_t* d) {
  uint32_t w = f->width;
  uint32_t abits = f->descriptor & 15;
  uint32_t kind = f->image_type & 7;
  if (kind == 1) {
    for (uint32_t x = 0; x < w; x++, d += 4) {
      uint32_t i, a;
      if (!map_entry(f, s, x, &i, &a)) return 0;
      uint32_t c = f->table[i];
      d[0] = (uint8_t)(c >> 24);
      d[1] = (uint8_t)(c >> 16);
      d[2] = (uint8_t)(c >> 8);
      d[3] = (uint8_t)a;
    }
    return 1;
  }
  if (kind == 3) {
    bool with_alpha = f->depth == 16;
    for (uint32_t x = 0; x < w; x++, d += 4) {
      uint8_t g = with_alpha ? s[2 * x] : s[x];
      d[0] = d[1] = d[2] = g;
      d[3] = with_alpha ? s[2 * x + 1] : 255;
    }
    return 1;
  }
  switch (f->depth) {
    case 16:
      for (uint32_t x = 0; x < w; x++, d += 4) {
        uint32_t v = read16(s + 2 * x);
        d[0] = (uint8_t)widen5(v >> 10 & 31);
        d[1] = (uint8_t)widen5(v >> 5 & 31);
        d[2] = (uint8_t)widen5(v & 31);
        d[3] = abits == 1 && !(v & 0x8000) ? 0 : 255;
      }
      break;
    case 24:
      for (uint32_t x = 0; x < w; x++, d += 4, s += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = 255;
      }
      break;
    default:
      if (abits == 0 || abits >= 8) {
        for (uint32_t x = 0; x < w; x++, d += 4, s += 4) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          d[3] = abits ? s[3] : 255;
        }
      } else {
        uint32_t scale = (1u << abits) - 1;
        for (uint32_t x = 0; x < w; x++, d += 4, s += 4) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          d[3] = (uint8_t)((s[3] >> (8 - abits)) * 255 / scale);
        }
      }
      break;
  }
  return 1;
}
