#pragma once
// The table of every settings and profile key: section, name, type, default, range rule and
// whether the first-run document holds it. The typed getters and setters of settings.h are
// thin calls into the generic functions here, so defaults and ranges live in one place.
#include <cstdint>

enum SettingId : uint8_t {
  // settings.ini
  SETTING_RENDERING_BACKEND,
  SETTING_SOFTWARE_CURSOR,
  SETTING_DETAILED_SKY,
  SETTING_DYNAMIC_LIGHTS,
  SETTING_LOW_DETAIL_TEXTURES,
  SETTING_TEXTURE_MIPMAPS,
  SETTING_ANISOTROPIC_FILTERING,
  SETTING_TRILINEAR_FILTERING,
  SETTING_SMOOTH_TERRAIN,
  SETTING_CLIP_DISTANCE,
  SETTING_DISPLAY_WIDTH,
  SETTING_DISPLAY_HEIGHT,
  SETTING_DISPLAY_BITDEPTH,
  SETTING_DISPLAY_REFRESH_RATE,
  SETTING_DISPLAY_MODE,
  SETTING_DISPLAY_VSYNC,
  SETTING_DISPLAY_MONITOR,
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
  SETTING_ACCOUNT,
  SETTING_HOST,
  SETTING_PORT,
  // profile
  SETTING_SHOW_TARGET_INDICATOR,
  SETTING_SHOW_OWN_HEALTHBAR,
  SETTING_SHOW_HEALTHBARS,
  SETTING_ALLOW_TRADES,
  SETTING_CONFIRM_DROP,
  SETTING_COMBAT_TEXT,
  SETTING_CHAT_LINES,
  SETTING_INVERT_MOUSE_X,
  SETTING_INVERT_MOUSE_Y,
  SETTING_MOUSE_LOOK_SPEED,
  SETTING_PITCH,
  SETTING_DISTANCE,
  SETTING_COUNT
};

enum SettingType : uint8_t { SETTING_TYPE_BOOL, SETTING_TYPE_INT, SETTING_TYPE_FLOAT, SETTING_TYPE_STRING };
enum SettingDocument : uint8_t { SETTING_IN_SETTINGS, SETTING_IN_PROFILE };
// How a read value outside [low, high] is corrected.
enum SettingRule : uint8_t { SETTING_RULE_NONE, SETTING_RULE_CLAMP, SETTING_RULE_ELSE_DEFAULT };

struct SettingKey {
  SettingId id;
  SettingDocument document;
  const char* section;
  const char* name;
  SettingType type;
  SettingRule rule;
  uint8_t glide_forces_one;  // reads 1 whenever RENDERING_BACKEND is 1
  double fallback;           // default of bools, ints and floats (ints are exact)
  double low, high;
};

extern const SettingKey SETTING_KEYS[SETTING_COUNT];

// First-run documents, in the order their keys are written.
extern const SettingId SETTINGS_FIRST_RUN[];
extern const int SETTINGS_FIRST_RUN_COUNT;
extern const SettingId PROFILE_FIRST_RUN[];
extern const int PROFILE_FIRST_RUN_COUNT;

// Generic access with default, range and overrides applied (ids of another type read as 0).
int setting_int_value(SettingId id);
float setting_float_value(SettingId id);
const char* setting_string_value(SettingId id);
// 1 when the key's document exists and took the value.
int setting_store_int(SettingId id, int value);
int setting_store_float(SettingId id, float value);
int setting_store_string(SettingId id, const char* value);

// What a key would read as when stored as value (rules and the backend override applied);
// used for the first-run document, whose backend is its own default.
int setting_rule_int(SettingId id, int value, int backend);
float setting_rule_float(SettingId id, float value);
