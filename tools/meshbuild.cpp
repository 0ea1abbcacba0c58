// meshbuild: a mesh entry from a text description or from a generator.
//
//   meshbuild OUT.mesh INPUT.txt
//   meshbuild OUT.mesh GENERATOR [KEY=VALUE...]     (see mesh_generators.h)
//
// INPUT has one statement per line; # starts a comment, blank lines are skipped:
//   v X Y Z [uv U V] [colour 0xAARRGGBB] [normal NX NY NZ] [bone B]
//       a vertex; the options come in any order. A mesh has texture coordinates when any
//       vertex gives them and skinning when any gives a bone (the others take 0). Colour
//       defaults to 0x80808080; the normal (any non-zero length) defaults to the sum of the
//       normals of the triangles using the vertex.
//   t A B C
//       a triangle of vertices counted from 0 in file order, clockwise seen from its front
// Numbers are decimal or 0x-hex; floats must be finite. Any fault is reported as
// FILE:LINE: field: message with exit code 1, and nothing is written. The entry is decoded
// with the client's decoder before it is written.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh_builder.h"
#include "mesh_generators.h"
#include "tool_files.h"
#include "tool_text.h"

namespace {

struct Reader {
  std::string where;
  std::string message;
  bool fail(const std::string& field, const std::string& text) {
    message = where + ": " + field + ": " + text;
    return false;
  }
};

bool parse_vertex(Reader* r, const std::vector<std::string>& w, MeshBuild* build) {
  BuildVertex v;
  size_t i = 1;
  static const char* axes[3] = {"x", "y", "z"};
  for (int k = 0; k < 3; k++, i++)
    if (i >= w.size() || !tool_parse_float(w[i], &v.position[k]))
      return r->fail(axes[k], "expected a finite number");
  while (i < w.size()) {
    const std::string& key = w[i++];
    if (key == "uv") {
      for (int k = 0; k < 2; k++, i++)
        if (i >= w.size() || !tool_parse_float(w[i], &v.uv[k]))
          return r->fail("uv", "expected two finite numbers");
      build->uv = true;
    } else if (key == "colour") {
      if (i >= w.size() || !tool_parse_u32(w[i++], &v.colour))
        return r->fail("colour", "expected 0xAARRGGBB");
    } else if (key == "normal") {
      float n[3];
      for (int k = 0; k < 3; k++, i++)
        if (i >= w.size() || !tool_parse_float(w[i], &n[k]))
          return r->fail("normal", "expected three finite numbers");
      double length = std::sqrt((double)n[0] * n[0] + (double)n[1] * n[1] + (double)n[2] * n[2]);
      if (!(length > 0) || !std::isfinite(length)) return r->fail("normal", "must have a non-zero length");
      for (int k = 0; k < 3; k++) v.normal[k] = (int8_t)std::lround(n[k] / length * 127.0);
      v.has_normal = true;
    } else if (key == "bone") {
      uint32_t bone;
      if (i >= w.size() || !tool_parse_u32(w[i++], &bone) || bone > 0xFFFF)
        return r->fail("bone", "expected a bone index 0..65535");
      v.bone = (uint16_t)bone;
      build->skin = true;
    } else {
      return r->fail(key, "unknown vertex option (uv, colour, normal, bone)");
    }
  }
  build->vertices.push_back(v);
  return true;
}

bool parse_triangle(Reader* r, const std::vector<std::string>& w, MeshBuild* build) {
  if (w.size() != 4) return r->fail("t", "expected three vertex indices");
  static const char* names[3] = {"A", "B", "C"};
  for (int k = 0; k < 3; k++) {
    uint32_t index;
    if (!tool_parse_u32(w[1 + k], &index)) return r->fail(names[k], "expected a vertex index");
    if (index >= build->vertices.size())
      return r->fail(names[k], "vertex " + std::to_string(index) + " is not defined yet (" +
                                   std::to_string(build->vertices.size()) + " so far)");
    build->indices.push_back(index);
  }
  return true;
}

bool read_description(const char* path, MeshBuild* build, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!tool_read_file(path, &bytes)) {
    *error = std::string(path) + ": cannot read";
    return false;
  }
  std::vector<std::string> lines = tool_split_lines(bytes);
  Reader r;
  for (size_t n = 0; n < lines.size(); n++) {
    std::vector<std::string> w = tool_words(lines[n]);
    if (w.empty()) continue;
    r.where = std::string(path) + ":" + std::to_string(n + 1);
    bool ok = w[0] == "v"   ? parse_vertex(&r, w, build)
              : w[0] == "t" ? parse_triangle(&r, w, build)
                            : r.fail(w[0], "unknown statement (v, t)");
    if (!ok) {
      *error = r.message;
      return false;
    }
    if (build->vertices.size() > 65536) {
      *error = r.where + ": v: more than 65536 vertices";
      return false;
    }
  }
  return true;
}

bool ends_with(const std::string& s, const char* tail) {
  std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: meshbuild OUT.mesh INPUT.txt | meshbuild OUT.mesh GENERATOR [KEY=VALUE...]\n");
    return 2;
  }
  MeshBuild build;
  std::string error;
  std::string source = argv[2];
  bool ok = ends_with(source, ".txt")
                ? read_description(argv[2], &build, &error)
                : mesh_generate(source, std::vector<std::string>(argv + 3, argv + argc), &build, &error);
  std::vector<uint8_t> bytes;
  if (ok && !mesh_build_write(build, &bytes, &error)) error = source + ": " + error, ok = false;
  if (!ok) {
    fprintf(stderr, "meshbuild: %s\n", error.c_str());
    return 1;
  }
  if (!tool_write_file(argv[1], bytes.data(), bytes.size())) {
    fprintf(stderr, "meshbuild: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
