#include "assets/cache.h"

#include "assets/archive.h"
#include "base/arena.h"
#include "base/array.h"
#include "base/event_bus.h"
#include "base/intmap.h"
#include "base/mem.h"
#include "base/queue.h"
#include "base/thread.h"

const char* const ASSET_ARCHIVE_NAMES[ASSET_ARCHIVE_COUNT] = {
    "texture.dat", "mesh.dat", "map.dat",   "bsp.dat",   "light.dat",
    "anim.dat",    "font.dat", "sound.dat", "music.dat", "morph.dat",
};

// Archive slot of each type; images read the texture archive.
static const uint32_t ARCHIVE_OF_TYPE[ASSET_TYPE_COUNT] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 8, 9};

uint32_t asset_archive_of(uint32_t type) {
  return type < ASSET_TYPE_COUNT ? ARCHIVE_OF_TYPE[type] : ASSET_ARCHIVE_COUNT;
}

struct AssetCacheEntry {
  uint32_t type;
  uint32_t id;
  void* object;  // null until loaded, and after a failed load
  int loaded;
  int32_t pins;  // asset_pin count: a pinned entry survives asset_release
};

struct AssetRequest {
  uint32_t type;
  uint32_t id;
};

static AssetDecoder g_decoders[ASSET_TYPE_COUNT];
// An entry may claim 8.5 times its stored bytes, and the loader allocates the claim before
// the decoder sees a byte: each type refuses sizes no valid file of its kind reaches.
static uint64_t g_size_limits[ASSET_TYPE_COUNT] = {
    ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT,
    ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT,
    ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT, ASSET_SIZE_LIMIT_DEFAULT,
};
static void* g_placeholders[ASSET_TYPE_COUNT];

// Everything below is guarded by g_lock, except g_archives (fixed while the loader runs) and
// g_thread (written by start and stop only, while no other thread uses the cache).
static Lock* g_lock;
static IntMap* g_maps[ASSET_TYPE_COUNT];
static Queue* g_queue;        // of AssetRequest*
static NodePool* g_requests;  // AssetRequest nodes
static int g_busy;
static int g_purge_waiting;  // a purge waits for the loader: start nothing new
static Archive* g_archives[ASSET_ARCHIVE_COUNT];
static WorkerThread* g_thread;

int asset_set_decoder(uint32_t type, AssetDecoder decoder) {
  if (type >= ASSET_TYPE_COUNT) return 0;
  g_decoders[type] = decoder.decode ? decoder : AssetDecoder{};
  return 1;
}

int asset_set_size_limit(uint32_t type, uint64_t bytes) {
  if (type >= ASSET_TYPE_COUNT) return 0;
  g_size_limits[type] = bytes;
  return 1;
}

uint64_t asset_size_limit(uint32_t type) { return type < ASSET_TYPE_COUNT ? g_size_limits[type] : 0; }

AssetDecoder asset_decoder(uint32_t type) {
  return type < ASSET_TYPE_COUNT ? g_decoders[type] : AssetDecoder{};
}

int asset_set_placeholder(uint32_t type, void* object) {
  if (type != ASSET_TEXTURE && type != ASSET_MESH) return 0;
  g_placeholders[type] = object;
  return 1;
}

static void destroy_object(uint32_t type, void* object) {
  if (!object) return;
  if (g_decoders[type].destroy)
    g_decoders[type].destroy(object);
  else
    mem_free(object);
}

static void post_event(uint32_t event, uint32_t type, uint32_t id, uint32_t flag) {
  AssetEvent payload = {type, id, flag};
  event_post_copy(event, &payload, sizeof payload);
}

// Frees a detached entry, posting its release event; called with no lock held.
static void entry_dispose(AssetCacheEntry* entry) {
  if (entry->loaded) post_event(EVENT_ASSET_RELEASED, entry->type, entry->id, 0);
  destroy_object(entry->type, entry->object);
  mem_free(entry);
}

// One run of the loader: works through the queue until it is empty. The scratch buffer
// lives for the run and grows to the largest entry seen.
static void loader_run(void) {
  uint8_t* scratch = nullptr;
  uint32_t scratch_size = 0;
  for (;;) {
    lock_enter(g_lock);
    AssetRequest* request = g_purge_waiting ? nullptr : (AssetRequest*)queue_pop(g_queue);
    g_busy = request != nullptr;
    lock_leave(g_lock);
    if (!request) break;

    uint32_t type = request->type, id = request->id;
    Archive* archive = g_archives[ARCHIVE_OF_TYPE[type]];
    void* object = nullptr;
    uint32_t size = archive_entry_size(archive, id);
    if (size > 0 && size <= g_size_limits[type] && g_decoders[type].decode) {
      if (size > scratch_size) {
        mem_free(scratch);
        scratch = (uint8_t*)mem_alloc(size);
        scratch_size = size;
      }
      if (archive_read_into(archive, id, scratch, scratch_size))
        object = g_decoders[type].decode(scratch, size);
      if (object && type != ASSET_MAP) *(uint32_t*)object = id;
    }

    lock_enter(g_lock);
    AssetCacheEntry* entry = (AssetCacheEntry*)intmap_find(g_maps[type], id);
    int stored = entry && !entry->loaded;
    if (stored) {
      entry->object = object;
      entry->loaded = 1;
    }
    pool_put(g_requests, request);
    // Still busy until the next pop: a caller that waits for nothing pending and then
    // dispatches must find the loaded event already posted.
    lock_leave(g_lock);

    // Released or purged meanwhile: nobody wants the object any more.
    if (stored)
      post_event(EVENT_ASSET_LOADED, type, id, 1);
    else
      destroy_object(type, object);
  }
  mem_free(scratch);
}

void asset_cache_start(Archive* const archives[ASSET_ARCHIVE_COUNT]) {
  if (g_lock) return;
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++) g_archives[i] = archives ? archives[i] : nullptr;
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) g_maps[t] = intmap_create(32);
  g_requests = pool_create(sizeof(AssetRequest));
  g_queue = queue_create();
  g_busy = 0;
  g_purge_waiting = 0;
  g_lock = lock_create();
  g_thread = thread_start(loader_run, 1);
}

static void release_entry_value(void* value) { entry_dispose((AssetCacheEntry*)value); }

void asset_cache_stop(void) {
  if (!g_lock) return;
  thread_stop(g_thread);
  g_thread = nullptr;
  // The loader is gone; nothing else touches the cache now, so entries are disposed of
  // (events included) without the lock.
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) {
    intmap_destroy(g_maps[t], release_entry_value);
    g_maps[t] = nullptr;
  }
  queue_destroy(g_queue, nullptr);
  g_queue = nullptr;
  pool_destroy(g_requests);
  g_requests = nullptr;
  lock_destroy(g_lock);
  g_lock = nullptr;
  for (uint32_t i = 0; i < ASSET_ARCHIVE_COUNT; i++) g_archives[i] = nullptr;
}

// Fills the handle from an entry (or its absence) under the lock.
static void handle_from_entry(AssetHandle* handle, const AssetCacheEntry* entry, uint32_t type) {
  if (entry && entry->loaded) {
    handle->ready = 1;
    handle->progress = 1.0f;
    handle->object = entry->object ? entry->object : g_placeholders[type];
    handle->failed = entry->object == nullptr;
  } else {
    handle->ready = 0;
    handle->progress = 0.0f;
    handle->object = nullptr;
    handle->failed = 0;
  }
}

static int handle_invalid(AssetHandle* handle, uint32_t type, uint32_t id) {
  handle->ready = 1;
  handle->progress = 1.0f;
  handle->object = nullptr;
  handle->failed = 0;
  if (id != 0 && type < ASSET_TYPE_COUNT && g_lock) return 0;
  handle->failed = 1;
  return 1;
}

void asset_request(AssetHandle* handle, uint32_t type, uint32_t id) {
  if (!handle || handle_invalid(handle, type, id)) return;
  lock_enter(g_lock);
  AssetCacheEntry* entry = (AssetCacheEntry*)intmap_find(g_maps[type], id);
  WorkerThread* wake = entry ? nullptr : g_thread;
  if (!entry) {
    entry = (AssetCacheEntry*)mem_alloc(sizeof(AssetCacheEntry));
    *entry = {type, id, nullptr, 0, 0};
    intmap_insert(g_maps[type], id, entry);
    AssetRequest* request = (AssetRequest*)pool_get(g_requests);
    *request = {type, id};
    queue_push(g_queue, request);
  }
  handle_from_entry(handle, entry, type);
  lock_leave(g_lock);
  // The loader looks at its queue every millisecond; a new request need not wait for that.
  thread_wake(wake);
}

void asset_request_wait(AssetHandle* handle, uint32_t type, uint32_t id) {
  if (!handle) return;
  for (;;) {
    asset_request(handle, type, id);
    if (handle->ready) return;
    sleep_ms(1);
  }
}

// The hit path of every frame: the key's mix is taken before the lock (the maps and their
// seeds last from start to stop), only the probe runs inside it, and the handle is written
// once after it.
int asset_find(AssetHandle* handle, uint32_t type, uint32_t id) {
  if (!handle) return 0;
  if (id == 0 || type >= ASSET_TYPE_COUNT || !g_lock) {
    *handle = {0, 0.0f, nullptr, 1};  // failed: there is nothing to wait for
    return 0;
  }
  const IntMap* map = g_maps[type];
  uint32_t hash = intmap_hash(map, id);
  lock_enter(g_lock);
  const AssetCacheEntry* entry = (const AssetCacheEntry*)intmap_find_hashed(map, id, hash);
  int loaded = entry && entry->loaded;
  void* object = loaded ? entry->object : nullptr;
  lock_leave(g_lock);
  if (!loaded) {
    *handle = {0, 0.0f, nullptr, 0};
    return 0;
  }
  *handle = {1, 1.0f, object ? object : g_placeholders[type], object == nullptr};
  return 1;
}

int asset_release(uint32_t type, uint32_t id) {
  if (type >= ASSET_TYPE_COUNT || !g_lock) return 0;
  lock_enter(g_lock);
  AssetCacheEntry* entry = (AssetCacheEntry*)intmap_find(g_maps[type], id);
  if (entry && entry->pins > 0)
    entry = nullptr;  // a zone being loaded still counts on it
  else if (entry)
    intmap_take(g_maps[type], id);
  lock_leave(g_lock);
  if (!entry) return 0;
  entry_dispose(entry);
  return 1;
}

static int change_pins(uint32_t type, uint32_t id, int32_t step) {
  if (type >= ASSET_TYPE_COUNT || !g_lock) return 0;
  lock_enter(g_lock);
  AssetCacheEntry* entry = (AssetCacheEntry*)intmap_find(g_maps[type], id);
  int changed = entry && (step > 0 || entry->pins > 0);
  if (changed) entry->pins += step;
  lock_leave(g_lock);
  return changed;
}

int asset_pin(uint32_t type, uint32_t id) { return change_pins(type, id, 1); }
int asset_unpin(uint32_t type, uint32_t id) { return change_pins(type, id, -1); }

static Array* g_purged;  // entries detached by the purge in progress

static void collect_entry(void* value) { array_push(g_purged, &value); }
static void return_request(void* request) { pool_put(g_requests, request); }

void asset_purge_begin(void) {
  if (!g_lock) return;
  // Without the flag a loader working through a long queue would take the next request
  // every time it lets go of the lock, and the purge would wait for the whole queue.
  lock_enter(g_lock);
  g_purge_waiting = 1;
  while (g_busy) {
    lock_leave(g_lock);
    sleep_ms(1);
    lock_enter(g_lock);
  }
  g_purge_waiting = 0;
  queue_drain(g_queue, return_request);
  g_purged = array_create(sizeof(AssetCacheEntry*), 64, nullptr);
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) intmap_clear(g_maps[t], collect_entry);
  // No thread may hold two locks, and posting takes the bus's: the detached entries are
  // disposed of with the cache lock left for a moment. The queue is empty and every map
  // too, so the loader finds nothing to do in that gap.
  lock_leave(g_lock);
  for (uint32_t i = 0; i < g_purged->count; i++) entry_dispose(*array_item<AssetCacheEntry*>(g_purged, i));
  array_destroy(g_purged, nullptr);
  g_purged = nullptr;
  lock_enter(g_lock);
}

void asset_purge_end(void) {
  if (g_lock) lock_leave(g_lock);
}

uint32_t asset_pending(void) {
  if (!g_lock) return 0;
  lock_enter(g_lock);
  uint32_t pending = queue_count(g_queue) + (g_busy ? 1 : 0);
  lock_leave(g_lock);
  return pending;
}
