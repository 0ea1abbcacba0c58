#pragma once
// Texture preparation: halving for low detail (by the texture options), the chain of mip
// levels down to 1 x 1 (all smaller levels in one allocation), box-filter downsampling for
// every pixel format (bytes truncated, 16-bit fields rounded, indexed formats by palette averaging
// and a nearest-colour search) and the renderer's built-in fallback texture.
//
// texture_prepare runs on the loader thread and touches only its texture and the options,
// which are fixed before the loader starts. Out of memory is fatal, like every allocation.
#include <cstdint>

#include "assets/texture.h"
#include "render/texture_options.h"

// Skips null textures, textures whose filter flag is not exactly 1 and formats outside 1..16.
void texture_prepare(Texture* texture);

// Box filter from src to the smaller dst (its width, height and pixels set; other fields are
// read from src). dst may share src's pixels: blocks are read before they are overwritten.
void texture_downsample(const Texture* src, Texture* dst, uint32_t bytes_per_pixel);

// The 2 x 2 magenta texture with id -1 in the format the backend gives class 3, built on the
// first call (from any thread) and kept for the whole run.
Texture* texture_fallback(void);
// Four magenta pixels in a format (words 0xF81F or 0x7C1F, bytes 255, 0, 255[, 255]); other
// formats leave the bytes as they are.
void texture_magenta_pixels(uint32_t format, uint8_t pixels[16]);

// Size of one level inside a mip-chain block: its record and its pixels, each aligned for
// the record that follows.
uint64_t texture_mip_level_bytes(uint32_t width, uint32_t height, uint32_t bytes_per_pixel);
