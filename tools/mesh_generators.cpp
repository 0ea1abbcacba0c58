#include "mesh_generators.h"

#include <cmath>
#include <map>

#include "tool_text.h"

namespace {

typedef std::map<std::string, float> Params;

void box(MeshBuild* m, float x0, float y0, float z0, float x1, float y1, float z1, uint16_t bone,
         uint32_t colour) {
  const float lo[3] = {x0, y0, z0}, hi[3] = {x1, y1, z1};
  mesh_build_box(m, lo, hi, bone, colour);
}

void humanoid(const Params& p, MeshBuild* m) {
  float h = p.at("height"), u = h / 1.8f;
  m->uv = m->skin = true;
  const uint32_t skin = 0x80806050, shirt = 0x80305070, trousers = 0x80403828;
  box(m, -0.22f * u, 0.9f * u, -0.12f * u, 0.22f * u, 1.45f * u, 0.12f * u, 0, shirt);
  box(m, -0.12f * u, 1.47f * u, -0.12f * u, 0.12f * u, 1.75f * u, 0.12f * u, 1, skin);
  box(m, -0.34f * u, 0.75f * u, -0.07f * u, -0.23f * u, 1.42f * u, 0.07f * u, 2, shirt);
  box(m, 0.23f * u, 0.75f * u, -0.07f * u, 0.34f * u, 1.42f * u, 0.07f * u, 3, shirt);
  box(m, -0.2f * u, 0.0f, -0.09f * u, -0.03f * u, 0.9f * u, 0.09f * u, 4, trousers);
  box(m, 0.03f * u, 0.0f, -0.09f * u, 0.2f * u, 0.9f * u, 0.09f * u, 5, trousers);
}

void quadruped(const Params& p, MeshBuild* m) {
  float l = p.at("length"), h = p.at("height");
  m->uv = m->skin = true;
  const uint32_t fur = 0x80604830, dark = 0x80302418;
  float leg = 0.55f * h, half = 0.5f * l;
  box(m, -0.2f * l, leg, -half, 0.2f * l, h * 0.95f, half * 0.8f, 0, fur);
  box(m, -0.13f * l, h * 0.75f, half * 0.8f, 0.13f * l, h * 1.1f, half * 1.15f, 1, fur);
  float lx[2] = {-0.17f * l, 0.1f * l}, lz[2] = {-half * 0.85f, half * 0.55f};
  uint16_t bone = 2;
  for (float z : lz)
    for (float x : lx) box(m, x, 0, z, x + 0.07f * l, leg, z + 0.08f * l, bone++, dark);
  box(m, -0.03f * l, h * 0.7f, -half * 1.3f, 0.03f * l, h * 0.9f, -half, 6, dark);
}

void tree(const Params& p, MeshBuild* m) {
  float h = p.at("height"), r = p.at("crown");
  m->uv = true;
  float trunk = 0.06f * h + 0.05f;
  box(m, -trunk, 0, -trunk, trunk, h * 0.6f, trunk, 0, 0x80705838);
  // Three vertical cards through the crown's axis, 60 degrees apart, both faces drawn.
  for (int k = 0; k < 3; k++) {
    float a = (float)k * 3.14159265f / 3.0f, cx = std::cos(a) * r, cz = std::sin(a) * r;
    float y0 = h * 0.35f, y1 = h;
    const float card[4][3] = {{-cx, y0, -cz}, {-cx, y1, -cz}, {cx, y1, cz}, {cx, y0, cz}};
    mesh_build_quad(m, card, 0, 0x80408040, true);
  }
}

// A latitude-longitude ball with one vertex per position, pushed in and out by a hash of
// its index so the surface stays closed.
void rock(const Params& p, MeshBuild* m) {
  float size = p.at("size");
  uint32_t seed = (uint32_t)p.at("seed");
  const int rings = 6, segments = 10;
  auto bump = [&](uint32_t i) {
    uint32_t x = (i + 1) * 2654435761u ^ seed * 40503u;
    x ^= x >> 13;
    x *= 0x5bd1e995u;
    x ^= x >> 15;
    return 0.8f + 0.4f * (float)(x & 0xFFFF) / 65535.0f;
  };
  auto add = [&](float y, float rx, float rz) {
    BuildVertex v;
    v.position[0] = rx, v.position[1] = y, v.position[2] = rz;
    v.colour = 0x80787470;
    m->vertices.push_back(v);
  };
  add(size * 0.9f, 0, 0);  // top
  for (int ring = 1; ring < rings; ring++) {
    float phi = 3.14159265f * ring / rings;
    for (int s = 0; s < segments; s++) {
      float theta = 2.0f * 3.14159265f * s / segments;
      float k = bump((uint32_t)m->vertices.size()) * size * 0.5f;
      add(size * 0.45f + std::cos(phi) * k * 0.9f, std::sin(phi) * std::cos(theta) * k * 1.2f,
          std::sin(phi) * std::sin(theta) * k);
    }
  }
  add(0, 0, 0);  // bottom
  uint32_t bottom = (uint32_t)m->vertices.size() - 1;
  m->vertices[0].position[1] = m->vertices[1].position[1] + size * 0.25f;
  auto at = [&](int ring, int s) { return (uint32_t)(1 + (ring - 1) * segments + (s % segments)); };
  // Seen from above, increasing theta turns from +x towards +z, which is clockwise in a
  // right-handed frame with y up: triangles follow theta on the top and bottom caps' outer
  // sides.
  for (int s = 0; s < segments; s++) {
    m->indices.insert(m->indices.end(), {0u, at(1, s), at(1, s + 1)});
    for (int ring = 1; ring < rings - 1; ring++)
      m->indices.insert(m->indices.end(), {at(ring, s), at(ring + 1, s + 1), at(ring, s + 1), at(ring, s),
                                           at(ring + 1, s), at(ring + 1, s + 1)});
    m->indices.insert(m->indices.end(), {bottom, at(rings - 1, s + 1), at(rings - 1, s)});
  }
}

void plain_box(const Params& p, MeshBuild* m) {
  float x = p.at("x") * 0.5f, y = p.at("y"), z = p.at("z") * 0.5f;
  m->uv = true;
  box(m, -x, 0, -z, x, y, z, 0, MESH_BUILD_DEFAULT_COLOUR);
}

struct Generator {
  const char* name;
  void (*build)(const Params&, MeshBuild*);
  Params defaults;
};

const Generator GENERATORS[] = {
    {"humanoid", humanoid, {{"height", 1.8f}}},
    {"quadruped", quadruped, {{"length", 1.6f}, {"height", 1.0f}}},
    {"tree", tree, {{"height", 5.0f}, {"crown", 2.0f}}},
    {"rock", rock, {{"size", 1.2f}, {"seed", 1.0f}}},
    {"box", plain_box, {{"x", 1.0f}, {"y", 1.0f}, {"z", 1.0f}}},
};

}  // namespace

bool mesh_generate(const std::string& name, const std::vector<std::string>& parameters, MeshBuild* out,
                   std::string* error) {
  for (const Generator& g : GENERATORS) {
    if (name != g.name) continue;
    Params params = g.defaults;
    for (const std::string& word : parameters) {
      size_t eq = word.find('=');
      std::string key = word.substr(0, eq);
      float value;
      if (eq == std::string::npos || !params.count(key) || !tool_parse_float(word.substr(eq + 1), &value) ||
          value <= 0) {
        *error =
            "parameter `" + word + "` of " + name + ": expected KEY=VALUE with a positive number, KEY one of";
        for (const auto& kv : g.defaults) *error += " " + kv.first;
        return false;
      }
      params[key] = value;
    }
    *out = MeshBuild();
    g.build(params, out);
    return true;
  }
  *error = "unknown generator `" + name + "` (humanoid, quadruped, tree, rock, box)";
  return false;
}
