#include "ui/screen_common.h"

#include <cstring>

#include "assets/locale.h"
#include "audio/game_sound.h"
#include "base/utf8.h"
#include "input/input.h"
#include "net/crypto.h"
#include "platform/keymap.h"
#include "ui/screens.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {
int (*g_play)(uint32_t key);
}

void screens_set_sound(int (*play)(uint32_t key)) { g_play = play; }

int screens_play(uint32_t key) { return g_play ? g_play(key) : play_ui_sound(key); }

const char* screen_text(uint32_t key) {
  const char* text = key ? locale_string(key) : nullptr;
  return text ? text : "";
}

int screen_enter_pressed(void) { return key_pressed(KEY_ENTER) || key_pressed(SCREEN_KEY_KEYPAD_ENTER); }

void screen_button(uint32_t id, uint32_t label_key, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t anchor, const UiCallbacks* callbacks) {
  ui_style_push(UI_SKIN_BUTTON);
  ui_button(id, x, y, width, height, 1, anchor, callbacks);
  ui_label(0, screen_text(label_key), x, y, width, height, 2, anchor, nullptr, nullptr, nullptr);
  ui_style_pop();
}

void screen_label(const char* text, int32_t x, int32_t y, int32_t width, int32_t height, int32_t anchor,
                  int centred) {
  // The centred variant is the skin's label style with centred text, kept for the process.
  static UiStyle centred_style;
  if (centred) {
    centred_style = *ui_style_find(UI_SKIN_LABEL);
    centred_style.flags |= UI_STYLE_CENTRE_TEXT;
    ui_style_push_record(&centred_style);
  } else {
    ui_style_push(UI_SKIN_LABEL);
  }
  ui_label(0, text ? text : "", x, y, width, height, 2, anchor, nullptr, nullptr, nullptr);
  ui_style_pop();
}

void screen_message_declare(const ScreenMessage* message, uint32_t button_id, const UiCallbacks* callbacks) {
  if (!message->text_key) return;
  // A full-frame window that takes every click, so nothing under the box reacts.
  ui_window_begin(0x5C000001u, 0, 0, 0, 1 << 15, 1 << 15, 100, 1, callbacks);
  ui_window_end();
  ui_style_push(UI_SKIN_PANEL);
  ui_window_begin(0x5C000002u, 0, 0, 0, 400, 150, 101, 8, nullptr);
  ui_style_pop();
  ui_style_push(UI_SKIN_LABEL);
  ui_label(0, screen_text(message->text_key), 20, -20, 360, 80, 1, 0, nullptr, nullptr, nullptr);
  ui_style_pop();
  if (message->button_key) screen_button(button_id, message->button_key, 0, 16, 100, 26, 7, callbacks);
  ui_window_end();
}

void screen_field_reset(ScreenField* field, uint32_t capacity) {
  if (capacity > sizeof field->text / sizeof field->text[0])
    capacity = sizeof field->text / sizeof field->text[0];
  field->buffer.text = field->text;
  field->buffer.count = 0;
  field->buffer.capacity = capacity;
  field->caret = field->start = 0;
}

void screen_field_wipe(ScreenField* field) {
  crypto_wipe(field->text, sizeof field->text);
  field->buffer.count = 0;
  field->caret = field->start = 0;
}

void screen_field_utf8(const ScreenField* field, char* out, uint32_t size) {
  if (!size) return;
  uint32_t n = 0;
  for (uint32_t i = 0; i < field->buffer.count; i++) {
    uint8_t bytes[4];
    const int len = utf8_encode(field->text[i], bytes);
    if (len <= 0 || n + (uint32_t)len + 1 > size) break;
    memcpy(out + n, bytes, (size_t)len);
    n += (uint32_t)len;
  }
  out[n] = 0;
}

void screen_field_set(ScreenField* field, const char* utf8,
                      int (*accept)(uint32_t code_point, uint32_t length)) {
  field->buffer.count = 0;
  field->caret = field->start = 0;
  if (!utf8) return;
  for (uint32_t c; (c = utf8_decode(&utf8)) != 0;) {
    if (field->buffer.count >= field->buffer.capacity) break;
    if (accept && !accept(c, field->buffer.count + 1)) continue;
    field->text[field->buffer.count++] = c;
  }
  field->caret = field->buffer.count;
}
