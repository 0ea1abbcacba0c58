#pragma once
// The 16-bit screenshot file that every backend writes: a BMP with a 40-byte info header,
// bit-field compression with the masks 0xF800, 0x07E0, 0x001F (R5 G6 B5), rows bottom-up,
// each padded with zero bytes to a multiple of 4. The file-size and image-size fields count
// the padding.
//
// render_bmp_write answers 1 only when every byte reached the file and it was flushed and
// closed without error; on any failure it answers 0 and removes what it had written.
#include <cstddef>
#include <cstdint>
#include <ctime>

// pixels: height rows of width R5 G6 B5 words, bottom row first, rows tightly packed.
// 0 for a null path or pixels, a size below 1 or a file larger than 4 GiB.
int render_bmp_write(const char* path, int width, int height, const uint16_t* pixels);

// 8-bit red, green, blue to the file's R5 G6 B5 word (truncating the low bits).
static inline uint16_t render_rgb565(uint32_t red, uint32_t green, uint32_t blue) {
  return (uint16_t)((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}

// folder + "/" + the local time as "%Y%m%d%H%M%S.bmp". 0 when it does not fit.
int render_screenshot_path(char* out, size_t capacity, const char* folder, time_t when);
