#pragma once
// The appearances the client knows while appearance definitions are not loaded from the
// server: a constant table of model, eye height and the camera's near limit per appearance id.
// An id the table lacks uses appearance 1, the default model.
#include <cstdint>

struct AppearanceEntry {
  int32_t id;
  uint32_t mesh_id;  // ASSET_MESH of the model
  float eye_height;  // the camera looks at the position raised by this
  float near_limit;  // the camera does not come nearer than this
};

constexpr int32_t APPEARANCE_DEFAULT = 1;

// The entry of the id, or that of APPEARANCE_DEFAULT (never null).
const AppearanceEntry* appearance_find(int32_t id);
