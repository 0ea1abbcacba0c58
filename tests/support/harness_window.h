#pragma once
// The window the drawing harnesses open: windowed at the size asked, shown, its first messages
// handled, and an OpenGL backend installed (vertex arrays, or display lists with arrays false).
#include <cstdint>

#include "platform/window.h"

// 1 when the window and the backend are up; else 0, after printing "FAIL window" or
// "FAIL install" (the harness tests read those lines).
int harness_window_open(Window* window, int32_t width, int32_t height, const char* title, bool arrays);
