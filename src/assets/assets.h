#pragma once
// Asset archives: presence check, start-up (archives, cache, loader thread) and shut-down.
// (Placeholder until the archive reader lands: every check passes, nothing is opened.)

int assets_check_present(const char* assets_dir);
void assets_startup(const char* assets_dir);
void assets_shutdown(void);
