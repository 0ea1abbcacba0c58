#include "game/player_report.h"

#include "game/player_control.h"
#include "net/net.h"
#include "net/opcodes.h"
#include "scene/water.h"

namespace {

PlayerSendFn g_send;
constexpr uint8_t REPORT_MOVING_BITS = MOTION_WALKING | MOTION_RUNNING | MOTION_JUMPING | MOTION_FALLING;

}  // namespace

void player_world_send(uint16_t opcode, const OutMove* move) {
  if (!move) {
    net_world_send(opcode);
    return;
  }
  const OutPayload payload = {&kOutMove, move};
  const PayloadWriter writer = payload_writer(&payload);
  net_world_send_with(opcode, &writer);
}

void player_set_sender(PlayerSendFn send) { g_send = send; }

void player_send(uint16_t opcode, const OutMove* move) {
  (g_send ? g_send : player_world_send)(opcode, move);
}

int player_report_build(OutMove* out) {
  LocalView v;
  if (!player_local_view(&v)) return 0;
  const PlayerMotion* c = &v.motion->control;
  uint8_t state = c->motion_state;
  if (v.motion->air_state == 1) state |= MOTION_JUMPING;
  if (v.motion->air_state == 2) state |= MOTION_FALLING;
  const int32_t water = water_state();
  if (water >= WATER_IN) state |= MOTION_IN_WATER;
  if (water == WATER_UNDER) state |= MOTION_UNDER_WATER;
  const Vec3 p = v.transform->position;
  *out = {state, c->direction, {p.x, p.y, p.z}, v.transform->rotation.y};
  return 1;
}

void player_report(float dt) {
  LocalView v;
  OutMove move;
  if (!player_local_view(&v) || !player_report_build(&move)) return;
  ReportMemory* r = &v.motion->report;
  const Vec3 p = {move.position[0], move.position[1], move.position[2]};
  // Nothing sent since a spawn or a teleport: the server placed the player there itself.
  if (r->motion_state == 0) {
    r->motion_state = MOTION_STANDING;
    r->position = p;
    r->heading = move.heading;
  }
  if (dt > 0) r->timer += dt;  // NaN and negative steps add nothing
  if ((r->motion_state & REPORT_MOVING_BITS) && !(move.motion_state & REPORT_MOVING_BITS) &&
      r->timer < PLAYER_REPORT_INTERVAL)
    r->timer = PLAYER_REPORT_INTERVAL;
  // A tiny margin: six frames of 1/60 s sum to a hair under 0.1 in float.
  if (!(r->timer >= PLAYER_REPORT_INTERVAL - 1e-5f)) return;
  if (move.motion_state == MOTION_STANDING && r->motion_state == MOTION_STANDING && p.x == r->position.x &&
      p.y == r->position.y && p.z == r->position.z && move.heading == r->heading) {
    r->timer = PLAYER_REPORT_INTERVAL;
    return;
  }
  r->timer = 0;
  r->motion_state = move.motion_state;
  r->direction = move.direction;
  r->position = p;
  r->heading = move.heading;
  player_send(OUT_WORLD_MOVE_REPORT, &move);
}

void player_report_jump(void) {
  OutMove move;
  if (player_report_build(&move)) player_send(OUT_WORLD_JUMP_REPORT, &move);
}
