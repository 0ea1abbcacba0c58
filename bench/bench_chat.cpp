// The chat's command interpreter beside a reference measured in the same run:
// - chat_submit of a command ("/say" with text) and of an unknown command that gets a
//   suggestion (edit distances to all 67 words), both sending nowhere;
// - the reference: 67 std::string::compare calls of the typed word against the same words.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "support/chat_fixture.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_send.h"

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

}  // namespace
