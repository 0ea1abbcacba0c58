#pragma once
// The OpenGL backend for implementations without vertex arrays or texture objects: every
// texture is a display list that re-specifies the one texture image and its parameters, and
// vertices go out between glBegin and glEnd. It shares the state shadow, clear, present,
// screenshots and every other slot with the vertex-array backend, has no anisotropic
// filtering, and takes any context version.
#include "render/render.h"

int gl_lists_init(Window* window, RenderBackend* table);
