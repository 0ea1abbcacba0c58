// Layout and the lenient UTF-8 step over arbitrary bytes (markers, invalid and truncated
// sequences, line feeds) against the fixed test font: the first two bytes choose the mode and
// the width. The lenient step must reach the terminator one sequence or one byte at a time,
// and layout must finish, stay within its capacity and agree with measuring alone.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/utf8.h"
#include "support/font_testing.h"
#include "ui/text_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Font* font = test_font_fixed();
  if (size < 2) return 0;
  int mode = data[0] % 3;
  int32_t limit = (int8_t)data[1];
  std::vector<char> text(data + 2, data + size);
  text.push_back(0);

  const char* cursor = text.data();
  size_t steps = 0;
  while (utf8_decode_lenient(&cursor)) steps++;
  if (*cursor != 0 || cursor < text.data() || steps > size) abort();

  std::vector<uint32_t> run(64 + 1, 0);
  int32_t width = limit, height = 0, measured_width = limit, measured_height = 0;
  uint32_t count = 0, measured_count = 0;
  run[64] = 0xC0FFEEu;
  int result = text_layout(font, mode, &width, &height, text.data(), run.data(), 64, &count);
  int measured =
      text_layout(font, mode, &measured_width, &measured_height, text.data(), nullptr, 0, &measured_count);
  if (run[64] != 0xC0FFEEu || count > 64) abort();
  if (width != measured_width || height != measured_height) abort();
  if (result != TEXT_LAYOUT_OUT_OF_ROOM && (result != measured || count != measured_count)) abort();
  if (measured_count == 0 && (measured_width != 0 || measured_height != 0)) abort();
  text_index_at_x(font, (float)limit, run.data(), count);
  text_link_at(font, (float)limit, (float)limit, run.data(), count);
  return 0;
}
