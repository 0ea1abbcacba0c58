#include "settings/keys.h"

#include <cmath>
#include <cstring>

#include "base/ini.h"
#include "base/strings.h"
#include "settings/settings.h"

static constexpr SettingDocument S = SETTING_IN_SETTINGS;
static constexpr SettingDocument P = SETTING_IN_PROFILE;
static constexpr SettingType B = SETTING_TYPE_BOOL;
static constexpr SettingType I = SETTING_TYPE_INT;
static constexpr SettingType F = SETTING_TYPE_FLOAT;
static constexpr SettingType T = SETTING_TYPE_STRING;
static constexpr SettingRule NONE = SETTING_RULE_NONE;
static constexpr SettingRule CLAMP = SETTING_RULE_CLAMP;
static constexpr SettingRule ELSE_DEFAULT = SETTING_RULE_ELSE_DEFAULT;

constexpr SettingKey SETTING_KEYS[SETTING_COUNT] = {
    {SETTING_RENDERING_BACKEND, S, "Rendering", "RENDERING_BACKEND", I, ELSE_DEFAULT, 0, 0, 0, 2},
    {SETTING_SOFTWARE_CURSOR, S, "Rendering", "SOFTWARE_CURSOR", B, NONE, 1, 1, 0, 0},
    {SETTING_DETAILED_SKY, S, "Rendering", "DETAILED_SKY", B, NONE, 0, 1, 0, 0},
    {SETTING_DYNAMIC_LIGHTS, S, "Rendering", "DYNAMIC_LIGHTS", B, NONE, 0, 1, 0, 0},
    {SETTING_LOW_DETAIL_TEXTURES, S, "Rendering", "LOW_DETAIL_TEXTURES", B, NONE, 0, 0, 0, 0},
    {SETTING_TEXTURE_MIPMAPS, S, "Rendering", "TEXTURE_MIPMAPS", B, NONE, 0, 1, 0, 0},
    {SETTING_ANISOTROPIC_FILTERING, S, "Rendering", "ANISOTROPIC_FILTERING", B, NONE, 0, 1, 0, 0},
    {SETTING_TRILINEAR_FILTERING, S, "Rendering", "TRILINEAR_FILTERING", B, NONE, 0, 1, 0, 0},
    {SETTING_SMOOTH_TERRAIN, S, "Rendering", "SMOOTH_TERRAIN", B, NONE, 0, 1, 0, 0},
    {SETTING_CLIP_DISTANCE, S, "Rendering", "CLIP_DISTANCE", I, CLAMP, 0, 0, 0, 9},
    {SETTING_DISPLAY_WIDTH, S, "Display", "DISPLAY_WIDTH", I, NONE, 0, 640, 0, 0},
    {SETTING_DISPLAY_HEIGHT, S, "Display", "DISPLAY_HEIGHT", I, NONE, 0, 480, 0, 0},
    {SETTING_DISPLAY_BITDEPTH, S, "Display", "DISPLAY_BITDEPTH", I, NONE, 0, 0, 0, 0},
    {SETTING_DISPLAY_REFRESH_RATE, S, "Display", "DISPLAY_REFRESH_RATE", I, NONE, 0, 0, 0, 0},
    {SETTING_DISPLAY_MODE, S, "Display", "DISPLAY_MODE", I, ELSE_DEFAULT, 1, 1, 0, 2},
    {SETTING_DISPLAY_VSYNC, S, "Display", "DISPLAY_VSYNC", B, NONE, 0, 0, 0, 0},
    {SETTING_DISPLAY_MONITOR, S, "Display", "DISPLAY_MONITOR", I, NONE, 0, -1, 0, 0},
    {SETTING_MASTER_ENABLED, S, "Sound", "MASTER_ENABLED", B, NONE, 0, 0, 0, 0},
    {SETTING_MUSIC_ENABLED, S, "Sound", "MUSIC_ENABLED", B, NONE, 0, 0, 0, 0},
    {SETTING_AMBIENT_ENABLED, S, "Sound", "AMBIENT_ENABLED", B, NONE, 0, 0, 0, 0},
    {SETTING_EFFECT_ENABLED, S, "Sound", "EFFECT_ENABLED", B, NONE, 0, 0, 0, 0},
    {SETTING_MUSIC_LOOP, S, "Sound", "MUSIC_LOOP", B, NONE, 0, 1, 0, 0},
    {SETTING_SOUND_AT_CHARACTER, S, "Sound", "SOUND_AT_CHARACTER", B, NONE, 0, 0, 0, 0},
    {SETTING_MASTER_VOLUME, S, "Sound", "MASTER_VOLUME", I, CLAMP, 0, 50, 0, 100},
    {SETTING_MUSIC_VOLUME, S, "Sound", "MUSIC_VOLUME", I, CLAMP, 0, 100, 0, 100},
    {SETTING_AMBIENT_VOLUME, S, "Sound", "AMBIENT_VOLUME", I, CLAMP, 0, 100, 0, 100},
    {SETTING_EFFECT_VOLUME, S, "Sound", "EFFECT_VOLUME", I, CLAMP, 0, 100, 0, 100},
    {SETTING_MOUSE_SENSITIVITY, S, "Input", "MOUSE_SENSITIVITY", F, CLAMP, 0, 1.0, 0.25, 1.75},
    {SETTING_ACCOUNT, S, "General", "ACCOUNT", T, NONE, 0, 0, 0, 0},
    {SETTING_HOST, S, "Network", "HOST", T, NONE, 0, 0, 0, 0},
    {SETTING_PORT, S, "Network", "PORT", I, ELSE_DEFAULT, 0, 3550, 1, 65535},
    {SETTING_SHOW_TARGET_INDICATOR, P, "General", "SHOW_TARGET_INDICATOR", B, NONE, 0, 1, 0, 0},
    {SETTING_SHOW_OWN_HEALTHBAR, P, "General", "SHOW_OWN_HEALTHBAR", B, NONE, 0, 0, 0, 0},
    {SETTING_SHOW_HEALTHBARS, P, "General", "SHOW_HEALTHBARS", B, NONE, 0, 1, 0, 0},
    {SETTING_ALLOW_TRADES, P, "General", "ALLOW_TRADES", B, NONE, 0, 1, 0, 0},
    {SETTING_CONFIRM_DROP, P, "General", "CONFIRM_DROP", B, NONE, 0, 1, 0, 0},
    {SETTING_COMBAT_TEXT, P, "General", "COMBAT_TEXT", B, NONE, 0, 1, 0, 0},
    {SETTING_CHAT_LINES, P, "General", "CHAT_LINES", I, NONE, 0, 5, 0, 0},
    {SETTING_INVERT_MOUSE_X, P, "Input", "INVERT_MOUSE_X", B, NONE, 0, 0, 0, 0},
    {SETTING_INVERT_MOUSE_Y, P, "Input", "INVERT_MOUSE_Y", B, NONE, 0, 0, 0, 0},
    {SETTING_MOUSE_LOOK_SPEED, P, "Input", "MOUSE_LOOK_SPEED", F, CLAMP, 0, 0.3, 0.1, 0.5},
    {SETTING_PITCH, P, "Camera", "PITCH", F, NONE, 0, 0.0, 0, 0},
    {SETTING_DISTANCE, P, "Camera", "DISTANCE", F, NONE, 0, 0.0, 0, 0},
};

static constexpr bool setting_table_in_order() {
  for (int i = 0; i < SETTING_COUNT; i++)
    if (SETTING_KEYS[i].id != i) return false;
  return true;
}
static_assert(setting_table_in_order(), "SETTING_KEYS rows must follow SettingId order");

const SettingId SETTINGS_FIRST_RUN[] = {
    SETTING_RENDERING_BACKEND,
    SETTING_ACCOUNT,
    SETTING_SOFTWARE_CURSOR,
    SETTING_DISPLAY_WIDTH,
    SETTING_DISPLAY_HEIGHT,
    SETTING_DISPLAY_BITDEPTH,
    SETTING_DISPLAY_REFRESH_RATE,
    SETTING_DISPLAY_MODE,
    SETTING_DISPLAY_VSYNC,
    SETTING_CLIP_DISTANCE,
    SETTING_LOW_DETAIL_TEXTURES,
    SETTING_TEXTURE_MIPMAPS,
    SETTING_ANISOTROPIC_FILTERING,
    SETTING_TRILINEAR_FILTERING,
    SETTING_MASTER_ENABLED,
    SETTING_MUSIC_ENABLED,
    SETTING_AMBIENT_ENABLED,
    SETTING_EFFECT_ENABLED,
    SETTING_MUSIC_LOOP,
    SETTING_SOUND_AT_CHARACTER,
    SETTING_MASTER_VOLUME,
    SETTING_MUSIC_VOLUME,
    SETTING_AMBIENT_VOLUME,
    SETTING_EFFECT_VOLUME,
    SETTING_MOUSE_SENSITIVITY,
};
const int SETTINGS_FIRST_RUN_COUNT = (int)(sizeof SETTINGS_FIRST_RUN / sizeof SETTINGS_FIRST_RUN[0]);

const SettingId PROFILE_FIRST_RUN[] = {
    SETTING_SHOW_TARGET_INDICATOR, SETTING_SHOW_OWN_HEALTHBAR,
    SETTING_SHOW_HEALTHBARS,       SETTING_ALLOW_TRADES,
    SETTING_CONFIRM_DROP,          SETTING_COMBAT_TEXT,
    SETTING_INVERT_MOUSE_X,        SETTING_INVERT_MOUSE_Y,
    SETTING_MOUSE_LOOK_SPEED,      SETTING_CHAT_LINES,
};
const int PROFILE_FIRST_RUN_COUNT = (int)(sizeof PROFILE_FIRST_RUN / sizeof PROFILE_FIRST_RUN[0]);

// ---------------------------------------------------------------------------------------

static const char* (*g_locale_lookup)(uint32_t key);
static char g_default_host[128];

void settings_set_locale_lookup(const char* (*lookup)(uint32_t key)) { g_locale_lookup = lookup; }

// Looked up on every read: the locale may arrive after the settings were loaded.
static const char* setting_default_host() {
  const char* text = g_locale_lookup ? g_locale_lookup(SETTINGS_HOST_LOCALE_KEY) : nullptr;
  g_default_host[0] = 0;
  if (text && strlen(text) < sizeof g_default_host) memcpy(g_default_host, text, strlen(text) + 1);
  return g_default_host;
}

static IniDocument* setting_document(const SettingKey* key) {
  return key->document == SETTING_IN_SETTINGS ? settings_document() : profile_document();
}

int setting_rule_int(SettingId id, int value, int backend) {
  if (id >= SETTING_COUNT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  if (key->rule != SETTING_RULE_NONE && (value < key->low || value > key->high))
    value = key->rule == SETTING_RULE_CLAMP ? (value < key->low ? (int)key->low : (int)key->high)
                                            : (int)key->fallback;
  if (key->glide_forces_one && backend == 1) value = 1;
  return value;
}

float setting_rule_float(SettingId id, float value) {
  if (id >= SETTING_COUNT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  if (!std::isfinite(value)) value = (float)key->fallback;
  if (key->rule == SETTING_RULE_CLAMP) {
    if (value < (float)key->low) value = (float)key->low;
    if (value > (float)key->high) value = (float)key->high;
  }
  return value;
}

int setting_int_value(SettingId id) {
  if (id >= SETTING_COUNT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  if (key->type != SETTING_TYPE_BOOL && key->type != SETTING_TYPE_INT) return 0;
  IniDocument* document = setting_document(key);
  int value = (int)key->fallback;
  if (key->type == SETTING_TYPE_BOOL)
    ini_get_bool(document, key->section, key->name, &value, value);
  else
    ini_get_int(document, key->section, key->name, &value, value);
  int backend = key->glide_forces_one ? setting_int_value(SETTING_RENDERING_BACKEND) : 0;
  return setting_rule_int(id, value, backend);
}

float setting_float_value(SettingId id) {
  if (id >= SETTING_COUNT || SETTING_KEYS[id].type != SETTING_TYPE_FLOAT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  float value = (float)key->fallback;
  ini_get_float(setting_document(key), key->section, key->name, &value, value);
  return setting_rule_float(id, value);
}

const char* setting_string_value(SettingId id) {
  if (id >= SETTING_COUNT || SETTING_KEYS[id].type != SETTING_TYPE_STRING) return nullptr;
  const SettingKey* key = &SETTING_KEYS[id];
  IniDocument* document = setting_document(key);
  if (!document) return nullptr;
  const char* value = nullptr;
  ini_get_string(document, key->section, key->name, &value,
                 id == SETTING_HOST ? setting_default_host() : nullptr);
  return value;
}

int setting_store_int(SettingId id, int value) {
  if (id >= SETTING_COUNT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  IniDocument* document = setting_document(key);
  if (key->type == SETTING_TYPE_BOOL) return ini_set_bool(document, key->section, key->name, value);
  if (key->type == SETTING_TYPE_INT) return ini_set_int(document, key->section, key->name, value);
  return 0;
}

int setting_store_float(SettingId id, float value) {
  if (id >= SETTING_COUNT || SETTING_KEYS[id].type != SETTING_TYPE_FLOAT) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  return ini_set_float(setting_document(key), key->section, key->name, value);
}

int setting_store_string(SettingId id, const char* value) {
  if (id >= SETTING_COUNT || SETTING_KEYS[id].type != SETTING_TYPE_STRING) return 0;
  const SettingKey* key = &SETTING_KEYS[id];
  return ini_set_string(setting_document(key), key->section, key->name, value);
}

// ---------------------------------------------------------------------------------------
// One getter and setter per key, as the rest of the client calls them.

int setting_rendering_backend() { return setting_int_value(SETTING_RENDERING_BACKEND); }
int setting_software_cursor() { return setting_int_value(SETTING_SOFTWARE_CURSOR); }
int setting_detailed_sky() { return setting_int_value(SETTING_DETAILED_SKY); }
int setting_dynamic_lights() { return setting_int_value(SETTING_DYNAMIC_LIGHTS); }
int setting_low_detail_textures() { return setting_int_value(SETTING_LOW_DETAIL_TEXTURES); }
int setting_texture_mipmaps() { return setting_int_value(SETTING_TEXTURE_MIPMAPS); }
int setting_anisotropic_filtering() { return setting_int_value(SETTING_ANISOTROPIC_FILTERING); }
int setting_trilinear_filtering() { return setting_int_value(SETTING_TRILINEAR_FILTERING); }
int setting_smooth_terrain() { return setting_int_value(SETTING_SMOOTH_TERRAIN); }
int setting_clip_distance() { return setting_int_value(SETTING_CLIP_DISTANCE); }
int setting_display_width() { return setting_int_value(SETTING_DISPLAY_WIDTH); }
int setting_display_height() { return setting_int_value(SETTING_DISPLAY_HEIGHT); }
int setting_display_bitdepth() { return setting_int_value(SETTING_DISPLAY_BITDEPTH); }
int setting_display_refresh_rate() { return setting_int_value(SETTING_DISPLAY_REFRESH_RATE); }
int setting_display_mode() { return setting_int_value(SETTING_DISPLAY_MODE); }
int setting_display_vsync() { return setting_int_value(SETTING_DISPLAY_VSYNC); }
int setting_display_monitor() { return setting_int_value(SETTING_DISPLAY_MONITOR); }
int setting_master_enabled() { return setting_int_value(SETTING_MASTER_ENABLED); }
int setting_music_enabled() { return setting_int_value(SETTING_MUSIC_ENABLED); }
int setting_ambient_enabled() { return setting_int_value(SETTING_AMBIENT_ENABLED); }
int setting_effect_enabled() { return setting_int_value(SETTING_EFFECT_ENABLED); }
int setting_music_loop() { return setting_int_value(SETTING_MUSIC_LOOP); }
int setting_sound_at_character() { return setting_int_value(SETTING_SOUND_AT_CHARACTER); }
int setting_master_volume() { return setting_int_value(SETTING_MASTER_VOLUME); }
int setting_music_volume() { return setting_int_value(SETTING_MUSIC_VOLUME); }
int setting_ambient_volume() { return setting_int_value(SETTING_AMBIENT_VOLUME); }
int setting_effect_volume() { return setting_int_value(SETTING_EFFECT_VOLUME); }
float setting_mouse_sensitivity() { return setting_float_value(SETTING_MOUSE_SENSITIVITY); }
const char* setting_account() { return setting_string_value(SETTING_ACCOUNT); }
const char* setting_host() { return setting_string_value(SETTING_HOST); }
int setting_port() { return setting_int_value(SETTING_PORT); }

int setting_set_dynamic_lights(int value) { return setting_store_int(SETTING_DYNAMIC_LIGHTS, value); }
int setting_set_low_detail_textures(int value) {
  return setting_store_int(SETTING_LOW_DETAIL_TEXTURES, value);
}
int setting_set_texture_mipmaps(int value) { return setting_store_int(SETTING_TEXTURE_MIPMAPS, value); }
int setting_set_anisotropic_filtering(int value) {
  return setting_store_int(SETTING_ANISOTROPIC_FILTERING, value);
}
int setting_set_smooth_terrain(int value) { return setting_store_int(SETTING_SMOOTH_TERRAIN, value); }
int setting_set_clip_distance(int value) { return setting_store_int(SETTING_CLIP_DISTANCE, value); }
int setting_set_master_enabled(int value) { return setting_store_int(SETTING_MASTER_ENABLED, value); }
int setting_set_music_enabled(int value) { return setting_store_int(SETTING_MUSIC_ENABLED, value); }
int setting_set_ambient_enabled(int value) { return setting_store_int(SETTING_AMBIENT_ENABLED, value); }
int setting_set_effect_enabled(int value) { return setting_store_int(SETTING_EFFECT_ENABLED, value); }
int setting_set_music_loop(int value) { return setting_store_int(SETTING_MUSIC_LOOP, value); }
int setting_set_sound_at_character(int value) { return setting_store_int(SETTING_SOUND_AT_CHARACTER, value); }
int setting_set_master_volume(int value) { return setting_store_int(SETTING_MASTER_VOLUME, value); }
int setting_set_music_volume(int value) { return setting_store_int(SETTING_MUSIC_VOLUME, value); }
int setting_set_ambient_volume(int value) { return setting_store_int(SETTING_AMBIENT_VOLUME, value); }
int setting_set_effect_volume(int value) { return setting_store_int(SETTING_EFFECT_VOLUME, value); }
int setting_set_mouse_sensitivity(float value) {
  return setting_store_float(SETTING_MOUSE_SENSITIVITY, value);
}
int setting_set_account(const char* value) { return setting_store_string(SETTING_ACCOUNT, value); }

int setting_show_target_indicator() { return setting_int_value(SETTING_SHOW_TARGET_INDICATOR); }
int setting_show_own_healthbar() { return setting_int_value(SETTING_SHOW_OWN_HEALTHBAR); }
int setting_show_healthbars() { return setting_int_value(SETTING_SHOW_HEALTHBARS); }
int setting_allow_trades() { return setting_int_value(SETTING_ALLOW_TRADES); }
int setting_confirm_drop() { return setting_int_value(SETTING_CONFIRM_DROP); }
int setting_combat_text() { return setting_int_value(SETTING_COMBAT_TEXT); }
int setting_chat_lines() { return setting_int_value(SETTING_CHAT_LINES); }
int setting_invert_mouse_x() { return setting_int_value(SETTING_INVERT_MOUSE_X); }
int setting_invert_mouse_y() { return setting_int_value(SETTING_INVERT_MOUSE_Y); }
float setting_mouse_look_speed() { return setting_float_value(SETTING_MOUSE_LOOK_SPEED); }

int setting_set_show_target_indicator(int value) {
  return setting_store_int(SETTING_SHOW_TARGET_INDICATOR, value);
}
int setting_set_show_own_healthbar(int value) { return setting_store_int(SETTING_SHOW_OWN_HEALTHBAR, value); }
int setting_set_show_healthbars(int value) { return setting_store_int(SETTING_SHOW_HEALTHBARS, value); }
int setting_set_allow_trades(int value) { return setting_store_int(SETTING_ALLOW_TRADES, value); }
int setting_set_confirm_drop(int value) { return setting_store_int(SETTING_CONFIRM_DROP, value); }
int setting_set_combat_text(int value) { return setting_store_int(SETTING_COMBAT_TEXT, value); }
int setting_set_chat_lines(int value) { return setting_store_int(SETTING_CHAT_LINES, value); }
int setting_set_invert_mouse_x(int value) { return setting_store_int(SETTING_INVERT_MOUSE_X, value); }
int setting_set_invert_mouse_y(int value) { return setting_store_int(SETTING_INVERT_MOUSE_Y, value); }
int setting_set_mouse_look_speed(float value) { return setting_store_float(SETTING_MOUSE_LOOK_SPEED, value); }
