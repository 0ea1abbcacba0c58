#include "render/gl_shared/gl_screenshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/event_bus.h"
#include "support/test_files.h"
#include "platform/window.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "support/gl_fake_test_support.h"

namespace {

std::vector<std::pair<std::string, int>> g_reports;
void record_report(const char* path, int written) { g_reports.push_back({path, written}); }

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The GL backends installed through the front end on the fake driver (a 6 x 3 viewport).
class GlScreenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    event_bus_start();
    gl_fake_install();
    window_.handle = &window_;
    const RenderBackendInits inits = {gl_pixel_format, gl_arrays_init, gl_lists_init,
                                      nullptr,         nullptr,        nullptr};
    render_set_backend_inits(&inits);
    ASSERT_EQ(render_install(&window_, 0), 1);
    render_init_device();
    g_reports.clear();
    render_set_screenshot_listener(record_report);
    dir_ = test_make_temp_dir("gl_screenshots");
  }
  void TearDown() override {
    render_shutdown_device();
    render_uninstall(&window_);
    render_set_backend_inits(nullptr);
    render_set_screenshot_listener(nullptr);
    gl_fake_remove();
    event_bus_stop();
    for (const std::string& path : made_) remove(path.c_str());
    rmdir(dir_.c_str());
  }
  std::string file(const char* name) {
    made_.push_back(dir_ + "/" + name);
    return made_.back();
  }

  Window window_{};
  std::string dir_;
  std::vector<std::string> made_;
};

uint16_t file_word(const std::string& bytes, size_t offset) {
  return (uint16_t)((uint8_t)bytes[offset] | (uint8_t)bytes[offset + 1] << 8);
}

TEST_F(GlScreenshots, EveryRequestOfAFrameIsWrittenAtPresentAndReported) {
  std::string a = file("a.bmp"), b = file("b.bmp");
  ASSERT_EQ(render_screenshot(a.c_str()), 1);
  ASSERT_EQ(render_screenshot(b.c_str()), 1);
  EXPECT_TRUE(g_reports.empty()) << "nothing is written before the frame is finished";
  EXPECT_FALSE(exists(a));
  render_present(&window_);
  EXPECT_EQ(g_reports, (std::vector<std::pair<std::string, int>>{{a, 1}, {b, 1}}));
  std::string first = test_read_file(a);
  EXPECT_EQ(first, test_read_file(b));
  // 6 x 3 pixels: rows of 12 bytes need no padding.
  ASSERT_EQ(first.size(), 66u + 3 * 12);
  // The read-back's pixel 0 and its last pixel, as R5 G6 B5 in the order read.
  for (uint64_t i : {(uint64_t)0, (uint64_t)17}) {
    uint32_t r = gl_fake_pixel_byte(i, 0), g = gl_fake_pixel_byte(i, 1), bl = gl_fake_pixel_byte(i, 2);
    uint16_t want = (uint16_t)((r >> 3) << 11 | (g >> 2) << 5 | bl >> 3);
    EXPECT_EQ(file_word(first, 66 + 2 * i), want) << i;
  }
  g_reports.clear();
  render_present(&window_);
  EXPECT_TRUE(g_reports.empty()) << "each request is served once";
}

TEST_F(GlScreenshots, AFailureReachesTheListener) {
  enum Then { PRESENT, SUSPEND, SHUT_DOWN };
  struct Case {
    const char* what;
    bool missing_folder;
    Then then;
  } cases[] = {
      {"the folder does not exist", true, PRESENT},
      {"suspended before the frame was shown", false, SUSPEND},
      {"shut down before the frame was shown", false, SHUT_DOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = c.missing_folder ? dir_ + "/missing/shot.bmp" : file("shot.bmp");
    g_reports.clear();
    ASSERT_EQ(render_screenshot(path.c_str()), 1);
    if (c.then == PRESENT) render_present(&window_);
    if (c.then == SUSPEND) render_suspend(&window_, 1);
    if (c.then == SHUT_DOWN) render_shutdown_device();
    EXPECT_EQ(g_reports, (std::vector<std::pair<std::string, int>>{{path, 0}}));
    EXPECT_FALSE(exists(path));
    if (c.then == SUSPEND) render_suspend(&window_, 0);
    if (c.then == SHUT_DOWN) render_init_device();
    g_reports.clear();
    render_present(&window_);
    EXPECT_TRUE(g_reports.empty()) << "a failed request is reported once";
  }
}

TEST_F(GlScreenshots, RefusedRequestsAreNeverReported) {
  std::string too_long(GL_SCREENSHOT_PATH, 'x');
  EXPECT_EQ(render_screenshot(nullptr), 0);
  EXPECT_EQ(render_screenshot(""), 0);
  EXPECT_EQ(render_screenshot(too_long.c_str()), 0);
  std::vector<std::string> paths;
  for (uint32_t i = 0; i < GL_SCREENSHOT_QUEUE; i++) {
    paths.push_back(file(("q" + std::to_string(i) + ".bmp").c_str()));
    EXPECT_EQ(render_screenshot(paths.back().c_str()), 1);
  }
  EXPECT_EQ(render_screenshot(file("over.bmp").c_str()), 0) << "the queue is full";
  render_suspend(&window_, 1);
  EXPECT_EQ(g_reports.size(), (size_t)GL_SCREENSHOT_QUEUE);
  g_reports.clear();
  EXPECT_EQ(render_screenshot(file("suspended.bmp").c_str()), 0);
  render_suspend(&window_, 0);
  render_present(&window_);
  EXPECT_TRUE(g_reports.empty());
  EXPECT_FALSE(exists(dir_ + "/over.bmp"));
  EXPECT_FALSE(exists(dir_ + "/suspended.bmp"));
}

}  // namespace
