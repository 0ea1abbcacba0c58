#include "game/appearance_table.h"

static constexpr AppearanceEntry kAppearances[] = {
    {APPEARANCE_DEFAULT, 1, 1.7f, 1.0f},
    {2, 2, 1.6f, 1.0f},
    {3, 3, 1.2f, 0.8f},
};
static_assert(kAppearances[0].id == APPEARANCE_DEFAULT);

const AppearanceEntry* appearance_find(int32_t id) {
  for (const AppearanceEntry& e : kAppearances)
    if (e.id == id) return &e;
  return &kAppearances[0];
}
