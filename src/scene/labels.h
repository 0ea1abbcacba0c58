#pragma once
// World label list (speech bubbles and world-space text), an optional platform service.
#include <cstdint>

void labels_start(void);
void labels_stop(void);
// The frame's scene pass offers every visible character or object by server id, so its
// speech bubble can be placed over it this frame. Empty until bubbles are built.
void bubble_place(uint32_t server_id);
