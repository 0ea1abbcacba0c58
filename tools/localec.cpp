// localec: compiles a locale source into locale.dat (an archive whose entry LANGUAGE holds
// the locale table).
//
//   localec OUT.dat SOURCE [LANGUAGE]     LANGUAGE defaults to 1
//
// SOURCE has one record per line, `KEY<TAB>KIND<TAB>VALUE`; blank lines and lines starting
// with # are skipped.
//   KEY    a name, hashed with the client's name hash, or a raw key written 0x + hex
//          (below 0x80000000)
//   KIND   text, asset or number
//   VALUE  text: UTF-8 with the escapes \t \n \\ ; asset, number: decimal or 0x-hex
// Two names with the same hash, a raw key equal to a name's hash, or a key given twice are
// reported with both lines and nothing is written. Identical texts share one string.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/locale.h"
#include "base/crc32.h"
#include "base/mem.h"
#include "tool_files.h"

namespace {

struct Source {
  uint32_t key;
  uint32_t kind;
  uint32_t value;
  std::string text;
  std::string key_text;
  int line;
};

bool parse_number(const std::string& text, uint32_t* out) {
  if (text.empty() || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = strtoull(text.c_str(), &end, 0);
  if (errno || *end || v > 0xFFFFFFFFull) return false;
  *out = (uint32_t)v;
  return true;
}

bool unescape(const std::string& in, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); i++) {
    if (in[i] != '\\') {
      *out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 't':
        *out += '\t';
        break;
      case 'n':
        *out += '\n';
        break;
      case '\\':
        *out += '\\';
        break;
      default:
        return false;
    }
  }
  return true;
}

void put32(std::vector<uint8_t>* b, uint32_t v) {
  for (int i = 0; i < 4; i++) b->push_back((uint8_t)(v >> (8 * i)));
}

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (;;) {
    size_t tab = line.find('\t', at);
    if (tab == std::string::npos || fields.size() == 2) {
      fields.push_back(line.substr(at));
      return fields;
    }
    fields.push_back(line.substr(at, tab - at));
    at = tab + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    fprintf(stderr, "usage: localec OUT.dat SOURCE [LANGUAGE]\n");
    return 2;
  }
  const char* out_path = argv[1];
  const char* source_path = argv[2];
  uint32_t language = 1;
  if (argc == 4 && (!parse_number(argv[3], &language) || language == 0)) {
    fprintf(stderr, "localec: bad language %s\n", argv[3]);
    return 2;
  }
  std::vector<uint8_t> file;
  if (!tool_read_file(source_path, &file)) {
    fprintf(stderr, "localec: cannot read %s\n", source_path);
    return 1;
  }

  std::vector<Source> records;
  std::map<uint32_t, size_t> by_key;  // key -> index into records
  int errors = 0;
  std::vector<std::string> lines = tool_split_lines(file);
  for (size_t index = 0; index < lines.size(); index++) {
    const std::string& line = lines[index];
    int line_number = (int)index + 1;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = split_tabs(line);
    if (f.size() != 3) {
      fprintf(stderr, "%s:%d: expected KEY<TAB>KIND<TAB>VALUE\n", source_path, line_number);
      errors++;
      continue;
    }
    Source s = {};
    s.line = line_number;
    s.key_text = f[0];
    if (f[0].rfind("0x", 0) == 0 || f[0].rfind("0X", 0) == 0) {
      if (!parse_number(f[0], &s.key) || s.key >= 0x80000000u) {
        fprintf(stderr, "%s:%d: bad raw key %s\n", source_path, line_number, f[0].c_str());
        errors++;
        continue;
      }
    } else {
      s.key = name_hash(f[0].c_str());
      if (s.key == 0) {
        fprintf(stderr, "%s:%d: a name hashing to key 0\n", source_path, line_number);
        errors++;
        continue;
      }
    }
    bool ok = true;
    if (f[1] == "text" || f[1] == "0") {
      s.kind = LOCALE_TEXT;
      ok = unescape(f[2], &s.text) && s.text.find('\0') == std::string::npos;
    } else if (f[1] == "asset" || f[1] == "1") {
      s.kind = LOCALE_ASSET;
      ok = parse_number(f[2], &s.value);
    } else if (f[1] == "number" || f[1] == "2") {
      s.kind = LOCALE_NUMBER;
      ok = parse_number(f[2], &s.value);
    } else {
      ok = false;
    }
    if (!ok) {
      fprintf(stderr, "%s:%d: bad kind or value\n", source_path, line_number);
      errors++;
      continue;
    }
    auto found = by_key.find(s.key);
    if (found != by_key.end()) {
      const Source& other = records[found->second];
      if (other.key_text == s.key_text)
        fprintf(stderr, "%s:%d: key %s given again (first on line %d)\n", source_path, line_number,
                s.key_text.c_str(), other.line);
      else
        fprintf(stderr, "%s:%d: hash collision: %s and %s (line %d) both give key 0x%08X\n", source_path,
                line_number, s.key_text.c_str(), other.key_text.c_str(), other.line, s.key);
      errors++;
      continue;
    }
    by_key[s.key] = records.size();
    records.push_back(s);
  }
  if (errors) return 1;

  // Records sorted by key; texts numbered in order of first use, shared when identical.
  std::vector<uint8_t> blob;
  put32(&blob, LOCALE_VERSION);
  put32(&blob, 0);
  put32(&blob, (uint32_t)records.size());
  std::map<std::string, uint32_t> string_index;
  std::string strings;
  for (auto& [key, index] : by_key) {
    Source& s = records[index];
    if (s.kind == LOCALE_TEXT) {
      auto found = string_index.find(s.text);
      if (found == string_index.end()) {
        found = string_index.emplace(s.text, (uint32_t)string_index.size()).first;
        strings += s.text;
        strings += '\0';
      }
      s.value = found->second;
    }
    put32(&blob, key);
    put32(&blob, s.kind);
    put32(&blob, s.value);
  }
  blob.insert(blob.end(), strings.begin(), strings.end());

  // The table must read back exactly as written before it is packed.
  if (!locale_load_blob(blob.data(), blob.size(), (int)language)) {
    fprintf(stderr, "localec: the table does not load back\n");
    return 1;
  }
  for (const Source& s : records) {
    bool same = s.kind == LOCALE_TEXT    ? s.text == locale_string(s.key)
                : s.kind == LOCALE_ASSET ? s.value == locale_asset_id(s.key)
                                         : true;
    if (!same) {
      fprintf(stderr, "localec: key 0x%08X does not read back\n", s.key);
      return 1;
    }
  }
  locale_unload();

  ArchiveSource entry = {language, blob.data(), blob.size()};
  size_t size = 0;
  char error[160];
  uint8_t* image = archive_build(&entry, 1, crc32(file.data(), file.size()), &size, error, sizeof error);
  if (!image) {
    fprintf(stderr, "localec: %s\n", error);
    return 1;
  }
  std::string temp = std::string(out_path) + ".tmp";
  bool ok = tool_write_file(temp.c_str(), image, size) && rename(temp.c_str(), out_path) == 0;
  mem_free(image);
  if (!ok) {
    remove(temp.c_str());
    fprintf(stderr, "localec: cannot write %s\n", out_path);
    return 1;
  }
  return 0;
}
