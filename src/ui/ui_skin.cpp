#include "ui/ui_skin.h"

#include "assets/locale.h"
#include "assets/locale_keys.h"
#include "ui/ninepatch.h"
#include "ui/ui_style.h"

namespace {

// An interface image and the nine-patch borders it is cut at (all sides alike).
struct SkinImage {
  int32_t texture, width, height, border;
};

uint32_t frame_of(const SkinImage& image) {
  NinePatchDesc d = {};
  d.texture = image.texture;
  d.texture_width = image.width;
  d.texture_height = image.height;
  d.bottom = d.top = d.left = d.right = image.border;
  uint32_t handle = ninepatch_register(&d);
  if (handle) ninepatch_set_uv(handle, &d);
  return handle;
}

constexpr UiColour TEXT = {0.92f, 0.9f, 0.82f, 1};
constexpr UiColour TITLE_TEXT = {1.0f, 0.86f, 0.45f, 1};

}  // namespace

void ui_skin_setup(void) {
  uint32_t font = locale_asset_id(LOCALE_KEY_FONT_INTERFACE);
  uint32_t panel = frame_of({UI_TEX_FRAME, 32, 32, 8});
  uint32_t title = frame_of({UI_TEX_TITLE, 64, 16, 4});
  uint32_t button = frame_of({UI_TEX_BUTTON, 32, 32, 6});
  uint32_t hover = frame_of({UI_TEX_BUTTON_HOVER, 32, 32, 6});
  uint32_t pressed = frame_of({UI_TEX_BUTTON_PRESSED, 32, 32, 6});
  uint32_t field = frame_of({UI_TEX_FIELD, 16, 16, 4});
  uint32_t off = frame_of({UI_TEX_TOGGLE_OFF, 16, 16, 0});
  uint32_t on = frame_of({UI_TEX_TOGGLE_ON, 16, 16, 0});
  uint32_t track = frame_of({UI_TEX_SLIDER_TRACK, 32, 8, 3});
  uint32_t knob = frame_of({UI_TEX_SLIDER_KNOB, 16, 16, 0});
  uint32_t up = frame_of({UI_TEX_ARROW_UP, 16, 16, 0});
  uint32_t down = frame_of({UI_TEX_ARROW_DOWN, 16, 16, 0});

  UiStyle s = {};
  s.flags = UI_STYLE_NINEPATCH;
  s.font = font;
  s.text_colour = TEXT;
  s.image = panel;
  ui_style_register(UI_SKIN_PANEL, &s);

  s.image = 0;
  ui_style_register(UI_SKIN_LABEL, &s);

  s = UiStyle{};
  s.flags = UI_STYLE_NINEPATCH | UI_STYLE_CENTRE_TEXT;
  s.font = font;
  s.text_colour = TITLE_TEXT;
  s.image = button;
  s.hovered_image = hover;
  s.pressed_image = pressed;
  ui_style_register(UI_SKIN_BUTTON, &s);

  s.image = title;
  s.hovered_image = s.pressed_image = 0;
  ui_style_register(UI_SKIN_TITLE, &s);

  s = UiStyle{};
  s.flags = UI_STYLE_NINEPATCH;
  s.font = font;
  s.text_colour = TEXT;
  s.image = field;
  s.caret_width = 1;
  s.caret_height = 12;
  ui_style_register(UI_SKIN_FIELD, &s);
  ui_style_register(UI_SKIN_CHAT_FIELD, &s);

  s = UiStyle{};
  s.flags = UI_STYLE_NINEPATCH;
  s.image = off;
  s.checked_image = on;
  ui_style_register(UI_SKIN_TOGGLE, &s);
  s.image = on;
  ui_style_register(UI_SKIN_TOGGLE_CHECKED, &s);

  s = UiStyle{};
  s.flags = UI_STYLE_NINEPATCH;
  s.image = track;
  s.checked_image = knob;
  ui_style_register(UI_SKIN_SLIDER, &s);

  s = UiStyle{};
  s.flags = UI_STYLE_NINEPATCH;
  s.image = up;
  ui_style_register(UI_SKIN_SCROLL_OLDER, &s);
  s.image = down;
  ui_style_register(UI_SKIN_SCROLL_NEWER, &s);
  ui_style_register(UI_SKIN_SCROLL_NEWEST, &s);
}
