// bspbuild: turns one cell's triangles, given as text, into one BSP entry.
//
//   bspbuild OUT.bsp INPUT.txt
//
// INPUT has one statement per line; # starts a comment, blank lines are skipped:
//   material KEY
//       declares a material by its draw-order key (0..65535, each once); the entry lists
//       materials by ascending key, whatever the order here
//   triangle KEY FLAGS
//       starts a triangle of the material KEY; FLAGS is the surface word of its collision
//       triangle (bit 0: not collidable, bit 3: ignored by shade sampling)
//   corner X Y Z U V COLOUR LIGHT SHADE NX NY NZ
//       one of the exactly three corners that follow each triangle line: position, texture
//       coordinates, material colour 0xAARRGGBB (alpha 128 is opaque), baked light 0xRRGGBB,
//       shade 0..255, and a normal of any non-zero length (stored as the nearest entry of the
//       normal table)
// Numbers are decimal or 0x-hex; floats must be finite. Any fault is reported as
// FILE:LINE: message with exit code 1, and nothing is written. The entry is decoded with the
// client's decoder before it is written (beside OUT, then renamed over it).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bsp_builder.h"
#include "tool_files.h"
#include "tool_text.h"

namespace {

struct Parser {
  const char* path = nullptr;
  int line = 0;
  std::string message;
  bool fail(const std::string& text) {
    message = std::string(path) + ":" + std::to_string(line) + ": " + text;
    return false;
  }
};

bool parse_corner(Parser* p, const std::vector<std::string>& w, BspBuildCorner* c) {
  if (w.size() != 12) return p->fail("corner takes X Y Z U V COLOUR LIGHT SHADE NX NY NZ");
  float* floats[] = {&c->position[0], &c->position[1], &c->position[2], &c->u, &c->v};
  for (int i = 0; i < 5; i++)
    if (!tool_parse_float(w[1 + i], floats[i])) return p->fail("bad number '" + w[1 + i] + "'");
  if (!tool_parse_u32(w[6], &c->colour)) return p->fail("bad colour '" + w[6] + "'");
  if (!tool_parse_u32(w[7], &c->light) || c->light > 0xFFFFFF) return p->fail("light is 0xRRGGBB");
  if (!tool_parse_u32(w[8], &c->shade) || c->shade > 255) return p->fail("shade is 0..255");
  for (int i = 0; i < 3; i++)
    if (!tool_parse_float(w[9 + i], &c->normal[i])) return p->fail("bad number '" + w[9 + i] + "'");
  if (c->normal[0] == 0 && c->normal[1] == 0 && c->normal[2] == 0) return p->fail("zero normal");
  return true;
}

bool parse(Parser* p, const std::vector<std::string>& lines, BspBuildInput* input) {
  int corners_due = 0;
  int triangle_line = 0;
  for (size_t i = 0; i < lines.size(); i++) {
    p->line = (int)i + 1;
    std::vector<std::string> w = tool_words(lines[i]);
    if (w.empty()) continue;
    if (w[0] == "corner") {
      if (corners_due == 0) return p->fail("corner without a triangle");
      BspBuildTriangle& t = input->triangles.back();
      if (!parse_corner(p, w, &t.corners[3 - corners_due])) return false;
      corners_due--;
      continue;
    }
    if (corners_due > 0) {
      p->line = triangle_line;
      return p->fail("triangle needs three corners");
    }
    if (w[0] == "material") {
      uint32_t key;
      if (w.size() != 2 || !tool_parse_u32(w[1], &key) || key > 0xFFFF)
        return p->fail("material takes KEY (0..65535)");
      for (uint16_t k : input->keys)
        if (k == key) return p->fail("material " + w[1] + " declared twice");
      input->keys.push_back((uint16_t)key);
    } else if (w[0] == "triangle") {
      uint32_t key, flags;
      if (w.size() != 3 || !tool_parse_u32(w[1], &key) || !tool_parse_u32(w[2], &flags))
        return p->fail("triangle takes KEY FLAGS");
      BspBuildTriangle t = {};
      t.material = (uint32_t)input->keys.size();
      for (size_t m = 0; m < input->keys.size(); m++)
        if (input->keys[m] == key) t.material = (uint32_t)m;
      if (t.material == input->keys.size()) return p->fail("material " + w[1] + " is not declared");
      t.flags = flags;
      input->triangles.push_back(t);
      corners_due = 3;
      triangle_line = p->line;
    } else {
      return p->fail("unknown statement '" + w[0] + "'");
    }
  }
  if (corners_due > 0) {
    p->line = triangle_line;
    return p->fail("triangle needs three corners");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: bspbuild OUT.bsp INPUT.txt\n");
    return 2;
  }
  std::vector<uint8_t> text;
  if (!tool_read_file(argv[2], &text)) {
    fprintf(stderr, "%s: cannot read\n", argv[2]);
    return 1;
  }
  Parser parser;
  parser.path = argv[2];
  BspBuildInput input;
  if (!parse(&parser, tool_split_lines(text), &input)) {
    fprintf(stderr, "%s\n", parser.message.c_str());
    return 1;
  }
  BspBuildOutput output;
  std::string error;
  if (!bsp_build(input, &output, &error)) {
    fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  std::string temp = std::string(argv[1]) + ".tmp";
  if (!tool_write_file(temp.c_str(), output.bytes.data(), output.bytes.size()) ||
      rename(temp.c_str(), argv[1]) != 0) {
    remove(temp.c_str());
    fprintf(stderr, "bspbuild: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
