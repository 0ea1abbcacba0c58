#include "input/keybind.h"

#include <cstdio>
#include <cstring>

#include "assets/locale.h"
#include "base/event_bus.h"
#include "base/intmap.h"
#include "input/input.h"
#include "platform/keymap.h"
#include "settings/settings.h"

struct BindingRuntime {
  uint8_t state;
  uint8_t key;
};

struct KeybindState {
  KeyBinding table[KEYBIND_COUNT];
  BindingRuntime runtime[KEYBIND_COUNT];
  uint8_t owned[INPUT_KEY_COUNT];
  bool enabled;
  bool started;
  IntMap* typing_safe;
};

static KeyBinding default_row(int i) {
  const KeyBindingDef* d = keybind_def(i);
  return KeyBinding{i, d->primary_key, d->primary_mods, d->secondary_key, d->secondary_mods};
}

static KeybindState make_initial(void) {
  KeybindState s{};
  for (int i = 0; i < KEYBIND_COUNT; i++) s.table[i] = default_row(i);
  s.enabled = true;
  return s;
}

static KeybindState g_kb = make_initial();

// Keys that still reach bindings while a text field takes typing: Enter, Escape, the
// modifiers and locks, function keys and the like, which typing never produces.
static constexpr uint8_t TYPING_SAFE[] = {
    KEY_ENTER,
    9,
    KEY_ESCAPE,
    79,
    80,
    81,
    82,
    83,
    84,
    85,
    86,
    87,
    88,
    89,
    90,
    91,
    92,
    93,
    94,
    95,
    96,
    97,
    98,
    99,
    100,
    101,
    102,
    KEY_NUM_LOCK,
    KEY_CAPS_LOCK,
    104,
    KEY_SHIFT,
    KEY_CTRL,
    KEY_ALT,
    119,
    118,
    62,
    25,
    21,
    116,
    8,
};
static_assert(sizeof TYPING_SAFE == 40, "forty typing-safe keys");

static void keybind_on_event(uint32_t event, const void*) {
  if (event == EVENT_DEACTIVATE) keybind_reset();
}

void keybind_init(void) {
  if (g_kb.typing_safe) return;
  g_kb.typing_safe = intmap_create(64);
  for (uint8_t code : TYPING_SAFE) intmap_insert(g_kb.typing_safe, code, nullptr);
}

void keybind_start(void) {
  if (g_kb.started) return;
  g_kb.started = true;
  event_subscribe(keybind_on_event);
}

void keybind_shutdown(void) {
  if (g_kb.started) event_unsubscribe(keybind_on_event);
  intmap_destroy(g_kb.typing_safe, nullptr);
  g_kb = make_initial();
}

int keybind_typing_safe(uint32_t code) {
  if (g_kb.typing_safe) return intmap_contains(g_kb.typing_safe, code);
  for (uint8_t safe : TYPING_SAFE)
    if (safe == code) return 1;
  return 0;
}

static int32_t clamp(int64_t v, int32_t low, int32_t high) {
  return v < low ? low : v > high ? high : (int32_t)v;
}

// A decimal integer at the start of [p, end) (optional sign), saturating; 0 without digits.
static int64_t parse_decimal(const char* p, const char* end) {
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int64_t v = 0;
  for (; p < end && *p >= '0' && *p <= '9'; p++)
    if (v < 1000000000000LL) v = v * 10 + (*p - '0');
  return negative ? -v : v;
}

// Four comma-separated numbers into the row; 0 (row untouched) for any other field count.
static int parse_binding_text(const char* text, KeyBinding* row) {
  int64_t fields[4];
  int n = 0;
  const char* start = text;
  for (const char* p = text;; p++) {
    if (*p != ',' && *p != 0) continue;
    if (n == 4) return 0;
    fields[n++] = parse_decimal(start, p);
    if (*p == 0) break;
    start = p + 1;
  }
  if (n != 4) return 0;
  row->primary_key = clamp(fields[0], 0, INPUT_KEY_COUNT - 1);
  row->primary_mods = clamp(fields[1], 0, KEYBIND_MOD_MAX);
  row->secondary_key = clamp(fields[2], 0, INPUT_KEY_COUNT - 1);
  row->secondary_mods = clamp(fields[3], 0, KEYBIND_MOD_MAX);
  return 1;
}

void keybind_load(void) {
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    g_kb.table[i] = default_row(i);
    const char* text = binding_text(keybind_def(i)->name);
    if (text) parse_binding_text(text, &g_kb.table[i]);
  }
}

void keybind_save(void) {
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    const KeyBinding& b = g_kb.table[i];
    char text[KEYBIND_TEXT_MAX + 1];
    snprintf(text, sizeof text, "%d,%d,%d,%d", (int)b.primary_key, (int)b.primary_mods, (int)b.secondary_key,
             (int)b.secondary_mods);
    set_binding_text(keybind_def(i)->name, text);
  }
}

void keybind_get_table(KeyBinding out[KEYBIND_COUNT]) { memcpy(out, g_kb.table, sizeof g_kb.table); }

void keybind_set_table(const KeyBinding table[KEYBIND_COUNT]) {
  // Rows come from the options screens; keep them inside the ranges a load would give.
  for (int i = 0; i < KEYBIND_COUNT; i++) {
    KeyBinding b = table[i];
    g_kb.table[i] = KeyBinding{
        i, clamp(b.primary_key, 0, INPUT_KEY_COUNT - 1), clamp(b.primary_mods, 0, KEYBIND_MOD_MAX),
        clamp(b.secondary_key, 0, INPUT_KEY_COUNT - 1), clamp(b.secondary_mods, 0, KEYBIND_MOD_MAX)};
  }
}

void keybind_set_enabled(int flag) { g_kb.enabled = flag != 0; }

static int popcount3(int32_t mods) { return (mods & 1) + ((mods >> 1) & 1) + ((mods >> 2) & 1); }

static int combination_score(int32_t key, int32_t mods, uint32_t pressed, int32_t held_mods) {
  if (key != (int32_t)pressed || (mods & ~held_mods) != 0) return 0;
  return 1 + popcount3(mods);
}

static void advance_states(void) {
  for (BindingRuntime& r : g_kb.runtime) {
    if (r.state == KEYBIND_ENDED) {
      r.state = KEYBIND_IDLE;
      g_kb.owned[r.key] = 0;
    } else if (r.state == KEYBIND_TRIGGERED || r.state == KEYBIND_ACTIVE) {
      // A key that is no longer down (released, or cleared by an input reset) ends its
      // binding; a triggered binding left waiting would repeat its action every frame.
      r.state = key_down(r.key) ? KEYBIND_ACTIVE : KEYBIND_ENDED;
    }
  }
}

void keybind_frame(void) {
  advance_states();
  if (!g_kb.enabled) return;
  int focused = input_text_focused();
  int32_t held_mods = 0;
  if (key_down(KEY_ALT)) held_mods |= KEYBIND_MOD_ALT;
  if (key_down(KEY_CTRL)) held_mods |= KEYBIND_MOD_CTRL;
  if (key_down(KEY_SHIFT)) held_mods |= KEYBIND_MOD_SHIFT;
  // Code 0 is "none": scoring it would match every unbound combination.
  for (uint32_t code = 1; code < INPUT_KEY_COUNT; code++) {
    if (g_kb.owned[code] || !key_pressed(code)) continue;
    if (focused && !keybind_typing_safe(code)) continue;
    int best = -1, best_score = 0;
    for (int i = 0; i < KEYBIND_COUNT; i++) {
      if (g_kb.runtime[i].state != KEYBIND_IDLE) continue;
      const KeyBinding& b = g_kb.table[i];
      int a = combination_score(b.primary_key, b.primary_mods, code, held_mods);
      int c = combination_score(b.secondary_key, b.secondary_mods, code, held_mods);
      int score = a > c ? a : c;
      if (score > best_score) {
        best_score = score;
        best = i;
      }
    }
    if (best < 0) continue;
    g_kb.owned[code] = 1;
    g_kb.runtime[best] = BindingRuntime{KEYBIND_TRIGGERED, (uint8_t)code};
  }
}

int binding_state(int i) { return i >= 0 && i < KEYBIND_COUNT ? g_kb.runtime[i].state : 0; }
int binding_active(int i) {
  int s = binding_state(i);
  return s == KEYBIND_TRIGGERED || s == KEYBIND_ACTIVE;
}
int binding_triggered(int i) { return binding_state(i) == KEYBIND_TRIGGERED; }
int binding_ended(int i) { return binding_state(i) == KEYBIND_ENDED; }

int binding_primary(int i, int32_t* key, int32_t* mods) {
  if (i < 0 || i >= KEYBIND_COUNT) return 0;
  *key = g_kb.table[i].primary_key;
  *mods = g_kb.table[i].primary_mods;
  return *key != 0;
}

void binding_label_text(int32_t key, int32_t mods, char* out, int size) {
  if (!out || size <= 0) return;
  out[0] = 0;
  char name[16];
  snprintf(name, sizeof name, "KEY_%d", (int)key);
  const char* parts[4] = {locale_string(name_hash(name)), "", "", ""};
  if (mods & KEYBIND_MOD_ALT) parts[1] = locale_string(name_hash("KEY_ALT"));
  if (mods & KEYBIND_MOD_CTRL) parts[2] = locale_string(name_hash("KEY_CTRL"));
  if (mods & KEYBIND_MOD_SHIFT) parts[3] = locale_string(name_hash("KEY_SHIFT"));
  size_t total = 0;
  for (const char* p : parts) total += strlen(p);
  if (total + 1 > (size_t)size) return;
  char* w = out;
  for (const char* p : parts) {
    size_t n = strlen(p);
    memcpy(w, p, n);
    w += n;
  }
  *w = 0;
}

void keybind_reset(void) {
  memset(g_kb.runtime, 0, sizeof g_kb.runtime);
  memset(g_kb.owned, 0, sizeof g_kb.owned);
}
