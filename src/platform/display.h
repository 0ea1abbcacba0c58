#pragma once
// Internal to the window: applying full-screen modes and moving between the display-mode
// states. The public queries are declared in window.h.
#include "platform/window.h"

void display_set_window(void* handle);
// Applies a mode (refused unless the desktop mode is untouched); 1 on success, state 1.
int display_apply(int width, int height, int bit_depth, int refresh);
// Puts the applied mode back after the client returns to the foreground (state 2 -> 1).
int display_reapply(void);
// Restores the desktop while the client is in the background (state 1 -> 2).
void display_undo_for_background(void);
