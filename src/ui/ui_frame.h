#pragma once
// The windows and widgets declared this frame, in declaration order, held in a per-frame
// arena. ui_frame_reset empties it; the declare calls copy a record in and link it (a widget
// to the end of its window's list). At most UI_FRAME_WINDOW_LIMIT windows: further ones are
// refused (null), and so are widgets of a null window. Main thread only.
#include <cstddef>
#include <cstdint>

#include "ui/ui_records.h"

enum : uint32_t { UI_FRAME_WINDOW_LIMIT = 256 };

void ui_frame_reset(void);
// Frees the arena (ui_draw_shutdown calls it).
void ui_frame_release(void);
UiWindow* ui_frame_declare_window(const UiWindow* window);
UiWidget* ui_frame_declare_widget(UiWindow* window, const UiWidget* widget);
// Bytes from the frame's arena (8-byte aligned), valid until the next ui_frame_reset.
void* ui_frame_alloc(size_t size);
uint32_t ui_frame_window_count(void);
// The window declared index-th this frame, or null.
UiWindow* ui_frame_window(uint32_t index);
