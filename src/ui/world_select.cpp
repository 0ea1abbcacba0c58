// The world list (front-end state 1). Deliberately minimal: one line per world (its label, or
// its name when the label is empty), the first highlighted; a click or Up/Down picks, Enter
// or the connect button asks the login server for that world's ticket, refresh asks for the
// list again and Escape or back closes the login session. While the world session opens, the
// box shows its status: accepted leads to the character selection, an error shows its text
// with OK and leaves the player on the list.
#include <cstdio>
#include <cstring>

#include "assets/locale.h"
#include "base/strings.h"
#include "input/input.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/payloads.h"
#include "platform/keymap.h"
#include "ui/screen_common.h"
#include "ui/screen_internal.h"
#include "ui/screens.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

enum : uint32_t {
  ID_WINDOW = 0x57000001u,
  ID_CONNECT = 0x57000010u,
  ID_REFRESH = 0x57000011u,
  ID_BACK = 0x57000012u,
  ID_OK = 0x57000013u,
  ID_ROW = 0x57000100u,  // + row index
};
enum : uint32_t {
  KEY_CONNECT = 0x3C3F9530u,  // the log-in button's text
  KEY_BACK = 0x4B38A5A6u,     // the character screen's back text
  KEY_OK = 0x32E41D02u,
  KEY_ASKING = 0x7E88FB79u,
};
enum : int32_t { WORLDS_MAX = 32, ROW_HEIGHT = 22 };

struct WorldList {
  WorldEntry worlds[WORLDS_MAX];
  int32_t count, selected, received;
  int32_t asked;       // login 3 sent, the ticket not yet here
  int32_t connecting;  // the world session was opened with the ticket
  ScreenMessage message;
  int32_t clicked_row;  // -1 none
  int32_t connect_clicked, refresh_clicked, back_clicked, ok_clicked;
};
WorldList g_list;

void cb_state(uint32_t id, uint32_t state) {
  if (!(state & UI_STATE_CLICKED)) return;
  if (id == ID_CONNECT) g_list.connect_clicked = 1;
  if (id == ID_REFRESH) g_list.refresh_clicked = 1;
  if (id == ID_BACK) g_list.back_clicked = 1;
  if (id == ID_OK) g_list.ok_clicked = 1;
  if (id >= ID_ROW && id < ID_ROW + (uint32_t)WORLDS_MAX) g_list.clicked_row = (int32_t)(id - ID_ROW);
}
const UiCallbacks kCallbacks = {cb_state, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr,  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr,  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

void send_pick(const char* name) {
  struct Ctx {
    const char* name;
  } ctx = {name};
  PayloadWriter w = {&ctx, [](MsgBuf* b, void* c) { payload_text(b, ((Ctx*)c)->name); }};
  net_login_send_with(OUT_LOGIN_PICK_WORLD, &w);
}

void connect(void) {
  if (g_list.count <= 0 || g_list.message.text_key) return;
  screens_play(SCREEN_SOUND_CLICK);
  g_list.asked = 1;
  g_list.message = ScreenMessage{KEY_ASKING, 0};
  send_pick(g_list.worlds[g_list.selected].name);
}

void dismiss(void) {
  screens_play(SCREEN_SOUND_DISMISS);
  g_list.message = ScreenMessage{0, 0};
  g_list.asked = g_list.connecting = 0;
}

}  // namespace

void world_list_clear(void) { g_list.count = g_list.selected = g_list.received = 0; }

int world_list_received(void) { return g_list.received; }
int32_t world_list_count(void) { return g_list.count; }

// MSG_WORLD_LIST_SET replaces the list, MSG_WORLD_LIST_ADD appends; worlds beyond the limit
// are dropped.
void world_list_store(const MsgWorldList* list, int replace) {
  if (replace) g_list.count = 0;
  for (int32_t i = 0; list->worlds.items && i < list->worlds.count && g_list.count < WORLDS_MAX; i++)
    g_list.worlds[g_list.count++] = list->worlds.items[i];
  if (g_list.selected >= g_list.count) g_list.selected = g_list.count ? g_list.count - 1 : 0;
  g_list.received = 1;
}

int world_list_open_ticket(const char* ticket) {
  if (g_list.count <= 0 || !ticket) return 0;
  if (g_list.selected < 0) g_list.selected = 0;
  if (g_list.selected >= g_list.count) g_list.selected = g_list.count - 1;
  const WorldEntry& e = g_list.worlds[g_list.selected];
  net_world_open(e.host, e.port, (const uint8_t*)ticket, (uint32_t)strnlen(ticket, NET_CREDENTIALS_MAX));
  g_list.asked = 0;
  g_list.connecting = 1;
  return 1;
}

void world_list_enter(void) {
  g_list.message = ScreenMessage{0, 0};
  g_list.asked = g_list.connecting = 0;
  g_list.clicked_row = -1;
  g_list.connect_clicked = g_list.refresh_clicked = g_list.back_clicked = g_list.ok_clicked = 0;
}

void world_list_frame(void) {
  if (g_list.connecting) {
    const int32_t status = net_world_status();
    g_list.message =
        ScreenMessage{net_status_key(status), net_status_is_error(status) ? (uint32_t)KEY_OK : 0u};
    if (status == SESSION_STATUS_ACCEPTED) {
      g_list.connecting = 0;
      g_list.message = ScreenMessage{0, 0};
      frontend_set_state(FRONTEND_CHARACTERS);
      return;
    }
    if (status < 0) g_list.connecting = 0;  // the text stays until dismissed
  } else if (g_list.asked && net_login_status() < 0) {
    // The login server went away before the ticket came.
    g_list.asked = 0;
    g_list.message = ScreenMessage{net_status_key(net_login_status()), KEY_OK};
  }

  const int box = g_list.message.text_key != 0, error = g_list.message.button_key != 0;
  if (g_list.ok_clicked && error) dismiss();
  g_list.ok_clicked = 0;
  if (!box) {
    if (g_list.clicked_row >= 0 && g_list.clicked_row < g_list.count) {
      screens_play(SCREEN_SOUND_DISMISS);
      g_list.selected = g_list.clicked_row;
    }
    if (g_list.refresh_clicked) {
      screens_play(SCREEN_SOUND_CLICK);
      net_login_send(OUT_LOGIN_ASK_WORLDS_AGAIN);
    }
    if (g_list.connect_clicked) connect();
  }
  const int back = !box && g_list.back_clicked;
  g_list.clicked_row = -1;
  g_list.connect_clicked = g_list.refresh_clicked = g_list.back_clicked = 0;

  if (error && (screen_enter_pressed() || key_pressed(KEY_ESCAPE))) {
    dismiss();
  } else if (!g_list.message.text_key) {
    if (key_pressed_or_repeated(KEY_UP) && g_list.selected > 0) g_list.selected--;
    if (key_pressed_or_repeated(KEY_DOWN) && g_list.selected + 1 < g_list.count) g_list.selected++;
    if (screen_enter_pressed()) connect();
    if (back || key_pressed(KEY_ESCAPE)) {
      screens_play(SCREEN_SOUND_CLICK);
      net_login_close();
      frontend_set_state(FRONTEND_LOGIN);
      return;
    }
  }

  const int32_t height = 120 + ROW_HEIGHT * (g_list.count ? g_list.count : 1);
  ui_style_push(UI_SKIN_PANEL);
  ui_window_begin(ID_WINDOW, 0, 0, 0, 320, height, 2, 8, nullptr);
  ui_style_pop();
  screen_label(screen_text(name_hash("worlds.title")), 0, -12, 320, 20, 6, 1);
  if (!g_list.count) screen_label(screen_text(name_hash("worlds.none")), 0, -44, 320, 20, 6, 1);
  for (int32_t i = 0; i < g_list.count; i++) {
    const WorldEntry& e = g_list.worlds[i];
    char text[NET_WORLD_NAME_BYTES + 8];
    snprintf(text, sizeof text, i == g_list.selected ? "> %s <" : "%s", e.label[0] ? e.label : e.name);
    // The highlighted world is drawn as a pressed button, the others as plain ones.
    ui_style_push(i == g_list.selected ? UI_SKIN_TITLE : UI_SKIN_BUTTON);
    ui_button(ID_ROW + (uint32_t)i, 20, -44 - ROW_HEIGHT * i, 280, ROW_HEIGHT - 2, 1, 0, &kCallbacks);
    ui_label(0, text, 20, -44 - ROW_HEIGHT * i, 280, ROW_HEIGHT - 2, 2, 0, nullptr, nullptr, nullptr);
    ui_style_pop();
  }
  screen_button(ID_BACK, KEY_BACK, 12, 12, 90, 26, 1, &kCallbacks);
  screen_button(ID_REFRESH, name_hash("worlds.refresh"), 0, 12, 90, 26, 7, &kCallbacks);
  screen_button(ID_CONNECT, KEY_CONNECT, -12, 12, 90, 26, 4, &kCallbacks);
  ui_window_end();
  screen_message_declare(&g_list.message, ID_OK, &kCallbacks);
}

void world_list_shutdown(void) { g_list = WorldList{}; }

void world_list_view(WorldListView* out) {
  out->count = g_list.count;
  out->selected = g_list.selected;
  out->received = g_list.received;
  out->connecting = g_list.connecting;
  out->status_key = g_list.message.text_key;
  out->button_key = g_list.message.button_key;
}
