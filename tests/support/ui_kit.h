#pragma once
// The scripted interface kit: runs screens frame by frame from a script, through the real
// input layer and key bindings, and records what they report and draw.
//
// One script row per frame: the mouse point in UI pixels, the buttons held down (bit 0 left,
// 1 right, 2 middle), the keys held down and the keys that auto-repeat this frame, the bytes
// typed, and the frame's time step. The kit posts the events the window procedure would: a
// press as action 2 then 1, a release as 3, a repeat as 4, one text event per byte. It
// advances a fake clock, sets the mouse through the interface's position provider, drains
// the events, runs the input update and the key bindings, then ui_begin_frame, the screen's
// declare function, ui_end_frame and ui_draw_list into a capturing backend.
//
// ui_kit_callbacks gives a table whose every slot is recorded (slot, id, arguments, frame)
// and answers from a small per-id model: toggles accept the proposal, moves and resizes are
// accepted (ui_kit_item changes that), fields keep their caret and scroll start, lists their
// fraction. One kit at a time; main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui_records.h"

enum : uint32_t { UI_KIT_LEFT = 1, UI_KIT_RIGHT = 2, UI_KIT_MIDDLE = 4 };
enum : uint32_t { UI_KIT_FONT = 3 };  // the fixed test font's asset id when the kit loads it

struct UiKitRow {
  int32_t x, y;
  uint32_t buttons;
  uint32_t keys[4];     // held down; 0 ends the list
  uint32_t repeats[4];  // auto-repeating this frame; 0 ends the list
  const char* text;     // typed bytes, or null
  float dt;             // seconds; 0 counts as 1/60
};

struct UiKitOptions {
  int32_t width, height;
  uint32_t default_style;
  int with_font;  // 1: the fixed test font is loadable as UI_KIT_FONT
};

// The per-id answers of the kit's callback table.
struct UiKitItem {
  int toggle_answer;  // -1 (default): accept the proposal; else this
  int move_answer;    // default 1
  int resize_answer;  // default 1
  float scroll;       // what scroll get answers; scroll set stores here
  int focused;        // what focused answers
  uint32_t caret, start;
  uint32_t max_length;          // accept refuses beyond it (0: no limit)
  uint32_t refuse;              // accept refuses this code point (0: none)
  uint32_t mask;                // glyph maps every code point to it (0: unchanged)
  float slider;                 // last slider report
  int captured;                 // last capture report
  int32_t x, y, width, height;  // last placed, move or resize report
};

struct UiKitCall {
  uint32_t frame;
  int slot;
  uint32_t id;
  int32_t a[4];
  float f;
  std::vector<uint32_t> text;  // edited
};

typedef void (*UiKitDeclare)(void);

void ui_kit_start(const UiKitOptions& options);
// The skin's panel, button, label, field, toggle and title styles drawn in the kit's font (and
// nothing else), so screens built from the skin take typed characters under the kit.
void ui_kit_skin_in_kit_font(void);
void ui_kit_stop(void);
// One frame of script.
void ui_kit_frame(const UiKitRow& row, UiKitDeclare declare);
void ui_kit_run(const std::vector<UiKitRow>& rows, UiKitDeclare declare);
uint32_t ui_kit_frame_number(void);  // frames run so far

const UiCallbacks* ui_kit_callbacks(void);
UiKitItem* ui_kit_item(uint32_t id);
const std::vector<UiKitCall>& ui_kit_calls(void);
void ui_kit_clear_calls(void);
// The recorded calls of the slots in mask (bit n: slot n), one line each:
// "frame slot id a0 a1 a2 a3" with the slot's own arguments only (fractions as %g).
std::string ui_kit_calls_text(uint32_t slot_mask);
// The last draw list, one line per entry in drawing order:
// "layer order id x y width height" (id of the widget, or "w<id>" for a window).
std::string ui_kit_entries_text(void);
// Triangles drawn by the last ui_draw_list.
size_t ui_kit_triangles(void);
