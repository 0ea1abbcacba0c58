#pragma once
// Per-frame lighting tables of world and model drawing, built from the zone's light direction
// (three signed bytes, the unit vector x 127) and light colour (blue, green, red, 255). All
// zeros give neutral tables. Empty until world lighting is built.
#include <cstdint>

void lighting_tables_build(const int8_t direction[3], const uint8_t colour[4]);
