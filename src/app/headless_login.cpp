#include "app/headless_login.h"

#include <time.h>

#include <cstdio>
#include <cstring>

#include "app/headless_input.h"
#include "app/headless_report.h"
#include "app/modules.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/strings.h"
#include "base/thread.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/zone_loading.h"
#include "input/input.h"
#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/opcodes.h"
#include "net/payloads.h"
#include "platform/clock.h"
#include "ui/character_classes.h"

namespace {

struct Flow {
  HeadlessResult* result;
  const HeadlessOptions* options;
  int32_t asked_worlds;
  int32_t asked_world;
  int32_t world_opened;
  int32_t asked_summary;
  int32_t created;
  int32_t entered;
  char world_name[65];
  char ticket[SESSION_CREDENTIALS_BYTES + 1];
  int32_t ticket_ready;
  // The zone archives are open: zones load as in the client (else an empty stand-in world).
  int32_t zone_loading;
  // The effects the modules installed, called first by the hooks below.
  NetEffects installed;
};

Flow* s_flow;
Window* s_window;
int (*s_pump)(Window* window);
int s_closed;

// The window's messages before a frame; 0 once it was asked to close.
int pump_window(Window* window) {
  if (s_pump && !s_closed && !s_pump(window)) s_closed = 1;
  return !s_closed;
}

// The clock seam: a microsecond counter the run advances by one fixed step per frame.
uint64_t s_counter_us;
int fixed_frequency(uint64_t* out) {
  *out = 1000000u;
  return 1;
}
uint64_t fixed_counter(void) { return s_counter_us; }
uint32_t fixed_milliseconds(void) { return (uint32_t)(s_counter_us / 1000u); }
const ClockSource kFixedClock = {fixed_frequency, fixed_counter, fixed_milliseconds};

uint64_t wall_us(void) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000000u + (uint64_t)t.tv_nsec / 1000u;
}

void log_step(const char* text) {
  if (s_flow && s_flow->options->log) s_flow->options->log(text);
}

void reach(int32_t step) {
  if (s_flow->result->step < step) s_flow->result->step = step;
  if (step != HEADLESS_SPAWNED) log_step(headless_step_name(step));
}

void send_text(bool login, uint16_t opcode, const char* text) {
  struct Ctx {
    const char* text;
  } ctx = {text};
  PayloadWriter w = {&ctx, [](MsgBuf* b, void* c) { payload_text(b, ((Ctx*)c)->text); }};
  if (login)
    net_login_send_with(opcode, &w);
  else
    net_world_send_with(opcode, &w);
}

void send_int(uint16_t opcode, int32_t value) {
  PayloadWriter w = {&value, [](MsgBuf* b, void* c) { payload_int(b, *(int32_t*)c); }};
  net_world_send_with(opcode, &w);
}

void on_world_list(const NetEvent* event, const MsgWorldList* list) {
  if (s_flow->installed.world_list) s_flow->installed.world_list(event, list);
  HeadlessResult* r = s_flow->result;
  r->world_count = list->worlds.count;
  if (list->worlds.count <= 0 || !list->worlds.items) return;
  const WorldEntry& e = list->worlds.items[0];
  string_copy_utf8(s_flow->world_name, sizeof s_flow->world_name, e.name);
  string_copy_utf8(r->world_host, sizeof r->world_host, e.host);
  r->world_port = e.port;
  reach(HEADLESS_WORLD_LIST);
}

void on_ticket(const NetEvent* event, const MsgText* text) {
  if (s_flow->installed.world_ticket) s_flow->installed.world_ticket(event, text);
  if (!text->text) return;
  const size_t n = strnlen(text->text, SESSION_CREDENTIALS_BYTES);
  memcpy(s_flow->ticket, text->text, n);
  s_flow->ticket[n] = 0;
  s_flow->ticket_ready = 1;
  reach(HEADLESS_TICKET);
}

void on_summary(const NetEvent* event, const MsgCharacterSummary* summary) {
  if (s_flow->installed.character_summary) s_flow->installed.character_summary(event, summary);
  HeadlessResult* r = s_flow->result;
  r->summaries++;
  r->last_detail_count = (int32_t)summary->detail_count;
  const CharacterDetails* c = summary->detail_count ? &summary->details : nullptr;
  r->character_id = c ? c->id : 0;
  string_copy_utf8(r->character_name, sizeof r->character_name, c && c->name ? c->name : "");
  string_copy_utf8(r->summary_name, sizeof r->summary_name, summary->name ? summary->name : "");
  reach(HEADLESS_SUMMARY);
}

void on_enter_world_ok(const NetEvent* event, const MsgEmpty* empty) {
  if (s_flow->installed.enter_world_ok) s_flow->installed.enter_world_ok(event, empty);
  reach(HEADLESS_CREATED);
  net_world_send(OUT_WORLD_ASK_CHARACTERS);  // as the character screen does: the summary again
}

// Without zone archives (or zone loading) an empty world of the catalogue's spaces stands in
// for the zone, "loaded" at once, so the spawns that follow have somewhere to go.
void stand_in_zone(int32_t zone_number) {
  game_world_replace(catalogue_world_create((uint32_t)zone_number, nullptr));
  send_int(OUT_WORLD_ZONE_LOADED, net_zone_reply(zone_number));
}

void on_zone(const NetEvent* event, const MsgZone* zone) {
  HeadlessResult* r = s_flow->result;
  r->zone_number = net_zone_number(zone->zone);
  memcpy(r->zone_position, zone->position, sizeof r->zone_position);
  reach(HEADLESS_ZONE);
  if (s_flow->zone_loading && s_flow->installed.zone_enter) {
    s_flow->installed.zone_enter(event, zone);
    return;
  }
  stand_in_zone(r->zone_number);
}

void on_zone_change(const NetEvent* event, const MsgZone* zone) {
  HeadlessResult* r = s_flow->result;
  r->zone_number = net_zone_number(zone->zone);
  char line[64];
  snprintf(line, sizeof line, "zone change to %d", r->zone_number);
  log_step(line);
  if (s_flow->zone_loading && s_flow->installed.zone_change) {
    s_flow->installed.zone_change(event, zone);
    return;
  }
  stand_in_zone(r->zone_number);
}

// Zone 1, the placeholder, is in every set of zone archives.
int zone_archives_open(void) {
  AssetHandle h;
  asset_request_wait(&h, ASSET_MAP, 1);
  return !h.failed;
}

void on_spawn(const NetEvent* event, const SpawnCharacter* spawn) {
  if (s_flow->installed.spawn_local_player) s_flow->installed.spawn_local_player(event, spawn);
  HeadlessResult* r = s_flow->result;
  r->spawned++;
  r->health = spawn->health;
  r->walk_speed = spawn->walk_speed;
  r->run_speed = spawn->run_speed;
  memcpy(r->zone_position, spawn->position, sizeof r->zone_position);
  reach(HEADLESS_SPAWNED);
  char line[160];
  snprintf(line, sizeof line, "spawned in zone %d at %.1f %.1f %.1f, health %.0f", r->zone_number,
           r->zone_position[0], r->zone_position[1], r->zone_position[2], r->health);
  log_step(line);
}

void hooks_install(Flow* f) {
  NetEffects* fx = net_effects();
  f->installed = *fx;
  fx->world_list = on_world_list;
  fx->world_ticket = on_ticket;
  fx->character_summary = on_summary;
  fx->enter_world_ok = on_enter_world_ok;
  fx->zone_enter = on_zone;
  fx->zone_change = on_zone_change;
  fx->spawn_local_player = on_spawn;
}

// Puts back what the modules had installed, so their own shut-down clears it.
void hooks_remove(const Flow* f) {
  NetEffects* fx = net_effects();
  fx->world_list = f->installed.world_list;
  fx->world_ticket = f->installed.world_ticket;
  fx->character_summary = f->installed.character_summary;
  fx->enter_world_ok = f->installed.enter_world_ok;
  fx->zone_enter = f->installed.zone_enter;
  fx->zone_change = f->installed.zone_change;
  fx->spawn_local_player = f->installed.spawn_local_player;
}

void log_report(double seconds) {
  if (!s_flow->options->log) return;
  char line[64];
  snprintf(line, sizeof line, "report %.3f", seconds);
  log_step(line);
  headless_report_entities(s_flow->options->log);
}

int session_lost(const Flow* f) {
  if (net_login_status() < 0 && !f->world_opened) return 1;
  return f->world_opened && net_world_status() < 0;
}

// The world's frames after the spawn: fixed steps, each started no earlier than its time on
// the wall clock, with the entity lines every report interval and the counts at the end.
void run_world(Flow* f, uint64_t step_us, Window* window) {
  const HeadlessOptions* o = f->options;
  const uint64_t total_us = (uint64_t)((double)o->run_seconds * 1e6 + 0.5);
  const uint64_t report_us = o->report_seconds > 0 ? (uint64_t)((double)o->report_seconds * 1e6 + 0.5) : 0;
  const uint64_t wall_start = wall_us();
  uint64_t next_report = report_us;
  // The step rarely divides the run exactly: the nearest whole number of frames runs.
  const uint64_t frames = (total_us + step_us / 2) / step_us;
  uint64_t elapsed = 0;
  for (uint64_t i = 0; i < frames && !session_lost(f) && pump_window(window); i++) {
    if (o->input) headless_input_post(o->input, (double)elapsed * 1e-6);
    s_counter_us += step_us;
    elapsed += step_us;
    game_modules_frame(window);
    f->result->frames++;
    if (report_us && elapsed >= next_report) {
      log_report((double)elapsed * 1e-6);
      next_report += report_us;
    }
    const uint64_t due = wall_start + elapsed;
    const uint64_t now = wall_us();
    if (due > now + 1000) sleep_ms((uint32_t)((due - now) / 1000));
  }
  if (o->log) headless_report_counts(o->log);
}

void advance(Flow* f) {
  HeadlessResult* r = f->result;
  r->login_status = net_login_status();
  r->world_status = net_world_status();
  if (!f->asked_worlds && net_login_status() == SESSION_STATUS_ACCEPTED) {
    f->asked_worlds = 1;
    reach(HEADLESS_LOGIN_ACCEPTED);
    net_login_send(OUT_LOGIN_ASK_WORLDS);
  }
  if (!f->asked_world && r->step >= HEADLESS_WORLD_LIST) {
    f->asked_world = 1;
    send_text(true, OUT_LOGIN_PICK_WORLD, f->world_name);
  }
  if (!f->world_opened && f->ticket_ready) {
    f->world_opened = 1;
    const uint32_t n = (uint32_t)strnlen(f->ticket, SESSION_CREDENTIALS_BYTES);
    net_world_open(r->world_host, r->world_port, (const uint8_t*)f->ticket, n);
  }
  if (f->world_opened && !f->asked_summary && net_world_status() == SESSION_STATUS_ACCEPTED) {
    f->asked_summary = 1;
    reach(HEADLESS_WORLD_ACCEPTED);
    net_world_send(OUT_WORLD_ASK_CHARACTERS);
  }
  if (r->summaries > 0 && r->last_detail_count == 0 && !f->created) {
    f->created = 1;
    // A creation the world server accepts: the first class, 25 and 5 points added.
    OutCreateCharacter c;
    const uint8_t* base = CLASS_BASE[0];
    const uint8_t pairs[8] = {base[0], CLASS_ADDED_MAX, base[1], CLASS_POOL - CLASS_ADDED_MAX, base[2], 0, base[3], 0};
    out_create_character_fill(&c, f->options->character ? f->options->character : "Hero", pairs, 0, 0);
    OutPayload payload = {&kOutCreateCharacter, &c};
    PayloadWriter w = payload_writer(&payload);
    net_world_send_with(OUT_WORLD_CREATE_CHARACTER, &w);
  }
  if (r->summaries > 0 && r->last_detail_count > 0 && !f->entered) {
    f->entered = 1;
    send_int(OUT_WORLD_ENTER, r->character_id);
  }
}

}  // namespace

const char* headless_step_name(int32_t step) {
  static const char* const names[] = {"start",   "login-accepted", "world-list", "ticket", "world-accepted",
                                      "summary", "created",        "zone",       "spawned"};
  return step >= 0 && step <= HEADLESS_SPAWNED ? names[step] : "?";
}

void headless_login_set_window(Window* window, int (*pump)(Window* window)) {
  s_window = window;
  s_pump = pump;
}

void headless_login_run(const HeadlessOptions* options, HeadlessResult* result) {
  memset(result, 0, sizeof *result);
  Flow flow;
  memset(&flow, 0, sizeof flow);
  flow.result = result;
  flow.options = options;
  const float step = options->frame_seconds > 0 ? options->frame_seconds : 0.01f;
  uint64_t step_us = (uint64_t)((double)step * 1e6 + 0.5);
  if (step_us == 0) step_us = 1;
  s_flow = &flow;
  s_counter_us = 0;
  clock_set_source(&kFixedClock);
  if (options->input) {
    event_bus_start();
    input_start();
  }
  game_modules_init();
  hooks_install(&flow);
  flow.zone_loading = zone_archives_open();
  zone_set_line_sink(log_step);
  if (!flow.zone_loading) net_set_hold(0, nullptr);  // pass-through: nothing is held without zone loading

  uint8_t credentials[NET_CREDENTIALS_MAX];
  const int32_t length =
      net_build_credentials(options->account, options->password, credentials, sizeof credentials);
  if (length > 0) {
    net_login_open(options->host, options->port, credentials, (uint32_t)length);
  }
  crypto_wipe(credentials, sizeof credentials);
  result->login_status = net_login_status();

  // The whole per-frame module list runs, as in the client; with no window and no renderer
  // installed its present only sleeps, so the network slot does the work.
  Window headless_window = {};
  Window* window = s_window ? s_window : &headless_window;
  s_closed = 0;
  for (int32_t i = 0; i < options->max_frames && length > 0 && pump_window(window); i++) {
    s_counter_us += step_us;
    game_modules_frame(window);
    advance(&flow);
    result->frames = i + 1;
    if (result->step >= HEADLESS_SPAWNED) break;
    if (session_lost(&flow)) break;
    if (options->sleep_ms > 0) sleep_ms((uint32_t)options->sleep_ms);
  }
  if (result->spawned && options->run_seconds > 0) run_world(&flow, step_us, window);
  result->login_status = net_login_status();
  result->world_status = net_world_status();
  net_close_all();
  hooks_remove(&flow);
  zone_set_line_sink(nullptr);
  game_modules_shutdown();
  game_world_shutdown();
  if (options->input) {
    input_stop();
    event_bus_stop();
  }
  clock_set_source(nullptr);
  s_flow = nullptr;
}
