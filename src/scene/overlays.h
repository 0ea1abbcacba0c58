#pragma once
// Overhead health bars and the target marker. The frame's scene pass offers every visible
// character or object by server id after its bubble; the overlays decide whether it gets a
// bar or the marker. Empty until the overlays are built.
#include <cstdint>

void overlay_consider(uint32_t server_id);
