#pragma once
// Mouse layer: the per-frame cursor poll, relative motion, capture for mouse-look and the
// "is the pointer over our client area" question.
//
// Positions are client pixels measured bottom-up: x from the left edge, y from the bottom
// edge, y = client height - window y, so the bottom-left pixel reads (0, 1) and the top-left
// (0, height). Each poll posts axis 1 = (previous x - x) x sensitivity and axis 2 likewise in
// y: moving right gives a negative axis 1, moving down a positive axis 2. While captured the
// cursor is hidden and put back at the capture point after every poll, so each frame's
// motion is measured from the same point.
//
// Buttons and the wheel always come from window messages: there is no raw-device mouse on
// this platform, so mouse_uses_directinput answers 0 and the window procedure handles them.
// Before mouse_start, or with a window that has no handle, nothing is read or posted and the
// pointer counts as outside.
#include <cstdint>

#include "platform/window.h"

// The client size as height << 32 | width (the renderer's get-size answer), installed by the
// composition root. Null: the window's requested size.
typedef uint64_t (*MouseClientSize)(void);
void mouse_set_client_size_source(MouseClientSize source);

void mouse_start(Window* window);
void mouse_stop(void);
// The per-frame poll.
void mouse_update(void);
void mouse_on_event(uint32_t event, const void* data);
// The capture point while captured, else the last polled position.
void mouse_position(int* x, int* y);
void mouse_capture(void);
void mouse_release(void);
int mouse_captured(void);
int mouse_outside_client(void);
// Stores the sensitivity and zeroes the motion accumulators.
void mouse_set_sensitivity(float value);
int mouse_uses_directinput(void);
