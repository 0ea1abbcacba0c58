#pragma once
// The frame operations of the OpenGL backends: the scene brackets (nothing to do in OpenGL),
// present with the screenshot read-back and vertical sync, the scissored clear, the viewport
// and size, and the driver's strings. Slots of the operation table (see render.h for each
// contract); main thread only.
#include <cstdint>

int gl_frame_scene(void);
// Serves the screenshot requests from the frame just drawn, then swaps.
int gl_frame_present(void);
void gl_frame_clear(float red, float green, float blue, uint32_t flags);
int gl_frame_vsync_supported(void);  // asked of the context system once, then remembered
int gl_frame_set_vsync(int on);
void gl_frame_set_viewport(int x, int y, int width, int height);
void gl_frame_resize(int width, int height);
uint64_t gl_frame_get_size(void);
const char* gl_frame_renderer_name(void);
const char* gl_frame_vendor_name(void);
const char* gl_frame_version_name(void);
