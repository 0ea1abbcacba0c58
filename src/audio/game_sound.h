#pragma once
// The mixer half of the game's sound settings, and interface sounds.
//
// sound_apply_settings passes the four enables and the four volumes of the settings document
// to the mixer, each volume as (value / 100) squared. play_ui_sound plays the interface
// sound of a locale key as an effect with owner tag 0, only while a world exists whose tag is
// not 1, only when the key names a sound (a locale asset id other than 0), and not while that
// sound already plays (a double click sounds once). The current world is asked through a
// query the composition root installs, since this layer sits below the game's.
#include <cstdint>

// 1 and the world's tag in tag_out when a world exists, else 0.
typedef int (*SoundWorldQuery)(uint32_t* tag_out);
void sound_set_world_query(SoundWorldQuery query);

void sound_apply_settings(void);
// 1 when a voice was started.
int play_ui_sound(uint32_t key);
