// Window messages from SDL events.
#include "platform/sdl_events.h"

#include <SDL2/SDL.h>

#include <cstring>

#include "platform/keymap.h"
#include "platform/sdl_video.h"

// SDL scan codes (USB usage ids) to set-1 scan codes; bit 8 marks an extended key.
static constexpr uint16_t EXT = 0x100;
struct ScanTable {
  uint16_t code[SDL_NUM_SCANCODES];
};

static constexpr ScanTable make_scan_table() {
  ScanTable t{};
  const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                               0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; i++) t.code[SDL_SCANCODE_A + i] = letters[i];
  for (int i = 0; i < 9; i++) t.code[SDL_SCANCODE_1 + i] = (uint16_t)(0x02 + i);
  t.code[SDL_SCANCODE_0] = 0x0B;
  for (int i = 0; i < 10; i++) t.code[SDL_SCANCODE_F1 + i] = (uint16_t)(0x3B + i);
  t.code[SDL_SCANCODE_F11] = 0x57;
  t.code[SDL_SCANCODE_F12] = 0x58;
  for (int i = 0; i < 11; i++) t.code[SDL_SCANCODE_F13 + i] = (uint16_t)(0x64 + i);
  t.code[SDL_SCANCODE_F24] = 0x76;
  const uint16_t keypad[9] = {0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  for (int i = 0; i < 9; i++) t.code[SDL_SCANCODE_KP_1 + i] = keypad[i];
  t.code[SDL_SCANCODE_KP_0] = 0x52;
  const uint16_t pairs[][2] = {
      {SDL_SCANCODE_RETURN, 0x1C},
      {SDL_SCANCODE_ESCAPE, 0x01},
      {SDL_SCANCODE_BACKSPACE, 0x0E},
      {SDL_SCANCODE_TAB, 0x0F},
      {SDL_SCANCODE_SPACE, 0x39},
      {SDL_SCANCODE_MINUS, 0x0C},
      {SDL_SCANCODE_EQUALS, 0x0D},
      {SDL_SCANCODE_LEFTBRACKET, 0x1A},
      {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
      {SDL_SCANCODE_BACKSLASH, 0x2B},
      {SDL_SCANCODE_NONUSHASH, 0x2B},
      {SDL_SCANCODE_SEMICOLON, 0x27},
      {SDL_SCANCODE_APOSTROPHE, 0x28},
      {SDL_SCANCODE_GRAVE, 0x29},
      {SDL_SCANCODE_COMMA, 0x33},
      {SDL_SCANCODE_PERIOD, 0x34},
      {SDL_SCANCODE_SLASH, 0x35},
      {SDL_SCANCODE_CAPSLOCK, 0x3A},
      {SDL_SCANCODE_PRINTSCREEN, EXT | 0x37},
      {SDL_SCANCODE_SCROLLLOCK, 0x46},
      {SDL_SCANCODE_PAUSE, 0x45},
      {SDL_SCANCODE_INSERT, EXT | 0x52},
      {SDL_SCANCODE_HOME, EXT | 0x47},
      {SDL_SCANCODE_PAGEUP, EXT | 0x49},
      {SDL_SCANCODE_DELETE, EXT | 0x53},
      {SDL_SCANCODE_END, EXT | 0x4F},
      {SDL_SCANCODE_PAGEDOWN, EXT | 0x51},
      {SDL_SCANCODE_RIGHT, EXT | 0x4D},
      {SDL_SCANCODE_LEFT, EXT | 0x4B},
      {SDL_SCANCODE_DOWN, EXT | 0x50},
      {SDL_SCANCODE_UP, EXT | 0x48},
      {SDL_SCANCODE_NUMLOCKCLEAR, EXT | 0x45},
      {SDL_SCANCODE_KP_DIVIDE, EXT | 0x35},
      {SDL_SCANCODE_KP_MULTIPLY, 0x37},
      {SDL_SCANCODE_KP_MINUS, 0x4A},
      {SDL_SCANCODE_KP_PLUS, 0x4E},
      {SDL_SCANCODE_KP_ENTER, EXT | 0x1C},
      {SDL_SCANCODE_KP_PERIOD, 0x53},
      {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
      {SDL_SCANCODE_APPLICATION, EXT | 0x5D},
      {SDL_SCANCODE_LCTRL, 0x1D},
      {SDL_SCANCODE_LSHIFT, 0x2A},
      {SDL_SCANCODE_LALT, 0x38},
      {SDL_SCANCODE_LGUI, EXT | 0x5B},
      {SDL_SCANCODE_RCTRL, EXT | 0x1D},
      {SDL_SCANCODE_RSHIFT, 0x36},
      {SDL_SCANCODE_RALT, EXT | 0x38},
      {SDL_SCANCODE_RGUI, EXT | 0x5C},
  };
  for (const auto& p : pairs) t.code[p[0]] = p[1];
  return t;
}

static constexpr ScanTable SCANS = make_scan_table();

uint32_t sdl_key_param(int scancode, int repeat) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  uint16_t c = SCANS.code[scancode];
  return key_param_make(c & 0xFF, (c & EXT) != 0, repeat);
}

static int sdl_button(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return -1;
  }
}

// Translates one SDL event; 0 when it means nothing to the window procedure.
static int sdl_translate(const SDL_Event& e, WindowMessage* m) {
  memset(m, 0, sizeof *m);
  if (e.type == sdl_quit_event_type()) {
    m->kind = WMSG_QUIT;
    m->code = e.user.code;
    return 1;
  }
  switch (e.type) {
    case SDL_QUIT:
      m->kind = WMSG_QUIT;
      return 1;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      m->kind = e.type == SDL_KEYDOWN ? WMSG_KEY_DOWN : WMSG_KEY_UP;
      m->param = sdl_key_param(e.key.keysym.scancode, e.key.repeat);
      return m->param != 0;
    case SDL_TEXTINPUT: {
      m->kind = WMSG_TEXT;
      size_t n = strnlen(e.text.text, sizeof e.text.text);
      if (n > sizeof m->text) n = sizeof m->text;
      memcpy(m->text, e.text.text, n);
      m->length = (uint32_t)n;
      return n != 0;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int b = sdl_button(e.button.button);
      if (b < 0) return 0;
      m->kind = e.type == SDL_MOUSEBUTTONDOWN ? WMSG_BUTTON_DOWN : WMSG_BUTTON_UP;
      m->param = (uint32_t)b;
      return 1;
    }
    case SDL_MOUSEWHEEL:
      m->kind = WMSG_WHEEL;
      m->code = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      return 1;
    case SDL_MOUSEMOTION:
      m->kind = WMSG_SET_CURSOR;
      m->param = 1;
      return 1;
    case SDL_DISPLAYEVENT:
      m->kind = WMSG_SETTINGS_CHANGE;
      return 1;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          m->kind = WMSG_CLOSE;
          return 1;
        case SDL_WINDOWEVENT_ENTER:
          m->kind = WMSG_SET_CURSOR;
          m->param = 1;
          return 1;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          m->kind = WMSG_SIZE;
          m->x = e.window.data1;
          m->y = e.window.data2;
          return 1;
        case SDL_WINDOWEVENT_MINIMIZED:
          m->kind = WMSG_SIZE;
          m->param = 1;
          return 1;
        default:
          return 0;
      }
    default:
      return 0;
  }
}

// Focus changes become three messages, as the system sends them: activation, the
// foreground change and (on loss) the keyboard focus loss.
static WindowMessage g_pending[3];
static int g_pending_count, g_pending_next;

static int sdl_focus_messages(const SDL_Event& e) {
  if (e.type != SDL_WINDOWEVENT) return 0;
  int gained = e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
  if (!gained && e.window.event != SDL_WINDOWEVENT_FOCUS_LOST) return 0;
  memset(g_pending, 0, sizeof g_pending);
  g_pending[0].kind = WMSG_ACTIVATE;
  g_pending[0].param = (uint32_t)gained;
  g_pending[1].kind = WMSG_ACTIVATE_APP;
  g_pending[1].param = (uint32_t)gained;
  g_pending_count = 2;
  if (!gained) g_pending[g_pending_count++].kind = WMSG_KILL_FOCUS;
  g_pending_next = 0;
  return 1;
}

int sdl_poll_message(WindowMessage* out) {
  for (;;) {
    if (g_pending_next < g_pending_count) {
      *out = g_pending[g_pending_next++];
      return 1;
    }
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return 0;
    if (sdl_focus_messages(e)) continue;
    if (sdl_translate(e, out)) return 1;
  }
}
