#include "mesh_builder.h"

#include <cmath>
#include <cstring>

#include "assets/mesh.h"

namespace {

void put(std::vector<uint8_t>* out, const void* data, size_t n) {
  out->insert(out->end(), (const uint8_t*)data, (const uint8_t*)data + n);
}
void put_u32(std::vector<uint8_t>* out, uint32_t v) { put(out, &v, 4); }
void put_f32(std::vector<uint8_t>* out, float v) { put(out, &v, 4); }

int8_t to_byte(double v) {
  double r = std::round(v * 127.0);
  return (int8_t)(r > 127 ? 127 : r < -127 ? -127 : r);
}

// Accumulates face normals (area-weighted) into the vertices that have none.
void fill_normals(std::vector<BuildVertex>* vertices, const std::vector<uint32_t>& indices) {
  std::vector<double> sums(3 * vertices->size(), 0.0);
  for (size_t t = 0; t + 2 < indices.size(); t += 3) {
    const float* p[3];
    for (int k = 0; k < 3; k++) p[k] = (*vertices)[indices[t + k]].position;
    double a[3], b[3];
    for (int i = 0; i < 3; i++) a[i] = p[1][i] - p[0][i], b[i] = p[2][i] - p[0][i];
    // Clockwise seen from the front: the right-handed cross product points backwards.
    double n[3] = {-(a[1] * b[2] - a[2] * b[1]), -(a[2] * b[0] - a[0] * b[2]), -(a[0] * b[1] - a[1] * b[0])};
    for (int k = 0; k < 3; k++)
      for (int i = 0; i < 3; i++) sums[3 * indices[t + k] + i] += n[i];
  }
  for (size_t v = 0; v < vertices->size(); v++) {
    BuildVertex& bv = (*vertices)[v];
    if (bv.has_normal) continue;
    double* s = &sums[3 * v];
    double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (int i = 0; i < 3; i++) bv.normal[i] = length > 0 ? to_byte(s[i] / length) : 0;
  }
}

}  // namespace

void mesh_build_quad(MeshBuild* build, const float corners[4][3], uint16_t bone, uint32_t colour,
                     bool two_sided) {
  static const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int side = 0; side < (two_sided ? 2 : 1); side++) {
    uint32_t base = (uint32_t)build->vertices.size();
    for (int k = 0; k < 4; k++) {
      BuildVertex v;
      memcpy(v.position, corners[k], sizeof v.position);
      v.uv[0] = uv[k][0], v.uv[1] = uv[k][1];
      v.colour = colour;
      v.bone = bone;
      build->vertices.push_back(v);
    }
    static const uint32_t front[6] = {0, 1, 2, 0, 2, 3}, back[6] = {0, 2, 1, 0, 3, 2};
    for (uint32_t i : side ? back : front) build->indices.push_back(base + i);
  }
}

void mesh_build_box(MeshBuild* build, const float min[3], const float max[3], uint16_t bone, uint32_t colour,
                    bool open_bottom) {
  // Face f lies on axis f / 2, at the maximum for even f; its corners run clockwise seen from
  // outside.
  for (int f = 0; f < 6; f++) {
    int axis = f / 2, t = (axis + 1) % 3, b = (axis + 2) % 3;
    bool high = (f & 1) == 0;
    if (open_bottom && axis == 1 && !high) continue;
    static const int around[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    float corners[4][3];
    for (int k = 0; k < 4; k++) {
      int kt = high ? around[k][0] : around[k][1], kb = high ? around[k][1] : around[k][0];
      corners[k][axis] = high ? max[axis] : min[axis];
      corners[k][t] = kt ? max[t] : min[t];
      corners[k][b] = kb ? max[b] : min[b];
    }
    mesh_build_quad(build, corners, bone, colour, false);
  }
}

bool mesh_build_write(const MeshBuild& build, std::vector<uint8_t>* out, std::string* error) {
  uint64_t count = build.vertices.size();
  if (count < 1 || count > MESH_VERTICES_MAX) {
    *error = "vertex count " + std::to_string(count) + " outside 1.." + std::to_string(MESH_VERTICES_MAX);
    return false;
  }
  if (build.indices.size() % 3 || build.indices.size() / 3 > MESH_TRIANGLES_MAX) {
    *error = "triangle count outside 0.." + std::to_string(MESH_TRIANGLES_MAX);
    return false;
  }
  for (size_t i = 0; i < build.indices.size(); i++) {
    if (build.indices[i] >= count) {
      *error = "triangle " + std::to_string(i / 3) + " names vertex " + std::to_string(build.indices[i]) +
               " of " + std::to_string(count);
      return false;
    }
  }
  std::vector<BuildVertex> vertices = build.vertices;
  fill_normals(&vertices, build.indices);
  float lo[3], hi[3];
  for (int i = 0; i < 3; i++) lo[i] = hi[i] = vertices[0].position[i];
  for (const BuildVertex& v : vertices)
    for (int i = 0; i < 3; i++)
      lo[i] = std::fmin(lo[i], v.position[i]), hi[i] = std::fmax(hi[i], v.position[i]);

  uint32_t flags = MESH_COLOUR | MESH_NORMAL | (build.uv ? (uint32_t)MESH_UV : 0u) |
                   (build.skin ? (uint32_t)MESH_SKIN : 0u);
  out->clear();
  put_u32(out, flags);
  put_u32(out, (uint32_t)count);
  put_u32(out, (uint32_t)(build.indices.size() / 3));
  for (float f : lo) put_f32(out, f);
  for (float f : hi) put_f32(out, f);
  for (const BuildVertex& v : vertices) {
    if (build.uv) put_f32(out, v.uv[0]), put_f32(out, v.uv[1]);
    put_u32(out, v.colour);
    put(out, v.normal, 3);
    if (build.skin) {
      uint16_t bones[4] = {v.bone, 0, 0, 0};
      float weights[4] = {1, 0, 0, 0};
      put(out, bones, sizeof bones);
      put(out, weights, sizeof weights);
    }
    for (float f : v.position) put_f32(out, f);
  }
  for (uint32_t i : build.indices) put_u32(out, i);
  Mesh* check = mesh_decode(out->data(), (uint32_t)out->size());
  if (!check) {
    *error = "the client's decoder refuses the entry";
    return false;
  }
  mesh_destroy(check);
  return true;
}
