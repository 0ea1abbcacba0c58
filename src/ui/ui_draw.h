#pragma once
// Interface draw-list state, started with the platform.
void ui_draw_startup(void);
void ui_draw_shutdown(void);
