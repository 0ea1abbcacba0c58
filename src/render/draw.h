#pragma once
// Draw submission: the one draw record and its geometry buffers.
void draw_startup(void);
void draw_shutdown(void);
