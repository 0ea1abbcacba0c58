// login_harness [--host H] [--port N] [--account A] [--password P] [--character C]
//               [--seconds N] [--frame-seconds S] [--report S] [--assets DIR] [--input FILE]
// Logs in headless against a login server (by default the local one on 127.0.0.1:3550),
// goes through the world list, ticket, world session and character screen into the world,
// printing one line per step, then runs the world's frames for N seconds in fixed steps of S
// (1/60 by default) paced to the wall clock, printing "entity ID SPACE X Y Z HEADING STATE
// MESH SX SY SZ" lines every --report seconds and a closing count per space. With --assets the
// archives of DIR are opened, so the entities' bounds come from their meshes. With --input, the
// file's timed key, button and wheel events (app/headless_input.h) are posted during the run as
// the window would post them. Every movement report the local player sends is printed as it
// goes out: "report FRAME OPCODE STATE DIR X Y Z HEADING", with the position and heading as the
// wire carries them. Exit code 0 once the local player has spawned, 1 when it never did, 2 for
// a bad command line or input file (naming the line).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/headless_input.h"
#include "app/headless_login.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/mesh.h"
#include "game/player_report.h"
#include "net/crypto.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/socket.h"
#include "platform/clock.h"

static void print_line(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}

// The report as the server decodes it: the bytes the encoder wrote, read back.
static void print_report(uint16_t opcode, const OutMove* move) {
  player_world_send(opcode, move);
  if (!move) return;
  MsgBuf* b = msgbuf_create();
  payload_move(b, move);
  const uint8_t* p = b->storage;
  double xyz[3];
  for (int i = 0; i < 3; i++) {
    int32_t v = p[2 + 3 * i] | p[3 + 3 * i] << 8 | p[4 + 3 * i] << 16;
    if (v & 0x800000) v -= 1 << 24;
    xyz[i] = v / 256.0;
  }
  double heading = (p[11] | p[12] << 8) * 360.0 / 65536.0;
  if (heading > 180.0) heading -= 360.0;
  printf("report %u %u %u %u %.9g %.9g %.9g %.9g\n", frame_count(), opcode, p[0], p[1], xyz[0], xyz[1],
         xyz[2], (double)(float)heading);
  fflush(stdout);
  msgbuf_free(b);
}

static char* read_file(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return nullptr;
  size_t size = 0, capacity = 4096;
  char* text = (char*)malloc(capacity + 1);
  for (size_t n; text && (n = fread(text + size, 1, capacity - size, f)) > 0;) {
    size += n;
    if (size == capacity) text = (char*)realloc(text, (capacity *= 2) + 1);
  }
  fclose(f);
  if (text) text[size] = 0;
  return text;
}

static int usage(const char* why) {
  fprintf(stderr,
          "login_harness: %s\n"
          "usage: login_harness [--host H] [--port N] [--account A] [--password P] [--character C]\n"
          "                     [--seconds N] [--frame-seconds S] [--report S] [--assets DIR]\n"
          "                     [--input FILE]\n",
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
                       1.0f / 60.0f, 5,    print_line, 0,        0,      nullptr};
  const char* assets = nullptr;
  HeadlessInput input = {nullptr, 0};
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
    } else if (!strcmp(name, "--input")) {
      char* text = read_file(value);
      if (!text) return usage("cannot read the --input file");
      int32_t bad = 0;
      const int ok = headless_input_parse(text, &input, &bad);
      free(text);
      if (!ok) {
        fprintf(stderr, "login_harness: %s: line %d: bad input event\n", value, bad);
        return 2;
      }
      o.input = &input;
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
  player_set_sender(print_report);
  HeadlessResult r;
  headless_login_run(&o, &r);
  player_set_sender(nullptr);
  headless_input_free(&input);
  if (assets) assets_shutdown();
  printf("reached %s (login status %d, world status %d)\n", headless_step_name(r.step), r.login_status,
         r.world_status);
  return r.spawned ? 0 : 1;
}
