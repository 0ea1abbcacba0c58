#pragma once
// The front end's screens: login (state 0), world list (1), character selection (2) and
// character creation (3), and the message effects that feed them. screens_install puts the
// four screen records into the front end (before frontend_setup runs their inits);
// screens_install_effects fills the effects owned here. Main thread only.
#include <cstdint>

struct NetEffects;

void screens_install(void);
void screens_install_effects(NetEffects* effects);
void screens_remove_effects(NetEffects* effects);

// Where the screens' interface sounds go (null: play_ui_sound).
void screens_set_sound(int (*play)(uint32_t key));

// From the character screens: asks the world server for the way back to the login server
// (world message 4) while the world session is open and no return is pending; the login
// screen's box shows the wait, given up after 30 seconds.
void login_return_to_login(void);
// The return's credentials (incoming opcode 9): opens the login session with them, only while
// a return is awaited and the front end shows the character selection. At most 1024 bytes.
void login_reopen(const char* text);

// What the screens show and hold, for tests and checks.
struct LoginView {
  uint32_t status_key, button_key;
  int32_t busy, accepted, waiting, remember, focus;
  uint32_t account_count, password_count;
};
void login_view(LoginView* out);

struct WorldListView {
  int32_t count, selected, received, connecting;
  uint32_t status_key, button_key;
};
void world_list_view(WorldListView* out);

struct CharacterView {
  int32_t requested, received, present, dialog_open, confirm_enabled;
  int32_t id;
  uint32_t status_key, button_key;  // of the screen showing (selection or creation)
  // Creation.
  int32_t klass, sex, pool;
  int32_t added[4];
  uint32_t name_count;
};
void character_view(CharacterView* out);
