#pragma once
// The immediate-mode widget framework. Every frame each screen declares its windows and
// widgets again between ui_begin_frame and ui_end_frame; ui_end_frame resolves the mouse
// against what was declared (hover, press, click, drag, resize) and reports through each
// item's callback table; ui_draw_list then draws it. Only one record outlives a frame: the
// item the mouse is working on, recognised in later frames by an identical rectangle.
//
// Coordinates are UI pixels, origin bottom-left, y up. Windows nest (at most UI_NEST_LIMIT
// deep, UI_FRAME_WINDOW_LIMIT per frame); a window that would exceed either is not created
// and its matching ui_window_end is swallowed. Unless UI_WINDOW_NO_CLAMP is set a window is
// clamped into its parent (size first, then position; the lower bound wins, so an oversized
// window sits at the parent's origin). Widgets are placed by their anchor inside the current
// window and take the style on top of the style stack; a widget outside any window is not
// declared. Every call outside a frame does nothing, and an extra ui_window_end is ignored.
//
// Interaction: the hit item is the interactive widget (one with callbacks) of greatest order,
// the later of equal ones, inside the window of greatest layer under the mouse (the later of
// equal layers), or that window itself when it has callbacks and no widget is under the mouse.
// A pass-through window takes the mouse only on its interactive widgets, never itself. A
// press is a drag once the mouse is 8 pixels (Euclidean, rounded) from the press point; a
// release over the item is a click. Right and middle presses
// count only with UI_STYLE_RIGHT_BUTTON / UI_STYLE_MIDDLE_BUTTON. Callbacks of the hit item run
// in the order: text click (15), capture (18), toggle (2), state (0), link hover (20), pressed
// (3) and the window's pressed (3); then a drag moves the item (move, 4) or its window, and a
// resize offers the new rectangle (resize, 5; a refusal restores the old one), on the
// release frame too. Nine-patch handles stay in the records: the draw list resolves them
// when it draws. Main thread only.
#include <cstdint>

#include "ui/ui_records.h"

enum : int { UI_NEST_LIMIT = 32, UI_DRAG_THRESHOLD = 8 };

// A text field's buffer of code points, owned by the screen.
struct UiTextBuffer {
  uint32_t* text;
  uint32_t count;
  uint32_t capacity;
};

// Start-up installs the text-focus query of the input layer; shut-down removes it and frees
// the styles and the frame's records.
void ui_widgets_startup(void);
void ui_widgets_shutdown(void);

// Where ui_end_frame reads the mouse (null: the mouse layer, or (-1, -1) while captured).
typedef void (*UiMouseProvider)(int32_t* x, int32_t* y);
void ui_set_mouse_provider(UiMouseProvider provider);
// Window pixels per UI pixel; 0 (the default) leaves positions as they are.
void ui_set_scale(float scale);

void ui_begin_frame(uint32_t default_style, int32_t width, int32_t height);
void ui_end_frame(void);
int ui_in_frame(void);

// The mouse as read by the last ui_end_frame.
void ui_mouse_position(int32_t* x, int32_t* y);
// Whether that position lies inside the rectangle anchored in the frame.
int ui_mouse_over(int32_t x, int32_t y, int32_t width, int32_t height, int32_t anchor);

void ui_window_begin(uint32_t id, uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height,
                     int32_t layer, int32_t anchor, const UiCallbacks* callbacks);
void ui_window_end(void);

void ui_box(int32_t x, int32_t y, int32_t width, int32_t height, int32_t order, int32_t anchor);
void ui_button(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height, int32_t order,
               int32_t anchor, const UiCallbacks* callbacks);
void ui_toggle(uint32_t id, int checked, int32_t x, int32_t y, int32_t width, int32_t height, int32_t order,
               int32_t anchor, const UiCallbacks* callbacks);
// Lays the text out in the style's font (a font not loaded yet lays out nothing): cut with
// UI_STYLE_CUT, wrapped with UI_STYLE_WRAP (both at the box width, in list windows at most
// the window's width less the list indent). With UI_STYLE_CENTRE_TEXT the block is centred
// in the box, with UI_STYLE_ANCHOR_TEXT placed by its own size; else the box is placed and
// the text starts at its top-left corner. The laid-out size goes to the out pointers.
void ui_label(uint32_t id, const char* text, int32_t x, int32_t y, int32_t width, int32_t height,
              int32_t order, int32_t anchor, const UiCallbacks* callbacks, int32_t* out_width,
              int32_t* out_height);
// Editing while focused (slot 13): Left/Right (pressed or repeating) move the caret,
// Home/End jump, Backspace/Delete (pressed or repeating) remove the code point before the
// caret, or a whole link when the caret follows its closing marker; Space and each typed
// character with a glyph in the font are inserted when slot 8 accepts them. Then slot 9 sees
// the buffer, the visible range follows the caret and slots 14 and 16 store caret and start.
void ui_text_field(uint32_t id, UiTextBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t order, int32_t anchor, const UiCallbacks* callbacks);
// While captured, slot 17 gets the mouse along the slider as a fraction of its length
// (snapped to 1 / steps with a step count, held to 0..1), and slot 18 gets 0 once the left
// button is up. A slider of zero length reports nothing. A style with a checked image gives
// the slider a knob: a passive box in that image at the value.
void ui_slider(uint32_t id, float value, int captured, int32_t x, int32_t y, int32_t width, int32_t height,
               int32_t order, int32_t anchor, const UiCallbacks* callbacks);

// The resize zone of a point against a window rectangle: 2 bottom-left, 5 bottom-right,
// 1 top-left, 4 top-right (circles of radius g around the corner pixels), then 3 left,
// 6 right, 8 bottom, 7 top (bands g wide), else 0. g = max(5, border) held to a quarter of
// the width and of the height, and at least 1.
int ui_resize_zone(int32_t x, int32_t y, int32_t width, int32_t height, int32_t border, int32_t px,
                   int32_t py);

// The windows declared this frame and how many ui_window_end calls are owed (for tests).
int ui_window_depth(void);
