#pragma once
// A window system for tests: no display, every call logged, display modes and mode-change
// results scripted by the test.
#include <string>
#include <vector>

#include "platform/window.h"

struct FakeWindowSystem {
  std::vector<std::string> calls;
  std::vector<DisplayMode> modes;
  DisplayMode desktop = {1280, 1024, 32, 60};
  bool desktop_readable = true;
  // What the screen metrics report; width 0: not even the size is known.
  DisplayMode screen = {1280, 1024, 32, 60};
  bool active = true;
  // Each change_mode call pops the next result (true when the list runs out).
  std::vector<bool> change_results;
  std::vector<uint32_t> change_fields;
  Rect monitor = {0, 0, 1280, 1024};
  Rect work = {0, 0, 1280, 984};
  Rect frame = {0, 0, 0, 0};
  int dpi = 96;
  Rect last_client = {0, 0, 0, 0};
  // The pointer in client pixels from the top-left; warps move it.
  int cursor_x = 0, cursor_y = 0;
  bool cursor_readable = true;
  bool mouse_focus = true;
};

// Installs the fake as the window system (and removes it with null).
void fake_window_system_install(FakeWindowSystem* fake);
