// The end of a frame: the mouse against the declared records, the hit item's state, its
// callbacks, and dragging and resizing.
#include <algorithm>
#include <climits>
#include <cmath>

#include "input/input.h"
#include "input/mouse.h"
#include "ui/text_layout.h"
#include "ui/ui_context.h"
#include "ui/ui_frame.h"

namespace {

// A window or one of its widgets; widget null means the window itself.
struct Item {
  UiWindow* window;
  UiWidget* widget;
};

UiRect rect_of(Item it) {
  if (it.widget) return UiRect{it.widget->x, it.widget->y, it.widget->width, it.widget->height};
  return UiRect{it.window->x, it.window->y, it.window->width, it.window->height};
}
const UiStyle* style_of(Item it) { return it.widget ? it.widget->style : it.window->style; }
const UiCallbacks* callbacks_of(Item it) { return it.widget ? it.widget->callbacks : it.window->callbacks; }
uint32_t id_of(Item it) { return it.widget ? it.widget->id : it.window->id; }
uint32_t style_flags(Item it) { return style_of(it) ? style_of(it)->flags : 0; }

bool rect_equal(const UiRect& a, const UiRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

bool contains(const UiRect& r, int32_t x, int32_t y) {
  return x >= r.x && (int64_t)x < (int64_t)r.x + r.width && y >= r.y && (int64_t)y < (int64_t)r.y + r.height;
}

void read_mouse(void) {
  int32_t x = -1, y = -1;
  if (g_ui.provider) {
    g_ui.provider(&x, &y);
  } else if (!mouse_captured()) {
    int mx = 0, my = 0;
    mouse_position(&mx, &my);
    x = mx, y = my;
    if (g_ui.scale > 0) {
      x = (int32_t)std::lround(mx / g_ui.scale);
      y = (int32_t)std::lround(my / g_ui.scale);
    }
  }
  g_ui.mouse_x = x;
  g_ui.mouse_y = y;
}

// The link under the mouse in a label's laid-out block, 0 when none.
uint32_t link_under_mouse(const UiWidget* w) {
  const Font* font = ui_style_font(w->style);
  if (!font || !w->text) return 0;
  float x = (float)(g_ui.mouse_x - w->x), y = (float)(w->y + w->height - g_ui.mouse_y);
  return text_link_at(font, x, y, w->text, w->text_count);
}

Item find_rect(const UiRect& r) {
  for (uint32_t i = ui_frame_window_count(); i-- > 0;) {
    UiWindow* w = ui_frame_window(i);
    for (UiWidget* it = w->first; it; it = it->next)
      if (it->interactive && rect_equal(rect_of(Item{w, it}), r)) return Item{w, it};
    if (w->callbacks && rect_equal(rect_of(Item{w, nullptr}), r)) return Item{w, nullptr};
  }
  return Item{};
}

Item hit_test(void) {
  const UiActive& a = g_ui.active;
  // An item being pressed, dragged or resized keeps the mouse until the button comes up, so a
  // drag that leaves it in its first frame still reaches it (drags and resizes are held).
  if (a.valid && (a.state & (UI_STATE_PRESSED | UI_STATE_HELD))) {
    Item held = find_rect(a.rect);
    if (held.window) return held;
  }
  int32_t mx = g_ui.mouse_x, my = g_ui.mouse_y;
  Item hit = {};
  bool found = false;
  int32_t best_layer = INT_MIN;
  for (uint32_t i = ui_frame_window_count(); i-- > 0;) {
    UiWindow* w = ui_frame_window(i);
    if (!w->visible) continue;
    if (!contains(rect_of(Item{w, nullptr}), mx, my)) continue;
    if (found && w->layer <= best_layer) continue;
    UiWidget* best = nullptr;
    for (UiWidget* it = w->first; it; it = it->next) {
      if (!it->interactive || !contains(rect_of(Item{w, it}), mx, my)) continue;
      if (it->kind == UI_KIND_LABEL && it->callbacks->link_hover && !link_under_mouse(it)) continue;
      if (!best || it->order >= best->order) best = it;
    }
    // A pass-through window lets the mouse through everywhere but on its interactive widgets
    // (the chat's links): the window itself never takes it.
    if ((w->flags & UI_WINDOW_PASS_THROUGH) && !best) continue;
    found = true;
    best_layer = w->layer;
    hit = best ? Item{w, best} : w->callbacks ? Item{w, nullptr} : Item{};
  }
  return hit;
}

bool movable_window(Item it) {
  return !it.widget && (style_flags(it) & (UI_STYLE_DRAGGABLE | UI_STYLE_PRESS_DRAGS));
}

// The state of an item the mouse just reached or hovers: a press of an allowed button, else hovered.
uint32_t idle_state(Item it) {
  uint32_t flags = style_flags(it);
  static const uint32_t EXTRA[3] = {0, UI_STATE_RIGHT, UI_STATE_MIDDLE};
  for (uint32_t b = 0; b < 3; b++) {
    if (b == 1 && !(flags & UI_STYLE_RIGHT_BUTTON)) continue;
    if (b == 2 && !(flags & UI_STYLE_MIDDLE_BUTTON)) continue;
    if (!button_pressed(b)) continue;
    UiActive& a = g_ui.active;
    a.press_x = g_ui.mouse_x;
    a.press_y = g_ui.mouse_y;
    a.button = b;
    a.start = rect_of(it);
    a.zone = 0;
    a.captured = 0;
    if (!it.widget && (flags & UI_STYLE_RESIZABLE)) {
      const UiRect& r = a.start;
      a.zone = ui_resize_zone(r.x, r.y, r.width, r.height, style_of(it)->border_width, a.press_x, a.press_y);
    }
    return UI_STATE_PRESSED | EXTRA[b];
  }
  return UI_STATE_HOVERED;
}

bool any_button_busy(void) {
  for (uint32_t b = 0; b < 3; b++)
    if (button_state(b) == 1 || button_released(b)) return true;
  return false;
}

const uint32_t KEPT =
    UI_STATE_RIGHT | UI_STATE_MIDDLE | UI_STATE_DRAGGED | UI_STATE_RESIZED | UI_STATE_PRESS_DRAG;

// The new state of the hit item; sets *drag_started on the frame a drag begins.
uint32_t next_state(Item it, bool* drag_started) {
  UiActive& a = g_ui.active;
  UiRect r = rect_of(it);
  if (a.valid && rect_equal(a.rect, r)) {
    a.matched = 1;
    uint32_t prev = a.state;
    if (!(prev & (UI_STATE_PRESSED | UI_STATE_HELD))) return idle_state(it);
    if (button_released(a.button)) {
      // Released away from the item without dragging it: no click.
      if (!(prev & UI_STATE_DRAGGED) && !contains(r, g_ui.mouse_x, g_ui.mouse_y)) return 0;
      return UI_STATE_CLICKED | (prev & KEPT);
    }
    if (!button_down(a.button)) return UI_STATE_HOVERED;
    uint32_t st = UI_STATE_HELD | (prev & KEPT);
    if (!(st & UI_STATE_DRAGGED)) {
      double dx = g_ui.mouse_x - a.press_x, dy = g_ui.mouse_y - a.press_y;
      if (std::lround(std::sqrt(dx * dx + dy * dy)) >= UI_DRAG_THRESHOLD) {
        st |= UI_STATE_DRAGGED;
        if (a.zone) st |= UI_STATE_RESIZED;
        if (style_flags(it) & UI_STYLE_PRESS_DRAGS) st |= UI_STATE_PRESS_DRAG;
        *drag_started = true;
      }
    }
    return st;
  }
  if (any_button_busy()) return 0;
  a = UiActive{};
  a.valid = 1;
  a.matched = 1;
  a.rect = r;
  return idle_state(it);
}

int32_t clamp_lower_wins(int32_t v, int32_t lo, int32_t hi) {
  if (v > hi) v = hi;
  return v < lo ? lo : v;
}

UiRect parent_of(const UiWindow* w) {
  if (w->parent) return UiRect{w->parent->x, w->parent->y, w->parent->width, w->parent->height};
  return UiRect{0, 0, g_ui.width, g_ui.height};
}

// Moves a widget (style 0x08) or a window by the mouse's travel since the press.
void drag(Item it) {
  UiActive& a = g_ui.active;
  int32_t dx = g_ui.mouse_x - a.press_x, dy = g_ui.mouse_y - a.press_y;
  uint32_t flags = style_flags(it);
  if (it.widget && (flags & UI_STYLE_DRAGGABLE)) {
    UiWindow* w = it.window;
    UiRect p = {w->x, w->y, w->width, w->height};
    int32_t x = clamp_lower_wins(a.start.x + dx, p.x, p.x + p.width - a.start.width);
    int32_t y = clamp_lower_wins(a.start.y + dy, p.y, p.y + p.height - a.start.height);
    const UiCallbacks* cb = it.widget->callbacks;
    int32_t ax, ay;
    ui_anchor_unplace(it.widget->anchor, x, y, a.start.width, a.start.height, &p, &ax, &ay);
    if (cb && cb->move && cb->move(it.widget->id, ax, ay)) {
      a.rect.x = x;
      a.rect.y = y;
    }
    return;
  }
  UiWindow* w = it.window;
  if (it.widget ? !(flags & UI_STYLE_DRAGS_WINDOW) : !movable_window(it)) return;
  // The window's rectangle at the press, recovered from the item's place in it.
  UiRect item_now = rect_of(it);
  int32_t wx0 = w->x + (a.start.x - item_now.x), wy0 = w->y + (a.start.y - item_now.y);
  UiRect p = parent_of(w);
  int32_t x = clamp_lower_wins(wx0 + dx, p.x, p.x + p.width - w->width);
  int32_t y = clamp_lower_wins(wy0 + dy, p.y, p.y + p.height - w->height);
  int32_t ax, ay;
  ui_anchor_unplace(w->anchor, x, y, w->width, w->height, &p, &ax, &ay);
  if (w->callbacks && w->callbacks->move && w->callbacks->move(w->id, ax, ay)) {
    a.rect.x = a.start.x + (x - wx0);
    a.rect.y = a.start.y + (y - wy0);
  }
}

// Moves the edges the press zone names with the mouse and offers the rectangle to slot 5.
void resize(Item it) {
  UiWindow* w = it.window;
  if (it.widget || !(style_flags(it) & UI_STYLE_RESIZABLE) || !w->callbacks || !w->callbacks->resize) return;
  UiActive& a = g_ui.active;
  int32_t dx = g_ui.mouse_x - a.press_x, dy = g_ui.mouse_y - a.press_y;
  int z = a.zone;
  bool left = z == 1 || z == 2 || z == 3, right = z == 4 || z == 5 || z == 6;
  bool bottom = z == 2 || z == 5 || z == 8, top = z == 1 || z == 4 || z == 7;
  int64_t l = a.start.x, b = a.start.y, r = (int64_t)a.start.x + a.start.width,
          t = (int64_t)a.start.y + a.start.height;
  UiRect p = parent_of(w);
  if (left) l = std::min<int64_t>(std::max<int64_t>(l + dx, p.x), r - 1);
  if (right) r = std::max<int64_t>(std::min<int64_t>(r + dx, (int64_t)p.x + p.width), l + 1);
  if (bottom) b = std::min<int64_t>(std::max<int64_t>(b + dy, p.y), t - 1);
  if (top) t = std::max<int64_t>(std::min<int64_t>(t + dy, (int64_t)p.y + p.height), b + 1);
  UiRect n = {(int32_t)l, (int32_t)b, (int32_t)(r - l), (int32_t)(t - b)};
  int32_t ax, ay;
  ui_anchor_unplace(w->anchor, n.x, n.y, n.width, n.height, &p, &ax, &ay);
  if (w->callbacks->resize(w->id, ax, ay, n.width, n.height)) a.rect = n;
}

void run_callbacks(Item it, uint32_t st, bool drag_started) {
  const UiCallbacks* cb = callbacks_of(it);
  UiWidget* w = it.widget;
  uint32_t id = id_of(it);
  UiActive& a = g_ui.active;
  if (cb && cb->text_click && w && w->kind == UI_KIND_TEXT_FIELD &&
      (st & (UI_STATE_PRESSED | UI_STATE_HELD))) {
    const Font* font = ui_style_font(w->style);
    uint32_t index =
        font && w->text ? text_index_at_x(font, (float)(g_ui.mouse_x - w->x), w->text, w->text_count) : 0;
    cb->text_click(id, index);
  }
  if (cb && cb->capture && ((st & UI_STATE_PRESSED) || (drag_started && !a.captured))) {
    a.captured = 1;
    cb->capture(id, 1);
  }
  if (cb && cb->capture && (st & UI_STATE_CLICKED) && (!w || w->kind != UI_KIND_SLIDER)) cb->capture(id, 0);
  if (w && w->kind == UI_KIND_TOGGLE && (st & UI_STATE_CLICKED) && cb && cb->toggle)
    w->checked = cb->toggle(id, !w->checked) ? 1 : 0;
  if (w) {
    const UiStyle* s = w->style;
    if (w->kind == UI_KIND_TOGGLE || w->kind == UI_KIND_BUTTON || w->kind == UI_KIND_SLIDER) {
      w->image = s->image;
      if (w->checked && s->checked_image)
        w->image = s->checked_image;
      else if ((st & (UI_STATE_PRESSED | UI_STATE_HELD)) && s->pressed_image)
        w->image = s->pressed_image;
      else if ((st & UI_STATE_HOVERED) && s->hovered_image)
        w->image = s->hovered_image;
    }
    w->state = st;
  }
  if (cb && cb->state) cb->state(id, st);
  if (w && w->kind == UI_KIND_LABEL && cb && cb->link_hover) cb->link_hover(id, link_under_mouse(w), st);
  if (st & UI_STATE_PRESSED) {
    if (cb && cb->pressed) cb->pressed();
    const UiCallbacks* wc = it.window->callbacks;
    if (w && wc && wc->pressed) wc->pressed();
  }
}

}  // namespace

int ui_resize_zone(int32_t x, int32_t y, int32_t width, int32_t height, int32_t border, int32_t px,
                   int32_t py) {
  if (width <= 0 || height <= 0 || !contains(UiRect{x, y, width, height}, px, py)) return 0;
  int32_t g = border > 5 ? border : 5;
  if (g > width / 4) g = width / 4;
  if (g > height / 4) g = height / 4;
  if (g < 1) g = 1;
  int64_t l = (int64_t)px - x, r = (int64_t)x + width - 1 - px, b = (int64_t)py - y,
          t = (int64_t)y + height - 1 - py;
  int64_t g2 = (int64_t)g * g;
  if (l * l + b * b < g2) return 2;
  if (r * r + b * b < g2) return 5;
  if (l * l + t * t < g2) return 1;
  if (r * r + t * t < g2) return 4;
  if (l < g) return 3;
  if (r < g) return 6;
  if (b < g) return 8;
  if (t < g) return 7;
  return 0;
}

void ui_resolve(void) {
  read_mouse();
  UiActive& a = g_ui.active;
  a.matched = 0;
  Item it = hit_test();
  if (it.window) {
    bool drag_started = false;
    uint32_t st = next_state(it, &drag_started);
    run_callbacks(it, st, drag_started);
    if (a.matched) {
      a.state = st;
      // The release frame moves too: its motion may have come with the release.
      if (st & UI_STATE_DRAGGED) {
        if (st & UI_STATE_RESIZED)
          resize(it);
        else
          drag(it);
      }
    }
  }
  if (!a.matched && !mouse_captured()) a = UiActive{};
}
