#include "render/screenshot.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool tools_required(void) {
  const char* ci = getenv("CI");
  return ci && strcmp(ci, "true") == 0;
}

bool run(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  return pclose(pipe) == 0;
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int c;
  while ((c = fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
  fclose(f);
  return bytes;
}

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
uint32_t u16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

// A frame whose every pixel differs: channels from the coordinates.
std::vector<uint16_t> test_frame(int width, int height) {
  std::vector<uint16_t> pixels((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      pixels[(size_t)y * width + x] =
          render_rgb565((x * 37 + y * 11) & 255, (x * 5 + y * 91) & 255, (x ^ y) * 29 & 255);
  return pixels;
}

const char PIL_READER[] =
    "import sys\n"
    "from PIL import Image\n"
    "im = Image.open(sys.argv[1])\n"
    "print(im.format, im.size[0], im.size[1])\n"
    "im = im.convert('RGB')\n"
    "sys.stdout.flush()\n"
    "sys.stdout.buffer.write(im.tobytes())\n";

// The file's fields, then its pixels as read by PIL and by ImageMagick (top row first).
TEST(Screenshot, FilesReadBackByPilAndImageMagick) {
  struct Case {
    int width, height;
  } cases[] = {{640, 480}, {1, 1}, {3, 2}, {5, 3}};
  char folder[] = "/tmp/ostrevane_bmp_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string script = std::string(folder) + "/read.py";
  FILE* f = fopen(script.c_str(), "w");
  fputs(PIL_READER, f);
  fclose(f);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    std::string path = std::string(folder) + "/shot.bmp";
    std::vector<uint16_t> pixels = test_frame(c.width, c.height);
    ASSERT_EQ(render_bmp_write(path.c_str(), c.width, c.height, pixels.data()), 1);
    std::vector<uint8_t> file = read_file(path);
    const uint32_t row = ((uint32_t)c.width * 2 + 3) / 4 * 4;
    ASSERT_EQ(file.size(), 66u + row * c.height);
    if (c.width == 640) {
      EXPECT_EQ(file.size(), 614466u);
    }
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(file, 2), file.size());
    EXPECT_EQ(u32(file, 6), 0u);
    EXPECT_EQ(u32(file, 10), 66u);
    EXPECT_EQ(u32(file, 14), 40u);
    EXPECT_EQ(u32(file, 18), (uint32_t)c.width);
    EXPECT_EQ(u32(file, 22), (uint32_t)c.height);
    EXPECT_EQ(u16(file, 26), 1u);
    EXPECT_EQ(u16(file, 28), 16u);
    EXPECT_EQ(u32(file, 30), 3u);
    EXPECT_EQ(u32(file, 34), row * c.height);
    for (int at = 38; at < 54; at += 4) EXPECT_EQ(u32(file, at), 0u);
    EXPECT_EQ(u32(file, 54), 0xF800u);
    EXPECT_EQ(u32(file, 58), 0x07E0u);
    EXPECT_EQ(u32(file, 62), 0x001Fu);
    for (int y = 0; y < c.height; y++)
      for (uint32_t pad = (uint32_t)c.width * 2; pad < row; pad++) EXPECT_EQ(file[66 + y * row + pad], 0);

    std::string pil, magick;
    bool have_pil = run("/usr/bin/python3 " + script + " " + path + " 2>/dev/null", &pil);
    bool have_magick = run("convert " + path + " -depth 8 rgb:- 2>/dev/null", &magick);
    if (!have_pil || !have_magick) {
      if (tools_required()) FAIL() << "python3-pil and imagemagick are required";
      GTEST_SKIP() << "python3-pil or imagemagick missing";
    }
    std::string expected_header = "BMP " + std::to_string(c.width) + " " + std::to_string(c.height) + "\n";
    ASSERT_EQ(pil.compare(0, expected_header.size(), expected_header), 0) << pil.substr(0, 40);
    std::string pil_pixels = pil.substr(expected_header.size());
    ASSERT_EQ(pil_pixels.size(), (size_t)c.width * c.height * 3);
    ASSERT_EQ(magick.size(), (size_t)c.width * c.height * 3);
    int mismatches = 0;
    for (int y = 0; y < c.height && mismatches < 5; y++) {
      for (int x = 0; x < c.width; x++) {
        // Readers widen the 5- and 6-bit fields differently; their top bits are the field.
        uint16_t p = pixels[(size_t)(c.height - 1 - y) * c.width + x];
        int fields[3] = {p >> 11, p >> 5 & 63, p & 31};
        size_t at = ((size_t)y * c.width + x) * 3;
        for (int k = 0; k < 3; k++) {
          int shift = k == 1 ? 2 : 3;
          if (((uint8_t)pil_pixels[at + k] >> shift) != fields[k] ||
              ((uint8_t)magick[at + k] >> shift) != fields[k])
            mismatches++;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    unlink(path.c_str());
  }
  unlink(script.c_str());
  rmdir(folder);
}

TEST(Screenshot, RejectsBadArgumentsAndUnwritablePaths) {
  uint16_t pixel = 0xFFFF;
  EXPECT_EQ(render_bmp_write(nullptr, 1, 1, &pixel), 0);
  EXPECT_EQ(render_bmp_write("/tmp/ostrevane_x.bmp", 0, 1, &pixel), 0);
  EXPECT_EQ(render_bmp_write("/tmp/ostrevane_x.bmp", 1, -1, &pixel), 0);
  EXPECT_EQ(render_bmp_write("/tmp/ostrevane_x.bmp", 1, 1, nullptr), 0);
  EXPECT_EQ(render_bmp_write("/nonexistent-folder/shot.bmp", 1, 1, &pixel), 0);
  EXPECT_EQ(access("/tmp/ostrevane_x.bmp", F_OK), -1);
}

// A disk that fills up mid-file: failure, and no partial file left behind.
TEST(Screenshot, AShortWriteIsAFailureAndLeavesNoFile) {
  char path[] = "/tmp/ostrevane_short_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::vector<uint16_t> pixels = test_frame(640, 480);
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  int result = render_bmp_write(path, 640, 480, pixels.data());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(access(path, F_OK), -1) << "the partial file is removed";
  unlink(path);
}

TEST(Screenshot, FileNamesAreTheLocalTimeStamp) {
  const char* old_tz = getenv("TZ");
  std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  char out[64];
  time_t when = 1796874245;  // 2026-12-10 03:44:05 UTC
  EXPECT_EQ(render_screenshot_path(out, sizeof out, "/home/p/screenshots", when), 1);
  EXPECT_STREQ(out, "/home/p/screenshots/20261210034405.bmp");
  EXPECT_EQ(render_screenshot_path(out, sizeof out, "shots/", when), 1);
  EXPECT_STREQ(out, "shots/20261210034405.bmp");
  EXPECT_EQ(render_screenshot_path(out, 20, "shots", when), 0) << "too small for the name";
  EXPECT_STREQ(out, "");
  if (old_tz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
