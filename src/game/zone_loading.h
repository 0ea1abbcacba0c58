#pragma once
// Zone loading: the server moves the player to a zone (opcode 14 with a position, 16
// without); a worker thread builds the zone's complete world (catalogue spaces, camera,
// environment with its prop trees, the zone's and the nearest cells' props, every asset those
// cells name preloaded and pinned) while the main thread keeps drawing the small placeholder
// zone 1. Game messages are held meanwhile (the zone filter below) and delivered once the new
// world is current. Zone 2 is the background of the login and character screens.
//
// The request logic is the pure machine of zone_machine.h; this module carries out its
// actions. Threads: everything here runs on the main thread except the worker; the two share
// only the progress record, under the zone lock, and the asset cache. Cell listeners of
// phase 1 run on the worker and may touch only the world they are given and their own
// pending state.
//
// A zone that fails (no zone file, undecodable, a number outside 1..65535) leaves the
// placeholder current, clears the wait, ends holding, sends no opcode 6, posts
// EVENT_ZONE_FAILED with the zone number and prints a line.
#include <cstdint>

#include "world/entity_world.h"

struct MapObject;

enum : uint32_t { EVENT_ZONE_FAILED = 40 };  // payload: int32 zone file number

// The shared progress record: copied whole under the lock.
struct ZoneProgress {
  int32_t done;
  int32_t failed;
  float progress;  // 0 .. 1, never falling within a load
  int32_t zone;    // the zone being loaded (file number)
  int32_t cells;   // cells preloaded so far
  int32_t props;   // prop entities created so far
  int32_t cancel;
};

// Phase 0: a world is dropped (main thread, world null) or begun (worker, the new world);
// 1: a map (the zone's own, then each cell's) was built into that world (worker); 2: the
// world is current (main thread, after the world listeners ran).
enum : int32_t { ZONE_PHASE_BEGIN = 0, ZONE_PHASE_BUILT = 1, ZONE_PHASE_CURRENT = 2 };
typedef void (*ZoneCellListener)(int32_t phase, const MapObject* map, EntityWorld* world);
enum : uint32_t { ZONE_CELL_LISTENERS_MAX = 8, ZONE_PRELOAD_CELLS_MAX = 256 };

void zone_init(void);
// The module slots (start-up, last in each frame, shut-down).
void zone_loading_setup_locks(void);
void zone_loading_frame(void);
void zone_loading_shutdown(void);
// Cancels and joins a running load, frees a world that was never swapped in.
void zone_shutdown(void);
// Installs the effects of opcodes 14 and 16 (server zone numbers) and the zone filter, then
// loads the background zone.
void zone_loading_setup_requests(void);

void zone_enter(int32_t zone, float x, float y, float z, int32_t wait);
void zone_change(int32_t zone, int32_t wait);
void zone_background(void);
void zone_frame(void);

// True from an accepted request to its swap or failure.
int zone_loading(void);
ZoneProgress zone_progress(void);
// 1 added; 0 when the list is full or it is already there.
int zone_add_cell_listener(ZoneCellListener listener);
void zone_remove_cell_listener(ZoneCellListener listener);
// The filter installed with net_set_hold.
int32_t zone_hold_filter(uint16_t opcode);

// The cells preloaded for a zone: rings 0..r around the position's cell (clamped into the
// grid), r = ceil(view distance / cell size) within 1..6; without a position, r = the larger
// grid dimension around cell (0, 0). At most 256 entries of column << 8 | row.
uint32_t zone_preload_cells(const MapObject* zone_map, int32_t has_position, float x, float z,
                            float view_distance, uint32_t out[ZONE_PRELOAD_CELLS_MAX]);
int32_t zone_ring_count(float view_distance, uint32_t cell_size);

// Where the loader's lines go ("zone N loaded: ...", failures); null: standard output.
void zone_set_line_sink(void (*sink)(const char* line));
// The last finished load, for statistics and the harness.
struct ZoneLoadReport {
  int32_t zone;
  uint32_t cells;
  uint32_t props;
  double milliseconds;  // the worker's build, from its start to its last cell
  uint32_t outside;  // props outside their tree's root
};
ZoneLoadReport zone_last_report(void);
// Opcode 6 messages sent since zone_init.
uint32_t zone_ready_sent(void);
