#include "game/zone_cells.h"

#include "assets/cache.h"
#include "assets/map.h"
#include "game/game_world.h"
#include "game/zone_loading.h"
#include "game/zone_props.h"
#include "scene/zone_stream.h"

namespace {

// Written by the worker (phase 0 of a begun world, phase 1), read on the main thread after
// the worker was joined (phase 2).
struct Pending {
  const MapObject* zone_map;
  const MapObject* cells[ZONE_PRELOAD_CELLS_MAX];
  uint32_t count;
};
Pending s_pending;

void on_cell(int32_t phase, const MapObject* map, EntityWorld* world) {
  if (phase == ZONE_PHASE_BEGIN) {
    if (!world) zone_stream_reset();  // the old world is gone: so are its cells
    s_pending = Pending{};
    return;
  }
  if (phase == ZONE_PHASE_BUILT) {
    if (!map) return;
    if (!s_pending.zone_map)
      s_pending.zone_map = map;  // the zone's own entry comes first
    else if (s_pending.count < ZONE_PRELOAD_CELLS_MAX)
      s_pending.cells[s_pending.count++] = map;
    return;
  }
  if (!world || !s_pending.zone_map) return;
  zone_stream_set_grid(world->tag, s_pending.zone_map);
  for (uint32_t i = 0; i < s_pending.count; i++) {
    const MapObject* cell = s_pending.cells[i];
    AssetHandle bsp;
    if (!cell->bsp_id || !asset_find(&bsp, ASSET_BSP, cell->bsp_id) || !bsp.object) continue;
    zone_stream_adopt(cell->id, (MapObject*)cell, (BspObject*)bsp.object);
  }
  s_pending = Pending{};
}

void hook_prepare(uint32_t, MapObject* map) { zone_map_prepare(map); }
void hook_create(uint32_t, MapObject* map) { zone_cell_props_create(game_world(), map); }
void hook_remove(uint32_t, MapObject* map) { zone_cell_props_remove(game_world(), map); }

const ZoneCellHooks kHooks = {hook_prepare, hook_create, hook_remove};

}  // namespace

void zone_cells_install(void) {
  zone_stream_set_hooks(&kHooks);
  zone_add_cell_listener(on_cell);
}

void zone_cells_uninstall(void) {
  zone_remove_cell_listener(on_cell);
  zone_stream_set_hooks(nullptr);
  s_pending = Pending{};
}
