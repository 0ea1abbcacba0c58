#include "game/player_physics.h"

#include <cmath>

#include "game/player_control.h"
#include "game/player_report.h"

void player_physics_step(float dt) {
  LocalView v;
  if (!player_local_view(&v)) return;
  if (!(dt >= 0) || !std::isfinite(dt)) dt = 0;
  MotionState* m = v.motion;
  const PlayerMotion* c = &m->control;
  Vec3 p = v.transform->position;
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) p = {0, 0, 0};
  const Vec3 start = p;
  const float speed = std::isfinite(c->speed) ? c->speed : 0.0f;
  p.x += c->move_direction.x * speed * dt;
  p.z += c->move_direction.z * speed * dt;
  if (m->air_state != 0) {
    const float flight = 2 * PLAYER_JUMP_SPEED / PLAYER_GRAVITY;
    double t = m->airborne.air_time + dt;
    if (!(t < flight)) {
      p.y = m->airborne.start_height;
      m->air_state = 0;
      m->vertical_speed = 0;
      m->airborne.jump_flag = 0;
      m->airborne.air_time = 0;
      m->on_ground = 1;
    } else {
      const float tf = (float)t;
      p.y = m->airborne.start_height + PLAYER_JUMP_SPEED * tf - PLAYER_GRAVITY * tf * tf / 2;
      m->vertical_speed = PLAYER_JUMP_SPEED - PLAYER_GRAVITY * tf;
      m->air_state = m->vertical_speed > 0 ? 1 : 2;
      m->airborne.air_time = t;
    }
  }
  if (!std::isfinite(p.x) || !std::isfinite(p.z)) p = start;
  v.transform->position = p;
  if (PositionHistory* h =
          (PositionHistory*)entity_component(v.world, COMPONENT_POSITION_HISTORY, v.handle)) {
    h->previous = start;
    h->current = p;
    h->velocity =
        dt > 0 ? Vec3{(p.x - start.x) / dt, (p.y - start.y) / dt, (p.z - start.z) / dt} : Vec3{0, 0, 0};
  }
  player_report(dt);
}
