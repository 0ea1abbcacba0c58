// The mixer with a real asset cache over a sound archive built by the test: starting and
// refusing voices, the finish rules, fades and gain ramps, clipping, positional gain, muting,
// releases and failed loads, and the main and mixing threads meeting.
#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/cache.h"
#include "assets/locale.h"
#include "assets/sound.h"
#include "audio/game_sound.h"
#include "audio/wave_output.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "platform/wave_out.h"
#include "support/math_test_support.h"
#include "support/test_files.h"
#include "support/test_wait.h"
#include "support/test_wav.h"

namespace {

typedef std::vector<int16_t> Samples;

// Spans the whole 16-bit range except -32768, so two voices clip often in both directions.
Samples loud(size_t n, uint32_t seed) {
  Samples s(n);
  for (size_t i = 0; i < n; i++) {
    seed = seed * 1664525u + 1013904223u;
    s[i] = (int16_t)((int)((seed >> 8) % 65535) - 32767);
  }
  return s;
}

// No sample is 0, so silence is never mistaken for sound.
Samples noise(size_t n, uint32_t seed) {
  Samples s(n);
  for (size_t i = 0; i < n; i++) {
    seed = seed * 1103515245u + 12345u;
    int v = (int)((seed >> 16) % 40000) - 20000;
    s[i] = (int16_t)(v == 0 ? 1 : v);
  }
  return s;
}

enum : uint32_t {
  SHORT = 1,     // 1000 samples
  LONG = 2,      // 5000 samples
  HIGH = 3,      // 3000 samples of +30000
  LOW = 4,       // 3000 samples of -30000
  EMPTY = 5,     // no samples
  STEREO = 6,    // made two-channel by the decoder below
  LOUD_A = 8,    // 3000 samples of full-scale noise
  LOUD_B = 9,    // 2000 samples of full-scale noise
  MISSING = 77,  // not in the archive: its load fails
};
const int16_t STEREO_MARK = 12345;

// The real decoder, except that a sound starting with STEREO_MARK claims two channels, which
// the real one never produces.
void* decode_marked(const uint8_t* bytes, uint32_t length) {
  SoundObject* s = sound_decode(bytes, length);
  if (s && s->sample_count && s->samples[0] == STEREO_MARK) s->channels = 2;
  return s;
}

std::vector<std::pair<uint32_t, EventSound>> g_events;
void record(uint32_t event, const void* data) {
  if (event == EVENT_SOUND_STARTED || event == EVENT_SOUND_FINISHED)
    g_events.push_back({event, *(const EventSound*)data});
}

class Mixer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir("mixer");
    Samples stereo = noise(2000, 6);
    stereo[0] = STEREO_MARK;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> entries = {
        {SHORT, test_wav(1, 22050, noise(1000, 1))},
        {LONG, test_wav(1, 22050, noise(5000, 2))},
        {HIGH, test_wav(1, 22050, Samples(3000, 30000))},
        {LOW, test_wav(1, 22050, Samples(3000, -30000))},
        {EMPTY, test_wav(1, 22050, {})},
        {STEREO, test_wav(1, 22050, stereo)},
        {LOUD_A, test_wav(1, 22050, loud(3000, 8))},
        {LOUD_B, test_wav(1, 22050, loud(2000, 9))},
    };
    std::vector<ArchiveSource> sources;
    for (auto& e : entries) sources.push_back({e.first, e.second.data(), e.second.size()});
    size_t size = 0;
    uint8_t* image = archive_build(sources.data(), (uint32_t)sources.size(), 7, &size, nullptr, 0);
    ASSERT_NE(image, nullptr);
    test_write_file((*dir_) / "sound.dat", std::string((const char*)image, size));
    mem_free(image);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    g_events.clear();
    event_bus_start();
    event_subscribe(record);
    Archive* archives[ASSET_ARCHIVE_COUNT] = {};
    archive_ = archive_open(((*dir_) / "sound.dat").c_str());
    ASSERT_NE(archive_, nullptr);
    archives[asset_archive_of(ASSET_SOUND)] = archive_;
    asset_set_decoder(ASSET_SOUND, {decode_marked, sound_destroy_asset});
    asset_cache_start(archives);
    mixer_start();
    mixer_set_master_enabled(1);
    mixer_set_master_volume(1.0f);
    for (auto set : {mixer_set_music_enabled, mixer_set_ambient_enabled, mixer_set_effect_enabled}) set(1);
    for (auto set : {mixer_set_music_volume, mixer_set_ambient_volume, mixer_set_effect_volume}) set(1.0f);
  }
  void TearDown() override {
    mixer_stop();
    asset_cache_stop();
    archive_close(archive_);
    asset_set_decoder(ASSET_SOUND, {});
    event_bus_stop();
  }

  // Lets every queued load complete and delivers its events.
  static void settle() {
    EXPECT_TRUE(test_wait_until([] { return asset_pending() == 0; }));
    event_dispatch();
  }
  static Samples mix(uint32_t frames = 1024) {
    Samples out(frames, 0);
    mixer_mix(out.data(), frames, 1, 22050);
    return out;
  }
  static Samples samples_of(uint32_t id) {
    AssetHandle h;
    asset_request_wait(&h, ASSET_SOUND, id);
    const SoundObject* s = (const SoundObject*)h.object;
    return s ? Samples(s->samples, s->samples + s->sample_count) : Samples();
  }
  static int finished(uint32_t sound, uint32_t tag) {
    event_dispatch();
    int n = 0;
    for (auto& e : g_events)
      n += e.first == EVENT_SOUND_FINISHED && e.second.sound == sound && e.second.tag == tag;
    return n;
  }
  static int any_active() {
    int active = 0;
    for (uint32_t i = 0; i < MIXER_VOICES; i++) active |= mixer_voice(i).active;
    return active;
  }

  static TestTempDir* dir_;
  Archive* archive_ = nullptr;
};
TestTempDir* Mixer::dir_;

TEST_F(Mixer, FullVolumeVoiceEqualsItsSamplesButTheEdgeFades) {
  Samples source = samples_of(SHORT);
  ASSERT_EQ(source.size(), 1000u);
  ASSERT_EQ(mixer_play_effect(SHORT, 9), 1);
  settle();
  Samples out = mix();
  for (size_t i = 0; i < 1000; i++) {
    if (i >= 110 && i < 890) {
      ASSERT_EQ(out[i], source[i]) << i;
    } else {
      // The gain ramp and the edge fade only ever scale towards silence.
      ASSERT_LE(std::abs(out[i]), std::abs(source[i])) << i;
    }
  }
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[999], 0);
  for (size_t i = 1000; i < out.size(); i++) ASSERT_EQ(out[i], 0);
  EXPECT_EQ(finished(SHORT, 9), 1);
  EXPECT_FALSE(mixer_is_playing(SHORT));
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events[0].first, (uint32_t)EVENT_SOUND_STARTED);
  EXPECT_EQ(g_events[0].second.sound, SHORT);
  EXPECT_EQ(g_events[0].second.tag, 9u);
}

TEST_F(Mixer, FullScaleVoicesClipInsteadOfWrapping) {
  struct Case {
    uint32_t sound;
    int16_t expected;
  } cases[] = {{HIGH, 32767}, {LOW, -32768}};
  for (const Case& c : cases) {
    ASSERT_EQ(mixer_play_ambient(c.sound, 1, 1), 1);
    ASSERT_EQ(mixer_play_ambient(c.sound, 2, 1), 1);
    settle();
    mix();  // the gains ramp up from 0
    Samples out = mix();
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], c.expected) << c.sound << " " << i;
    mixer_stop_tag(1);
    mixer_stop_tag(2);
    mix();
    EXPECT_FALSE(any_active());
  }
}

// Writes the two sounds as WAVE files, mixes them with sox at each pair of volumes, and prints
// per pair sox's samples, then numpy's rounded, clipped sum. Input: "volume_a volume_b" lines,
// a blank line, then the samples of each sound on one line.
const char* SOX_MIX = R"PY(
import shutil, subprocess, sys, wave
import numpy as np
text = sys.stdin.read().split("\n\n")
pairs = [tuple(line.split()) for line in text[0].splitlines()]
sounds = [np.array(line.split(), dtype=np.int64) for line in text[1].splitlines()]
if shutil.which("sox") is None:
    print("nosox")
    sys.exit(0)
for name, s in zip(("a.wav", "b.wav"), sounds):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        w.writeframes(s.astype("<i2").tobytes())
length = max(len(s) for s in sounds)
for va, vb in pairs:
    subprocess.run(["sox", "-D", "-m", "-v", va, "a.wav", "-v", vb, "b.wav", "mixed.wav"],
                   check=True, stderr=subprocess.DEVNULL)
    with wave.open("mixed.wav", "rb") as w:
        assert w.getnchannels() == 1 and w.getsampwidth() == 2
        mixed = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
    print(" ".join(str(int(v)) for v in mixed))
    total = np.zeros(length)
    for s, v in zip(sounds, (va, vb)):
        total[: len(s)] += s * float(v)
    print(" ".join(str(int(v)) for v in np.clip(np.round(total), -32768, 32767)))
)PY";

// Both references sum first and clip once; the mixer adds voice after voice with saturation,
// which is the same for two voices. Gains here are exact in Q15, so the mixer's floor per
// voice stays within 1 of a rounded sum. The 110 samples around each start and end ramp.
TEST_F(Mixer, TwoVoicesMixLikeSoxAndNumpy) {
  struct Case {
    const char* ambient;
    const char* effect;
  } cases[] = {{"1", "1"}, {"0.5", "0.25"}};
  Samples a = samples_of(LOUD_A), b = samples_of(LOUD_B);
  ASSERT_EQ(a.size(), 3000u);
  ASSERT_EQ(b.size(), 2000u);
  std::string input;
  for (const Case& c : cases) input += std::string(c.ambient) + " " + c.effect + "\n";
  input += "\n";
  for (const Samples* s : {&a, &b}) {
    for (int16_t v : *s) input += std::to_string(v) + " ";
    input += "\n";
  }
  std::string output;
  REQUIRE_REFERENCE_PYTHON(SOX_MIX, input, &output);
  if (output.rfind("nosox", 0) == 0) {
    if (reference_tools_required()) FAIL() << "sox is required";
    GTEST_SKIP() << "sox is not available";
  }
  std::istringstream lines(output);
  auto ramps = [](size_t i) {
    for (size_t edge : {0, 2000, 3000})
      if (i + 110 >= edge && i < edge + 110) return true;
    return false;
  };
  for (const Case& c : cases) {
    mixer_set_ambient_volume(strtof(c.ambient, nullptr));
    mixer_set_effect_volume(strtof(c.effect, nullptr));
    ASSERT_EQ(mixer_play_ambient(LOUD_A, 1, 0), 1);
    ASSERT_EQ(mixer_play_effect(LOUD_B, 2), 1);
    settle();
    Samples out;
    for (int buffer = 0; buffer < 3; buffer++) {
      Samples part = mix();
      out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_FALSE(any_active());
    for (const char* reference : {"sox", "numpy"}) {
      std::string line;
      ASSERT_TRUE((bool)std::getline(lines, line)) << reference;
      std::istringstream values(line);
      Samples want;
      for (int v; values >> v;) want.push_back((int16_t)v);
      ASSERT_EQ(want.size(), 3000u) << reference;
      int clipped = 0, compared = 0;
      for (size_t i = 0; i < out.size(); i++) {
        if (i >= want.size()) {
          ASSERT_EQ(out[i], 0) << i;
          continue;
        }
        if (ramps(i)) continue;
        ASSERT_LE(std::abs(out[i] - want[i]), 1) << reference << " " << c.ambient << " " << i;
        clipped += want[i] == 32767 || want[i] == -32768;
        compared++;
      }
      EXPECT_GT(compared, 2500);
      if (strcmp(c.ambient, "1") == 0) {
        EXPECT_GT(clipped, 200) << reference;
      }
    }
  }
}

TEST_F(Mixer, AThirteenthSoundIsRefusedWithoutAnEvent) {
  for (uint32_t i = 0; i < MIXER_VOICES; i++) EXPECT_EQ(mixer_play_ambient(LONG, 100 + i, 1), 1);
  EXPECT_EQ(mixer_play_effect(SHORT, 200), 0);
  event_dispatch();
  EXPECT_EQ(g_events.size(), (size_t)MIXER_VOICES);
  for (auto& e : g_events) EXPECT_NE(e.second.tag, 200u);
  // A sound the cache cannot load is refused at once once its failure is known.
  AssetHandle h;
  asset_request_wait(&h, ASSET_SOUND, MISSING);
  mixer_stop_tag(100);
  settle();
  mix();
  EXPECT_EQ(mixer_play_effect(MISSING, 300), 0);
}

TEST_F(Mixer, StoppedLoopFadesWithinFiveMillisecondsThenFinishes) {
  ASSERT_EQ(mixer_play_ambient(LONG, 4, 1), 1);
  settle();
  mix();
  mixer_stop_tag(4);
  Samples out = mix();
  EXPECT_NE(out[0], 0);
  for (size_t i = 110; i < out.size(); i++) ASSERT_EQ(out[i], 0) << i;
  EXPECT_EQ(finished(LONG, 4), 1);
  EXPECT_FALSE(mixer_is_playing(LONG));
}

TEST_F(Mixer, PositionalGainFollowsTheDistance) {
  Samples source = samples_of(LONG);
  struct Case {
    const char* what;
    float x;
    float gain;
  } cases[] = {
      {"at near: full gain", 10.0f, 1.0f},
      {"between: 1 - d / far", 55.0f, 0.45f},
      {"at twice far: silent", 200.0f, 0.0f},
  };
  mixer_set_listener(1.0f, 2.0f, 3.0f);
  for (const Case& c : cases) {
    ASSERT_EQ(mixer_play_effect_at(LONG, 5, 1.0f + c.x, 2.0f, 3.0f, 10.0f, 100.0f), 1);
    settle();
    Samples out = mix();
    int32_t gain15 = (int32_t)lroundf(c.gain * 32768.0f);
    for (size_t i = 200; i < out.size(); i++)
      ASSERT_EQ(out[i], (int16_t)((source[i] * gain15) >> 15)) << c.what << " " << i;
    EXPECT_TRUE(mixer_is_playing(LONG)) << c.what;
    EXPECT_EQ(mixer_voice(0).position, 1024u) << c.what;
    mixer_stop_tag(5);
    mix();
  }
  // Near and far are raised to their minimums.
  ASSERT_EQ(mixer_play_ambient_at(LONG, 6, 1, 0, 0, 0, -5.0f, -1.0f), 1);
  EXPECT_FLOAT_EQ(mixer_voice(0).near_distance, 0.0001f);
  EXPECT_FLOAT_EQ(mixer_voice(0).far_distance, 0.0001f);
}

TEST_F(Mixer, DeactivationSilencesAndActivationRestores) {
  ASSERT_EQ(mixer_play_music(LONG, 7, 1), 1);
  settle();
  mix();
  event_post(EVENT_DEACTIVATE, nullptr, nullptr);
  event_dispatch();
  Samples out = mix();
  EXPECT_NE(out[0], 0);
  for (size_t i = 110; i < out.size(); i++) ASSERT_EQ(out[i], 0) << i;
  EXPECT_TRUE(mixer_is_playing(LONG));
  event_post(EVENT_ACTIVATE, nullptr, nullptr);
  event_dispatch();
  mix();
  out = mix();
  Samples source = samples_of(LONG);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], source[(3072 + i) % 5000]) << i;
}

TEST_F(Mixer, ReleaseLetsOneShotsEndAndStopsLoops) {
  Samples source = samples_of(LONG);
  ASSERT_EQ(mixer_play_effect(LONG, 1), 1);
  ASSERT_EQ(mixer_play_ambient(SHORT, 2, 1), 1);
  settle();
  mix();
  ASSERT_EQ(mixer_sound_count(), 2u);
  asset_release(ASSET_SOUND, LONG);
  asset_release(ASSET_SOUND, SHORT);
  event_dispatch();
  Samples out = mix();
  // The loop fades out over the first 110 samples; the one-shot plays on alone.
  for (size_t i = 110; i < out.size(); i++) ASSERT_EQ(out[i], source[1024 + i]) << "one-shot plays on " << i;
  EXPECT_EQ(finished(SHORT, 2), 1);
  EXPECT_EQ(mixer_sound_count(), 1u);  // the loop's copy is freed once it finished
  for (int i = 0; i < 3; i++) mix();
  EXPECT_EQ(finished(LONG, 1), 1);
  EXPECT_EQ(mixer_sound_count(), 0u);
  // Not playing: a release frees the copy at once.
  ASSERT_EQ(mixer_play_effect(SHORT, 3), 1);
  settle();
  mixer_stop_tag(3);
  mix();
  ASSERT_EQ(mixer_sound_count(), 1u);
  asset_release(ASSET_SOUND, SHORT);
  event_dispatch();
  EXPECT_EQ(mixer_sound_count(), 0u);
}

TEST_F(Mixer, VoicesThatCanNeverPlayFinish) {
  struct Case {
    const char* what;
    uint32_t sound;
    int loop;
    uint32_t buffers;  // mixed before it must have finished
  } cases[] = {
      {"failed load", MISSING, 1, 1},
      {"looping sound of no samples", EMPTY, 1, 1},
      {"one-shot of no samples", EMPTY, 0, 1},
      {"two-channel one-shot: silent, still ends", STEREO, 0, 2},
  };
  for (const Case& c : cases) {
    g_events.clear();
    ASSERT_EQ(mixer_play_ambient(c.sound, 8, c.loop), 1) << c.what;
    settle();
    for (uint32_t i = 0; i < c.buffers; i++) {
      Samples out = mix();
      for (size_t k = 0; k < out.size(); k++) ASSERT_EQ(out[k], 0) << c.what;
    }
    EXPECT_EQ(finished(c.sound, 8), 1) << c.what;
    EXPECT_FALSE(any_active()) << c.what;
  }
  // A looping two-channel sound advances and wraps like any other.
  ASSERT_EQ(mixer_play_ambient(STEREO, 9, 1), 1);
  settle();
  mix(), mix();
  EXPECT_EQ(mixer_voice(0).position, 48u);
}

TEST_F(Mixer, ASoundTheCacheAlreadyHoldsPlaysAtOnce) {
  Samples source = samples_of(LONG);  // loaded, and its event delivered before the mixer saw it
  mixer_stop();
  event_dispatch();
  mixer_start();
  for (auto set : {mixer_set_master_enabled, mixer_set_effect_enabled}) set(1);
  mixer_set_master_volume(1.0f);
  mixer_set_effect_volume(1.0f);
  ASSERT_EQ(mixer_play_effect(LONG, 1), 1);
  Samples out = mix();
  for (size_t i = 110; i < out.size(); i++) ASSERT_EQ(out[i], source[i]) << i;
}

TEST_F(Mixer, SettingsGateAndScaleEachCategory) {
  Samples source = samples_of(LONG);
  struct Case {
    const char* what;
    int master_enabled;
    float master;
    int effect_enabled;
    float effect;
    float gain;
  } cases[] = {
      {"all on", 1, 1.0f, 1, 1.0f, 1.0f},
      {"master off", 0, 1.0f, 1, 1.0f, 0.0f},
      {"category off", 1, 1.0f, 0, 1.0f, 0.0f},
      {"volumes multiply", 1, 0.5f, 1, 0.5f, 0.25f},
      {"volumes clamp to 1", 1, 7.0f, 1, 2.0f, 1.0f},
      {"not finite reads as 0", 1, NAN, 1, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    mixer_set_master_enabled(c.master_enabled);
    mixer_set_master_volume(c.master);
    mixer_set_effect_enabled(c.effect_enabled);
    mixer_set_effect_volume(c.effect);
    ASSERT_EQ(mixer_play_effect(LONG, 1), 1);
    settle();
    Samples out = mix();
    int32_t gain15 = (int32_t)lroundf(c.gain * 32768.0f);
    for (size_t i = 110; i < out.size(); i++)
      ASSERT_EQ(out[i], (int16_t)((source[i] * gain15) >> 15)) << c.what;
    mixer_set_master_enabled(1);
    mixer_set_effect_enabled(1);
    mixer_stop_tag(1);
    mix();
    ASSERT_FALSE(any_active());
  }
}

// The main thread starts, stops and dispatches while a mixing thread runs, fed by a third.
TEST_F(Mixer, ThreadsMeetOnlyThroughTheLock) {
  settle();
  std::atomic<int> running{1}, mixes{0}, requests{0};
  std::thread driver([&] {
    while (running) {
      requests++;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::thread mixing([&] {
    Samples out(256);
    int seen = 0;
    while (running) {
      if (requests.load() == seen) continue;
      seen = requests.load();
      std::fill(out.begin(), out.end(), 0);
      mixer_mix(out.data(), 256, 1, 22050);
      mixes++;
    }
  });
  for (int round = 0; round < 200; round++) {
    mixer_play_effect(SHORT, round);
    mixer_play_ambient(LONG, round, 1);
    if (round % 3 == 0) mixer_stop_tag(round - 1);
    if (round % 50 == 0) asset_release(ASSET_SOUND, SHORT);
    event_dispatch();
    mixer_is_playing(LONG);
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  for (int tag = 0; tag < 200; tag++) mixer_stop_tag(tag);
  EXPECT_TRUE(test_wait_until([&] { return !any_active(); }));
  running = 0;
  mixing.join();
  driver.join();
  EXPECT_GT(mixes.load(), 0);
  settle();
}

}  // namespace

namespace {

// The wave output on the null device: a third thread plays the sound card, completing
// buffers, while the main thread dispatches and the mixing thread refills.
class WaveOutNull : public Mixer {
 protected:
  void TearDown() override {
    waveout_stop();
    waveout_use_device(nullptr);
    Mixer::TearDown();
  }
};

TEST_F(WaveOutNull, BuffersPlayInOrderAndAFailedWriteIsRetriedUnmixed) {
  Samples source = samples_of(LONG);
  ASSERT_EQ(mixer_play_effect(LONG, 3), 1);
  settle();
  waveout_use_device(waveout_null_device());
  waveout_start();
  ASSERT_TRUE(waveout_running());
  ASSERT_TRUE(test_wait_until([] { return waveout_null_queued() == WAVEOUT_BUFFERS; }));
  waveout_null_fail_writes(2);
  Samples capture;
  std::atomic<int> done{0};
  std::thread card([&] {
    Samples buffer(WAVEOUT_BUFFER_SAMPLES);
    for (int i = 0; i < 7; i++) {
      if (!test_wait_until([] { return waveout_null_queued() == WAVEOUT_BUFFERS; })) break;
      ASSERT_EQ(waveout_null_complete(buffer.data()), WAVEOUT_BUFFER_SAMPLES);
      capture.insert(capture.end(), buffer.begin(), buffer.end());
    }
    done = 1;
  });
  while (!done) event_dispatch();
  card.join();
  ASSERT_EQ(capture.size(), 7u * WAVEOUT_BUFFER_SAMPLES);
  for (size_t i = 0; i < capture.size(); i++) {
    if (i >= 110 && i < 4890) {
      ASSERT_EQ(capture[i], source[i]) << i;
    } else if (i >= 5000) {
      ASSERT_EQ(capture[i], 0) << i;
    }
  }
  EXPECT_EQ(finished(LONG, 3), 1);
  waveout_stop();
  EXPECT_FALSE(waveout_running());
  EXPECT_EQ(waveout_null_queued(), 0u);
}

TEST_F(WaveOutNull, ADeviceThatWillNotOpenLeavesSoundOff) {
  static const WaveOut REFUSING = {[](WaveOutDone) { return 0; }, nullptr, nullptr};
  waveout_use_device(&REFUSING);
  waveout_start();
  EXPECT_FALSE(waveout_running());
  waveout_stop();
}

}  // namespace

namespace {

int g_world_exists;
uint32_t g_world_tag;
int fake_world(uint32_t* tag_out) {
  *tag_out = g_world_tag;
  return g_world_exists;
}

class MixerUiSound : public Mixer {
 protected:
  void SetUp() override {
    Mixer::SetUp();
    // Version 2 locale table: key 0x3D18E43D names sound SHORT, key 50 names no sound.
    std::vector<uint8_t> b;
    auto put = [&](uint32_t v) {
      for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
    };
    for (uint32_t v : {2u, 0xABCDu, 2u, 50u, 1u, 0u, 0x3D18E43Du, 1u, (uint32_t)SHORT}) put(v);
    ASSERT_EQ(locale_load_blob(b.data(), b.size(), 1), 1);
    sound_set_world_query(fake_world);
    g_world_exists = 1;
    g_world_tag = 2;
  }
  void TearDown() override {
    sound_set_world_query(nullptr);
    locale_unload();
    Mixer::TearDown();
  }
};

TEST_F(MixerUiSound, PlaysOnceOnlyInAWorldThatIsNotTheFirst) {
  EXPECT_EQ(play_ui_sound(0x3D18E43Du), 1);
  EXPECT_EQ(play_ui_sound(0x3D18E43Du), 0) << "already playing";
  EXPECT_TRUE(mixer_is_playing(SHORT));
  mixer_stop_tag(0);
  settle();
  mix();
  ASSERT_FALSE(mixer_is_playing(SHORT));
  struct Case {
    const char* what;
    int exists;
    uint32_t tag, key;
  } cases[] = {
      {"no world", 0, 2, 0x3D18E43Du},
      {"world tag 1", 1, 1, 0x3D18E43Du},
      {"key naming no sound", 1, 2, 50},
      {"unknown key", 1, 2, 51},
  };
  for (const Case& c : cases) {
    g_world_exists = c.exists;
    g_world_tag = c.tag;
    EXPECT_EQ(play_ui_sound(c.key), 0) << c.what;
    EXPECT_FALSE(any_active()) << c.what;
  }
  sound_set_world_query(nullptr);
  EXPECT_EQ(play_ui_sound(0x3D18E43Du), 0) << "no query installed";
}

}  // namespace
