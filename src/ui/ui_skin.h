#pragma once
// The interface skin: the styles the screens use, registered by id, with nine-patch frames
// over the interface images of texture.dat (ids 60100 and up) and the locale's fonts. Every
// image of a skin style is a nine-patch handle (UI_STYLE_NINEPATCH). A slider style's
// checked image is its knob.
#include <cstdint>

enum : uint32_t {
  UI_SKIN_PANEL = 3,        // window frame
  UI_SKIN_BUTTON = 8,       // button with centred text, hover and press images
  UI_SKIN_LABEL = 9,        // plain text in the interface font
  UI_SKIN_FIELD = 21,       // text field background, with the caret
  UI_SKIN_CHAT_FIELD = 22,  // the chat input's background
  UI_SKIN_TOGGLE = 25,      // check box, empty or ticked
  UI_SKIN_TOGGLE_CHECKED = 26,
  UI_SKIN_SCROLL_OLDER = 31,  // scroll arrows
  UI_SKIN_SCROLL_NEWER = 32,
  UI_SKIN_TITLE = 33,   // title strip with centred text
  UI_SKIN_SLIDER = 34,  // groove with a knob
  UI_SKIN_SCROLL_NEWEST = 38,
};

// Texture ids of the interface images.
enum : int32_t {
  UI_TEX_FRAME = 60100,
  UI_TEX_TILE = 60101,
  UI_TEX_TITLE = 60102,
  UI_TEX_BUTTON = 60103,
  UI_TEX_BUTTON_HOVER = 60104,
  UI_TEX_BUTTON_PRESSED = 60105,
  UI_TEX_FIELD = 60106,
  UI_TEX_TOGGLE_OFF = 60107,
  UI_TEX_TOGGLE_ON = 60108,
  UI_TEX_SLIDER_TRACK = 60109,
  UI_TEX_SLIDER_KNOB = 60110,
  UI_TEX_ARROW_UP = 60111,
  UI_TEX_ARROW_DOWN = 60112,
};

// Registers the frames and styles (fonts by the locale's font keys, read now).
void ui_skin_setup(void);
