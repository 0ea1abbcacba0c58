// Defaults only, until the settings document is read from disk.
#include "settings/settings.h"

const char* client_dir(void) { return "."; }
const char* assets_dir(void) { return "./assets"; }
const char* default_settings_path(void) { return ""; }
void settings_load(const char*) {}
void settings_close(void) {}
int setting_low_detail_textures(void) { return 0; }
int setting_texture_mipmaps(void) { return 1; }
int setting_anisotropic_filtering(void) { return 1; }
int setting_trilinear_filtering(void) { return 1; }
int setting_rendering_backend(void) { return 0; }
int setting_display_width(void) { return 640; }
int setting_display_height(void) { return 480; }
int setting_display_bitdepth(void) { return 0; }
int setting_display_refresh_rate(void) { return 0; }
int setting_display_mode(void) { return 1; }
int setting_display_monitor(void) { return -1; }
int setting_display_vsync(void) { return 0; }
