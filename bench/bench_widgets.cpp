// The widget framework beside references measured in the same run:
// - a frame of 64 windows holding 1,024 labels of 40 characters (16 each), declared, resolved
//   and drawn with no backend behind draw submission, against the same 1,088 records pushed
//   into a std::vector and std::sort-ed by layer, order and sequence;
// - one frame of a focused 256-character text field, against a copy of its 256 code points
//   through std::vector.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "render/draw.h"
#include "support/ui_bench_fixture.h"
#include "ui/ui.h"
#include "ui/ui_draw.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_style.h"

namespace {

// The fixed test font as asset 1 in a private folder, with the cache started over it.
struct FontCache {
  UiBenchFixture ui{"bench_widgets"};
  FontCache() {
    UiStyle s = {};
    s.font = 1;
    s.text_colour = {1, 1, 1, 1};
    s.fill_colour = {0.2f, 0.2f, 0.3f, 1};
    s.caret_width = 1;
    s.caret_height = 8;
    ui_style_register(1, &s);
  }
};

const char LABEL[] = "Forty characters of label text, fixed!!!";
static_assert(sizeof LABEL == 41, "40 characters and the end");

UiCallbacks g_callbacks = {};

void declare_windows(void) {
  for (uint32_t w = 0; w < 64; w++) {
    ui_window_begin(w + 1, 0, (int32_t)(w % 8) * 120, (int32_t)(w / 8) * 90, 120, 90, (int32_t)w, 1,
                    &g_callbacks);
    for (uint32_t i = 0; i < 16; i++)
      ui_label(100 + w * 16 + i, LABEL, 0, (int32_t)i * 5, 120, 10, (int32_t)i, 1, &g_callbacks, nullptr,
               nullptr);
    ui_window_end();
  }
}

void BM_Frame64Windows1024Labels(benchmark::State& state) {
  FontCache cache;
  for (auto _ : state) {
    ui_begin_frame(1, 1024, 768);
    declare_windows();
    ui_end_frame();
    ui_draw_list(nullptr);
  }
  const UiDrawEntry* entries;
  state.counters["entries"] = ui_draw_list_entries(&entries);
}
BENCHMARK(BM_Frame64Windows1024Labels)->Unit(benchmark::kMicrosecond);

struct Record {
  int32_t layer, order;
  uint32_t sequence;
  int32_t x, y, width, height;
  const char* text;
};

void BM_VectorPushAndSortReference(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<Record> records;
    uint32_t sequence = 0;
    for (int32_t w = 63; w >= 0; w--) {
      records.push_back({w, 0, sequence++, (w % 8) * 120, (w / 8) * 90, 120, 90, nullptr});
      for (int32_t i = 0; i < 16; i++) records.push_back({w, i, sequence++, 0, i * 5, 120, 10, LABEL});
    }
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
      if (a.layer != b.layer) return a.layer < b.layer;
      if (a.order != b.order) return a.order < b.order;
      return a.sequence < b.sequence;
    });
    benchmark::DoNotOptimize(records.data());
  }
}
BENCHMARK(BM_VectorPushAndSortReference)->Unit(benchmark::kMicrosecond);

uint32_t g_caret = 128, g_start = 0;

void BM_FocusedTextField256(benchmark::State& state) {
  FontCache cache;
  UiCallbacks cb = {};
  cb.focused = [](uint32_t) { return 1; };
  cb.caret_get = [](uint32_t) { return g_caret; };
  cb.scroll_start_get = [](uint32_t) { return g_start; };
  cb.scroll_start_set = [](uint32_t, uint32_t i) { g_start = i; };
  cb.caret_set = [](uint32_t, uint32_t i) { g_caret = i; };
  std::vector<uint32_t> text(256);
  for (uint32_t i = 0; i < 256; i++) text[i] = 'a' + i % 26;
  UiTextBuffer buffer = {text.data(), 256, 256};
  for (auto _ : state) {
    ui_begin_frame(1, 1024, 768);
    ui_window_begin(1, 0, 0, 0, 400, 40, 0, 1, nullptr);
    ui_text_field(2, &buffer, 4, 4, 300, 14, 0, 1, &cb);
    ui_window_end();
    ui_end_frame();
  }
}
BENCHMARK(BM_FocusedTextField256)->Unit(benchmark::kMicrosecond);

void BM_CopyOf256CodePointsReference(benchmark::State& state) {
  std::vector<uint32_t> text(256);
  for (uint32_t i = 0; i < 256; i++) text[i] = 'a' + i % 26;
  for (auto _ : state) {
    std::vector<uint32_t> copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_CopyOf256CodePointsReference)->Unit(benchmark::kMicrosecond);

}  // namespace
