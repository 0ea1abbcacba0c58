#pragma once
// The interface module's slots in the game-module lists.

void ui_setup(void);
void ui_start(void);
// Sizes the frame by the renderer, runs the front end or the in-game windows between
// ui_begin_frame and ui_end_frame. Draws nothing.
void ui_frame(void);
void ui_shutdown(void);
