#include "app/headless_login.h"

#include <cstdio>
#include <cstring>

#include "app/modules.h"
#include "base/strings.h"
#include "base/thread.h"
#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/msgbuf.h"
#include "net/net.h"
#include "net/opcodes.h"
#include "net/payloads.h"

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
  float frame_seconds;
};

Flow* s_flow;

void log_step(const char* text) {
  if (s_flow && s_flow->options->log) s_flow->options->log(text);
}

void reach(int32_t step) {
  if (s_flow->result->step < step) s_flow->result->step = step;
  log_step(headless_step_name(step));
}

float flow_frame_time(void) { return s_flow ? s_flow->frame_seconds : 0.0f; }

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

void on_world_list(const NetEvent*, const MsgWorldList* list) {
  HeadlessResult* r = s_flow->result;
  r->world_count = list->worlds.count;
  if (list->worlds.count <= 0 || !list->worlds.items) return;
  const WorldEntry& e = list->worlds.items[0];
  string_copy_utf8(s_flow->world_name, sizeof s_flow->world_name, e.name);
  string_copy_utf8(r->world_host, sizeof r->world_host, e.host);
  r->world_port = e.port;
  reach(HEADLESS_WORLD_LIST);
}

void on_ticket(const NetEvent*, const MsgText* text) {
  if (!text->text) return;
  const size_t n = strnlen(text->text, SESSION_CREDENTIALS_BYTES);
  memcpy(s_flow->ticket, text->text, n);
  s_flow->ticket[n] = 0;
  s_flow->ticket_ready = 1;
  reach(HEADLESS_TICKET);
}

void on_summary(const NetEvent*, const MsgCharacterSummary* summary) {
  HeadlessResult* r = s_flow->result;
  r->summaries++;
  r->last_detail_count = (int32_t)summary->detail_count;
  const CharacterDetails* c = summary->detail_count ? &summary->details : nullptr;
  r->character_id = c ? c->id : 0;
  string_copy_utf8(r->character_name, sizeof r->character_name, c && c->name ? c->name : "");
  string_copy_utf8(r->summary_name, sizeof r->summary_name, summary->name ? summary->name : "");
  reach(HEADLESS_SUMMARY);
}

void on_enter_world_ok(const NetEvent*, const MsgEmpty*) {
  reach(HEADLESS_CREATED);
  net_world_send(OUT_WORLD_ASK_CHARACTERS);  // as the character screen does: the summary again
}

void on_zone(const NetEvent*, const MsgZone* zone) {
  HeadlessResult* r = s_flow->result;
  r->zone_number = net_zone_number(zone->zone);
  memcpy(r->zone_position, zone->position, sizeof r->zone_position);
  reach(HEADLESS_ZONE);
  // Nothing to build headless: the zone is "loaded" at once.
  send_int(OUT_WORLD_ZONE_LOADED, net_zone_reply(r->zone_number));
}

void on_spawn(const NetEvent*, const SpawnCharacter* spawn) {
  HeadlessResult* r = s_flow->result;
  r->spawned = 1;
  r->health = spawn->health;
  r->walk_speed = spawn->walk_speed;
  r->run_speed = spawn->run_speed;
  reach(HEADLESS_SPAWNED);
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
    OutCreateCharacter c;
    const uint8_t pairs[8] = {1, 0, 2, 0, 3, 0, 4, 0};
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

void headless_login_run(const HeadlessOptions* options, HeadlessResult* result) {
  memset(result, 0, sizeof *result);
  Flow flow;
  memset(&flow, 0, sizeof flow);
  flow.result = result;
  flow.options = options;
  flow.frame_seconds = options->frame_seconds > 0 ? options->frame_seconds : 0.01f;
  s_flow = &flow;
  SessionFrameTime saved = session_set_frame_time(flow_frame_time);

  NetEffects* fx = net_effects();
  net_effects_clear();
  fx->world_list = on_world_list;
  fx->world_ticket = on_ticket;
  fx->character_summary = on_summary;
  fx->enter_world_ok = on_enter_world_ok;
  fx->zone_enter = on_zone;
  fx->spawn_local_player = on_spawn;
  net_set_hold(0, nullptr);  // pass-through: nothing is held headless

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
  for (int32_t i = 0; i < options->max_frames && length > 0; i++) {
    game_modules_frame(&headless_window);
    advance(&flow);
    result->frames = i + 1;
    if (result->step >= HEADLESS_SPAWNED) break;
    if (net_login_status() < 0 && !flow.world_opened) break;
    if (flow.world_opened && net_world_status() < 0) break;
    if (options->sleep_ms > 0) sleep_ms((uint32_t)options->sleep_ms);
  }
  result->login_status = net_login_status();
  result->world_status = net_world_status();
  net_close_all();
  net_effects_clear();
  session_set_frame_time(saved);
  s_flow = nullptr;
}
