// The chat's command interpreter beside a reference measured in the same run:
// - chat_submit of a command ("/say" with text) and of an unknown command that gets a
//   suggestion (edit distances to all 67 words), both sending nowhere;
// - the reference: 67 std::string::compare calls of the typed word against the same words;
// - the chat's windows with both logs holding 16 lines that wrap (about 120 characters each)
//   at 16 visible lines, declared, resolved and drawn with no backend behind draw
//   submission (and declared only), against a plain word wrap of the same 32 lines into
//   std::string lines.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/text.h"
#include "render/draw.h"
#include "support/chat_fixture.h"
#include "support/ui_bench_fixture.h"
#include "ui/chat.h"
#include "ui/chat_frame.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"
#include "ui/ui.h"
#include "ui/ui_draw.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

void send_nowhere(uint16_t, const void*) {}

struct ChatBench {
  ChatBench() {
    chat_fixture_load_locale();
    chat_startup();
    chat_set_send(send_nowhere);
  }
};

void submit(const char* line) {
  chat_input_open();
  text_append_utf8(chat_input()->buffer, line);
  chat_submit();
}

void BM_ChatSubmitCommand(benchmark::State& state) {
  static ChatBench bench;
  for (auto _ : state) submit("/say meet me by the north gate");
}
BENCHMARK(BM_ChatSubmitCommand);

void BM_ChatSubmitUnknownWithSuggestion(benchmark::State& state) {
  static ChatBench bench;
  for (auto _ : state) submit("/whispr Tarren the gate");
}
BENCHMARK(BM_ChatSubmitUnknownWithSuggestion);

void BM_StringCompare67Words(benchmark::State& state) {
  static ChatBench bench;
  std::vector<std::string> words;
  for (int32_t row = 0; row < CHAT_COMMAND_COUNT; row++) words.push_back(chat_command_word(row));
  std::string typed = "whispr";
  for (auto _ : state) {
    int sum = 0;
    for (const std::string& w : words) sum += typed.compare(0, w.size(), w) == 0;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_StringCompare67Words);

// The fixed test font as asset 1 in a private folder, the cache started over it, and the
// label and chat-field styles using it.
struct ChatWindowsBench {
  UiBenchFixture ui{"bench_chat"};
  ChatWindowsBench() {
    UiStyle s = {};
    s.font = 1;
    s.text_colour = {1, 1, 1, 1};
    ui_style_register(UI_SKIN_LABEL, &s);
    chat_fixture_load_locale();
    chat_startup();
    for (int32_t log = 0; log < CHAT_LOG_COUNT; log++)
      for (int32_t i = 0; i < 16; i++) chat_add_text(log, wrapped_line(i).c_str(), i % CHAT_STYLE_COUNT);
  }
  ~ChatWindowsBench() { chat_shutdown(); }
  // About 120 characters of words: two or three lines in either log.
  static std::string wrapped_line(int32_t i) {
    std::string line = "line " + std::to_string(i) + ":";
    while (line.size() < 120) line += " words of chat";
    return line;
  }
};

void BM_ChatTwoLogsOf16WrappedLines(benchmark::State& state) {
  ChatWindowsBench bench;
  for (auto _ : state) {
    ui_begin_frame(0, 1024, 768);
    chat_declare_lines(1024, 16);
    ui_end_frame();
    ui_draw_list(nullptr);
  }
  const UiDrawEntry* entries;
  state.counters["entries"] = ui_draw_list_entries(&entries);
}
BENCHMARK(BM_ChatTwoLogsOf16WrappedLines)->Unit(benchmark::kMicrosecond);

// The same without drawing: what declaring (layout of the 32 lines) and resolving cost.
void BM_ChatTwoLogsOf16WrappedLinesDeclaredOnly(benchmark::State& state) {
  ChatWindowsBench bench;
  for (auto _ : state) {
    ui_begin_frame(0, 1024, 768);
    chat_declare_lines(1024, 16);
    ui_end_frame();
  }
}
BENCHMARK(BM_ChatTwoLogsOf16WrappedLinesDeclaredOnly)->Unit(benchmark::kMicrosecond);

// Greedy word wrap of the same 32 lines at the logs' widths in characters of 6 pixels.
void BM_PlainWordWrapReference(benchmark::State& state) {
  std::vector<std::string> lines;
  for (int32_t log = 0; log < 2; log++)
    for (int32_t i = 0; i < 16; i++) lines.push_back(ChatWindowsBench::wrapped_line(i));
  for (auto _ : state) {
    std::vector<std::string> out;
    for (size_t n = 0; n < lines.size(); n++) {
      size_t width = n < 16 ? 470 / 6 : 400 / 6;
      const std::string& text = lines[n];
      std::string current;
      size_t start = 0;
      while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        if (!current.empty() && current.size() + 1 + word.size() > width) {
          out.push_back(current);
          current.clear();
        }
        if (!current.empty()) current += ' ';
        current += word;
        start = end + 1;
      }
      if (!current.empty()) out.push_back(current);
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_PlainWordWrapReference)->Unit(benchmark::kMicrosecond);

}  // namespace
