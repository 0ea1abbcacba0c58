#pragma once
// Renderer front end: backend probe, installation, device state and presentation.
// (Placeholder until the backend table lands: no backend is ever installed, so present
// sleeps 1 ms per frame, as a suspended client does.)
struct Window;

int render_probe(int kind);
int render_check_resolution(int kind, int width, int height, int depth, int refresh);
int render_install(Window* window, int kind);
void render_uninstall(Window* window);
void render_init_device(void);
void render_shutdown_device(void);
void render_present(Window* window);
void render_resize(int width, int height);
void render_suspend(Window* window, int flag);
