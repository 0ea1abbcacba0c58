#pragma once
// Zone cell streaming: a zone's static world is cut into square cells on a horizontal grid;
// each cell is one map asset (id = zone << 16 | column << 8 | row) and the BSP asset its map
// names. Every frame the cells in rings around the player's cell are requested, at most one
// requested cell completes, and cells that fell out of range are released.
//
// The grid comes from the zone's map entry. No grid (the update then does nothing and every
// point counts as ready): a zone number outside 1..65535, a cell size of 0, no columns or
// rows or more than 256 of either, or a non-finite origin.
//
// Cell table: 256 slots, each free, requested, loaded or failed. A failed cell (its map or
// its BSP failed to load, or its map was empty) is not retried while it stays in range and
// counts as ready; a cell whose BSP never arrives stays requested and blocks no other cell.
// Releasing a cell releases its map asset and, once no other cell uses it, its BSP asset.
//
// The loaded-cell list holds the loaded cells of the current zone nearest first (Chebyshev
// distance from the player's cell, ties in table order). Pointers into it (maps, BSPs) are
// valid until the next update, adopt or reset. Main thread only; assets load on the loader
// thread and are only polled here.
#include <cstdint>

struct MapObject;
struct BspObject;

enum : int32_t { ZONE_CELL_FREE = 0, ZONE_CELL_REQUESTED = 1, ZONE_CELL_LOADED = 2, ZONE_CELL_FAILED = 3 };
enum : uint32_t { ZONE_CELL_SLOTS = 256, ZONE_CELL_LOADED_FUNCTIONS = 16, ZONE_RING_MAX_CELLS = 256 };

struct ZoneCell {
  uint32_t id;
  int32_t state;
  MapObject* map;
  BspObject* bsp;
  uint32_t bsp_id;  // the BSP asset asked for, 0 before the map arrived
};

// How the zone's placed entities follow its cells; each slot may be null (nothing happens).
struct ZoneCellHooks {
  // A cell's map arrived: let the zone prepare it (textures, props) before its BSP is awaited.
  void (*prepare)(uint32_t cell_id, MapObject* map);
  // The cell finished loading: create its placed entities.
  void (*create)(uint32_t cell_id, MapObject* map);
  // The cell is being released: remove the entities created for it.
  void (*remove)(uint32_t cell_id, MapObject* map);
};

typedef void (*ZoneCellLoadedFn)(uint32_t cell_id);

// Empties the table, the list, the grid, the hooks and the cell-loaded functions without
// touching the asset cache (start-up, and tests between cases).
void zone_cells_setup(void);

// Takes the grid from the zone's map entry; 1 when it is a grid, 0 (no grid) otherwise.
// Slots already in the table stay; a zone change calls zone_stream_reset first.
int zone_stream_set_grid(uint32_t zone_number, const MapObject* zone_map);
// Releases every used slot as leaving range does and empties the list.
void zone_stream_reset(void);
// A cell that was loaded elsewhere enters the table as loaded (the cell-loaded functions
// run; the entity hooks do not). 0 when the table is full, the id is already in it, or the
// map or BSP is missing.
int zone_stream_adopt(uint32_t cell_id, MapObject* map, BspObject* bsp);
void zone_stream_set_hooks(const ZoneCellHooks* hooks);

// The per-frame step: centred on the local player, or on the camera while there is none.
// Does nothing without a grid, a world with a camera or an environment.
void zone_stream_update(void);

// Cells of rings 0..radius around (column, row), ring by ring, each ring's border in a fixed
// order, skipping cells outside columns x rows; at most ZONE_RING_MAX_CELLS entries of
// column << 8 | row go to out. Answers the count.
uint32_t zone_ring_cells(int32_t column, int32_t row, int32_t radius, uint32_t columns, uint32_t rows,
                         uint32_t out[ZONE_RING_MAX_CELLS]);

// The loaded cell (of the current zone) whose square holds the point, or null; a point
// outside the grid has none.
const ZoneCell* zone_cell_at(float x, float z);
// 1 without a grid, or when the cell of the point (clamped into the grid) has finished
// loading, successfully or not; else 0.
int zone_cell_ready(float x, float z);
// 1 while the current zone has a grid of cells (a zone without one has no static world).
int zone_stream_has_grid(void);
uint32_t zone_loaded_cell_count(void);
// The i-th loaded cell's BSP and map, or null past the end.
BspObject* zone_loaded_cell(uint32_t i);
MapObject* zone_cell_map(uint32_t i);
// Up to 16 functions called with the cell id when a cell finishes loading; 0 when full (a
// 17th registration is ignored).
int zone_on_cell_loaded(ZoneCellLoadedFn fn);

// Read-only view of the table and state for tests, the harness and statistics.
const ZoneCell* zone_cell_slot(uint32_t slot);
// The streaming radius and player cell the last update used (-1 before one ran).
int32_t zone_stream_radius(void);
int32_t zone_stream_player_column(void);
int32_t zone_stream_player_row(void);
// Cells completed and released since zone_cells_setup.
uint32_t zone_stream_loaded_total(void);
uint32_t zone_stream_released_total(void);
