// Text fields driven by scripted frames: keys and typed characters against the buffer and
// caret, refusals, missing glyphs, link deletion, keeping the caret in view, masking, and
// the focus that keeps typed letters away from the key bindings.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "input/keybind.h"
#include "platform/keymap.h"
#include "support/ui_kit.h"
#include "ui/text_layout.h"
#include "ui/ui.h"
#include "ui/ui_frame.h"
#include "ui/ui_style.h"

namespace {

UiKitRow row(std::initializer_list<uint32_t> keys = {}, const char* text = nullptr,
             std::initializer_list<uint32_t> repeats = {}) {
  UiKitRow r = {};
  r.x = r.y = -1;
  int i = 0;
  for (uint32_t k : keys) r.keys[i++] = k;
  i = 0;
  for (uint32_t k : repeats) r.repeats[i++] = k;
  r.text = text;
  return r;
}

const uint32_t FIELD = 6;

// Presses and releases of a key, n times: a key shows one state change per frame, so each
// tap takes three frames (pressed, held, released).
std::vector<UiKitRow> taps(uint32_t key, int n) {
  std::vector<UiKitRow> rows;
  for (int i = 0; i < n; i++) {
    UiKitRow down = {};
    down.x = down.y = -1;
    down.keys[0] = key;
    UiKitRow up = down;
    up.keys[0] = 0;
    rows.insert(rows.end(), {down, up, up});
  }
  return rows;
}
const uint32_t OPEN5 = 0xF0005, CLOSE = TEXT_LINK_CLOSE;

uint32_t g_text[64];
UiTextBuffer g_buffer;
UiStyle g_field_style;
int32_t g_field_width;

void field_scene(void) {
  ui_window_begin(1, 0, 0, 0, 640, 480, 0, 1, nullptr);
  ui_style_push_record(&g_field_style);
  ui_text_field(FIELD, &g_buffer, 10, 10, g_field_width, 12, 0, 1, ui_kit_callbacks());
  ui_style_pop();
  ui_window_end();
}

// The field's widget in the frame just run (after its background box).
const UiWidget* field_widget(void) {
  for (const UiWidget* w = ui_frame_window(0)->first; w; w = w->next)
    if (w->kind == UI_KIND_TEXT_FIELD) return w;
  return nullptr;
}

struct UiTextField : ::testing::Test {
  void SetUp() override {
    ui_kit_start(UiKitOptions{640, 480, 0, 1});
    g_field_style = UiStyle{};
    g_field_style.font = UI_KIT_FONT;
    g_field_style.caret_width = 1;
    g_field_style.caret_height = 8;
    g_field_width = 200;
  }
  void TearDown() override { ui_kit_stop(); }
  void set_text(const std::vector<uint32_t>& text, uint32_t caret) {
    g_buffer = UiTextBuffer{g_text, 0, 16};
    for (uint32_t c : text) g_text[g_buffer.count++] = c;
    UiKitItem* item = ui_kit_item(FIELD);
    item->caret = caret;
    item->start = 0;
    item->focused = 1;
  }
  std::vector<uint32_t> text(void) { return std::vector<uint32_t>(g_text, g_text + g_buffer.count); }
};

std::vector<uint32_t> cps(const char* s) { return std::vector<uint32_t>(s, s + strlen(s)); }

TEST_F(UiTextField, KeysAndTypedCharactersEditAtTheCaret) {
  struct Case {
    const char* what;
    std::vector<uint32_t> text;
    uint32_t caret;
    std::vector<UiKitRow> script;
    uint32_t max_length, refuse;
    std::vector<uint32_t> expected;
    uint32_t expected_caret;
  };
  const uint32_t LEFT = KEY_LEFT, RIGHT = KEY_RIGHT;
  const Case cases[] = {
      {"typing inserts at the caret", cps("ad"), 1, {row({}, "bc")}, 0, 0, cps("abcd"), 3},
      {"slot 8 refuses one letter", {}, 0, {row({}, "abc")}, 0, 'b', cps("ac"), 2},
      {"slot 8 holds the length", {}, 0, {row({}, "abc")}, 2, 0, cps("ab"), 2},
      {"letters the font lacks are skipped", {}, 0, {row({}, "a#~b")}, 0, 0, cps("ab"), 2},
      {"the space key inserts a space", cps("ab"), 1, {row({KEY_SPACE})}, 0, 0, cps("a b"), 2},
      {"a typed space waits for its key", cps("ab"), 1, {row({}, " ")}, 0, 0, cps("ab"), 1},
      {"left twice", cps("abc"), 3, {row({LEFT}), row(), row({LEFT}), row({}, "x")}, 0, 0, cps("axbc"), 2},
      {"left and right together do nothing", cps("abc"), 2, {row({LEFT, RIGHT})}, 0, 0, cps("abc"), 2},
      {"right stops at the end", cps("abc"), 3, {row({RIGHT})}, 0, 0, cps("abc"), 3},
      {"repeats move on every frame",
       cps("abcd"),
       4,
       {row({LEFT}), row({LEFT}), row({LEFT}, nullptr, {LEFT}), row({LEFT}, nullptr, {LEFT}), row({LEFT})},
       0,
       0,
       cps("abcd"),
       1},
      {"home, then typing", cps("abc"), 2, {row({KEY_HOME}), row({}, "z")}, 0, 0, cps("zabc"), 1},
      {"end", cps("abc"), 0, {row({KEY_END})}, 0, 0, cps("abc"), 3},
      {"backspace", cps("abc"), 2, {row({KEY_BACKSPACE})}, 0, 0, cps("ac"), 1},
      {"backspace at the start", cps("abc"), 0, {row({KEY_BACKSPACE})}, 0, 0, cps("abc"), 0},
      {"backspace repeating",
       cps("abc"),
       3,
       {row({KEY_BACKSPACE}), row({KEY_BACKSPACE}), row({KEY_BACKSPACE}, nullptr, {KEY_BACKSPACE})},
       0,
       0,
       cps("a"),
       1},
      {"backspace after a link removes all of it",
       {'a', OPEN5, 'b', 'c', CLOSE, 'd'},
       5,
       {row({KEY_BACKSPACE})},
       0,
       0,
       cps("ad"),
       1},
      {"delete after a link does the same", {OPEN5, 'b', CLOSE}, 3, {row({KEY_DELETE})}, 0, 0, {}, 0},
      {"a lone closing marker goes alone", {'a', CLOSE, 'b'}, 2, {row({KEY_BACKSPACE})}, 0, 0, cps("ab"), 1},
      {"a closed link before stops the search",
       {OPEN5, 'x', CLOSE, 'b', CLOSE},
       5,
       {row({KEY_BACKSPACE})},
       0,
       0,
       {OPEN5, 'x', CLOSE, 'b'},
       4},
      {"the buffer's capacity holds",
       cps("abcdefghijklmno"),
       15,
       {row({}, "xyz")},
       0,
       0,
       cps("abcdefghijklmnox"),
       16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    set_text(c.text, c.caret);
    ui_kit_item(FIELD)->max_length = c.max_length;
    ui_kit_item(FIELD)->refuse = c.refuse;
    ui_kit_run(c.script, field_scene);
    ui_kit_run({row(), row()}, field_scene);  // every key up again: one state change per frame
    EXPECT_EQ(text(), c.expected);
    EXPECT_EQ(ui_kit_item(FIELD)->caret, c.expected_caret);
  }
}

TEST_F(UiTextField, OnlyTypedCharactersWithGlyphsAreOffered) {
  set_text({}, 0);
  ui_kit_run({row({}, "a#\x01")}, field_scene);
  EXPECT_EQ(ui_kit_calls_text(1u << 8), "1 8 6 97 1\n");
  EXPECT_EQ(ui_kit_calls_text(1u << 9), "1 9 6 1\n") << "edited sees the buffer once per frame";
}

TEST_F(UiTextField, AnUnfocusedFieldTakesNothing) {
  set_text(cps("ab"), 1);
  ui_kit_item(FIELD)->focused = 0;
  ui_kit_run({row({KEY_BACKSPACE}, "xyz"), row({KEY_END})}, field_scene);
  EXPECT_EQ(text(), cps("ab"));
  EXPECT_EQ(ui_kit_item(FIELD)->caret, 1u);
}

TEST_F(UiTextField, TheCaretStaysInView) {
  // Letters advance 6 ('i', which advances 0, is left out): a 30-pixel field shows five.
  g_field_width = 30;
  set_text(cps("abcdefghjklm"), 12);
  ui_kit_run({row()}, field_scene);
  EXPECT_EQ(ui_kit_item(FIELD)->start, 7u);
  const UiWidget* w = field_widget();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(w->text, w->text + w->text_count), cps("hjklm"));
  ui_kit_run(taps(KEY_LEFT, 6), field_scene);
  EXPECT_EQ(ui_kit_item(FIELD)->caret, 6u);
  EXPECT_EQ(ui_kit_item(FIELD)->start, 6u) << "the start follows a caret moving left past it";
  ui_kit_run(taps(KEY_HOME, 1), field_scene);
  EXPECT_EQ(ui_kit_item(FIELD)->start, 0u);
  w = field_widget();
  EXPECT_EQ(std::vector<uint32_t>(w->text, w->text + w->text_count), cps("abcde"));
  ui_kit_run(taps(KEY_END, 1), field_scene);
  EXPECT_EQ(ui_kit_item(FIELD)->start, 7u);
}

TEST_F(UiTextField, TheGlyphSlotMasksWhatIsShownButNotTheBuffer) {
  set_text(cps("pass"), 4);
  ui_kit_item(FIELD)->mask = '*';
  ui_kit_run({row({}, "w")}, field_scene);
  EXPECT_EQ(text(), cps("passw"));
  const UiWidget* w = field_widget();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(w->text, w->text + w->text_count), cps("*****"));
}

TEST_F(UiTextField, AFocusedFieldKeepsLettersFromTheKeyBindings) {
  const int FORWARD = 0;  // bound to W
  struct Case {
    int focused;
    int triggered;
    std::vector<uint32_t> expected;
  };
  for (const Case& c : {Case{1, 0, cps("w")}, Case{0, 1, {}}}) {
    set_text({}, 0);
    ui_kit_item(FIELD)->focused = c.focused;
    ui_kit_run({row()}, field_scene);  // the field is declared before the key comes
    ui_kit_run({row({key_letter('W')}, "w")}, field_scene);
    EXPECT_EQ(binding_triggered(FORWARD), c.triggered) << "focused " << c.focused;
    EXPECT_EQ(text(), c.expected);
    ui_kit_run({row(), row()}, field_scene);
  }
}

}  // namespace

namespace {

// Labels share the fixture's font: one shorter and one longer than any fixed scratch run,
// laid out whole, and one cut at its box with "..." at its end.
TEST_F(UiTextField, LabelsOfAnyLengthAreLaidOutWholeOrCut) {
  struct Case {
    size_t length;
    uint32_t flags;
    int32_t box_width;
    uint32_t count;
    int32_t width;
    bool dotted;
  };
  static const Case* current;
  static std::string text;
  const Case cases[] = {
      {40, 0, 100, 40, 240, false},
      {300, 0, 100, 300, 1800, false},
      {1000, 0, 100, 1000, 6000, false},
      {300, UI_STYLE_CUT, 100, 16, 96, true},  // 16 letters fit 100 pixels
  };
  for (const Case& c : cases) {
    current = &c;
    text.assign(c.length, 'a');
    g_field_style.flags = c.flags;
    static int32_t width;
    ui_kit_run({row()}, [] {
      ui_window_begin(1, 0, 0, 0, 640, 480, 0, 1, nullptr);
      ui_style_push_record(&g_field_style);
      ui_label(3, text.c_str(), 0, 0, current->box_width, 12, 0, 1, nullptr, &width, nullptr);
      ui_style_pop();
      ui_window_end();
    });
    const UiWidget* w = ui_frame_window(0)->first;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text_count, c.count) << c.length;
    EXPECT_EQ(width, c.width) << c.length;
    EXPECT_EQ(w->text[c.count - 1], c.dotted ? (uint32_t)'.' : (uint32_t)'a') << c.length;
  }
}

}  // namespace
