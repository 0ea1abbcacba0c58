#pragma once
// Headless login: drives the game modules without a window, renderer or sound through the
// whole entry into a world, as the login and character screens would: credentials, world list,
// world choice, ticket, world session, character summary, creation when there is no
// character, entering, zone and the local player's spawn; then, when asked, the world's frames
// for a while, optionally with scripted input. It runs the module init and shut-down lists itself, so every
// module's message effects stay installed; it observes by chaining (its hooks call the installed effect, then
// record). While no zone effect is installed it stands in for zone loading: opcode 14 makes an
// empty world of the catalogue's spaces and is answered as loaded at once. Time comes through
// the clock seam in fixed steps of frame_seconds; after the spawn the frames are paced to the
// wall clock. Used by the loopback tests and the login_harness test program. Main thread.
#include <cstdint>

enum HeadlessStep : int32_t {
  HEADLESS_START = 0,
  HEADLESS_LOGIN_ACCEPTED,
  HEADLESS_WORLD_LIST,
  HEADLESS_TICKET,
  HEADLESS_WORLD_ACCEPTED,
  HEADLESS_SUMMARY,
  HEADLESS_CREATED,
  HEADLESS_ZONE,
  HEADLESS_SPAWNED,
};

struct HeadlessOptions {
  const char* host;
  uint16_t port;
  const char* account;
  const char* password;
  const char* character;          // created when the account has none
  int32_t max_frames;             // frames before the spawn
  float frame_seconds;            // fixed frame step of the clock
  int32_t sleep_ms;               // real time slept per frame before the spawn
  void (*log)(const char* line);  // optional: one line per step, report lines
  float run_seconds;              // world frames after the spawn (0: stop at the spawn)
  float report_seconds;           // entity lines every this many seconds of the run (0: none)
  // Optional: input events posted during the run (headless_input.h); with it the run starts
  // the event bus and the input state, as the window's start-up does.
  struct HeadlessInput* input;
};

struct HeadlessResult {
  int32_t step;  // HeadlessStep reached
  int32_t login_status, world_status;
  int32_t world_count;
  char world_host[129];
  uint16_t world_port;
  int32_t summaries;          // summaries received
  int32_t last_detail_count;  // n of the last summary (0: no character)
  int32_t character_id;       // of the last summary's character; what entering sends
  char character_name[65];
  char summary_name[65];
  int32_t zone_number;
  float zone_position[3];
  int32_t spawned;  // local spawns seen
  float health, walk_speed, run_speed;
  int32_t frames;
};

struct Window;
// A real window for the run (null, the default: none, and the frames present nothing): the
// frames draw into it, and before each frame pump takes its waiting messages, answering 0
// once the window was asked to close, which ends the run as a lost session would.
void headless_login_set_window(Window* window, int (*pump)(Window* window));

// Runs the flow; the network module must be initialised (net_init). The result tells how
// far it went; both sessions are closed at the end.
void headless_login_run(const HeadlessOptions* options, HeadlessResult* result);
const char* headless_step_name(int32_t step);
