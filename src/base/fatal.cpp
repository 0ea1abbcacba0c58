// The fatal path calls write and _exit itself: it must work before the platform layer has
// started, after it has stopped, and with the heap exhausted.
#include "base/fatal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static FatalSink g_sink;
static FatalRestoreFn g_restore;

void fatal_set_sink(FatalSink sink) { g_sink = sink; }
void fatal_set_display_restore(FatalRestoreFn restore) { g_restore = restore; }

void fatal_exit(const char* text) {
  // write(2) rather than stdio: the heap may be exhausted and stdio may want to allocate.
  ssize_t ignored = write(2, text, strlen(text));
  ignored = write(2, "\n", 1);
  (void)ignored;
  // Taken before the call: a fatal end inside the restore itself must not come back here.
  FatalRestoreFn restore = g_restore;
  g_restore = nullptr;
  if (restore) restore();
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
