#include "support/ui_bench_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "render/draw.h"
#include "support/font_testing.h"
#include "ui/ui.h"
#include "ui/ui_draw.h"

UiBenchFixture::UiBenchFixture(const char* name) {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + name + "_XXXXXX";
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back(0);
  if (!mkdtemp(path.data())) exit(1);
  folder = path.data();
  std::vector<uint8_t> bytes = test_font_fixed_bytes();
  ArchiveSource source = {1, bytes.data(), bytes.size()};
  size_t size = 0;
  uint8_t* image = archive_build(&source, 1, 1, &size, nullptr, 0);
  FILE* f = fopen((folder + "/font.dat").c_str(), "wb");
  if (!f || fwrite(image, 1, size, f) != size || fclose(f) != 0) exit(1);
  mem_free(image);
  event_bus_start();
  assets_startup(folder.c_str());
  AssetHandle h;
  asset_request_wait(&h, ASSET_FONT, 1);
  draw_startup();
  ui_draw_startup();
  ui_widgets_startup();
  ui_set_mouse_provider([](int32_t* x, int32_t* y) { *x = 300, *y = 200; });
}

UiBenchFixture::~UiBenchFixture() {
  ui_set_mouse_provider(nullptr);
  ui_widgets_shutdown();
  ui_draw_shutdown();
  draw_shutdown();
  assets_shutdown();
  event_bus_stop();
  unlink((folder + "/font.dat").c_str());
  rmdir(folder.c_str());
}
