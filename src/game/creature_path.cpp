#include "game/creature_path.h"

#include <cmath>
#include <cstring>

#include "base/math.h"
#include "base/random.h"
#include "game/components.h"
#include "game/object_requests.h"
#include "net/messages.h"

static constexpr float PLACE_DISTANCE_SQUARED = 64.0f;  // 8 units
static constexpr float SAME_POINT = 0.0001f;
static constexpr float PATH_SPEED_FACTOR = 5.0f;
static constexpr float TURN_RATE = 9.0f;
static constexpr float GROUND_PROBE = 20000.0f;
static constexpr float BLINK_STEP_SECONDS = 1.0f / 30.0f;
static constexpr int32_t BLINK_LAST_STEP = 6;
static constexpr int32_t BLINK_HELD_STEP = 3;
static constexpr uint32_t FLAG_PLACED = 0x40;
static constexpr int32_t ATTR_ASLEEP = 1 << 8;

static ZoneTraceFn g_trace;

void creature_set_zone_trace(ZoneTraceFn trace) { g_trace = trace; }

static float length(Vec3 a, Vec3 b) {
  const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  return sqrtf(dx * dx + dy * dy + dz * dz);
}

void creature_path_build(CreaturePath* path, const Vec3* points, int32_t count) {
  memset(path, 0, sizeof *path);
  if (count > CREATURE_PATH_POINTS) count = CREATURE_PATH_POINTS;
  for (int32_t i = 0; i < count; i++) {
    path->points[i] = points[i];
    path->lengths[i] = i == 0 ? 0 : path->lengths[i - 1] + length(points[i - 1], points[i]);
  }
  path->count = count < 0 ? 0 : count;
}

// The heading of travel from a to b; a segment of no length keeps the heading given.
static float segment_heading(Vec3 a, Vec3 b, float keep) {
  const float dx = a.x - b.x, dz = a.z - b.z;
  if (fabsf(dx) <= SAME_POINT && fabsf(dz) <= SAME_POINT) return keep;
  return angle_normalise(atan2f(dx, dz) * (180.0f / 3.14159265358979f));
}

int creature_path_evaluate(const CreaturePath* path, float d, Vec3* position, float* heading) {
  if (!(d > 0)) d = 0;
  const int32_t n = path->count;
  if (n < 2) {
    if (n == 1) *position = path->points[0];
    return 0;
  }
  if (d >= path->lengths[n - 1]) {
    *position = path->points[n - 1];
    *heading = segment_heading(path->points[n - 2], path->points[n - 1], *heading);
    return 0;
  }
  int32_t i = 0;
  while (path->lengths[i] < d) i++;
  if (i == 0) {
    *position = path->points[0];
    *heading = segment_heading(path->points[0], path->points[1], *heading);
    return 1;
  }
  const Vec3 a = path->points[i - 1], b = path->points[i];
  const float span = path->lengths[i] - path->lengths[i - 1];
  const float u = span > SAME_POINT ? (d - path->lengths[i - 1]) / span : 1.0f;
  *position = {a.x + u * (b.x - a.x), a.y + u * (b.y - a.y), a.z + u * (b.z - a.z)};
  *heading = segment_heading(a, b, *heading);
  return 1;
}

// The height of the ground under (or, failing that, above) a point; the point's own height
// without any hit.
static float ground_height(Vec3 p) {
  if (!g_trace) return p.y;
  Vec3 hit;
  const Vec3 from = {p.x, p.y + 1.0f, p.z};
  if (g_trace(from, {p.x, from.y - GROUND_PROBE, p.z}, &hit)) return hit.y;
  if (g_trace(from, {p.x, from.y + GROUND_PROBE, p.z}, &hit)) return hit.y;
  return p.y;
}

// Placing a far creature looks down only.
static float ground_below(Vec3 p) {
  Vec3 hit;
  if (g_trace && g_trace({p.x, p.y + 1.0f, p.z}, {p.x, p.y + 1.0f - GROUND_PROBE, p.z}, &hit)) return hit.y;
  return p.y;
}

void creature_start_path_to(EntityWorld* world, uint32_t handle, Creature* c, Vec3 target) {
  const Transform* t = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  if (!t) return;
  const Vec3 points[2] = {t->position, target};
  creature_path_build(&c->path, points, 2);
  c->path_travelled = 0;
  c->path_active = 1;
}

void creature_start_motion(EntityWorld* world, uint32_t handle, Creature* c, const MotionRecord* m) {
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  if (!t) return;
  const Vec3 a = {m->a[0], m->a[1], m->a[2]};
  c->target_position = a;
  c->target_heading = m->heading;
  c->motion_flags = m->flags;
  const float dx = a.x - t->position.x, dy = a.y - t->position.y, dz = a.z - t->position.z;
  if (dx * dx + dy * dy + dz * dz >= PLACE_DISTANCE_SQUARED) {
    t->position = a;
    if (!(m->flags & MOTION_IN_WATER)) t->position.y = ground_below(a);
  }
  const Vec3 b = {m->b[0], m->b[1], m->b[2]}, cc = {m->c[0], m->c[1], m->c[2]};
  const bool c_differs =
      fabsf(cc.x - b.x) > SAME_POINT || fabsf(cc.y - b.y) > SAME_POINT || fabsf(cc.z - b.z) > SAME_POINT;
  const Vec3 points[3] = {t->position, b, cc};
  creature_path_build(&c->path, points, c_differs ? 3 : 2);
  c->path_travelled = 0;
  c->path_active = 1;
}

static float turn_towards(float heading, float target, float dt) {
  float k = TURN_RATE * dt;
  if (k > 1) k = 1;
  return angle_normalise(heading + angle_difference(heading, target) * k);
}

void creature_step(EntityWorld* world, uint32_t handle, float dt) {
  Creature* c = (Creature*)entity_component(world, COMPONENT_CREATURE, handle);
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  if (!c || !t || (c->object.flags & FLAG_PLACED)) return;
  if (!c->path_active) {
    t->rotation.y = turn_towards(t->rotation.y, c->target_heading, dt);
    return;
  }
  const float speed = (c->motion_flags & MOTION_IN_WATER)  ? c->swim_speed
                      : (c->motion_flags & MOTION_WALKING) ? c->walk_speed
                                                           : c->run_speed;
  c->path_travelled += speed * dt * PATH_SPEED_FACTOR;
  Vec3 p = t->position;
  float heading = c->target_heading;
  if (!creature_path_evaluate(&c->path, c->path_travelled, &p, &heading)) {
    c->path_active = 0;
    memset(&c->path, 0, sizeof c->path);
  }
  c->target_heading = heading;
  t->rotation.y = turn_towards(t->rotation.y, heading, dt);
  if (!(c->motion_flags & MOTION_IN_WATER)) p.y = ground_height(p);
  t->position = p;
}

void blink_advance(float* interval, float* timer, int32_t* step, float dt) {
  *timer += dt;
  if (*step == 0) {
    if (*timer >= *interval) {
      *step = 1;
      *timer = 0;
    }
    return;
  }
  // Several steps may pass in one long frame.
  while (*step != 0 && *timer >= BLINK_STEP_SECONDS) {
    *timer -= BLINK_STEP_SECONDS;
    if (++*step > BLINK_LAST_STEP) {
      *step = 0;
      *timer = 0;
      *interval = random_float(1.5f, 2.0f);
    }
  }
}

void idle_tick(EntityWorld* world, uint32_t handle, float dt) {
  Creature* c = (Creature*)entity_component(world, COMPONENT_CREATURE, handle);
  if (!c) c = (Creature*)entity_component(world, COMPONENT_PLAYER_CHARACTER, handle);
  if (!c) c = (Creature*)entity_component(world, COMPONENT_LOCAL_PLAYER, handle);
  if (!c || !(dt > 0)) return;
  if ((c->object.flags & FLAG_PLACED) || (c->object.attr_a & ATTR_ASLEEP)) {
    c->blink_step = BLINK_HELD_STEP;
  } else {
    blink_advance(&c->blink_interval, &c->blink_timer, &c->blink_step, dt);
  }
  const AnimationState* a = (const AnimationState*)entity_component(world, COMPONENT_ANIMATION_STATE, handle);
  const uint32_t now = a ? a->animation : 0;
  if (now != c->idle_animation && now != c->idle_animation + 1) c->idle_timer = 0;
  c->idle_animation = now;
  c->idle_timer += dt;
  if (c->idle_timer >= c->idle_threshold) {
    object_request_idle_variant(c->object.server_id);
    c->idle_timer = 0;
    c->idle_threshold = random_float(5.0f, 25.0f);
  }
}

void status_effects_tick(Creature* c, float dt) {
  if (!(dt > 0)) return;
  for (StatusEffect& e : c->status) {
    e.remaining -= dt;
    if (!(e.remaining > 0)) e.remaining = 0;
  }
}
