// BSP decoding of arbitrary bytes, followed by the walk the renderer and the collision code
// make: from the root through a fixed-size stack, every leaf's face groups (each vertex an
// index refers to) and collision triangles (their corners and shade bytes), and the
// material buckets. Then the world drawing over the decoded cell: the frustum walk and the
// material passes from a camera (and one light) derived from the input, on a backend that
// draws nothing.
#include <cstddef>
#include <cstdint>

#include "assets/bsp.h"
#include "base/camera.h"
#include "render/draw.h"
#include "render/render.h"
#include "scene/lighting.h"
#include "scene/world_geometry.h"
#include "support/backend_testing.h"

namespace {

int install_null(Window*, RenderBackend* table) {
  null_backend_fill(table);
  return 1;
}
int pixel_format_ok(Window*) { return 1; }
RenderBackendInits g_inits = {pixel_format_ok, install_null, install_null, nullptr, nullptr, nullptr};

void start_renderer_once(void) {
  static bool started = false;
  if (started) return;
  started = true;
  render_set_backend_inits(&g_inits);
  render_install(nullptr, 0);
  draw_startup();
  const int8_t sun[3] = {0, 127, 0};
  const uint8_t colour[4] = {200, 200, 200, 255};
  lighting_tables_build(sun, colour);
}

// A point of the box (or near it) and angles, from a hash of the input.
void draw_from_camera(BspObject* bsp, const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
  auto next = [&h]() {
    h = h * 1103515245u + 12345u;
    return (float)(h >> 8) / 16777216.0f;
  };
  const Bounds& b = bsp->root->bounds;
  float x = b.min.x + (b.max.x - b.min.x) * (next() * 1.4f - 0.2f);
  float y = b.min.y + (b.max.y - b.min.y) * (next() * 1.4f - 0.2f);
  float z = b.min.z + (b.max.z - b.min.z) * (next() * 1.4f - 0.2f);
  Camera camera;
  camera_build(&camera, x, y, z, next() * 180 - 90, next() * 360 - 180, 0, 60, 0.1f, 1 + next() * 1000, 64,
               48);
  LightBlock block{};
  block.count = (int32_t)(h % 3);
  for (int32_t j = 0; j < block.count; j++) {
    LightSource& l = block.lights[j];
    float r = 1 + next() * 50;
    l.inv_radius = 1 / r;
    l.radius_sq = r * r;
    l.red = l.green = l.blue = 255;
    l.position = Vec3{x, y, z};
    l.bounds = bounds_make(Vec3{x - r, y - r, z - r}, Vec3{x + r, y + r, z + r});
  }
  start_renderer_once();
  WorldCell cell = {bsp, nullptr};
  world_geometry_draw_cells(&cell, 1, &camera, &block);
  // Every bucket stays within its material's share of the draw list.
  for (uint32_t m = 0; m < bsp->material_count; m++) {
    uint32_t room = bsp->bucket_starts[m + 1] - bsp->bucket_starts[m];
    if (bsp->counters[2 * m] + bsp->counters[2 * m + 1] > room) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > BSP_FILE_MAX) return 0;
  BspObject* bsp = bsp_decode(data, (uint32_t)size);
  if (!bsp) return 0;
  volatile float sum = 0;
  // Depth-first with both children pushed: a tree of depth D never holds more than D + 1.
  const BspNode* stack[BSP_DEPTH_MAX + 1];
  uint32_t top = 0, visited = 0;
  stack[top++] = bsp->root;
  while (top > 0) {
    const BspNode* node = stack[--top];
    if (++visited > bsp->node_count) __builtin_trap();
    if (node->back || node->front) {
      if (top + 2 > BSP_DEPTH_MAX + 1) __builtin_trap();
      if (node->back) stack[top++] = node->back;
      if (node->front) stack[top++] = node->front;
      continue;
    }
    for (uint32_t g = 0; g < node->group_count; g++) {
      const BspFaceGroup& group = node->groups[g];
      if (group.material >= bsp->material_count) __builtin_trap();
      for (uint32_t i = 0; i < 3 * group.triangle_count; i++) {
        const RenderVertex& v = group.vertices[group.indices[i]];
        sum = sum + v.x + v.u;
      }
    }
    for (uint32_t t = 0; t < node->triangle_count; t++) {
      const BspCollisionTriangle& tri = node->triangles[t];
      for (int k = 0; k < 3; k++) sum = sum + tri.corners[k][0] + tri.corners[k][2] + tri.shade[k];
    }
  }
  if (bsp->bucket_starts[bsp->material_count] != bsp->group_count) __builtin_trap();
  draw_from_camera(bsp, data, size);
  bsp_destroy(bsp);
  return 0;
}
