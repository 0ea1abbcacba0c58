// Image decoding of arbitrary bytes, followed by a read of every decoded pixel.
#include <cstddef>
#include <cstdint>

#include "assets/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image* image = image_decode(data, size);
  if (image) {
    if (image->pixel_size != image->width * image->height * 4) __builtin_trap();
    volatile uint32_t sum = 0;
    for (uint32_t i = 0; i < image->pixel_size; i++) sum = sum + image->pixels[i];
    image_destroy(image);
  }
  return 0;
}
