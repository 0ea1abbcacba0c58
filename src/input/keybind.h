#pragma once
// Key bindings: 46 named game commands, each with two key-plus-modifier combinations the
// player may change (stored per character in the profile as "key,mods,key,mods").
//
// Once per frame keybind_frame turns key presses into binding activations. A pressed key
// that drives no binding scores every idle binding: a combination whose key matches and
// whose modifier bits are all held scores 1 + its number of modifier bits (the more specific
// combination wins; extra held modifiers do not prevent a match); ties go to the lower
// index. The winning binding is triggered and the key drives it until its release: a
// binding runs idle -> triggered (press frame) -> active -> ended (release frame) -> idle.
// Key code 0 means "none" and never triggers anything. While a text field has the focus only
// the typing-safe keys (Enter, Escape, function keys, modifiers, ...) may trigger bindings.
#include <cstdint>

enum : int { KEYBIND_COUNT = 46, KEYBIND_TEXT_MAX = 256 };
// Modifier bits of a combination.
enum : int32_t { KEYBIND_MOD_ALT = 1, KEYBIND_MOD_CTRL = 2, KEYBIND_MOD_SHIFT = 4, KEYBIND_MOD_MAX = 7 };
// Runtime states.
enum : int { KEYBIND_IDLE = 0, KEYBIND_ACTIVE = 1, KEYBIND_ENDED = 2, KEYBIND_TRIGGERED = 3 };
// Groups: what the options screens list together.
enum : int {
  KEYBIND_GROUP_MOVEMENT = 0,
  KEYBIND_GROUP_ZOOM = 1,
  KEYBIND_GROUP_WINDOWS = 2,
  KEYBIND_GROUP_ACTIONS = 3,
  KEYBIND_GROUP_OTHER = 4,
  KEYBIND_GROUP_MACROS = 5,
};

// Indices of the bindings the game reads by name (rows of the binding table).
enum : int {
  KB_MOVE_FORWARD = 0,
  KB_MOVE_BACKWARD = 1,
  KB_TURN_LEFT = 2,
  KB_TURN_RIGHT = 3,
  KB_STRAFE_LEFT = 4,
  KB_STRAFE_RIGHT = 5,
  KB_PITCH_UP = 6,
  KB_PITCH_DOWN = 7,
  KB_JUMP = 8,
  KB_AUTO_RUN = 9,
  KB_TOGGLE_RUN = 10,
  KB_ZOOM_IN = 11,
  KB_ZOOM_OUT = 12,
};

struct KeyBindingDef {
  const char* name;  // profile key; its name_hash is the label's locale key
  int32_t primary_key, primary_mods;
  int32_t secondary_key, secondary_mods;
  int32_t group;
};
// The constant row of a binding; null outside 0..45.
const KeyBindingDef* keybind_def(int index);

struct KeyBinding {
  int32_t index;
  int32_t primary_key, primary_mods;
  int32_t secondary_key, secondary_mods;
};

void keybind_init(void);
void keybind_start(void);
void keybind_shutdown(void);
// Defaults, then each binding's profile text when it has four comma-separated numbers
// (keys clamped to 0..120, modifiers to 0..7).
void keybind_load(void);
void keybind_save(void);
void keybind_get_table(KeyBinding out[KEYBIND_COUNT]);
void keybind_set_table(const KeyBinding table[KEYBIND_COUNT]);
void keybind_set_enabled(int flag);
// The per-frame step, after the input state's.
void keybind_frame(void);
// Indices outside 0..45 give 0.
int binding_active(int index);
int binding_triggered(int index);
int binding_ended(int index);
int binding_state(int index);
// Primary key and modifiers; 1 when the key is not 0.
int binding_primary(int index, int32_t* key, int32_t* mods);
// The key's display name followed by "+Alt", "+Ctrl", "+Shift" texts for each modifier bit
// (locale texts KEY_<code>, KEY_ALT, KEY_CTRL, KEY_SHIFT); "" when it would not fit.
void binding_label_text(int32_t key, int32_t mods, char* out, int size);
// All binding states to idle, no key drives a binding.
void keybind_reset(void);
// 1 when the key may trigger bindings while a text field has the focus.
int keybind_typing_safe(uint32_t code);
