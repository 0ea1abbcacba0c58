#pragma once
// Full-screen display modes and the display-mode state: 0 the desktop mode is untouched,
// 1 the client's mode is active, 2 the client's mode is undone while the client is in the
// background. Requests are matched against the modes the system lists (three passes) and
// applied with a ladder of ever fewer fields; the desktop mode is put back on restore, on
// window destruction and on a fatal end of the process.
#include <cstdint>

struct DisplayMode {
  int width, height, bit_depth, refresh;
};

// Listed modes beyond this many are not considered.
enum { DISPLAY_MODES_MAX = 512 };

enum : uint32_t {
  MODE_FIELD_WIDTH = 1,
  MODE_FIELD_HEIGHT = 2,
  MODE_FIELD_BIT_DEPTH = 4,
  MODE_FIELD_REFRESH = 8,
};

// The desktop's mode: the system's current settings, as the listed mode equal to them when
// there is one. When the settings cannot be read, the screen's size with the depth and
// refresh the system reports for the screen; zeros only when even the size is unknown.
DisplayMode display_current_mode(void);
// 1 while the state is not 0.
int display_mode_active(void);
// 0, 1 or 2 (see above).
int display_mode_state(void);
// The applied mode while one is active, else the desktop's.
DisplayMode display_mode_size(void);
// Puts the desktop mode back and sets state 0.
void display_restore(void);
// The three-pass match of a request against the listed modes (pure): 1 and the request
// updated, or 0 when no listed mode has the requested size.
int display_match_mode(const DisplayMode* modes, int count, DisplayMode desktop, DisplayMode* request);

// --- for the window and its procedure ----------------------------------------------------
// The window whose mode is changed (null when there is none).
void display_set_window(void* handle);
// Applies a mode (refused unless the desktop mode is untouched); 1 on success, state 1.
int display_apply(int width, int height, int bit_depth, int refresh);
// Puts the applied mode back after the client returns to the foreground (state 2 -> 1).
int display_reapply(void);
// Restores the desktop while the client is in the background (state 1 -> 2).
void display_undo_for_background(void);
