// The zone environment over arbitrary zone-file words, levels, window sizes, fields of view
// and clocks: env_record_init, env_view_distance_for_level for every level and env_update
// must give finite results with 0 <= fog start <= far distance, the far distance beyond the
// camera's near plane and the clock within one day. Any violation aborts.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "game/catalogue.h"
#include "game/game_world.h"
#include "render/render.h"
#include "scene/environment.h"
#include "support/backend_testing.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size, at;
  uint32_t byte() { return at < size ? data[at++] : 0; }
  uint32_t word() { return byte() | byte() << 8 | byte() << 16 | byte() << 24; }
  float real() {
    uint32_t w = word();
    float f;
    memcpy(&f, &w, 4);
    return f;
  }
};

#define CHECK(cond)       \
  do {                    \
    if (!(cond)) abort(); \
  } while (0)

int install_recording(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  return 1;
}
int pixel_format_ok(Window*) { return 1; }

void check_distances(float far, float start) {
  CHECK(std::isfinite(far) && std::isfinite(start));
  CHECK(start >= 0 && start <= far);
}

void check_finite(const float* values, int count) {
  for (int i = 0; i < count; i++) CHECK(std::isfinite(values[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    static RenderBackendInits inits = {pixel_format_ok, install_recording, install_recording,
                                       nullptr,         nullptr,           nullptr};
    render_set_backend_inits(&inits);
    render_install(nullptr, 0);
    started = true;
  }
  Reader in = {data, size, 0};
  float colour[3] = {in.real(), in.real(), in.real()};
  float value_1 = in.real(), far_distance = in.real(), value_2 = in.real(), value_3 = in.real();
  uint32_t word = in.word(), cell = in.word();
  uint32_t width = in.word(), height = in.word();
  float fov = in.real();
  int32_t clock = (int32_t)in.word();
  uint32_t tag = in.byte();

  ZoneEnvironment record;
  env_record_init(&record, colour, value_1, far_distance, value_2, value_3, word, cell);
  for (int32_t level : {-3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    float start = -1;
    float far = env_view_distance_for_level(&record, level, &start);
    check_distances(far, start);
  }

  EntityWorld* world = catalogue_world_create(tag, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, env);
  *e = record;
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  c->fov_degrees = fov;
  recording_backend_configure(1, PF_RGBA8888, width, height);
  recording_backend_reset();
  env_set_clock(clock);
  env_update();
  check_distances(e->far_distance, e->fog_start);
  CHECK(e->far_distance > c->near_plane);
  CHECK(c->far_distance == e->far_distance);
  CHECK(e->clock >= 0 && e->clock < 86400);
  check_finite(e->fog_colour, 3);
  check_finite(e->light_direction, 3);
  check_finite(e->light_colour, 3);
  check_finite(e->cloud_colour_1, 3);
  check_finite(e->cloud_colour_2, 3);
  check_finite(&e->celestial_elevation, 1);
  CHECK(e->day_fraction >= 0 && e->day_fraction <= 1);
  float fog[3], start, end;
  env_fog(fog, &start, &end);
  check_finite(fog, 3);
  check_distances(end, start);
  game_world_replace(nullptr);
  return 0;
}
