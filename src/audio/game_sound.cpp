#include "audio/game_sound.h"

#include "assets/locale.h"
#include "audio/mixer.h"
#include "settings/settings.h"

static SoundWorldQuery g_world_query;

void sound_set_world_query(SoundWorldQuery query) { g_world_query = query; }

static float squared_percent(int value) {
  float v = (float)value / 100.0f;
  return v * v;
}

void sound_apply_settings(void) {
  mixer_set_master_enabled(setting_master_enabled());
  mixer_set_music_enabled(setting_music_enabled());
  mixer_set_ambient_enabled(setting_ambient_enabled());
  mixer_set_effect_enabled(setting_effect_enabled());
  mixer_set_master_volume(squared_percent(setting_master_volume()));
  mixer_set_music_volume(squared_percent(setting_music_volume()));
  mixer_set_ambient_volume(squared_percent(setting_ambient_volume()));
  mixer_set_effect_volume(squared_percent(setting_effect_volume()));
}

int play_ui_sound(uint32_t key) {
  uint32_t tag = 0;
  if (!g_world_query || !g_world_query(&tag) || tag == 1) return 0;
  uint32_t sound = locale_asset_id(key);
  if (!sound || mixer_is_playing(sound)) return 0;
  return mixer_play_effect(sound, 0);
}
