#pragma once
// Drawing of the sky: a render item (layer 3, key 0) that the frame submits every frame.
// Empty until the sky is built.
struct EntityWorld;

void sky_draw(EntityWorld* world, const void* payload);
