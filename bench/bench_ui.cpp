// Interface text and drawing beside references measured in the same run:
// - text_layout of a 256-byte chat line in word-wrap mode against a plain UTF-8 decode loop
//   over the same bytes;
// - ui_draw_list of 1,024 entries with text (no backend behind draw submission) against
//   memcpy of the vertex bytes it produces;
// - font_decode of a 400-glyph entry against memcpy of its bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/font.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/utf8.h"
#include "render/draw.h"
#include "support/font_testing.h"
#include "ui/text_layout.h"
#include "ui/ui_draw.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_frame.h"

namespace {

// 256 bytes of chat: words, a link, a few accented letters.
std::string chat_line(void) {
  std::string s =
      "Tarren: meet me by the north gate, I have the \xF3\xB0\x80\x85river key\xEE\x80\x80 and caf\xC3\xA9 ";
  const char* words[] = {"bring", "the", "old", "map", "and", "some", "torches", "before", "dusk"};
  for (int i = 0; s.size() < 256; i++) s += std::string(words[i % 9]) + " ";
  s.resize(256);
  while ((s.back() & 0xC0) == 0x80 || (uint8_t)s.back() >= 0xC0) s.back() = 'x';
  return s;
}

void BM_TextLayoutChatLine(benchmark::State& state) {
  Font* font = test_font_fixed();
  std::string line = chat_line();
  uint32_t run[512];
  for (auto _ : state) {
    int32_t width = 300, height = 0;
    uint32_t count = 0;
    benchmark::DoNotOptimize(
        text_layout(font, TEXT_LAYOUT_WRAP, &width, &height, line.c_str(), run, 512, &count));
    benchmark::DoNotOptimize(run[0]);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)line.size());
  font_destroy(font);
}
BENCHMARK(BM_TextLayoutChatLine);

void BM_Utf8DecodeLoopReference(benchmark::State& state) {
  std::string line = chat_line();
  uint32_t run[512];
  for (auto _ : state) {
    const char* p = line.c_str();
    uint32_t n = 0;
    for (uint32_t c; (c = utf8_decode(&p)) != 0;) run[n++] = c;
    benchmark::DoNotOptimize(run);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)line.size());
}
BENCHMARK(BM_Utf8DecodeLoopReference);

// A private folder under $TMPDIR holding the font archive, removed at the end.
struct FontArchive {
  std::string folder, path;
  FontArchive() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench_ui_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) {
      perror("mkdtemp");
      exit(1);
    }
    folder = name.data();
    path = folder + "/font.dat";
    std::vector<uint8_t> bytes = test_font_fixed_bytes();
    ArchiveSource source = {1, bytes.data(), bytes.size()};
    size_t size = 0;
    uint8_t* image = archive_build(&source, 1, 1, &size, nullptr, 0);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(image, 1, size, f) != size || fclose(f) != 0) exit(1);
    mem_free(image);
  }
  ~FontArchive() {
    remove(path.c_str());
    rmdir(folder.c_str());
  }
};

// 32 windows of 31 labels each: 1,024 entries, every widget with a short line of text.
struct DrawListScene {
  UiStyle style = {};
  std::vector<std::vector<uint32_t>> runs;
  void declare(const Font* font) {
    ui_frame_reset();
    style.font = 1;
    style.text_colour = {1, 1, 1, 1};
    style.fill_colour = {0.1f, 0.1f, 0.2f, 0.8f};
    if (runs.empty())
      for (int i = 0; i < 31; i++) {
        char text[32];
        snprintf(text, sizeof text, "Item %d: iron sword", i);
        std::vector<uint32_t> run(64);
        int32_t w = 0, h = 0;
        uint32_t n = 0;
        text_layout(font, 0, &w, &h, text, run.data(), 64, &n);
        run.resize(n);
        runs.push_back(run);
      }
    for (int wi = 0; wi < 32; wi++) {
      UiWindow w = {};
      w.visible = 1, w.layer = wi % 3, w.x = 20 * wi, w.y = 10, w.width = 200, w.height = 400;
      w.style = &style;
      w.clip = UiClip{w.x, w.y, w.width, w.height};
      UiWindow* window = ui_frame_declare_window(&w);
      for (int i = 0; i < 31; i++) {
        UiWidget label = {};
        label.x = w.x + 4, label.y = w.y + 12 * i, label.width = 150, label.height = 10, label.order = 1;
        label.style = &style;
        label.text = runs[i].data(), label.text_count = (uint32_t)runs[i].size();
        ui_frame_declare_widget(window, &label);
      }
    }
  }
};

void BM_DrawList1024Entries(benchmark::State& state) {
  FontArchive archive;
  event_bus_start();
  assets_startup(archive.folder.c_str());
  AssetHandle h;
  asset_request_wait(&h, ASSET_FONT, 1);
  draw_startup();
  ui_draw_startup();
  ui_draw_set_frame(1024, 768);
  DrawListScene scene;
  scene.declare((const Font*)h.object);
  for (auto _ : state) ui_draw_list(nullptr);
  const UiDrawEntry* entries;
  state.counters["entries"] = ui_draw_list_entries(&entries);
  ui_draw_shutdown();
  draw_shutdown();
  assets_shutdown();
  event_bus_stop();
}
BENCHMARK(BM_DrawList1024Entries)->Unit(benchmark::kMicrosecond);

// Every label's glyphs and every window's body as 4-vertex quads.
void BM_MemcpyOfTheListsVerticesReference(benchmark::State& state) {
  Font* font = test_font_fixed();
  uint32_t glyphs = 0;
  DrawListScene scene;
  scene.declare(font);
  for (const auto& run : scene.runs)
    for (uint32_t c : run) glyphs += c != ' ';
  size_t bytes = (size_t)(32 * glyphs + 32) * 4 * sizeof(RenderVertex);
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes);
  font_destroy(font);
  ui_frame_release();
}
BENCHMARK(BM_MemcpyOfTheListsVerticesReference)->Unit(benchmark::kMicrosecond);

std::vector<uint8_t> font_of_400(void) {
  std::vector<TestGlyph> glyphs;
  // Stored in reverse, so the decoder has sorting to do.
  for (uint32_t i = 0; i < 400; i++) glyphs.push_back({0x4FF - i, 6, 9, 0, -2, 7});
  return test_font_bytes({60001, 4, 9, 14, 1}, glyphs);
}

void BM_FontDecode400Glyphs(benchmark::State& state) {
  std::vector<uint8_t> bytes = font_of_400();
  for (auto _ : state) {
    Font* f = font_decode(bytes.data(), (uint32_t)bytes.size());
    benchmark::DoNotOptimize(f);
    font_destroy(f);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes.size());
}
BENCHMARK(BM_FontDecode400Glyphs)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOfTheFontBytesReference(benchmark::State& state) {
  std::vector<uint8_t> bytes = font_of_400(), to(bytes.size());
  for (auto _ : state) {
    memcpy(to.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes.size());
}
BENCHMARK(BM_MemcpyOfTheFontBytesReference)->Unit(benchmark::kMicrosecond);

}  // namespace
