// Interface drawing through a backend that keeps what it is given: quads and nine-patch
// cells against a model written in Python from the description of UI space, clipping and
// tiling; the draw list's order against Python's sorted(); one flush per texture change;
// colours; text placed by the font's metrics with link colours.
#include "ui/ui_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/random.h"
#include "render/draw.h"
#include "support/draw_capture.h"
#include "support/font_testing.h"
#include "support/math_test_support.h"
#include "support/test_files.h"
#include "ui/ninepatch.h"
#include "ui/text_layout.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_frame.h"

namespace {

class UiDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    draw_capture_install();
    ui_draw_startup();
    ui_frame_reset();
  }
  void TearDown() override {
    ui_draw_shutdown();
    draw_capture_uninstall();
  }
};

// Every quad drawn so far as its four corners (bottom-left, bottom-right, top-right,
// top-left), written as "x y u v" lines after a count.
std::string quads_text(void) {
  ui_draw_flush();
  std::ostringstream s;
  s.precision(9);
  std::vector<const RenderVertex*> corners;
  for (const CapturedDraw& d : draw_capture_draws())
    for (size_t i = 0; i + 6 <= d.triangles.size(); i += 6) {
      const RenderVertex* t = &d.triangles[i];
      for (const RenderVertex* v : {&t[0], &t[1], &t[2], &t[5]}) corners.push_back(v);
    }
  s << corners.size() / 4 << "\n";
  for (const RenderVertex* v : corners) s << v->x << " " << v->y << " " << v->u << " " << v->v << "\n";
  draw_capture_clear();
  return s.str();
}

// The model: UI space to device coordinates, clipping with the texture rectangle cut in
// proportion, and nine-patch cells stretched or tiled.
const char* QUAD_MODEL = R"PY(
import math, sys

def rnd(v):  # half away from zero
    return math.floor(abs(v) + 0.5) * (1 if v >= 0 else -1)

def quad(x, y, w, h, a, tex, clip):
    if not (w > 0 and h > 0) or abs(a) <= 0.0001:
        return []
    l, b, r, t = x, y, x + w, y + h
    ul, vb, ur, vt = tex
    cx, cy, cw, ch = clip
    if cw > 0 and ch > 0:
        nl, nb, nr, nt = max(l, cx), max(b, cy), min(r, cx + cw), min(t, cy + ch)
        if nr <= nl or nt <= nb:
            return []
        du, dv = ur - ul, vt - vb
        ul, ur = ul + (nl - l) / w * du, ul + (nr - l) / w * du
        vb, vt = vb + (nb - b) / h * dv, vb + (nt - b) / h * dv
        l, b, r, t = nl, nb, nr, nt
    return [(l, b, r, t, ul, vb, ur, vt)]

def tiles(x, y, w, h, cell, tw, th, a, clip):
    if not (w > 0 and h > 0):
        return []
    if tw < 1 or w / tw > 4096: tw = w
    if th < 1 or h / th > 4096: th = h
    out = []
    ul, vb, ur, vt = cell
    row = 0.0
    while row < h:
        hh = min(th, h - row)
        top = vt if hh == th else vb + hh / th * (vt - vb)
        col = 0.0
        while col < w:
            ww = min(tw, w - col)
            right = ur if ww == tw else ul + ww / tw * (ur - ul)
            out += quad(x + col, y + row, ww, hh, a, (ul, vb, right, top), clip)
            col += tw
        row += th
    return out

def ninepatch(x, y, w, h, texw, texh, L, R, B, T, tiling, a, clip):
    us = [0, L / texw, (texw - R) / texw, 1]
    vs = [0, B / texh, (texh - T) / texh, 1]
    cols = [(x, L), (x + L, w - L - R), (x + w - R, R)]
    rows = [(y, B), (y + B, h - B - T), (y + h - T, T)]
    out = []
    for r in range(3):
        for c in range(3):
            cell = (us[c], vs[r], us[c + 1], vs[r + 1])
            X, W = cols[c]
            Y, H = rows[r]
            if not tiling or (r != 1 and c != 1):
                out += quad(X, Y, W, H, a, cell, clip)
                continue
            tw = rnd((us[c + 1] - us[c]) * texw) if c == 1 else 0
            th = rnd((vs[r + 1] - vs[r]) * texh) if r == 1 else 0
            out += tiles(X, Y, W, H, cell, tw, th, a, clip)
    return out

def read_got(lines, fw, fh):
    n = int(next(lines))
    got = []
    for _ in range(n):
        c = [list(map(float, next(lines).split())) for _ in range(4)]
        px = lambda v, size: (v + 1) * size / 2
        # corners bottom-left, bottom-right, top-right, top-left must form a rectangle
        ok = (c[0][1] == c[1][1] and c[2][1] == c[3][1] and c[0][0] == c[3][0] and c[1][0] == c[2][0]
              and c[0][3] == c[1][3] and c[2][3] == c[3][3] and c[0][2] == c[3][2] and c[1][2] == c[2][2])
        if not ok:
            print("not a rectangle:", c)
        got.append((px(c[0][0], fw), px(c[0][1], fh), px(c[2][0], fw), px(c[2][1], fh),
                    c[0][2], c[0][3], c[2][2], c[2][3]))
    return got

lines = iter(sys.stdin.read().split("\n"))
problems = 0
for header in lines:
    if not header:
        continue
    f = header.split()
    kind, name = f[0], f[1]
    v = list(map(float, f[2:]))
    fw, fh = v[0], v[1]
    clip = v[2:6]
    if kind == "quad":
        want = quad(v[6], v[7], v[8], v[9], v[10], v[11:15], clip)
    else:
        x, y, w, h, texw, texh, L, R, B, T, tiling, a = v[6:18]
        want = ninepatch(x, y, w, h, texw, texh, L, R, B, T, tiling, a, clip)
    got = read_got(lines, fw, fh)
    if len(got) != len(want) or any(abs(p - q) > 1e-3 for g, w_ in zip(sorted(got), sorted(want)) for p, q in zip(g, w_)):
        problems += 1
        print(name, "got", sorted(got), "want", sorted(want))
print("ok" if problems == 0 else "%d cases differ" % problems)
)PY";

TEST_F(UiDraw, QuadsAndNinePatchesMatchTheModel) {
  struct QuadCase {
    const char* name;
    int32_t fw, fh;
    UiClip clip;
    float x, y, w, h, alpha;
    UiTexRect tex;
  } quads[] = {
      {"plain", 640, 480, {0, 0, 0, 0}, 10, 20, 30, 40, 1, {0, 0, 1, 1}},
      {"half outside the clip on the left",
       640,
       480,
       {20, 0, 100, 100},
       10,
       20,
       20,
       40,
       1,
       {0.2f, 0.1f, 0.6f, 0.9f}},
      {"cut on all four sides", 320, 240, {15, 25, 10, 20}, 10, 20, 20, 40, 1, {0, 0, 1, 1}},
      {"entirely outside the clip", 640, 480, {100, 100, 50, 50}, 10, 20, 30, 40, 1, {0, 0, 1, 1}},
      {"touching the clip's edge only", 640, 480, {40, 0, 50, 50}, 10, 20, 30, 40, 1, {0, 0, 1, 1}},
      {"clip of width 0 clips nothing", 640, 480, {100, 100, 0, 50}, 10, 20, 30, 40, 1, {0, 0, 1, 1}},
      {"alpha 0.00005 is dropped", 640, 480, {0, 0, 0, 0}, 10, 20, 30, 40, 0.00005f, {0, 0, 1, 1}},
      {"negative alpha beyond the threshold is kept",
       640,
       480,
       {0, 0, 0, 0},
       1,
       2,
       3,
       4,
       -0.5f,
       {0, 0, 1, 1}},
      {"zero width", 640, 480, {0, 0, 0, 0}, 10, 20, 0, 40, 1, {0, 0, 1, 1}},
      {"negative height", 640, 480, {0, 0, 0, 0}, 10, 20, 5, -4, 1, {0, 0, 1, 1}},
      {"flipped texture rectangle cut at the top",
       800,
       600,
       {0, 0, 800, 50},
       0,
       30,
       100,
       40,
       1,
       {1, 1, 0, 0}},
  };
  struct PatchCase {
    const char* name;
    int32_t fw, fh;
    UiClip clip;
    float x, y, w, h;
    int32_t tex_w, tex_h, left, right, bottom, top, tiling;
  } patches[] = {
      {"stretched", 640, 480, {0, 0, 0, 0}, 100, 100, 64, 48, 32, 32, 8, 8, 8, 8, 0},
      {"uneven borders", 640, 480, {0, 0, 0, 0}, 10, 10, 100, 30, 32, 16, 4, 6, 2, 5, 0},
      {"tiled with cut last row and column", 640, 480, {0, 0, 0, 0}, 0, 0, 75, 61, 32, 32, 8, 8, 8, 8, 1},
      {"tiled exactly", 640, 480, {0, 0, 0, 0}, 5, 5, 16 + 48, 16 + 32, 32, 32, 8, 8, 8, 8, 1},
      {"tiled and clipped", 320, 240, {20, 10, 40, 30}, 0, 0, 90, 70, 32, 32, 8, 8, 8, 8, 1},
      {"tile below one pixel stretches", 640, 480, {0, 0, 0, 0}, 0, 0, 50, 50, 8, 8, 4, 4, 4, 4, 1},
      {"smaller than its borders", 640, 480, {0, 0, 0, 0}, 0, 0, 10, 10, 32, 32, 8, 8, 8, 8, 0},
  };
  const UiColour white = {1, 1, 1, 1};
  std::ostringstream in;
  for (const QuadCase& c : quads) {
    ui_draw_set_frame(c.fw, c.fh);
    ui_draw_set_clip(&c.clip);
    UiColour colour = {1, 1, 1, c.alpha};
    int emitted = ui_draw_quad(c.x, c.y, c.w, c.h, &colour, &c.tex);
    std::string got = quads_text();
    EXPECT_EQ(emitted, got[0] != '0') << c.name;
    in << "quad " << std::string(c.name).substr(0, 0) << "q" << (&c - quads) << " " << c.fw << " " << c.fh
       << " " << c.clip.x << " " << c.clip.y << " " << c.clip.width << " " << c.clip.height << " " << c.x
       << " " << c.y << " " << c.w << " " << c.h << " " << c.alpha << " " << c.tex.left << " " << c.tex.bottom
       << " " << c.tex.right << " " << c.tex.top << "\n"
       << got;
  }
  for (const PatchCase& c : patches) {
    ui_draw_set_frame(c.fw, c.fh);
    ui_draw_set_clip(&c.clip);
    NinePatchDesc d = {};
    d.texture = 3;
    d.texture_width = c.tex_w, d.texture_height = c.tex_h;
    d.left = c.left, d.right = c.right, d.bottom = c.bottom, d.top = c.top;
    uint32_t handle = ninepatch_register(&d);
    ASSERT_EQ(ninepatch_set_uv(handle, &d), 1);
    if (c.tiling) ninepatch_set_tiling(handle);
    ui_draw_ninepatch(c.x, c.y, c.w, c.h, handle, &white);
    in << "patch p" << (&c - patches) << " " << c.fw << " " << c.fh << " " << c.clip.x << " " << c.clip.y
       << " " << c.clip.width << " " << c.clip.height << " " << c.x << " " << c.y << " " << c.w << " " << c.h
       << " " << c.tex_w << " " << c.tex_h << " " << c.left << " " << c.right << " " << c.bottom << " "
       << c.top << " " << c.tiling << " 1\n"
       << quads_text();
  }
  std::string out;
  REQUIRE_REFERENCE_PYTHON(QUAD_MODEL, in.str(), &out);
  EXPECT_EQ(out, "ok\n");
}

TEST_F(UiDraw, FlushSetsTheWholeStateAndResets) {
  ui_draw_set_frame(200, 100);
  UiColour c = {1, 0.5f, 0.25f, 0.5f};
  draw_set_flags(DRAW_DEPTH_TEST | DRAW_CULL | DRAW_FOG);
  draw_set_blend(BLEND_ADDITIVE);
  ui_draw_rect(0, 0, 100, 50, &c);  // no texture
  ui_draw_bind(12);
  ui_draw_rect(100, 50, 100, 50, &c);
  ui_draw_bind(12);  // unchanged: no flush
  ui_draw_rect(0, 0, 1, 1, &c);
  ui_draw_flush();
  ui_draw_flush();  // nothing left: no draw
  const std::vector<CapturedDraw>& d = draw_capture_draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].flags, DRAW_SCREEN_SPACE | DRAW_BLEND);
  EXPECT_EQ(d[1].flags, DRAW_SCREEN_SPACE | DRAW_BLEND | DRAW_TEXTURE);
  EXPECT_EQ(d[1].texture, 12);
  for (const CapturedDraw& draw : d) {
    EXPECT_EQ(draw.blend, BLEND_ALPHA);
    EXPECT_EQ(draw.primitive, PRIM_TRIANGLES);
  }
  EXPECT_EQ(d[0].triangles.size(), 6u);
  EXPECT_EQ(d[1].triangles.size(), 12u);
  const RenderVertex& v = d[1].triangles[2];  // top-right of the second quad
  EXPECT_EQ(v.x, 1.0f);
  EXPECT_EQ(v.y, 1.0f);
  EXPECT_EQ(v.z, -1.0f);
  EXPECT_EQ(v.w, 1.0f);
  EXPECT_EQ(v.colour, 0x80FF8040u);
  EXPECT_EQ(draw_vertex_count(), 0u) << "the record is reset after each flush";
}

TEST_F(UiDraw, ColourBytesRoundHalfAwayFromZero) {
  struct Case {
    float channel;
    uint32_t byte;
  } cases[] = {{0.5f, 128}, {0.25f, 64}, {0.1f, 26}, {0.998f, 254}, {1.0f, 255},
               {1.5f, 255}, {-0.2f, 0},  {0.0f, 0},  {NAN, 0},      {0.002f, 1}};
  for (const Case& c : cases) {
    UiColour colour = {c.channel, 0, 0, 0};
    EXPECT_EQ(ui_colour_argb(&colour), c.byte << 16) << c.channel;
    colour = UiColour{0, 0, 0, c.channel};
    EXPECT_EQ(ui_colour_argb(&colour), c.byte << 24) << c.channel;
  }
}

TEST_F(UiDraw, NinePatchRegistry) {
  EXPECT_EQ(ninepatch_get(1), nullptr);
  NinePatchDesc d = {};
  d.texture = 60100;
  d.cells[4] = UiTexRect{0.1f, 0.2f, 0.3f, 0.4f};
  uint32_t a = ninepatch_register(&d), b = ninepatch_register(&d);
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 2u);
  const NinePatch* p = ninepatch_get(a);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->texture, 60100);
  EXPECT_EQ(p->enabled, 1);
  EXPECT_EQ(p->cells[4].right, 0.3f);
  EXPECT_EQ(p->tiling, 0);
  EXPECT_EQ(ninepatch_set_tiling(a), 1);
  EXPECT_EQ(ninepatch_set_flag_b(b), 1);
  EXPECT_EQ(ninepatch_get(a)->tiling, 1);
  EXPECT_EQ(ninepatch_get(a)->flag_b, 0);
  EXPECT_EQ(ninepatch_get(b)->flag_b, 1);
  EXPECT_EQ(ninepatch_set_tiling(9), 0);
  EXPECT_EQ(ninepatch_set_uv(9, &d), 0);
  EXPECT_EQ(ninepatch_set_uv(a, &d), 0) << "a texture size of 0 cannot be cut";
  d.texture_width = 32, d.texture_height = 16, d.left = 8, d.right = 4, d.bottom = 2, d.top = 6;
  ASSERT_EQ(ninepatch_set_uv(a, &d), 1);
  const UiTexRect& centre = ninepatch_get(a)->cells[NINEPATCH_CENTRE];
  EXPECT_FLOAT_EQ(centre.left, 0.25f);
  EXPECT_FLOAT_EQ(centre.right, 0.875f);
  EXPECT_FLOAT_EQ(centre.bottom, 0.125f);
  EXPECT_FLOAT_EQ(centre.top, 0.625f);
  // Handles start again at 1 after a restart.
  ui_draw_shutdown();
  ui_draw_startup();
  EXPECT_EQ(ninepatch_get(a), nullptr);
  EXPECT_EQ(ninepatch_register(&d), 1u);
}

// ---- The draw list.

UiWindow window_record(int32_t layer, int32_t visible, UiClip clip = {}) {
  UiWindow w = {};
  w.layer = layer;
  w.visible = visible;
  w.clip = clip;
  w.width = w.height = 10;
  return w;
}

UiWidget widget_record(int32_t order, uint32_t image = 0, int32_t x = 0, int32_t y = 0) {
  UiWidget w = {};
  w.order = order;
  w.image = image;
  w.x = x, w.y = y, w.width = 10, w.height = 10;
  return w;
}

const char* ORDER_MODEL = R"PY(
import sys
windows = []
for line in sys.stdin.read().split("\n"):
    f = line.split()
    if not f:
        continue
    if f[0] == "w":
        windows.append((int(f[1]), int(f[2]), []))
    else:
        windows[-1][2].append(int(f[1]))
entries = []
for wi in reversed(range(len(windows))):
    layer, visible, orders = windows[wi]
    if not visible:
        continue
    entries.append((layer, 0, len(entries), wi, -1))
    for k, order in enumerate(orders):
        entries.append((layer, order, len(entries), wi, k))
entries = entries[:1024]
for e in sorted(entries, key=lambda e: (e[0], e[1], e[2])):
    print(e[3], e[4])
)PY";

TEST_F(UiDraw, DrawOrderMatchesSortedEntries) {
  ui_draw_set_frame(640, 480);
  std::ostringstream in;
  random_seed(7);
  std::vector<UiWindow*> windows;
  std::vector<std::vector<UiWidget*>> widgets;
  for (int wi = 0; wi < 60; wi++) {
    int32_t layer = random_int(0, 2), visible = random_int(0, 5) != 0;
    UiWindow record = window_record(layer, visible);
    UiWindow* w = ui_frame_declare_window(&record);
    in << "w " << w->layer << " " << w->visible << "\n";
    windows.push_back(w);
    widgets.emplace_back();
    for (int k = random_int(0, 50); k > 0; k--) {
      UiWidget item = widget_record(random_int(-1, 2));
      UiWidget* widget = ui_frame_declare_widget(w, &item);
      in << "x " << widget->order << "\n";
      widgets.back().push_back(widget);
    }
  }
  ui_draw_list(nullptr);
  const UiDrawEntry* entries = nullptr;
  uint32_t n = ui_draw_list_entries(&entries);
  std::ostringstream got;
  for (uint32_t i = 0; i < n; i++) {
    int wi = -1, k = -1;
    for (size_t j = 0; j < windows.size(); j++)
      if (windows[j] == entries[i].window) wi = (int)j;
    for (size_t j = 0; entries[i].widget && j < widgets[wi].size(); j++)
      if (widgets[wi][j] == entries[i].widget) k = (int)j;
    got << wi << " " << k << "\n";
  }
  std::string want;
  REQUIRE_REFERENCE_PYTHON(ORDER_MODEL, in.str(), &want);
  EXPECT_EQ(n, UI_DRAW_ENTRY_LIMIT) << "enough entries to reach the limit";
  EXPECT_EQ(got.str(), want);
}

// Entries without a style draw a white quad of their image; a flush comes exactly where the
// texture changes from one entry to the next, with the texture flag only for a texture.
TEST_F(UiDraw, OneFlushPerTextureChange) {
  ui_draw_set_frame(640, 480);
  UiWindow record = window_record(1, 1);
  UiWindow* w = ui_frame_declare_window(&record);
  const uint32_t images[] = {5, 5, 0, 7, 7, 7, 5, 0, 0};
  for (int i = 0; i < 9; i++) {
    UiWidget item = widget_record(i + 1, images[i], 20 * i, 0);
    ui_frame_declare_widget(w, &item);
  }
  ui_draw_list(nullptr);
  // The window's own entry (no image) comes first.
  struct Run {
    int32_t texture;
    size_t quads;
  } runs[] = {{0, 1}, {5, 2}, {0, 1}, {7, 3}, {5, 1}, {0, 2}};
  const std::vector<CapturedDraw>& d = draw_capture_draws();
  ASSERT_EQ(d.size(), sizeof runs / sizeof runs[0]);
  for (size_t i = 0; i < d.size(); i++) {
    EXPECT_EQ(d[i].texture, runs[i].texture) << i;
    EXPECT_EQ(d[i].flags, DRAW_SCREEN_SPACE | DRAW_BLEND | (runs[i].texture ? DRAW_TEXTURE : 0u)) << i;
    EXPECT_EQ(d[i].triangles.size(), 6 * runs[i].quads) << i;
    for (const RenderVertex& v : d[i].triangles) EXPECT_EQ(v.colour, 0xFFFFFFFFu);
  }
}

// A styled entry: border in the state's colour, title strip inside the border, body below
// it; entries wholly outside their window's clip draw nothing.
TEST_F(UiDraw, StyledEntriesAndClips) {
  ui_draw_set_frame(100, 100);
  UiStyle style = {};
  style.border_width = 2;
  style.border_colour = {1, 0, 0, 1};
  style.border_hovered_colour = {0, 1, 0, 1};
  style.border_pressed_colour = {0, 0, 1, 1};
  style.title_height = 5;
  style.title_colour = {1, 1, 0, 1};
  style.fill_colour = {0.5f, 0.5f, 0.5f, 1};
  style.hovered_fill_colour = {0, 0.5f, 0.5f, 1};
  style.pressed_fill_colour = {0.5f, 0, 0.5f, 1};
  UiWindow record = window_record(0, 1, UiClip{0, 0, 50, 100});
  record.visible = 0;  // only its widgets would draw, and they do not when it is hidden
  ui_frame_declare_window(&record);
  record.visible = 1;
  UiWindow* w = ui_frame_declare_window(&record);
  w->style = nullptr;
  w->width = w->height = 0;  // the window itself draws nothing
  struct Case {
    uint32_t state;
    uint32_t border, fill;
  } cases[] = {{0, 0xFFFF0000u, 0xFF808080u},
               {UI_STATE_HOVERED, 0xFF00FF00u, 0xFF008080u},
               {UI_STATE_HELD, 0xFF0000FFu, 0xFF800080u},
               {UI_STATE_PRESSED | UI_STATE_HOVERED, 0xFF0000FFu, 0xFF800080u}};
  for (int i = 0; i < 4; i++) {
    UiWidget item = widget_record(i, 0, 0, 25 * i);
    item.width = 20, item.height = 20;
    item.style = &style;
    item.state = cases[i].state;
    ui_frame_declare_widget(w, &item);
  }
  UiWidget outside = widget_record(9, 0, 60, 0);
  outside.style = &style;
  ui_frame_declare_widget(w, &outside);
  ui_draw_list(nullptr);
  const std::vector<CapturedDraw>& d = draw_capture_draws();
  ASSERT_EQ(d.size(), 1u) << "all untextured: one batch";
  ASSERT_EQ(d[0].triangles.size(), 4u * 3 * 6) << "three quads for each widget inside the clip";
  auto pixel = [](const RenderVertex& v, int axis) { return ((axis ? v.y : v.x) + 1) * 50; };
  for (int i = 0; i < 4; i++) {
    const RenderVertex* border = &d[0].triangles[18 * i];
    const RenderVertex* title = border + 6;
    const RenderVertex* body = border + 12;
    float y = 25.0f * i;
    EXPECT_EQ(border[0].colour, cases[i].border) << i;
    EXPECT_EQ(title[0].colour, 0xFFFFFF00u) << i;
    EXPECT_EQ(body[0].colour, cases[i].fill) << i;
    EXPECT_FLOAT_EQ(pixel(border[0], 1), y);
    EXPECT_FLOAT_EQ(pixel(border[2], 1), y + 20);
    EXPECT_FLOAT_EQ(pixel(title[0], 0), 2);
    EXPECT_FLOAT_EQ(pixel(title[2], 0), 18);
    EXPECT_FLOAT_EQ(pixel(title[0], 1), y + 13);
    EXPECT_FLOAT_EQ(pixel(title[2], 1), y + 18);
    EXPECT_FLOAT_EQ(pixel(body[0], 1), y + 2);
    EXPECT_FLOAT_EQ(pixel(body[2], 1), y + 13);
  }
}

// ---- Text through the real asset cache.

class UiText : public UiDraw {
 protected:
  void SetUp() override {
    UiDraw::SetUp();
    std::vector<uint8_t> bytes = test_font_fixed_bytes();
    ArchiveSource source = {3, bytes.data(), bytes.size()};
    size_t size = 0;
    uint8_t* image = archive_build(&source, 1, 1, &size, nullptr, 0);
    test_write_file(dir / "font.dat", std::string((const char*)image, size));
    mem_free(image);
    event_bus_start();
    assets_startup(dir.path.c_str());
    AssetHandle h;
    asset_request_wait(&h, ASSET_FONT, 3);
    font = (const Font*)h.object;
    style.font = 3;
    style.text_colour = {0, 0, 0, 1};
    ui_draw_set_frame(200, 100);
  }
  void TearDown() override {
    assets_shutdown();
    event_bus_stop();
    for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
    UiDraw::TearDown();
  }
  // Lays text out in mode 0 and declares it as a label at (x, y).
  UiWidget* label(UiWindow* w, const char* text, int32_t x, int32_t y,
                  const UiCallbacks* callbacks = nullptr) {
    int32_t width = 0, height = 0;
    uint32_t count = 0;
    uint32_t* run = (uint32_t*)mem_alloc(256 * sizeof(uint32_t));
    runs.push_back(run);
    EXPECT_EQ(text_layout(font, 0, &width, &height, text, run, 256, &count), 0);
    UiWidget item = widget_record(1, 0, x, y);
    item.width = width, item.height = height;
    item.text = run, item.text_count = count;
    item.style = &style, item.callbacks = callbacks, item.id = 44;
    return ui_frame_declare_widget(w, &item);
  }
  ~UiText() override {
    for (uint32_t* r : runs) mem_free(r);
  }
  TestTempDir dir{"ui_text"};
  const Font* font = nullptr;
  UiStyle style = {};
  std::vector<uint32_t*> runs;
};

// Glyph corners in pixels: left, bottom, right, top, and the texture corners.
struct DrawnGlyph {
  float l, b, r, t, u0, v0, u1, v1;
  uint32_t colour;
};
std::vector<DrawnGlyph> drawn_glyphs(int32_t fw, int32_t fh) {
  std::vector<DrawnGlyph> out;
  for (const CapturedDraw& d : draw_capture_draws())
    for (size_t i = 0; i + 6 <= d.triangles.size(); i += 6) {
      const RenderVertex &a = d.triangles[i], &c = d.triangles[i + 2];
      out.push_back({(a.x + 1) * fw / 2, (a.y + 1) * fh / 2, (c.x + 1) * fw / 2, (c.y + 1) * fh / 2, a.u, a.v,
                     c.u, c.v, a.colour});
    }
  return out;
}

TEST_F(UiText, GlyphsSitOnBaselinesOneLineApart) {
  UiWindow record = window_record(0, 1);
  record.width = record.height = 0;
  UiWindow* w = ui_frame_declare_window(&record);
  UiWidget* l = label(w, "ab y\nc\xE2\x82\xAC", 10, 50);
  ASSERT_EQ(l->height, 20);
  ui_draw_list(nullptr);
  const std::vector<CapturedDraw>& d = draw_capture_draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].texture, (int32_t)TEST_FONT_ATLAS);
  std::vector<DrawnGlyph> g = drawn_glyphs(200, 100);
  ASSERT_EQ(g.size(), 5u);
  // Ascent 12 below the block's top (70): the first baseline is 58, the second 48.
  const float want[5][4] = {
      {10, 58, 15, 65}, {16, 58, 21, 65}, {26, 56, 31, 65}, {10, 48, 15, 55}, {16, 48, 22, 55}};
  const uint32_t code_points[5] = {'a', 'b', 'y', 'c', 0x20AC};
  for (int i = 0; i < 5; i++) {
    EXPECT_NEAR(g[i].l, want[i][0], 1e-4) << i;
    EXPECT_NEAR(g[i].b, want[i][1], 1e-4) << i;
    EXPECT_NEAR(g[i].r, want[i][2], 1e-4) << i;
    EXPECT_NEAR(g[i].t, want[i][3], 1e-4) << i;
    const Glyph* glyph = font_glyph(font, code_points[i]);
    EXPECT_EQ(g[i].u0, glyph->uv[GLYPH_BOTTOM_LEFT][0]);
    EXPECT_EQ(g[i].v0, glyph->uv[GLYPH_BOTTOM_LEFT][1]);
    EXPECT_EQ(g[i].u1, glyph->uv[GLYPH_TOP_RIGHT][0]);
    EXPECT_EQ(g[i].v1, glyph->uv[GLYPH_TOP_RIGHT][1]);
    EXPECT_EQ(g[i].colour, 0xFF000000u);
  }
}

UiColour red_links(uint32_t id, uint32_t link, UiColour base) {
  EXPECT_EQ(id, 44u);
  EXPECT_EQ(base.a, 1.0f);
  return link == 5 ? UiColour{1, 0, 0, 1} : UiColour{0, 0, 1, 1};
}

UiColour fade_first(const UiWidget*, uint32_t index, uint32_t, UiColour colour) {
  if (index == 0) colour.a = 0.5f;
  return colour;
}

// Characters inside a link take the slot's colour up to the closing marker; a negative
// advance draws as 0, as layout measured it; the per-character callback sees every glyph.
TEST_F(UiText, LinkColoursAndAdvances) {
  UiWindow record = window_record(0, 1);
  record.width = record.height = 0;
  UiWindow* w = ui_frame_declare_window(&record);
  UiCallbacks callbacks = {};
  callbacks.link_colour = red_links;
  UiWidget* l = label(w,
                      "x\xF3\xB0\x80\x85"
                      "ai\xEE\x80\x80"
                      "c\xF3\xB0\x80\x87"
                      "d",
                      0, 0, &callbacks);
  label(w,
        "\xF3\xB0\x80\x85"
        "e",
        0, 30);  // no slot: the style's colour
  ui_draw_list(fade_first);
  std::vector<DrawnGlyph> g = drawn_glyphs(200, 100);
  ASSERT_EQ(g.size(), 6u);
  const uint32_t colours[6] = {0x80000000u, 0xFFFF0000u, 0xFFFF0000u, 0xFF000000u, 0xFF0000FFu, 0xFF000000u};
  const float lefts[6] = {0, 6, 12, 12, 18, 0};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(g[i].colour, colours[i]) << i;
    EXPECT_NEAR(g[i].l, lefts[i], 1e-4) << i;
  }
  // The pen ends where layout's measure does.
  EXPECT_NEAR(g[4].l + 6, (float)l->width, 1e-4);
}

TEST_F(UiText, ClippedToTheWindowAndSkippedWithoutItsFont) {
  UiWindow record = window_record(0, 1, UiClip{0, 0, 9, 100});
  record.width = record.height = 0;
  UiWindow* w = ui_frame_declare_window(&record);
  label(w, "abc", 0, 0);
  UiStyle missing = style;
  missing.font = 99;
  UiWidget* other = label(w, "abc", 0, 40);
  other->style = &missing;
  ui_draw_list(nullptr);
  std::vector<DrawnGlyph> g = drawn_glyphs(200, 100);
  ASSERT_EQ(g.size(), 2u) << "a whole, b cut at the clip, c dropped; the other label has no font";
  EXPECT_NEAR(g[1].l, 6, 1e-4);
  EXPECT_NEAR(g[1].r, 9, 1e-4);
  const Glyph* b = font_glyph(font, 'b');
  float du = b->uv[GLYPH_TOP_RIGHT][0] - b->uv[GLYPH_BOTTOM_LEFT][0];
  EXPECT_NEAR(g[1].u1, b->uv[GLYPH_BOTTOM_LEFT][0] + 3.0f / 5.0f * du, 1e-5) << "cut in proportion";
}

}  // namespace
