#pragma once
// The character preview of the character screens: the one entity of the preview space,
// standing at (55.0, 11.025, -75.0) with heading 180 degrees and scale 1, showing the
// appearance of the chosen character. Showing another appearance replaces the entity;
// showing the same one only updates the stored choice; showing appearance 0 removes it.
// While shown it idles like a creature: a blink every 1.5 to 2.0 s (steps 1..6 at 30 per
// second, then back to 0) and, every 5 to 25 s, a request for one of two idle animations
// chosen at random, which the animation controller takes with character_preview_take_idle.
// Works on the current game world; the handle is dropped when that world is replaced.
// Main thread only.
#include <cstdint>

struct CharacterPreview {
  uint32_t handle;        // 0 when nothing is shown
  int32_t appearance_id;  // 0 when nothing is shown
  uint32_t choice;        // the screen's stored choice (the character slot shown)
  float blink_interval, blink_timer;
  int32_t blink_step;
  float idle_timer, idle_threshold;
  int32_t idle_request;  // 0, or 1 / 2 for the first or second idle animation
};

constexpr float PREVIEW_X = 55.0f, PREVIEW_Y = 11.025f, PREVIEW_Z = -75.0f, PREVIEW_HEADING = 180.0f;

// 1 when the preview shows the appearance afterwards (or, for 0, shows nothing).
int character_preview_show(int32_t appearance_id, uint32_t choice);
void character_preview_tick(float dt);
// The pending idle request (0 when none), cleared by the call.
int32_t character_preview_take_idle(void);
const CharacterPreview* character_preview_state(void);
// Removes the entity and forgets the state.
void character_preview_shutdown(void);
