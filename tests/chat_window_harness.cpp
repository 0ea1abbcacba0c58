// chat_window_harness --assets DIR [--host H] [--port N] [--seconds N]
// The post-spawn harness in a window: starts the platform as the client does (a 1024 x 768
// window titled "Ostrevane Chat Harness", the renderer, sound, the archives of DIR and their
// locale), logs in through the headless flow (app/headless_login.h) and then runs the
// client's own module frame, drawn and presented, for N seconds (60 by default) or until
// the window is asked to close. Besides the flow's step lines it prints:
//   "buttons OX OY NX NY WX WY"  once in game: the window points (origin top-left) of the
//                                main log's older, newer and newest scroll buttons;
//   "log MAIN SECOND NEWEST"     whenever the logs' line counts change, with the main log's
//                                newest line;
//   "scroll MAIN SECOND"         whenever their scroll counters change.
// Exit code 0 once the local player has spawned, 1 when it never did, 2 for a bad command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/entry.h"
#include "app/headless_login.h"
#include "app/startup.h"
#include "platform/message_source.h"
#include "platform/window.h"
#include "platform/window_proc.h"
#include "render/render.h"
#include "settings/settings.h"
#include "ui/chat_frame.h"
#include "ui/chat_layout.h"
#include "ui/chat_log.h"
#include "ui/frontend.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

void print_line(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}

struct Seen {
  int32_t count[2] = {-1, -1};
  int32_t scroll[2] = {-1, -1};
  int buttons_shown = 0;
} g_seen;

// The centre of a scroll button of the main log in window pixels (origin top-left).
void button_point(uint32_t direction, int32_t* x, int32_t* y) {
  uint64_t size = render_get_size();
  int32_t width = (int32_t)(uint32_t)size, height = (int32_t)(size >> 32);
  ChatLayout l;
  chat_layout(width, setting_chat_lines(), &l);
  int32_t left = l.main_log.x - CHAT_BUTTON_GAP - CHAT_BUTTON_SIZE;
  int32_t bottom = direction == CHAT_SCROLL_OLDER   ? l.main_log.y + l.main_log.height - CHAT_BUTTON_SIZE
                   : direction == CHAT_SCROLL_NEWER ? l.main_log.y + l.main_log.height - 2 * CHAT_BUTTON_SIZE - 2
                                                    : l.main_log.y;
  *x = left + CHAT_BUTTON_SIZE / 2;
  *y = height - (bottom + CHAT_BUTTON_SIZE / 2);  // the window counts rows from the top
}

void report(void) {
  if (!frontend_in_game()) return;
  char line[96];
  if (!g_seen.buttons_shown) {
    g_seen.buttons_shown = 1;
    int32_t p[6];
    button_point(CHAT_SCROLL_OLDER, &p[0], &p[1]);
    button_point(CHAT_SCROLL_NEWER, &p[2], &p[3]);
    button_point(0, &p[4], &p[5]);
    snprintf(line, sizeof line, "buttons %d %d %d %d %d %d", p[0], p[1], p[2], p[3], p[4], p[5]);
    print_line(line);
  }
  const ChatLog* main_log = chat_log(CHAT_LOG_MAIN);
  const ChatLog* second = chat_log(CHAT_LOG_SECOND);
  if (main_log->count != g_seen.count[0] || second->count != g_seen.count[1]) {
    g_seen.count[0] = main_log->count, g_seen.count[1] = second->count;
    const ChatLine* newest = chat_log_line(main_log, 0);
    char text[CHAT_LINE_BYTES + 96];
    snprintf(text, sizeof text, "log %d %d %s", main_log->count, second->count, newest ? newest->text : "");
    print_line(text);
  }
  if (main_log->scroll != g_seen.scroll[0] || second->scroll != g_seen.scroll[1]) {
    g_seen.scroll[0] = main_log->scroll, g_seen.scroll[1] = second->scroll;
    snprintf(line, sizeof line, "scroll %d %d", main_log->scroll, second->scroll);
    print_line(line);
  }
}

// The window's waiting messages, as the client's message loop takes them; 0 on a close.
int pump(Window* window) {
  report();
  WindowMessage message;
  while (window_poll_message(&message)) {
    if (message.kind == WMSG_QUIT) return 0;
    window_proc(window, &message);
  }
  return 1;
}

int usage(const char* why) {
  fprintf(stderr,
          "chat_window_harness: %s\n"
          "usage: chat_window_harness --assets DIR [--host H] [--port N] [--seconds N]\n",
          why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  HeadlessOptions o = {"127.0.0.1",  3550, "player", "secret", "Hero", 3000,
                       1.0f / 60.0f, 5,    print_line, 60,     0,      nullptr};
  const char* assets = nullptr;
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return usage("missing value");
    const char* name = argv[i];
    const char* value = argv[i + 1];
    char* end = nullptr;
    if (!strcmp(name, "--host")) {
      o.host = value;
    } else if (!strcmp(name, "--port")) {
      const long port = strtol(value, &end, 10);
      if (!*value || *end || port < 1 || port > 65535) return usage("bad port");
      o.port = (uint16_t)port;
    } else if (!strcmp(name, "--seconds")) {
      const double seconds = strtod(value, &end);
      if (!*value || *end || !(seconds > 0 && seconds <= 3600)) return usage("bad --seconds");
      o.run_seconds = (float)seconds;
    } else if (!strcmp(name, "--assets")) {
      assets = value;
    } else {
      return usage("unknown option");
    }
  }
  if (!assets) return usage("--assets is needed");

  install_renderer_seams();
  StartupParams params = {};
  params.mask = STARTUP_ALL;
  params.language = 1;
  params.backend = setting_rendering_backend();
  params.width = kWidth;
  params.height = kHeight;
  params.bit_depth = 32;
  params.refresh = 60;
  params.display_mode = 0;  // windowed
  params.monitor = 0;
  params.vsync = 0;
  params.title = "Ostrevane Chat Harness";
  params.assets_dir = assets;
  if (!platform_startup(&params)) {
    fprintf(stderr, "chat_window_harness: platform start-up failed\n");
    return 1;
  }
  headless_login_set_window(platform_window(), pump);
  HeadlessResult r;
  headless_login_run(&o, &r);
  headless_login_set_window(nullptr, nullptr);
  platform_shutdown();
  printf("reached %s (login status %d, world status %d)\n", headless_step_name(r.step), r.login_status,
         r.world_status);
  return r.spawned ? 0 : 1;
}
