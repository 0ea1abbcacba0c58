#pragma once
// Quit requests: the window's close request and any module's request end the message loop
// with an exit code.
void request_quit(void);
void request_quit_code(int code);
