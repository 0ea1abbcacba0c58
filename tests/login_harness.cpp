// login_harness [--host H] [--port N] [--account A] [--password P] [--character C]
// Logs in headless against a login server (by default the local one on 127.0.0.1:3550),
// goes through the world list, ticket, world session and character screen into the world,
// printing one line per step. Exit code 0 once the local player has spawned, else 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/headless_login.h"
#include "net/crypto.h"
#include "net/net.h"
#include "net/socket.h"

static void print_line(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}

int main(int argc, char** argv) {
  HeadlessOptions o = {"127.0.0.1", 3550, "player", "secret", "Hero", 3000, 0.01f, 5, print_line};
  for (int i = 1; i + 1 < argc; i += 2) {
    const char* value = argv[i + 1];
    if (!strcmp(argv[i], "--host"))
      o.host = value;
    else if (!strcmp(argv[i], "--port"))
      o.port = (uint16_t)atoi(value);
    else if (!strcmp(argv[i], "--account"))
      o.account = value;
    else if (!strcmp(argv[i], "--password"))
      o.password = value;
    else if (!strcmp(argv[i], "--character"))
      o.character = value;
    else {
      fprintf(stderr, "login_harness: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (sock_startup() != 0 || secure_random_open() != 1) {
    fprintf(stderr, "login_harness: network start-up failed\n");
    return 1;
  }
  net_init();
  HeadlessResult r;
  headless_login_run(&o, &r);
  net_shutdown();
  printf("reached %s (login status %d, world status %d)\n", headless_step_name(r.step), r.login_status,
         r.world_status);
  if (r.spawned)
    printf("spawned in zone %d at %.1f %.1f %.1f, health %.0f\n", r.zone_number, r.zone_position[0],
           r.zone_position[1], r.zone_position[2], r.health);
  return r.spawned ? 0 : 1;
}
