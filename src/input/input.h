#pragma once
// Mouse layer and per-frame input state, started with the platform.
void mouse_start(void);
void mouse_stop(void);
void input_start(void);
void input_stop(void);
