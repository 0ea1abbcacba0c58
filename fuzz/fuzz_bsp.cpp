// BSP decoding of arbitrary bytes, followed by the walk the renderer and the collision code
// make: from the root through a fixed-size stack, every leaf's face groups (each vertex an
// index refers to) and collision triangles (their corners and shade bytes), and the
// material buckets.
#include <cstddef>
#include <cstdint>

#include "assets/bsp.h"

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
  bsp_destroy(bsp);
  return 0;
}
