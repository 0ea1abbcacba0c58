#include "base/fatal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static FatalSink g_sink;

void fatal_set_sink(FatalSink sink) { g_sink = sink; }

void fatal_exit(const char* text) {
  // write(2) rather than stdio: the heap may be exhausted and stdio may want to allocate.
  ssize_t ignored = write(2, text, strlen(text));
  ignored = write(2, "\n", 1);
  (void)ignored;
  if (g_sink) g_sink(text);
  _exit(1);
}

#ifndef NDEBUG
void base_assert_failed(const char* cond, const char* file, int line) {
  fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, cond);
  fflush(stderr);
  abort();
}
#endif
