#pragma once
// Settings: the machine-wide settings document (settings.ini, loaded at start, saved at
// exit) and the character profile (loaded on entering the game, saved when options change),
// reached through one getter per key that applies the key's default and valid range on every
// read, and setters for the keys the player can change in the game.
//
// Getters never fail: with no document loaded they answer the default (bools, ints, floats)
// or null (strings). A stored value outside its range stays in the file; only the reading
// is corrected. Reals that are not finite read as their default. With RENDERING_BACKEND 1,
// SOFTWARE_CURSOR and DISPLAY_MODE read as 1. Setters return 1 when the document exists
// and took the value, else 0 (a string with a byte below 0x20 is refused).
//
// A file that does not exist gives the first-run document, written at the next save. A file
// that exists but cannot be read is never overwritten: the client runs on the first-run
// values in memory and every save of that document fails (returns 0).
//
// Key bindings and chat macros live in the profile's Keybinding and Macro sections. The
// settings are touched by the main thread only.
#include <cstdint>

#include "base/ini.h"
#include "settings/settings_paths.h"

// --- documents ------------------------------------------------------------------------
// Saves a loaded settings document to its old path first, then loads path (longer than
// SETTINGS_PATH_MAX: treated as "", which never loads or saves).
void settings_load(const char* path);
// 1 when the settings document was written to its path.
int settings_save();
// Saves and releases the settings document and forgets its path; also releases the profile
// without saving it (profiles are saved only when the player changes options).
void settings_close();
// The loaded settings document and its path, or null / "" (for tests and the options screen).
IniDocument* settings_document();
const char* settings_path();

// Stores the camera values into a loaded profile, saves and releases it, then loads path
// (or makes the first-run profile) and reads the camera values from it.
void profile_load(const char* path);
// Stores the camera values into the profile and writes it; 0 without a profile or on failure.
int profile_save();
IniDocument* profile_document();
const char* profile_file();

// The locale text lookup through which HOST gets its default (key 400901405); null or an
// empty text gives an empty host, and so does a text of 128 bytes or more. Settings sits
// below the assets layer that owns the locale texts, so the lookup is installed from above.
void settings_set_locale_lookup(const char* (*lookup)(uint32_t key));
constexpr uint32_t SETTINGS_HOST_LOCALE_KEY = 400901405u;

// --- camera values of the profile, in memory until the profile is saved --------------
float camera_pitch();
float camera_distance();
void camera_set_pitch(float pitch);
void camera_set_distance(float distance);

// --- key bindings and macros (profile) ------------------------------------------------
// The stored text or null; null without a profile or with a null name.
const char* binding_text(const char* key_name);
// 1 when stored; 0 without a profile, with a null or invalid name, or a refused text.
int set_binding_text(const char* key_name, const char* text);
const char* macro_text(const char* macro_name);
int set_macro_text(const char* macro_name, const char* text);

// --- settings.ini ---------------------------------------------------------------------
int setting_rendering_backend();
int setting_software_cursor();
int setting_detailed_sky();
int setting_dynamic_lights();
int setting_low_detail_textures();
int setting_texture_mipmaps();
int setting_anisotropic_filtering();
int setting_trilinear_filtering();
int setting_smooth_terrain();
int setting_clip_distance();
int setting_display_width();
int setting_display_height();
int setting_display_bitdepth();
int setting_display_refresh_rate();
int setting_display_mode();
int setting_display_vsync();
int setting_display_monitor();
int setting_master_enabled();
int setting_music_enabled();
int setting_ambient_enabled();
int setting_effect_enabled();
int setting_music_loop();
int setting_sound_at_character();
int setting_master_volume();
int setting_music_volume();
int setting_ambient_volume();
int setting_effect_volume();
float setting_mouse_sensitivity();
const char* setting_account();
const char* setting_host();
int setting_port();

int setting_set_dynamic_lights(int value);
int setting_set_low_detail_textures(int value);
int setting_set_texture_mipmaps(int value);
int setting_set_anisotropic_filtering(int value);
int setting_set_smooth_terrain(int value);
int setting_set_clip_distance(int value);
int setting_set_master_enabled(int value);
int setting_set_music_enabled(int value);
int setting_set_ambient_enabled(int value);
int setting_set_effect_enabled(int value);
int setting_set_music_loop(int value);
int setting_set_sound_at_character(int value);
int setting_set_master_volume(int value);
int setting_set_music_volume(int value);
int setting_set_ambient_volume(int value);
int setting_set_effect_volume(int value);
int setting_set_mouse_sensitivity(float value);
int setting_set_account(const char* value);

// --- profile --------------------------------------------------------------------------
int setting_show_target_indicator();
int setting_show_own_healthbar();
int setting_show_healthbars();
int setting_allow_trades();
int setting_confirm_drop();
int setting_combat_text();
int setting_chat_lines();
int setting_invert_mouse_x();
int setting_invert_mouse_y();
float setting_mouse_look_speed();

int setting_set_show_target_indicator(int value);
int setting_set_show_own_healthbar(int value);
int setting_set_show_healthbars(int value);
int setting_set_allow_trades(int value);
int setting_set_confirm_drop(int value);
int setting_set_combat_text(int value);
int setting_set_chat_lines(int value);
int setting_set_invert_mouse_x(int value);
int setting_set_invert_mouse_y(int value);
int setting_set_mouse_look_speed(float value);
