// The character selection (front-end state 2): asks the world server for the account's
// character, shows it with enter, delete and back, and hands its appearance to the preview
// standing in the background scene. An account without a character goes on to creation.
#include <cstring>

#include "base/strings.h"
#include "game/character_preview.h"
#include "input/input.h"
#include "input/keybind.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/payloads.h"
#include "platform/clock.h"
#include "platform/keymap.h"
#include "settings/settings.h"
#include "ui/screen_common.h"
#include "ui/screen_internal.h"
#include "ui/screens.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

enum : uint32_t {
  ID_WINDOW = 0x43000001u,
  ID_DIALOG = 0x43000002u,
  ID_BACK = 0x43000010u,
  ID_ENTER = 0x43000011u,
  ID_DELETE = 0x43000012u,
  ID_CONFIRM = 0x43000013u,
  ID_CANCEL = 0x43000014u,
  ID_OK = 0x43000015u,
  ID_CONFIRM_FIELD = 0x43000016u,
};
enum : uint32_t {
  KEY_WAIT = 0x6777E88Du,
  KEY_ENTERING = 0x0FFCE4F1u,
  KEY_DELETE_ASK = 0x6BEE957Fu,
  KEY_CONFIRM = 0x3A5373FCu,
  KEY_CANCEL = 0x3023B72Fu,
  KEY_DELETING = 0x2940B660u,
  KEY_BACK = 0x4B38A5A6u,
  KEY_ENTER = 0x6F26645Au,
  KEY_DELETE = 0x1E7C4FF0u,
};

struct Characters {
  char summary[65], name[65], line[129];
  int32_t id;
  int32_t appearance;
  int32_t requested, received, present;
  int32_t dialog_open;
  ScreenField confirm;
  ScreenMessage message;
  int32_t enter_clicked, delete_clicked, back_clicked, ok_clicked, confirm_clicked, cancel_clicked;
};
Characters g_chars;

ScreenField* field_of(uint32_t id) { return id == ID_CONFIRM_FIELD ? &g_chars.confirm : nullptr; }

void cb_state(uint32_t id, uint32_t state) {
  if (!(state & UI_STATE_CLICKED)) return;
  if (id == ID_ENTER) g_chars.enter_clicked = 1;
  if (id == ID_DELETE) g_chars.delete_clicked = 1;
  if (id == ID_BACK) g_chars.back_clicked = 1;
  if (id == ID_OK) g_chars.ok_clicked = 1;
  if (id == ID_CONFIRM) g_chars.confirm_clicked = 1;
  if (id == ID_CANCEL) g_chars.cancel_clicked = 1;
}
int cb_accept(uint32_t, uint32_t c, uint32_t length) { return c > ' ' && length <= 64; }
uint32_t cb_caret_get(uint32_t id) { return field_of(id) ? field_of(id)->caret : 0; }
void cb_caret_set(uint32_t id, uint32_t index) {
  if (ScreenField* f = field_of(id)) f->caret = index;
}
uint32_t cb_start_get(uint32_t id) { return field_of(id) ? field_of(id)->start : 0; }
void cb_start_set(uint32_t id, uint32_t index) {
  if (ScreenField* f = field_of(id)) f->start = index;
}
int cb_focused(uint32_t id) {
  return id == ID_CONFIRM_FIELD && g_chars.dialog_open && !g_chars.message.text_key;
}

const UiCallbacks kCallbacks = {cb_state,     nullptr,    nullptr,      nullptr, nullptr,      nullptr,
                                nullptr,      nullptr,    cb_accept,    nullptr, nullptr,      cb_start_get,
                                cb_caret_get, cb_focused, cb_caret_set, nullptr, cb_start_set, nullptr,
                                nullptr,      nullptr,    nullptr};

void send_id(uint16_t opcode, int32_t id) {
  PayloadWriter w = {&id, [](MsgBuf* b, void* c) { payload_int(b, *(int32_t*)c); }};
  net_world_send_with(opcode, &w);
}

// The typed name against the character's, ASCII letters in either case alike.
int confirm_matches(void) {
  char typed[260];
  screen_field_utf8(&g_chars.confirm, typed, sizeof typed);
  const size_t n = strlen(g_chars.name);
  if (!n || strlen(typed) != n) return 0;
  for (size_t i = 0; i < n; i++) {
    char a = typed[i], b = g_chars.name[i];
    if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
    if (a != b) return 0;
  }
  return 1;
}

void enter_world(void) {
  send_id(OUT_WORLD_ENTER, g_chars.id);
  profile_load(settings_profile_path(g_chars.summary, g_chars.name));
  keybind_load();
  g_chars.message = ScreenMessage{KEY_ENTERING, 0};
  screens_play(SCREEN_SOUND_CLICK);
}

void delete_character(void) {
  send_id(OUT_WORLD_DELETE_CHARACTER, g_chars.id);
  g_chars.dialog_open = 0;
  g_chars.message = ScreenMessage{KEY_DELETING, 0};
  screens_play(SCREEN_SOUND_DISMISS);
}

void clear_clicks(void) {
  g_chars.enter_clicked = g_chars.delete_clicked = g_chars.back_clicked = 0;
  g_chars.ok_clicked = g_chars.confirm_clicked = g_chars.cancel_clicked = 0;
}

void declare(void) {
  ui_window_begin(ID_WINDOW, 0, 0, 0, 1 << 15, 1 << 15, 1, 1, nullptr);
  screen_button(ID_BACK, KEY_BACK, 12, 12, 110, 26, 1, &kCallbacks);
  if (g_chars.present) {
    screen_button(ID_ENTER, KEY_ENTER, 12, 47, 110, 26, 1, &kCallbacks);
    screen_button(ID_DELETE, KEY_DELETE, 0, 12, 110, 26, 7, &kCallbacks);
    screen_label(g_chars.summary, 0, -16, 300, 18, 6, 1);
    screen_label(g_chars.name, 0, -38, 300, 18, 6, 1);
    screen_label(g_chars.line, 0, -58, 300, 18, 6, 1);
  }
  ui_window_end();
  if (g_chars.dialog_open) {
    ui_style_push(UI_SKIN_PANEL);
    ui_window_begin(ID_DIALOG, 0, 0, 0, 320, 150, 50, 8, nullptr);
    ui_style_pop();
    screen_label(screen_text(KEY_DELETE_ASK), 0, -16, 300, 36, 6, 1);
    ui_style_push(UI_SKIN_FIELD);
    ui_text_field(ID_CONFIRM_FIELD, &g_chars.confirm.buffer, 0, 0, 200, 15, 1, 8, &kCallbacks);
    ui_style_pop();
    // The confirm button takes clicks only while the typed name matches.
    screen_button(ID_CONFIRM, KEY_CONFIRM, 20, 12, 120, 26, 1, confirm_matches() ? &kCallbacks : nullptr);
    screen_button(ID_CANCEL, KEY_CANCEL, -20, 12, 120, 26, 4, &kCallbacks);
    ui_window_end();
  }
  screen_message_declare(&g_chars.message, ID_OK, &kCallbacks);
}

}  // namespace

void characters_store(const MsgCharacterSummary* summary) {
  string_copy_utf8(g_chars.summary, sizeof g_chars.summary, summary->name ? summary->name : "");
  const CharacterDetails* c = summary->detail_count ? &summary->details : nullptr;
  g_chars.present = c ? 1 : 0;
  g_chars.id = c ? c->id : 0;
  g_chars.appearance = c ? (int32_t)c->appearance[0] : 0;
  string_copy_utf8(g_chars.name, sizeof g_chars.name, c && c->name ? c->name : "");
  string_copy_utf8(g_chars.line, sizeof g_chars.line, c && c->line ? c->line : "");
  g_chars.received = 1;
  if (g_chars.message.text_key == KEY_WAIT || g_chars.message.text_key == KEY_DELETING)
    g_chars.message = ScreenMessage{0, 0};
}

void characters_show(uint32_t text_key, uint32_t button_key) {
  g_chars.message = ScreenMessage{text_key, button_key};
}

void characters_ask_again(void) {
  g_chars.requested = 0;
  g_chars.received = 0;
}

void characters_reset(void) {
  g_chars.present = 0;
  g_chars.id = 0;
  g_chars.appearance = 0;
  g_chars.name[0] = g_chars.line[0] = 0;
  characters_ask_again();
}

void characters_enter(void) {
  characters_reset();
  g_chars.dialog_open = 0;
  g_chars.message = ScreenMessage{0, 0};
  screen_field_reset(&g_chars.confirm, 64);
  clear_clicks();
}

void characters_frame(void) {
  if (login_returning()) {
    // Waiting for the way back to the login server: the login screen's box, over the
    // selection that no longer takes input.
    login_poll_status(frame_delta());
    ui_window_begin(ID_WINDOW, 0, 0, 0, 1 << 15, 1 << 15, 1, 1, nullptr);
    ui_window_end();
    login_box_declare();
    if (login_box_take_dismiss()) frontend_set_state(FRONTEND_LOGIN);
    return;
  }
  if (!g_chars.requested) {
    g_chars.requested = 1;
    g_chars.received = 0;
    net_world_send(OUT_WORLD_ASK_CHARACTERS);
    g_chars.message = ScreenMessage{KEY_WAIT, 0};
  }
  if (g_chars.received && !g_chars.present && !g_chars.message.button_key) {
    frontend_set_state(FRONTEND_CREATION);
    return;
  }
  character_preview_show(g_chars.present ? g_chars.appearance : 0, 0);

  const int box = g_chars.message.text_key != 0, error = g_chars.message.button_key != 0;
  const int enter = screen_enter_pressed(), escape = key_pressed(KEY_ESCAPE);
  if (error) {
    if (g_chars.ok_clicked || enter || escape) {
      screens_play(SCREEN_SOUND_DISMISS);
      g_chars.message = ScreenMessage{0, 0};
    }
  } else if (g_chars.dialog_open) {
    const int matches = confirm_matches();
    if (matches && (g_chars.confirm_clicked || enter)) {
      delete_character();
    } else if (g_chars.cancel_clicked || escape) {
      screens_play(SCREEN_SOUND_DISMISS);
      g_chars.dialog_open = 0;
    }
  } else if (!box) {
    if (g_chars.present && (enter || g_chars.enter_clicked)) {
      enter_world();
    } else if (g_chars.present && g_chars.delete_clicked) {
      screens_play(SCREEN_SOUND_CLICK);
      g_chars.dialog_open = 1;
      screen_field_reset(&g_chars.confirm, 64);
    } else if (escape || g_chars.back_clicked) {
      screens_play(SCREEN_SOUND_CLICK);
      login_return_to_login();
    }
  }
  clear_clicks();
  declare();
}

void characters_shutdown(void) { g_chars = Characters{}; }

void character_view(CharacterView* out) {
  out->requested = g_chars.requested;
  out->received = g_chars.received;
  out->present = g_chars.present;
  out->dialog_open = g_chars.dialog_open;
  out->confirm_enabled = g_chars.dialog_open && confirm_matches();
  out->id = g_chars.id;
  out->status_key = g_chars.message.text_key;
  out->button_key = g_chars.message.button_key;
  creation_view(out);
}
