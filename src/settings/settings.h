#pragma once
// Settings: file locations, the settings document and the getters the entry reads.
// (Placeholder: reads nothing yet and answers every key's default.)

const char* client_dir(void);
const char* assets_dir(void);
const char* default_settings_path(void);
void settings_load(const char* path);
void settings_close(void);

int setting_low_detail_textures(void);
int setting_texture_mipmaps(void);
int setting_anisotropic_filtering(void);
int setting_trilinear_filtering(void);
int setting_rendering_backend(void);
int setting_display_width(void);
int setting_display_height(void);
int setting_display_bitdepth(void);
int setting_display_refresh_rate(void);
int setting_display_mode(void);
int setting_display_monitor(void);
int setting_display_vsync(void);
