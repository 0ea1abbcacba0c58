#include "settings/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "settings/keys.h"

namespace {

std::string make_temp_dir() { return test_make_temp_dir("settings_test"); }

void write_file(const std::string& path, const std::string& bytes) { test_write_file(path, bytes); }

std::string read_file(const std::string& path) { return test_read_file(path); }

bool is_dir(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void remove_tree(const std::string& path) {
  std::string command = "rm -rf '" + path + "'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << command;
}

// A test's own settings folder; every test leaves the module with nothing loaded.
struct SettingsTest : testing::Test {
  std::string dir;
  void SetUp() override {
    settings_close();
    settings_set_locale_lookup(nullptr);
    dir = make_temp_dir();
  }
  void TearDown() override {
    settings_close();
    settings_set_locale_lookup(nullptr);
    remove_tree(dir);
  }
  int files = 0;
  // Loads a new file holding text (a new name each time: loading saves the previous
  // document over its own file).
  void load_settings(const std::string& text) {
    std::string path = dir + "/settings" + std::to_string(files++) + ".ini";
    write_file(path, text);
    settings_load(path.c_str());
  }
  void load_profile(const std::string& text) {
    std::string path = dir + "/profile" + std::to_string(files++) + ".ini";
    write_file(path, text);
    profile_load(path.c_str());
  }
};

// Points the platform's per-user data folder at a folder of the test's and puts it back.
struct DataHome {
  std::string saved_xdg, saved_home;
  bool had_xdg, had_home;
  explicit DataHome(const char* xdg, const char* home = nullptr, bool keep_home = true) {
    const char* x = getenv("XDG_DATA_HOME");
    const char* h = getenv("HOME");
    had_xdg = x != nullptr;
    had_home = h != nullptr;
    if (x) saved_xdg = x;
    if (h) saved_home = h;
    if (xdg)
      setenv("XDG_DATA_HOME", xdg, 1);
    else
      unsetenv("XDG_DATA_HOME");
    if (home)
      setenv("HOME", home, 1);
    else if (!keep_home)
      unsetenv("HOME");
  }
  ~DataHome() {
    if (had_xdg)
      setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    if (had_home)
      setenv("HOME", saved_home.c_str(), 1);
    else
      unsetenv("HOME");
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Reading keys: defaults and range rules, one table per key class

TEST_F(SettingsTest, IntKeysApplyTheirRanges) {
  struct Case {
    const char* file;
    int (*get)();
    int expected;
    const char* why;
  } cases[] = {
      {"", setting_rendering_backend, 0, "missing"},
      {"[Rendering]\nRENDERING_BACKEND=2", setting_rendering_backend, 2, "in range"},
      {"[Rendering]\nRENDERING_BACKEND=7", setting_rendering_backend, 0, "outside: the default"},
      {"[Rendering]\nRENDERING_BACKEND=-1", setting_rendering_backend, 0, "negative: the default"},
      {"[Rendering]\nRENDERING_BACKEND=opengl", setting_rendering_backend, 0, "garbage reads 0"},
      {"[Rendering]\nCLIP_DISTANCE=-3", setting_clip_distance, 0, "clamped low"},
      {"[Rendering]\nCLIP_DISTANCE=12", setting_clip_distance, 9, "clamped high"},
      {"[Rendering]\nCLIP_DISTANCE=4", setting_clip_distance, 4, "in range"},
      {"", setting_display_width, 640, "missing"},
      {"", setting_display_height, 480, "missing"},
      {"[Display]\nDISPLAY_WIDTH=100", setting_display_width, 100, "no range here"},
      {"[Display]\nDISPLAY_WIDTH=1920px", setting_display_width, 1920, "leading digits"},
      {"", setting_display_bitdepth, 0, "missing"},
      {"", setting_display_refresh_rate, 0, "missing"},
      {"", setting_display_mode, 1, "missing"},
      {"[Display]\nDISPLAY_MODE=0", setting_display_mode, 0, "windowed"},
      {"[Display]\nDISPLAY_MODE=2", setting_display_mode, 2, "borderless"},
      {"[Display]\nDISPLAY_MODE=5", setting_display_mode, 1, "outside: the default"},
      {"", setting_display_monitor, -1, "missing"},
      {"[Display]\nDISPLAY_MONITOR=-7", setting_display_monitor, -7, "no range"},
      {"", setting_master_volume, 50, "missing"},
      {"[Sound]\nMASTER_VOLUME=150", setting_master_volume, 100, "clamped high"},
      {"[Sound]\nMASTER_VOLUME=-5", setting_master_volume, 0, "clamped low"},
      {"[Sound]\nMASTER_VOLUME=99999999999", setting_master_volume, 100, "64-bit text clamps, no wrap"},
      {"", setting_music_volume, 100, "missing"},
      {"[Sound]\nMUSIC_VOLUME=101", setting_music_volume, 100, "clamped"},
      {"", setting_ambient_volume, 100, "missing"},
      {"[Sound]\nAMBIENT_VOLUME=0", setting_ambient_volume, 0, "edge"},
      {"", setting_effect_volume, 100, "missing"},
      {"[Sound]\nEFFECT_VOLUME=nan", setting_effect_volume, 0, "garbage reads 0"},
      {"", setting_port, 3550, "missing"},
      {"[Network]\nPORT=4000", setting_port, 4000, "in range"},
      {"[Network]\nPORT=0", setting_port, 3550, "zero: the default"},
      {"[Network]\nPORT=70000", setting_port, 3550, "above 65535: the default"},
      {"[Network]\nPORT=-1", setting_port, 3550, "negative: the default"},
      {"[Network]\nPORT=4294971296", setting_port, 3550, "2^32 + 4000: clamped, not wrapped to 4000"},
      {"[Network]\nPORT=x", setting_port, 3550, "garbage: 0, so the default"},
      {"[Display]\nDISPLAY_WIDTH=800", setting_display_width, 800, "section matters"},
      {"[Sound]\nDISPLAY_WIDTH=800", setting_display_width, 640, "wrong section"},
  };
  for (const Case& c : cases) {
    load_settings(c.file);
    EXPECT_EQ(c.get(), c.expected) << c.file << " (" << c.why << ")";
  }
}

TEST_F(SettingsTest, BoolKeysAndTheGlideOverrides) {
  struct Case {
    const char* file;
    int (*get)();
    int expected;
  } cases[] = {
      {"", setting_software_cursor, 1},
      {"", setting_detailed_sky, 1},
      {"", setting_dynamic_lights, 1},
      {"", setting_low_detail_textures, 0},
      {"", setting_texture_mipmaps, 1},
      {"", setting_anisotropic_filtering, 1},
      {"", setting_trilinear_filtering, 1},
      {"", setting_smooth_terrain, 1},
      {"", setting_display_vsync, 0},
      {"", setting_master_enabled, 0},
      {"", setting_music_enabled, 0},
      {"", setting_ambient_enabled, 0},
      {"", setting_effect_enabled, 0},
      {"", setting_music_loop, 1},
      {"", setting_sound_at_character, 0},
      {"[Rendering]\nDETAILED_SKY=0", setting_detailed_sky, 0},     // a hand-added 0 is honoured
      {"[Rendering]\nDETAILED_SKY=true", setting_detailed_sky, 0},  // not a number: 0
      {"[Rendering]\nDETAILED_SKY=0x1", setting_detailed_sky, 0},
      {"[Rendering]\nDETAILED_SKY=7", setting_detailed_sky, 1},
      {"[Rendering]\nDETAILED_SKY=4294967296", setting_detailed_sky, 1},  // 2^32 is not 0
      {"[Sound]\nMASTER_ENABLED=1", setting_master_enabled, 1},
      // Backend 1 forces the software cursor and full screen, whatever is stored.
      {"[Rendering]\nRENDERING_BACKEND=1\nSOFTWARE_CURSOR=0", setting_software_cursor, 1},
      {"[Rendering]\nRENDERING_BACKEND=1\n[Display]\nDISPLAY_MODE=0", setting_display_mode, 1},
      {"[Rendering]\nRENDERING_BACKEND=1\n[Display]\nDISPLAY_MODE=2", setting_display_mode, 1},
      {"[Rendering]\nRENDERING_BACKEND=2\nSOFTWARE_CURSOR=0", setting_software_cursor, 0},
      {"[Rendering]\nRENDERING_BACKEND=2\n[Display]\nDISPLAY_MODE=0", setting_display_mode, 0},
      {"[Rendering]\nRENDERING_BACKEND=0\nSOFTWARE_CURSOR=0", setting_software_cursor, 0},
  };
  for (const Case& c : cases) {
    load_settings(c.file);
    EXPECT_EQ(c.get(), c.expected) << c.file;
  }
}

TEST_F(SettingsTest, FloatKeysClampAndRejectNonFinite) {
  struct Case {
    const char* file;
    bool profile;
    float (*get)();
    float expected;
  } cases[] = {
      {"", false, setting_mouse_sensitivity, 1.0f},
      {"[Input]\nMOUSE_SENSITIVITY=0.1", false, setting_mouse_sensitivity, 0.25f},
      {"[Input]\nMOUSE_SENSITIVITY=9", false, setting_mouse_sensitivity, 1.75f},
      {"[Input]\nMOUSE_SENSITIVITY=1.5", false, setting_mouse_sensitivity, 1.5f},
      {"[Input]\nMOUSE_SENSITIVITY=nan", false, setting_mouse_sensitivity, 1.0f},
      {"[Input]\nMOUSE_SENSITIVITY=-inf", false, setting_mouse_sensitivity, 1.0f},
      {"[Input]\nMOUSE_SENSITIVITY=1e300", false, setting_mouse_sensitivity, 1.0f},  // inf as float
      {"[Input]\nMOUSE_SENSITIVITY=fast", false, setting_mouse_sensitivity, 0.25f},  // 0, clamped
      {"", true, setting_mouse_look_speed, 0.3f},
      {"[Input]\nMOUSE_LOOK_SPEED=1", true, setting_mouse_look_speed, 0.5f},
      {"[Input]\nMOUSE_LOOK_SPEED=0.05", true, setting_mouse_look_speed, 0.1f},
      {"[Input]\nMOUSE_LOOK_SPEED=NaN", true, setting_mouse_look_speed, 0.3f},
      {"[Input]\nMOUSE_LOOK_SPEED=0.2", true, setting_mouse_look_speed, 0.2f},
  };
  for (const Case& c : cases) {
    if (c.profile)
      load_profile(c.file);
    else
      load_settings(c.file);
    EXPECT_EQ(c.get(), c.expected) << c.file;
  }
}

TEST_F(SettingsTest, ProfileKeys) {
  struct Case {
    const char* file;
    int (*get)();
    int expected;
  } cases[] = {
      {"", setting_show_target_indicator, 1},
      {"", setting_show_own_healthbar, 0},
      {"", setting_show_healthbars, 1},
      {"", setting_allow_trades, 1},
      {"", setting_confirm_drop, 1},
      {"", setting_combat_text, 1},
      {"", setting_chat_lines, 5},
      {"", setting_invert_mouse_x, 0},
      {"", setting_invert_mouse_y, 0},
      {"[General]\nCHAT_LINES=12", setting_chat_lines, 12},
      {"[Input]\nINVERT_MOUSE_Y=1", setting_invert_mouse_y, 1},
  };
  for (const Case& c : cases) {
    load_profile(c.file);
    EXPECT_EQ(c.get(), c.expected) << c.file;
  }
}

TEST_F(SettingsTest, NothingLoadedGivesDefaultsAndRefusesSetters) {
  EXPECT_EQ(settings_document(), nullptr);
  EXPECT_EQ(setting_display_width(), 640);
  EXPECT_EQ(setting_display_mode(), 1);
  EXPECT_EQ(setting_master_volume(), 50);
  EXPECT_EQ(setting_port(), 3550);
  EXPECT_EQ(setting_mouse_sensitivity(), 1.0f);
  EXPECT_EQ(setting_chat_lines(), 5);
  EXPECT_EQ(setting_mouse_look_speed(), 0.3f);
  EXPECT_EQ(setting_account(), nullptr);
  EXPECT_EQ(setting_host(), nullptr);
  EXPECT_EQ(setting_set_master_volume(10), 0);
  EXPECT_EQ(setting_set_account("a"), 0);
  EXPECT_EQ(setting_set_chat_lines(3), 0);
  EXPECT_EQ(settings_save(), 0);
  EXPECT_EQ(profile_save(), 0);
  EXPECT_EQ(binding_text("KB_MOVE_FORWARD"), nullptr);
  EXPECT_EQ(set_binding_text("KB_MOVE_FORWARD", "1,2,3,4"), 0);
  EXPECT_EQ(macro_text("MACRO_1"), nullptr);
  EXPECT_EQ(set_macro_text("MACRO_1", "/wave"), 0);
}

TEST_F(SettingsTest, StringKeysAndTheHostFromTheLocale) {
  load_settings("[General]\nACCOUNT=alice\n");
  EXPECT_STREQ(setting_account(), "alice");
  EXPECT_STREQ(setting_host(), "");  // no locale lookup yet
  static std::string locale_text;
  settings_set_locale_lookup([](uint32_t key) -> const char* {
    return key == SETTINGS_HOST_LOCALE_KEY ? locale_text.c_str() : "wrong key";
  });
  locale_text = "127.0.0.1";
  EXPECT_STREQ(setting_host(), "127.0.0.1");
  locale_text = std::string(127, 'h');
  EXPECT_EQ(std::string(setting_host()), locale_text);
  locale_text = std::string(128, 'h');
  EXPECT_STREQ(setting_host(), "");  // too long for the host field
  settings_set_locale_lookup([](uint32_t) -> const char* { return nullptr; });
  EXPECT_STREQ(setting_host(), "");
  load_settings("[Network]\nHOST=game.example\n");
  EXPECT_STREQ(setting_host(), "game.example");  // a stored host wins
  load_settings("");
  EXPECT_EQ(setting_account(), nullptr);  // no default account
}

// ---------------------------------------------------------------------------------------
// Setters and the file

TEST_F(SettingsTest, OutOfRangeValuesStayInTheFileUntilSet) {
  std::string path = dir + "/settings.ini";
  const std::string text = "[Sound]\nMASTER_VOLUME=150\n; mine\nUNKNOWN=1\n";
  write_file(path, text);
  settings_load(path.c_str());
  EXPECT_EQ(setting_master_volume(), 100);
  EXPECT_EQ(settings_save(), 1);
  EXPECT_EQ(read_file(path), text);  // nothing added, nothing corrected
  EXPECT_EQ(setting_set_master_volume(80), 1);
  EXPECT_EQ(setting_set_mouse_sensitivity(1.25f), 1);
  EXPECT_EQ(setting_set_account(" spaced "), 1);
  EXPECT_EQ(setting_set_account("bad\nname"), 0);
  settings_close();
  EXPECT_EQ(read_file(path),
            "[Sound]\nMASTER_VOLUME=80\n; mine\nUNKNOWN=1\n\n[General]\nACCOUNT=' spaced '\n\n[Input]\n"
            "MOUSE_SENSITIVITY=1.250000\n");
  settings_load(path.c_str());
  EXPECT_STREQ(setting_account(), " spaced ");
  EXPECT_EQ(setting_mouse_sensitivity(), 1.25f);
}

TEST_F(SettingsTest, EverySetterStoresItsKey) {
  struct Case {
    int (*set)();
    int (*get)();
    int expected;
  } cases[] = {
      {[] { return setting_set_dynamic_lights(0); }, setting_dynamic_lights, 0},
      {[] { return setting_set_low_detail_textures(1); }, setting_low_detail_textures, 1},
      {[] { return setting_set_texture_mipmaps(0); }, setting_texture_mipmaps, 0},
      {[] { return setting_set_anisotropic_filtering(0); }, setting_anisotropic_filtering, 0},
      {[] { return setting_set_smooth_terrain(0); }, setting_smooth_terrain, 0},
      {[] { return setting_set_clip_distance(3); }, setting_clip_distance, 3},
      {[] { return setting_set_master_enabled(1); }, setting_master_enabled, 1},
      {[] { return setting_set_music_enabled(1); }, setting_music_enabled, 1},
      {[] { return setting_set_ambient_enabled(1); }, setting_ambient_enabled, 1},
      {[] { return setting_set_effect_enabled(1); }, setting_effect_enabled, 1},
      {[] { return setting_set_music_loop(0); }, setting_music_loop, 0},
      {[] { return setting_set_sound_at_character(1); }, setting_sound_at_character, 1},
      {[] { return setting_set_master_volume(11); }, setting_master_volume, 11},
      {[] { return setting_set_music_volume(12); }, setting_music_volume, 12},
      {[] { return setting_set_ambient_volume(13); }, setting_ambient_volume, 13},
      {[] { return setting_set_effect_volume(14); }, setting_effect_volume, 14},
      {[] { return setting_set_show_target_indicator(0); }, setting_show_target_indicator, 0},
      {[] { return setting_set_show_own_healthbar(1); }, setting_show_own_healthbar, 1},
      {[] { return setting_set_show_healthbars(0); }, setting_show_healthbars, 0},
      {[] { return setting_set_allow_trades(0); }, setting_allow_trades, 0},
      {[] { return setting_set_confirm_drop(0); }, setting_confirm_drop, 0},
      {[] { return setting_set_combat_text(0); }, setting_combat_text, 0},
      {[] { return setting_set_chat_lines(9); }, setting_chat_lines, 9},
      {[] { return setting_set_invert_mouse_x(1); }, setting_invert_mouse_x, 1},
      {[] { return setting_set_invert_mouse_y(1); }, setting_invert_mouse_y, 1},
  };
  std::string settings = dir + "/s.ini", profile = dir + "/p.ini";
  settings_load(settings.c_str());
  profile_load(profile.c_str());
  for (const Case& c : cases) EXPECT_EQ(c.set(), 1);
  EXPECT_EQ(setting_set_mouse_look_speed(0.45f), 1);
  ASSERT_EQ(settings_save(), 1);
  ASSERT_EQ(profile_save(), 1);
  settings_close();  // also releases the profile
  settings_load(settings.c_str());
  profile_load(profile.c_str());
  for (const Case& c : cases) EXPECT_EQ(c.get(), c.expected);  // read back from the files
  EXPECT_EQ(setting_mouse_look_speed(), 0.45f);
}

// ---------------------------------------------------------------------------------------
// First run and the files that must not be lost

TEST_F(SettingsTest, FirstRunDocument) {
  std::string path = dir + "/settings.ini";
  settings_load(path.c_str());
  EXPECT_FALSE(exists(path));  // written only when saved
  // The client runs on defaults: sound off, 640 x 480 full screen, OpenGL.
  EXPECT_EQ(setting_rendering_backend(), 0);
  EXPECT_EQ(setting_display_mode(), 1);
  EXPECT_EQ(setting_master_enabled(), 0);
  EXPECT_STREQ(setting_account(), "");
  settings_close();
  // Sections and keys in hash-slot order (FNV-1a, 32 slots, linear probing), worked out by
  // an independent simulation of the map.
  EXPECT_EQ(
      read_file(path),
      "\n[General]\nACCOUNT=\n"
      "\n[Rendering]\nTRILINEAR_FILTERING=1\nLOW_DETAIL_TEXTURES=0\nTEXTURE_MIPMAPS=1\nSOFTWARE_CURSOR=1\n"
      "CLIP_DISTANCE=0\nANISOTROPIC_FILTERING=1\nRENDERING_BACKEND=0\n"
      "\n[Sound]\nEFFECT_VOLUME=100\nMASTER_ENABLED=0\nAMBIENT_ENABLED=0\nMASTER_VOLUME=50\nMUSIC_ENABLED=0\n"
      "EFFECT_ENABLED=0\nSOUND_AT_CHARACTER=0\nMUSIC_VOLUME=100\nAMBIENT_VOLUME=100\nMUSIC_LOOP=1\n"
      "\n[Display]\nDISPLAY_MODE=1\nDISPLAY_REFRESH_RATE=0\nDISPLAY_BITDEPTH=0\nDISPLAY_VSYNC=0\n"
      "DISPLAY_HEIGHT=480\nDISPLAY_WIDTH=640\n"
      "\n[Input]\nMOUSE_SENSITIVITY=1.000000\n");
  // The keys the first-run document leaves out are still answered with their defaults.
  settings_load(path.c_str());
  EXPECT_EQ(setting_detailed_sky(), 1);
  EXPECT_EQ(setting_port(), 3550);
  EXPECT_EQ(setting_display_monitor(), -1);
}

TEST_F(SettingsTest, FirstRunKeysFollowTheirTable) {
  // The list's order is fixed; every key in it belongs to settings.ini.
  const char* expected[] = {"RENDERING_BACKEND",
                            "ACCOUNT",
                            "SOFTWARE_CURSOR",
                            "DISPLAY_WIDTH",
                            "DISPLAY_HEIGHT",
                            "DISPLAY_BITDEPTH",
                            "DISPLAY_REFRESH_RATE",
                            "DISPLAY_MODE",
                            "DISPLAY_VSYNC",
                            "CLIP_DISTANCE",
                            "LOW_DETAIL_TEXTURES",
                            "TEXTURE_MIPMAPS",
                            "ANISOTROPIC_FILTERING",
                            "TRILINEAR_FILTERING",
                            "MASTER_ENABLED",
                            "MUSIC_ENABLED",
                            "AMBIENT_ENABLED",
                            "EFFECT_ENABLED",
                            "MUSIC_LOOP",
                            "SOUND_AT_CHARACTER",
                            "MASTER_VOLUME",
                            "MUSIC_VOLUME",
                            "AMBIENT_VOLUME",
                            "EFFECT_VOLUME",
                            "MOUSE_SENSITIVITY"};
  ASSERT_EQ(SETTINGS_FIRST_RUN_COUNT, (int)(sizeof expected / sizeof expected[0]));
  for (int i = 0; i < SETTINGS_FIRST_RUN_COUNT; i++) {
    EXPECT_STREQ(SETTING_KEYS[SETTINGS_FIRST_RUN[i]].name, expected[i]);
    EXPECT_EQ(SETTING_KEYS[SETTINGS_FIRST_RUN[i]].document, SETTING_IN_SETTINGS);
  }
  for (int i = 0; i < PROFILE_FIRST_RUN_COUNT; i++)
    EXPECT_EQ(SETTING_KEYS[PROFILE_FIRST_RUN[i]].document, SETTING_IN_PROFILE);
  // A first run under backend 1 would write the forced values: the rule says so.
  EXPECT_EQ(setting_rule_int(SETTING_SOFTWARE_CURSOR, 0, 1), 1);
  EXPECT_EQ(setting_rule_int(SETTING_DISPLAY_MODE, 0, 1), 1);
  EXPECT_EQ(setting_rule_int(SETTING_DISPLAY_MODE, 0, 0), 0);
}

TEST_F(SettingsTest, UnreadableExistingFileIsNeverOverwritten) {
  // The file exists but cannot be read when the client starts (a link to itself here; a file
  // locked by another program elsewhere). By exit it has become readable again.
  std::string path = dir + "/settings.ini";
  ASSERT_EQ(symlink("settings.ini", path.c_str()), 0);
  settings_load(path.c_str());
  EXPECT_EQ(setting_display_width(), 640);  // the client still runs, on defaults
  EXPECT_EQ(setting_set_master_volume(5), 1);
  unlink(path.c_str());
  write_file(path, "[Display]\nDISPLAY_WIDTH=1280\n");
  EXPECT_EQ(settings_save(), 0);
  settings_close();
  EXPECT_EQ(read_file(path), "[Display]\nDISPLAY_WIDTH=1280\n");

  // A missing file is created.
  std::string fresh = dir + "/fresh.ini";
  settings_load(fresh.c_str());
  EXPECT_EQ(settings_save(), 1);
  EXPECT_TRUE(exists(fresh));
}

TEST_F(SettingsTest, LoadingAgainSavesTheFirstDocument) {
  std::string a = dir + "/a.ini", b = dir + "/b.ini";
  settings_load(a.c_str());
  setting_set_clip_distance(6);
  settings_load(b.c_str());
  EXPECT_NE(read_file(a).find("CLIP_DISTANCE=6\n"), std::string::npos);
  EXPECT_EQ(setting_clip_distance(), 0);
  EXPECT_STREQ(settings_path(), b.c_str());
  // Reloading from the module's own path buffer: saved, then read back from the same file.
  setting_set_clip_distance(7);
  settings_load(settings_path());
  EXPECT_STREQ(settings_path(), b.c_str());
  EXPECT_EQ(setting_clip_distance(), 7);
  std::string p = dir + "/p.ini";
  profile_load(p.c_str());
  camera_set_pitch(3.5f);
  profile_load(profile_file());
  EXPECT_STREQ(profile_file(), p.c_str());
  EXPECT_EQ(camera_pitch(), 3.5f);
}

TEST_F(SettingsTest, OverlongPathNeverLoadsOrSaves) {
  std::string path = dir + "/" + std::string(300, 'x') + ".ini";
  settings_load(path.c_str());
  EXPECT_STREQ(settings_path(), "");
  EXPECT_EQ(setting_display_width(), 640);
  EXPECT_EQ(settings_save(), 0);
}

// ---------------------------------------------------------------------------------------
// Profiles, camera values, bindings and macros

TEST_F(SettingsTest, ProfileFirstLoadAndCameraValues) {
  std::string first = dir + "/first.ini", second = dir + "/second.ini";
  profile_load(first.c_str());
  EXPECT_EQ(camera_pitch(), 0.0f);
  EXPECT_EQ(camera_distance(), 0.0f);
  camera_set_pitch(-12.5f);
  camera_set_distance(30.25f);
  EXPECT_FALSE(exists(first));   // camera changes alone do not write
  profile_load(second.c_str());  // saves the camera values into the first profile
  std::string text = read_file(first);
  for (const char* line : {"SHOW_TARGET_INDICATOR=1\n", "SHOW_OWN_HEALTHBAR=0\n", "SHOW_HEALTHBARS=1\n",
                           "ALLOW_TRADES=1\n", "CONFIRM_DROP=1\n", "COMBAT_TEXT=1\n", "INVERT_MOUSE_X=0\n",
                           "INVERT_MOUSE_Y=0\n", "MOUSE_LOOK_SPEED=0.300000\n", "CHAT_LINES=5\n",
                           "[Camera]\n", "PITCH=-12.500000\n", "DISTANCE=30.250000\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(camera_pitch(), 0.0f);  // the second profile has none
  profile_load(first.c_str());
  EXPECT_EQ(camera_pitch(), -12.5f);
  EXPECT_EQ(camera_distance(), 30.25f);
  EXPECT_STREQ(profile_file(), first.c_str());
}

TEST_F(SettingsTest, NonFiniteCameraValuesReadAsZero) {
  load_profile("[Camera]\nPITCH=nan\nDISTANCE=inf\n");
  EXPECT_EQ(camera_pitch(), 0.0f);
  EXPECT_EQ(camera_distance(), 0.0f);
  load_profile("[Camera]\nPITCH=45.5\nDISTANCE=-inf\n");
  EXPECT_EQ(camera_pitch(), 45.5f);
  EXPECT_EQ(camera_distance(), 0.0f);
}

TEST_F(SettingsTest, BindingsAndMacrosLiveInTheProfile) {
  std::string path = dir + "/p.ini";
  profile_load(path.c_str());
  EXPECT_EQ(binding_text("KB_MOVE_FORWARD"), nullptr);
  EXPECT_EQ(set_binding_text("KB_MOVE_FORWARD", "58,0,0,0"), 1);
  EXPECT_EQ(set_binding_text(nullptr, "1"), 0);
  EXPECT_EQ(binding_text(nullptr), nullptr);
  EXPECT_EQ(set_macro_text("MACRO_3", "/say \"hi\""), 1);
  EXPECT_EQ(set_macro_text("MACRO_4", "two\nlines"), 0);  // would inject a key line
  ASSERT_EQ(profile_save(), 1);
  settings_close();
  profile_load(path.c_str());
  EXPECT_STREQ(binding_text("KB_MOVE_FORWARD"), "58,0,0,0");
  EXPECT_STREQ(macro_text("MACRO_3"), "/say \"hi\"");  // quotes survive the round trip
  EXPECT_EQ(macro_text("MACRO_4"), nullptr);
  EXPECT_NE(read_file(path).find("\n[Keybinding]\nKB_MOVE_FORWARD=58,0,0,0\n"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// Paths

TEST_F(SettingsTest, UserFolderAndCreatedFolders) {
  DataHome home(dir.c_str());
  EXPECT_EQ(std::string(settings_user_folder()), dir + "/Ostrevane");
  EXPECT_EQ(std::string(settings_default_path()), dir + "/Ostrevane/settings.ini");
  EXPECT_TRUE(is_dir(dir + "/Ostrevane"));
  EXPECT_EQ(std::string(settings_screenshot_dir()), dir + "/Ostrevane/screenshots");
  EXPECT_TRUE(is_dir(dir + "/Ostrevane/screenshots"));
  EXPECT_EQ(std::string(settings_profile_path("Summary", "Hero")), dir + "/Ostrevane/conf/Summary/Hero.ini");
  EXPECT_TRUE(is_dir(dir + "/Ostrevane/conf/Summary"));
  EXPECT_FALSE(exists(dir + "/Ostrevane/conf/Summary/Hero.ini"));  // only the folders

  // The client directory is where the running program lies, and assets are beside it.
  std::string client = settings_client_dir();
  ASSERT_FALSE(client.empty());
  EXPECT_NE(client.back(), '/');
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  EXPECT_EQ(std::string(self).substr(0, std::string(self).rfind('/')), client);
  EXPECT_EQ(std::string(settings_assets_dir()), client + "/assets");
}

TEST_F(SettingsTest, NoDataFolderFallsBackToTheClientDirectory) {
  DataHome home(nullptr, nullptr, false);  // neither XDG_DATA_HOME nor HOME
  EXPECT_STREQ(settings_user_folder(), settings_client_dir());
  EXPECT_EQ(std::string(settings_default_path()), std::string(settings_client_dir()) + "/settings.ini");
}

TEST_F(SettingsTest, OverlongUserFolderGivesEmptyPaths) {
  std::string deep = dir + "/" + std::string(240, 'd');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  DataHome home(deep.c_str());
  EXPECT_STREQ(settings_default_path(), "");
  EXPECT_STREQ(settings_profile_path("a", "b"), "");
  settings_load(settings_default_path());
  EXPECT_EQ(settings_save(), 0);
}

TEST_F(SettingsTest, ProfilePathsStayUnderConf) {
  DataHome home(dir.c_str());
  std::string conf = dir + "/Ostrevane/conf/";
  struct Case {
    const char* summary;
    const char* character;
    const char* expected;  // relative to conf, or "" when refused
  } cases[] = {
      {"Summary", "Hero", "Summary/Hero.ini"},
      {"Summary", "../../x", "Summary/_._.._x.ini"},
      {"..", "x", "_./x.ini"},
      {".", "x", "_/x.ini"},
      {"Summary", "a/b", "Summary/a_b.ini"},
      {"Summary", "a\\b:c", "Summary/a_b_c.ini"},
      {"Summary", ".hidden", "Summary/_hidden.ini"},
      {"Summary", "tab\there\x7F", "Summary/tab_here_.ini"},
      {"/etc", "passwd", "_etc/passwd.ini"},
      {"Summary", "H\xC3\xA9ros", "Summary/H\xC3\xA9ros.ini"},  // UTF-8 names stay as they are
      {"Summary", "", ""},
      {"", "Hero", ""},
      {nullptr, "Hero", ""},
      {"Summary", nullptr, ""},
  };
  for (const Case& c : cases) {
    std::string path = settings_profile_path(c.summary, c.character);
    if (!c.expected[0]) {
      EXPECT_EQ(path, "") << (c.character ? c.character : "(null)");
      continue;
    }
    EXPECT_EQ(path, conf + c.expected);
    // The folder that holds it is inside conf on disk too.
    std::string folder = path.substr(0, path.rfind('/'));
    char resolved[4096], conf_resolved[4096];
    ASSERT_NE(realpath(folder.c_str(), resolved), nullptr) << folder;
    ASSERT_NE(realpath(conf.c_str(), conf_resolved), nullptr);
    EXPECT_EQ(std::string(resolved).rfind(std::string(conf_resolved) + "/", 0), 0u) << resolved;
  }
  EXPECT_FALSE(exists(dir + "/x.ini"));
  EXPECT_FALSE(exists(dir + "/Ostrevane/x.ini"));
}

TEST_F(SettingsTest, MakeDirs) {
  EXPECT_EQ(settings_make_dirs((dir + "/a/b//c/").c_str()), 1);
  EXPECT_TRUE(is_dir(dir + "/a/b/c"));
  EXPECT_EQ(settings_make_dirs((dir + "/a/b/c").c_str()), 1);  // already there
  write_file(dir + "/file", "x");
  EXPECT_EQ(settings_make_dirs((dir + "/file").c_str()), 0);
  EXPECT_EQ(settings_make_dirs((dir + "/file/sub").c_str()), 0);
  EXPECT_EQ(settings_make_dirs(""), 0);
  EXPECT_EQ(settings_make_dirs(nullptr), 0);
}
