#pragma once
// Fatal conditions: the client shows one message and ends at once with exit code 1, without
// running any shut-down. The text always goes to stderr; a sink installed by the platform
// layer also shows it in the error message box. Tests may install their own sink.
//
// The one piece of state that must not outlive the process is a changed desktop display
// mode: the platform layer installs its restore function here, and a fatal end calls it
// before the message is shown, so the player reads it at the desktop's own resolution.

typedef void (*FatalSink)(const char* text);

// Installs the function that shows fatal messages to the user (null: stderr only).
void fatal_set_sink(FatalSink sink);

// Installs the function that puts the desktop display mode back (null: nothing to restore).
// It lives above this module, so it is reached through this pointer.
typedef void (*FatalRestoreFn)(void);
void fatal_set_display_restore(FatalRestoreFn restore);

// Writes text to stderr, restores the desktop display mode, passes the text to the sink and
// ends the process with exit code 1.
[[noreturn]] void fatal_exit(const char* text);

// Debug-build assertion that never throws: prints the failed condition and aborts.
#ifdef NDEBUG
#define BASE_ASSERT(cond) ((void)0)
#else
[[noreturn]] void base_assert_failed(const char* cond, const char* file, int line);
#define BASE_ASSERT(cond) ((cond) ? (void)0 : base_assert_failed(#cond, __FILE__, __LINE__))
#endif
