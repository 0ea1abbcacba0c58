#include "game/move_track.h"

#include <cmath>
#include <cstring>

#include "base/math.h"

static constexpr double MOVE_AVERAGE_START = 0.1;
static constexpr double MOVE_AVERAGE_MIN = 0.05, MOVE_AVERAGE_MAX = 0.5;
static constexpr float MOVE_RESTART_DISTANCE = 2.0f;
static constexpr double MOVE_STAMP_STEP = 0.05;  // the least step between two stamps
static constexpr double MOVE_STANDING_AFTER = 0.5;

void move_track_reset(MoveTrack* track) {
  memset(track, 0, sizeof *track);
  track->average = MOVE_AVERAGE_START;
  track->motion_state = MOTION_STANDING;
  track->air_mode = -1;
}

void motion_state_reset(MotionState* motion) {
  memset(motion, 0, sizeof *motion);
  motion->height = 2.0f;
  motion->radius = 0.5f;
  motion->centre_offset = 1.025f;
}

static float distance(Vec3 a, Vec3 b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return sqrtf(dx * dx + dy * dy + dz * dz);
}

static void push_interval(MoveTrack* t, double interval) {
  if (t->interval_count == MOVE_TRACK_INTERVALS) {
    memmove(t->intervals, t->intervals + 1, sizeof(double) * (MOVE_TRACK_INTERVALS - 1));
    t->interval_count--;
  }
  t->intervals[t->interval_count++] = interval;
  double sum = 0, largest = 0;
  for (int32_t i = 0; i < t->interval_count; i++) {
    sum += t->intervals[i];
    if (t->intervals[i] > largest) largest = t->intervals[i];
  }
  double average = sum / t->interval_count;
  if (average < MOVE_AVERAGE_MIN) average = MOVE_AVERAGE_MIN;
  if (average > MOVE_AVERAGE_MAX) average = MOVE_AVERAGE_MAX;
  t->average = average;
  t->jitter = largest > 2 * average ? largest - average : 0;
}

static void append(MoveTrack* t, const MoveSample* s) {
  if (t->count == MOVE_TRACK_SAMPLES) {
    memmove(t->samples, t->samples + 1, sizeof(MoveSample) * (MOVE_TRACK_SAMPLES - 1));
    t->count--;
  }
  t->samples[t->count++] = *s;
}

void move_track_sample(MoveTrack* t, Vec3 position, float heading, const MoveSample* in, int32_t mode) {
  double stamp;
  if (mode == MOVE_MODE_EXTRA) {
    double elapsed = t->since_last > 0 ? t->since_last : 0;
    stamp = t->clock + (elapsed < t->average ? elapsed : t->average);
  } else {
    if (t->previous_counts) push_interval(t, t->since_last);
    t->since_last = 0;
    // A standing sample ends a walk: the pause until the next one says nothing of the cadence.
    t->previous_counts = in->direction != 0 || (in->motion_state & (MOTION_JUMPING | MOTION_FALLING));
    stamp = t->clock + t->average;
    t->clock = stamp;
  }
  if (t->count > 0 && distance(in->position, t->samples[t->count - 1].position) > MOVE_RESTART_DISTANCE)
    t->count = 0;
  if (t->count > 0 && !(stamp > t->last_stamp)) {
    stamp = t->last_stamp + MOVE_STAMP_STEP;
    if (mode != MOVE_MODE_EXTRA) t->clock = stamp;
  }
  t->last_stamp = stamp;
  if (t->count == 0 && distance(position, in->position) <= MOVE_RESTART_DISTANCE) {
    MoveSample from = {position, heading, t->motion_state, t->direction, stamp - t->average};
    append(t, &from);
  }
  MoveSample s = *in;
  s.stamp = stamp;
  append(t, &s);
  if (t->count <= 2 && t->samples[0].stamp == stamp - t->average) t->playback_time = stamp - 1.5 * t->average;
}

uint8_t move_track_playback(MoveTrack* t, float dt, Vec3* position, float* heading, int32_t* air_mode) {
  t->since_last += dt;
  if (t->count > 0) {
    const double average = t->average;
    double f = (t->last_stamp - t->playback_time) - t->jitter - 1.5 * average;
    const double dead = 0.5 * average;
    f = f > dead ? f - dead : (f < -dead ? f + dead : 0);
    double speed = 1 + f / average * 0.25;
    speed = speed < 0.75 ? 0.75 : (speed > 1.25 ? 1.25 : speed);
    t->playback_time += dt * speed;
    if (t->playback_time > t->last_stamp - t->jitter) t->playback_time = t->last_stamp - t->jitter;

    int32_t next = 0;
    while (next < t->count && t->samples[next].stamp < t->playback_time) next++;
    const MoveSample* shown;
    if (next == t->count || next == 0) {
      shown = &t->samples[next == 0 ? 0 : t->count - 1];
      *position = shown->position;
      *heading = shown->heading;
    } else {
      const MoveSample* a = &t->samples[next - 1];
      const MoveSample* b = &t->samples[next];
      const double span = b->stamp - a->stamp;
      double u = span > 0 ? (t->playback_time - a->stamp) / span : 1;
      u = u < 0 ? 0 : (u > 1 ? 1 : u);
      const float k = (float)u;
      *position = {a->position.x + (b->position.x - a->position.x) * k,
                   a->position.y + (b->position.y - a->position.y) * k,
                   a->position.z + (b->position.z - a->position.z) * k};
      *heading = angle_normalise(a->heading + angle_difference(a->heading, b->heading) * k);
      shown = a;
    }
    t->motion_state = shown->motion_state;
    t->direction = shown->direction;

    if (t->since_last > MOVE_STANDING_AFTER) {
      t->motion_state = MOTION_STANDING;
      t->direction = 0;
      t->air_mode = -1;
    } else {
      for (int32_t i = 0; i < t->count && t->samples[i].stamp <= t->playback_time; i++) {
        const MoveSample* s = &t->samples[i];
        if (s->motion_state & MOTION_IN_WATER) {
          t->air_mode = -1;
          continue;
        }
        t->air_mode = (s->motion_state & MOTION_JUMPING) ? 1 : (s->motion_state & MOTION_FALLING) ? 2 : 0;
        float height = s->position.y;
        if (i + 1 < t->count) {
          const MoveSample* n = &t->samples[i + 1];
          const double span = n->stamp - s->stamp;
          double u = span > 0 ? (t->playback_time - s->stamp) / span : 1;
          u = u < 0 ? 0 : (u > 1 ? 1 : u);
          height += (n->position.y - height) * (float)u;
        }
        t->air_height = height;
        t->air_time = (float)(t->playback_time - s->stamp);
      }
    }
  }
  if (air_mode)
    *air_mode = (t->motion_state & MOTION_JUMPING) ? 1 : (t->motion_state & MOTION_FALLING) ? 2 : 0;
  return t->motion_state;
}

void move_sample(EntityWorld* world, uint32_t handle, const MoveSample* sample, int32_t mode) {
  MoveTrack* track = (MoveTrack*)entity_component(world, COMPONENT_MOVE_TRACK, handle);
  const Transform* t = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  if (!track || !t) return;
  move_track_sample(track, t->position, t->rotation.y, sample, mode);
}

uint8_t move_playback(EntityWorld* world, uint32_t handle, float dt, int32_t* air_mode) {
  MoveTrack* track = (MoveTrack*)entity_component(world, COMPONENT_MOVE_TRACK, handle);
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  if (!track || !t) {
    if (air_mode) *air_mode = 0;
    return 0;
  }
  return move_track_playback(track, dt, &t->position, &t->rotation.y, air_mode);
}
