// The per-frame input step beside a reference measured in the same run:
// - a busy frame: 16 events (keys, a mouse button, wheel, motion, text bytes) queued through
//   input_on_event, then input_update and keybind_frame, against the same events kept in
//   std::deque and applied to plain arrays by the same rules, with the same binding scoring;
// - an idle frame (nothing queued) of both.
// The events run in a cycle of three frames (press with hold, repeat, release) so the queues
// drain every third frame and every iteration does the same work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "base/event_bus.h"
#include "input/input.h"
#include "input/keybind.h"
#include "platform/keymap.h"

namespace {

struct Ev {
  uint32_t event;
  uint32_t a;  // key, button, axis or text byte
  uint32_t action;
  float value;
};

const uint32_t KEYS[4] = {key_letter('W'), key_letter('A'), key_letter('S'), key_letter('D')};

// Three frames of exactly 16 events each.
std::vector<std::vector<Ev>> frame_cycle(void) {
  std::vector<std::vector<Ev>> frames(3);
  for (uint32_t k : KEYS) {
    frames[0].push_back({EVENT_KEY, k, ACTION_PRESSED, 0});
    frames[0].push_back({EVENT_KEY, k, ACTION_HELD, 0});
    frames[1].push_back({EVENT_KEY, k, ACTION_REPEAT, 0});
    frames[2].push_back({EVENT_KEY, k, ACTION_RELEASED, 0});
  }
  frames[0].push_back({EVENT_MOUSE_BUTTON, 0, ACTION_PRESSED, 0});
  frames[0].push_back({EVENT_MOUSE_BUTTON, 0, ACTION_HELD, 0});
  frames[2].push_back({EVENT_MOUSE_BUTTON, 0, ACTION_RELEASED, 0});
  for (auto& f : frames) {
    f.push_back({EVENT_AXIS, 0, 0, 1.0f});
    f.push_back({EVENT_AXIS, 1, 0, -3.0f});
    f.push_back({EVENT_AXIS, 2, 0, 2.0f});
    for (uint32_t c = 'a'; f.size() < 16; c++) f.push_back({EVENT_TEXT, c, 0, 0});
  }
  return frames;
}

void deliver(const Ev& e) {
  switch (e.event) {
    case EVENT_KEY: {
      EventKey k = {e.a, e.action};
      input_on_event(EVENT_KEY, &k);
      break;
    }
    case EVENT_MOUSE_BUTTON: {
      EventButton b = {e.a, e.action};
      input_on_event(EVENT_MOUSE_BUTTON, &b);
      break;
    }
    case EVENT_AXIS: {
      EventAxis x = {e.a, e.value};
      input_on_event(EVENT_AXIS, &x);
      break;
    }
    default: {
      uint8_t byte = (uint8_t)e.a;
      input_on_event(EVENT_TEXT, &byte);
    }
  }
}

struct ClientInput {
  ClientInput() {
    event_bus_start();
    input_start();
    input_set_paste([] {});
    keybind_init();
    keybind_start();
  }
  ~ClientInput() {
    keybind_shutdown();
    input_set_paste(nullptr);
    input_stop();
    event_bus_stop();
  }
};

uint32_t drain_text(void) {
  uint32_t sum = 0;
  for (uint32_t c; (c = text_next_char()) != 0;) sum += c;
  return sum;
}

void BM_InputFrame16Events(benchmark::State& state) {
  ClientInput client;
  auto frames = frame_cycle();
  size_t f = 0;
  for (auto _ : state) {
    for (const Ev& e : frames[f]) deliver(e);
    input_update();
    keybind_frame();
    benchmark::DoNotOptimize(binding_state(0));
    benchmark::DoNotOptimize(drain_text());
    f = f == 2 ? 0 : f + 1;
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 16);
}
BENCHMARK(BM_InputFrame16Events);

void BM_InputFrameIdle(benchmark::State& state) {
  ClientInput client;
  for (auto _ : state) {
    input_update();
    keybind_frame();
    benchmark::DoNotOptimize(binding_state(0));
  }
}
BENCHMARK(BM_InputFrameIdle);

// The reference: the same rules over std::deque queues and plain arrays, with no arena, no
// event-bus subscription and no text decoding beyond plain bytes.
struct RefInput {
  uint32_t frame = 1;
  uint8_t key_state[INPUT_KEY_COUNT] = {};
  uint32_t key_stamp[INPUT_KEY_COUNT] = {};
  uint32_t repeat_stamp[INPUT_KEY_COUNT] = {};
  uint8_t button_state[INPUT_BUTTON_COUNT] = {};
  uint32_t button_stamp[INPUT_BUTTON_COUNT] = {};
  float axis[INPUT_AXIS_COUNT] = {};
  uint32_t axis_stamp[INPUT_AXIS_COUNT] = {};
  std::deque<Ev> keys, buttons, axes, text;
  char text_bytes[1024];
  uint32_t text_count = 0;
  KeyBinding table[KEYBIND_COUNT];
  uint8_t binding_state[KEYBIND_COUNT] = {};
  uint8_t binding_key[KEYBIND_COUNT] = {};
  uint8_t owned[INPUT_KEY_COUNT] = {};

  RefInput() {
    for (int i = 0; i < KEYBIND_COUNT; i++) {
      const KeyBindingDef* d = keybind_def(i);
      table[i] = {i, d->primary_key, d->primary_mods, d->secondary_key, d->secondary_mods};
    }
  }
  void post(const Ev& e) {
    if (e.event == EVENT_KEY)
      keys.push_back(e);
    else if (e.event == EVENT_MOUSE_BUTTON)
      buttons.push_back(e);
    else if (e.event == EVENT_AXIS)
      axes.push_back(e);
    else
      text.push_back(e);
  }
  static void transition(uint8_t* s, uint32_t* stamp, uint32_t action, uint32_t frame) {
    uint8_t next;
    if (action == ACTION_PRESSED && (*s == 0 || *s == 3))
      next = 2;
    else if (action == ACTION_HELD && *s == 2)
      next = 1;
    else if (action == ACTION_RELEASED && *s == 1)
      next = 3;
    else
      return;
    *s = next;
    *stamp = frame;
  }
  bool down(uint32_t k) const { return key_state[k] == 1 || (key_state[k] == 2 && key_stamp[k] == frame); }
  void update(void) {
    uint32_t f = ++frame;
    for (size_t n = keys.size(); n > 0; n--) {
      Ev e = keys.front();
      keys.pop_front();
      if (key_stamp[e.a] == f) {
        keys.push_back(e);
      } else if (e.action == ACTION_REPEAT) {
        repeat_stamp[e.a] = f;
      } else {
        transition(&key_state[e.a], &key_stamp[e.a], e.action, f);
      }
    }
    for (size_t n = buttons.size(); n > 0; n--) {
      Ev e = buttons.front();
      buttons.pop_front();
      if (button_stamp[e.a] == f)
        buttons.push_back(e);
      else
        transition(&button_state[e.a], &button_stamp[e.a], e.action, f);
    }
    for (size_t n = axes.size(); n > 0; n--) {
      Ev e = axes.front();
      axes.pop_front();
      float v = std::isfinite(e.value) ? e.value : 0.0f;
      if (e.a == 0) {
        if (axis_stamp[0] == f) {
          axes.push_back(e);
          continue;
        }
        axis[0] = v > 0 ? 1.0f : v < 0 ? -1.0f : 0.0f;
        axis_stamp[0] = f;
      } else if (axis_stamp[e.a] == f) {
        axis[e.a] += v;
      } else {
        axis[e.a] = v;
        axis_stamp[e.a] = f;
      }
    }
    text_count = 0;
    for (; !text.empty(); text.pop_front()) text_bytes[text_count++] = (char)text.front().a;
  }
  void bindings(void) {
    for (int i = 0; i < KEYBIND_COUNT; i++) {
      if (binding_state[i] == KEYBIND_ENDED) {
        binding_state[i] = KEYBIND_IDLE;
        owned[binding_key[i]] = 0;
      } else if (binding_state[i] == KEYBIND_TRIGGERED || binding_state[i] == KEYBIND_ACTIVE) {
        binding_state[i] = down(binding_key[i]) ? KEYBIND_ACTIVE : KEYBIND_ENDED;
      }
    }
    int32_t mods = (down(KEY_ALT) ? 1 : 0) | (down(KEY_CTRL) ? 2 : 0) | (down(KEY_SHIFT) ? 4 : 0);
    for (uint32_t code = 1; code < INPUT_KEY_COUNT; code++) {
      if (owned[code] || key_state[code] != 2 || key_stamp[code] != frame) continue;
      int best = -1, best_score = 0;
      for (int i = 0; i < KEYBIND_COUNT; i++) {
        if (binding_state[i] != KEYBIND_IDLE) continue;
        const KeyBinding& b = table[i];
        int a = b.primary_key == (int32_t)code && !(b.primary_mods & ~mods)
                    ? 1 + __builtin_popcount((unsigned)b.primary_mods)
                    : 0;
        int c = b.secondary_key == (int32_t)code && !(b.secondary_mods & ~mods)
                    ? 1 + __builtin_popcount((unsigned)b.secondary_mods)
                    : 0;
        int score = a > c ? a : c;
        if (score > best_score) {
          best_score = score;
          best = i;
        }
      }
      if (best < 0) continue;
      owned[code] = 1;
      binding_state[best] = KEYBIND_TRIGGERED;
      binding_key[best] = (uint8_t)code;
    }
  }
};

void BM_DequeArrayFrame16EventsReference(benchmark::State& state) {
  RefInput ref;
  auto frames = frame_cycle();
  size_t f = 0;
  for (auto _ : state) {
    for (const Ev& e : frames[f]) ref.post(e);
    ref.update();
    ref.bindings();
    benchmark::DoNotOptimize(ref.binding_state[0]);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < ref.text_count; i++) sum += (uint8_t)ref.text_bytes[i];
    benchmark::DoNotOptimize(sum);
    f = f == 2 ? 0 : f + 1;
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 16);
}
BENCHMARK(BM_DequeArrayFrame16EventsReference);

void BM_DequeArrayFrameIdleReference(benchmark::State& state) {
  RefInput ref;
  for (auto _ : state) {
    ref.update();
    ref.bindings();
    benchmark::DoNotOptimize(ref.binding_state[0]);
  }
}
BENCHMARK(BM_DequeArrayFrameIdleReference);

}  // namespace
