#pragma once
// Texture and image decoder for TGA files (image types 0, 1, 2, 3, 9, 10, 11; colour maps of
// 8, 15, 16, 24 and 32-bit entries; pixel depths 8, 16, 24, 32; run-length packets; both
// origin bits), with the optional TXID block of texture parameters in the image-ID field.
//
// texture_decode converts to the pixel format that the renderer asks for (through the
// chooser hook) and then hands the record to texture preparation (the prepare hook);
// image_decode converts to BGRA bytes. Rows of both results run bottom row first, each row
// left to right, whatever the file's origin bits say.
//
// Both decoders are pure functions over the bytes: every count, size and colour-map index is
// checked before use, nothing is allocated before the data it will hold is known to be
// present, and any fault returns null with nothing left allocated. They may run on any
// thread; the hooks must be too.
#include <cstddef>
#include <cstdint>

enum PixelFormat : uint32_t {
  PF_NONE = 0,
  PF_RGB565 = 1,
  PF_XRGB1555 = 2,
  PF_ARGB1555 = 3,
  PF_ARGB4444 = 4,
  PF_RGB888 = 5,
  PF_RGBA8888 = 6,
  PF_RGBX8888 = 7,
  PF_BGR565 = 8,
  PF_XBGR1555 = 9,
  PF_ABGR1555 = 10,
  PF_ABGR4444 = 11,
  PF_BGR888 = 12,
  PF_BGRA8888 = 13,
  PF_BGRX8888 = 14,
  PF_I8 = 15,
  PF_I8A8 = 16,
  PF_COUNT = 17,
};

// Bytes per pixel of a format; 0 for a value outside 1..16.
uint32_t pixel_format_bytes(uint32_t format);

// The decoded texture (the object of texture assets). Mip levels are further records made by
// texture preparation; all levels below level 0 live in one allocation that starts with the
// record of level 1.
struct Texture {
  int32_t id;  // written by the loader; -1 marks the renderer's fallback texture
  uint32_t width, height;
  uint32_t format;  // PixelFormat; 0 for a file of image type 0 (no pixels)
  uint32_t wrap;    // non-zero: texture coordinates repeat
  uint32_t filter;  // 1: linear filtering, mip levels and anisotropy allowed
  uint32_t anisotropic;
  uint32_t param1, param2, param3;
  uint8_t* pixels;
  uint32_t pixel_size;  // bytes at pixels
  float* palette;       // red, green, blue triples in 0..1 (PF_I8 and PF_I8A8 only)
  uint32_t palette_count;
  uint32_t color_key;        // 1: palette entry color_key_index is transparent
  uint32_t color_key_index;  // 0..255
  Texture* next;             // next smaller mip level
};

// The decoded image (the object of image assets): blue, green, red, alpha bytes.
struct Image {
  int32_t id;
  uint32_t width, height;
  uint8_t* pixels;
  uint32_t pixel_size;  // width x height x 4
};

// Texture class (0..8) -> pixel format. Must answer from fixed state: it runs on the loader.
typedef uint32_t (*TextureChooseFormatFn)(int texture_class);
typedef void (*TexturePrepareFn)(Texture* texture);

struct TextureHooks {
  TextureChooseFormatFn choose_pixel_format;  // null: classes 0..2 PF_RGBA8888, others PF_RGB888
  TexturePrepareFn prepare;                   // null: the texture stays as decoded
};

// Installs the hooks (null: both defaults). Call before the loader thread starts.
void texture_set_hooks(const TextureHooks* hooks);

// Null on any rejection. A file of image type 0 gives a texture of format 0 without pixels.
Texture* texture_decode(const uint8_t* bytes, size_t length);
Image* image_decode(const uint8_t* bytes, size_t length);
// Free the pixels, the palette, the chain of smaller mip levels and the record. Null and the
// fallback texture (id -1) are ignored.
void texture_destroy(Texture* texture);
void image_destroy(Image* image);

// The same four in the shape of the asset cache's decoder table.
void* texture_decode_asset(const uint8_t* bytes, uint32_t length);
void texture_destroy_asset(void* object);
void* image_decode_asset(const uint8_t* bytes, uint32_t length);
void image_destroy_asset(void* object);
