#pragma once
// A backend for tests of code that draws through draw submission: every slot records as the
// recording backend does, and draw also keeps the triangles it was given (indices expanded)
// with the state they were drawn in. draw_capture_install installs it as the OpenGL backend
// (answering that it transforms, so screen-space vertices arrive as emitted) and starts draw
// submission; draw_capture_uninstall undoes both.
#include <cstdint>
#include <vector>

#include "render/render.h"

struct CapturedDraw {
  uint32_t flags;
  int32_t blend;
  int32_t depth_function;
  int32_t texture;
  int32_t primitive;
  std::vector<RenderVertex> triangles;  // three per triangle
};

void draw_capture_install(void);
void draw_capture_uninstall(void);
const std::vector<CapturedDraw>& draw_capture_draws(void);
void draw_capture_clear(void);
