// The unit cube that stands in for meshes that failed to load.
#include "assets/mesh.h"

namespace {

struct Cube {
  alignas(16) RenderVertex vertices[24];
  uint16_t indices[36];
  Mesh mesh;
};

// Face f lies on axis f / 2 at +0.5 for even f, -0.5 for odd f. Its corners run
// counter-clockwise about the +axis direction, so the +side takes them reversed to be
// clockwise seen from outside.
void build(Cube* c) {
  for (uint32_t f = 0; f < 6; f++) {
    uint32_t axis = f / 2, t = (axis + 1) % 3, b = (axis + 2) % 3;
    float side = f & 1 ? -0.5f : 0.5f;
    static const float corner[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
    for (uint32_t k = 0; k < 4; k++) {
      RenderVertex* v = &c->vertices[4 * f + k];
      float p[3];
      p[axis] = side;
      p[t] = corner[k][0];
      p[b] = corner[k][1];
      *v = {};
      v->x = p[0];
      v->y = p[1];
      v->z = p[2];
      v->colour = 0xFFFF00FFu;
      int8_t n[4] = {0, 0, 0, 0};
      n[axis] = f & 1 ? -127 : 127;
      v->spare = (uint32_t)(uint8_t)n[0] | (uint32_t)(uint8_t)n[1] << 8 | (uint32_t)(uint8_t)n[2] << 16;
      v->u = corner[k][0] + 0.5f;
      v->v = corner[k][1] + 0.5f;
    }
    static const uint16_t positive[6] = {0, 2, 1, 0, 3, 2}, negative[6] = {0, 1, 2, 0, 2, 3};
    for (uint32_t k = 0; k < 6; k++)
      c->indices[6 * f + k] = (uint16_t)(4 * f + (f & 1 ? negative : positive)[k]);
  }
  Mesh* m = &c->mesh;
  *m = {};
  m->id = MESH_CUBE_ID;
  m->flags = MESH_UV | MESH_NORMAL;
  m->bounds = bounds_make({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
  m->vertices = c->vertices;
  m->vertex_count = 24;
  m->indices = c->indices;
  m->triangle_count = 12;
}

}  // namespace

const Mesh* mesh_unit_cube(void) {
  static Cube cube;
  static const bool built = (build(&cube), true);
  (void)built;
  return &cube.mesh;
}
