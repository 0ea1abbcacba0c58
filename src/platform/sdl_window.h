#pragma once
// The window system over SDL2: the table the window uses unless another is installed.
#include "platform/window.h"

const WindowSystem* sdl_window_system(void);
