#pragma once
// The three fixed game-module lists: init (every module's set-up, then every module's
// start, so nobody subscribes before all modules exist), the per-frame list of 26 direct
// calls, and shut-down. A module takes part by having a slot here; it registers nothing.
#include "platform/window.h"

void game_modules_init(void);
void game_modules_frame(Window* window);
void game_modules_shutdown(void);
