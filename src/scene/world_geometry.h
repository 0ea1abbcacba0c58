#pragma once
// Drawing of the zone's streamed cell geometry: a render item (layer 1, key 0) that the frame
// submits every frame. Empty until zone streaming is built.
struct EntityWorld;

void world_geometry_draw(EntityWorld* world, const void* payload);
