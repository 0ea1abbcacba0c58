#pragma once
// What the headless run shows of the world: one line per server entity
// ("entity ID SPACE X Y Z HEADING STATE MESH SX SY SZ") and a closing count per space. STATE is
// the motion byte playback shows for players, 2 (walking) or 1 (standing) for creatures by
// whether they follow a path, 0 for objects; MESH the mesh id and SX SY SZ the size of the
// world bounds the last bounds pass gave (zeros before any). Reads the current game world; main thread.
#include <cstdint>

typedef void (*HeadlessLine)(const char* line);

// One line per entity of the local player's, players', creatures' and objects' spaces.
void headless_report_entities(HeadlessLine out);
// "count local N players N creatures N objects N".
void headless_report_counts(HeadlessLine out);
