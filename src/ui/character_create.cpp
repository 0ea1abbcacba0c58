// Character creation (front-end state 3): a name of ASCII letters, a class, a sex, and 30
// points spread over four attributes; create sends them to the world server, whose answer
// brings the selection back or shows why it refused.
#include <cstdio>
#include <cstring>

#include "assets/locale.h"
#include "input/input.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/payloads.h"
#include "platform/keymap.h"
#include "ui/character_classes.h"
#include "ui/screen_common.h"
#include "ui/screen_internal.h"
#include "ui/screens.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

enum : uint32_t {
  ID_WINDOW = 0x43100001u,
  ID_NAME = 0x43100010u,
  ID_CLASS_LEFT = 0x43100011u,
  ID_CLASS_RIGHT = 0x43100012u,
  ID_MALE = 0x43100013u,
  ID_FEMALE = 0x43100014u,
  ID_CREATE = 0x43100015u,
  ID_OK = 0x43100016u,
  ID_PLUS = 0x43100020u,   // + attribute index
  ID_MINUS = 0x43100030u,  // + attribute index
};
enum : uint32_t {
  KEY_CREATING = 0x784E9F3Au,
};
// Texts of the creation screen's own labels, by name in the locale.
const char* const kAttributeKeys[CLASS_ATTRIBUTES] = {"creation.attribute.1", "creation.attribute.2",
                                                      "creation.attribute.3", "creation.attribute.4"};

struct Creation {
  ScreenField name;
  int32_t klass, sex;
  int32_t added[CLASS_ATTRIBUTES];
  int32_t pool;
  ScreenMessage message;
  int32_t create_clicked, ok_clicked;
  int32_t step_clicked;  // a stepper or attribute button id clicked this frame, 0 none
};
Creation g_create;

void cb_state(uint32_t id, uint32_t state) {
  if (!(state & UI_STATE_CLICKED)) return;
  if (id == ID_CREATE)
    g_create.create_clicked = 1;
  else if (id == ID_OK)
    g_create.ok_clicked = 1;
  else
    g_create.step_clicked = (int32_t)id;
}
int cb_toggle(uint32_t id, int proposed) {
  if (proposed && id == ID_MALE) g_create.sex = 1;
  if (proposed && id == ID_FEMALE) g_create.sex = 0;
  return id == ID_MALE ? g_create.sex == 1 : g_create.sex == 0;
}
int cb_accept(uint32_t, uint32_t c, uint32_t length) {
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && length <= CLASS_NAME_MAX;
}
uint32_t cb_caret_get(uint32_t) { return g_create.name.caret; }
void cb_caret_set(uint32_t, uint32_t index) { g_create.name.caret = index; }
uint32_t cb_start_get(uint32_t) { return g_create.name.start; }
void cb_start_set(uint32_t, uint32_t index) { g_create.name.start = index; }
int cb_focused(uint32_t id) { return id == ID_NAME && !g_create.message.text_key; }

const UiCallbacks kCallbacks = {cb_state,     nullptr,    cb_toggle,    nullptr, nullptr,      nullptr,
                                nullptr,      nullptr,    cb_accept,    nullptr, nullptr,      cb_start_get,
                                cb_caret_get, cb_focused, cb_caret_set, nullptr, cb_start_set, nullptr,
                                nullptr,      nullptr,    nullptr};

void step(int32_t id) {
  if (id == (int32_t)ID_CLASS_LEFT && g_create.klass > 0) g_create.klass--;
  if (id == (int32_t)ID_CLASS_RIGHT && g_create.klass < CLASS_COUNT - 1) g_create.klass++;
  for (int32_t i = 0; i < CLASS_ATTRIBUTES; i++) {
    if (id == (int32_t)ID_PLUS + i && g_create.pool > 0 && g_create.added[i] < CLASS_ADDED_MAX) {
      g_create.added[i]++;
      g_create.pool--;
    }
    if (id == (int32_t)ID_MINUS + i && g_create.pool < CLASS_POOL && g_create.added[i] > 0) {
      g_create.added[i]--;
      g_create.pool++;
    }
  }
  screens_play(SCREEN_SOUND_DISMISS);
}

void create(void) {
  if (g_create.name.buffer.count < CLASS_NAME_MIN || g_create.pool != 0) return;
  char name[CLASS_NAME_MAX + 1];
  screen_field_utf8(&g_create.name, name, sizeof name);
  uint8_t pairs[CLASS_ATTRIBUTES * 2];
  for (int32_t i = 0; i < CLASS_ATTRIBUTES; i++) {
    pairs[2 * i] = CLASS_BASE[g_create.klass][i];
    pairs[2 * i + 1] = (uint8_t)g_create.added[i];
  }
  OutCreateCharacter c;
  out_create_character_fill(&c, name, pairs, (uint8_t)g_create.sex, (uint8_t)g_create.klass);
  OutPayload payload = {&kOutCreateCharacter, &c};
  PayloadWriter w = payload_writer(&payload);
  net_world_send_with(OUT_WORLD_CREATE_CHARACTER, &w);
  g_create.message = ScreenMessage{KEY_CREATING, 0};
  screens_play(SCREEN_SOUND_CLICK);
}

void declare(void) {
  ui_style_push(UI_SKIN_PANEL);
  ui_window_begin(ID_WINDOW, 0, -20, 0, 260, 330, 2, 5, nullptr);
  ui_style_pop();
  ui_style_push(UI_SKIN_FIELD);
  ui_text_field(ID_NAME, &g_create.name.buffer, 20, -24, 220, 15, 1, 0, &kCallbacks);
  ui_style_pop();
  screen_button(ID_CLASS_LEFT, 0, 20, -56, 26, 22, 0, &kCallbacks);
  screen_label("<", 20, -56, 26, 22, 0, 1);
  screen_label(screen_text(CLASS_LABEL[g_create.klass]), 50, -56, 160, 22, 0, 1);
  screen_button(ID_CLASS_RIGHT, 0, 214, -56, 26, 22, 0, &kCallbacks);
  screen_label(">", 214, -56, 26, 22, 0, 1);
  ui_style_push(UI_SKIN_TOGGLE);
  ui_toggle(ID_MALE, g_create.sex == 1, 40, -92, 16, 16, 1, 0, &kCallbacks);
  ui_toggle(ID_FEMALE, g_create.sex == 0, 140, -92, 16, 16, 1, 0, &kCallbacks);
  ui_style_pop();
  screen_label(screen_text(name_hash("creation.male")), 60, -92, 70, 16, 0, 0);
  screen_label(screen_text(name_hash("creation.female")), 160, -92, 70, 16, 0, 0);
  for (int32_t i = 0; i < CLASS_ATTRIBUTES; i++) {
    const int32_t y = -124 - 30 * i;
    char value[16];
    snprintf(value, sizeof value, "%d", CLASS_BASE[g_create.klass][i] + g_create.added[i]);
    screen_label(screen_text(name_hash(kAttributeKeys[i])), 20, y, 100, 22, 0, 0);
    screen_button(ID_MINUS + (uint32_t)i, 0, 130, y, 26, 22, 0, &kCallbacks);
    screen_label("-", 130, y, 26, 22, 0, 1);
    screen_label(value, 160, y, 40, 22, 0, 1);
    screen_button(ID_PLUS + (uint32_t)i, 0, 204, y, 26, 22, 0, &kCallbacks);
    screen_label("+", 204, y, 26, 22, 0, 1);
  }
  char pool[64];
  snprintf(pool, sizeof pool, "%s %d", screen_text(name_hash("creation.points")), g_create.pool);
  screen_label(pool, 20, -250, 220, 20, 0, 0);
  screen_button(ID_CREATE, name_hash("creation.create"), 0, 16, 140, 26, 7, &kCallbacks);
  ui_window_end();
  screen_message_declare(&g_create.message, ID_OK, &kCallbacks);
}

}  // namespace

void creation_show(uint32_t text_key, uint32_t button_key) {
  g_create.message = ScreenMessage{text_key, button_key};
}

void creation_enter(void) {
  screen_field_reset(&g_create.name, CLASS_NAME_MAX);
  g_create.klass = 0;
  g_create.sex = 1;
  for (int32_t& a : g_create.added) a = 0;
  g_create.pool = CLASS_POOL;
  g_create.message = ScreenMessage{0, 0};
  g_create.create_clicked = g_create.ok_clicked = g_create.step_clicked = 0;
}

void creation_frame(void) {
  const int box = g_create.message.text_key != 0, error = g_create.message.button_key != 0;
  const int enter = screen_enter_pressed();
  if (error) {
    if (g_create.ok_clicked || enter || key_pressed(KEY_ESCAPE)) {
      screens_play(SCREEN_SOUND_DISMISS);
      g_create.message = ScreenMessage{0, 0};
    }
  } else if (!box) {
    if (g_create.step_clicked) step(g_create.step_clicked);
    if (g_create.create_clicked || enter) create();
  }
  g_create.create_clicked = g_create.ok_clicked = g_create.step_clicked = 0;
  declare();
}

void creation_shutdown(void) { g_create = Creation{}; }

void creation_view(CharacterView* out) {
  out->klass = g_create.klass;
  out->sex = g_create.sex;
  out->pool = g_create.pool;
  for (int32_t i = 0; i < CLASS_ATTRIBUTES; i++) out->added[i] = g_create.added[i];
  out->name_count = g_create.name.buffer.count;
  if (frontend_state() == FRONTEND_CREATION) {
    out->status_key = g_create.message.text_key;
    out->button_key = g_create.message.button_key;
  }
}
