#include "zone_textures.h"

#include <cmath>

namespace {

uint32_t mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// 0..1 from a lattice point; the lattice wraps at `period` so the texture repeats.
double lattice(int x, int y, int period, uint32_t seed) {
  x = ((x % period) + period) % period;
  y = ((y % period) + period) % period;
  return (mix((uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u ^ seed) & 0xFFFF) / 65535.0;
}

// Smoothly interpolated value noise with cells of `cell` pixels.
double value_noise(int x, int y, int cell, uint32_t seed) {
  int period = (int)ZONE_TEXTURE_SIZE / cell;
  int cx = x / cell, cy = y / cell;
  double fx = (x % cell) / (double)cell, fy = (y % cell) / (double)cell;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = lattice(cx, cy, period, seed), b = lattice(cx + 1, cy, period, seed);
  double c = lattice(cx, cy + 1, period, seed), d = lattice(cx + 1, cy + 1, period, seed);
  return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

double pattern(const ZoneMaterial& m, int x, int y, uint32_t seed) {
  double grain = 0.5 * value_noise(x, y, 16, seed) + 0.3 * value_noise(x, y, 8, seed + 1) +
                 0.2 * value_noise(x, y, 4, seed + 2);
  if (m.pattern == "noise") return grain;
  if (m.pattern == "speckle")
    return lattice(x, y, (int)ZONE_TEXTURE_SIZE, seed + 3) > 0.85 ? 1.0 : grain * 0.3;
  if (m.pattern == "bricks") {
    int row = y / 16, shift = (row % 2) * 16;
    bool mortar = y % 16 < 2 || (x + shift) % 32 < 2;
    return mortar ? 1.0 : grain * 0.4;
  }
  // planks: boards 16 wide with dark seams and grain along them
  bool seam = x % 16 == 0;
  return seam ? 1.0 : 0.35 * value_noise(x * 4 % 64, y / 4, 4, seed + 4) + 0.2 * grain;
}

}  // namespace

std::vector<uint8_t> zone_texture_tga(const ZoneMaterial& material) {
  const uint32_t n = ZONE_TEXTURE_SIZE;
  std::vector<uint8_t> tga = {
      0,  0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, (uint8_t)n, (uint8_t)(n >> 8), (uint8_t)n, (uint8_t)(n >> 8),
      24, 0};
  uint32_t seed = mix(material.texture * 2654435761u);
  for (uint32_t y = 0; y < n; y++)
    for (uint32_t x = 0; x < n; x++) {
      double t = pattern(material, (int)x, (int)y, seed);
      for (int shift : {0, 8, 16}) {  // blue, green, red
        double a = (material.colour_a >> shift) & 0xFF, b = (material.colour_b >> shift) & 0xFF;
        tga.push_back((uint8_t)std::lround(a + (b - a) * t));
      }
    }
  return tga;
}
