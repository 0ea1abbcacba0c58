#include "zone_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t OPAQUE_WHITE = 0x80FFFFFF;  // material colour: alpha 128 is opaque
constexpr uint32_t OVERLAY_FLAGS = 0x09;       // not collidable, ignored by shade sampling
constexpr float BOX_TILE = 2.0f;               // box faces are cut into squares this size
constexpr float SPAWN_HEIGHT_MAX = 0.5f;

struct Vec {
  double x, y, z;
};

double smooth_height(const ZoneDescription& zone, double x, double z) {
  double h = zone.ground_height;
  for (const ZoneHill& hill : zone.hills) {
    double d = std::hypot(x - hill.x, z - hill.z);
    if (d < hill.radius) h += hill.height * 0.5 * (1.0 + std::cos(M_PI * d / hill.radius));
  }
  return h;
}

// Later paints win; the ground material where none applies.
uint32_t material_at(const ZoneDescription& zone, double x, double z) {
  uint32_t material = zone.ground_material;
  for (const ZonePaint& p : zone.paints) {
    bool inside = p.circle ? std::hypot(x - p.a, z - p.b) <= p.c
                           : x >= std::min(p.a, p.c) && x <= std::max(p.a, p.c) && z >= std::min(p.b, p.d) &&
                                 z <= std::max(p.b, p.d);
    if (inside) material = p.material;
  }
  return material;
}

struct Lighting {
  const ZoneDescription* zone;
  double top;  // nothing stands higher: a sun ray above it is free

  bool inside_box(const Vec& q) const {
    for (const ZoneBox& b : zone->boxes)
      if (q.x > b.min[0] && q.x < b.max[0] && q.y > b.min[1] && q.y < b.max[1] && q.z > b.min[2] &&
          q.z < b.max[2])
        return true;
    return false;
  }

  bool shadowed(Vec p) const {
    const float* s = zone->sun;
    for (double t = 0.25; t < 600; t += 0.5) {
      Vec q = {p.x + s[0] * t, p.y + s[1] * t, p.z + s[2] * t};
      if (q.y > top) return false;
      if ((zone->has_ground && q.y < smooth_height(*zone, q.x, q.z)) || inside_box(q)) return true;
    }
    return false;
  }

  uint32_t shade(const Vec& p, const Vec& n) const {
    const float* s = zone->sun;
    double lit = std::max(0.0, n.x * s[0] + n.y * s[1] + n.z * s[2]);
    if (lit > 0 && shadowed({p.x + n.x * 0.05, p.y + n.y * 0.05, p.z + n.z * 0.05})) lit = 0;
    double value = zone->ambient + (1.0 - zone->ambient) * lit;
    return (uint32_t)std::lround(std::clamp(value, 0.0, 1.0) * 255.0);
  }

  uint32_t light(const Vec& p, const Vec& n) const {
    double sum[3] = {0, 0, 0};
    for (const ZoneLamp& lamp : zone->lamps) {
      Vec l = {lamp.position[0] - p.x, lamp.position[1] - p.y, lamp.position[2] - p.z};
      double d = std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z);
      if (d >= lamp.radius) continue;
      double fall = (1.0 - d / lamp.radius) * (1.0 - d / lamp.radius);
      double facing = d > 1e-3 ? std::max(0.25, (n.x * l.x + n.y * l.y + n.z * l.z) / d) : 1.0;
      for (int c = 0; c < 3; c++) sum[c] += ((lamp.colour >> (16 - 8 * c)) & 0xFF) * fall * facing;
    }
    uint32_t word = 0;
    for (int c = 0; c < 3; c++) word |= (uint32_t)std::lround(std::min(sum[c], 255.0)) << (16 - 8 * c);
    return word;
  }

  BspBuildCorner corner(const Vec& p, const Vec& n, float u, float v, uint32_t colour) const {
    BspBuildCorner c;
    c.position[0] = (float)p.x, c.position[1] = (float)p.y, c.position[2] = (float)p.z;
    c.u = u, c.v = v;
    c.colour = colour;
    c.light = light(p, n);
    c.shade = shade(p, n);
    c.normal[0] = (float)n.x, c.normal[1] = (float)n.y, c.normal[2] = (float)n.z;
    return c;
  }
};

struct Cells {
  const ZoneDescription* zone;
  const std::vector<ZoneMaterial>* materials;
  std::vector<ZoneCellGeometry>* out;

  // The cell a triangle's centroid lies in, or null outside the grid.
  ZoneCellGeometry* cell_of(const BspBuildTriangle& t) {
    double cx = 0, cz = 0;
    for (const BspBuildCorner& c : t.corners) cx += c.position[0] / 3.0, cz += c.position[2] / 3.0;
    double column = std::floor((cx - zone->origin_x) / zone->cell_size);
    double row = std::floor((cz - zone->origin_z) / zone->cell_size);
    if (column < 0 || row < 0 || column >= zone->columns || row >= zone->rows) return nullptr;
    return &(*out)[(size_t)column * zone->rows + (size_t)row];
  }

  bool add(BspBuildTriangle t, uint32_t material) {
    ZoneCellGeometry* cell = cell_of(t);
    if (!cell) return false;
    auto found = std::find(cell->materials.begin(), cell->materials.end(), material);
    t.material = (uint32_t)(found - cell->materials.begin());
    if (found == cell->materials.end()) {
      cell->materials.push_back(material);
      cell->input.keys.push_back((*materials)[material].key);
    }
    cell->input.triangles.push_back(t);
    return true;
  }
};

struct GridCorner {
  Vec position, normal;
  BspBuildCorner corner;
};

void build_terrain(const ZoneDescription& zone, const Lighting& lighting, Cells* cells) {
  const uint32_t per_cell = zone.cell_size / zone.spacing;
  const uint32_t nx = zone.columns * per_cell + 1, nz = zone.rows * per_cell + 1;
  const double s = zone.spacing;
  std::vector<GridCorner> grid((size_t)nx * nz);
  for (uint32_t i = 0; i < nx; i++)
    for (uint32_t j = 0; j < nz; j++) {
      GridCorner& g = grid[(size_t)i * nz + j];
      double x = zone.origin_x + i * s, z = zone.origin_z + j * s;
      g.position = {x, (float)smooth_height(zone, x, z), z};
      Vec n = {smooth_height(zone, x - s, z) - smooth_height(zone, x + s, z), 2.0 * s,
               smooth_height(zone, x, z - s) - smooth_height(zone, x, z + s)};
      double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
      g.normal = {n.x / length, n.y / length, n.z / length};
      g.corner = lighting.corner(g.position, g.normal, (float)(x / 8.0), (float)(z / 8.0), OPAQUE_WHITE);
    }
  // Each square's material is the paint at its centre; a corner belongs to a material when
  // any square around it has that material, so overlays fade out across the squares next to it.
  std::vector<uint32_t> squares((size_t)(nx - 1) * (nz - 1));
  for (uint32_t i = 0; i + 1 < nx; i++)
    for (uint32_t j = 0; j + 1 < nz; j++)
      squares[(size_t)i * (nz - 1) + j] =
          material_at(zone, zone.origin_x + (i + 0.5) * s, zone.origin_z + (j + 0.5) * s);
  auto corner_has = [&](uint32_t i, uint32_t j, uint32_t material) {
    for (uint32_t si = i > 0 ? i - 1 : 0; si <= i && si + 1 < nx; si++)
      for (uint32_t sj = j > 0 ? j - 1 : 0; sj <= j && sj + 1 < nz; sj++)
        if (squares[(size_t)si * (nz - 1) + sj] == material) return true;
    return false;
  };
  for (uint32_t i = 0; i + 1 < nx; i++)
    for (uint32_t j = 0; j + 1 < nz; j++) {
      const uint32_t at[4][2] = {{i, j}, {i, j + 1}, {i + 1, j + 1}, {i + 1, j}};  // a, b, c, d
      const GridCorner* g[4];
      for (int k = 0; k < 4; k++) g[k] = &grid[(size_t)at[k][0] * nz + at[k][1]];
      uint32_t material = squares[(size_t)i * (nz - 1) + j];
      // Front faces run clockwise seen from their front (the renderer culls the others): seen
      // from above, a -> c -> b and a -> d -> c, so (b - a) x (c - a) points to +y.
      const int triangles[2][3] = {{0, 2, 1}, {0, 3, 2}};
      for (auto& tri : triangles) {
        BspBuildTriangle t = {};
        for (int k = 0; k < 3; k++) t.corners[k] = g[tri[k]]->corner;
        cells->add(t, material);
      }
      for (const ZoneTransition& tr : zone.transitions) {
        bool from[4], any = false;
        for (int k = 0; k < 4; k++) any |= from[k] = corner_has(at[k][0], at[k][1], tr.from);
        if (material != tr.onto || !any) continue;
        for (auto& tri : triangles) {
          BspBuildTriangle t = {};
          t.flags = OVERLAY_FLAGS;
          for (int k = 0; k < 3; k++) {
            t.corners[k] = g[tri[k]]->corner;
            t.corners[k].colour = from[tri[k]] ? OPAQUE_WHITE : 0x00FFFFFF;
          }
          cells->add(t, tr.overlay);
        }
      }
    }
}

// One face of a box: origin o and edges eu, ev with eu x ev pointing outwards.
bool build_face(const ZoneBox& box, Vec o, Vec eu, Vec ev, const Lighting& lighting, Cells* cells) {
  double lu = std::sqrt(eu.x * eu.x + eu.y * eu.y + eu.z * eu.z);
  double lv = std::sqrt(ev.x * ev.x + ev.y * ev.y + ev.z * ev.z);
  Vec n = {eu.y * ev.z - eu.z * ev.y, eu.z * ev.x - eu.x * ev.z, eu.x * ev.y - eu.y * ev.x};
  double ln = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  n = {n.x / ln, n.y / ln, n.z / ln};
  int nu = std::max(1, (int)std::ceil(lu / BOX_TILE)), nv = std::max(1, (int)std::ceil(lv / BOX_TILE));
  auto at = [&](int i, int j) {
    double fu = (double)i / nu, fv = (double)j / nv;
    Vec p = {o.x + eu.x * fu + ev.x * fv, o.y + eu.y * fu + ev.y * fv, o.z + eu.z * fu + ev.z * fv};
    return lighting.corner(p, n, (float)(fu * lu / 4.0), (float)(fv * lv / 4.0), OPAQUE_WHITE);
  };
  for (int i = 0; i < nu; i++)
    for (int j = 0; j < nv; j++) {
      BspBuildCorner p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1), p01 = at(i, j + 1);
      // Clockwise seen from outside, as the renderer's front faces are.
      const BspBuildCorner* triangles[2][3] = {{&p00, &p11, &p10}, {&p00, &p01, &p11}};
      for (auto& tri : triangles) {
        BspBuildTriangle t = {};
        t.flags = box.flags;
        for (int k = 0; k < 3; k++) t.corners[k] = *tri[k];
        if (!cells->add(t, box.material)) return false;
      }
    }
  return true;
}

bool build_box(const ZoneBox& b, const Lighting& lighting, Cells* cells) {
  double dx = b.max[0] - b.min[0], dy = b.max[1] - b.min[1], dz = b.max[2] - b.min[2];
  Vec lo = {b.min[0], b.min[1], b.min[2]};
  return build_face(b, {lo.x, b.max[1], lo.z}, {0, 0, dz}, {dx, 0, 0}, lighting, cells) &&  // top
         build_face(b, {b.max[0], lo.y, lo.z}, {0, dy, 0}, {0, 0, dz}, lighting, cells) &&  // +x
         build_face(b, lo, {0, 0, dz}, {0, dy, 0}, lighting, cells) &&                      // -x
         build_face(b, {lo.x, lo.y, b.max[2]}, {dx, 0, 0}, {0, dy, 0}, lighting, cells) &&  // +z
         build_face(b, lo, {0, dy, 0}, {dx, 0, 0}, lighting, cells);                        // -z
}

// A quad as two triangles a b c and a c d, wound as given (clockwise from the front), lit
// with the front's normal.
bool build_quad(const ZoneQuad& q, const Lighting& lighting, Cells* cells) {
  Vec p[4];
  for (int k = 0; k < 4; k++) p[k] = {q.corners[k][0], q.corners[k][1], q.corners[k][2]};
  const Vec e1 = {p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
  const Vec e2 = {p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
  Vec n = {e2.y * e1.z - e2.z * e1.y, e2.z * e1.x - e2.x * e1.z, e2.x * e1.y - e2.y * e1.x};
  const double ln = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(ln > 1e-9)) return false;
  n = {n.x / ln, n.y / ln, n.z / ln};
  const double l1 = std::sqrt(e1.x * e1.x + e1.y * e1.y + e1.z * e1.z);
  const Vec e3 = {p[3].x - p[0].x, p[3].y - p[0].y, p[3].z - p[0].z};
  const double l3 = std::sqrt(e3.x * e3.x + e3.y * e3.y + e3.z * e3.z);
  const float uv[4][2] = {{0, 0}, {(float)(l1 / 4), 0}, {(float)(l1 / 4), (float)(l3 / 4)}, {0, (float)(l3 / 4)}};
  BspBuildCorner c[4];
  for (int k = 0; k < 4; k++) c[k] = lighting.corner(p[k], n, uv[k][0], uv[k][1], OPAQUE_WHITE);
  const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
  for (auto& tri : triangles) {
    BspBuildTriangle t = {};
    t.flags = q.flags;
    for (int k = 0; k < 3; k++) t.corners[k] = c[tri[k]];
    if (!cells->add(t, q.material)) return false;
  }
  return true;
}

// The terrain as drawn: each grid square is the two triangles build_terrain makes.
double terrain_height(const ZoneDescription& zone, double x, double z) {
  const double s = zone.spacing;
  const double nx = (double)zone.columns * zone.cell_size / s, nz = (double)zone.rows * zone.cell_size / s;
  double i = std::clamp(std::floor((x - zone.origin_x) / s), 0.0, nx - 1);
  double j = std::clamp(std::floor((z - zone.origin_z) / s), 0.0, nz - 1);
  double x0 = zone.origin_x + i * s, z0 = zone.origin_z + j * s;
  double fx = (x - x0) / s, fz = (z - z0) / s;
  double ha = (float)smooth_height(zone, x0, z0), hb = (float)smooth_height(zone, x0, z0 + s);
  double hc = (float)smooth_height(zone, x0 + s, z0 + s), hd = (float)smooth_height(zone, x0 + s, z0);
  if (fz >= fx) return ha + fz * (hb - ha) + fx * (hc - hb);
  return ha + fx * (hd - ha) + fz * (hc - hd);
}

}  // namespace

bool zone_build_geometry(const ZoneDescription& zone, const std::vector<ZoneMaterial>& materials,
                         std::vector<ZoneCellGeometry>* cells, std::string* error) {
  cells->clear();
  if (zone.cell_size == 0) return true;
  for (uint32_t c = 0; c < zone.columns; c++)
    for (uint32_t r = 0; r < zone.rows; r++) cells->push_back({c, r, {}, {}});
  Lighting lighting = {&zone, zone.ground_height};
  for (const ZoneHill& h : zone.hills) lighting.top += std::max(0.0f, h.height);
  for (const ZoneBox& b : zone.boxes) lighting.top = std::max(lighting.top, (double)b.max[1]);
  Cells out = {&zone, &materials, cells};
  if (zone.has_ground) build_terrain(zone, lighting, &out);
  for (const ZoneBox& b : zone.boxes)
    if (!build_box(b, lighting, &out)) {
      *error = zone.path + ":" + std::to_string(b.line) + ": the box reaches outside the grid";
      return false;
    }
  for (const ZoneQuad& q : zone.quads)
    if (!build_quad(q, lighting, &out)) {
      *error = zone.path + ":" + std::to_string(q.line) + ": the quad has no area or reaches outside the grid";
      return false;
    }
  return true;
}

bool zone_check_spawn(const ZoneDescription& zone, std::string* error) {
  if (!zone.has_spawn) return true;
  auto fail = [&](const std::string& message) {
    *error = zone.path + ":" + std::to_string(zone.spawn_line) + ": " + message;
    return false;
  };
  double x = zone.spawn[0], y = zone.spawn[1], z = zone.spawn[2];
  double width = (double)zone.columns * zone.cell_size, depth = (double)zone.rows * zone.cell_size;
  if (zone.cell_size == 0 || x < zone.origin_x || z < zone.origin_z || x >= zone.origin_x + width ||
      z >= zone.origin_z + depth)
    return fail("the spawn lies outside the grid");
  const double slack = 0.01;
  double ground = -INFINITY;
  if (zone.has_ground) {
    ground = terrain_height(zone, x, z);
    if (ground > y + slack) return fail("the spawn lies under the ground");
  }
  for (const ZoneBox& b : zone.boxes)
    if (x >= b.min[0] && x <= b.max[0] && z >= b.min[2] && z <= b.max[2] && b.max[1] <= y + slack)
      ground = std::max(ground, (double)b.max[1]);
  if (ground == -INFINITY) return fail("nothing under the spawn to stand on");
  if (y - ground > SPAWN_HEIGHT_MAX) return fail("the spawn is more than 0.5 above the ground");
  return true;
}
