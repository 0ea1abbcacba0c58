#include "ui/ui_style.h"

#include "base/intmap.h"
#include "base/mem.h"

namespace {

IntMap* g_styles;
const UiStyle g_default = {};
const UiStyle* g_stack[UI_STYLE_STACK];
int g_depth;
bool g_open;  // between ui_style_reset and ui_style_close: a frame is open

void release_style(void* style) { mem_free(style); }

}  // namespace

void ui_style_shutdown(void) {
  if (g_styles) intmap_destroy(g_styles, release_style);
  g_styles = nullptr;
  g_depth = 0;
  g_open = false;
}

int ui_style_register(uint32_t id, const UiStyle* style) {
  if (!style) return 0;
  if (!g_styles) g_styles = intmap_create_seeded(64, 0x5719e);
  if (intmap_contains(g_styles, id)) return 0;
  UiStyle* copy = (UiStyle*)mem_alloc(sizeof(UiStyle));
  *copy = *style;
  intmap_insert(g_styles, id, copy);
  return 1;
}

const UiStyle* ui_style_find(uint32_t id) {
  const UiStyle* s = (const UiStyle*)intmap_find(g_styles, id);
  return s ? s : &g_default;
}

int ui_style_get(uint32_t id, UiStyle* out) {
  const UiStyle* s = (const UiStyle*)intmap_find(g_styles, id);
  if (out) *out = s ? *s : g_default;
  return s ? 1 : 0;
}

void ui_style_reset(uint32_t id) {
  g_depth = 0;
  g_open = true;
  ui_style_push(id);
}

const UiStyle* ui_style_push(uint32_t id) {
  const UiStyle* s = ui_style_find(id);
  ui_style_push_record(s);
  return s;
}

void ui_style_push_record(const UiStyle* style) {
  if (!g_open || g_depth >= UI_STYLE_STACK) return;
  g_stack[g_depth++] = style ? style : &g_default;
}

void ui_style_close(void) {
  g_open = false;
  g_depth = 0;
}

void ui_style_pop(void) {
  if (g_depth > 1) g_depth--;
}

const UiStyle* ui_style_top(void) { return g_depth > 0 ? g_stack[g_depth - 1] : &g_default; }

int ui_style_depth(void) { return g_depth; }
