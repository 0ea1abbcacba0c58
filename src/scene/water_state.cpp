#include "scene/water.h"

namespace {
int g_in_liquid;
float g_colour[3];
}  // namespace

int water_camera_in_liquid(float colour[3]) {
  if (!g_in_liquid) return 0;
  if (colour)
    for (int i = 0; i < 3; i++) colour[i] = g_colour[i];
  return 1;
}

void water_set_camera_in_liquid(int in_liquid, const float colour[3]) {
  g_in_liquid = in_liquid ? 1 : 0;
  for (int i = 0; i < 3; i++) g_colour[i] = colour ? colour[i] : 1.0f;
}
