#include "render/draw.h"

// Draw submission is not built yet; start-up and shut-down still call these in order.
void draw_startup(void) {}
void draw_shutdown(void) {}
