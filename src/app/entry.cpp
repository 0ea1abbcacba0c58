#include "app/entry.h"

#include <cstdio>

#include "app/cmdline.h"
#include "app/main_loop.h"
#include "app/modules.h"
#include "app/startup.h"
#include "assets/assets.h"
#include "assets/locale.h"
#include "assets/texture.h"
#include "base/fatal.h"
#include "input/mouse.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "render/gl_shared/gl_texture_source.h"
#include "render/render.h"
#include "render/texture_options.h"
#include "render/texture_prep.h"
#include "settings/settings.h"

static const char USAGE[] =
    "Usage: game [OPTION]...\nOstrevane Client\n\n  -h, Print help and exit\n  -c, Path to an alternate "
    "settings file\n";
static const char MSG_INTEGRITY[] = "Integrity check failed. Please exit, run the patcher, and try again.";
static const char TITLE[] = "Ostrevane Client";

void install_renderer_seams(void) {
  // The OpenGL backends take their textures from the asset cache.
  gl_set_texture_source(gl_asset_texture_source());
  static const TextureHooks texture_hooks = {render_choose_pixel_format, texture_prepare};
  texture_set_hooks(&texture_hooks);
  static const WindowRendererHooks window_hooks = {render_resize, render_suspend};
  window_set_renderer_hooks(&window_hooks);
  mouse_set_client_size_source(render_get_size);
}

int app_main(int argc, char** argv) {
  fatal_set_sink(message_error_box_only);
  if (cmdline_has_flag('h', argc, argv)) {
    fputs(USAGE, stdout);
    fflush(stdout);
    message_show_box(0, USAGE);
    return 0;
  }

  // The default server address is a localized text; it is looked up when first read, after
  // the locale has been loaded.
  settings_set_locale_lookup(locale_string);
  settings_load(cmdline_value('c', argc, argv, settings_default_path()));
  int exit_code = 1;
  if (!assets_check_present(settings_assets_dir())) {
    message_error(MSG_INTEGRITY);
  } else {
    // Before start-up, so textures the loader prepares already follow these options.
    int low_detail = setting_low_detail_textures();
    int mipmaps = setting_texture_mipmaps();
    int anisotropic = setting_anisotropic_filtering();
    int trilinear = setting_trilinear_filtering();
    texture_options_set(low_detail, mipmaps, anisotropic, trilinear);
    install_renderer_seams();

    StartupParams params;
    params.mask = STARTUP_ALL;
    params.language = 1;
    params.backend = setting_rendering_backend();
    params.width = setting_display_width();
    params.height = setting_display_height();
    params.bit_depth = setting_display_bitdepth();
    params.refresh = setting_display_refresh_rate();
    params.display_mode = setting_display_mode();
    params.monitor = setting_display_monitor();
    params.vsync = setting_display_vsync();
    params.title = TITLE;
    params.assets_dir = settings_assets_dir();
    if (platform_startup(&params)) {
      game_modules_init();
      set_frame_callback(game_modules_frame);
      exit_code = run_message_loop();
      game_modules_shutdown();
    }
  }
  platform_shutdown();
  settings_close();
  return exit_code;
}
