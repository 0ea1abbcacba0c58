// The sound decoder: the header it accepts and refuses, the converted samples against files
// written by sox and samples computed by numpy or by sox itself, and the output count.
#include "assets/sound.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/test_wav.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}

SoundObject* decode(const Bytes& b) { return sound_decode(b.data(), (uint32_t)b.size()); }

std::vector<int16_t> ramp(size_t n) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; i++) s[i] = (int16_t)(i * 37 - 20000);
  return s;
}

TEST(SoundDecode, RefusesEveryWrongHeaderField) {
  const Bytes good = test_wav(1, 22050, ramp(10));
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
  } cases[] = {
      {"RIFF tag", [](Bytes& b) { b[0] = 'X'; }},
      {"chunk size one less than length - 8", [](Bytes& b) { put32(b, 4, (uint32_t)b.size() - 9); }},
      {"chunk size one more", [](Bytes& b) { put32(b, 4, (uint32_t)b.size() - 7); }},
      {"WAVE tag", [](Bytes& b) { b[11] = 'X'; }},
      {"fmt tag", [](Bytes& b) { b[15] = 'X'; }},
      {"format size 18", [](Bytes& b) { put32(b, 16, 18); }},
      {"no channels", [](Bytes& b) { put16(b, 22, 0); }},
      {"three channels", [](Bytes& b) { put16(b, 22, 3); }},
      {"rate 12000", [](Bytes& b) { put32(b, 24, 12000); }},
      {"rate 0", [](Bytes& b) { put32(b, 24, 0); }},
      {"byte rate", [](Bytes& b) { put32(b, 28, 44101); }},
      {"block align", [](Bytes& b) { put16(b, 32, 4); }},
      {"8 bits", [](Bytes& b) { put16(b, 34, 8); }},
      {"24 bits", [](Bytes& b) { put16(b, 34, 24); }},
      {"data tag", [](Bytes& b) { b[36] = 'X'; }},
      {"data size short of the end", [](Bytes& b) { put32(b, 40, (uint32_t)b.size() - 46); }},
      {"data size past the end", [](Bytes& b) { put32(b, 40, (uint32_t)b.size() - 42); }},
      {"trailing byte", [](Bytes& b) { b.push_back(0), put32(b, 4, (uint32_t)b.size() - 8); }},
      {"shorter than the header", [](Bytes& b) { b.resize(43); }},
  };
  SoundObject* accepted = decode(good);
  ASSERT_NE(accepted, nullptr);
  sound_destroy(accepted);
  for (const Case& c : cases) {
    Bytes b = good;
    c.change(b);
    SoundObject* sound = decode(b);
    EXPECT_EQ(sound, nullptr) << c.what;
    sound_destroy(sound);
  }
  // Consistent 8- and 24-bit files (byte rate and align agreeing) are refused too.
  for (uint32_t bits : {8u, 24u}) {
    Bytes b = good;
    put32(b, 28, bits * 22050 / 8);
    put16(b, 32, bits / 8);
    put16(b, 34, bits);
    EXPECT_EQ(decode(b), nullptr) << bits;
  }
  EXPECT_EQ(sound_decode(nullptr, 100), nullptr);
}

TEST(SoundDecode, ConvertsToTheCommonForm) {
  struct Case {
    const char* what;
    Bytes file;
    std::vector<int16_t> expected;
  };
  std::vector<int16_t> source = ramp(4410), every_second;
  for (size_t i = 0; i < source.size(); i += 2) every_second.push_back(source[i]);
  std::vector<Case> cases = {
      {"22050 mono is identical", test_wav(1, 22050, ramp(300)), ramp(300)},
      {"44100 mono keeps every second frame", test_wav(1, 44100, source), every_second},
      {"stereo folds (1000, -1000) to 0",
       test_wav(2, 22050, {1000, -1000, -7, 0, 32767, 32767}),
       {0, -4, 32767}},
      {"no frames", test_wav(1, 44100, {}), {}},
      {"a stray last byte is ignored",
       [] {
         Bytes b = test_wav(1, 22050, {5, 6});
         b.push_back(9);
         put32(b, 4, (uint32_t)b.size() - 8);
         put32(b, 40, (uint32_t)b.size() - 44);
         return b;
       }(),
       {5, 6}},
      // 11025 Hz: half steps, so each odd output is the floor of the average of two frames.
      {"11025 interpolates with arithmetic shifts",
       test_wav(1, 11025, {-3, 0, 100}),
       {-3, -2, 0, 50, 100, 100}},
  };
  for (const Case& c : cases) {
    SoundObject* sound = decode(c.file);
    ASSERT_NE(sound, nullptr) << c.what;
    EXPECT_EQ(sound->channels, 1u);
    EXPECT_EQ(sound->rate, 22050u);
    EXPECT_EQ(sound->bits, 16u);
    EXPECT_EQ(sound->reserved, 0u);
    EXPECT_EQ(sound->playable_count, sound->sample_count);
    std::vector<int16_t> got(sound->samples, sound->samples + sound->sample_count);
    EXPECT_EQ(got, c.expected) << c.what;
    sound_destroy(sound);
  }
}

TEST(SoundDecode, OutputCountIsTheExactQuotient) {
  for (uint32_t rate : {8000u, 11025u, 16000u, 22050u, 44100u, 48000u})
    for (uint64_t multiple : {1ull, 7ull, 1000ull, 97391ull})
      for (int64_t offset : {-1, 0, 1}) {
        uint64_t frames = multiple * rate + offset;
        unsigned __int128 exact = (unsigned __int128)frames * 22050 / rate;
        EXPECT_EQ(sound_output_count(frames, rate), (uint64_t)exact) << rate << " " << frames;
      }
}

// ---- Files written by sox; expected samples from numpy or from sox ----

class SoundReference : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir("ostrevane_sound");
    std::string command = std::string("/usr/bin/python3 ") + OSTREVANE_SOURCE_DIR +
                          "/src/assets/testdata/sound_fixtures.py " + dir_->path + " 2>&1";
    ok_ = system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (ok_) return;
    const char* ci = getenv("CI");
    if (ci && strcmp(ci, "true") == 0) FAIL() << "sox and python3-numpy are required";
    GTEST_SKIP() << "sox or python3-numpy missing";
  }
  static TestTempDir* dir_;
  static bool ok_;
};
TestTempDir* SoundReference::dir_;
bool SoundReference::ok_;

TEST_F(SoundReference, MatchesEveryFixture) {
  std::ifstream manifest(dir_->path + "/manifest");
  std::string name;
  int tolerance = 0, checked = 0;
  while (manifest >> name >> tolerance) {
    std::string file = test_read_file((*dir_) / (name + ".wav"));
    std::string raw = test_read_file((*dir_) / (name + ".raw"));
    SoundObject* sound = sound_decode((const uint8_t*)file.data(), (uint32_t)file.size());
    ASSERT_NE(sound, nullptr) << name;
    ASSERT_EQ(sound->sample_count * 2, raw.size()) << name;
    int worst = 0;
    for (uint32_t i = 0; i < sound->sample_count; i++) {
      int16_t want;
      memcpy(&want, raw.data() + 2 * i, 2);
      int difference = std::abs(sound->samples[i] - want);
      if (difference > worst) worst = difference;
    }
    EXPECT_LE(worst, tolerance) << name;
    sound_destroy(sound);
    checked++;
  }
  EXPECT_GE(checked, 38);
}

}  // namespace
