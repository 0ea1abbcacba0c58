// The login screen (front-end state 0): account and password, the remember flag, the session's
// progress and errors in a modal box, and the way back from a world server to the login server.
#include <cstring>

#include "base/utf8.h"
#include "input/input.h"
#include "net/crypto.h"
#include "net/net.h"
#include "net/opcodes.h"
#include "platform/clock.h"
#include "platform/keymap.h"
#include "platform/quit.h"
#include "settings/settings.h"
#include "ui/frontend.h"
#include "ui/screen_common.h"
#include "ui/screen_internal.h"
#include "ui/screens.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

enum : uint32_t {
  ID_ACCOUNT = 1,
  ID_PASSWORD = 2,
  ID_LOGIN = 0x4C000010u,
  ID_QUIT = 0x4C000011u,
  ID_REMEMBER = 0x4C000012u,
  ID_OK = 0x4C000013u,
  ID_BACKGROUND = 0x4C000001u,
  ID_PANEL = 0x4C000002u,
};
enum : uint32_t {
  KEY_TITLE = 0x2C60A2FDu,
  KEY_QUIT = 0x4F86E478u,
  KEY_LOGIN = 0x3C3F9530u,
  KEY_ACCOUNT = 0x2F081CA6u,
  KEY_PASSWORD = 0x02269717u,
  KEY_REMEMBER = 0x58EC1C97u,
  KEY_EMPTY_ACCOUNT = 0x2821B3E9u,
  KEY_EMPTY_PASSWORD = 0x3E520157u,
  KEY_OK = 0x32E41D02u,
  KEY_CONNECTING = 0x7E88FB79u,
  KEY_ACCEPTED = 0x42B35CB0u,
};
constexpr uint32_t ACCOUNT_MAX = 256, PASSWORD_MAX = 128;
constexpr float RETURN_SECONDS = 30.0f, BLINK_PERIOD = 2.0f / 3.0f;

struct Login {
  ScreenField account, password;
  int32_t focus;  // 1 account, 2 password
  int32_t remember;
  ScreenMessage message;
  int32_t busy, accepted, waiting;
  int32_t returning;  // the box belongs to a return from a world server
  float wait_timer;
  float blink;
  UiStyle field_style;  // the skin's field style, its caret hidden while the blink is off
  // What the callbacks saw this frame, acted on after the frame's declaring.
  int32_t login_clicked, quit_clicked, ok_clicked;
};
Login g_login;

int credential_char_ok(uint32_t c) {
  uint8_t bytes[5] = {};
  if (utf8_encode(c, bytes) <= 0) return 0;
  return net_credential_text_ok((const char*)bytes);
}

int account_accepts(uint32_t c, uint32_t length) {
  return c != ' ' && c != '\t' && length <= ACCOUNT_MAX && credential_char_ok(c);
}
int password_accepts(uint32_t c, uint32_t length) { return length <= PASSWORD_MAX && credential_char_ok(c); }

ScreenField* field_of(uint32_t id) {
  return id == ID_ACCOUNT ? &g_login.account : id == ID_PASSWORD ? &g_login.password : nullptr;
}

int cb_accept(uint32_t id, uint32_t c, uint32_t length) {
  return id == ID_ACCOUNT ? account_accepts(c, length) : id == ID_PASSWORD ? password_accepts(c, length) : 0;
}
uint32_t cb_glyph(uint32_t id, uint32_t c) { return id == ID_PASSWORD ? (uint32_t)'*' : c; }
uint32_t cb_caret_get(uint32_t id) {
  const ScreenField* f = field_of(id);
  return f ? f->caret : 0;
}
void cb_caret_set(uint32_t id, uint32_t index) {
  ScreenField* f = field_of(id);
  if (!f) return;
  if (f->caret != index) g_login.blink = 0;  // a moved caret shows at once
  f->caret = index;
}
uint32_t cb_start_get(uint32_t id) {
  const ScreenField* f = field_of(id);
  return f ? f->start : 0;
}
void cb_start_set(uint32_t id, uint32_t index) {
  if (ScreenField* f = field_of(id)) f->start = index;
}
int cb_focused(uint32_t id) { return (int32_t)id == g_login.focus && !g_login.message.text_key; }
void cb_text_click(uint32_t id, uint32_t index) {
  ScreenField* f = field_of(id);
  if (!f) return;
  g_login.focus = (int32_t)id;
  f->caret = f->start + index;
  if (f->caret > f->buffer.count) f->caret = f->buffer.count;
  g_login.blink = 0;
}
int cb_toggle(uint32_t id, int proposed) {
  if (id == ID_REMEMBER) g_login.remember = proposed ? 1 : 0;
  return g_login.remember;
}
void cb_state(uint32_t id, uint32_t state) {
  if (!(state & UI_STATE_CLICKED)) return;
  if (id == ID_LOGIN) g_login.login_clicked = 1;
  if (id == ID_QUIT) g_login.quit_clicked = 1;
  if (id == ID_OK) g_login.ok_clicked = 1;
}

const UiCallbacks kCallbacks = {
    cb_state,     nullptr,       cb_toggle,    nullptr,  nullptr,      nullptr,      nullptr,
    nullptr,      cb_accept,     nullptr,      cb_glyph, cb_start_get, cb_caret_get, cb_focused,
    cb_caret_set, cb_text_click, cb_start_set, nullptr,  nullptr,      nullptr,      nullptr};

void show(uint32_t text_key, uint32_t button_key) {
  g_login.message.text_key = text_key;
  g_login.message.button_key = button_key;
}

void dismiss(void) {
  screens_play(SCREEN_SOUND_DISMISS);
  show(0, 0);
  g_login.busy = 0;
  g_login.accepted = 0;
  g_login.returning = 0;
}

void log_in(void) {
  screens_play(SCREEN_SOUND_CLICK);
  if (!g_login.account.buffer.count) return show(KEY_EMPTY_ACCOUNT, KEY_OK);
  if (!g_login.password.buffer.count) return show(KEY_EMPTY_PASSWORD, KEY_OK);
  // Each credential character is one byte on the wire (the fields take nothing else), so
  // these sizes hold the whole text in UTF-8.
  char account[ACCOUNT_MAX * 2 + 1], password[PASSWORD_MAX * 2 + 1];
  uint8_t credentials[NET_CREDENTIALS_MAX];
  screen_field_utf8(&g_login.account, account, sizeof account);
  screen_field_utf8(&g_login.password, password, sizeof password);
  const int32_t length = net_build_credentials(account, password, credentials, sizeof credentials);
  crypto_wipe(password, sizeof password);
  screen_field_wipe(&g_login.password);
  if (length <= 0) {
    crypto_wipe(credentials, sizeof credentials);
    return show(net_status_key(SESSION_STATUS_FAILED), KEY_OK);
  }
  g_login.busy = 1;
  g_login.accepted = 0;
  show(KEY_CONNECTING, 0);
  net_login_open(setting_host(), (uint16_t)setting_port(), credentials, (uint32_t)length);
  crypto_wipe(credentials, sizeof credentials);
  setting_set_account(g_login.remember ? account : "");
}

void reset(void) {
  screen_field_reset(&g_login.account, ACCOUNT_MAX);
  screen_field_reset(&g_login.password, PASSWORD_MAX);
  screen_field_wipe(&g_login.password);
  show(0, 0);
  g_login.busy = g_login.accepted = g_login.waiting = g_login.returning = 0;
  g_login.wait_timer = 0;
  g_login.blink = 0;
  const char* account = setting_account();
  g_login.remember = account && *account ? 1 : 0;
  if (g_login.remember) screen_field_set(&g_login.account, account, account_accepts);
  g_login.focus = g_login.remember ? ID_PASSWORD : ID_ACCOUNT;
}

}  // namespace

// Steps 1 and 2 of the frame: the session's status into the box. Also run by the character
// screen while a return to the login server is awaited.
void login_poll_status(float dt) {
  if (!g_login.busy) return;
  int32_t status;
  if (g_login.waiting) {
    g_login.wait_timer -= dt;
    status = net_world_is_open() ? SESSION_STATUS_CONNECTING : SESSION_STATUS_FAILED;
    if (g_login.wait_timer <= 0) status = SESSION_STATUS_TIMED_OUT;
    if (status < 0) {
      net_world_close();
      g_login.busy = g_login.waiting = g_login.accepted = 0;
    }
  } else {
    status = net_login_status();
  }
  show(net_status_key(status), net_status_is_error(status) ? (uint32_t)KEY_OK : 0u);
  if (status == SESSION_STATUS_ACCEPTED && !g_login.accepted && !g_login.waiting) {
    g_login.accepted = 1;
    world_list_clear();
    net_login_send(OUT_LOGIN_ASK_WORLDS);
    show(KEY_ACCEPTED, 0);
  }
}

int login_box_shown(void) { return g_login.message.text_key != 0; }
int login_returning(void) { return g_login.returning; }

void login_box_declare(void) { screen_message_declare(&g_login.message, ID_OK, &kCallbacks); }

int login_box_take_dismiss(void) {
  const int clicked = g_login.ok_clicked;
  g_login.ok_clicked = 0;
  if (clicked || (g_login.message.button_key && (screen_enter_pressed() || key_pressed(KEY_ESCAPE)))) {
    dismiss();
    return 1;
  }
  return 0;
}

void login_enter(void) { reset(); }

void login_frame(void) {
  const float dt = frame_delta();
  login_poll_status(dt);
  g_login.blink += dt;
  while (g_login.blink >= BLINK_PERIOD) g_login.blink -= BLINK_PERIOD;

  // Clicks reported at the end of the last frame act now, before this frame's keys.
  if (g_login.ok_clicked) {
    g_login.ok_clicked = 0;
    if (g_login.message.button_key) dismiss();
  }
  if (g_login.quit_clicked) {
    g_login.quit_clicked = 0;
    screens_play(SCREEN_SOUND_CLICK);
    request_quit();
  }
  if (g_login.login_clicked) {
    g_login.login_clicked = 0;
    if (!g_login.busy && !g_login.message.text_key) log_in();
  }

  const int error_box = g_login.message.button_key != 0;
  if (screen_enter_pressed()) {
    if (error_box)
      dismiss();
    else if (!g_login.busy && !g_login.message.text_key)
      log_in();
  } else if (key_pressed(KEY_ESCAPE)) {
    if (!g_login.message.text_key)
      request_quit();
    else if (error_box)
      dismiss();
  } else if (key_pressed(KEY_TAB) && !g_login.busy) {
    g_login.focus = g_login.focus == ID_ACCOUNT ? ID_PASSWORD : ID_ACCOUNT;
    g_login.blink = 0;
  }

  // The background: a full-frame window with the title and the quit button.
  ui_style_push(UI_SKIN_LABEL);
  ui_window_begin(ID_BACKGROUND, 0, 0, 0, 1 << 15, 1 << 15, 1, 1, nullptr);
  ui_style_pop();
  screen_label(screen_text(KEY_TITLE), 0, -20, 400, 24, 6, 1);
  screen_button(ID_QUIT, KEY_QUIT, 12, -12, 100, 26, 0, &kCallbacks);
  ui_window_end();

  // The panel with the fields.
  g_login.field_style = *ui_style_find(UI_SKIN_FIELD);
  if (g_login.blink >= BLINK_PERIOD / 3) g_login.field_style.caret_width = 0;
  ui_style_push(UI_SKIN_PANEL);
  ui_window_begin(ID_PANEL, 0, 0, 0, 200, 280, 2, 8, nullptr);
  ui_style_pop();
  // Places inside the panel are from its left edge and its middle line.
  screen_label(screen_text(KEY_ACCOUNT), 23, 50, 151, 16, 2, 0);
  screen_label(screen_text(KEY_PASSWORD), 23, -10, 151, 16, 2, 0);
  ui_style_push(UI_SKIN_FIELD);
  ui_box(23 - 6, 28 - 4, 164, 24, 0, 2);
  ui_box(23 - 6, -32 - 4, 164, 24, 0, 2);
  ui_style_pop();
  ui_style_push_record(&g_login.field_style);
  ui_text_field(ID_ACCOUNT, &g_login.account.buffer, 23, 28, 151, 15, 1, 2, &kCallbacks);
  ui_text_field(ID_PASSWORD, &g_login.password.buffer, 23, -32, 151, 15, 1, 2, &kCallbacks);
  ui_style_pop();
  ui_style_push(UI_SKIN_TOGGLE);
  ui_toggle(ID_REMEMBER, g_login.remember, 23, -72, 16, 16, 1, 2, &kCallbacks);
  ui_style_pop();
  screen_label(screen_text(KEY_REMEMBER), 45, -72, 140, 16, 2, 0);
  screen_button(ID_LOGIN, KEY_LOGIN, 0, 20, 120, 26, 7, &kCallbacks);
  ui_window_end();

  screen_message_declare(&g_login.message, ID_OK, &kCallbacks);

  if (g_login.accepted && world_list_received()) {
    g_login.accepted = 0;
    g_login.busy = 0;
    show(0, 0);
    frontend_set_state(FRONTEND_SERVER_LIST);
  }
}

void login_shutdown(void) {
  screen_field_wipe(&g_login.password);
  g_login = Login{};
}

void login_return_to_login(void) {
  if (!net_world_is_open() || g_login.waiting) return;
  reset();
  g_login.busy = 1;
  g_login.waiting = 1;
  g_login.returning = 1;
  g_login.wait_timer = RETURN_SECONDS;
  show(KEY_CONNECTING, 0);
  net_world_send(OUT_WORLD_RETURN_TO_LOGIN);
}

void login_reopen(const char* text) {
  if (!text || !g_login.waiting || frontend_state() != FRONTEND_CHARACTERS) return;
  const uint32_t length = (uint32_t)strnlen(text, NET_CREDENTIALS_MAX);
  // Into the login screen first: entering state 0 closes the world session, whose server has
  // handed the player back, and resets the screen, which then waits for the login server.
  frontend_set_state(FRONTEND_LOGIN);
  g_login.busy = 1;
  g_login.accepted = 0;
  show(KEY_CONNECTING, 0);
  // A login session still open from before the world was picked would swallow the open: the
  // return text is the credentials of a fresh one.
  net_login_close();
  net_login_open(setting_host(), (uint16_t)setting_port(), (const uint8_t*)text, length);
}

void login_view(LoginView* out) {
  out->status_key = g_login.message.text_key;
  out->button_key = g_login.message.button_key;
  out->busy = g_login.busy;
  out->accepted = g_login.accepted;
  out->waiting = g_login.waiting;
  out->remember = g_login.remember;
  out->focus = g_login.focus;
  out->account_count = g_login.account.buffer.count;
  out->password_count = g_login.password.buffer.count;
}
