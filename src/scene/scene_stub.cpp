// Bodies of the scene modules still to be built: each is empty here and moves to its own
// file when its module is written.
#include "scene/labels.h"
#include "scene/overlays.h"
#include "scene/sky.h"
#include "scene/sprite_props.h"
#include "scene/water.h"
#include "scene/world_geometry.h"

void labels_start(void) {}
void labels_stop(void) {}
void bubble_place(uint32_t) {}
void overlay_consider(uint32_t) {}
void world_geometry_draw(EntityWorld*, const void*) {}
void sky_draw(EntityWorld*, const void*) {}
void sprite_prop_draw(EntityWorld*, const void*) {}
void water_draw(EntityWorld*, const void*) {}
