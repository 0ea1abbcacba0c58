#include "ui/ui_draw.h"

void ui_draw_startup(void) {}
void ui_draw_shutdown(void) {}
