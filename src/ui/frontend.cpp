#include "ui/frontend.h"

#include "game/object_requests.h"
#include "net/net.h"
#include "ui/window_manager.h"

namespace {

struct Frontend {
  FrontendScreen screens[FRONTEND_STATES];
  int has_screen[FRONTEND_STATES];
  int state;
  int in_game;
  void (*game_frame)(void);
  void (*background)(void);
  UiWorldLeftListener listeners[FRONTEND_LISTENERS];
  int listener_count;
};
Frontend g_fe;

const FrontendScreen* screen_of(int state) {
  if (state < 0 || state >= FRONTEND_STATES || !g_fe.has_screen[state]) return nullptr;
  return &g_fe.screens[state];
}

void leave_world(void) {
  window_manager_close_all();
  for (int i = 0; i < g_fe.listener_count; i++) g_fe.listeners[i]();
}

}  // namespace

void frontend_set_screen(int state, const FrontendScreen* screen) {
  if (state < 0 || state >= FRONTEND_STATES) return;
  g_fe.has_screen[state] = screen ? 1 : 0;
  g_fe.screens[state] = screen ? *screen : FrontendScreen{};
}

void frontend_set_game_frame(void (*frame)(void)) { g_fe.game_frame = frame; }

void frontend_set_background(void (*background)(void)) { g_fe.background = background; }

void frontend_setup(void) {
  for (int s = 0; s < FRONTEND_STATES; s++)
    if (const FrontendScreen* sc = screen_of(s); sc && sc->init) sc->init();
}

void frontend_start(void) { game_objects_set_enter_game_hook(frontend_enter_game); }

void frontend_frame(void) {
  if (g_fe.in_game) {
    if (g_fe.game_frame) g_fe.game_frame();
    return;
  }
  const FrontendScreen* sc = screen_of(g_fe.state);
  if (!sc) return;
  if (sc->pose) sc->pose();
  if (sc->frame) sc->frame();
}

void frontend_shutdown(void) {
  game_objects_set_enter_game_hook(nullptr);
  for (int s = 0; s < FRONTEND_STATES; s++)
    if (const FrontendScreen* sc = screen_of(s); sc && sc->shutdown) sc->shutdown();
  UiWorldLeftListener listeners[FRONTEND_LISTENERS];
  int count = g_fe.listener_count;
  for (int i = 0; i < count; i++) listeners[i] = g_fe.listeners[i];
  g_fe = Frontend{};
  for (int i = 0; i < count; i++) g_fe.listeners[i] = listeners[i];
  g_fe.listener_count = count;
}

void frontend_set_state(int state) {
  if (state < 0 || state >= FRONTEND_STATES) return;
  const int from_game = g_fe.in_game;
  if (g_fe.in_game) {
    g_fe.in_game = 0;
    leave_world();
  }
  if (state == FRONTEND_LOGIN) net_world_close();
  if (from_game && (state == FRONTEND_LOGIN || state == FRONTEND_CHARACTERS) && g_fe.background)
    g_fe.background();
  g_fe.state = state;
  const FrontendScreen* sc = screen_of(state);
  if (!sc) return;
  if (sc->enter) sc->enter();
  if (sc->pose) sc->pose();
}

int frontend_state(void) { return g_fe.state; }

void frontend_enter_game(void) { g_fe.in_game = 1; }

int frontend_in_game(void) { return g_fe.in_game; }

int ui_world_left_listen(UiWorldLeftListener listener) {
  if (!listener || g_fe.listener_count >= FRONTEND_LISTENERS) return 0;
  for (int i = 0; i < g_fe.listener_count; i++)
    if (g_fe.listeners[i] == listener) return 0;
  g_fe.listeners[g_fe.listener_count++] = listener;
  return 1;
}

void ui_world_left_unlisten(UiWorldLeftListener listener) {
  for (int i = 0; i < g_fe.listener_count; i++) {
    if (g_fe.listeners[i] != listener) continue;
    g_fe.listeners[i] = g_fe.listeners[--g_fe.listener_count];
    return;
  }
}
