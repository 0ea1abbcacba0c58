#include "tool_files.h"

#include <cstdio>

bool tool_read_file(const char* path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  out->clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

bool tool_write_file(const char* path, const void* data, size_t size) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  ok = fflush(f) == 0 && ok;
  ok = fclose(f) == 0 && ok;
  return ok;
}

std::string tool_directory_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string tool_join(const std::string& base, const std::string& name) {
  if (base.empty() || (!name.empty() && name[0] == '/')) return name;
  return base.back() == '/' ? base + name : base + "/" + name;
}

std::vector<std::string> tool_split_lines(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}
