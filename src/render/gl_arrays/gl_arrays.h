#pragma once
// The OpenGL backend with client-side vertex arrays and texture objects: the first choice
// for the OpenGL kind. Its initialiser creates the context on the window and accepts it only
// when the version is above 1.0; otherwise it leaves nothing behind and answers 0 so the
// display-list backend is tried. Everything but storing, binding and sending is shared with
// that backend (render/gl_shared/).
#include "render/render.h"

int gl_arrays_init(Window* window, RenderBackend* table);
