#pragma once
// Procedural textures for zone materials: 64 x 64 true-colour TGA files (power-of-two sides,
// bottom row first, repeating seamlessly), the same bytes for the same material every time.
#include <cstdint>
#include <vector>

#include "zone_description.h"

constexpr uint32_t ZONE_TEXTURE_SIZE = 64;

std::vector<uint8_t> zone_texture_tga(const ZoneMaterial& material);
