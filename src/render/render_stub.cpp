#include "base/thread.h"
#include "render/draw.h"
#include "render/render.h"
#include "render/texture_options.h"

int render_probe(int) { return 1; }
int render_check_resolution(int, int, int, int, int) { return 1; }
int render_install(Window*, int) { return 1; }
void render_uninstall(Window*) {}
void render_init_device(void) {}
void render_shutdown_device(void) {}
void render_present(Window*) { sleep_ms(1); }
void render_resize(int, int) {}
void render_suspend(Window*, int) {}
void texture_options_set(int, int, int, int) {}
void draw_startup(void) {}
void draw_shutdown(void) {}
