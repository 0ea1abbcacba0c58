#include "app/cmdline.h"

static int is_flag(const char* arg, char letter) {
  return arg && arg[0] == '-' && arg[1] == letter && arg[2] == 0;
}

int cmdline_has_flag(char letter, int argc, char** argv) {
  if (!argv || argc < 0) return 0;
  for (int i = 1; i < argc; i++)
    if (is_flag(argv[i], letter)) return 1;
  return 0;
}

const char* cmdline_value(char letter, int argc, char** argv, const char* fallback) {
  if (!argv || argc < 0) return fallback;
  for (int i = 1; i < argc; i++) {
    if (!is_flag(argv[i], letter)) continue;
    if (i + 1 < argc && argv[i + 1]) return argv[i + 1];
    return fallback;
  }
  return fallback;
}
