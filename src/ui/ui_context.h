#pragma once
// The framework's state shared by its declaring, editing and resolving files (not for other
// modules).
#include <cstdint>

#include "assets/font.h"
#include "ui/ui.h"
#include "ui/ui_anchor.h"

// The item the mouse is working on, kept across frames.
struct UiActive {
  int32_t valid;
  UiRect rect;   // the item is recognised by this rectangle
  UiRect start;  // the item's rectangle when the press was made
  uint32_t state;
  int32_t press_x, press_y;
  uint32_t button;   // the button of the press
  int32_t zone;      // resize zone of the press point
  int32_t matched;   // the item was found this frame
  int32_t captured;  // its capture slot was told 1 for this press
};

struct UiContext {
  int32_t open;
  int32_t width, height;
  UiWindow* stack[UI_NEST_LIMIT];
  int32_t depth;
  int32_t skipped;  // ui_window_end calls owed to windows that were not created
  int32_t mouse_x, mouse_y;
  UiActive active;
  int32_t focus_declared;  // a focused text field was declared in this frame
  int32_t focus_last;      // ... in the last one
  UiMouseProvider provider;
  float scale;
};

extern UiContext g_ui;

UiRect ui_parent_rect(void);
// A widget placed by its anchor in the current window, in the top style; null outside a
// window or a frame.
UiWidget* ui_declare_widget(uint32_t kind, uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            int32_t order, int32_t anchor, const UiCallbacks* callbacks);
// The font of a style, or null while it is not loaded.
const Font* ui_style_font(const UiStyle* style);
void ui_resolve(void);
