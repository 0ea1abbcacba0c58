// The chat's windows driven by scripted frames: where the logs, buttons and input line lie at
// 5 and 16 lines, lines newest first, scroll clicks and their clamping, typing into the input
// line under its limits with the caret blinking, and link colours, hovers and clicks.
#include "ui/chat_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/object_effects.h"
#include "game/spawn.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/keymap.h"
#include "support/chat_testing.h"
#include "support/ui_kit.h"
#include "ui/chat_layout.h"
#include "ui/text_layout.h"
#include "ui/ui.h"
#include "ui/ui_frame.h"
#include "ui/ui_skin.h"
#include "ui/ui_style.h"

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;  // main log 470 wide, second 400
constexpr uint32_t kLocal = 500, kOther = 501;

struct Heard {
  static inline std::vector<uint32_t> sounds;
  static inline std::vector<uint32_t> item_windows;
};

int32_t g_lines = 5;
void chat_scene(void) {
  chat_frame_keys(frame_delta(), input_text_focused());
  chat_declare_lines(kWidth, g_lines);
}

UiKitRow at(int32_t x, int32_t y, uint32_t buttons = 0) {
  UiKitRow r = {};
  r.x = x, r.y = y;
  r.buttons = buttons;
  return r;
}
UiKitRow keys(std::initializer_list<uint32_t> down, const char* text = nullptr, float dt = 0) {
  UiKitRow r = at(-1, -1);
  int i = 0;
  for (uint32_t k : down) r.keys[i++] = k;
  r.text = text;
  r.dt = dt;
  return r;
}

const UiWindow* window(uint32_t id) {
  for (uint32_t i = 0; i < ui_frame_window_count(); i++)
    if (ui_frame_window(i)->id == id) return ui_frame_window(i);
  return nullptr;
}
std::vector<const UiWidget*> widgets(uint32_t window_id) {
  std::vector<const UiWidget*> out;
  if (const UiWindow* w = window(window_id))
    for (const UiWidget* it = w->first; it; it = it->next) out.push_back(it);
  return out;
}
const UiWidget* widget(uint32_t window_id, uint32_t id, uint32_t kind) {
  for (const UiWidget* w : widgets(window_id))
    if (w->id == id && w->kind == kind) return w;
  return nullptr;
}
std::string laid_out(const UiWidget* w) {
  std::string s;
  for (uint32_t i = 0; i < w->text_count; i++) s += chat_cp(w->text[i]);
  return s;
}

// The demo locale, the kit with its fixed font behind the chat's styles, a world with the
// local player and another player, and the world's sound and item-window slots recorded.
class ChatFrame : public ChatTest {
 protected:
  void SetUp() override {
    ChatTest::SetUp();
    ui_kit_start(UiKitOptions{kWidth, kHeight, 0, 1});
    UiStyle s = {};
    s.font = UI_KIT_FONT;
    s.text_colour = UiColour{1, 1, 1, 1};
    ui_style_register(UI_SKIN_LABEL, &s);
    s.caret_width = 1;
    s.caret_height = 8;
    s.fill_colour = UiColour{0.1f, 0.1f, 0.1f, 1};
    ui_style_register(UI_SKIN_CHAT_FIELD, &s);
    UiStyle button = {};
    button.fill_colour = UiColour{0.5f, 0.5f, 0.5f, 1};
    for (uint32_t id : {UI_SKIN_SCROLL_OLDER, UI_SKIN_SCROLL_NEWER, UI_SKIN_SCROLL_NEWEST})
      ui_style_register(id, &button);
    game_world_replace(catalogue_world_create(1, nullptr));
    game_objects_start();
    SpawnCharacter c = {};
    c.id = kLocal;
    c.scale = 1;
    c.name = "Me";
    spawn_local_player(&c);
    c.id = kOther;
    c.name = "Ann";
    spawn_player(&c);
    Heard::sounds.clear();
    Heard::item_windows.clear();
    chat_world()->ui_sound = [](uint32_t key) {
      Heard::sounds.push_back(key);
      return 1;
    };
    chat_world()->item_info_open = [](uint32_t item) { Heard::item_windows.push_back(item); };
    g_lines = 5;
  }
  void TearDown() override {
    game_objects_shutdown();
    game_world_shutdown();
    ui_kit_stop();
    ChatTest::TearDown();
  }
  void run(const std::vector<UiKitRow>& rows) { ui_kit_run(rows, chat_scene); }
  void idle(int frames = 1) { run(std::vector<UiKitRow>((size_t)frames, at(-1, -1))); }
  // Clicks the point. A button or key shows one state change per frame: up, pressed, held,
  // released.
  void click(int32_t x, int32_t y) { run({at(x, y), at(x, y, UI_KIT_LEFT), at(x, y, UI_KIT_LEFT), at(x, y)}); }
  void enter(void) { run({keys({KEY_ENTER}), keys({}), keys({})}); }
};

TEST_F(ChatFrame, LogsButtonsAndInputLieWhereTheLayoutSays) {
  for (int32_t i = 1; i <= 3; i++) chat_add_text(CHAT_LOG_MAIN, ("line" + std::to_string(i)).c_str(), 0);
  chat_add_text(CHAT_LOG_SECOND, "other", CHAT_STYLE_INFO);
  struct Case {
    int32_t lines, height;
  } cases[] = {{5, 75}, {16, 240}, {3, 75}, {20, 240}};
  for (const Case& c : cases) {
    g_lines = c.lines;
    idle();
    struct Window {
      uint32_t id, flags;
      int32_t x, y, width, height;
    } expected[] = {
        {CHAT_WINDOW_MAIN, 0x806, 34, 87, 470, c.height},
        {CHAT_WINDOW_SECOND, 0x806, kWidth - 34 - 400, 87, 400, c.height},
        {CHAT_WINDOW_MAIN_BUTTONS, 0, 14, 87, 16, c.height},
        {CHAT_WINDOW_SECOND_BUTTONS, 0, kWidth - 14 - 16, 87, 16, c.height},
    };
    for (const Window& e : expected) {
      const UiWindow* w = window(e.id);
      ASSERT_TRUE(w) << std::hex << e.id;
      EXPECT_EQ(w->flags, e.flags);
      EXPECT_EQ(w->layer, 2);
      EXPECT_EQ(w->x, e.x) << std::hex << e.id << std::dec << " at " << c.lines;
      EXPECT_EQ(w->y, e.y);
      EXPECT_EQ(w->width, e.width);
      EXPECT_EQ(w->height, e.height);
    }
    EXPECT_FALSE(window(CHAT_WINDOW_INPUT)) << "closed input";
    // Newest first, stacked upwards from the window's bottom, each in its style's colour.
    std::vector<const UiWidget*> lines = widgets(CHAT_WINDOW_MAIN);
    ASSERT_EQ(lines.size(), 3u);
    int32_t y = 87;
    for (int32_t age = 0; age < 3; age++) {
      EXPECT_EQ(lines[age]->id, chat_line_id(CHAT_LOG_MAIN, age));
      EXPECT_EQ(laid_out(lines[age]), "line" + std::to_string(3 - age));
      EXPECT_EQ(lines[age]->x, 34);
      EXPECT_EQ(lines[age]->y, y);
      EXPECT_FALSE(lines[age]->interactive) << "no links";
      y += lines[age]->height;
    }
    const UiWidget* second = widgets(CHAT_WINDOW_SECOND).at(0);
    EXPECT_EQ(second->style->text_colour.b, 0.0f) << "info is yellow";
    EXPECT_TRUE(second->style->flags & UI_STYLE_WRAP);
    // Buttons: older at the top, newer under it, newest at the bottom, ids by log and way.
    struct Button {
      uint32_t window, id;
      int32_t y;
    } buttons[] = {
        {CHAT_WINDOW_MAIN_BUTTONS, 0x05, 87 + c.height - 16}, {CHAT_WINDOW_MAIN_BUTTONS, 0x09, 87 + c.height - 34},
        {CHAT_WINDOW_MAIN_BUTTONS, 0x01, 87},                 {CHAT_WINDOW_SECOND_BUTTONS, 0x04, 87 + c.height - 16},
        {CHAT_WINDOW_SECOND_BUTTONS, 0x08, 87 + c.height - 34}, {CHAT_WINDOW_SECOND_BUTTONS, 0x00, 87},
    };
    for (const Button& b : buttons) {
      const UiWidget* w = widget(b.window, b.id, UI_KIND_BUTTON);
      ASSERT_TRUE(w) << b.id;
      EXPECT_EQ(w->y, b.y) << b.id;
      EXPECT_EQ(w->width, 16);
    }
  }
  // A long line wraps inside the log's width and stands as high as its lines.
  std::string words;
  for (int i = 0; i < 40; i++) words += "word ";
  chat_add_text(CHAT_LOG_MAIN, words.c_str(), 0);
  idle();
  const UiWidget* wrapped = widgets(CHAT_WINDOW_MAIN).at(0);
  EXPECT_LE(wrapped->width, 470);
  EXPECT_GE(wrapped->height, 2 * widgets(CHAT_WINDOW_MAIN).at(1)->height);
}

TEST_F(ChatFrame, ScrollButtonsMoveTheViewAndStayWithinTheHiddenLines) {
  for (int32_t i = 0; i < 30; i++) chat_add_text(CHAT_LOG_MAIN, ("n" + std::to_string(i)).c_str(), 0);
  idle();
  const int32_t line = widgets(CHAT_WINDOW_MAIN).at(0)->height;
  ASSERT_GT(line, 0);
  const int32_t hidden = (30 * line - 75 + line / 2) / line;  // round((content - window) / line)
  const int32_t top = 87 + 75;
  struct Case {
    const char* what;
    int32_t x, y, clicks, counter;
  } cases[] = {
      {"older", 20, top - 8, 3, 3},
      {"newer", 20, top - 26, 1, 2},
      {"older past the top", 20, top - 8, 40, hidden},
      {"newest", 20, 95, 1, 0},
      {"newer at the newest", 20, top - 26, 2, 0},
  };
  for (const Case& c : cases) {
    Heard::sounds.clear();
    for (int32_t i = 0; i < c.clicks; i++) click(c.x, c.y);
    idle();
    EXPECT_EQ(chat_log(CHAT_LOG_MAIN)->scroll, c.counter) << c.what;
    EXPECT_EQ(Heard::sounds, std::vector<uint32_t>((size_t)c.clicks, 0x72C42402u)) << c.what;
    // The list moves by the counter's share of the hidden pixels (the lines hidden are rounded,
    // so at the top the oldest line's top meets the window's).
    int32_t offset = (int32_t)std::lround((double)c.counter / hidden * (30 * line - 75));
    EXPECT_EQ(widgets(CHAT_WINDOW_MAIN).at(0)->y, 87 - offset) << c.what;
  }
  EXPECT_EQ(chat_log(CHAT_LOG_SECOND)->scroll, 0);
  click(kWidth - 20, top - 8);  // the second log's "older": nothing hidden there
  idle();
  EXPECT_EQ(chat_log(CHAT_LOG_SECOND)->scroll, 0) << "clamped to the lines hidden";
}

TEST_F(ChatFrame, TheInputLineTypesWithinItsLimitsAndSendsOnEnter) {
  enter();
  ASSERT_TRUE(chat_input()->open);
  const UiWindow* box = window(CHAT_WINDOW_INPUT);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->x, 30);
  EXPECT_EQ(box->y, 58);
  EXPECT_EQ(box->width, 470 * 3 / 4);
  EXPECT_EQ(box->height, 24);
  const UiWidget* field = widget(CHAT_WINDOW_INPUT, CHAT_FIELD_ID, UI_KIND_TEXT_FIELD);
  ASSERT_TRUE(field);
  EXPECT_EQ(field->x, 35);
  EXPECT_EQ(field->y, 64);
  EXPECT_EQ(field->width, 470 * 3 / 4 - 10);
  EXPECT_EQ(field->height, 15);

  run({keys({}, "hello")});
  enter();
  EXPECT_FALSE(chat_input()->open);
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].opcode, 9);
  EXPECT_EQ(chat_sent()[0].payload, Wire().u32(3).str("hello").bytes);

  // Typing stops at 255 bytes; with a link in the buffer 40 bytes earlier (the link itself
  // is 3 code points of 4 + 1 + 3 bytes).
  struct Case {
    const char* what;
    int link;
    uint32_t count;
  } cases[] = {{"plain", 0, 255}, {"with a link", 1, 3 + (255 - 40 - 8)}};
  for (const Case& c : cases) {
    chat_sent().clear();
    enter();
    if (c.link) {
      ASSERT_TRUE(chat_input_insert_link(4, "x"));
    }
    run({keys({}, std::string(300, 'a').c_str())});
    EXPECT_EQ(chat_input()->buffer->count, c.count) << c.what;
    EXPECT_EQ(chat_input()->caret, c.count) << c.what;
    enter();
    ASSERT_EQ(chat_sent().size(), 1u) << c.what;
  }
}

TEST_F(ChatFrame, TheCaretBlinksEveryTwoThirdsOfASecond) {
  enter();
  auto caret_shown = [] {
    // Box, the field's own background, the field, and the caret while it shows.
    return widgets(CHAT_WINDOW_INPUT).size() == 4;
  };
  chat_input()->blink = 0;
  struct Step {
    float dt;
    bool shown;
  } steps[] = {{0.1f, true}, {0.1f, true}, {0.1f, false}, {0.3f, false}, {0.1f, true}, {0.3f, false}};
  float t = 0;
  for (const Step& s : steps) {
    t += s.dt;
    run({keys({}, nullptr, s.dt)});
    EXPECT_EQ(caret_shown(), s.shown) << "at " << t << " s";
  }
}

TEST_F(ChatFrame, LinksTakeTheirColoursAndClicks) {
  std::string link = chat_cp(0xF0004) + "yes" + chat_cp(TEXT_LINK_CLOSE);
  chat_add_text(CHAT_LOG_MAIN, link.c_str(), CHAT_STYLE_SAY);  // an item link: age 1
  chat_add_text_ref(CHAT_LOG_MAIN, link.c_str(), CHAT_STYLE_SAY, kOther);  // a dialogue choice: age 0
  idle();
  std::vector<const UiWidget*> lines = widgets(CHAT_WINDOW_MAIN);
  ASSERT_EQ(lines.size(), 2u);
  const UiColour white = {1, 1, 1, 1}, green = {0, 1, 0, 1}, cyan = {0, 1, 1, 1};
  auto colour = [&](int32_t age) {
    const UiWidget* w = widgets(CHAT_WINDOW_MAIN).at((size_t)age);
    EXPECT_TRUE(w->interactive);
    return w->callbacks->link_colour(w->id, 4, white);
  };
  auto same = [](UiColour a, UiColour b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; };
  EXPECT_TRUE(same(colour(0), green));
  EXPECT_TRUE(same(colour(1), cyan));
  int32_t y0 = lines[0]->y + lines[0]->height / 2, y1 = lines[1]->y + lines[1]->height / 2;
  run({at(36, y0)});
  EXPECT_TRUE(same(colour(0), white)) << "hovered this frame";
  EXPECT_TRUE(same(colour(1), cyan));
  run({at(-1, -1)});
  EXPECT_TRUE(same(colour(0), white)) << "hovered last frame";
  run({at(-1, -1)});
  EXPECT_TRUE(same(colour(0), green));
  run({at(36 + 100, y0)});
  EXPECT_TRUE(same(colour(0), green)) << "past the link's text";

  click(36, y0);
  ASSERT_EQ(chat_sent().size(), 1u);
  EXPECT_EQ(chat_sent()[0].opcode, 83);
  EXPECT_EQ(chat_sent()[0].payload, Wire().u32(kOther).u32(4).bytes);
  click(36, y1);
  EXPECT_EQ(Heard::item_windows, std::vector<uint32_t>{4});
  EXPECT_EQ(chat_sent().size(), 1u);
}

}  // namespace
