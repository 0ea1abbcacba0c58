// Frames, windows and the widgets that need no editing: declaring them into the frame's
// records.
#include <cmath>
#include <cstring>

#include "assets/cache.h"
#include "input/input.h"
#include "ui/text_layout.h"
#include "ui/ui_context.h"
#include "ui/ui_draw.h"
#include "ui/ui_frame.h"
#include "ui/ui_style.h"

UiContext g_ui;

namespace {

int focus_query(void) { return g_ui.focus_last; }

UiWindow* top_window(void) { return g_ui.depth > 0 ? g_ui.stack[g_ui.depth - 1] : nullptr; }

int32_t clamp32(int32_t v, int32_t lo, int32_t hi) {
  if (v > hi) v = hi;
  return v < lo ? lo : v;  // the lower bound wins
}

}  // namespace

UiWidget* ui_declare_widget(uint32_t kind, uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            int32_t order, int32_t anchor, const UiCallbacks* callbacks) {
  UiWindow* window = top_window();
  if (!g_ui.open || !window) return nullptr;
  UiRect parent = {window->x, window->y, window->width, window->height};
  UiWidget w = {};
  w.id = id;
  ui_anchor_place(anchor, x, y, width, height, &parent, &w.x, &w.y);
  w.width = width;
  w.height = height;
  w.style = ui_style_top();
  w.image = w.style->image;
  w.callbacks = callbacks;
  w.interactive = callbacks ? 1 : 0;
  w.order = order;
  w.anchor = anchor;
  w.kind = kind;
  return ui_frame_declare_widget(window, &w);
}

namespace {

// Lays out a list window's widgets upwards from its bottom edge, scrolled by the fraction
// slot 6 gives; a list whose content fits has nothing hidden and scrolls 0.
void stack_list(UiWindow* w) {
  const UiStyle* s = w->style;
  int64_t content = 0;
  for (UiWidget* it = w->first; it; it = it->next) content += (int64_t)it->height + s->list_spacing;
  if (content > 0) content += s->list_spacing;
  float fraction = 0;
  if (w->callbacks && w->callbacks->scroll_get)
    fraction = w->callbacks->scroll_get(w->id, w->height, (int32_t)content);
  int64_t hidden = content - w->height;
  if (hidden <= 0) {
    hidden = 0;
    fraction = 0;
  }
  if (!(fraction == fraction)) fraction = 0;  // NaN
  int64_t offset = (int64_t)std::llround((double)fraction * (double)hidden);
  if (offset < 0) offset = 0;
  if (offset > hidden) offset = hidden;
  fraction = hidden > 0 ? (float)((double)offset / (double)hidden) : 0.0f;
  if (fraction > 1) fraction = 1;
  w->scroll = fraction;
  if (w->callbacks && w->callbacks->scroll_set) w->callbacks->scroll_set(w->id, fraction);
  int64_t running = 0;
  for (UiWidget* it = w->first; it; it = it->next) {
    it->anchor = 1;
    it->x = w->x + s->list_indent;
    it->y = (int32_t)(w->y + running + s->list_spacing - offset);
    running += (int64_t)s->list_spacing + it->height;
  }
}

// A slider style's checked image is its knob: a passive box at the value, as high (or, for
// vertical sliders, as wide) as the slider and three quarters of that long.
void declare_knob(UiWidget* slider) {
  const UiStyle* s = slider->style;
  if (!s->checked_image) return;
  bool vertical = s->slider_orientation != 0;
  int32_t across = vertical ? slider->width : slider->height, size = across * 3 / 4;
  int32_t length = (vertical ? slider->height : slider->width) - size;
  int32_t at = (int32_t)std::lround(slider->slider * (float)(length > 0 ? length : 0));
  UiWidget* knob = ui_declare_widget(UI_KIND_BOX, 0, 0, 0, vertical ? across : size, vertical ? size : across,
                                     slider->order + 1, 1, nullptr);
  UiStyle* ks = (UiStyle*)ui_frame_alloc(sizeof(UiStyle));
  if (!knob || !ks) return;
  *ks = *s;
  ks->image = s->checked_image;
  knob->style = ks;
  knob->image = ks->image;
  knob->x = slider->x + (vertical ? 0 : at);
  knob->y = slider->y + (vertical ? at : 0);
}

}  // namespace

UiRect ui_parent_rect(void) {
  UiWindow* w = top_window();
  if (w) return UiRect{w->x, w->y, w->width, w->height};
  return UiRect{0, 0, g_ui.width, g_ui.height};
}

const Font* ui_style_font(const UiStyle* style) {
  if (!style || !style->font) return nullptr;
  AssetHandle h;
  if (!asset_find(&h, ASSET_FONT, style->font)) {
    asset_request(&h, ASSET_FONT, style->font);
    if (!h.ready) return nullptr;
  }
  return (const Font*)h.object;
}

void ui_widgets_startup(void) { input_set_text_focus_query(focus_query); }

void ui_widgets_shutdown(void) {
  input_set_text_focus_query(nullptr);
  ui_style_shutdown();
  ui_frame_release();
  UiMouseProvider provider = g_ui.provider;
  float scale = g_ui.scale;
  g_ui = UiContext{};
  g_ui.provider = provider;
  g_ui.scale = scale;
}

void ui_set_mouse_provider(UiMouseProvider provider) { g_ui.provider = provider; }
void ui_set_scale(float scale) { g_ui.scale = scale; }

void ui_begin_frame(uint32_t default_style, int32_t width, int32_t height) {
  ui_frame_reset();
  g_ui.depth = 0;
  g_ui.skipped = 0;
  g_ui.width = width;
  g_ui.height = height;
  g_ui.open = 1;
  g_ui.focus_declared = 0;
  ui_style_reset(default_style);
  ui_draw_set_frame(width, height);
}

int ui_in_frame(void) { return g_ui.open; }

void ui_end_frame(void) {
  if (!g_ui.open) return;
  ui_resolve();
  g_ui.focus_last = g_ui.focus_declared;
  g_ui.open = 0;
  g_ui.depth = 0;
  g_ui.skipped = 0;
  ui_style_close();
}

void ui_mouse_position(int32_t* x, int32_t* y) {
  if (x) *x = g_ui.mouse_x;
  if (y) *y = g_ui.mouse_y;
}

int ui_mouse_over(int32_t x, int32_t y, int32_t width, int32_t height, int32_t anchor) {
  UiRect frame = {0, 0, g_ui.width, g_ui.height};
  int32_t px, py;
  ui_anchor_place(anchor, x, y, width, height, &frame, &px, &py);
  int64_t mx = g_ui.mouse_x, my = g_ui.mouse_y;
  return mx >= px && mx < (int64_t)px + width && my >= py && my < (int64_t)py + height;
}

void ui_window_begin(uint32_t id, uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height,
                     int32_t layer, int32_t anchor, const UiCallbacks* callbacks) {
  if (!g_ui.open) return;
  if (g_ui.skipped > 0 || g_ui.depth >= UI_NEST_LIMIT || ui_frame_window_count() >= UI_FRAME_WINDOW_LIMIT) {
    g_ui.skipped++;
    return;
  }
  UiRect p = ui_parent_rect();
  UiWindow w = {};
  w.flags = flags;
  w.id = id;
  ui_anchor_place(anchor, x, y, width, height, &p, &w.x, &w.y);
  w.width = width;
  w.height = height;
  if (!(flags & UI_WINDOW_NO_CLAMP)) {
    w.width = clamp32(width, 0, p.width > 0 ? p.width : 0);
    w.height = clamp32(height, 0, p.height > 0 ? p.height : 0);
    w.x = clamp32(w.x, p.x, p.x + p.width - w.width);
    w.y = clamp32(w.y, p.y, p.y + p.height - w.height);
  }
  if (callbacks && callbacks->placed) {
    int32_t ax, ay;
    ui_anchor_unplace(anchor, w.x, w.y, w.width, w.height, &p, &ax, &ay);
    callbacks->placed(id, ax, ay, w.width, w.height);
  }
  w.style = ui_style_top();
  w.image = w.style->image;
  w.clip =
      (flags & UI_WINDOW_CLIP) ? UiClip{w.x, w.y, w.width, w.height} : UiClip{0, 0, g_ui.width, g_ui.height};
  w.parent = top_window();
  w.callbacks = callbacks;
  w.visible = 1;
  w.layer = layer;
  w.anchor = anchor;
  UiWindow* stored = ui_frame_declare_window(&w);
  if (!stored) return;
  g_ui.stack[g_ui.depth++] = stored;
}

void ui_window_end(void) {
  if (!g_ui.open) return;
  if (g_ui.skipped > 0) {
    g_ui.skipped--;
    return;
  }
  if (g_ui.depth == 0) return;
  UiWindow* w = g_ui.stack[--g_ui.depth];
  if (w->flags & UI_WINDOW_LIST) stack_list(w);
}

int ui_window_depth(void) { return g_ui.depth; }

void ui_box(int32_t x, int32_t y, int32_t width, int32_t height, int32_t order, int32_t anchor) {
  ui_declare_widget(UI_KIND_BOX, 0, x, y, width, height, order, anchor, nullptr);
}

void ui_button(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height, int32_t order,
               int32_t anchor, const UiCallbacks* callbacks) {
  ui_declare_widget(UI_KIND_BUTTON, id, x, y, width, height, order, anchor, callbacks);
}

void ui_toggle(uint32_t id, int checked, int32_t x, int32_t y, int32_t width, int32_t height, int32_t order,
               int32_t anchor, const UiCallbacks* callbacks) {
  UiWidget* w = ui_declare_widget(UI_KIND_TOGGLE, id, x, y, width, height, order, anchor, callbacks);
  if (!w) return;
  w->checked = checked ? 1 : 0;
  if (w->checked && w->style->checked_image) w->image = w->style->checked_image;
}

void ui_label(uint32_t id, const char* text, int32_t x, int32_t y, int32_t width, int32_t height,
              int32_t order, int32_t anchor, const UiCallbacks* callbacks, int32_t* out_width,
              int32_t* out_height) {
  if (out_width) *out_width = 0;
  if (out_height) *out_height = 0;
  UiWindow* window = top_window();
  if (!g_ui.open || !window) return;
  const UiStyle* s = ui_style_top();
  const Font* font = ui_style_font(s);
  int mode = (s->flags & UI_STYLE_WRAP)  ? TEXT_LAYOUT_WRAP
             : (s->flags & UI_STYLE_CUT) ? TEXT_LAYOUT_SINGLE
                                         : 0;
  int32_t limit = width;
  if ((window->flags & UI_WINDOW_LIST) && limit > window->width - s->list_indent)
    limit = window->width - s->list_indent;
  int32_t tw = mode ? limit : 0, th = height;
  uint32_t count = 0;
  uint32_t* run = nullptr;
  if (font && text) {
    // Most labels fit the scratch run and are laid out once; longer ones are measured first.
    uint32_t scratch[256];
    int r = text_layout(font, mode, &tw, &th, text, scratch, 256, &count);
    if (r != TEXT_LAYOUT_OUT_OF_ROOM) {
      run = count ? (uint32_t*)ui_frame_alloc(count * sizeof(uint32_t)) : nullptr;
      if (run) memcpy(run, scratch, count * sizeof(uint32_t));
    } else {
      tw = mode ? limit : 0, th = height;
      text_layout(font, mode, &tw, &th, text, nullptr, 0, &count);
      run = count ? (uint32_t*)ui_frame_alloc(count * sizeof(uint32_t)) : nullptr;
      tw = mode ? limit : 0, th = height;
      r = text_layout(font, mode, &tw, &th, text, run, count, &count);
    }
    if (r == TEXT_LAYOUT_OUT_OF_WIDTH) text_fit_label(run, count);
  } else {
    tw = th = 0;
  }
  UiWidget* w;
  if (s->flags & UI_STYLE_CENTRE_TEXT) {
    w = ui_declare_widget(UI_KIND_LABEL, id, x, y, width, height, order, anchor, callbacks);
    if (w) {
      w->x += (int32_t)std::lround((width - tw) / 2.0);
      w->y += (int32_t)std::lround((height - th) / 2.0);
      w->width = tw;
      w->height = th;
    }
  } else if (s->flags & UI_STYLE_ANCHOR_TEXT) {
    w = ui_declare_widget(UI_KIND_LABEL, id, x, y, tw, th, order, anchor, callbacks);
  } else {
    w = ui_declare_widget(UI_KIND_LABEL, id, x, y, width, height, order, anchor, callbacks);
  }
  if (!w) return;
  w->image = 0;
  w->text = run;
  w->text_count = count;
  if (out_width) *out_width = tw;
  if (out_height) *out_height = th;
}

namespace {
void follow_mouse(UiWidget* w, const UiCallbacks* callbacks);
}  // namespace

void ui_slider(uint32_t id, float value, int captured, int32_t x, int32_t y, int32_t width, int32_t height,
               int32_t order, int32_t anchor, const UiCallbacks* callbacks) {
  UiWidget* w = ui_declare_widget(UI_KIND_SLIDER, id, x, y, width, height, order, anchor, callbacks);
  if (!w) return;
  if (!(value >= 0)) value = 0;
  if (value > 1) value = 1;
  w->slider = value;
  if (captured && callbacks) follow_mouse(w, callbacks);
  declare_knob(w);
}

namespace {

// While captured: the mouse along the slider becomes its value, until the button is up.
void follow_mouse(UiWidget* w, const UiCallbacks* callbacks) {
  uint32_t id = w->id;
  if (!button_down(0)) {
    if (callbacks->capture) callbacks->capture(id, 0);
    return;
  }
  bool vertical = w->style->slider_orientation != 0;
  int32_t length = vertical ? w->height : w->width;
  if (length <= 0) return;
  float f =
      vertical ? (float)(g_ui.mouse_y - w->y) / (float)length : (float)(g_ui.mouse_x - w->x) / (float)length;
  int32_t steps = w->style->slider_steps;
  if (steps > 0) f = std::round(f * (float)steps) / (float)steps;
  if (!(f >= 0)) f = 0;
  if (f > 1) f = 1;
  w->slider = f;
  if (callbacks->slider) callbacks->slider(id, f);
}

}  // namespace
