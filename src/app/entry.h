#pragma once
// Program entry: command line, settings, archive check, platform start-up, the game
// modules and the message loop, and the orderly way back out. Returns the exit code.
int app_main(int argc, char** argv);

// The pointers through which the lower layers reach the renderer (texture preparation and
// pixel formats, the OpenGL backends' texture source, window resizes and suspends, the
// mouse's client size). The client installs them before start-up; harnesses that open the
// renderer themselves call it too, so they run with the client's wiring.
void install_renderer_seams(void);
