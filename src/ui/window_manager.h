#pragma once
// The in-game windows' stacking: WM_SLOTS toggleable windows, each open or closed with a
// layer. Opening or raising a slot puts it above every open one (highest open layer, at
// least 100, plus 1) and then the open slots are renumbered 100, 101, ... in layer order;
// closing clears the flag and the layer. Opening a closed slot plays its open sound, closing
// an open one its close sound (slots 4 and 10 are silent; the others share one open and one
// close sound). A zone change closes nothing; leaving the world closes every slot. Main
// thread only.
#include <cstdint>

enum : int { WM_SLOTS = 13, WM_LAYER_BASE = 100 };

void window_manager_setup(void);
// Where the open and close sounds go (null: play_ui_sound with their locale keys).
void window_manager_set_sound(int (*play)(uint32_t key));
enum : uint32_t { WM_SOUND_OPEN = 0x3D18E43Du, WM_SOUND_CLOSE = 0x72C42402u };
void window_manager_start(void);

void window_manager_open(int slot);
// Raises an open slot to the top (opens a closed one).
void window_manager_raise(int slot);
void window_manager_close(int slot);
void window_manager_toggle(int slot);
void window_manager_close_all(void);
// Closes the open slot of greatest layer; answers it, or -1 when none is open.
int window_manager_close_top(void);
int window_manager_is_open(int slot);
// The slot's layer, 0 while closed.
int32_t window_manager_layer(int slot);
