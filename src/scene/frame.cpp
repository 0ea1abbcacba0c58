#include "scene/frame.h"

#include "game/cursor.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/lighting.h"
#include "scene/model_draw.h"
#include "scene/render_layers.h"
#include "scene/scene_traversal.h"
#include "scene/sky.h"
#include "scene/world_geometry.h"
#include "settings/settings.h"

namespace {

FrameInterfaceFn g_interface;
int g_vsync_applied = -1;  // -1: nothing applied yet

CameraState* camera_state(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (CameraState*)pool_at(pool, 0) : nullptr;
}

void clear_item(EntityWorld*, const void*) {
  if (!env_record() || !env_clears_colour()) {
    render_clear(0, 0, 0, CLEAR_DEPTH);
    return;
  }
  float colour[3];
  env_fog(colour, nullptr, nullptr);
  render_clear(colour[0], colour[1], colour[2], CLEAR_COLOUR | CLEAR_DEPTH);
}

void interface_item(EntityWorld*, const void*) {
  if (g_interface) g_interface();
  cursor_software_draw();
}

void apply_vsync(void) {
  if (!render_vsync_supported()) return;
  int wanted = setting_display_vsync();
  if (wanted == g_vsync_applied) return;
  render_set_vsync(wanted);
  g_vsync_applied = wanted;
}

void world_replaced(EntityWorld*) { render_layers_forget_keys(); }

// The reduced frame of the screens without a zone.
void render_without_world(Window* window) {
  apply_vsync();
  submit_render_item(7, 0, nullptr, interface_item);
  render_begin_scene();
  render_clear(0, 0, 0, CLEAR_COLOUR | CLEAR_DEPTH);
  render_layers_walk(nullptr, 7, 7);
  render_end_scene();
  render_layers_empty();
  render_present(window);
}

}  // namespace

void frame_set_interface_draw(FrameInterfaceFn fn) { g_interface = fn; }

void frame_startup(void) {
  render_layers_startup();
  game_world_listen(world_replaced);
  model_bounds_set_mesh_source(model_mesh_bounds);
  g_vsync_applied = -1;
}

void frame_shutdown(void) {
  model_bounds_set_mesh_source(nullptr);
  game_world_unlisten(world_replaced);
  render_layers_shutdown();
}

void frame_render(Window* window) {
  EntityWorld* world = game_world();
  CameraState* camera = world ? camera_state(world) : nullptr;
  if (!camera) {
    render_without_world(window);
    return;
  }
  int8_t direction[3];
  uint8_t light[4];
  env_light_direction(direction);
  env_light_colour(light);
  lighting_tables_build(direction, light);

  float fog[3], fog_start, fog_end;
  env_fog(fog, &fog_start, &fog_end);
  draw_set_fog(fog_start, fog_end, fog[0], fog[1], fog[2]);

  draw_set_view(&camera->camera.view);
  draw_set_projection(&camera->camera.projection);
  apply_vsync();

  submit_render_item(0, 0, nullptr, clear_item);
  submit_render_item(3, 0, nullptr, sky_draw);
  submit_render_item(1, 0, nullptr, world_geometry_draw);
  submit_render_item(7, 0, nullptr, interface_item);
  scene_traverse(world, &camera->camera);

  render_begin_scene();
  render_layers_walk(world, 0, RENDER_LAYER_COUNT - 1);
  render_end_scene();
  render_layers_empty();
  render_present(window);
}
