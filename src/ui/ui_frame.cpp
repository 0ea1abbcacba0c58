#include "ui/ui_frame.h"

#include "base/arena.h"

namespace {

Arena* g_arena;
UiWindow* g_windows[UI_FRAME_WINDOW_LIMIT];
uint32_t g_window_count;

template <typename T>
T* arena_copy(const T* record) {
  if (!g_arena) g_arena = arena_create(64 * 1024);
  T* copy = (T*)arena_alloc(g_arena, sizeof(T));
  *copy = *record;
  return copy;
}

}  // namespace

void ui_frame_reset(void) {
  if (g_arena) arena_reset(g_arena);
  g_window_count = 0;
}

void ui_frame_release(void) {
  arena_destroy(g_arena);
  g_arena = nullptr;
  g_window_count = 0;
}

UiWindow* ui_frame_declare_window(const UiWindow* window) {
  if (!window || g_window_count >= UI_FRAME_WINDOW_LIMIT) return nullptr;
  UiWindow* w = arena_copy(window);
  w->first = w->last = nullptr;
  g_windows[g_window_count++] = w;
  return w;
}

UiWidget* ui_frame_declare_widget(UiWindow* window, const UiWidget* widget) {
  if (!window || !widget) return nullptr;
  UiWidget* w = arena_copy(widget);
  w->window = window;
  w->next = nullptr;
  if (window->last)
    window->last->next = w;
  else
    window->first = w;
  window->last = w;
  return w;
}

void* ui_frame_alloc(size_t size) {
  if (!g_arena) g_arena = arena_create(64 * 1024);
  return arena_alloc_inline(g_arena, size);
}

uint32_t ui_frame_window_count(void) { return g_window_count; }

UiWindow* ui_frame_window(uint32_t index) { return index < g_window_count ? g_windows[index] : nullptr; }
