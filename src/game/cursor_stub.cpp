#include "game/cursor.h"

void cursor_software_draw(void) {}
