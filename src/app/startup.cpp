#include "app/startup.h"

#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/locale.h"
#include "assets/mesh.h"
#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/wave_output.h"
#include "base/arena.h"
#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/random.h"
#include "input/input.h"
#include "input/mouse.h"
#include "net/crypto.h"
#include "net/socket.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "render/draw.h"
#include "render/render.h"
#include "render/texture_prep.h"
#include "scene/labels.h"
#include "ui/ui_draw.h"

const char MSG_BACKEND_UNSUPPORTED[] =
    "Your system does not appear to support the rendering backend you have selected.";
const char MSG_WINDOW_FAILED[] =
    "Failed to create window, check to make sure display settings are supported by your monitor. If "
    "that fails, try again with windowed mode. Note: Some 3D accelerators do not support windowed mode. "
    "In that case, try adjusting the bitdepth of your desktop to a lower amount (for example 32 -> 16) / "
    "changing the resolution to something small, such as 640x480.";
const char MSG_RESOLUTION_UNSUPPORTED[] =
    "The renderer does not support your chosen resolution, please choose another resolution such as "
    "640x480.";
const char MSG_CONTEXT_FAILED[] =
    "Failed to create the rendering context. This could be because your system doesn't support the "
    "chosen backend or due to incorrect settings. Double check your configuration and try selecting a "
    "small well known resolution to start such as 640x480 and 16 bit color on Windows. Ideally "
    "configure your desktop to use the same settings. Use fullscreen mode. Also ensure that you have "
    "the latest drivers installed.";

// The reserved keyed cache of mask bit 0: created and released, used by nothing.
static IntMap* g_reserved_map;
static NodePool* g_reserved_pool;
static void reserved_cache_start(void) {
  g_reserved_map = intmap_create(32);
  g_reserved_pool = pool_create(16);
}
static void reserved_cache_stop(void) {
  intmap_destroy(g_reserved_map, nullptr);
  pool_destroy(g_reserved_pool);
  g_reserved_map = nullptr;
  g_reserved_pool = nullptr;
}

// Sockets and the random source report their own problems; start-up goes on without them.
static void sockets_start(void) { sock_startup(); }

// A texture that fails to load draws as the magenta fallback, made in the format the
// installed backend gives its class, so the archives start after the backend; a mesh that
// fails draws as the unit cube.
static void assets_start(const char* dir) {
  asset_set_placeholder(ASSET_TEXTURE, texture_fallback());
  asset_set_placeholder(ASSET_MESH, (void*)mesh_unit_cube());
  assets_startup(dir);
}
static void sockets_stop(void) { sock_cleanup(); }
static void random_source_start(void) { secure_random_open(); }

// The mouse layer reads the window created during start-up.
static void mouse_start_for_window(void) { mouse_start(platform_window()); }

static const PlatformServices REAL_SERVICES = {
    event_bus_start,
    event_bus_stop,
    event_dispatch,
    render_probe,
    window_create,
    render_check_resolution,
    window_set_display_mode,
    window_place_and_show,
    render_install,
    render_uninstall,
    display_restore,
    message_error,
    window_destroy,
    random_seed,
    clock_us,
    assets_start,
    assets_shutdown,
    locale_load,
    locale_unload,
    mouse_start_for_window,
    mouse_stop,
    input_start,
    input_stop,
    render_init_device,
    render_shutdown_device,
    random_source_start,
    secure_random_close,
    draw_startup,
    draw_shutdown,
    ui_draw_startup,
    ui_draw_shutdown,
    {reserved_cache_start, labels_start, mixer_start, music_start, waveout_start, midi_start, sockets_start},
    {reserved_cache_stop, labels_stop, mixer_stop, music_stop_player, waveout_stop, midi_stop, sockets_stop},
};

struct PlatformState {
  bool start_attempted;
  bool started;
  bool window_created;
  bool shut_down;
  uint32_t mask;
};

static const PlatformServices* g_services = &REAL_SERVICES;
static PlatformState g_platform;
static Window g_window;

const PlatformServices* platform_real_services(void) { return &REAL_SERVICES; }

void platform_set_services(const PlatformServices* services) {
  g_services = services ? services : &REAL_SERVICES;
  g_platform = PlatformState{};
}

Window* platform_window(void) { return &g_window; }

// Failure once the window exists: desktop mode back, message, window gone.
static int platform_fail_with_window(const char* message) {
  const PlatformServices* s = g_services;
  s->display_restore();
  s->message_error(message);
  s->window_destroy(&g_window);
  s->event_bus_stop();
  return 0;
}

int platform_startup(const StartupParams* p) {
  if (g_platform.start_attempted) return 0;
  g_platform.start_attempted = true;
  const PlatformServices* s = g_services;
  s->event_bus_start();
  if (!s->render_probe(p->backend)) {
    s->message_error(MSG_BACKEND_UNSUPPORTED);
    s->event_bus_stop();
    return 0;
  }
  if (!s->window_create(&g_window, p->width, p->height, p->bit_depth, p->refresh, p->display_mode, p->monitor,
                        p->vsync, p->title)) {
    s->message_error(MSG_WINDOW_FAILED);
    s->event_bus_stop();
    return 0;
  }
  if (p->backend == 1 && !s->render_check_resolution(p->backend, g_window.width, g_window.height,
                                                     g_window.bit_depth, g_window.refresh))
    return platform_fail_with_window(MSG_RESOLUTION_UNSUPPORTED);
  if (!s->window_set_display_mode(&g_window)) return platform_fail_with_window(MSG_WINDOW_FAILED);
  s->window_place_and_show(&g_window);
  if (!s->render_install(&g_window, p->backend)) return platform_fail_with_window(MSG_CONTEXT_FAILED);

  g_platform.window_created = true;
  g_platform.started = true;
  g_platform.mask = p->mask;
  s->random_seed(s->clock_us());
  s->assets_startup(p->assets_dir);
  s->locale_load(p->assets_dir, p->language);
  s->mouse_start();
  s->input_start();
  s->render_init_device();
  s->secure_random_open();
  s->draw_startup();
  s->ui_draw_startup();
  for (int bit = 0; bit < 7; bit++)
    if (p->mask & (1u << bit)) s->optional_start[bit]();
  return 1;
}

void platform_shutdown(void) {
  if (g_platform.shut_down || !g_platform.started) return;
  g_platform.shut_down = true;
  const PlatformServices* s = g_services;
  s->event_dispatch();
  for (int bit = 6; bit >= 0; bit--)
    if (g_platform.mask & (1u << bit)) s->optional_stop[bit]();
  s->ui_draw_shutdown();
  s->draw_shutdown();
  s->secure_random_close();
  s->render_shutdown_device();
  s->input_stop();
  s->mouse_stop();
  s->locale_unload();
  s->assets_shutdown();
  if (g_platform.window_created) {
    s->render_uninstall(&g_window);
    s->window_destroy(&g_window);
  }
  s->event_bus_stop();
  g_platform.started = false;
}
