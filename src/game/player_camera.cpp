#include "game/player_camera.h"

#include <cmath>

#include "base/camera.h"
#include "game/appearance_table.h"
#include "game/components.h"
#include "game/game_world.h"
#include "game/world_queries.h"
#include "input/input.h"
#include "input/keybind.h"
#include "input/mouse.h"
#include "render/render.h"
#include "scene/water.h"
#include "settings/settings.h"

namespace {

constexpr float PI = 3.14159265358979f;
constexpr float DEGREES = PI / 180.0f;
constexpr float LOOK_PITCH_SHARE = 2.0f / 3.0f;
constexpr float SWING_RATE = 180.0f;    // degrees of offset per second of swing
constexpr float SWING_MIN_TIME = 0.1f;  // seconds
constexpr float ZOOM_KEY_RATE = 8.0f;   // units a second
constexpr float HEAD_ABOVE = 0.25f;     // the look-at point rises at most this above water
constexpr float HEAD_DIP = 0.25f;       // dipping deeper than this holds it down
constexpr float HEAD_HELD = 0.75f;      // at most this deep while held down
constexpr float HEAD_RELEASE = 0.15f;   // until it comes back above this depth

struct CameraModule {
  uint32_t handle;     // the followed entity, 0 when detached
  uint32_t server_id;  // its server id: a removal or a new local player detaches
  float desired, actual;
  int recentring;
  int swing_active;
  float swing_offset, swing_time, swing_duration;
  float drag;  // accumulated drag distance while a button is held
  int looking;
  int zoom_direction;
  int head_held;  // the look-at point is held below the surface
  Vec3 look_at;
};
CameraModule g;

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }
float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

Transform* camera_transform(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_TRANSFORM);
  return pool && pool->dense_count ? (Transform*)pool_at(pool, 0) : nullptr;
}
CameraState* camera_record(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (CameraState*)pool_at(pool, 0) : nullptr;
}

// The followed player's transform; detaches when it is gone or no longer the local player.
Transform* followed(EntityWorld* world) {
  if (!g.handle || !world) return nullptr;
  if (!entity_alive(world, g.handle) || entity_by_id(g.server_id) != g.handle) {
    camera_detach();
    return nullptr;
  }
  return (Transform*)entity_component(world, COMPONENT_TRANSFORM, g.handle);
}

void world_replaced(EntityWorld*) { camera_detach(); }

int any_button(void) { return button_down(0) || button_down(1) || button_down(2); }

void swing_back(Transform* camera, const Transform* player, float dt) {
  const GameObject* o = (const GameObject*)entity_component(game_world(), COMPONENT_LOCAL_PLAYER, g.handle);
  const MotionState* m = (const MotionState*)entity_component(game_world(), COMPONENT_MOTION_STATE, g.handle);
  const int moving = o && m && (m->control.direction & DIRECTION_MOVING);
  if (!moving || any_button()) {
    g.swing_active = 0;
    return;
  }
  const float heading = finite_or_zero(player->rotation.y);
  if (!g.swing_active) {
    g.swing_active = 1;
    g.swing_offset = angle_normalise(camera->rotation.y - heading);
    g.swing_time = 0;
    g.swing_duration = fabsf(g.swing_offset) / SWING_RATE;
    if (g.swing_duration < SWING_MIN_TIME) g.swing_duration = SWING_MIN_TIME;
  }
  g.swing_time += dt;
  if (g.swing_time > g.swing_duration) g.swing_time = g.swing_duration;
  const float eased = (1 - cosf(PI * g.swing_time / g.swing_duration)) / 2;
  camera->rotation.y = angle_normalise(heading + g.swing_offset * (1 - eased));
}

// The look-at height, held near the surface in water with hysteresis.
float look_height(float eye) {
  if (water_state() < WATER_IN) {
    g.head_held = 0;
    return eye;
  }
  const float level = water_level();
  if (!g.head_held && eye < level - HEAD_DIP) g.head_held = 1;
  if (g.head_held && eye > level - HEAD_RELEASE) {
    g.head_held = 0;
    g.recentring = 1;
  }
  if (g.head_held) return eye > level - HEAD_HELD ? eye : level - HEAD_HELD;
  return eye < level + HEAD_ABOVE ? eye : level + HEAD_ABOVE;
}

}  // namespace

void player_camera_start(void) {
  g = {};
  game_world_listen(world_replaced);
}
void player_camera_shutdown(void) {
  game_world_unlisten(world_replaced);
  camera_detach();
}

void camera_follow(uint32_t handle) {
  EntityWorld* world = game_world();
  const ServerId* id = (const ServerId*)entity_component(world, COMPONENT_SERVER_ID, handle);
  const Transform* player = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  Transform* camera = camera_transform(world);
  if (!id || !player || !camera) return;
  g = {};
  g.handle = handle;
  g.server_id = id->id;
  g.desired = g.actual = clampf(finite_or_zero(camera_distance()), 0, CAMERA_DISTANCE_MAX);
  camera->rotation = player->rotation;
  camera->rotation.x = clampf(finite_or_zero(camera_pitch()), CAMERA_PITCH_MIN, CAMERA_PITCH_MAX);
  camera->rotation.y = angle_normalise(finite_or_zero(camera->rotation.y));
  camera->rotation.z = 0;
}

void camera_detach(void) {
  if (g.looking) mouse_release();
  g = {};
}

uint32_t camera_followed(void) {
  followed(game_world());
  return g.handle;
}

float camera_yaw(void) {
  const Transform* t = g.handle ? camera_transform(game_world()) : nullptr;
  return t ? t->rotation.y : 0.0f;
}

void camera_add_pitch(float degrees) {
  Transform* t = g.handle ? camera_transform(game_world()) : nullptr;
  if (t)
    t->rotation.x =
        clampf(finite_or_zero(t->rotation.x + finite_or_zero(degrees)), CAMERA_PITCH_MIN, CAMERA_PITCH_MAX);
}

float camera_desired_distance(void) { return g.desired; }
float camera_actual_distance(void) { return g.actual; }
int camera_recentring(void) { return g.recentring; }
void camera_look_at(float out[3]) {
  out[0] = g.look_at.x;
  out[1] = g.look_at.y;
  out[2] = g.look_at.z;
}

void camera_look(float dt) {
  EntityWorld* world = game_world();
  const Transform* player = followed(world);
  Transform* camera = player ? camera_transform(world) : nullptr;
  if (!camera) return;
  if (!(dt >= 0) || !std::isfinite(dt)) dt = 0;
  float pitch = finite_or_zero(camera->rotation.x), yaw = finite_or_zero(camera->rotation.y);

  if (any_button()) {
    const float dx = finite_or_zero(axis_value(1)), dy = finite_or_zero(axis_value(2));
    g.drag = finite_or_zero(g.drag + fabsf(dx) + fabsf(dy));
    if (g.drag > 0) {
      if (!g.looking) {
        mouse_capture();
        g.looking = 1;
        if (g.recentring) pitch = CAMERA_RECENTRE_PITCH;
        g.recentring = 0;
      }
      const float speed = finite_or_zero(setting_mouse_look_speed());
      yaw += dx * speed * (setting_invert_mouse_x() ? -1.0f : 1.0f);
      pitch += dy * speed * LOOK_PITCH_SHARE * (setting_invert_mouse_y() ? -1.0f : 1.0f);
    }
  } else {
    if (g.looking) mouse_release();
    g.looking = 0;
    g.drag = 0;
  }
  if (g.recentring) {
    const float step = CAMERA_RECENTRE_RATE * dt;
    if (fabsf(CAMERA_RECENTRE_PITCH - pitch) <= step) {
      pitch = CAMERA_RECENTRE_PITCH;
      g.recentring = 0;
    } else {
      pitch += pitch < CAMERA_RECENTRE_PITCH ? step : -step;
    }
  }
  camera->rotation.x = clampf(finite_or_zero(pitch), CAMERA_PITCH_MIN, CAMERA_PITCH_MAX);
  camera->rotation.y = angle_normalise(finite_or_zero(yaw));
}

void camera_update(float dt) {
  EntityWorld* world = game_world();
  const Transform* player = followed(world);
  Transform* camera = player ? camera_transform(world) : nullptr;
  CameraState* state = camera ? camera_record(world) : nullptr;
  if (!state) return;
  if (!(dt >= 0) || !std::isfinite(dt)) dt = 0;
  swing_back(camera, player, dt);
  const GameObject* o = (const GameObject*)entity_component(world, COMPONENT_LOCAL_PLAYER, g.handle);
  const AppearanceEntry* look = appearance_find(o ? o->appearance_id : APPEARANCE_DEFAULT);

  // 1. Zoom: a wheel frame moves by 1, keys by 8 a second.
  if (!input_text_focused()) {
    const float wheel = finite_or_zero(axis_value(0));
    const int keys = binding_active(KB_ZOOM_IN) - binding_active(KB_ZOOM_OUT);
    if (wheel != 0) {
      g.zoom_direction = wheel > 0 ? 1 : -1;
      g.desired -= (float)g.zoom_direction;
    } else if (keys) {
      g.zoom_direction = keys;
      g.desired -= (float)keys * ZOOM_KEY_RATE * dt;
    }
  }
  g.desired = clampf(finite_or_zero(g.desired), 0, CAMERA_DISTANCE_MAX);
  // Inside the model's near limit the camera does not stay: it carries on to 0 or out past it.
  if (g.desired <= look->near_limit && g.zoom_direction)
    g.desired = clampf(g.desired - (float)g.zoom_direction, 0, CAMERA_DISTANCE_MAX);

  // 2. The look-at point.
  const Vec3 p = player->position;
  const float limit = CAMERA_WORLD_LIMIT;
  const Vec3 target = {
      clampf(finite_or_zero(p.x), -limit, limit),
      clampf(finite_or_zero(look_height(finite_or_zero(p.y) + look->eye_height)), -limit, limit),
      clampf(finite_or_zero(p.z), -limit, limit)};
  g.look_at = target;

  // 3. The camera point behind the look-at point, pulled in front of the zone's geometry.
  const float pitch = clampf(finite_or_zero(camera->rotation.x), CAMERA_PITCH_MIN, CAMERA_PITCH_MAX);
  const float yaw = angle_normalise(finite_or_zero(camera->rotation.y));
  const float cp = cosf(pitch * DEGREES), sp = sinf(pitch * DEGREES);
  const Vec3 back = {sinf(yaw * DEGREES) * cp, sp, cosf(yaw * DEGREES) * cp};
  g.actual = g.desired;
  if (g.desired > 0) {
    const Vec3 wanted = {target.x + back.x * g.desired, target.y + back.y * g.desired,
                         target.z + back.z * g.desired};
    TraceHit hit;
    if (zone_trace_world(target, wanted, &hit)) {
      const float dx = hit.point.x - target.x, dy = hit.point.y - target.y, dz = hit.point.z - target.z;
      const float reach = sqrtf(dx * dx + dy * dy + dz * dz) - CAMERA_WALL_GAP;
      g.actual = reach > 0 ? (reach < g.desired ? reach : g.desired) : 0.0f;
    }
  }
  if (!(g.actual <= CAMERA_DISTANCE_MAX)) g.actual = CAMERA_DISTANCE_MAX;

  // 4. The camera's transform and view.
  camera->position = {target.x + back.x * g.actual, target.y + back.y * g.actual,
                      target.z + back.z * g.actual};
  camera->rotation = {pitch, yaw, 0};
  const uint64_t size = render_get_size();
  const float width = (float)(uint32_t)size, height = (float)(uint32_t)(size >> 32);
  camera_build(&state->camera, camera->position.x, camera->position.y, camera->position.z, pitch, yaw, 0,
               state->fov_degrees, state->near_plane, state->far_distance, width, height);

  // 5. Stored back every frame; the profile writes them when it is saved.
  camera_set_pitch(pitch);
  camera_set_distance(g.desired);
}
