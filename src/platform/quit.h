#pragma once
// Quit requests: the window's close request and any module's request end the message loop
// with an exit code. They travel through SDL's queue, so the loop sees them in order with
// the window's own messages.
void request_quit(void);
void request_quit_code(int code);

// Tests route quit requests to a hook instead of the system queue (null: the system).
typedef void (*QuitFn)(int code);
void quit_set_hook(QuitFn hook);
