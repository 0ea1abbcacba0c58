#include "platform/display.h"

#include "platform/window.h"

struct DisplayState {
  int state;
  void* handle;         // the window whose mode was changed
  DisplayMode applied;  // the listed mode that was applied
  uint32_t fields;
  DisplayMode requested;
};
static DisplayState g_display;

void display_set_window(void* handle) { g_display.handle = handle; }

static int mode_matches(const DisplayMode& m, int width, int height, int bit_depth, int refresh) {
  return m.width == width && m.height == height && (bit_depth <= 1 || m.bit_depth == bit_depth) &&
         (refresh <= 1 || m.refresh == refresh);
}

int display_match_mode(const DisplayMode* modes, int count, DisplayMode desktop, DisplayMode* request) {
  const DisplayMode* found = nullptr;
  for (int i = 0; i < count && !found; i++)
    if (mode_matches(modes[i], request->width, request->height, request->bit_depth, request->refresh))
      found = &modes[i];
  for (int i = 0; i < count && !found; i++)
    if (mode_matches(modes[i], request->width, request->height, desktop.bit_depth, desktop.refresh))
      found = &modes[i];
  if (!found) {
    for (int i = 0; i < count && !found; i++)
      if (modes[i].width == request->width && modes[i].height == request->height) found = &modes[i];
    if (!found) return 0;
    request->bit_depth = 0;
    request->refresh = 0;
  }
  request->width = found->width;
  request->height = found->height;
  if (request->bit_depth > 1) request->bit_depth = found->bit_depth;
  if (request->refresh > 1) request->refresh = found->refresh;
  return 1;
}

// Asks for the mode with the given fields, then with fewer fields: without the refresh
// rate, the bit depth alone, and finally width and height alone.
static int display_change_ladder(const DisplayMode* mode, uint32_t fields) {
  const WindowSystem* sys = window_system();
  if (sys->change_mode(g_display.handle, mode, fields)) return 1;
  if ((fields & MODE_FIELD_REFRESH) &&
      sys->change_mode(g_display.handle, mode, fields & ~(uint32_t)MODE_FIELD_REFRESH))
    return 1;
  if ((fields & MODE_FIELD_BIT_DEPTH) && sys->change_mode(g_display.handle, mode, MODE_FIELD_BIT_DEPTH))
    return 1;
  return sys->change_mode(g_display.handle, mode, MODE_FIELD_WIDTH | MODE_FIELD_HEIGHT);
}

int display_apply(int width, int height, int bit_depth, int refresh) {
  if (g_display.state != 0) return 0;
  DisplayMode modes[DISPLAY_MODES_MAX];
  int count = window_system()->list_modes(g_display.handle, modes, DISPLAY_MODES_MAX);
  const DisplayMode* chosen = nullptr;
  uint32_t fields = MODE_FIELD_WIDTH | MODE_FIELD_HEIGHT | MODE_FIELD_BIT_DEPTH | MODE_FIELD_REFRESH;
  for (int i = 0; i < count && !chosen; i++)
    if (mode_matches(modes[i], width, height, bit_depth, refresh)) chosen = &modes[i];
  if (!chosen) {
    for (int i = 0; i < count && !chosen; i++)
      if (modes[i].width == width && modes[i].height == height) chosen = &modes[i];
    fields = MODE_FIELD_WIDTH | MODE_FIELD_HEIGHT;
  }
  if (!chosen) return 0;
  if (bit_depth <= 1) fields &= ~(uint32_t)MODE_FIELD_BIT_DEPTH;
  if (refresh <= 1) fields &= ~(uint32_t)MODE_FIELD_REFRESH;
  if (!display_change_ladder(chosen, fields)) return 0;
  g_display.state = 1;
  g_display.applied = *chosen;
  g_display.fields = fields;
  g_display.requested = {width, height, bit_depth, refresh};
  return 1;
}

int display_reapply(void) {
  if (g_display.state != 2) return g_display.state == 1;
  if (!display_change_ladder(&g_display.applied, g_display.fields)) return 0;
  g_display.state = 1;
  return 1;
}

void display_undo_for_background(void) {
  if (g_display.state != 1) return;
  window_system()->restore_desktop(g_display.handle);
  g_display.state = 2;
}

DisplayMode display_current_mode(void) {
  const WindowSystem* sys = window_system();
  DisplayMode desktop = {0, 0, 0, 0};
  if (!sys->desktop_mode(g_display.handle, &desktop)) {
    // Zeros here would read as "any depth, any refresh" and let a full-screen start pass
    // without ever changing the mode.
    DisplayMode screen = {0, 0, 0, 0};
    if (!sys->screen_metrics(g_display.handle, &screen)) screen = DisplayMode{0, 0, 0, 0};
    return screen;
  }
  DisplayMode modes[DISPLAY_MODES_MAX];
  int count = sys->list_modes(g_display.handle, modes, DISPLAY_MODES_MAX);
  for (int i = 0; i < count; i++)
    if (modes[i].width == desktop.width && modes[i].height == desktop.height &&
        modes[i].bit_depth == desktop.bit_depth && modes[i].refresh == desktop.refresh)
      return modes[i];
  return desktop;
}

int display_mode_active(void) { return g_display.state != 0; }
int display_mode_state(void) { return g_display.state; }

DisplayMode display_mode_size(void) {
  return g_display.state != 0 ? g_display.applied : display_current_mode();
}

void display_restore(void) {
  if (g_display.state != 0) window_system()->restore_desktop(g_display.handle);
  g_display.state = 0;
}
