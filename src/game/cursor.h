#pragma once
// The cursor image. When the client draws the cursor itself (windowed, the pointer inside the
// client area, the software cursor in use), the frame's interface item calls this after the
// interface, to draw the image as a screen-space quad at the mouse. Empty until the cursor
// is built.
void cursor_software_draw(void);
