#include "game/player_control.h"

#include <cmath>

#include "game/game_world.h"
#include "game/object_requests.h"
#include "game/player_camera.h"
#include "game/player_report.h"
#include "input/input.h"
#include "input/keybind.h"
#include "net/opcodes.h"
#include "scene/water.h"

namespace {

constexpr float SWIM_PITCH_RATE = 150.0f;         // degrees a second standing
constexpr float SWIM_PITCH_RATE_MOVING = 100.0f;  // and moving
constexpr float SWIM_PITCH_MAX = 75.0f;
constexpr float BODY_PITCH_RATE = 180.0f;
constexpr float FOLLOW_START = 5.0f;  // a target this far away is run to
constexpr float FOLLOW_STOP = 2.5f;   // and reached this near
constexpr float FOLLOW_LOST = 12.0f;  // beyond this following ends
constexpr float SPEED_FACTOR = 5.0f;
constexpr uint32_t FLAGS_ROOTED = 0x30000;  // the server holds the character in place
constexpr float DEGREES = 3.14159265358979f / 180.0f;

struct ControlModule {
  int auto_run;
  int auto_run_forward_held;  // the forward input that was down when auto-run started
  int walk_mode;
  uint32_t follow_id;
  int follow_moving;
};
ControlModule g;

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }
float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

// Moves `from` towards `to` by at most `step` (both finite).
float approach(float from, float to, float step) {
  if (fabsf(to - from) <= step) return to;
  return to > from ? from + step : from - step;
}

// Unit movement direction for the axes (side +1 is the strafe-right way), tilted by the
// swimming pitch in water; zero without movement.
Vec3 move_direction(float heading, float pitch, int forward, int side) {
  const float s = sinf(heading * DEGREES), c = cosf(heading * DEGREES);
  const float ps = sinf(pitch * DEGREES), pc = cosf(pitch * DEGREES);
  Vec3 d = {-s * pc * (float)forward + c * (float)side, ps * (float)forward,
            -c * pc * (float)forward - s * (float)side};
  const float length = sqrtf(d.x * d.x + d.y * d.y + d.z * d.z);
  if (!(length > 0.0001f)) return {0, 0, 0};
  return {d.x / length, d.y / length, d.z / length};
}

void world_replaced(EntityWorld*) { player_control_reset(); }

// Following: 1 with the heading towards the target while the player should run to it.
int follow_step(const LocalView* v, float* heading) {
  const uint32_t target = entity_by_id(g.follow_id);
  const Transform* t = (const Transform*)entity_component(v->world, COMPONENT_TRANSFORM, target);
  if (!t || g.follow_id == v->server_id) {
    g.follow_id = 0;
    return 0;
  }
  const Vec3 a = v->transform->position, b = t->position;
  const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const float distance = sqrtf(dx * dx + dy * dy + dz * dz);
  if (!(distance <= FOLLOW_LOST)) {
    g.follow_id = 0;
    return 0;
  }
  if (distance >= FOLLOW_START) g.follow_moving = 1;
  if (distance < FOLLOW_STOP) g.follow_moving = 0;
  if (g.follow_moving && (fabsf(dx) > 0.0001f || fabsf(dz) > 0.0001f))
    *heading = angle_normalise(atan2f(-dx, -dz) / DEGREES);
  return g.follow_moving;
}

float character_speed(const Creature* c, int in_water, int backward) {
  if (in_water) return finite_or_zero(c->swim_speed) * (backward ? 0.5f : 1.0f);
  if (g.walk_mode) return finite_or_zero(c->walk_speed);
  return finite_or_zero(c->run_speed) * (backward ? 2.0f / 3.0f : 1.0f);
}

}  // namespace

int player_local_view(LocalView* out) {
  EntityWorld* world = game_world();
  if (!world) return 0;
  const uint32_t id = local_player_id();
  const uint32_t handle = entity_by_id(id);
  LocalPlayer* local = (LocalPlayer*)entity_component(world, COMPONENT_LOCAL_PLAYER, handle);
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  MotionState* m = (MotionState*)entity_component(world, COMPONENT_MOTION_STATE, handle);
  if (!local || !t || !m) return 0;
  *out = {world, handle, id, local, t, m};
  return 1;
}

void player_control_reset(void) { g = {}; }
void player_control_start(void) {
  player_control_reset();
  game_world_listen(world_replaced);
}
void player_control_shutdown(void) {
  game_world_unlisten(world_replaced);
  player_control_reset();
}
void player_follow(uint32_t server_id) {
  g.follow_id = server_id;
  g.follow_moving = 0;
}
uint32_t player_follow_target(void) { return g.follow_id; }
int player_auto_running(void) { return g.auto_run; }
int player_walk_mode(void) { return g.walk_mode; }

void player_control(float dt) {
  LocalView v;
  if (!player_local_view(&v)) return;
  if (!(dt >= 0) || !std::isfinite(dt)) dt = 0;
  MotionState* m = v.motion;
  PlayerMotion* c = &m->control;
  const int in_water = water_state() >= WATER_IN;

  // 1. The forward axis and auto-run.
  const int steering = button_down(1) || button_down(2);
  const int forward_in =
      binding_active(KB_MOVE_FORWARD) || button_down(2) || (button_down(0) && button_down(1));
  const int backward_in = binding_active(KB_MOVE_BACKWARD);
  if (binding_triggered(KB_TOGGLE_RUN)) g.walk_mode = !g.walk_mode;
  if (binding_triggered(KB_AUTO_RUN)) {
    g.auto_run = !g.auto_run;
    g.auto_run_forward_held = forward_in;
  }
  if (g.auto_run) {
    if (!forward_in) g.auto_run_forward_held = 0;
    if (backward_in || (forward_in && !g.auto_run_forward_held)) g.auto_run = 0;
  }
  int forward = g.auto_run ? 1 : forward_in - backward_in;

  // 2. Sideways and turning; while steering the turn keys strafe.
  const int turn_left = binding_active(KB_TURN_LEFT), turn_right = binding_active(KB_TURN_RIGHT);
  const int right = binding_active(KB_STRAFE_RIGHT) || (steering && turn_right);
  const int left = binding_active(KB_STRAFE_LEFT) || (steering && turn_left);
  const int side = right - left;
  const int turn = steering ? 0 : turn_right - turn_left;

  // 7. Following, unless the player moves or jumps.
  float heading = finite_or_zero(v.transform->rotation.y);
  const float before = heading;
  if (g.follow_id) {
    if (forward || side || turn || binding_active(KB_JUMP))
      g.follow_id = 0;
    else if (follow_step(&v, &heading))
      forward = 1;
  }

  // 3, 4. Direction byte and motion state.
  uint8_t direction = 0;
  if (forward > 0) direction |= DIRECTION_FORWARD;
  if (forward < 0) direction |= DIRECTION_BACKWARD;
  if (side > 0) direction |= DIRECTION_RIGHT;
  if (side < 0) direction |= DIRECTION_LEFT;
  if (turn > 0) direction |= DIRECTION_TURN_RIGHT;
  if (turn < 0) direction |= DIRECTION_TURN_LEFT;
  uint8_t state = MOTION_STANDING;
  if (direction) {
    state = (direction & DIRECTION_TURNING) ? MOTION_TURNING : 0;
    if (direction & DIRECTION_MOVING) state |= g.walk_mode ? MOTION_WALKING : MOTION_RUNNING;
  }

  // 5. Heading.
  // Without a camera (a world that has none yet) steering keeps the heading.
  const float yaw = camera_followed() ? finite_or_zero(camera_yaw()) : heading;
  if (steering) {
    m->turn_time = 0;
    heading = approach(heading, heading + angle_normalise(yaw - heading), PLAYER_TURN_RATE * dt);
    const float lag = angle_normalise(yaw - heading);
    if (lag > PLAYER_STEER_LAG) heading = yaw - PLAYER_STEER_LAG;
    if (lag < -PLAYER_STEER_LAG) heading = yaw + PLAYER_STEER_LAG;
  } else if (turn) {
    m->turn_time = finite_or_zero(m->turn_time) + dt;
    const float ramp = m->turn_time < PLAYER_TURN_RAMP ? m->turn_time / PLAYER_TURN_RAMP : 1.0f;
    // In double and within a turn: a frame of any length turns by a finite angle.
    heading = (float)fmod((double)heading - (double)turn * PLAYER_TURN_RATE * ramp * dt, 360.0);
  } else {
    m->turn_time = 0;
  }
  heading = angle_normalise(heading);
  const float change = angle_normalise(heading - before);
  if (change != 0 && !(state & MOTION_TURNING))
    direction |= change > 0 ? DIRECTION_TURN_LEFT : DIRECTION_TURN_RIGHT;
  v.transform->rotation.y = heading;
  m->heading = heading;

  // 6. The swimming pitch; while steering the pitch keys turn the camera.
  const int pitch_in = binding_active(KB_PITCH_UP) - binding_active(KB_PITCH_DOWN);
  const float pitch_rate = (direction & DIRECTION_MOVING) ? SWIM_PITCH_RATE_MOVING : SWIM_PITCH_RATE;
  if (!in_water) {
    m->swim_pitch = 0;
  } else if (steering) {
    if (pitch_in) camera_add_pitch(-(float)pitch_in * SWIM_PITCH_RATE * dt);
  } else if (pitch_in) {  // 0 x an endless frame would be no number
    m->swim_pitch = clampf(finite_or_zero(m->swim_pitch) + (float)pitch_in * pitch_rate * dt, -SWIM_PITCH_MAX,
                           SWIM_PITCH_MAX);
  }
  m->body_pitch = approach(finite_or_zero(m->body_pitch), m->swim_pitch, BODY_PITCH_RATE * dt);

  // Leaving a seated state.
  GameObject* o = &v.local->player.creature.object;
  if ((direction || (state != 0 && state != MOTION_STANDING)) && (o->flags & PLAYER_FLAG_SEATED)) {
    o->slots->set_flags(o, o->flags & ~PLAYER_FLAG_SEATED);
    player_send(OUT_WORLD_STAND_UP, nullptr);
    if (!player_local_view(&v)) return;  // the slot may have moved records
    m = v.motion;
    c = &m->control;
    o = &v.local->player.creature.object;
  }

  // Speed and direction.
  const float speed = character_speed(&v.local->player.creature, in_water, forward < 0) * SPEED_FACTOR;
  const Vec3 dir = move_direction(heading, in_water ? m->body_pitch : 0.0f, forward, side);
  c->motion_state = state;
  c->direction = direction;
  c->position = v.transform->position;
  c->heading = heading;
  c->steering = steering;
  c->look_angle = yaw;
  c->turn_amount = change;
  c->move_direction = dir;
  c->speed = (direction & DIRECTION_MOVING) ? speed : 0.0f;

  // The jump start: from the ground, out of water, while allowed to move.
  c->jump_request = 0;
  if (binding_triggered(KB_JUMP) && m->air_state == 0 && !in_water && !(o->flags & FLAGS_ROOTED)) {
    c->jump_request = 1;
    m->air_state = 1;
    m->vertical_speed = PLAYER_JUMP_SPEED;
    m->air_direction = {dir.x, 1.0f, dir.z};
    m->air_speed = c->speed;
    m->airborne.jump_flag = 1;
    m->airborne.air_time = 0;
    m->airborne.start_height = v.transform->position.y;
    m->on_ground = 0;
    object_request_airborne(v.server_id, 1);
    player_report_jump();
  }
}
