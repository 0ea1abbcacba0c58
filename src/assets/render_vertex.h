#pragma once
// The one vertex record of the game: the terrain, prop and mesh decoders (and the tools that
// run them) fill it, the renderer draws it as it stands. It lives with the decoders so they
// need nothing from the renderer.
#include <cstddef>
#include <cstdint>

struct RenderVertex {
  float x, y, z;
  float w;          // receives clip-space w when the CPU transforms
  uint32_t colour;  // 0xAARRGGBB (memory: B, G, R, A)
  uint32_t spare;   // not read by any backend
  float u, v;
};
static_assert(sizeof(RenderVertex) == 32, "RenderVertex is 32 bytes");
static_assert(offsetof(RenderVertex, colour) == 16, "colour at 16");
static_assert(offsetof(RenderVertex, spare) == 20, "spare at 20");
static_assert(offsetof(RenderVertex, u) == 24, "uv at 24");
