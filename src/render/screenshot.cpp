#include "render/screenshot.h"

#include <cstdio>
#include <cstring>

#include "base/mem.h"

static void put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

static void put32(uint8_t* p, uint32_t v) {
  put16(p, v & 0xFFFF);
  put16(p + 2, v >> 16);
}

enum : uint32_t { BMP_HEADER_SIZE = 66 };

int render_bmp_write(const char* path, int width, int height, const uint16_t* pixels) {
  if (!path || !pixels || width < 1 || height < 1) return 0;
  const uint64_t row_bytes = ((uint64_t)width * 2 + 3) & ~(uint64_t)3;
  const uint64_t image_bytes = row_bytes * (uint64_t)height;
  if (BMP_HEADER_SIZE + image_bytes > 0xFFFFFFFFu) return 0;

  uint8_t header[BMP_HEADER_SIZE] = {};
  header[0] = 'B';
  header[1] = 'M';
  put32(header + 2, (uint32_t)(BMP_HEADER_SIZE + image_bytes));
  put32(header + 10, BMP_HEADER_SIZE);
  put32(header + 14, 40);
  put32(header + 18, (uint32_t)width);
  put32(header + 22, (uint32_t)height);
  put16(header + 26, 1);
  put16(header + 28, 16);
  put32(header + 30, 3);
  put32(header + 34, (uint32_t)image_bytes);
  put32(header + 54, 0xF800);
  put32(header + 58, 0x07E0);
  put32(header + 62, 0x001F);

  FILE* file = fopen(path, "wb");
  if (!file) return 0;
  bool ok = fwrite(header, 1, sizeof header, file) == sizeof header;
  uint8_t* row = (uint8_t*)mem_calloc(1, (size_t)row_bytes);
  for (int y = 0; y < height && ok; y++) {
    const uint16_t* source = pixels + (size_t)y * (size_t)width;
    for (int x = 0; x < width; x++) put16(row + 2 * x, source[x]);
    ok = fwrite(row, 1, (size_t)row_bytes, file) == row_bytes;
  }
  mem_free(row);
  ok = fflush(file) == 0 && ok;
  ok = fclose(file) == 0 && ok;
  if (!ok) remove(path);
  return ok ? 1 : 0;
}

int render_screenshot_path(char* out, size_t capacity, const char* folder, time_t when) {
  if (!out || capacity == 0 || !folder) return 0;
  struct tm local;
  if (!localtime_r(&when, &local)) return 0;
  char name[64];
  if (strftime(name, sizeof name, "%Y%m%d%H%M%S.bmp", &local) == 0) return 0;
  size_t folder_length = strlen(folder);
  bool slash = folder_length > 0 && folder[folder_length - 1] != '/';
  int n = snprintf(out, capacity, "%s%s%s", folder, slash ? "/" : "", name);
  if (n < 0 || (size_t)n >= capacity) {
    out[0] = 0;
    return 0;
  }
  return 1;
}
