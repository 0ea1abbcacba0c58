#include "tool_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

std::vector<std::string> tool_words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == '#') break;
    if (line[i] == ' ' || line[i] == '\t') {
      i++;
      continue;
    }
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '#') i++;
    words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool tool_parse_u32(const std::string& text, uint32_t* out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  errno = 0;
  char* end = nullptr;
  unsigned long long v = strtoull(text.c_str(), &end, hex ? 16 : 10);
  if (errno || *end || v > 0xFFFFFFFFull) return false;
  *out = (uint32_t)v;
  return true;
}

bool tool_parse_float(const std::string& text, float* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  float v = strtof(text.c_str(), &end);
  if (errno || *end || !std::isfinite(v)) return false;
  *out = v;
  return true;
}
