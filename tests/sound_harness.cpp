// Plays one sound through the client's own sound path: the event bus and the archives
// started, then the mixer and the wave output through the start-up table's optional services
// (SDL audio, whichever driver SDL_AUDIODRIVER names), the master and effect volumes at full,
// and the sound started as an effect. It waits for the voice to finish, lets the queued
// buffers drain and stops everything in the client's order. Run without arguments it plays
// the demo whisper chime aloud where audio exists. tests/sound_harness_test.py captures the
// output with SDL's disk driver and compares it with a mix it computes itself.
//
//   sound_harness [ASSETS_DIR SOUND_ID]
// Exit code 0 when the sound played to its end, 2 when no audio device opened, 1 otherwise.
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "assets/assets.h"
#include "audio/mixer.h"
#include "audio/wave_output.h"
#include "base/event_bus.h"
#include "base/thread.h"

namespace {

uint32_t g_sound;
int g_finished;

void on_event(uint32_t event, const void* data) {
  if (event != EVENT_SOUND_FINISHED || !data) return;
  if (((const EventSound*)data)->sound == g_sound) g_finished = 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* assets_dir = argc > 2 ? argv[1] : HARNESS_ASSETS_DIR;
  g_sound = argc > 2 ? (uint32_t)strtoul(argv[2], nullptr, 0) : 3;
  const PlatformServices* services = platform_real_services();
  const int mixer_bit = 2, wave_bit = 4;
  static_assert(STARTUP_SOUND_MIXER == 1u << 2 && STARTUP_WAVE_OUTPUT == 1u << 4);

  event_bus_start();
  event_subscribe(on_event);
  assets_startup(assets_dir);
  services->optional_start[mixer_bit]();
  services->optional_start[wave_bit]();
  int status = 1;
  if (!waveout_running()) {
    fprintf(stderr, "sound_harness: no audio device opened\n");
    status = 2;
  } else {
    mixer_set_master_enabled(1);
    mixer_set_effect_enabled(1);
    mixer_set_master_volume(1.0f);
    mixer_set_effect_volume(1.0f);
    if (!mixer_play_effect(g_sound, 0)) {
      fprintf(stderr, "sound_harness: sound %u refused\n", g_sound);
    } else {
      for (int waited = 0; !g_finished && waited < 20000; waited += 5) {
        event_dispatch();
        sleep_ms(5);
      }
      if (g_finished) {
        // The last mixed buffers are still queued in the device: let them play.
        sleep_ms(WAVEOUT_BUFFERS * WAVEOUT_BUFFER_SAMPLES * 1000 / 22050 + 200);
        printf("sound_harness: sound %u played\n", g_sound);
        status = 0;
      } else {
        fprintf(stderr, "sound_harness: sound %u never finished\n", g_sound);
      }
    }
  }
  services->optional_stop[wave_bit]();
  services->optional_stop[mixer_bit]();
  event_dispatch();
  assets_shutdown();
  event_unsubscribe(on_event);
  event_bus_stop();
  return status;
}
