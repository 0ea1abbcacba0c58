// Opens the client's window through the platform layer with one of the two OpenGL backends,
// starts the asset cache on an assets folder, wires the renderer as the client does, builds
// a world for one zone from its map entry (camera and environment), streams the zone's cells
// and draws frames with the game's frame function.
//
//   zone_harness arrays|lists ASSETS ZONE shots OUTDIR
//       fixed poses, each shot once the cells around it and their textures have loaded:
//       OUTDIR/<backend>_z<zone>_<pose>.bmp
//   zone_harness arrays|lists ASSETS ZONE fly OUTDIR [EVERY [FRAMES]]
//       a flight around the zone's middle, a screenshot every EVERY frames (default 30, the first at
//       frame EVERY, when cells have arrived) of FRAMES
//       (default 240): OUTDIR/<backend>_z<zone>_fly_<frame>.bmp, and one line per frame:
//       "frame F cells C loaded L released R groups G" (C cells in the list, L and R
//       completed and released so far, G face groups drawn). Leaving the zone at the end
//       releases every cell and prints "left released R".
//
// Bad arguments print the usage, a zone without a map entry one line; both exit with 1.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/entry.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "base/event_bus.h"
#include "base/ini.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "platform/clock.h"
#include "platform/message_source.h"
#include "platform/window.h"
#include "platform/window_proc.h"
#include "render/draw.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_device.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/frame.h"
#include "scene/world_geometry.h"
#include "scene/zone_stream.h"
#include "settings/settings.h"
#include "support/harness_window.h"

namespace {

const int W = 320, H = 240;
const char USAGE[] =
    "usage: zone_harness arrays|lists ASSETS ZONE shots OUTDIR\n"
    "       zone_harness arrays|lists ASSETS ZONE fly OUTDIR [EVERY [FRAMES]]\n";
// Frames a shot may wait for its cells and textures.
const int SETTLE_FRAMES_MAX = 3000;

Window g_window;
uint32_t g_camera;

struct Pose {
  const char* name;
  Vec3 eye, target;
  int smooth_terrain;
};

// Zone 3: the meadow from above, the hill, the building's door from the path, the path's
// grass-to-dirt seam with and without the blended transition. Zone 2: the platform the
// character preview stands on, as the login screen sees it.
const Pose ZONE3_POSES[] = {
    {"above", {128, 95, 250}, {128, 0, 110}, 1},   {"hill", {120, 24, 250}, {185, 14, 185}, 1},
    {"door", {112, 2.2f, 92}, {112, 2.0f, 66}, 1}, {"seam_off", {40, 7, 150}, {60, 0, 128}, 0},
    {"seam_on", {40, 7, 150}, {60, 0, 128}, 1},
};
const Pose ZONE2_POSES[] = {
    {"preview", {55, 14.5f, -60}, {55, 11.025f, -75}, 1},
};

void pump(void) { window_pump_messages(&g_window, nullptr); }

// The view turns the camera's -z onto the direction from eye to target: the heading about y,
// then the pitch about x, found by search over camera records (the same builder the frame
// uses, so no convention is restated here).
void aim(Vec3 eye, Vec3 target, float* angle_x, float* angle_y) {
  float dx = target.x - eye.x, dy = target.y - eye.y, dz = target.z - eye.z;
  float length = sqrtf(dx * dx + dy * dy + dz * dz);
  if (!(length > 0)) length = 1;
  dx /= length, dy /= length, dz /= length;
  auto score = [&](float ax, float ay) {
    Camera c;
    camera_build(&c, 0, 0, 0, ax, ay, 0, 60, 1, 10, W, H);
    return -(c.axis_z.x * dx + c.axis_z.y * dy + c.axis_z.z * dz);  // forward is -axis_z
  };
  float best_x = 0, best_y = 0, best = -2;
  for (float step : {4.0f, 0.5f, 0.05f}) {
    float cx = best_x, cy = best_y;
    float span = step == 4.0f ? 180 : step * 10;
    for (float ay = cy - span; ay <= cy + span; ay += step) {
      for (float ax = (step == 4.0f ? -90 : cx - step * 10); ax <= (step == 4.0f ? 90 : cx + step * 10);
           ax += step) {
        float s = score(ax, ay);
        if (s > best) best = s, best_x = ax, best_y = ay;
      }
    }
  }
  *angle_x = best_x;
  *angle_y = best_y;
}

CameraState* camera_state(void) {
  return (CameraState*)entity_component(game_world(), COMPONENT_CAMERA_STATE, g_camera);
}

// One frame as the client runs it: the camera, the environment, the cells, the draw.
void frame(Vec3 eye, float angle_x, float angle_y) {
  pump();
  frame_clock_tick();
  CameraState* c = camera_state();
  camera_build(&c->camera, eye.x, eye.y, eye.z, angle_x, angle_y, 0, c->fov_degrees, c->near_plane,
               c->far_distance, W, H);
  env_update();
  zone_stream_update();
  event_dispatch();
  frame_render(&g_window);
}

int g_shot_reports, g_shot_written;
void screenshot_done(const char*, int written) {
  g_shot_reports++;
  g_shot_written = written;
}

int shoot(const std::string& path, Vec3 eye, float angle_x, float angle_y) {
  g_shot_reports = g_shot_written = 0;
  int requested = render_screenshot(path.c_str());
  frame(eye, angle_x, angle_y);
  int ok = requested && g_shot_reports == 1 && g_shot_written == 1;
  if (!ok) printf("FAIL screenshot %s\n", path.c_str());
  return ok;
}

// Every requested cell has finished (loaded or failed) and every texture the loaded cells
// name is in the cache.
bool settled(void) {
  if (zone_stream_radius() < 0) return false;
  uint32_t used = 0;
  for (uint32_t i = 0; i < ZONE_CELL_SLOTS; i++) {
    int32_t state = zone_cell_slot(i)->state;
    if (state == ZONE_CELL_REQUESTED) return false;
    used += state != ZONE_CELL_FREE;
  }
  if (used == 0) return false;
  for (uint32_t i = 0; i < zone_loaded_cell_count(); i++) {
    const MapObject* map = zone_cell_map(i);
    for (uint32_t m = 0; map && m < map->material_count; m++) {
      AssetHandle h;
      if (!asset_find(&h, ASSET_TEXTURE, map->material_textures[m])) return false;
    }
  }
  return true;
}

bool run_shots(const char* folder, const char* backend, uint32_t zone) {
  const Pose* poses = nullptr;
  size_t count = 0;
  Pose fallback;
  if (zone == 3) {
    poses = ZONE3_POSES;
    count = sizeof ZONE3_POSES / sizeof ZONE3_POSES[0];
  } else if (zone == 2) {
    poses = ZONE2_POSES;
    count = sizeof ZONE2_POSES / sizeof ZONE2_POSES[0];
  } else {
    fallback = Pose{"above", {64, 200, 65}, {64, 0, 64}, 1};
    poses = &fallback;
    count = 1;
  }
  bool ok = true;
  for (size_t i = 0; i < count; i++) {
    const Pose& p = poses[i];
    ini_set_int(settings_document(), "Rendering", "SMOOTH_TERRAIN", p.smooth_terrain);
    float ax, ay;
    aim(p.eye, p.target, &ax, &ay);
    int frames = 0;
    while (!(settled() && frames > 0) && frames < SETTLE_FRAMES_MAX) {
      frame(p.eye, ax, ay);
      frames++;
    }
    if (frames >= SETTLE_FRAMES_MAX) {
      printf("FAIL %s: cells or textures never settled\n", p.name);
      ok = false;
      continue;
    }
    // Uploads follow the loaded events; a few frames let every texture reach the device.
    for (int k = 0; k < 3; k++) frame(p.eye, ax, ay);
    std::string path =
        std::string(folder) + "/" + backend + "_z" + std::to_string(zone) + "_" + p.name + ".bmp";
    ok = shoot(path, p.eye, ax, ay) && ok;
    printf("shot %s after %d frames: cells %u groups %u\n", p.name, frames, zone_loaded_cell_count(),
           world_geometry_groups_drawn());
  }
  return ok;
}

// Three quarters of a circle around the zone's middle at a fixed height, looking at the
// middle, so every side of the zone passes through the view.
bool run_fly(const char* folder, const char* backend, uint32_t zone, const MapObject* map, int every,
             int frames) {
  float size = (float)map->cell_size;
  float width = size * map->grid_columns, depth = size * map->grid_rows;
  Vec3 middle = {map->grid_origin_x + width / 2, 0, map->grid_origin_z + depth / 2};
  float radius = 0.45f * (width < depth ? width : depth);
  bool ok = true;
  for (int f = 0; f < frames; f++) {
    float t = frames > 1 ? (float)f / (float)(frames - 1) : 0;
    float angle = 4.712389f * t;
    Vec3 eye = {middle.x + radius * cosf(angle), 40, middle.z + radius * sinf(angle)};
    Vec3 target = middle;
    float ax, ay;
    aim(eye, target, &ax, &ay);
    if (every > 0 && f > 0 && f % every == 0) {
      char name[64];
      snprintf(name, sizeof name, "_z%u_fly_%04d.bmp", zone, f);
      ok = shoot(std::string(folder) + "/" + backend + name, eye, ax, ay) && ok;
    } else {
      frame(eye, ax, ay);
    }
    printf("frame %d cells %u loaded %u released %u groups %u\n", f, zone_loaded_cell_count(),
           zone_stream_loaded_total(), zone_stream_released_total(), world_geometry_groups_drawn());
  }
  zone_stream_reset();
  printf("left released %u\n", zone_stream_released_total());
  return ok;
}

bool parse_int(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  long zone = 0, every = 30, frames = 240;
  bool arrays = argc > 1 && strcmp(argv[1], "arrays") == 0;
  bool lists = argc > 1 && strcmp(argv[1], "lists") == 0;
  bool shots = argc > 4 && strcmp(argv[4], "shots") == 0;
  bool fly = argc > 4 && strcmp(argv[4], "fly") == 0;
  bool args_ok = (arrays || lists) && ((shots && argc == 6) || (fly && argc >= 6 && argc <= 8)) &&
                 parse_int(argv[3], 1, 65535, &zone) && (argc < 7 || parse_int(argv[6], 0, 100000, &every)) &&
                 (argc < 8 || parse_int(argv[7], 1, 100000, &frames));
  if (!args_ok) {
    fputs(USAGE, stderr);
    return 1;
  }
  const char* backend = argv[1];
  const char* assets = argv[2];
  const char* folder = argv[5];

  std::string settings_path = std::string(folder) + "/zone_harness.ini";
  settings_load(settings_path.c_str());
  install_renderer_seams();
  event_bus_start();
  if (!harness_window_open(&g_window, W, H, "Zone Harness", arrays)) return 1;
  assets_startup(assets);
  render_init_device();
  render_set_screenshot_listener(screenshot_done);
  render_resize(W, H);
  draw_startup();
  frame_startup();
  zone_cells_setup();

  int exit_code = 0;
  AssetHandle handle;
  asset_request_wait(&handle, ASSET_MAP, (uint32_t)zone);
  const MapObject* map = (const MapObject*)handle.object;
  if (!map) {
    fprintf(stderr, "zone %ld: no map entry in %s\n", zone, assets);
    exit_code = 1;
  } else {
    EntityWorld* world = catalogue_world_create((uint32_t)zone, nullptr);
    game_world_replace(world);
    g_camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
    uint32_t environment = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
    env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, environment),
                    map->env_colour, map->env_value1, map->far_distance, map->env_value2, map->env_value3,
                    map->env_word, map->cell_size);
    if (!zone_stream_set_grid((uint32_t)zone, map)) printf("zone %ld has no grid: nothing streams\n", zone);
    bool ok = fly ? run_fly(folder, backend, (uint32_t)zone, map, (int)every, (int)frames)
                  : run_shots(folder, backend, (uint32_t)zone);
    exit_code = ok ? 0 : 1;
    zone_stream_reset();
    game_world_replace(nullptr);
  }
  zone_cells_setup();
  frame_shutdown();
  draw_shutdown();
  render_shutdown_device();
  assets_shutdown();
  render_uninstall(&g_window);
  window_destroy(&g_window);
  event_bus_stop();
  settings_close();
  remove(settings_path.c_str());
  printf("%s\n", exit_code ? "FAILED" : "OK");
  return exit_code;
}
