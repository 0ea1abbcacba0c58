#pragma once
// Drawing of kind-5 props (camera-facing sprites): the scene pass submits one item per visible
// prop, keyed by prop id, in layer 5. Empty until sprite props are built.
struct EntityWorld;

void sprite_prop_draw(EntityWorld* world, const void* payload);
