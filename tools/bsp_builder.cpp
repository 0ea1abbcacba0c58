#include "bsp_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>

#include "assets/bsp.h"
#include "assets/normal_table.h"

namespace {

// Triangles a leaf may hold before it is split.
constexpr size_t LEAF_TRIANGLES = 128;
// Collision pieces within this distance of a plane go to both sides, so rounding never
// drops a triangle from a region it touches.
constexpr double PLANE_SLACK = 1e-3;

struct FileVertex {
  float x, y, z;
  uint32_t colour, light, normal;
  float u, v;
};
static_assert(sizeof(FileVertex) == BSP_VERTEX_FILE_SIZE);

typedef std::array<double, 3> Point;
typedef std::vector<Point> Polygon;

struct Piece {
  uint32_t triangle;
  Polygon polygon;  // the part of the triangle inside the node's region
};

struct Box {
  float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
  bool empty = true;
  void add(const float* p) {
    for (int a = 0; a < 3; a++) {
      min[a] = empty ? p[a] : std::min(min[a], p[a]);
      max[a] = empty ? p[a] : std::max(max[a], p[a]);
    }
    empty = false;
  }
  void add(const Box& b) {
    if (b.empty) return;
    add(b.min);
    add(b.max);
  }
};

struct Node {
  int32_t leaf_value = -1, back = -1, front = -1;
  float plane[4] = {0, 0, 0, 0};
  Box bounds;
  std::vector<uint32_t> render;   // leaf: triangles drawn here
  std::vector<uint32_t> collide;  // leaf: collision triangles listed here
  uint32_t first_group = 0, group_count = 0, first_triangle = 0, triangle_count = 0;
};

struct Group {
  uint16_t material, vertex_count;
  uint32_t triangle_count, first_vertex, first_index;
  Box bounds;
};

struct Builder {
  const BspBuildInput* input;
  std::vector<uint32_t> output_material;  // input index -> output index
  std::vector<std::array<FileVertex, 3>> corners;
  std::vector<std::array<float, 3>> centroids;
  std::vector<Node> nodes;
  std::vector<Group> groups;
  std::vector<FileVertex> vertices;
  std::vector<uint16_t> indices;
  std::vector<std::array<uint32_t, 3>> corner_vertex;  // triangle -> vertex indices in the cell
  uint32_t leaves = 0;
};

// The part of a polygon on the side keep * (p[axis] - t) >= -PLANE_SLACK.
Polygon clip(const Polygon& in, int axis, double t, double keep) {
  Polygon out;
  for (size_t i = 0; i < in.size(); i++) {
    const Point& a = in[i];
    const Point& b = in[(i + 1) % in.size()];
    double sa = keep * (a[axis] - t) + PLANE_SLACK, sb = keep * (b[axis] - t) + PLANE_SLACK;
    if (sa >= 0) out.push_back(a);
    if ((sa >= 0) != (sb >= 0)) {
      double f = sa / (sa - sb);
      out.push_back({a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1]), a[2] + f * (b[2] - a[2])});
    }
  }
  return out;
}

int32_t build_node(Builder* b, std::vector<uint32_t> render, std::vector<Piece> pieces, uint32_t depth) {
  int32_t index = (int32_t)b->nodes.size();
  b->nodes.emplace_back();
  int axis = -1;
  double t = 0;
  if (render.size() > LEAF_TRIANGLES && depth < BSP_BUILD_DEPTH_MAX) {
    float lo[3], hi[3];
    for (int a = 0; a < 3; a++) lo[a] = hi[a] = b->centroids[render[0]][a];
    for (uint32_t r : render)
      for (int a = 0; a < 3; a++) {
        lo[a] = std::min(lo[a], b->centroids[r][a]);
        hi[a] = std::max(hi[a], b->centroids[r][a]);
      }
    for (int a = 0; a < 3; a++)
      if (hi[a] > lo[a] && (axis < 0 || hi[a] - lo[a] > hi[axis] - lo[axis])) axis = a;
    if (axis >= 0) {
      std::vector<float> values;
      for (uint32_t r : render) values.push_back(b->centroids[r][axis]);
      std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
      t = values[values.size() / 2];
      if (t <= lo[axis]) t = lo[axis] + (hi[axis] - lo[axis]) / 2.0f;
      if (!(t > lo[axis] && t <= hi[axis])) axis = -1;
    }
  }
  if (axis < 0) {
    Node& leaf = b->nodes[index];
    leaf.leaf_value = (int32_t)b->leaves++;
    leaf.render = std::move(render);
    for (const Piece& p : pieces) leaf.collide.push_back(p.triangle);
    return index;
  }

  std::vector<uint32_t> render_back, render_front;
  for (uint32_t r : render) (b->centroids[r][axis] >= (float)t ? render_front : render_back).push_back(r);
  std::vector<Piece> pieces_back, pieces_front;
  for (const Piece& p : pieces) {
    Polygon front = clip(p.polygon, axis, t, 1.0), back = clip(p.polygon, axis, t, -1.0);
    if (!front.empty()) pieces_front.push_back({p.triangle, std::move(front)});
    if (!back.empty()) pieces_back.push_back({p.triangle, std::move(back)});
  }
  float plane[4] = {0, 0, 0, -(float)t};
  plane[axis] = 1;
  memcpy(b->nodes[index].plane, plane, sizeof plane);
  int32_t back = build_node(b, std::move(render_back), std::move(pieces_back), depth + 1);
  int32_t front = build_node(b, std::move(render_front), std::move(pieces_front), depth + 1);
  b->nodes[index].back = back;
  b->nodes[index].front = front;
  return index;
}

// Splits each leaf's triangles into groups of one material and at most BSP_GROUP_VERTICES
// distinct vertices, sharing equal corners inside a group.
void lay_out_groups(Builder* b) {
  for (Node& node : b->nodes) {
    if (node.back >= 0 || node.front >= 0) continue;
    std::stable_sort(node.render.begin(), node.render.end(), [&](uint32_t x, uint32_t y) {
      return b->output_material[b->input->triangles[x].material] <
             b->output_material[b->input->triangles[y].material];
    });
    node.first_group = (uint32_t)b->groups.size();
    std::map<std::array<uint8_t, 32>, uint16_t> local;
    Group* group = nullptr;
    for (uint32_t r : node.render) {
      uint16_t material = (uint16_t)b->output_material[b->input->triangles[r].material];
      std::array<std::array<uint8_t, 32>, 3> keys;
      size_t fresh = 0;
      for (int k = 0; k < 3; k++) {
        memcpy(keys[k].data(), &b->corners[r][k], 32);
        bool repeated =
            local.count(keys[k]) || (k > 0 && keys[k] == keys[0]) || (k > 1 && keys[k] == keys[1]);
        fresh += !repeated;
      }
      if (!group || group->material != material || group->vertex_count + fresh > BSP_GROUP_VERTICES) {
        local.clear();
        b->groups.push_back(
            {material, 0, 0, (uint32_t)b->vertices.size(), (uint32_t)b->indices.size(), Box()});
        group = &b->groups.back();
      }
      for (int k = 0; k < 3; k++) {
        auto found = local.find(keys[k]);
        uint16_t slot;
        if (found == local.end()) {
          slot = group->vertex_count++;
          local.emplace(keys[k], slot);
          b->vertices.push_back(b->corners[r][k]);
          group->bounds.add(&b->corners[r][k].x);
        } else {
          slot = found->second;
        }
        b->indices.push_back(slot);
        b->corner_vertex[r][k] = group->first_vertex + slot;
      }
      group->triangle_count++;
    }
    node.group_count = (uint32_t)b->groups.size() - node.first_group;
  }
}

struct Writer {
  std::vector<uint8_t>* out;
  void raw(const void* p, size_t n) { out->insert(out->end(), (const uint8_t*)p, (const uint8_t*)p + n); }
  void u16(uint16_t v) { raw(&v, 2); }
  void u32(uint32_t v) { raw(&v, 4); }
  void f32(float v) { raw(&v, 4); }
};

std::array<float, 3> face_normal(const std::array<FileVertex, 3>& c) {
  double e1[3] = {c[1].x - c[0].x, c[1].y - c[0].y, c[1].z - c[0].z};
  double e2[3] = {c[2].x - c[0].x, c[2].y - c[0].y, c[2].z - c[0].z};
  double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length <= 1e-12) return {0, 0, 0};
  return {(float)(n[0] / length), (float)(n[1] / length), (float)(n[2] / length)};
}

}  // namespace

bool bsp_build(const BspBuildInput& input, BspBuildOutput* output, std::string* error) {
  Builder b;
  b.input = &input;
  size_t materials = input.keys.size();
  if (materials > BSP_MATERIALS_MAX) return *error = "more than 65535 materials", false;
  output->order.resize(materials);
  std::iota(output->order.begin(), output->order.end(), 0u);
  std::stable_sort(output->order.begin(), output->order.end(),
                   [&](uint32_t x, uint32_t y) { return input.keys[x] < input.keys[y]; });
  b.output_material.resize(materials);
  for (size_t i = 0; i < materials; i++) {
    if (i > 0 && input.keys[output->order[i]] == input.keys[output->order[i - 1]])
      return *error = "material key " + std::to_string(input.keys[output->order[i]]) + " given twice", false;
    b.output_material[output->order[i]] = (uint32_t)i;
  }

  size_t count = input.triangles.size();
  if (count > BSP_TRIANGLES_MAX) return *error = "more than 1048576 triangles", false;
  b.corners.resize(count);
  b.centroids.resize(count);
  b.corner_vertex.resize(count);
  std::vector<Piece> pieces;
  std::vector<uint32_t> render;
  for (size_t i = 0; i < count; i++) {
    const BspBuildTriangle& t = input.triangles[i];
    if (t.material >= materials) return *error = "triangle " + std::to_string(i) + " has no material", false;
    Polygon polygon;
    for (int k = 0; k < 3; k++) {
      const BspBuildCorner& c = t.corners[k];
      bool finite = true;
      for (int a = 0; a < 3; a++) finite &= std::isfinite(c.position[a]) && std::isfinite(c.normal[a]);
      if (!finite) return *error = "triangle " + std::to_string(i) + " has a non-finite corner", false;
      if (c.normal[0] == 0 && c.normal[1] == 0 && c.normal[2] == 0)
        return *error = "triangle " + std::to_string(i) + " has a zero normal", false;
      if (c.shade > 255 || c.light > 0xFFFFFF)
        return *error = "triangle " + std::to_string(i) + " has a shade or light out of range", false;
      FileVertex& v = b.corners[i][k];
      v = {c.position[0],
           c.position[1],
           c.position[2],
           c.colour,
           c.shade << 24 | c.light,
           normal_table_nearest(c.normal[0], c.normal[1], c.normal[2]),
           c.u,
           c.v};
      polygon.push_back({c.position[0], c.position[1], c.position[2]});
    }
    for (int a = 0; a < 3; a++)
      b.centroids[i][a] =
          (t.corners[0].position[a] + t.corners[1].position[a] + t.corners[2].position[a]) / 3.0f;
    render.push_back((uint32_t)i);
    pieces.push_back({(uint32_t)i, std::move(polygon)});
  }

  build_node(&b, std::move(render), std::move(pieces), 1);
  lay_out_groups(&b);

  // Bounds bottom-up: children always come after their parent.
  std::vector<uint32_t> collision_order;
  for (size_t n = b.nodes.size(); n-- > 0;) {
    Node& node = b.nodes[n];
    for (uint32_t g = 0; g < node.group_count; g++) node.bounds.add(b.groups[node.first_group + g].bounds);
    for (uint32_t c : node.collide)
      for (int k = 0; k < 3; k++) node.bounds.add(&b.corners[c][k].x);
    for (int32_t child : {node.back, node.front})
      if (child >= 0) node.bounds.add(b.nodes[child].bounds);
  }
  for (Node& node : b.nodes) {
    node.first_triangle = (uint32_t)collision_order.size();
    node.triangle_count = (uint32_t)node.collide.size();
    collision_order.insert(collision_order.end(), node.collide.begin(), node.collide.end());
  }

  if (b.nodes.size() > BSP_NODES_MAX || b.groups.size() > BSP_GROUPS_MAX ||
      collision_order.size() > BSP_TRIANGLES_MAX || b.vertices.size() > BSP_VERTICES_MAX ||
      b.indices.size() > BSP_INDICES_MAX)
    return *error = "the cell holds more than one BSP entry can", false;

  std::vector<uint8_t>& bytes = output->bytes;
  bytes.clear();
  Writer w{&bytes};
  w.u32(BSP_MAGIC);
  w.u32(BSP_VERSION);
  for (size_t n : {materials, b.nodes.size(), b.groups.size(), collision_order.size(), b.vertices.size(),
                   b.indices.size()})
    w.u32((uint32_t)n);
  for (uint32_t i : output->order) w.u16(input.keys[i]);
  for (const Node& node : b.nodes) {
    w.u32((uint32_t)node.leaf_value);
    w.u32((uint32_t)node.back);
    w.u32((uint32_t)node.front);
    for (float f : node.plane) w.f32(f);
    w.raw(node.bounds.min, 12);
    w.raw(node.bounds.max, 12);
    for (uint32_t v : {node.group_count, node.first_group, node.triangle_count, node.first_triangle})
      w.u32(v);
  }
  for (const Group& g : b.groups) {
    w.u16(g.material);
    w.u16(g.vertex_count);
    for (uint32_t v : {g.triangle_count, g.first_vertex, g.first_index}) w.u32(v);
    w.raw(g.bounds.min, 12);
    w.raw(g.bounds.max, 12);
  }
  for (uint32_t c : collision_order) {
    const BspBuildTriangle& t = input.triangles[c];
    w.u16((uint16_t)b.output_material[t.material]);
    w.u32(t.flags);
    w.u32(t.corners[0].shade | t.corners[1].shade << 8 | t.corners[2].shade << 16);
    for (int k = 0; k < 3; k++) w.u32(b.corner_vertex[c][k]);
    std::array<float, 3> normal = face_normal(b.corners[c]);
    for (float f : normal) w.f32(f);
    for (float f : b.centroids[c]) w.f32(f);
  }
  w.raw(b.vertices.data(), b.vertices.size() * sizeof(FileVertex));
  w.raw(b.indices.data(), b.indices.size() * 2);

  BspObject* check = bsp_decode(bytes.data(), (uint32_t)bytes.size());
  if (!check) return *error = "the built entry does not decode", false;
  bsp_destroy(check);
  return true;
}
