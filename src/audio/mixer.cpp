#include "audio/mixer.h"

#include <cmath>
#include <cstring>

#include "assets/cache.h"
#include "assets/sound.h"
#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/thread.h"

struct MixSettings {
  uint32_t muted;
  uint32_t master_enabled, music_enabled, ambient_enabled, effect_enabled;
  float master, music, ambient, effect;
  float listener[3];
};

// Everything below is guarded by g_lock. The table is an IntMap keyed by the sound id: ids
// come from files and servers and may share their low bits, and IntMap already spreads keys
// through its seeded mix, so the id is used as it is.
static Lock* g_lock;
static Voice g_voices[MIXER_VOICES];
static MixSettings g_settings;
static IntMap* g_sounds;

static void sound_free(void* value) {
  MixerSound* sound = (MixerSound*)value;
  if (!sound) return;
  mem_free(sound->samples);
  mem_free(sound);
}

void mixer_start(void) {
  if (g_lock) return;
  g_lock = lock_create();
  memset(g_voices, 0, sizeof g_voices);
  memset(&g_settings, 0, sizeof g_settings);
  g_sounds = intmap_create(32);
  event_subscribe(mixer_on_event);
}

void mixer_stop(void) {
  if (!g_lock) return;
  event_unsubscribe(mixer_on_event);
  lock_destroy(g_lock);
  g_lock = nullptr;
  intmap_destroy(g_sounds, sound_free);
  g_sounds = nullptr;
  memset(g_voices, 0, sizeof g_voices);
}

static float clamp_volume(float v) {
  if (!(v > 0.0f)) return 0.0f;  // also NaN
  return v < 1.0f ? v : 1.0f;
}

static void set_flag(uint32_t* field, int value) {
  if (!g_lock) return;
  lock_enter(g_lock);
  *field = value != 0;
  lock_leave(g_lock);
}
static void set_volume(float* field, float value) {
  if (!g_lock) return;
  lock_enter(g_lock);
  *field = clamp_volume(value);
  lock_leave(g_lock);
}

void mixer_set_master_enabled(int enabled) { set_flag(&g_settings.master_enabled, enabled); }
void mixer_set_music_enabled(int enabled) { set_flag(&g_settings.music_enabled, enabled); }
void mixer_set_ambient_enabled(int enabled) { set_flag(&g_settings.ambient_enabled, enabled); }
void mixer_set_effect_enabled(int enabled) { set_flag(&g_settings.effect_enabled, enabled); }
void mixer_set_master_volume(float volume) { set_volume(&g_settings.master, volume); }
void mixer_set_music_volume(float volume) { set_volume(&g_settings.music, volume); }
void mixer_set_ambient_volume(float volume) { set_volume(&g_settings.ambient, volume); }
void mixer_set_effect_volume(float volume) { set_volume(&g_settings.effect, volume); }

void mixer_set_listener(float x, float y, float z) {
  if (!g_lock) return;
  lock_enter(g_lock);
  g_settings.listener[0] = x, g_settings.listener[1] = y, g_settings.listener[2] = z;
  lock_leave(g_lock);
}

// Copies a decoded sound into the table unless it is there already (then it is wanted again:
// a pending release is cancelled). Called on the main thread with no lock held.
static void copy_loaded(uint32_t id, const SoundObject* object) {
  lock_enter(g_lock);
  MixerSound* present = (MixerSound*)intmap_find(g_sounds, id);
  if (present) present->release_pending = 0;
  lock_leave(g_lock);
  if (present) return;
  MixerSound* copy = (MixerSound*)mem_calloc(1, sizeof(MixerSound));
  copy->sound = id;
  copy->channels = object->channels;
  copy->rate = object->rate;
  copy->count = object->samples ? object->playable_count : 0;
  if (copy->count > object->sample_count) copy->count = object->sample_count;
  if (copy->count) {
    copy->samples = (int16_t*)mem_alloc((size_t)copy->count * sizeof(int16_t));
    memcpy(copy->samples, object->samples, (size_t)copy->count * sizeof(int16_t));
  }
  lock_enter(g_lock);
  int inserted = intmap_insert(g_sounds, id, copy);
  lock_leave(g_lock);
  if (!inserted) sound_free(copy);
}

// A load that produced nothing: its waiting voices are asked to stop, and finish at once.
static void stop_voices_of(uint32_t id, int loops_only) {
  lock_enter(g_lock);
  for (Voice& v : g_voices)
    if (v.active && v.sound == id && (!loops_only || v.loop)) v.stop = 1;
  lock_leave(g_lock);
}

static void on_loaded(uint32_t id) {
  AssetHandle handle;
  if (!asset_find(&handle, ASSET_SOUND, id)) return;  // released again since
  if (handle.object)
    copy_loaded(id, (const SoundObject*)handle.object);
  else
    stop_voices_of(id, 0);
}

static void on_released(uint32_t id) {
  MixerSound* freed = nullptr;
  lock_enter(g_lock);
  int playing = 0;
  for (const Voice& v : g_voices) playing |= v.active && v.sound == id;
  MixerSound* sound = (MixerSound*)intmap_find(g_sounds, id);
  if (sound && playing) {
    sound->release_pending = 1;
    for (Voice& v : g_voices)
      if (v.active && v.sound == id && v.loop) v.stop = 1;
  } else if (sound) {
    freed = (MixerSound*)intmap_take(g_sounds, id);
  }
  lock_leave(g_lock);
  sound_free(freed);
}

void mixer_on_event(uint32_t event, const void* data) {
  if (!g_lock) return;
  if (event == EVENT_ACTIVATE || event == EVENT_DEACTIVATE) {
    set_flag(&g_settings.muted, event == EVENT_DEACTIVATE);
    return;
  }
  if ((event != EVENT_ASSET_LOADED && event != EVENT_ASSET_RELEASED) || !data) return;
  const AssetEvent* e = (const AssetEvent*)data;
  if (e->type != ASSET_SOUND) return;
  if (event == EVENT_ASSET_LOADED)
    on_loaded(e->id);
  else
    on_released(e->id);
}

static int start_voice(Voice request) {
  if (!g_lock) return 0;
  AssetHandle handle;
  asset_request(&handle, ASSET_SOUND, request.sound);
  if (handle.ready && handle.failed) return 0;
  // Already in the cache: no load event will follow, so the copy is taken now.
  if (handle.ready && handle.object) copy_loaded(request.sound, (const SoundObject*)handle.object);
  int started = 0;
  lock_enter(g_lock);
  for (Voice& v : g_voices) {
    if (v.active) continue;
    v = request;
    v.active = 1;
    started = 1;
    break;
  }
  lock_leave(g_lock);
  if (started) {
    EventSound payload = {request.sound, request.tag};
    event_post_copy(EVENT_SOUND_STARTED, &payload, sizeof payload);
  }
  return started;
}

static Voice voice_request(uint32_t sound, uint32_t category, uint32_t tag, int loop) {
  Voice v;
  memset(&v, 0, sizeof v);
  v.sound = sound;
  v.category = category;
  v.tag = tag;
  v.loop = loop != 0;
  return v;
}

static void place(Voice* v, float x, float y, float z, float near_distance, float far_distance) {
  v->positional = 1;
  v->x = x, v->y = y, v->z = z;
  v->near_distance = near_distance >= 0.0001f ? near_distance : 0.0001f;  // NaN too
  v->far_distance = far_distance >= v->near_distance ? far_distance : v->near_distance;
}

int mixer_play_music(uint32_t sound, uint32_t tag, int loop) {
  return start_voice(voice_request(sound, MIXER_MUSIC, tag, loop));
}
int mixer_play_ambient(uint32_t sound, uint32_t tag, int loop) {
  return start_voice(voice_request(sound, MIXER_AMBIENT, tag, loop));
}
int mixer_play_ambient_at(uint32_t sound, uint32_t tag, int loop, float x, float y, float z,
                          float near_distance, float far_distance) {
  Voice v = voice_request(sound, MIXER_AMBIENT, tag, loop);
  place(&v, x, y, z, near_distance, far_distance);
  return start_voice(v);
}
int mixer_play_effect(uint32_t sound, uint32_t tag) {
  return start_voice(voice_request(sound, MIXER_EFFECT, tag, 0));
}
int mixer_play_effect_at(uint32_t sound, uint32_t tag, float x, float y, float z, float near_distance,
                         float far_distance) {
  Voice v = voice_request(sound, MIXER_EFFECT, tag, 0);
  place(&v, x, y, z, near_distance, far_distance);
  return start_voice(v);
}

void mixer_stop_tag(uint32_t tag) {
  if (!g_lock) return;
  lock_enter(g_lock);
  for (Voice& v : g_voices)
    if (v.active && v.tag == tag) v.stop = 1;
  lock_leave(g_lock);
}

int mixer_is_playing(uint32_t sound) {
  if (!g_lock) return 0;
  int playing = 0;
  lock_enter(g_lock);
  for (const Voice& v : g_voices) playing |= v.active && v.sound == sound;
  lock_leave(g_lock);
  return playing;
}

Voice mixer_voice(uint32_t index) {
  Voice v;
  memset(&v, 0, sizeof v);
  if (!g_lock || index >= MIXER_VOICES) return v;
  lock_enter(g_lock);
  v = g_voices[index];
  lock_leave(g_lock);
  return v;
}

uint32_t mixer_sound_count(void) {
  if (!g_lock) return 0;
  lock_enter(g_lock);
  uint32_t count = g_sounds->count;
  lock_leave(g_lock);
  return count;
}

static float target_gain(const Voice& v, const MixSettings& s) {
  if (v.stop || s.muted || !s.master_enabled) return 0.0f;
  float gain = s.master;
  const uint32_t enabled[3] = {s.music_enabled, s.ambient_enabled, s.effect_enabled};
  const float volume[3] = {s.music, s.ambient, s.effect};
  gain = v.category < 3 && enabled[v.category] ? gain * volume[v.category] : 0.0f;
  if (v.positional) {
    float dx = v.x - s.listener[0], dy = v.y - s.listener[1], dz = v.z - s.listener[2];
    float d = sqrtf(dx * dx + dy * dy + dz * dz);
    if (d > v.near_distance) {
      float t = d / v.far_distance;
      t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
      gain *= 1.0f - t;
    }
    if (!(gain >= 0.0f)) gain = 0.0f;  // a non-finite position is silent
  }
  return gain;
}

static int32_t gain_q15(float gain) {
  if (!(gain > 0.0f)) return 0;
  if (gain >= 1.0f) return 32768;
  return (int32_t)lroundf(gain * 32768.0f);
}

static int16_t saturate(int32_t v) { return (int16_t)(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

// Mixes one voice into out and advances it; returns 1 when it finished.
static int mix_voice(Voice* v, const MixerSound* sound, float target, int16_t* out, uint32_t frames,
                     int audible, uint32_t ramp) {
  const uint32_t count = sound->count;
  const int32_t from = gain_q15(v->gain), to = gain_q15(target);
  uint32_t ramp_left = fabsf(v->gain - target) > 0.0001f ? ramp : 0;
  uint32_t ramp_done = 0;
  int32_t gain = ramp_left ? from : to;
  uint32_t position = v->position, i = 0;
  int finished = 0;
  if (v->loop && count == 0) finished = 1;
  while (!finished && i < frames) {
    if (position >= count) {
      if (!v->loop) break;
      position = 0;
    }
    uint32_t run = frames - i < count - position ? frames - i : count - position;
    for (uint32_t k = 0; k < run; k++, i++, position++) {
      if (ramp_left) {
        ramp_done++;
        gain = from + (int32_t)((int64_t)(to - from) * ramp_done / ramp);
        if (--ramp_left == 0) gain = to;
      }
      if (!audible) continue;
      int32_t value = (sound->samples[position] * gain) >> 15;
      if (!v->loop) {
        uint32_t edge = position < count - 1 - position ? position : count - 1 - position;
        if (edge < ramp) value = value * (int32_t)edge / (int32_t)ramp;
      }
      out[i] = saturate(out[i] + value);
    }
  }
  v->gain = ramp_left ? (float)gain / 32768.0f : target;
  if (!v->loop && position >= count) {
    finished = 1;
    position = 0;
  }
  v->position = position;
  if (v->stop && v->gain <= 0.0001f) finished = 1;
  return finished;
}

void mixer_mix(int16_t* out, uint32_t frames, uint32_t channels, uint32_t rate) {
  if (!g_lock || !out) return;
  uint32_t ramp = rate / 1000 * 5;
  if (ramp == 0) ramp = 1;
  int mono = channels == 1;
  EventSound finished[MIXER_VOICES];
  MixerSound* freed[MIXER_VOICES];
  uint32_t finished_count = 0, freed_count = 0;
  for (uint32_t index = 0; index < MIXER_VOICES; index++) {
    lock_enter(g_lock);
    Voice v = g_voices[index];
    MixSettings s = g_settings;
    const MixerSound* sound = v.active ? (const MixerSound*)intmap_find(g_sounds, v.sound) : nullptr;
    lock_leave(g_lock);
    if (!v.active) continue;
    // Not loaded yet: the voice waits, unless it was asked to stop (or its load failed).
    int done = 0;
    if (sound) {
      // The copy is not freed while an active voice uses it, so it is read unlocked.
      done = mix_voice(&v, sound, target_gain(v, s), out, frames, mono && sound->channels == 1, ramp);
    } else if (!v.stop) {
      continue;
    } else {
      done = 1;
    }
    lock_enter(g_lock);
    Voice* stored = &g_voices[index];
    if (!done) {
      stored->position = v.position;
      stored->gain = v.gain;
    } else {
      finished[finished_count++] = {v.sound, v.tag};
      memset(stored, 0, sizeof *stored);
      MixerSound* owned = (MixerSound*)intmap_find(g_sounds, v.sound);
      int used = 0;
      for (const Voice& other : g_voices) used |= other.active && other.sound == v.sound;
      if (owned && owned->release_pending && !used)
        freed[freed_count++] = (MixerSound*)intmap_take(g_sounds, v.sound);
    }
    lock_leave(g_lock);
  }
  for (uint32_t i = 0; i < finished_count; i++)
    event_post_copy(EVENT_SOUND_FINISHED, &finished[i], sizeof finished[i]);
  for (uint32_t i = 0; i < freed_count; i++) sound_free(freed[i]);
}
