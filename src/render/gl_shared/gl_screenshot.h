#pragma once
// Screenshots of the OpenGL backends. A request only copies its path into a small queue; the
// next present reads the finished frame back once (the whole viewport), converts it to
// R5 G6 B5 and writes one BMP per waiting request, then tells the front end each outcome
// (render_screenshot_done). Requests the device cannot serve any more (suspend, shut-down,
// destroy) are reported failed, so every accepted request is reported exactly once.
// Main thread only.
#include <cstdint>

enum : uint32_t {
  GL_SCREENSHOT_QUEUE = 8,    // requests waiting for one present
  GL_SCREENSHOT_PATH = 1024,  // bytes of a path, terminator included
};

// The screenshot slot: 1 accepted; 0 for a null, empty or too long path or a full queue.
int gl_screenshot_request(const char* path);
// Writes every waiting request from the current back buffer (before the swap).
void gl_screenshot_serve(void);
// Reports every waiting request as failed and empties the queue.
void gl_screenshot_fail_pending(void);
uint32_t gl_screenshot_pending(void);
