// Placement arithmetic against independent models: anchors and their inverse over random
// rectangles, the resize zones of points around windows, and list windows' offsets against a
// Python model of stacking and scrolling.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/math_test_support.h"
#include "support/ui_kit.h"
#include "ui/ui.h"
#include "ui/ui_anchor.h"
#include "ui/ui_style.h"

namespace {

const char* ANCHOR_MODEL = R"PY(
import sys
def half(v):  # integer halves towards zero
    return -((-v) // 2) if v < 0 else v // 2
for line in sys.stdin:
    a, x, y, w, h, px, py, pw, ph = map(int, line.split())
    col = [0, 0, 0, 1, 1, 1, 2, 2, 2][a]
    row = [0, 1, 2, 0, 1, 2, 0, 1, 2][a]
    left = {0: px, 1: px + pw - w, 2: px + half(pw - w)}[col]
    bottom = {0: py + ph - h, 1: py, 2: py + half(ph - h)}[row]
    print(left + x, bottom + y)
)PY";

TEST(UiAnchor, PlacementMatchesTheTableAndTheInverseIsExact) {
  std::mt19937 rng(23);
  std::ostringstream in;
  std::vector<std::vector<int32_t>> rows;
  for (int i = 0; i < 900; i++) {
    auto r = [&](int32_t lo, int32_t hi) { return lo + (int32_t)(rng() % (uint32_t)(hi - lo + 1)); };
    std::vector<int32_t> row = {i % 9,      r(-300, 300), r(-300, 300), r(0, 401), r(0, 401),
                                r(-50, 50), r(-50, 50),   r(0, 333),    r(0, 333)};
    rows.push_back(row);
    for (int32_t v : row) in << v << " ";
    in << "\n";
  }
  std::string out;
  REQUIRE_REFERENCE_PYTHON(ANCHOR_MODEL, in.str(), &out);
  std::istringstream expected(out);
  for (const auto& row : rows) {
    UiRect parent = {row[5], row[6], row[7], row[8]};
    int32_t x, y, ex = 0, ey = 0, bx, by;
    ui_anchor_place(row[0], row[1], row[2], row[3], row[4], &parent, &x, &y);
    expected >> ex >> ey;
    ASSERT_EQ(x, ex) << "anchor " << row[0];
    ASSERT_EQ(y, ey) << "anchor " << row[0];
    ui_anchor_unplace(row[0], x, y, row[3], row[4], &parent, &bx, &by);
    ASSERT_EQ(bx, row[1]);
    ASSERT_EQ(by, row[2]);
  }
}

TEST(UiResizeZone, PointsAroundWindowsFallInTheirZones) {
  struct Case {
    const char* what;
    int32_t x, y, w, h, border, px, py;
    int zone;
  };
  // A 200 x 100 window at (100, 100) with a border of 6: grips of 6.
  const Case cases[] = {
      {"bottom-left corner pixel", 100, 100, 200, 100, 6, 100, 100, 2},
      {"bottom-right corner pixel", 100, 100, 200, 100, 6, 299, 100, 5},
      {"top-left corner pixel", 100, 100, 200, 100, 6, 100, 199, 1},
      {"top-right corner pixel", 100, 100, 200, 100, 6, 299, 199, 4},
      {"inside the corner circle", 100, 100, 200, 100, 6, 103, 104, 2},
      {"outside the circle, on the left band", 100, 100, 200, 100, 6, 104, 105, 3},
      {"left band", 100, 100, 200, 100, 6, 105, 150, 3},
      {"just inside the left band", 100, 100, 200, 100, 6, 106, 150, 0},
      {"right band", 100, 100, 200, 100, 6, 294, 150, 6},
      {"bottom band", 100, 100, 200, 100, 6, 200, 105, 8},
      {"top band", 100, 100, 200, 100, 6, 200, 194, 7},
      {"middle", 100, 100, 200, 100, 6, 200, 150, 0},
      {"left of the window", 100, 100, 200, 100, 6, 99, 150, 0},
      {"above the window", 100, 100, 200, 100, 6, 200, 200, 0},
      {"a thin border still grips 5", 100, 100, 200, 100, 0, 104, 150, 3},
      {"a thick border grips more", 100, 100, 200, 100, 12, 111, 150, 3},
      // 24 x 16: a quarter of the height is 4.
      {"small window: grip 4 from the bottom", 0, 0, 24, 16, 6, 12, 3, 8},
      {"small window: 4 up is inside", 0, 0, 24, 16, 6, 12, 4, 0},
      // 3 x 3: a quarter is 0, the grip stays 1.
      {"tiny window: the corner pixel", 0, 0, 3, 3, 6, 0, 0, 2},
      {"tiny window: its middle", 0, 0, 3, 3, 6, 1, 1, 0},
      {"empty window", 0, 0, 0, 10, 6, 0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui_resize_zone(c.x, c.y, c.w, c.h, c.border, c.px, c.py), c.zone) << c.what;
}

// The list window of the next test: its heights, spacing, indent, height and fraction.
struct ListCase {
  std::vector<int32_t> heights;
  int32_t spacing, indent, window_height;
  float fraction;
};
const ListCase* g_list;
UiStyle g_list_style;

void list_scene(void) {
  ui_style_push_record(&g_list_style);
  ui_kit_item(8)->scroll = g_list->fraction;
  ui_window_begin(8, UI_WINDOW_LIST, 40, 30, 200, g_list->window_height, 0, 1, ui_kit_callbacks());
  for (int32_t h : g_list->heights) ui_box(0, 0, 50, h, 0, 1);
  ui_window_end();
  ui_style_pop();
}

const char* LIST_MODEL = R"PY(
import sys
for line in sys.stdin:
    f = line.split()
    spacing, indent, wh, frac = int(f[0]), int(f[1]), int(f[2]), float(f[3])
    heights = [int(v) for v in f[4:]]
    content = sum(heights) + spacing * len(heights)
    if content > 0:
        content += spacing
    hidden = content - wh
    if hidden <= 0:
        hidden, frac = 0, 0.0
    offset = int(frac * hidden + 0.5) if frac * hidden >= 0 else -int(-frac * hidden + 0.5)
    offset = max(0, min(hidden, offset))
    frac = min(1.0, offset / hidden) if hidden > 0 else 0.0
    run, ys = 0, []
    for h in heights:
        ys.append(30 + run + spacing - offset)
        run += spacing + h
    print('%.6f' % frac, ' '.join('%d %d' % (40 + indent, y) for y in ys))
)PY";

TEST(UiList, OffsetsAndFractionsMatchAModel) {
  std::mt19937 rng(2310);
  std::vector<ListCase> cases = {
      {{20, 20, 20}, 2, 0, 100, 0.7f},  // nothing hidden: fraction 0
      {{20, 20, 20}, 2, 3, 50, 0.5f},   // half of 18 hidden pixels
      {{20, 20, 20}, 2, 3, 50, 1.5f},   // past the end
      {{20, 20, 20}, 2, 3, 50, -0.5f},  // before the start
      {{}, 4, 0, 50, 0.5f},             // empty
      {{30, 10, 25, 5}, 0, 0, 30, 0.33f},
  };
  for (int i = 0; i < 60; i++) {
    ListCase c = {};
    int n = (int)(rng() % 9);
    for (int k = 0; k < n; k++) c.heights.push_back((int32_t)(rng() % 40));
    c.spacing = (int32_t)(rng() % 6);
    c.indent = (int32_t)(rng() % 10);
    c.window_height = 10 + (int32_t)(rng() % 150);
    c.fraction = (float)(rng() % 1300) / 1000.0f - 0.1f;
    cases.push_back(c);
  }
  std::ostringstream in;
  for (const ListCase& c : cases) {
    in << c.spacing << " " << c.indent << " " << c.window_height << " " << std::to_string(c.fraction);
    for (int32_t h : c.heights) in << " " << h;
    in << "\n";
  }
  std::string out;
  REQUIRE_REFERENCE_PYTHON(LIST_MODEL, in.str(), &out);
  std::istringstream expected(out);
  ui_kit_start(UiKitOptions{640, 480, 0, 0});
  for (const ListCase& c : cases) {
    std::string line;
    std::getline(expected, line);
    g_list = &c;
    g_list_style = UiStyle{};
    g_list_style.list_spacing = c.spacing;
    g_list_style.list_indent = c.indent;
    ui_kit_clear_calls();
    ui_kit_frame(UiKitRow{}, list_scene);
    // The model's fraction and positions; the kit lists the window first, then its boxes.
    std::string got;
    char buffer[64];
    const std::vector<UiKitCall>& calls = ui_kit_calls();
    ASSERT_FALSE(calls.empty());
    snprintf(buffer, sizeof buffer, "%.6f", calls.back().f);
    got = buffer;
    std::istringstream entries(ui_kit_entries_text());
    std::string entry;
    std::getline(entries, entry);  // the window
    while (std::getline(entries, entry)) {
      int layer, order;
      unsigned id;
      int x, y, w, h;
      sscanf(entry.c_str(), "%d %d %u %d %d %d %d", &layer, &order, &id, &x, &y, &w, &h);
      got += " " + std::to_string(x) + " " + std::to_string(y);
    }
    if (c.heights.empty()) got += " ";
    EXPECT_EQ(got, line) << "spacing " << c.spacing << " window " << c.window_height << " fraction "
                         << c.fraction;
  }
  ui_kit_stop();
}

}  // namespace
