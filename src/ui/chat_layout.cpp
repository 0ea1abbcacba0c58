#include "ui/chat_layout.h"

#include <cmath>

#include "input/keybind.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_world.h"

enum { KEYBIND_TOGGLE_INPUT = 14, KEYBIND_MACRO_FIRST = 34, MACRO_COUNT = 12 };

constexpr float kBlinkPeriod = 2.0f / 3.0f;

void chat_layout(int32_t frame_width, int32_t chat_lines, ChatLayout* out) {
  if (!out) return;
  int32_t lines = chat_lines < CHAT_LINES_MIN   ? CHAT_LINES_MIN
                  : chat_lines > CHAT_LINES_MAX ? CHAT_LINES_MAX
                                                : chat_lines;
  int32_t half = frame_width / 2;
  int32_t main_width = half <= 321 ? 280 : half > 810 ? 768 : half - 42;
  int32_t second_width = half < 322 ? 280 : half > 442 ? 400 : half - 42;
  int32_t height = CHAT_LINE_PIXELS * lines;
  out->lines = lines;
  out->main_log = {CHAT_MARGIN, CHAT_BOTTOM, main_width, height};
  out->second_log = {-CHAT_MARGIN, CHAT_BOTTOM, second_width, height};
  out->input = {CHAT_MARGIN + 1, CHAT_BOTTOM - 23, main_width * 3 / 4 - 10, 15};
  out->input_box = {CHAT_MARGIN - 4, CHAT_BOTTOM - 29, main_width * 3 / 4, 24};
}

uint32_t chat_scroll_button_id(int32_t log, uint32_t direction) {
  return (log == CHAT_LOG_MAIN ? (uint32_t)CHAT_SCROLL_MAIN : 0u) |
         (direction & (CHAT_SCROLL_OLDER | CHAT_SCROLL_NEWER));
}

void chat_scroll_click(uint32_t button_id) {
  ChatLog* log = chat_log((button_id & CHAT_SCROLL_MAIN) ? CHAT_LOG_MAIN : CHAT_LOG_SECOND);
  chat_world()->ui_sound(LOCALE_KEY_CHAT_SCROLL_SOUND);
  if (button_id & CHAT_SCROLL_OLDER)
    log->scroll++;
  else if (button_id & CHAT_SCROLL_NEWER)
    log->scroll = log->scroll > 0 ? log->scroll - 1 : 0;
  else
    log->scroll = 0;
}

float chat_scroll_fraction(int32_t log_id, float content_height, float window_height, float line_height) {
  ChatLog* log = chat_log(log_id);
  if (!log) return 0;
  float hidden_lines = line_height > 0 ? std::round((content_height - window_height) / line_height) : 0;
  int32_t hidden = std::isfinite(hidden_lines) && hidden_lines > 0
                       ? (hidden_lines > 1e6f ? 1000000 : (int32_t)hidden_lines)
                       : 0;
  if (log->scroll > hidden) log->scroll = hidden;
  if (log->scroll < 0) log->scroll = 0;
  return hidden ? (float)log->scroll / (float)hidden : 0.0f;
}

int32_t chat_caret_visible(float blink_seconds) {
  if (!(blink_seconds >= 0)) return 1;
  return std::fmod(blink_seconds, kBlinkPeriod) < kBlinkPeriod / 3.0f;
}

void chat_frame_keys(float dt, int32_t other_field_focused) {
  chat_tick(dt);
  ChatInput* input = chat_input();
  input->blink += dt;
  if (input->blink >= kBlinkPeriod) input->blink = std::fmod(input->blink, kBlinkPeriod);
  if (binding_triggered(KEYBIND_TOGGLE_INPUT)) {
    if (input->open)
      chat_submit();
    else if (!other_field_focused)
      chat_input_open();
  }
  for (int32_t n = 1; n <= MACRO_COUNT; n++) {
    if (binding_triggered(KEYBIND_MACRO_FIRST + n - 1)) {
      chat_macro_run(n);
      break;
    }
  }
}
