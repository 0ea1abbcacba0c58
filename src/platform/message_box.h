#pragma once
// The two message boxes of the client. Every message is written to stderr; where a display
// exists it is also shown in a box ("Client Warning" with the warning icon, "Client Error"
// with the error icon), which blocks until the player closes it. Tests replace the box.

void message_warning(const char* text);
void message_error(const char* text);

// The box alone, without the stderr copy (0 warning, 1 error).
void message_show_box(int kind, const char* text);
// The error box alone: the fatal path's sink, which writes stderr itself.
void message_error_box_only(const char* text);

// kind 0 warning, 1 error. Null restores the system's box.
typedef void (*MessageBoxFn)(int kind, const char* title, const char* text);
void message_box_set(MessageBoxFn show);
