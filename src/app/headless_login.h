#pragma once
// Headless login: drives the network module without a window, renderer or sound through the
// whole entry into a world, as the login and character screens would: credentials, world list,
// world choice, ticket, world session, character summary, creation when there is no
// character, entering, zone and the local player's spawn. Every message goes through the
// dispatch tables (the effects are set here and cleared afterwards). Used by the loopback
// tests and the login_harness test program. Main thread; runs frames until done or out of frames.
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
  const char* character;  // created when the account has none
  int32_t max_frames;
  float frame_seconds;            // frame time handed to the sessions per frame
  int32_t sleep_ms;               // real time slept per frame
  void (*log)(const char* line);  // optional: one line per step
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
  int32_t spawned;
  float health, walk_speed, run_speed;
  int32_t frames;
};

// Runs the flow; the network module must be initialised (net_init). The result tells how
// far it went; both sessions are closed at the end.
void headless_login_run(const HeadlessOptions* options, HeadlessResult* result);
const char* headless_step_name(int32_t step);
