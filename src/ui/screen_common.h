#pragma once
// Pieces the four front-end screens share: their interface sounds, texts by locale key,
// buttons with a centred label, the modal message box (a blocking full-frame window and a
// centred box with the text and, for errors, a button) and code-point buffers.
#include <cstdint>

#include "ui/ui.h"

enum : uint32_t {
  SCREEN_SOUND_CLICK = 0x3D18E43Du,
  SCREEN_SOUND_DISMISS = 0x72C42402u,
  SCREEN_KEY_KEYPAD_ENTER = 78,
};

// The text of a modal box (0: none) and its button (0: none, the box only waits).
struct ScreenMessage {
  uint32_t text_key, button_key;
};

int screens_play(uint32_t key);
// The locale text, "" when the key has none.
const char* screen_text(uint32_t key);
// Either enter key was pressed this frame.
int screen_enter_pressed(void);
// A button of the skin's button style with its label centred on it.
void screen_button(uint32_t id, uint32_t label_key, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t anchor, const UiCallbacks* callbacks);
// A line of text in the skin's label style (centred in its box when centred is set).
void screen_label(const char* text, int32_t x, int32_t y, int32_t width, int32_t height, int32_t anchor,
                  int centred);
// Declares the box while the message has a text; its button reports as button_id.
void screen_message_declare(const ScreenMessage* message, uint32_t button_id, const UiCallbacks* callbacks);

// A fixed buffer of code points for a text field.
struct ScreenField {
  uint32_t text[260];
  UiTextBuffer buffer;
  uint32_t caret, start;
};
void screen_field_reset(ScreenField* field, uint32_t capacity);
// Wipes the code points too (for the password).
void screen_field_wipe(ScreenField* field);
// The field as UTF-8 (cut to fit, always terminated).
void screen_field_utf8(const ScreenField* field, char* out, uint32_t size);
// Replaces the field's text with the UTF-8 text's code points that accept() lets through.
void screen_field_set(ScreenField* field, const char* utf8,
                      int (*accept)(uint32_t code_point, uint32_t length));
