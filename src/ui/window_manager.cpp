#include "ui/window_manager.h"

#include "audio/game_sound.h"

namespace {

// The interface's click sounds (locale keys): the confirm click opens, the page click closes.
constexpr uint32_t SOUND_OPEN = WM_SOUND_OPEN;
constexpr uint32_t SOUND_CLOSE = WM_SOUND_CLOSE;
int (*g_play)(uint32_t key);

void play(uint32_t key) {
  if (key) (g_play ? g_play : play_ui_sound)(key);
}

struct WmSlot {
  int32_t open;
  int32_t layer;
  uint32_t open_sound, close_sound;
};
WmSlot g_slots[WM_SLOTS];

bool valid(int slot) { return slot >= 0 && slot < WM_SLOTS; }

void renumber(void) {
  // Insertion order by layer; 13 slots make anything fancier pointless.
  int order[WM_SLOTS], n = 0;
  for (int i = 0; i < WM_SLOTS; i++) {
    if (!g_slots[i].open) continue;
    int j = n++;
    while (j > 0 && g_slots[order[j - 1]].layer > g_slots[i].layer) {
      order[j] = order[j - 1];
      j--;
    }
    order[j] = i;
  }
  for (int k = 0; k < n; k++) g_slots[order[k]].layer = WM_LAYER_BASE + k;
}

}  // namespace

void window_manager_setup(void) {
  for (int i = 0; i < WM_SLOTS; i++) {
    bool silent = i == 4 || i == 10;
    g_slots[i] = WmSlot{0, 0, silent ? 0u : SOUND_OPEN, silent ? 0u : SOUND_CLOSE};
  }
}

void window_manager_set_sound(int (*p)(uint32_t key)) { g_play = p; }

void window_manager_start(void) {}

void window_manager_raise(int slot) {
  if (!valid(slot)) return;
  WmSlot& s = g_slots[slot];
  if (!s.open) play(s.open_sound);
  int32_t top = WM_LAYER_BASE;
  for (const WmSlot& o : g_slots)
    if (o.open && o.layer > top) top = o.layer;
  s.open = 1;
  s.layer = top + 1;
  renumber();
}

void window_manager_open(int slot) { window_manager_raise(slot); }

void window_manager_close(int slot) {
  if (!valid(slot)) return;
  WmSlot& s = g_slots[slot];
  if (s.open) play(s.close_sound);
  s.open = 0;
  s.layer = 0;
}

void window_manager_toggle(int slot) {
  if (window_manager_is_open(slot))
    window_manager_close(slot);
  else
    window_manager_open(slot);
}

void window_manager_close_all(void) {
  for (int i = 0; i < WM_SLOTS; i++) window_manager_close(i);
}

int window_manager_close_top(void) {
  int top = -1;
  for (int i = 0; i < WM_SLOTS; i++)
    if (g_slots[i].open && (top < 0 || g_slots[i].layer > g_slots[top].layer)) top = i;
  if (top >= 0) window_manager_close(top);
  return top;
}

int window_manager_is_open(int slot) { return valid(slot) && g_slots[slot].open; }

int32_t window_manager_layer(int slot) { return valid(slot) ? g_slots[slot].layer : 0; }
