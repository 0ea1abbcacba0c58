// login_harness [--host H] [--port N] [--account A] [--password P] [--character C]
//               [--seconds N] [--frame-seconds S] [--report S] [--assets DIR]
// Logs in headless against a login server (by default the local one on 127.0.0.1:3550),
// goes through the world list, ticket, world session and character screen into the world,
// printing one line per step, then runs the world's frames for N seconds in fixed steps of S
// (1/60 by default) paced to the wall clock, printing "entity ID SPACE X Y Z HEADING STATE
// MESH SX SY SZ" lines every --report seconds and a closing count per space. With --assets the
// archives of DIR are opened, so the entities' bounds come from their meshes. Exit code 0 once the local
// player has spawned, 1 when it never did, 2 for a bad command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/headless_login.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/mesh.h"
#include "net/crypto.h"
#include "net/net.h"
#include "net/socket.h"

static void print_line(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}

static int usage(const char* why) {
  fprintf(stderr,
          "login_harness: %s\n"
          "usage: login_harness [--host H] [--port N] [--account A] [--password P] [--character C]\n"
          "                     [--seconds N] [--frame-seconds S] [--report S] [--assets DIR]\n",
          why);
  return 2;
}

// A finite number >= low (and > low when strict); 1 when it is one.
static int read_seconds(const char* text, float low, bool strict, float* out) {
  char* end = nullptr;
  const double v = strtod(text, &end);
  if (!*text || *end || !std::isfinite(v) || v < low || (strict && v == low) || v > 1e6) return 0;
  *out = (float)v;
  return 1;
}

int main(int argc, char** argv) {
  HeadlessOptions o = {"127.0.0.1",  3550, "player",   "secret", "Hero", 3000,
                       1.0f / 60.0f, 5,    print_line, 0,        0};
  const char* assets = nullptr;
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return usage("missing value");
    const char* name = argv[i];
    const char* value = argv[i + 1];
    if (!strcmp(name, "--host")) {
      o.host = value;
    } else if (!strcmp(name, "--port")) {
      char* end = nullptr;
      const long port = strtol(value, &end, 10);
      if (!*value || *end || port < 1 || port > 65535) return usage("bad port");
      o.port = (uint16_t)port;
    } else if (!strcmp(name, "--account")) {
      o.account = value;
    } else if (!strcmp(name, "--password")) {
      o.password = value;
    } else if (!strcmp(name, "--character")) {
      o.character = value;
    } else if (!strcmp(name, "--seconds")) {
      if (!read_seconds(value, 0, false, &o.run_seconds)) return usage("bad --seconds");
    } else if (!strcmp(name, "--frame-seconds")) {
      if (!read_seconds(value, 0, true, &o.frame_seconds) || o.frame_seconds > 1)
        return usage("bad --frame-seconds");
    } else if (!strcmp(name, "--assets")) {
      assets = value;
    } else if (!strcmp(name, "--report")) {
      if (!read_seconds(value, 0, true, &o.report_seconds)) return usage("bad --report");
    } else {
      return usage("unknown option");
    }
  }
  if (sock_startup() != 0 || secure_random_open() != 1) {
    fprintf(stderr, "login_harness: network start-up failed\n");
    return 1;
  }
  // With archives the entities' bounds come from their loaded meshes (a failed one is the
  // unit cube, as in the client).
  if (assets) {
    asset_set_placeholder(ASSET_MESH, (void*)mesh_unit_cube());
    assets_startup(assets);
  }
  HeadlessResult r;
  headless_login_run(&o, &r);
  if (assets) assets_shutdown();
  printf("reached %s (login status %d, world status %d)\n", headless_step_name(r.step), r.login_status,
         r.world_status);
  return r.spawned ? 0 : 1;
}
