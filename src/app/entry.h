#pragma once
// Program entry: command line, settings, archive check, platform start-up, the game
// modules and the message loop, and the orderly way back out. Returns the exit code.
int app_main(int argc, char** argv);
