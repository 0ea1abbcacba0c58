#include "game/movement.h"

#include <cmath>

#include "base/vec3_ops.h"
#include "game/appearance_table.h"
#include "game/player_control.h"
#include "game/player_report.h"
#include "scene/water.h"
#include "scene/zone_collision.h"
#include "scene/zone_stream.h"

namespace {

const MovementConstants& K = MOVEMENT;

// What one tick works with.
struct TickState {
  MotionState* m;
  int dry;        // not in water (water states 2 and 3 are in water)
  int at_surface; // in water, not under it
  float surface;  // the water level
  float eye;      // eye height
  int on_ground;
  int stepped;
};
TickState t;

// The contact buffers of the movement queries.
Contact g_contacts[COLLISION_CONTACTS_MAX];

int is_zero(Vec3 v) { return fabsf(v.x) < 0.0001f && fabsf(v.y) < 0.0001f && fabsf(v.z) < 0.0001f; }
float sign_of(float v) { return fabsf(v) < 0.0001f ? 0.0f : v > 0 ? 1.0f : -1.0f; }
float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }
Vec3 flat(Vec3 v) { return {v.x, 0, v.z}; }

int walkable(Vec3 n) {
  const float length = vec3_length(n);
  return length < 0.0001f || n.y / length >= K.walkable;
}

Capsule capsule_at(Vec3 centre) { return capsule_make(centre, t.m->radius, t.m->height); }

int capsule_touches(Vec3 centre) {
  const Capsule c = capsule_at(centre);
  int n = 0;
  return zone_capsule_contacts(&c, g_contacts, COLLISION_CONTACTS_MAX, &n);
}

// The lowest free capsule centre between f (free) and to below it.
Vec3 step_down(Vec3 f, Vec3 to, int depth = 1) {
  for (;; depth++) {
    if (depth >= K.slide_depth_limit || f.y - to.y <= 0.01f) return f;
    if (depth == 1) {
      TraceHit hit;
      if (zone_trace(f, {f.x, to.y - t.m->height / 2, f.z}, &hit)) to.y = hit.point.y + t.m->height / 2;
    }
    const Vec3 mid = vec3_scale(vec3_add(f, to), 0.5f);
    const Capsule c = capsule_at(mid);
    Contact contact;
    if (zone_capsule_contact(&c, &contact))
      to = {mid.x, mid.y + contact.penetration + K.push_out, mid.z};
    else
      f = mid;
  }
}

// 1 with the ground's normal when the capsule at p stands on walkable ground.
int ground_test(Vec3 p, int stepped, Vec3* normal) {
  Sphere s;
  s.centre = {p.x, p.y - 0.01f, p.z};
  if (2 * t.m->radius <= t.m->height) s.centre.y -= t.m->height / 2 - t.m->radius;
  s.radius = t.m->radius;
  s.radius_squared = s.radius * s.radius;
  int n = 0;
  if (!zone_sphere_contacts(&s, g_contacts, COLLISION_CONTACTS_MAX, &n)) return 0;
  Vec3 sum = {0, 0, 0}, taken = {0, 0, 0};
  int upward = 0, found = 0;
  for (int i = 0; i < n; i++) {
    const Vec3 c = g_contacts[i].normal;
    if (!(c.y > K.upward)) continue;
    sum = vec3_add(sum, c);
    upward++;
    if (walkable(c)) {
      taken = c;
      found = 1;
      break;
    }
  }
  if (!found) {
    if (!upward) return 0;
    taken = vec3_unit(sum);
    if (!walkable(taken)) return 0;
  }
  if (!stepped) {
    static const float ring[8][2] = {{1, 0},         {0.707107f, 0.707107f},   {0, 1},  {-0.707107f, 0.707107f},
                                     {-1, 0},        {-0.707107f, -0.707107f}, {0, -1}, {0.707107f, -0.707107f}};
    const float bottom = p.y - (t.m->height / 2 + t.m->radius + K.snap_depth);
    int any = 0;
    for (int i = 0; i < 8 && !any; i++) {
      const Vec3 from = {p.x + ring[i][0] * K.probe_radius, p.y, p.z + ring[i][1] * K.probe_radius};
      any = zone_trace(from, {from.x, bottom, from.z}, nullptr);
    }
    if (!any) return 0;
  }
  *normal = taken;
  return 1;
}

// A move that resolves penetration instead of sliding.
void settle_move(Vec3* p, Vec3 g, int vertical) {
  const Vec3 a = *p, to = vec3_add(a, g);
  const Capsule c = capsule_at(to);
  Contact contact;
  if (!zone_capsule_contact(&c, &contact)) {
    *p = to;
    return;
  }
  const Vec3 n = contact.normal;
  const float pen = contact.penetration + K.push_out;
  Vec3 x = vec3_add(a, vec3_scale(n, pen));
  if (n.y <= K.upward) {
    *p = x;
    return;
  }
  if (vertical && walkable(n)) x = {a.x, a.y + pen / n.y, a.z};
  *p = step_down(x, {x.x, x.y - t.m->height / 2, x.z});
}

// The direction of the next sub-move; cur is where the capsule ends.
Vec3 slide_move(Vec3 d, Vec3 d0, Vec3 start, Vec3* cur, float* frac, int depth) {
  MotionState* m = t.m;
  const Vec3 a = *cur, to = vec3_add(a, d);
  const float length = vec3_length(d);
  const Vec3 dn = length > 0.0001f ? vec3_scale(d, 1.0f / length) : Vec3{0, 0, 0};
  if (depth >= K.slide_depth_limit || length < 0.0001f) return d;
  const Capsule at = capsule_at(to);
  Contact contact;
  if (!zone_capsule_contact(&at, &contact)) {
    *cur = to;
    return d;
  }
  Vec3 n = contact.normal;
  if (m->air_state != 1) n = vec3_unit(flat(n));
  const float pen = contact.penetration;

  // Step up: onto a ledge no higher than the step (in water at the surface, the submersion
  // depth higher), where a capsule fits and the ground below it holds.
  if (m->air_state == 0 && (t.on_ground || t.at_surface)) {
    const float rise = t.on_ground
                           ? K.step_height
                           : clampf(t.surface - (a.y - m->height / 2), 0, fmaxf(t.eye, 0)) + K.step_height;
    // A rounded capsule meets a ledge's edge before its axis is over the ledge, and resting on
    // an edge gives a push-out normal steeper than walkable; so when the step straight up
    // fails, the step is tried again a radius further along the move, where the capsule
    // stands on the ledge's top.
    const Vec3 ahead = vec3_scale(vec3_unit(flat(dn)), m->radius);
    for (int attempt = 0; attempt < 2; attempt++) {
      const Vec3 base = attempt ? vec3_add(to, ahead) : to;
      const Vec3 up = {base.x, base.y + rise, base.z};
      if (capsule_touches(up)) continue;
      const Vec3 f = step_down(up, base);
      Vec3 normal;
      if (f.y - a.y > 0.0001f && ground_test(f, 1, &normal)) {
        t.stepped = 1;
        *cur = f;
        return d;
      }
    }
  }
  // A ceiling ends the rise.
  if (m->air_state == 1) {
    int count = 0;
    const Sphere head = {at.top, m->radius, m->radius * m->radius};
    zone_sphere_contacts(&head, g_contacts, COLLISION_CONTACTS_MAX, &count);
    for (int i = 0; i < count; i++) {
      if (g_contacts[i].normal.y < K.ceiling) {
        m->air_state = 2;
        m->vertical_speed = 0;
        m->airborne.long_air_flag = 1;
        break;
      }
    }
  }
  const float nn = vec3_dot(n, n);
  Vec3 s = nn >= 0.0001f ? vec3_sub(dn, vec3_scale(n, vec3_dot(dn, n) / nn)) : dn;
  if (m->air_state != 1) s.y = 0;
  s = vec3_unit(s);
  if (vec3_dot(s, d0) <= 0 || vec3_dot(dn, n) <= K.head_on) {
    *cur = start;
    return {0, 0, 0};
  }
  if (m->air_state == 1) {
    const Vec3 sh = vec3_unit(flat(s)), d0h = vec3_unit(flat(d0)), dnh = vec3_unit(flat(dn));
    if (vec3_dot(d0h, sh) <= 0 || vec3_dot(dnh, n) <= K.head_on) {
      cur->x = start.x;
      cur->z = start.z;
      return {0, sign_of(s.y), 0};
    }
  }
  float remaining;
  if (*frac < 1) {
    remaining = length - pen;
  } else {
    // The first contact of a tick fixes the speed kept along the wall for the rest of it.
    const float k = clampf(-vec3_dot(dn, n), 0, 1);
    *frac = clampf(1.5f * sqrtf(1 - k), 0, 1);
    remaining = (length - pen) * *frac;
  }
  *cur = vec3_add(a, vec3_scale(n, pen + K.push_out));
  return slide_move(vec3_scale(s, remaining), d0, start, cur, frac, depth + 1);
}

// The walking velocity: speed x 5 along the input direction, along the ground plane on the
// ground, in three dimensions in water, none otherwise.
Vec3 walking_velocity(const MotionState* m) {
  const PlayerMotion* c = &m->control;
  const float speed = std::isfinite(c->speed) ? c->speed : 0.0f;
  Vec3 dir = c->move_direction;
  if (!std::isfinite(dir.x) || !std::isfinite(dir.y) || !std::isfinite(dir.z)) return {0, 0, 0};
  if (!t.dry) return vec3_scale(dir, speed);
  if (!m->on_ground) return {0, 0, 0};
  const Vec3 n = m->ground_normal;
  if (vec3_dot(n, n) >= 0.0001f) dir = vec3_unit(vec3_sub(dir, vec3_scale(n, vec3_dot(dir, n))));
  return vec3_scale(dir, speed);
}

// The speed of the current mode x 5, backward factors included, for a fall off an edge.
float mode_speed(const LocalView* v, Vec3 velocity) {
  const Creature* c = &v->local->player.creature;
  const float heading = v->motion->heading * 3.14159265358979f / 180.0f;
  const int backward = velocity.x * -sinf(heading) + velocity.z * -cosf(heading) < 0;
  float speed = player_walk_mode() ? c->walk_speed : c->run_speed * (backward ? 2.0f / 3.0f : 1.0f);
  if (!std::isfinite(speed)) speed = 0;
  return speed * 5;
}

void run_tick(const LocalView* v, PositionHistory* history) {
  MotionState* m = v->motion;
  const float h = K.tick_move;
  t.m = m;
  const int32_t water = water_state();
  t.dry = water < WATER_IN;
  t.at_surface = water == WATER_IN;
  t.surface = water_level();
  const AppearanceEntry* look = appearance_find(v->local->player.creature.object.appearance_id);
  t.eye = look && std::isfinite(look->eye_height) ? look->eye_height : 0.0f;

  // 1. The velocity of this tick.
  v->transform->position = history->current;
  const Vec3 position = history->current;
  Vec3 velocity = walking_velocity(m);
  if (!t.dry && velocity.y > 0 && position.y + t.eye + h * velocity.y > t.surface) {
    const float speed = vec3_length(velocity);
    float up = (fmaxf(t.surface - (position.y + t.eye), 0) - 0.01f) / h;
    up = clampf(fmaxf(up, 0), 0, velocity.y);
    if (up > speed) up = speed;
    const Vec3 across = vec3_unit(flat(velocity));
    const float keep = sqrtf(fmaxf(speed * speed - up * up, 0));
    velocity = {across.x * keep, up, across.z * keep};
  }
  if (m->air_state != 0) {
    const Vec3 dir = vec3_unit(flat(m->air_direction));
    velocity = {dir.x * m->air_speed, m->vertical_speed, dir.z * m->air_speed};
    if (!std::isfinite(velocity.x) || !std::isfinite(velocity.y) || !std::isfinite(velocity.z)) velocity = {0, 0, 0};
  }
  if (m->airborne.jump_flag && m->airborne.air_time == 0) m->airborne.start_height = position.y;

  // 2. The capsule and the move.
  const Vec3 p = {position.x, position.y + m->centre_offset, position.z};
  Vec3 vel = velocity;
  const int was_on_ground = m->on_ground;
  t.on_ground = m->on_ground;
  t.stepped = 0;
  if (t.dry && m->air_state != 1) vel.y = 0;

  // 3, 4. Eight sub-moves.
  const float vy8 = fabsf(vel.y) / 8, h8 = vec3_length(flat(vel)) / 8;
  Vec3 d = vec3_scale(vel, h / 8);
  const Vec3 d0 = d, start = p;
  Vec3 cur = p;
  float frac = 1;
  if (!is_zero(vel)) {
    for (int i = 0; i < K.sub_moves; i++) {
      if (is_zero(d)) continue;
      const Vec3 across = vec3_unit(flat(d));
      d = vec3_scale(vec3_add({0, sign_of(d.y) * vy8, 0}, vec3_scale(across, frac * h8)), h);
      d = slide_move(d, d0, start, &cur, &frac, 1);
    }
  }

  // 5. The ground.
  Vec3 normal = m->ground_normal;
  t.on_ground = ground_test(cur, t.stepped, &normal);

  // 6. Staying on the ground: a ledge probe after walking off an edge, the snap down slopes
  // and stairs, and a second probe for a player that was on the ground.
  int probed = 0;
  if (!is_zero(d) && m->air_state == 0 && t.dry && !t.on_ground) {
    probed = 1;
    Vec3 probe = cur;
    for (int i = 0; i < K.sub_moves; i++) {
      settle_move(&probe, {0, -K.ledge_step, 0}, 1);
      Vec3 n;
      if (ground_test(probe, t.stepped, &n)) {
        if (vec3_length(vec3_sub(probe, cur)) < K.ledge_accept) {
          cur = probe;
          t.on_ground = 1;
          normal = n;
        }
        break;
      }
    }
  }
  if (m->air_state == 0 && t.dry && (!t.stepped || !t.on_ground)) {
    const Vec3 target = step_down(cur, {cur.x, cur.y - K.snap_depth, cur.z});
    Vec3 n;
    if (cur.y - target.y > 0.0001f && ground_test(target, t.stepped, &n)) {
      cur = target;
      t.on_ground = 1;
      normal = n;
    }
  }
  if (was_on_ground && probed && !t.on_ground && vec3_length(vec3_sub(cur, start)) > K.still) {
    Vec3 probe = cur;
    for (int i = 0; i < K.sub_moves; i++) {
      settle_move(&probe, {0, -K.ledge_step, 0}, 0);
      Vec3 n;
      if (ground_test(probe, t.stepped, &n)) {
        if (vec3_length(vec3_sub(probe, cur)) < K.ledge_accept) {
          cur = probe;
          t.on_ground = 1;
          normal = n;
        }
        break;
      }
    }
  }

  // 7. Gravity; the stored speed is not clamped, the fall is.
  if (!t.dry || m->air_state == 0)
    m->vertical_speed = 0;
  else
    m->vertical_speed -= K.gravity * h;
  if (!std::isfinite(m->vertical_speed)) m->vertical_speed = 0;
  float fall = fminf(m->vertical_speed, 0);
  if (fall < -K.terminal) fall = -K.terminal;
  const Vec3 g = {0, fall * h, 0};
  if (!is_zero(g) && !t.on_ground && t.dry) {
    for (int i = 0; i < K.sub_moves; i++) settle_move(&cur, vec3_scale(g, 1.0f / (float)K.sub_moves), 0);
    t.on_ground = ground_test(cur, t.stepped, &normal);
  }

  // 8. A tick that did not move stays put; touching anything then means standing.
  if (vec3_length(vec3_sub(cur, start)) < K.still) {
    cur = start;
    if (!t.on_ground) {
      const Capsule wide = capsule_make(start, m->radius + 0.05f, m->height + 0.1f);
      int n = 0;
      if (zone_capsule_contacts(&wide, g_contacts, COLLISION_CONTACTS_MAX, &n)) {
        t.on_ground = 1;
        normal = {0, 1, 0};
      }
    }
  }
  // A position that stopped being a number goes back to where the tick began.
  if (!std::isfinite(cur.x) || !std::isfinite(cur.y) || !std::isfinite(cur.z)) cur = start;

  // 9. The new tick position.
  const Vec3 next = {cur.x, cur.y - m->centre_offset, cur.z};
  history->previous = history->current;
  history->current = next;
  history->velocity = velocity;
  m->on_ground = t.on_ground;
  m->stepped = t.stepped;
  if (t.on_ground) m->ground_normal = normal;

  // 10. The air state.
  if (!t.on_ground && t.dry && m->air_state == 0) {
    m->air_direction = vec3_unit(flat(velocity));
    m->fell = 1;
    m->air_state = 2;
    m->air_speed = mode_speed(v, velocity);
  }
  if (m->air_state == 1 && m->vertical_speed <= 0) m->air_state = 2;
  if (t.on_ground && m->air_state == 2) m->air_state = 0;
  if (!t.dry) {
    m->air_state = 0;
    m->airborne = AirborneRecord{};
    return;
  }
  airborne_track(&m->airborne, m->air_state, next.y, h);
}

}  // namespace

void airborne_track(AirborneRecord* r, int32_t state, float y, float dt) {
  if (state != 0) {
    if (r->air_state_copy == 0) {
      r->air_time = 0;
      r->start_height = y;
      r->jump_flag = state == 1;
      r->long_air_flag = 0;
      r->jump_flag_copy = state == 1;
      r->hard_landing = 0;
    }
    r->air_state_copy = state;
    r->air_time += dt > 0 ? dt : 0;
    if ((r->jump_flag && y <= r->start_height - 0.11111111f) || (!r->jump_flag && r->air_time >= 0.5))
      r->long_air_flag = 1;
    return;
  }
  if (r->air_state_copy != 0 && (r->jump_flag || r->long_air_flag)) r->hard_landing = 1;
  r->air_state_copy = 0;
  r->air_time = 0;
  r->jump_flag = 0;
  r->long_air_flag = 0;
  r->jump_flag_copy = 0;
}

void movement_tick(void) {
  LocalView v;
  if (!player_local_view(&v)) return;
  PositionHistory* history =
      (PositionHistory*)entity_component(v.world, COMPONENT_POSITION_HISTORY, v.handle);
  if (history) run_tick(&v, history);
}

void movement_frame(float dt) {
  LocalView v;
  if (!player_local_view(&v)) return;
  if (!(dt >= 0) || !std::isfinite(dt)) dt = 0;
  PositionHistory* history =
      (PositionHistory*)entity_component(v.world, COMPONENT_POSITION_HISTORY, v.handle);
  if (!history) return;
  const Vec3 at = history->current;
  if (!zone_cell_ready(at.x, at.z)) return;
  MotionState* m = v.motion;

  // 1. Steering a standing jump once, in the direction first given in the air.
  const PlayerMotion* c = &m->control;
  if (m->air_state != 0 && !m->fell && fabsf(m->air_direction.x) < 0.0001f && fabsf(m->air_direction.z) < 0.0001f &&
      (fabsf(c->move_direction.x) >= 0.0001f || fabsf(c->move_direction.z) >= 0.0001f) && c->speed > 0) {
    m->air_direction.x = c->move_direction.x;
    m->air_direction.z = c->move_direction.z;
    m->air_speed = c->speed;
  }

  // 2, 3. Whole ticks.
  double& acc = history->accumulator;
  if (!std::isfinite(acc) || acc < 0) acc = 0;
  acc += dt;
  if (acc > K.accumulator_cap) acc = K.accumulator_cap;
  while (acc >= K.tick) {
    run_tick(&v, history);
    acc -= K.tick;
  }

  // 4. The displayed position, between the last two ticks.
  float a = (float)(acc * 60);
  a = clampf(a, 0, 1);
  const Vec3 p0 = history->previous, p1 = history->current;
  v.transform->position = {p0.x * (1 - a) + p1.x * a, p0.y * (1 - a) + p1.y * a, p0.z * (1 - a) + p1.z * a};

  // 5. The report.
  player_report(dt);
}
