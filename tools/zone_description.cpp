#include "zone_description.h"

#include <cmath>
#include <cstring>

#include "assets/map.h"
#include "tool_files.h"
#include "tool_text.h"

namespace {

struct Line {
  const char* path;
  int number;
  const std::vector<std::string>* words;
  std::string* error;

  bool fail(const std::string& message) const {
    *error = std::string(path) + ":" + std::to_string(number) + ": " + message;
    return false;
  }
  bool count(size_t n, const char* usage) const {
    return words->size() == n + 1 ? true : fail(std::string("expected `") + usage + "`");
  }
  bool number_at(size_t i, float* out) const {
    return tool_parse_float((*words)[i], out) ? true : fail("bad number '" + (*words)[i] + "'");
  }
  bool unsigned_at(size_t i, uint32_t* out) const {
    return tool_parse_u32((*words)[i], out) ? true : fail("bad unsigned number '" + (*words)[i] + "'");
  }
  bool numbers(size_t first, float* out, size_t n) const {
    for (size_t i = 0; i < n; i++)
      if (!number_at(first + i, &out[i])) return false;
    return true;
  }
  bool material_at(size_t i, const std::vector<ZoneMaterial>& materials, uint32_t* out) const {
    for (size_t m = 0; m < materials.size(); m++)
      if (materials[m].name == (*words)[i]) {
        *out = (uint32_t)m;
        return true;
      }
    return fail("unknown material '" + (*words)[i] + "'");
  }
};

bool read_lines(const char* path, std::vector<std::string>* lines, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!tool_read_file(path, &bytes)) {
    *error = std::string(path) + ":0: cannot read the file";
    return false;
  }
  *lines = tool_split_lines(bytes);
  return true;
}

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}
void put_f32(std::vector<uint8_t>* out, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  put_u32(out, v);
}

// The prop line's fields in record order: 'u' 32-bit, 'b' one byte, 'f' float.
constexpr const char PROP_FIELDS[] = "uuubbfffffffffuuuuuuffffffffffbbufffff";

bool parse_prop(const Line& l, ZoneProp* prop) {
  const size_t fields = sizeof PROP_FIELDS - 1;
  if (l.words->size() != fields + 1) return l.fail("prop takes " + std::to_string(fields) + " fields");
  for (size_t i = 0; i < fields; i++) {
    char kind = PROP_FIELDS[i];
    if (kind == 'f') {
      float f;
      if (!l.number_at(i + 1, &f)) return false;
      put_f32(&prop->record, f);
      continue;
    }
    uint32_t v;
    if (!l.unsigned_at(i + 1, &v)) return false;
    if (kind == 'b' && v > 255) return l.fail("field " + std::to_string(i + 1) + " is one byte");
    if (kind == 'b')
      prop->record.push_back((uint8_t)v);
    else
      put_u32(&prop->record, v);
  }
  if (prop->record.size() != MAP_PROP_FILE_SIZE) return l.fail("internal: prop record size");
  memcpy(prop->position, &prop->record[14], 12);
  prop->line = l.number;
  return true;
}

bool parse_zone_line(const Line& l, const std::vector<ZoneMaterial>& materials, ZoneDescription* z) {
  const std::vector<std::string>& w = *l.words;
  const std::string& what = w[0];
  if (what == "zone") {
    if (w.size() < 3) return l.fail("expected `zone NUMBER NAME`");
    if (!l.unsigned_at(1, &z->number)) return false;
    if (z->number < 1 || z->number > 65535) return l.fail("zone numbers are 1..65535");
    z->name = w[2];
    for (size_t i = 3; i < w.size(); i++) z->name += " " + w[i];
    if (z->name.size() > 31) return l.fail("the name takes at most 31 bytes");
    return true;
  }
  if (what == "environment") {
    float v[7];
    if (!l.count(8, "environment R G B NEAR FAR FOG_START NOMINAL_FAR WORD") || !l.numbers(1, v, 7) ||
        !l.unsigned_at(8, &z->env_word))
      return false;
    memcpy(z->env_colour, v, 12);
    z->env_near = v[3], z->env_far = v[4], z->fog_start = v[5], z->nominal_far = v[6];
    return true;
  }
  if (what == "grid") {
    float origin[2];
    if (!l.count(5, "grid ORIGIN_X ORIGIN_Z COLUMNS ROWS CELL_SIZE") || !l.numbers(1, origin, 2) ||
        !l.unsigned_at(3, &z->columns) || !l.unsigned_at(4, &z->rows) || !l.unsigned_at(5, &z->cell_size))
      return false;
    z->origin_x = origin[0], z->origin_z = origin[1];
    if (z->cell_size > 0 && (z->columns < 1 || z->rows < 1 || z->columns > 256 || z->rows > 256))
      return l.fail("a grid has 1..256 columns and rows");
    return true;
  }
  if (what == "ground") {
    if (!l.count(3, "ground MATERIAL HEIGHT SPACING") || !l.material_at(1, materials, &z->ground_material) ||
        !l.number_at(2, &z->ground_height) || !l.unsigned_at(3, &z->spacing))
      return false;
    if (z->cell_size == 0) return l.fail("ground needs a grid first");
    if (z->spacing == 0 || z->cell_size % z->spacing != 0)
      return l.fail("the spacing must divide the cell size");
    z->has_ground = true;
    return true;
  }
  if (what == "hill") {
    ZoneHill h;
    if (!l.count(4, "hill X Z RADIUS HEIGHT") || !l.numbers(1, &h.x, 4)) return false;
    if (h.radius <= 0) return l.fail("a hill's radius must be positive");
    z->hills.push_back(h);
    return true;
  }
  if (what == "paint" || what == "paint_circle") {
    ZonePaint p = {};
    p.circle = what == "paint_circle";
    size_t n = p.circle ? 3 : 4;
    if (!l.count(n + 1, p.circle ? "paint_circle MATERIAL X Z RADIUS" : "paint MATERIAL X0 Z0 X1 Z1") ||
        !l.material_at(1, materials, &p.material) || !l.numbers(2, &p.a, n))
      return false;
    z->paints.push_back(p);
    return true;
  }
  if (what == "transition") {
    ZoneTransition t;
    if (!l.count(3, "transition OVERLAY FROM ONTO") || !l.material_at(1, materials, &t.overlay) ||
        !l.material_at(2, materials, &t.from) || !l.material_at(3, materials, &t.onto))
      return false;
    if (!(materials[t.overlay].key & 0x8000)) return l.fail("an overlay material needs key bit 0x8000");
    z->transitions.push_back(t);
    return true;
  }
  if (what == "box") {
    ZoneBox b;
    float v[6];
    if (!l.count(8, "box MATERIAL X0 Y0 Z0 X1 Y1 Z1 FLAGS") || !l.material_at(1, materials, &b.material) ||
        !l.numbers(2, v, 6) || !l.unsigned_at(8, &b.flags))
      return false;
    for (int a = 0; a < 3; a++) {
      b.min[a] = v[a] < v[a + 3] ? v[a] : v[a + 3];
      b.max[a] = v[a] < v[a + 3] ? v[a + 3] : v[a];
      if (!(b.max[a] > b.min[a])) return l.fail("a box needs some size on every axis");
    }
    b.line = l.number;
    z->boxes.push_back(b);
    return true;
  }
  if (what == "quad") {
    ZoneQuad q;
    if (!l.count(14, "quad MATERIAL X0 Y0 Z0 X1 Y1 Z1 X2 Y2 Z2 X3 Y3 Z3 FLAGS") ||
        !l.material_at(1, materials, &q.material) || !l.numbers(2, &q.corners[0][0], 12) ||
        !l.unsigned_at(14, &q.flags))
      return false;
    q.line = l.number;
    z->quads.push_back(q);
    return true;
  }
  if (what == "sun") {
    float v[4];
    if (!l.count(4, "sun DX DY DZ AMBIENT") || !l.numbers(1, v, 4)) return false;
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length < 1e-4f) return l.fail("the sun needs a direction");
    if (v[3] < 0 || v[3] > 1) return l.fail("ambient is 0..1");
    for (int a = 0; a < 3; a++) z->sun[a] = v[a] / length;
    z->ambient = v[3];
    return true;
  }
  if (what == "lamp") {
    ZoneLamp lamp;
    if (!l.count(5, "lamp X Y Z RADIUS COLOUR") || !l.numbers(1, lamp.position, 3) ||
        !l.number_at(4, &lamp.radius) || !l.unsigned_at(5, &lamp.colour))
      return false;
    if (lamp.radius <= 0 || lamp.colour > 0xFFFFFF)
      return l.fail("a lamp needs a radius and a colour 0xRRGGBB");
    z->lamps.push_back(lamp);
    return true;
  }
  if (what == "spawn") {
    if (!l.count(4, "spawn X Y Z HEADING") || !l.numbers(1, z->spawn, 4)) return false;
    z->has_spawn = true;
    z->spawn_line = l.number;
    return true;
  }
  if (what == "prop") {
    ZoneProp prop;
    if (!parse_prop(l, &prop)) return false;
    z->props.push_back(std::move(prop));
    return true;
  }
  return l.fail("unknown statement '" + what + "'");
}

}  // namespace

bool zone_read_materials(const char* path, std::vector<ZoneMaterial>* out, std::string* error) {
  std::vector<std::string> lines;
  if (!read_lines(path, &lines, error)) return false;
  for (size_t i = 0; i < lines.size(); i++) {
    std::vector<std::string> w = tool_words(lines[i]);
    if (w.empty()) continue;
    Line l{path, (int)i + 1, &w, error};
    if (w[0] != "material") return l.fail("unknown statement '" + w[0] + "'");
    ZoneMaterial m;
    uint32_t key;
    if (!l.count(6, "material NAME KEY TEXTURE PATTERN COLOUR_A COLOUR_B") || !l.unsigned_at(2, &key) ||
        !l.unsigned_at(3, &m.texture) || !l.unsigned_at(5, &m.colour_a) || !l.unsigned_at(6, &m.colour_b))
      return false;
    m.name = w[1];
    m.pattern = w[4];
    if (key > 0xFFFF) return l.fail("keys are 0..65535");
    m.key = (uint16_t)key;
    if (m.texture < 1000 || m.texture > 1999) return l.fail("zone textures take ids 1000..1999");
    if (m.pattern != "noise" && m.pattern != "bricks" && m.pattern != "planks" && m.pattern != "speckle")
      return l.fail("unknown pattern '" + m.pattern + "'");
    if (m.colour_a > 0xFFFFFF || m.colour_b > 0xFFFFFF) return l.fail("colours are 0xRRGGBB");
    for (const ZoneMaterial& other : *out) {
      if (other.name == m.name) return l.fail("material '" + m.name + "' given twice");
      if (other.key == m.key) return l.fail("key " + w[2] + " given twice");
      if (other.texture == m.texture) return l.fail("texture " + w[3] + " given twice");
    }
    out->push_back(m);
  }
  return true;
}

bool zone_read_description(const char* path, const std::vector<ZoneMaterial>& materials, ZoneDescription* out,
                           std::string* error) {
  std::vector<std::string> lines;
  if (!read_lines(path, &lines, error)) return false;
  out->path = path;
  for (size_t i = 0; i < lines.size(); i++) {
    std::vector<std::string> w = tool_words(lines[i]);
    if (w.empty()) continue;
    Line l{path, (int)i + 1, &w, error};
    if (out->number == 0 && w[0] != "zone") return l.fail("a description starts with `zone NUMBER NAME`");
    if (out->number != 0 && w[0] == "zone") return l.fail("one zone per description");
    if (!parse_zone_line(l, materials, out)) return false;
  }
  if (out->number == 0) {
    *error = std::string(path) + ":1: a description starts with `zone NUMBER NAME`";
    return false;
  }
  return true;
}
