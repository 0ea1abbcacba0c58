#pragma once
// The sound mixer: twelve voices mixed into one mono 16-bit stream at 22050 Hz.
//
// Each voice plays one loaded sound once or in a loop, in one of three volume categories
// (music, ambient, effect), optionally at a world position attenuated by its distance to the
// listener. Gain changes ramp linearly over 5 ms and one-shot sounds fade in and out over
// their first and last 5 ms, so starts, stops and volume changes never click. The mixer
// keeps its own copy of every loaded sound, so the asset cache may release its object at any
// time; a copy whose cache entry was released while playing is freed when its last voice
// finishes (a looping voice is stopped at once, a one-shot plays to its end).
//
// Threads: settings, starts, stops and events come from the main thread; mixer_mix from the
// wave output's mixing thread. One lock guards voices, settings and the sound table and is
// held for short copies only, never while a voice is mixed and never around an asset call,
// an event post or a free. mixer_mix allocates nothing; it frees a released copy.
//
// Start events and finish events carry an EventSound {sound id, owner tag}. A voice finishes
// when it was stopped and its gain reached 0, when a one-shot reached its end, when its sound
// failed to load, or when it loops over a sound of no samples. A sound whose channel count is
// not 1 mixes silence but advances, loops and finishes like any other.
#include <cstdint>

enum : uint32_t { MIXER_VOICES = 12 };
enum : uint32_t { MIXER_MUSIC = 0, MIXER_AMBIENT = 1, MIXER_EFFECT = 2 };

struct Voice {
  uint32_t sound;
  uint32_t category;
  uint32_t tag;
  uint32_t position;  // in samples
  uint32_t loop;
  uint32_t positional;
  float x, y, z;
  float near_distance, far_distance;
  float gain;  // current gain, 0..1
  uint32_t stop;
  uint32_t active;
};
static_assert(sizeof(Voice) == 14 * 4);

struct MixerSound {
  uint32_t sound;
  uint32_t channels;
  uint32_t rate;  // carried, never read: decoded sounds are already at the output rate
  uint32_t count;
  int16_t* samples;  // owned copy
  uint32_t release_pending;
};

// Creates the lock and the sound table and subscribes mixer_on_event; all categories start
// disabled at volume 0, so nothing is heard until settings arrive. mixer_stop unsubscribes
// and frees everything (the wave output must be stopped first). Both are idempotent.
void mixer_start(void);
void mixer_stop(void);

// Volumes arrive already squared and are clamped to 0..1 (not finite reads as 0).
void mixer_set_master_enabled(int enabled);
void mixer_set_music_enabled(int enabled);
void mixer_set_ambient_enabled(int enabled);
void mixer_set_effect_enabled(int enabled);
void mixer_set_master_volume(float volume);
void mixer_set_music_volume(float volume);
void mixer_set_ambient_volume(float volume);
void mixer_set_effect_volume(float volume);
void mixer_set_listener(float x, float y, float z);

// Each requests the sound asset first and refuses (0) when the request reports failure, then
// takes the first free voice (0 when all twelve are busy, with no event) and posts
// EVENT_SOUND_STARTED; 1 when a voice was started. Positional calls raise near to at least
// 0.0001 and far to at least near.
int mixer_play_music(uint32_t sound, uint32_t tag, int loop);
int mixer_play_ambient(uint32_t sound, uint32_t tag, int loop);
int mixer_play_ambient_at(uint32_t sound, uint32_t tag, int loop, float x, float y, float z,
                          float near_distance, float far_distance);
int mixer_play_effect(uint32_t sound, uint32_t tag);
int mixer_play_effect_at(uint32_t sound, uint32_t tag, float x, float y, float z, float near_distance,
                         float far_distance);

// Asks every active voice with that owner tag to stop (it fades out, then finishes).
void mixer_stop_tag(uint32_t tag);
// 1 when an active voice plays the sound.
int mixer_is_playing(uint32_t sound);

// Adds every voice into out (saturating), which holds frames samples of channels channels at
// rate samples per second; only mono output of mono sounds makes sound.
void mixer_mix(int16_t* out, uint32_t frames, uint32_t channels, uint32_t rate);

// The event handler mixer_start subscribes: sound loads and releases, window activation.
void mixer_on_event(uint32_t event, const void* data);

// For tests: a copy of a voice, and the number of sounds in the table.
Voice mixer_voice(uint32_t index);
uint32_t mixer_sound_count(void);
