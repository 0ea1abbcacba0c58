#include "scene/zone_stream.h"

#include <cmath>

#include "assets/bsp.h"
#include "assets/cache.h"
#include "assets/map.h"
#include "game/components.h"
#include "game/game_world.h"
#include "scene/environment.h"
#include "scene/world_geometry.h"
#include "world/entity_world.h"

namespace {

struct ZoneGrid {
  int valid;
  uint32_t zone;
  float origin_x, origin_z;
  float cell_size;
  uint32_t columns, rows;
};

struct StreamState {
  ZoneGrid grid;
  ZoneCell slots[ZONE_CELL_SLOTS];
  uint32_t loaded[ZONE_CELL_SLOTS];  // slot indices, nearest first
  uint32_t loaded_count;
  ZoneCellHooks hooks;
  ZoneCellLoadedFn on_loaded[ZONE_CELL_LOADED_FUNCTIONS];
  uint32_t on_loaded_count;
  int32_t player_column, player_row, radius;
  uint32_t loaded_total, released_total;
};

StreamState g;

inline uint32_t cell_id(uint32_t column, uint32_t row) { return g.grid.zone << 16 | column << 8 | row; }
inline uint32_t column_of(uint32_t id) { return id >> 8 & 255; }
inline uint32_t row_of(uint32_t id) { return id & 255; }
inline bool current_zone(uint32_t id) { return g.grid.valid && id >> 16 == g.grid.zone; }

// Grid coordinate of a world coordinate, clamped into 0..count-1 (non-finite reads as 0).
int32_t grid_index(float value, float origin, uint32_t count) {
  float f = floorf((value - origin) / g.grid.cell_size);
  if (!(f >= 0)) return 0;
  if (f >= (float)(count - 1)) return (int32_t)count - 1;
  return (int32_t)f;
}

// The square the point lies in, or -1 when it lies outside the grid.
int32_t grid_index_strict(float value, float origin, uint32_t count) {
  float f = floorf((value - origin) / g.grid.cell_size);
  if (!(f >= 0) || f >= (float)count) return -1;
  return (int32_t)f;
}

int32_t chebyshev(uint32_t id, int32_t column, int32_t row) {
  int32_t dc = abs((int32_t)column_of(id) - column), dr = abs((int32_t)row_of(id) - row);
  return dc > dr ? dc : dr;
}

ZoneCell* find_slot(uint32_t id) {
  for (ZoneCell& s : g.slots) {
    if (s.state != ZONE_CELL_FREE && s.id == id) return &s;
  }
  return nullptr;
}

void rebuild_list(void) {
  g.loaded_count = 0;
  // Insertion by distance keeps table order among equals.
  for (uint32_t i = 0; i < ZONE_CELL_SLOTS; i++) {
    const ZoneCell& s = g.slots[i];
    if (s.state != ZONE_CELL_LOADED || !current_zone(s.id)) continue;
    int32_t d = chebyshev(s.id, g.player_column, g.player_row);
    uint32_t at = g.loaded_count;
    while (at > 0 && chebyshev(g.slots[g.loaded[at - 1]].id, g.player_column, g.player_row) > d) {
      g.loaded[at] = g.loaded[at - 1];
      at--;
    }
    g.loaded[at] = i;
    g.loaded_count++;
  }
}

bool bsp_in_use_elsewhere(const ZoneCell* except, uint32_t bsp_id) {
  for (const ZoneCell& s : g.slots) {
    if (&s != except && s.state != ZONE_CELL_FREE && s.bsp_id == bsp_id) return true;
  }
  return false;
}

void release_slot(ZoneCell* s) {
  if (s->state == ZONE_CELL_LOADED && g.hooks.remove) g.hooks.remove(s->id, s->map);
  asset_release(ASSET_MAP, s->id);
  // Cells may share one BSP entry: it goes with its last user.
  if (s->bsp_id && !bsp_in_use_elsewhere(s, s->bsp_id)) asset_release(ASSET_BSP, s->bsp_id);
  *s = ZoneCell{};
  g.released_total++;
}

ZoneCell* free_slot(void) {
  for (ZoneCell& s : g.slots) {
    if (s.state == ZONE_CELL_FREE) return &s;
  }
  return nullptr;
}

void cell_loaded(uint32_t id) {
  g.loaded_total++;
  for (uint32_t i = 0; i < g.on_loaded_count; i++) g.on_loaded[i](id);
}

CameraState* camera_of(EntityWorld* world) {
  ComponentPool* pool = space_pool(world_space(world, SPACE_CAMERA), COMPONENT_CAMERA_STATE);
  return pool && pool->dense_count ? (CameraState*)pool_at(pool, 0) : nullptr;
}

// The local player's position, or the camera's while there is no local player (the login
// background and the wait for the spawn stream around the camera).
Vec3 centre_of(EntityWorld* world, const CameraState* camera) {
  uint32_t id = local_player_id();
  if (id) {
    const Transform* t = (const Transform*)entity_component(world, COMPONENT_TRANSFORM, entity_by_id(id));
    if (t) return t->position;
  }
  return world_camera_eye(&camera->camera);
}

int32_t radius_for(float distance) {
  float r = ceilf(distance / g.grid.cell_size);
  if (!(r >= 1)) return 1;  // NaN included
  return r > 6 ? 6 : (int32_t)r;
}

void request_rings(void) {
  uint32_t cells[ZONE_RING_MAX_CELLS];
  uint32_t n = zone_ring_cells(g.player_column, g.player_row, g.radius, g.grid.columns, g.grid.rows, cells);
  for (uint32_t i = 0; i < n; i++) {
    uint32_t id = cell_id(cells[i] >> 8, cells[i] & 255);
    if (find_slot(id)) continue;
    ZoneCell* s = free_slot();
    if (!s) return;
    *s = ZoneCell{id, ZONE_CELL_REQUESTED, nullptr, nullptr, 0};
    AssetHandle h;
    asset_request(&h, ASSET_MAP, id);
  }
}

// At most one cell completes per frame; cells still waiting never hold up the others.
void complete_one(void) {
  for (ZoneCell& s : g.slots) {
    if (s.state != ZONE_CELL_REQUESTED || !current_zone(s.id)) continue;
    AssetHandle h;
    if (!s.map) {
      asset_request(&h, ASSET_MAP, s.id);
      if (!h.ready) continue;
      if (h.failed || !h.object) {
        s.state = ZONE_CELL_FAILED;
        continue;
      }
      s.map = (MapObject*)h.object;
      s.bsp_id = s.map->bsp_id;
      if (g.hooks.prepare) g.hooks.prepare(s.id, s.map);
    }
    if (!s.bsp_id) {
      s.state = ZONE_CELL_FAILED;
      continue;
    }
    asset_request(&h, ASSET_BSP, s.bsp_id);
    if (!h.ready) continue;
    if (h.failed || !h.object) {
      s.state = ZONE_CELL_FAILED;
      continue;
    }
    s.bsp = (BspObject*)h.object;
    if (g.hooks.create) g.hooks.create(s.id, s.map);
    s.state = ZONE_CELL_LOADED;
    cell_loaded(s.id);
    rebuild_list();
    return;
  }
}

}  // namespace

void zone_cells_setup(void) {
  g = StreamState{};
  g.player_column = g.player_row = g.radius = -1;
}

int zone_stream_set_grid(uint32_t zone_number, const MapObject* zone_map) {
  g.grid = ZoneGrid{};
  if (!zone_map || zone_number < 1 || zone_number > 65535) return 0;
  const MapObject* m = zone_map;
  if (m->cell_size == 0 || m->grid_columns == 0 || m->grid_rows == 0 || m->grid_columns > 256 ||
      m->grid_rows > 256 || !std::isfinite(m->grid_origin_x) || !std::isfinite(m->grid_origin_z))
    return 0;
  g.grid = ZoneGrid{
      1, zone_number, m->grid_origin_x, m->grid_origin_z, (float)m->cell_size, m->grid_columns, m->grid_rows};
  g.player_column = g.player_row = g.radius = -1;
  rebuild_list();
  return 1;
}

void zone_stream_reset(void) {
  for (ZoneCell& s : g.slots) {
    if (s.state != ZONE_CELL_FREE) release_slot(&s);
  }
  g.loaded_count = 0;
}

int zone_stream_adopt(uint32_t id, MapObject* map, BspObject* bsp) {
  if (!map || !bsp || find_slot(id)) return 0;
  ZoneCell* s = free_slot();
  if (!s) return 0;
  *s = ZoneCell{id, ZONE_CELL_LOADED, map, bsp, map->bsp_id};
  cell_loaded(id);
  rebuild_list();
  return 1;
}

void zone_stream_set_hooks(const ZoneCellHooks* hooks) { g.hooks = hooks ? *hooks : ZoneCellHooks{}; }

void zone_stream_update(void) {
  if (!g.grid.valid) return;
  EntityWorld* world = game_world();
  CameraState* camera = world ? camera_of(world) : nullptr;
  ZoneEnvironment* env = env_record();
  if (!camera || !env) return;

  Vec3 p = centre_of(world, camera);
  float distance = env_view_distance(env, nullptr);
  for (const Vec3& c : camera->camera.corners) {
    float dx = c.x - p.x, dy = c.y - p.y, dz = c.z - p.z;
    float d = sqrtf(dx * dx + dy * dy + dz * dz);
    if (d > distance) distance = d;
  }
  g.radius = radius_for(distance);

  int32_t column = grid_index(p.x, g.grid.origin_x, g.grid.columns);
  int32_t row = grid_index(p.z, g.grid.origin_z, g.grid.rows);
  if (column != g.player_column || row != g.player_row) {
    g.player_column = column;
    g.player_row = row;
    rebuild_list();
  }

  bool released = false;
  for (ZoneCell& s : g.slots) {
    if (s.state == ZONE_CELL_FREE || !current_zone(s.id)) continue;
    if (chebyshev(s.id, column, row) > g.radius + 1) {
      release_slot(&s);
      released = true;
    }
  }
  if (released) rebuild_list();

  request_rings();
  complete_one();
}

uint32_t zone_ring_cells(int32_t column, int32_t row, int32_t radius, uint32_t columns, uint32_t rows,
                         uint32_t out[ZONE_RING_MAX_CELLS]) {
  uint32_t n = 0;
  auto put = [&](int32_t c, int32_t r) {
    if (c < 0 || r < 0 || c >= (int32_t)columns || r >= (int32_t)rows || n >= ZONE_RING_MAX_CELLS) return;
    out[n++] = (uint32_t)c << 8 | (uint32_t)r;
  };
  if (radius < 0) return 0;
  if (radius > 255) radius = 255;
  put(column, row);
  // Each ring's border: the top and bottom rows whole, then the two sides between them.
  for (int32_t k = 1; k <= radius && n < ZONE_RING_MAX_CELLS; k++) {
    for (int32_t c = column - k; c <= column + k; c++) put(c, row - k);
    for (int32_t r = row - k + 1; r <= row + k - 1; r++) {
      put(column - k, r);
      put(column + k, r);
    }
    for (int32_t c = column - k; c <= column + k; c++) put(c, row + k);
  }
  return n;
}

const ZoneCell* zone_cell_at(float x, float z) {
  if (!g.grid.valid) return nullptr;
  int32_t column = grid_index_strict(x, g.grid.origin_x, g.grid.columns);
  int32_t row = grid_index_strict(z, g.grid.origin_z, g.grid.rows);
  if (column < 0 || row < 0) return nullptr;
  const ZoneCell* s = find_slot(cell_id((uint32_t)column, (uint32_t)row));
  return s && s->state == ZONE_CELL_LOADED ? s : nullptr;
}

int zone_cell_ready(float x, float z) {
  if (!g.grid.valid) return 1;
  uint32_t column = (uint32_t)grid_index(x, g.grid.origin_x, g.grid.columns);
  uint32_t row = (uint32_t)grid_index(z, g.grid.origin_z, g.grid.rows);
  const ZoneCell* s = find_slot(cell_id(column, row));
  return s && (s->state == ZONE_CELL_LOADED || s->state == ZONE_CELL_FAILED);
}

int zone_stream_has_grid(void) { return g.grid.valid ? 1 : 0; }
uint32_t zone_loaded_cell_count(void) { return g.loaded_count; }

BspObject* zone_loaded_cell(uint32_t i) { return i < g.loaded_count ? g.slots[g.loaded[i]].bsp : nullptr; }

MapObject* zone_cell_map(uint32_t i) { return i < g.loaded_count ? g.slots[g.loaded[i]].map : nullptr; }

int zone_on_cell_loaded(ZoneCellLoadedFn fn) {
  if (!fn || g.on_loaded_count >= ZONE_CELL_LOADED_FUNCTIONS) return 0;
  g.on_loaded[g.on_loaded_count++] = fn;
  return 1;
}

const ZoneCell* zone_cell_slot(uint32_t slot) { return slot < ZONE_CELL_SLOTS ? &g.slots[slot] : nullptr; }
int32_t zone_stream_radius(void) { return g.radius; }
int32_t zone_stream_player_column(void) { return g.player_column; }
int32_t zone_stream_player_row(void) { return g.player_row; }
uint32_t zone_stream_loaded_total(void) { return g.loaded_total; }
uint32_t zone_stream_released_total(void) { return g.released_total; }
