// Windows and widgets driven by scripted frames through the real input layer: placement and
// clamping, the click/drag threshold, which window gets the mouse, the order of callbacks,
// dragging and resizing, sliders, the style stack, and calls outside a frame.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/ui_kit.h"
#include "ui/ui.h"
#include "ui/ui_frame.h"
#include "ui/ui_style.h"

namespace {

UiKitRow at(int32_t x, int32_t y, uint32_t buttons = 0) {
  UiKitRow r = {};
  r.x = x;
  r.y = y;
  r.buttons = buttons;
  return r;
}

const uint32_t L = UI_KIT_LEFT;
const uint32_t ALL_SLOTS = 0x1FFFFF;

struct UiWidgets : ::testing::Test {
  void SetUp() override { ui_kit_start(UiKitOptions{640, 480, 0, 0}); }
  void TearDown() override { ui_kit_stop(); }
};

// What the declare functions of each test read.
struct Scene {
  uint32_t flags;
  int32_t x, y, w, h, anchor;
  int32_t layer_a, layer_b;
  uint32_t style;
};
Scene g_scene;

const UiCallbacks* kit(void) { return ui_kit_callbacks(); }

TEST_F(UiWidgets, WindowsArePlacedByAnchorAndClampedIntoTheFrame) {
  struct Case {
    const char* what;
    Scene scene;
    const char* entry;   // the window's draw entry
    const char* placed;  // slot 1: id x y w h in the anchor's terms
  };
  const Case cases[] = {
      {"larger than the frame: clamped to its size at the origin",
       {0, 50, 50, 1000, 900, 0, 0, 0, 0},
       "0 0 w1 0 0 640 480\n",
       "1 1 0 0 640 480\n"},
      {"top-left anchor counts down from the top",
       {0, 10, -20, 100, 50, 0, 0, 0, 0},
       "0 0 w1 10 410 100 50\n",
       "1 1 10 -20 100 50\n"},
      {"centre anchor with integer halves",
       {0, 0, 0, 101, 51, 8, 0, 0, 0},
       "0 0 w1 269 214 101 51\n",
       "1 1 0 0 101 51\n"},
      {"pushed past the right edge comes back, in the anchor's terms",
       {0, 600, 5, 100, 50, 1, 0, 0, 0},
       "0 0 w1 540 5 100 50\n",
       "1 1 540 5 100 50\n"},
      {"below the frame: the lower bound",
       {0, -30, -40, 100, 50, 4, 0, 0, 0},
       "0 0 w1 510 0 100 50\n",
       "1 1 -30 0 100 50\n"},
      {"no clamping when asked",
       {UI_WINDOW_NO_CLAMP, -30, -40, 1000, 50, 1, 0, 0, 0},
       "0 0 w1 -30 -40 1000 50\n",
       "1 1 -30 -40 1000 50\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_scene = c.scene;
    ui_kit_clear_calls();
    ui_kit_frame(at(-5, -5), [] {
      ui_window_begin(1, g_scene.flags, g_scene.x, g_scene.y, g_scene.w, g_scene.h, 0, g_scene.anchor, kit());
      ui_window_end();
    });
    std::string placed = ui_kit_calls_text(1u << 1);
    EXPECT_EQ(ui_kit_entries_text(), c.entry);
    EXPECT_EQ(placed.substr(placed.find(' ') + 1), c.placed);
  }
}

void one_button(void) {
  ui_window_begin(1, 0, 0, 0, 640, 480, 0, 1, nullptr);
  ui_button(7, 100, 100, 40, 20, 0, 1, kit());
  ui_window_end();
}

TEST_F(UiWidgets, AMoveUnderEightPixelsIsAClickAndEightIsADrag) {
  struct Case {
    int32_t dx, dy;
    uint32_t held, released;  // the state while held after the move, and on release
  };
  const Case cases[] = {
      {7, 0, UI_STATE_HELD, UI_STATE_CLICKED},
      {0, -7, UI_STATE_HELD, UI_STATE_CLICKED},
      {8, 0, UI_STATE_HELD | UI_STATE_DRAGGED, UI_STATE_CLICKED | UI_STATE_DRAGGED},
      {-4, 5, UI_STATE_HELD, UI_STATE_CLICKED},                                         // 6.4 rounds to 6
      {5, 6, UI_STATE_HELD | UI_STATE_DRAGGED, UI_STATE_CLICKED | UI_STATE_DRAGGED},    // 7.8 rounds to 8
      {0, -11, UI_STATE_HELD | UI_STATE_DRAGGED, UI_STATE_CLICKED | UI_STATE_DRAGGED},  // out, but dragging
      {0, 0, UI_STATE_HELD, UI_STATE_CLICKED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
    ui_kit_clear_calls();
    ui_kit_run(
        {at(0, 0), at(120, 110), at(120, 110, L), at(120 + c.dx, 110 + c.dy, L), at(120 + c.dx, 110 + c.dy)},
        one_button);
    std::vector<uint32_t> states;
    for (const UiKitCall& call : ui_kit_calls())
      if (call.slot == 0) states.push_back((uint32_t)call.a[0]);
    ASSERT_EQ(states.size(), 4u) << ui_kit_calls_text(1);
    EXPECT_EQ(states[0], (uint32_t)UI_STATE_HOVERED);
    EXPECT_EQ(states[1], (uint32_t)UI_STATE_PRESSED);
    EXPECT_EQ(states[2], c.held);
    EXPECT_EQ(states[3], c.released);
  }
}

void two_windows(void) {
  ui_window_begin(1, 0, 0, 0, 200, 200, g_scene.layer_a, 1, nullptr);
  ui_button(10, 0, 0, 200, 200, 0, 1, kit());
  ui_window_end();
  ui_window_begin(2, 0, 100, 100, 200, 200, g_scene.layer_b, 1, nullptr);
  ui_button(20, 0, 0, 200, 200, 0, 1, kit());
  ui_window_end();
}

TEST_F(UiWidgets, TheGreaterLayerGetsTheMouseAndTheLaterOfEqualOnes) {
  struct Case {
    int32_t layer_a, layer_b;
    uint32_t winner;
  };
  const Case cases[] = {{5, 1, 10}, {1, 5, 20}, {3, 3, 20}, {-2, -3, 10}};
  for (const Case& c : cases) {
    g_scene.layer_a = c.layer_a, g_scene.layer_b = c.layer_b;
    ui_kit_clear_calls();
    ui_kit_frame(at(150, 150), two_windows);
    char expected[64];
    snprintf(expected, sizeof expected, "%u 0 %u 8\n", ui_kit_frame_number(), c.winner);
    EXPECT_EQ(ui_kit_calls_text(1u << 0), expected) << c.layer_a << " " << c.layer_b;
    ui_kit_frame(at(-1, -1), two_windows);  // away, so the next case starts afresh
  }
}

// A pass-through window above another (the chat's logs over the world's windows): the mouse
// goes through it, even though it has callbacks, except onto its own interactive widget.
void pass_through_over(void) {
  ui_window_begin(1, 0, 0, 0, 200, 200, 1, 1, nullptr);
  ui_button(10, 0, 0, 200, 200, 0, 1, kit());
  ui_window_end();
  ui_window_begin(2, UI_WINDOW_PASS_THROUGH, 100, 100, 200, 200, 5, 1, kit());
  ui_button(20, 0, 0, 20, 20, 0, 1, kit());
  ui_window_end();
}

TEST_F(UiWidgets, APassThroughWindowTakesTheMouseOnlyOnItsWidgets) {
  struct Case {
    int32_t x, y;
    uint32_t winner;
  };
  const Case cases[] = {{150, 150, 10}, {105, 105, 20}, {50, 50, 10}};
  for (const Case& c : cases) {
    ui_kit_clear_calls();
    ui_kit_frame(at(c.x, c.y), pass_through_over);
    char expected[64];
    snprintf(expected, sizeof expected, "%u 0 %u 8\n", ui_kit_frame_number(), c.winner);
    EXPECT_EQ(ui_kit_calls_text(1u << 0), expected) << c.x << " " << c.y;
    ui_kit_frame(at(-1, -1), pass_through_over);
  }
}

TEST_F(UiWidgets, WidgetsCompeteByOrderThenDeclaration) {
  struct Case {
    int32_t order_a, order_b;
    uint32_t winner;
  };
  static const Case cases[] = {{2, 1, 1}, {1, 2, 2}, {4, 4, 2}};
  static const Case* current;
  for (const Case& c : cases) {
    current = &c;
    ui_kit_clear_calls();
    ui_kit_frame(at(50, 50), [] {
      ui_window_begin(9, 0, 0, 0, 200, 200, 0, 1, nullptr);
      ui_button(1, 0, 0, 100, 100, current->order_a, 1, kit());
      ui_box(0, 0, 100, 100, 99, 1);  // passive: never hit
      ui_button(2, 40, 40, 100, 100, current->order_b, 1, kit());
      ui_window_end();
    });
    char expected[64];
    snprintf(expected, sizeof expected, "%u 0 %u 8\n", ui_kit_frame_number(), c.winner);
    EXPECT_EQ(ui_kit_calls_text(1u << 0), expected);
    ui_kit_frame(at(-1, -1), nullptr);
  }
}

UiStyle g_drag_style;

void toggle_scene(void) {
  UiKitItem* item = ui_kit_item(5);
  ui_window_begin(1, 0, 0, 0, 640, 480, 0, 1, kit());
  ui_style_push_record(&g_drag_style);
  ui_toggle(5, 0, item->x, item->y, 40, 20, 0, 1, kit());
  ui_style_pop();
  ui_window_end();
}

// A draggable toggle at (100, 100) whose moves are kept by the kit's model.
void start_toggle(void) {
  g_drag_style = UiStyle{};
  g_drag_style.flags = UI_STYLE_DRAGGABLE;
  ui_kit_item(5)->x = 100;
  ui_kit_item(5)->y = 100;
}

TEST_F(UiWidgets, CallbacksRunInOrderForPressDragReleaseAndToggle) {
  start_toggle();
  // Frame 1 hover, 2 press, 3 held, 4 dragged by (10, 4), 5 released.
  ui_kit_run({at(110, 105), at(110, 105, L), at(111, 105, L), at(120, 109, L), at(120, 109)}, toggle_scene);
  const uint32_t widget_slots = (1u << 0) | (1u << 2) | (1u << 3) | (1u << 4) | (1u << 18);
  EXPECT_EQ(ui_kit_calls_text(widget_slots),
            "1 0 5 8\n"
            "2 18 5 1\n"  // captured on the press
            "2 0 5 2\n"
            "2 3 0\n"  // the toggle's pressed
            "2 3 0\n"  // and its window's
            "3 0 5 1\n"
            "4 0 5 17\n"
            "4 4 5 110 104\n"  // the new place in the window's terms
            "5 18 5 0\n"
            "5 2 5 1\n"  // the toggle proposes checked
            "5 0 5 20\n"
            "5 4 5 110 104\n");  // the release frame's place, confirmed
}

TEST_F(UiWidgets, DraggingFollowsTheMouseClampedToTheWindowAndARefusalKeepsThePlace) {
  start_toggle();
  // Dragged left far past the window's edge: held at x = 0 of the window.
  ui_kit_run({at(110, 105), at(110, 105, L), at(90, 105, L), at(-400, 120, L)}, toggle_scene);
  EXPECT_EQ(ui_kit_calls_text(1u << 4), "3 4 5 80 100\n4 4 5 0 115\n");
  ui_kit_item(5)->move_answer = 0;
  ui_kit_clear_calls();
  ui_kit_run({at(-300, 120, L), at(-300, 120)}, toggle_scene);
  // Still recognised at the last accepted place: its release ends the drag.
  EXPECT_EQ(ui_kit_calls_text((1u << 0) | (1u << 4)), "5 0 5 17\n5 4 5 0 115\n6 0 5 20\n6 4 5 0 115\n");
}

void resizable(void) {
  UiKitItem* item = ui_kit_item(3);
  ui_style_push_record(&g_drag_style);
  ui_window_begin(3, 0, item->x, item->y, item->width, item->height, 0, 1, kit());
  ui_window_end();
  ui_style_pop();
}

TEST_F(UiWidgets, ResizingMovesTheEdgesOfThePressZoneAndARefusalRestores) {
  g_drag_style = UiStyle{};
  g_drag_style.flags = UI_STYLE_RESIZABLE;
  g_drag_style.border_width = 6;
  *ui_kit_item(3) = UiKitItem{};
  ui_kit_item(3)->toggle_answer = -1, ui_kit_item(3)->move_answer = 1, ui_kit_item(3)->resize_answer = 1;
  ui_kit_item(3)->x = 100, ui_kit_item(3)->y = 100, ui_kit_item(3)->width = 200, ui_kit_item(3)->height = 100;
  // Press on the bottom-right corner pixel (299, 100), pull right 20 and down 10.
  ui_kit_run({at(299, 100), at(299, 100, L), at(319, 90, L), at(319, 90)}, resizable);
  EXPECT_EQ(ui_kit_calls_text(1u << 5), "3 5 3 100 90 220 110\n4 5 3 100 90 220 110\n");
  EXPECT_EQ(ui_kit_entries_text(), "0 0 w3 100 90 220 110\n");
  // The top edge, refused: the window stays.
  ui_kit_item(3)->resize_answer = 0;
  ui_kit_clear_calls();
  ui_kit_run({at(200, 199), at(200, 199, L), at(200, 230, L), at(200, 240, L), at(200, 240)}, resizable);
  EXPECT_EQ(ui_kit_calls_text(1u << 5), "7 5 3 100 90 220 141\n8 5 3 100 90 220 151\n9 5 3 100 90 220 151\n");
  EXPECT_EQ(ui_kit_entries_text(), "0 0 w3 100 90 220 110\n");
}

UiStyle g_slider_style;

void slider_scene(void) {
  UiKitItem* s = ui_kit_item(4);
  ui_window_begin(1, 0, 0, 0, 640, 480, 0, 1, nullptr);
  ui_style_push_record(&g_slider_style);
  ui_slider(4, s->slider, s->captured, 100, 100, g_scene.w, 10, 0, 1, kit());
  ui_style_pop();
  ui_window_end();
}

TEST_F(UiWidgets, AFourStepSliderReportsOnlyQuarters) {
  g_slider_style = UiStyle{};
  g_slider_style.slider_steps = 4;
  g_scene.w = 100;
  std::vector<UiKitRow> rows = {at(100, 105), at(100, 105, L)};
  for (int x = 93; x <= 210; x += 3) rows.push_back(at(x, 105 + (x % 7), L));
  rows.push_back(at(210, 105));
  rows.push_back(at(210, 105));
  ui_kit_run(rows, slider_scene);
  std::set<float> seen;
  for (const UiKitCall& c : ui_kit_calls())
    if (c.slot == 17) seen.insert(c.f);
  EXPECT_EQ(seen, (std::set<float>{0, 0.25f, 0.5f, 0.75f, 1}));
  EXPECT_EQ(ui_kit_calls_text(1u << 18), "2 18 4 1\n43 18 4 0\n")
      << "captured on press, freed once the button is up";
}

TEST_F(UiWidgets, AZeroLengthSliderIsNotUpdated) {
  g_slider_style = UiStyle{};
  g_scene.w = 0;
  ui_kit_item(4)->captured = 1;
  ui_kit_run({at(100, 105, L), at(150, 105, L)}, slider_scene);
  EXPECT_EQ(ui_kit_calls_text(1u << 17), "");
}

TEST_F(UiWidgets, TheStyleStackIgnoresAPushBeyondSixteenAndAPopOfItsBottom) {
  for (uint32_t id = 1; id <= 17; id++) {
    UiStyle s = {};
    s.border_width = (int32_t)id;
    EXPECT_EQ(ui_style_register(id, &s), 1);
  }
  UiStyle again = {};
  EXPECT_EQ(ui_style_register(3, &again), 0) << "an existing id keeps its style";
  UiStyle out;
  EXPECT_EQ(ui_style_get(3, &out), 1);
  EXPECT_EQ(out.border_width, 3);
  out.border_width = 77;
  EXPECT_EQ(ui_style_get(99, &out), 0);
  EXPECT_EQ(out.border_width, 0) << "unknown ids read as the zero default";

  static std::vector<int32_t> borders;
  borders.clear();
  ui_kit_frame(at(0, 0), [] {
    ui_window_begin(1, 0, 0, 0, 10, 10, 0, 1, nullptr);
    for (uint32_t id = 2; id <= 17; id++) ui_style_push(id);  // the 16th of these is the 17th entry
    borders.push_back(ui_style_top()->border_width);
    for (int i = 0; i < 30; i++) ui_style_pop();
    borders.push_back(ui_style_top()->border_width);
    ui_window_end();
  });
  EXPECT_EQ(borders, (std::vector<int32_t>{16, 0}));
}

TEST_F(UiWidgets, ExtraEndsAndCallsOutsideAFrameChangeNothing) {
  ui_kit_frame(at(0, 0), [] {
    ui_window_begin(1, 0, 0, 0, 300, 300, 0, 1, nullptr);
    ui_window_end();
    ui_window_end();  // one too many
    ui_window_end();
    ui_window_begin(2, 0, 10, 10, 50, 50, 0, 1, nullptr);  // still a child of the frame
    ui_box(0, 0, 5, 5, 0, 1);
    ui_window_end();
  });
  EXPECT_EQ(ui_kit_entries_text(), "0 0 w2 10 10 50 50\n0 0 0 10 10 5 5\n0 0 w1 0 0 300 300\n")
      << "the later window first among equals";
  ui_window_begin(3, 0, 0, 0, 10, 10, 0, 1, kit());
  ui_button(4, 0, 0, 5, 5, 0, 1, kit());
  ui_style_push_record(nullptr);
  ui_window_end();
  ui_end_frame();
  EXPECT_EQ(ui_frame_window_count(), 2u);
  EXPECT_EQ(ui_window_depth(), 0);
  EXPECT_EQ(ui_style_depth(), 0);
  EXPECT_EQ(ui_kit_calls_text(ALL_SLOTS), "");
}

TEST_F(UiWidgets, WindowsBeyondTheNestingLimitAreSkippedAndTheirEndsBalance) {
  static uint32_t depth_after;
  ui_kit_frame(at(0, 0), [] {
    ui_window_begin(1000, 0, 0, 0, 640, 480, 0, 1, nullptr);
    for (uint32_t i = 0; i < 40; i++) ui_window_begin(i, 0, 0, 0, 10, 10, 0, 1, nullptr);
    for (uint32_t i = 0; i < 40; i++) ui_window_end();
    depth_after = (uint32_t)ui_window_depth();
    ui_window_end();
  });
  EXPECT_EQ(depth_after, 1u) << "the outer window is still open after its 40 children ended";
  EXPECT_EQ(ui_frame_window_count(), (uint32_t)UI_NEST_LIMIT);
}

}  // namespace
