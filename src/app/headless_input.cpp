#include "app/headless_input.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/event_bus.h"
#include "input/input.h"
#include "platform/keymap.h"

namespace {

struct NamedKey {
  const char* name;
  uint32_t code;
};
const NamedKey NAMED_KEYS[] = {
    {"SPACE", KEY_SPACE}, {"UP", KEY_UP}, {"DOWN", KEY_DOWN}, {"LEFT", KEY_LEFT}, {"RIGHT", KEY_RIGHT},
};

// The words of one line, cut in place; at most `max`.
int split(char* line, char** words, int max) {
  int n = 0;
  for (char* p = strtok(line, " \t\r"); p; p = strtok(nullptr, " \t\r")) {
    if (n == max) return max + 1;
    words[n++] = p;
  }
  return n;
}

int parse_int(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  const long v = strtol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return 0;
  *out = v;
  return 1;
}

int parse_key(const char* name, uint32_t* code) {
  if (strlen(name) == 1 && name[0] >= 'A' && name[0] <= 'Z') {
    *code = key_letter(name[0]);
    return 1;
  }
  if (strlen(name) == 1 && name[0] >= '0' && name[0] <= '9') {
    *code = key_digit(name[0] - '0');
    return 1;
  }
  for (const NamedKey& k : NAMED_KEYS)
    if (!strcmp(name, k.name)) {
      *code = k.code;
      return 1;
    }
  long v;
  if (!parse_int(name, 1, INPUT_KEY_COUNT - 1, &v)) return 0;
  *code = (uint32_t)v;
  return 1;
}

int parse_updown(const char* word, int32_t* value) {
  if (!strcmp(word, "down"))
    *value = 1;
  else if (!strcmp(word, "up"))
    *value = 0;
  else
    return 0;
  return 1;
}

// 1 when the line is an event (written to *e), 0 when it is blank or a comment, -1 when bad.
int parse_line(char* line, HeadlessInputEvent* e) {
  char* words[5];
  const int n = split(line, words, 4);
  if (n == 0 || words[0][0] == '#') return 0;
  if (n < 3 || n > 4) return -1;
  char* end = nullptr;
  e->at = strtod(words[0], &end);
  if (*end || !std::isfinite(e->at) || e->at < 0) return -1;
  long v;
  if (!strcmp(words[1], "key") && n == 4) {
    e->kind = HEADLESS_INPUT_KEY;
    return parse_key(words[2], &e->code) && parse_updown(words[3], &e->value) ? 1 : -1;
  }
  if (!strcmp(words[1], "button") && n == 4) {
    e->kind = HEADLESS_INPUT_BUTTON;
    if (!parse_int(words[2], 0, INPUT_BUTTON_COUNT - 1, &v)) return -1;
    e->code = (uint32_t)v;
    return parse_updown(words[3], &e->value) ? 1 : -1;
  }
  if (!strcmp(words[1], "wheel") && n == 3) {
    e->kind = HEADLESS_INPUT_WHEEL;
    if (!parse_int(words[2], -1, 1, &v) || v == 0) return -1;
    e->value = (int32_t)v;
    return 1;
  }
  return -1;
}

void post_action(uint32_t event, uint32_t code, uint32_t action) {
  const uint32_t payload[2] = {code, action};
  event_post_copy(event, payload, sizeof payload);
}

}  // namespace

int headless_input_parse(const char* text, HeadlessInput* out, int32_t* bad_line) {
  *out = {array_create(sizeof(HeadlessInputEvent), 0, nullptr), 0};
  double last = 0;
  int32_t number = 0;
  for (const char* p = text; p && *p;) {
    const char* end = strchr(p, '\n');
    const size_t length = end ? (size_t)(end - p) : strlen(p);
    number++;
    char line[256];
    HeadlessInputEvent e = {};
    int kind = -1;
    if (length < sizeof line) {
      memcpy(line, p, length);
      line[length] = 0;
      kind = parse_line(line, &e);
    }
    if (kind > 0 && e.at < last) kind = -1;
    if (kind < 0) {
      *bad_line = number;
      headless_input_free(out);
      return 0;
    }
    if (kind > 0) {
      last = e.at;
      array_push(out->events, &e);
    }
    p = end ? end + 1 : nullptr;
  }
  return 1;
}

void headless_input_free(HeadlessInput* input) {
  array_destroy(input->events, nullptr);
  *input = {nullptr, 0};
}

void headless_input_post(HeadlessInput* input, double seconds) {
  for (; input->next < (input->events ? input->events->count : 0); input->next++) {
    const HeadlessInputEvent* e = (const HeadlessInputEvent*)array_at(input->events, input->next);
    if (e->at > seconds) return;
    if (e->kind == HEADLESS_INPUT_WHEEL) {
      const EventAxis wheel = {0, (float)e->value};
      event_post_copy(EVENT_AXIS, &wheel, sizeof wheel);
      continue;
    }
    const uint32_t event = e->kind == HEADLESS_INPUT_KEY ? EVENT_KEY : EVENT_MOUSE_BUTTON;
    if (e->value) {
      post_action(event, e->code, ACTION_PRESSED);
      post_action(event, e->code, ACTION_HELD);
    } else {
      post_action(event, e->code, ACTION_RELEASED);
    }
  }
}
