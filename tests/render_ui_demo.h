#pragma once
// The render harness's interactive interface demo: one skinned window holding every widget
// kind (a title to drag the window by, a button, a toggle, a text field, a slider, a list of
// labels and a status label), run over the real input layer until the window is closed.
// Prints "ready" once drawn, then one line per callback:
//   click ID | toggle ID CHECKED | text ID TEXT | slider ID FRACTION | capture ID ON |
//   move ID X Y | resize ID X Y W H | state ID BITS (when the bits change) | focus ID
// Positions are UI pixels (origin bottom-left). Returns the process exit code.
#include "platform/window.h"

int ui_demo_run(Window* window, const char* assets_dir);
