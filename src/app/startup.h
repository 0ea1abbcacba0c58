#pragma once
// Platform start-up and shut-down: the fixed order in which the platform services start
// and stop. A failed start-up has shown its message and undone everything it started;
// shut-down does nothing unless start-up succeeded, runs once, and first delivers the
// events still queued so their release functions run.
#include <cstdint>

#include "platform/window.h"

// Optional services of the start-up mask, started bit 0 first and stopped in reverse.
enum : uint32_t {
  STARTUP_RESERVED_CACHE = 0x01,
  STARTUP_WORLD_LABELS = 0x02,
  STARTUP_SOUND_MIXER = 0x04,
  STARTUP_MUSIC_PLAYER = 0x08,
  STARTUP_WAVE_OUTPUT = 0x10,
  STARTUP_MIDI_OUTPUT = 0x20,
  STARTUP_SOCKETS = 0x40,
  STARTUP_ALL = 0x7F,
};

struct StartupParams {
  uint32_t mask;
  int language;
  int backend;
  int width, height, bit_depth, refresh;
  int display_mode;
  int monitor;
  int vsync;
  const char* title;
  const char* assets_dir;
};

int platform_startup(const StartupParams* params);
void platform_shutdown(void);
// The window record (valid between start-up and shut-down).
Window* platform_window(void);

// Every service start-up and shut-down call, so tests can log the order with fakes.
struct PlatformServices {
  void (*event_bus_start)(void);
  void (*event_bus_stop)(void);
  void (*event_dispatch)(void);
  int (*render_probe)(int kind);
  int (*window_create)(Window* w, int width, int height, int depth, int refresh, int mode, int monitor,
                       int vsync, const char* title);
  int (*render_check_resolution)(int kind, int width, int height, int depth, int refresh);
  int (*window_set_display_mode)(Window* w);
  void (*window_place_and_show)(Window* w);
  int (*render_install)(Window* w, int kind);
  void (*render_uninstall)(Window* w);
  void (*display_restore)(void);
  void (*message_error)(const char* text);
  void (*window_destroy)(Window* w);
  void (*random_seed)(uint32_t seed);
  uint32_t (*clock_us)(void);
  void (*assets_startup)(const char* dir);
  void (*assets_shutdown)(void);
  void (*locale_load)(const char* dir, int language);
  void (*locale_unload)(void);
  void (*mouse_start)(void);
  void (*mouse_stop)(void);
  void (*input_start)(void);
  void (*input_stop)(void);
  void (*render_init_device)(void);
  void (*render_shutdown_device)(void);
  void (*secure_random_open)(void);
  void (*secure_random_close)(void);
  void (*draw_startup)(void);
  void (*draw_shutdown)(void);
  void (*ui_draw_startup)(void);
  void (*ui_draw_shutdown)(void);
  void (*optional_start[7])(void);  // index = bit
  void (*optional_stop[7])(void);
};

// Installs a services table (null: the real services) and clears the once-guards.
void platform_set_services(const PlatformServices* services);
const PlatformServices* platform_real_services(void);

// The four start-up failure messages.
extern const char MSG_BACKEND_UNSUPPORTED[];
extern const char MSG_WINDOW_FAILED[];
extern const char MSG_RESOLUTION_UNSUPPORTED[];
extern const char MSG_CONTEXT_FAILED[];
