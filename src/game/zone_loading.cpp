#include "game/zone_loading.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "assets/cache.h"
#include "assets/map.h"
#include "base/array.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/thread.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/zone_cells.h"
#include "game/zone_machine.h"
#include "game/zone_props.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "net/payloads.h"
#include "scene/environment.h"
#include "scene/zone_stream.h"
#include "settings/settings.h"

namespace {

// What the worker is asked to build; written by the main thread before the worker starts.
struct Request {
  int32_t zone;
  int32_t has_position;
  float x, y, z;
  int32_t level;  // CLIP_DISTANCE when the request was taken
};

// The worker's own results, read by the main thread only after the join.
struct Work {
  EntityWorld* world;
  const MapObject* zone_map;
  Array* pins;  // of ZoneAssetRef
  uint32_t cells;
  uint32_t props;
  double started_ms;
  double finished_ms;  // when the worker published (the swap may wait for a spawn)
};

struct Loader {
  Lock* lock;  // guards progress only
  ZoneProgress progress;
  WorkerThread* thread;
  Request request;
  Work work;
  ZoneMachine machine;
  float position[3];  // of the pending zone-enter
  int32_t has_position;
  ZoneCellListener listeners[ZONE_CELL_LISTENERS_MAX];
  uint32_t listener_count;
  void (*sink)(const char* line);
  ZoneLoadReport report;
  int32_t started;
  uint32_t ready_sent;
};

Loader g;

// Assets one cell may name (more are not preloaded; streaming asks for them when drawing).
constexpr uint32_t ZONE_CELL_ASSETS_MAX = 512;

// Wall time, not the frame clock: the headless harness runs a fixed clock of its own.
double now_ms(void) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void line(const char* text) {
  if (g.sink)
    g.sink(text);
  else
    printf("%s\n", text);
}

void notify(int32_t phase, const MapObject* map, EntityWorld* world) {
  for (uint32_t i = 0; i < g.listener_count; i++) g.listeners[i](phase, map, world);
}

int cancelled(void) {
  lock_enter(g.lock);
  int c = g.progress.cancel;
  lock_leave(g.lock);
  return c;
}

void publish_progress(float progress, uint32_t cells, uint32_t props) {
  lock_enter(g.lock);
  if (progress > g.progress.progress) g.progress.progress = progress;  // never falls
  g.progress.cells = (int32_t)cells;
  g.progress.props = (int32_t)props;
  lock_leave(g.lock);
}

void pin(uint32_t type, uint32_t id) {
  if (asset_pin(type, id)) {
    ZoneAssetRef ref = {type, id};
    array_push(g.work.pins, &ref);
  }
}

// Blocking read through the cache, pinned until the swap or the load's end. The poll is
// finer than asset_request_wait's millisecond: a zone is hundreds of small entries, and a
// millisecond's sleep on each made sleeping most of the load.
void* load_pinned(uint32_t type, uint32_t id) {
  AssetHandle h;
  for (;;) {
    asset_request(&h, type, id);
    if (h.ready) break;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  pin(type, id);
  return h.failed ? nullptr : h.object;
}

void build_camera_and_environment(EntityWorld* world, const MapObject* map) {
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  if (CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera)) {
    c->near_plane = 0.1f;
    c->far_distance = map->far_distance;
    c->fov_degrees = 60.0f;
  }
  uint32_t env = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  if (ZoneEnvironment* e = (ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, env))
    env_record_init(e, map->env_colour, map->env_value1, map->far_distance, map->env_value2, map->env_value3,
                    map->env_word, map->cell_size);
  zone_props_setup(world, map);
}

float view_distance(const MapObject* map, int32_t level) {
  ZoneEnvironment e = {};
  env_record_init(&e, map->env_colour, map->env_value1, map->far_distance, map->env_value2, map->env_value3,
                  map->env_word, map->cell_size);
  return env_view_distance_for_level(&e, level, nullptr);
}

void request_assets(const MapObject* cell) {
  ZoneAssetRef refs[ZONE_CELL_ASSETS_MAX];
  const uint32_t n = zone_map_assets(cell, refs, ZONE_CELL_ASSETS_MAX);
  for (uint32_t i = 0; i < n; i++) {
    AssetHandle h;
    asset_request(&h, refs[i].type, refs[i].id);
  }
}

// One cell whose assets are already queued: each awaited in order, then the cell's props.
// 0 when cancelled.
int preload_cell(EntityWorld* world, const MapObject* cell, uint32_t index, uint32_t cell_count) {
  const float span = (float)(cell_count + 1);
  if (cell) {
    ZoneAssetRef refs[ZONE_CELL_ASSETS_MAX];
    const uint32_t n = zone_map_assets(cell, refs, ZONE_CELL_ASSETS_MAX);
    for (uint32_t i = 0; i < n; i++) {
      if (cancelled()) return 0;
      load_pinned(refs[i].type, refs[i].id);
      publish_progress(((float)index + (float)(i + 1) / (float)n) / span, g.work.cells, g.work.props);
    }
    if (cancelled()) return 0;  // the asset in flight completed after the cancel: build no more
    g.work.props += zone_cell_props_create(world, cell);
    g.work.cells++;
    notify(ZONE_PHASE_BUILT, cell, world);
  }
  publish_progress((float)(index + 1) / span, g.work.cells, g.work.props);
  return !cancelled();
}

// The cells' maps, queued at once in ring order and then awaited in that order, each one's
// assets queued as it arrives: the loader's queue then never runs dry between cells (an
// empty queue costs the loader thread a wait of up to a millisecond).
int preload_maps(uint32_t zone, const uint32_t* cells, uint32_t n, const MapObject** maps) {
  for (uint32_t i = 0; i < n; i++) {
    AssetHandle h;
    asset_request(&h, ASSET_MAP, (zone << 16) | cells[i]);
  }
  for (uint32_t i = 0; i < n; i++) {
    if (cancelled()) return 0;
    maps[i] = (const MapObject*)load_pinned(ASSET_MAP, (zone << 16) | cells[i]);
    request_assets(maps[i]);
  }
  return 1;
}

void worker_run(void) {
  const Request r = g.request;
  Work* w = &g.work;
  const MapObject* map = (const MapObject*)load_pinned(ASSET_MAP, (uint32_t)r.zone);
  if (map && !cancelled()) {
    w->zone_map = map;
    PropCounts counts = zone_prop_counts(map);
    w->world = catalogue_world_create((uint32_t)r.zone, &counts);
    build_camera_and_environment(w->world, map);
    notify(ZONE_PHASE_BEGIN, nullptr, w->world);
    w->props += zone_cell_props_create(w->world, map);
    notify(ZONE_PHASE_BUILT, map, w->world);
    uint32_t cells[ZONE_PRELOAD_CELLS_MAX];
    const uint32_t n = zone_preload_cells(map, r.has_position, r.x, r.z, view_distance(map, r.level), cells);
    const MapObject* maps[ZONE_PRELOAD_CELLS_MAX] = {};
    if (preload_maps((uint32_t)r.zone, cells, n, maps))
      for (uint32_t i = 0; i < n; i++)
        if (!preload_cell(w->world, maps[i], i, n)) break;
  }
  w->finished_ms = now_ms();
  lock_enter(g.lock);
  g.progress.done = 1;
  g.progress.failed = w->world == nullptr;
  g.progress.progress = 1.0f;
  g.progress.cells = (int32_t)w->cells;
  g.progress.props = (int32_t)w->props;
  lock_leave(g.lock);
}

void unpin_all(void) {
  if (!g.work.pins) return;
  for (uint32_t i = 0; i < g.work.pins->count; i++) {
    const ZoneAssetRef* ref = array_item<ZoneAssetRef>(g.work.pins, i);
    asset_unpin(ref->type, ref->id);
  }
  array_clear(g.work.pins, nullptr);
}

void start_worker(int32_t zone) {
  g.request = {zone, g.has_position, g.position[0], g.position[1], g.position[2], setting_clip_distance()};
  if (!g.work.pins) g.work.pins = array_create(sizeof(ZoneAssetRef), 64, nullptr);
  g.work = {nullptr, nullptr, g.work.pins, 0, 0, now_ms(), 0};
  lock_enter(g.lock);
  g.progress = {0, 0, 0.0f, zone, 0, 0, 0};
  lock_leave(g.lock);
  g.thread = thread_start(worker_run, 0);
  if (!g.thread) {  // no thread: the load fails like a missing zone
    lock_enter(g.lock);
    g.progress.done = 1;
    g.progress.failed = 1;
    lock_leave(g.lock);
  }
}

// Joins the worker; answers its world (or null) and leaves the pins for the caller.
EntityWorld* join_worker(void) {
  if (g.thread) thread_stop(g.thread);
  g.thread = nullptr;
  EntityWorld* world = g.work.world;
  g.work.world = nullptr;
  return world;
}

void cancel_worker(void) {
  lock_enter(g.lock);
  g.progress.cancel = 1;
  lock_leave(g.lock);
  EntityWorld* world = join_worker();
  if (world) world_destroy(world);
  unpin_all();
}

void swap_in(EntityWorld* world) {
  game_world_replace(world);
  notify(ZONE_PHASE_CURRENT, g.work.zone_map, world);
  unpin_all();
}

void report_loaded(int32_t zone) {
  g.report = {zone, g.work.cells, g.work.props, g.work.finished_ms - g.work.started_ms,
              zone_props_outside(game_world())};
  char text[160];
  snprintf(text, sizeof text, "zone %d loaded: %u cells, %u props, %.0f ms", zone, g.report.cells, g.report.props,
           g.report.milliseconds);
  line(text);
  if (g.report.outside) {
    snprintf(text, sizeof text, "zone %d: %u props outside the zone's bounds", zone, g.report.outside);
    line(text);
  }
}

void report_failed(int32_t zone) {
  int32_t payload = zone;
  event_post_copy(EVENT_ZONE_FAILED, &payload, sizeof payload);
  char text[96];
  snprintf(text, sizeof text, "zone %d could not be loaded", zone);
  line(text);
}

// The old world goes, the cache is emptied, and the placeholder is built while the main
// thread waits: it is small.
void drop_and_placeholder(void) {
  game_world_replace(nullptr);
  notify(ZONE_PHASE_BEGIN, nullptr, nullptr);
  notify(ZONE_PHASE_CURRENT, nullptr, nullptr);
  // The purge returns holding the cache lock: nothing may come in between.
  asset_purge_begin();
  asset_purge_end();
  const int32_t has_position = g.has_position;
  g.has_position = 0;
  start_worker(1);
  for (;;) {
    lock_enter(g.lock);
    int done = g.progress.done;
    lock_leave(g.lock);
    if (done) break;
    sleep_ms(1);
  }
  EntityWorld* world = join_worker();
  if (world) swap_in(world);
  unpin_all();
  g.has_position = has_position;
}

void send_zone_ready(int32_t zone) {
  int32_t value = net_zone_reply(zone);
  PayloadWriter w = {&value, [](MsgBuf* b, void* c) { payload_int(b, *(int32_t*)c); }};
  net_world_send_with(OUT_WORLD_ZONE_LOADED, &w);
  g.ready_sent++;
}

void run(uint32_t a) {
  const int32_t zone = g.machine.zone;
  if (a & ZONE_DO_CANCEL) cancel_worker();
  if (a & ZONE_DO_HOLD_OFF) net_set_hold(0, zone_hold_filter);
  if (a & ZONE_DO_DISCARD_HELD) net_discard_held();
  if (a & ZONE_DO_HOLD_ON) net_set_hold(1, zone_hold_filter);
  if (a & ZONE_DO_DROP_HELD_14) net_drop_held(MSG_ZONE_ENTER);
  if (a & ZONE_DO_PLACEHOLDER) drop_and_placeholder();
  if (a & ZONE_DO_START) start_worker(zone);
  if (a & ZONE_DO_SEND_6) send_zone_ready(zone);
  if (a & ZONE_DO_SWAP) {
    swap_in(join_worker());
    report_loaded(zone);
    lock_enter(g.lock);
    g.progress = ZoneProgress{};
    lock_leave(g.lock);
  }
  if (a & ZONE_DO_FAIL) {
    if (EntityWorld* world = join_worker()) world_destroy(world);
    unpin_all();
    report_failed(zone);
  }
}

void step(ZoneEvent event, int32_t zone) { run(zone_machine_step(&g.machine, event, zone)); }

void refuse(int32_t zone) { report_failed(zone); }

void on_zone_enter(const NetEvent*, const MsgZone* r) {
  zone_enter(net_zone_number(r->zone), r->position[0], r->position[1], r->position[2], 1);
}
void on_zone_change(const NetEvent*, const MsgZone* r) { zone_change(net_zone_number(r->zone), 1); }

}  // namespace

void zone_init(void) {
  if (!g.lock) g.lock = lock_create();
  g.machine = zone_machine_initial();
  g.listener_count = 0;
  g.started = 1;
}

void zone_shutdown(void) {
  if (!g.started) return;
  uint32_t a = zone_machine_step(&g.machine, ZONE_EV_SHUTDOWN, 0);
  if (a & ZONE_DO_CANCEL) cancel_worker();
  if (a & ZONE_DO_HOLD_OFF) net_set_hold(0, nullptr);
  if (g.thread) cancel_worker();
  unpin_all();
  if (g.work.pins) array_destroy(g.work.pins, nullptr);
  net_effects()->zone_enter = nullptr;
  net_effects()->zone_change = nullptr;
  Lock* lock = g.lock;
  g = Loader{};
  lock_destroy(lock);
}

// The module slots: the lock at start-up, the requests once every module is set up, the
// zone work last in each frame.
void zone_loading_setup_locks(void) { zone_init(); }
void zone_loading_frame(void) { zone_frame(); }
void zone_loading_shutdown(void) {
  zone_cells_uninstall();
  zone_shutdown();
}

void zone_loading_setup_requests(void) {
  zone_cells_install();
  net_effects()->zone_enter = on_zone_enter;
  net_effects()->zone_change = on_zone_change;
  zone_background();
}

void zone_enter(int32_t zone, float x, float y, float z, int32_t wait) {
  if (!g.started) return;
  const uint32_t a = zone_machine_step(&g.machine, ZONE_EV_ENTER, zone);
  if (a & ZONE_DO_REFUSE) return refuse(zone);
  if (!wait) g.machine.wait = 0;
  g.position[0] = x;
  g.position[1] = y;
  g.position[2] = z;
  g.has_position = std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
  run(a);
}

void zone_change(int32_t zone, int32_t wait) {
  if (!g.started) return;
  g.has_position = 0;
  // The machine answers the placeholder and the start together; the wait flag is the
  // caller's, so it is settled before the actions run.
  uint32_t a = zone_machine_step(&g.machine, ZONE_EV_CHANGE, zone);
  if (a & ZONE_DO_REFUSE) return refuse(zone);
  if (!wait) g.machine.wait = 0;
  run(a);
}

void zone_background(void) {
  if (!g.started) return;
  g.has_position = 0;
  run(zone_machine_step(&g.machine, ZONE_EV_BACKGROUND, 2));
}

void zone_frame(void) {
  if (!g.started) return;
  if (g.machine.worker && !g.machine.done) {
    lock_enter(g.lock);
    const int32_t done = g.progress.done, failed = g.progress.failed;
    lock_leave(g.lock);
    if (done) zone_machine_step(&g.machine, failed ? ZONE_EV_FAILED : ZONE_EV_DONE, 0);
  }
  step(ZONE_EV_FRAME, 0);
}

int zone_loading(void) { return g.machine.loading; }

ZoneProgress zone_progress(void) {
  ZoneProgress copy = {};
  if (!g.lock) return copy;
  lock_enter(g.lock);
  copy = g.progress;
  lock_leave(g.lock);
  return copy;
}

int zone_add_cell_listener(ZoneCellListener listener) {
  if (!listener || g.listener_count >= ZONE_CELL_LISTENERS_MAX) return 0;
  for (uint32_t i = 0; i < g.listener_count; i++)
    if (g.listeners[i] == listener) return 0;
  g.listeners[g.listener_count++] = listener;
  return 1;
}

void zone_remove_cell_listener(ZoneCellListener listener) {
  for (uint32_t i = 0; i < g.listener_count; i++) {
    if (g.listeners[i] != listener) continue;
    for (uint32_t j = i + 1; j < g.listener_count; j++) g.listeners[j - 1] = g.listeners[j];
    g.listener_count--;
    return;
  }
}

int32_t zone_hold_filter(uint16_t opcode) {
  if (opcode == MSG_ZONE_CHANGE || opcode == MSG_BACK_TO_CHARACTERS) return 0;
  if (opcode == MSG_SPAWN_LOCAL_PLAYER) step(ZONE_EV_SPAWN, 0);
  return 1;
}

int32_t zone_ring_count(float view_distance, uint32_t cell_size) {
  if (cell_size == 0 || !(view_distance > 0)) return 1;
  const float r = ceilf(view_distance / (float)cell_size);
  return r < 1 ? 1 : (r > 6 ? 6 : (int32_t)r);
}

uint32_t zone_preload_cells(const MapObject* map, int32_t has_position, float x, float z, float view_distance,
                            uint32_t out[ZONE_PRELOAD_CELLS_MAX]) {
  if (!map || map->cell_size == 0 || map->grid_columns == 0 || map->grid_rows == 0 ||
      map->grid_columns > MAP_GRID_MAX || map->grid_rows > MAP_GRID_MAX)
    return 0;
  const int32_t columns = (int32_t)map->grid_columns, rows = (int32_t)map->grid_rows;
  if (!has_position) {
    const int32_t r = columns > rows ? columns : rows;
    return zone_ring_cells(0, 0, r, map->grid_columns, map->grid_rows, out);
  }
  const float cell = (float)map->cell_size;
  float fc = floorf((x - map->grid_origin_x) / cell), fr = floorf((z - map->grid_origin_z) / cell);
  if (!std::isfinite(fc)) fc = 0;
  if (!std::isfinite(fr)) fr = 0;
  const int32_t column = fc < 0 ? 0 : (fc > (float)(columns - 1) ? columns - 1 : (int32_t)fc);
  const int32_t row = fr < 0 ? 0 : (fr > (float)(rows - 1) ? rows - 1 : (int32_t)fr);
  return zone_ring_cells(column, row, zone_ring_count(view_distance, map->cell_size), map->grid_columns,
                         map->grid_rows, out);
}

void zone_set_line_sink(void (*sink)(const char* text)) { g.sink = sink; }
ZoneLoadReport zone_last_report(void) { return g.report; }
uint32_t zone_ready_sent(void) { return g.ready_sent; }
