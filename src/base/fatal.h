#pragma once
// Fatal conditions: the client shows one message and ends at once with exit code 1, without
// running any shut-down. The text always goes to stderr; a sink installed by the platform
// layer also shows it in the error message box. Tests may install their own sink.

typedef void (*FatalSink)(const char* text);

// Installs the function that shows fatal messages to the user (null: stderr only).
void fatal_set_sink(FatalSink sink);

// Writes text to stderr, passes it to the sink and ends the process with exit code 1.
[[noreturn]] void fatal_exit(const char* text);

// Debug-build assertion that never throws: prints the failed condition and aborts.
#ifdef NDEBUG
#define BASE_ASSERT(cond) ((void)0)
#else
[[noreturn]] void base_assert_failed(const char* cond, const char* file, int line);
#define BASE_ASSERT(cond) ((cond) ? (void)0 : base_assert_failed(#cond, __FILE__, __LINE__))
#endif
