// Texture decoding of arbitrary bytes, with the pixel format the renderer would ask for
// taken from the first byte (so every one of the 16 formats, and invalid answers, is
// reached), followed by what the renderer does with a texture: preparation and a walk over
// every mip level's pixels.
#include <cstddef>
#include <cstdint>

#include "assets/texture.h"
#include "render/texture_prep.h"

static uint32_t g_format;
static uint32_t choose(int) { return g_format; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  g_format = data[0] % 18;
  texture_options_set(data[0] >> 7 & 1, 1, 1, 1);
  TextureHooks hooks = {choose, texture_prepare};
  texture_set_hooks(&hooks);
  Texture* t = texture_decode(data + 1, size - 1);
  if (t) {
    volatile uint32_t sum = 0;
    for (const Texture* level = t; level; level = level->next) {
      uint32_t expected = level->width * level->height * pixel_format_bytes(level->format);
      if (level->pixels && level->pixel_size != expected) __builtin_trap();
      for (uint32_t i = 0; level->pixels && i < level->pixel_size; i++) sum = sum + level->pixels[i];
      if ((level->format == PF_I8 || level->format == PF_I8A8) && !level->palette) __builtin_trap();
    }
    texture_destroy(t);
  }
  return 0;
}
