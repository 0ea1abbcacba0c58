#include <cmath>
#include <cstring>

#include "base/arena.h"
#include "base/array.h"
#include "base/event_bus.h"
#include "base/queue.h"
#include "base/utf8.h"
#include "input/input.h"
#include "platform/clipboard.h"
#include "platform/keymap.h"

enum : int { STATE_UP = 0, STATE_HELD = 1, STATE_PRESSED = 2, STATE_RELEASED = 3 };

struct Stamped {
  uint8_t state;
  uint32_t stamp;
};

struct AxisState {
  float value;
  uint32_t stamp;
};

struct InputState {
  bool started;
  uint32_t frame;
  Stamped keys[INPUT_KEY_COUNT];
  uint32_t repeat_stamps[INPUT_KEY_COUNT];
  Stamped buttons[INPUT_BUTTON_COUNT];
  AxisState axes[INPUT_AXIS_COUNT];
  Queue* axis_queue;
  Queue* button_queue;
  Queue* key_queue;
  Queue* text_queue;
  Arena* arena;
  Arena* spare;            // compaction target while events keep waiting
  uint32_t wheel_waiting;  // wheel events in the axis queue
  Array* text;             // last frame's bytes, zero-terminated
  uint32_t text_read;
};

static InputState g_input;
static void (*g_paste)(void) = clipboard_paste;

void input_set_paste(void (*paste)(void)) { g_paste = paste ? paste : clipboard_paste; }

void input_start(void) {
  if (g_input.started) return;
  g_input = InputState{};
  g_input.started = true;
  g_input.frame = 1;
  g_input.axis_queue = queue_create();
  g_input.button_queue = queue_create();
  g_input.key_queue = queue_create();
  g_input.text_queue = queue_create();
  g_input.arena = arena_create(1024);
  g_input.spare = arena_create(1024);
  g_input.text = array_create(1, 64, nullptr);
  const char zero = 0;
  array_push(g_input.text, &zero);
  event_subscribe(input_on_event);
}

void input_stop(void) {
  if (!g_input.started) return;
  event_unsubscribe(input_on_event);
  queue_destroy(g_input.axis_queue, nullptr);
  queue_destroy(g_input.button_queue, nullptr);
  queue_destroy(g_input.key_queue, nullptr);
  queue_destroy(g_input.text_queue, nullptr);
  arena_destroy(g_input.arena);
  arena_destroy(g_input.spare);
  array_destroy(g_input.text, nullptr);
  g_input = InputState{};
}

static void queue_copy(Queue* queue, const void* data, size_t size) {
  void* copy = arena_alloc(g_input.arena, size);
  memcpy(copy, data, size);
  queue_push(queue, copy);
}

void input_on_event(uint32_t event, const void* data) {
  if (!g_input.started) return;
  if (event == EVENT_DEACTIVATE) {
    input_reset();
    return;
  }
  if (!data) return;
  switch (event) {
    case EVENT_AXIS:
      if (((const EventAxis*)data)->axis == 0) {
        // A burst of notches would otherwise scroll for many frames after the wheel stopped.
        if (g_input.wheel_waiting >= INPUT_WHEEL_WAITING_MAX) return;
        g_input.wheel_waiting++;
      }
      queue_copy(g_input.axis_queue, data, sizeof(EventAxis));
      break;
    case EVENT_MOUSE_BUTTON:
      if (queue_count(g_input.button_queue) >= INPUT_QUEUE_MAX) return;
      queue_copy(g_input.button_queue, data, sizeof(EventButton));
      break;
    case EVENT_KEY:
      // Changes that come faster than one per frame wait; past this many the newest go.
      if (queue_count(g_input.key_queue) >= INPUT_QUEUE_MAX) return;
      queue_copy(g_input.key_queue, data, sizeof(EventKey));
      break;
    case EVENT_TEXT:
      queue_copy(g_input.text_queue, data, 1);
      break;
    default:
      break;
  }
}

void input_reset(void) {
  if (!g_input.started) return;
  for (Stamped& k : g_input.keys) k.state = STATE_UP;
  for (Stamped& b : g_input.buttons) b.state = STATE_UP;
  for (AxisState& a : g_input.axes) a.value = 0.0f;
  memset(g_input.repeat_stamps, 0, sizeof g_input.repeat_stamps);
  queue_drain(g_input.axis_queue, nullptr);
  queue_drain(g_input.button_queue, nullptr);
  queue_drain(g_input.key_queue, nullptr);
  queue_drain(g_input.text_queue, nullptr);
  g_input.wheel_waiting = 0;
  arena_reset(g_input.arena);
}

// Pressed only from up or released, held only from pressed, released only from held: a
// state is never skipped, so each one is seen for a whole frame.
static void apply_transition(Stamped* s, uint32_t action, uint32_t frame) {
  uint8_t next;
  if (action == ACTION_PRESSED && (s->state == STATE_UP || s->state == STATE_RELEASED))
    next = STATE_PRESSED;
  else if (action == ACTION_HELD && s->state == STATE_PRESSED)
    next = STATE_HELD;
  else if (action == ACTION_RELEASED && s->state == STATE_HELD)
    next = STATE_RELEASED;
  else
    return;
  s->state = next;
  s->stamp = frame;
}

static void update_keys(uint32_t frame) {
  for (uint32_t n = queue_count(g_input.key_queue); n > 0; n--) {
    EventKey* e = (EventKey*)queue_pop(g_input.key_queue);
    if (e->key >= INPUT_KEY_COUNT) continue;
    Stamped* k = &g_input.keys[e->key];
    if (k->stamp == frame) {
      queue_push(g_input.key_queue, e);
      continue;
    }
    if (e->action == ACTION_REPEAT)
      g_input.repeat_stamps[e->key] = frame;
    else
      apply_transition(k, e->action, frame);
  }
}

static void update_buttons(uint32_t frame) {
  for (uint32_t n = queue_count(g_input.button_queue); n > 0; n--) {
    EventButton* e = (EventButton*)queue_pop(g_input.button_queue);
    if (e->button >= INPUT_BUTTON_COUNT) continue;
    Stamped* b = &g_input.buttons[e->button];
    if (b->stamp == frame) {
      queue_push(g_input.button_queue, e);
      continue;
    }
    apply_transition(b, e->action, frame);
  }
}

static void update_axes(uint32_t frame) {
  for (uint32_t n = queue_count(g_input.axis_queue); n > 0; n--) {
    EventAxis* e = (EventAxis*)queue_pop(g_input.axis_queue);
    if (e->axis >= INPUT_AXIS_COUNT) continue;
    AxisState* a = &g_input.axes[e->axis];
    float value = std::isfinite(e->value) ? e->value : 0.0f;
    if (e->axis == 0) {
      if (a->stamp == frame) {
        queue_push(g_input.axis_queue, e);
        continue;
      }
      g_input.wheel_waiting--;
      a->value = value > 0.0f ? 1.0f : value < 0.0f ? -1.0f : 0.0f;
      a->stamp = frame;
    } else if (a->stamp == frame) {
      a->value += value;
    } else {
      a->value = value;
      a->stamp = frame;
    }
  }
}

static void update_text(void) {
  array_clear(g_input.text, nullptr);
  while (char* byte = (char*)queue_pop(g_input.text_queue)) array_push(g_input.text, byte);
  const char zero = 0;
  array_push(g_input.text, &zero);
  g_input.text_read = 0;
}

// Moves the waiting payloads into the spare arena and resets the old one.
static void compact_queue(Queue* queue, size_t size) {
  for (uint32_t n = queue_count(queue); n > 0; n--) {
    void* copy = arena_alloc(g_input.spare, size);
    memcpy(copy, queue_pop(queue), size);
    queue_push(queue, copy);
  }
}

enum : size_t { INPUT_COMPACT_AFTER = 4096 };

void input_update(void) {
  if (!g_input.started) return;
  uint32_t frame = ++g_input.frame;
  update_keys(frame);
  update_buttons(frame);
  update_axes(frame);
  Stamped ctrl = g_input.keys[KEY_CTRL];
  if (key_pressed(key_letter('V')) &&
      (ctrl.state == STATE_HELD || (ctrl.state == STATE_PRESSED && ctrl.stamp == frame)))
    g_paste();
  update_text();
  if (queue_count(g_input.axis_queue) == 0 && queue_count(g_input.button_queue) == 0 &&
      queue_count(g_input.key_queue) == 0 && queue_count(g_input.text_queue) == 0) {
    arena_reset(g_input.arena);
  } else if (arena_reserved(g_input.arena) > INPUT_COMPACT_AFTER) {
    // Events that keep arriving for keys that change every frame would keep the queues from
    // ever emptying, and the arena would grow without end.
    compact_queue(g_input.axis_queue, sizeof(EventAxis));
    compact_queue(g_input.button_queue, sizeof(EventButton));
    compact_queue(g_input.key_queue, sizeof(EventKey));
    compact_queue(g_input.text_queue, 1);
    Arena* old = g_input.arena;
    arena_reset(old);
    g_input.arena = g_input.spare;
    g_input.spare = old;
  }
}

uint32_t input_frame_number(void) { return g_input.frame; }

static int current(const Stamped* s, int state) {
  return g_input.started && s->state == state && s->stamp == g_input.frame;
}
static int down(const Stamped* s) {
  return g_input.started && (s->state == STATE_HELD || current(s, STATE_PRESSED));
}

int key_down(uint32_t code) { return code < INPUT_KEY_COUNT && down(&g_input.keys[code]); }
int key_pressed(uint32_t code) {
  return code < INPUT_KEY_COUNT && current(&g_input.keys[code], STATE_PRESSED);
}
int key_released(uint32_t code) {
  return code < INPUT_KEY_COUNT && current(&g_input.keys[code], STATE_RELEASED);
}
int key_pressed_or_repeated(uint32_t code) {
  return key_pressed(code) ||
         (code < INPUT_KEY_COUNT && g_input.started && g_input.repeat_stamps[code] == g_input.frame);
}
int key_state(uint32_t code) { return code < INPUT_KEY_COUNT ? g_input.keys[code].state : 0; }

int button_down(uint32_t b) { return b < INPUT_BUTTON_COUNT && down(&g_input.buttons[b]); }
int button_pressed(uint32_t b) {
  return b < INPUT_BUTTON_COUNT && current(&g_input.buttons[b], STATE_PRESSED);
}
int button_released(uint32_t b) {
  return b < INPUT_BUTTON_COUNT && current(&g_input.buttons[b], STATE_RELEASED);
}
int button_state(uint32_t b) { return b < INPUT_BUTTON_COUNT ? g_input.buttons[b].state : 0; }
void button_clear(uint32_t b) {
  if (b < INPUT_BUTTON_COUNT) g_input.buttons[b].state = STATE_UP;
}

float axis_value(uint32_t axis) {
  if (axis >= INPUT_AXIS_COUNT || !g_input.started) return 0.0f;
  return g_input.axes[axis].stamp == g_input.frame ? g_input.axes[axis].value : 0.0f;
}

uint32_t text_next_char(void) {
  if (!g_input.started) return 0;
  const char* start = (const char*)array_at(g_input.text, 0);
  const char* cursor = start + g_input.text_read;
  uint32_t c;
  // A byte that does not decode reads as U+FFFD and is skipped, so the text after it arrives.
  do c = utf8_decode_lenient(&cursor);
  while (c == 0xFFFD);
  g_input.text_read = (uint32_t)(cursor - start);
  return c;
}

uint64_t input_arena_reserved(void) { return g_input.arena ? arena_reserved(g_input.arena) : 0; }
