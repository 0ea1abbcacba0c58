#pragma once
// The records of one interface frame: styles, the callback table game code gives windows and
// widgets, and the windows and widgets declared this frame. Drawing reads them; the widget
// framework declares and resolves them.
#include <cstdint>

#include "ui/ui_draw.h"

// Style flags.
enum : uint32_t {
  UI_STYLE_DRAGGABLE = 0x08,
  UI_STYLE_RESIZABLE = 0x10,
  UI_STYLE_DRAGS_WINDOW = 0x20,
  UI_STYLE_CUT = 0x40,
  UI_STYLE_WRAP = 0x80,
  UI_STYLE_ANCHOR_TEXT = 0x200,
  UI_STYLE_CENTRE_TEXT = 0x400,
  UI_STYLE_RIGHT_BUTTON = 0x1000,
  UI_STYLE_MIDDLE_BUTTON = 0x2000,
  UI_STYLE_NINEPATCH = 0x4000,  // images are nine-patch handles
  UI_STYLE_PRESS_DRAGS = 0x10000,
};

// Interaction state bits of a widget.
enum : uint32_t {
  UI_STATE_HELD = 0x001,
  UI_STATE_PRESSED = 0x002,
  UI_STATE_CLICKED = 0x004,
  UI_STATE_HOVERED = 0x008,
  UI_STATE_DRAGGED = 0x010,
  UI_STATE_RESIZED = 0x020,
  UI_STATE_RIGHT = 0x040,
  UI_STATE_MIDDLE = 0x080,
  UI_STATE_PRESS_DRAG = 0x100,
};

// Registered once per style id. Pressed variants apply while the widget is pressed or held,
// hovered ones while it is hovered. An image is a texture id, or a nine-patch handle with
// UI_STYLE_NINEPATCH. Text is drawn in the text colour.
struct UiStyle {
  uint32_t flags;
  int32_t title_height;
  UiColour title_colour;
  int32_t border_width;
  UiColour border_colour, border_pressed_colour, border_hovered_colour;
  UiColour fill_colour;
  uint32_t image;
  UiColour pressed_fill_colour;
  uint32_t pressed_image;
  UiColour hovered_fill_colour;
  uint32_t hovered_image;
  uint32_t checked_image;
  uint32_t font;  // font asset id
  int32_t caret_width, caret_height;
  int32_t slider_orientation;  // 0 horizontal
  int32_t slider_steps;
  int32_t list_spacing, list_indent;
  UiColour text_colour;
};

// Slots through which windows and widgets report to game code; a null slot is skipped.
struct UiCallbacks {
  void (*state)(uint32_t id, uint32_t state);                                        // 0
  void (*placed)(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height);  // 1
  int (*toggle)(uint32_t id, int proposed);                                          // 2
  void (*pressed)(void);                                                             // 3
  int (*move)(uint32_t id, int32_t x, int32_t y);                                    // 4
  int (*resize)(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height);   // 5
  float (*scroll_get)(uint32_t id, int32_t view_height, int32_t content_height);     // 6
  void (*scroll_set)(uint32_t id, float fraction);                                   // 7
  int (*accept_char)(uint32_t id, uint32_t code_point, uint32_t length_after);       // 8
  void (*edited)(uint32_t id, const uint32_t* text, uint32_t count);                 // 9
  uint32_t (*glyph)(uint32_t id, uint32_t code_point);                               // 10
  uint32_t (*scroll_start_get)(uint32_t id);                                         // 11
  uint32_t (*caret_get)(uint32_t id);                                                // 12
  int (*focused)(uint32_t id);                                                       // 13
  void (*caret_set)(uint32_t id, uint32_t index);                                    // 14
  void (*text_click)(uint32_t id, uint32_t index);                                   // 15
  void (*scroll_start_set)(uint32_t id, uint32_t index);                             // 16
  void (*slider)(uint32_t id, float fraction);                                       // 17
  void (*capture)(uint32_t id, int on);                                              // 18
  UiColour (*link_colour)(uint32_t id, uint32_t link_id, UiColour base);             // 19
  void (*link_hover)(uint32_t id, uint32_t link_id, uint32_t state);                 // 20
};
static_assert(sizeof(UiCallbacks) == 21 * sizeof(void*), "21 slots");

struct UiWidget;

// What a widget was declared as: the end of the frame treats text fields and sliders apart.
enum : uint32_t {
  UI_KIND_BOX = 0,
  UI_KIND_BUTTON = 1,
  UI_KIND_TOGGLE = 2,
  UI_KIND_LABEL = 3,
  UI_KIND_TEXT_FIELD = 4,
  UI_KIND_SLIDER = 5,
};

// Window flags.
enum : uint32_t {
  UI_WINDOW_PASS_THROUGH = 0x02,  // never takes the mouse
  UI_WINDOW_LIST = 0x04,          // widgets stacked upwards, scrolled through slots 6 and 7
  UI_WINDOW_CLIP = 0x800,         // widgets clipped to the window
  UI_WINDOW_NO_CLAMP = 0x20000,   // may lie partly outside its parent
};

struct UiWindow {
  uint32_t flags;
  uint32_t id;
  int32_t x, y, width, height;
  uint32_t image;
  UiClip clip;
  float scroll;
  const UiStyle* style;
  UiWindow* parent;
  const UiCallbacks* callbacks;
  int32_t visible;
  int32_t layer;
  int32_t anchor;
  UiWidget* first;
  UiWidget* last;
};

struct UiWidget {
  uint32_t id;
  int32_t x, y, width, height;
  uint32_t image;
  const uint32_t* text;  // laid-out code points, or null
  uint32_t text_count;
  const UiStyle* style;
  UiWindow* window;
  const UiCallbacks* callbacks;  // null for passive widgets
  int32_t interactive;
  int32_t checked;
  float slider;
  int32_t order;
  int32_t anchor;
  uint32_t state;
  uint32_t kind;   // UI_KIND_*
  UiWidget* next;  // the window's next widget in declaration order
};
