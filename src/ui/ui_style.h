#pragma once
// Interface styles: registered once per id, then pushed and popped around the windows and
// widgets that use them. Every declared window and widget takes the style on top of the stack.
//
// An id registers once (a second registration answers 0 and keeps the first); an unknown id
// reads as the all-zero default style. The stack holds UI_STYLE_STACK entries: pushes beyond
// are ignored, and the bottom entry (pushed by ui_begin_frame) is never popped, so an extra
// pop changes nothing. Registered styles live until ui_style_shutdown. Main thread only.
#include <cstdint>

#include "ui/ui_records.h"

enum : int { UI_STYLE_STACK = 16 };

void ui_style_shutdown(void);

// 1 registered; 0 when the id exists (or style is null).
int ui_style_register(uint32_t id, const UiStyle* style);
// 1 and a copy when the id is registered; else 0 and the default.
int ui_style_get(uint32_t id, UiStyle* out);
// The registered style, or the shared all-zero default.
const UiStyle* ui_style_find(uint32_t id);

// Empties the stack and pushes the style of id (the frame's default); pushes and pops work
// until ui_style_close (the frame's end), and do nothing outside.
void ui_style_reset(uint32_t id);
void ui_style_close(void);
// Pushes the style of id and answers it (the default when unknown).
const UiStyle* ui_style_push(uint32_t id);
// Pushes a caller's record; it must outlive the frame.
void ui_style_push_record(const UiStyle* style);
void ui_style_pop(void);
// The top of the stack (the default when empty).
const UiStyle* ui_style_top(void);
int ui_style_depth(void);
