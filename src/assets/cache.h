#pragma once
// Asset loader and cache. Requests {type, id} from the main thread (and from the zone
// loader's worker, which reads a zone's assets while the main thread draws) go into a FIFO; one
// loader thread reads each entry from its archive, decodes it with the type's decoder and
// stores the object in the type's map (eleven maps, one lock for all of them, the queue and
// the busy flag). A (type, id) pair is read at most once until it is released or purged.
//
// Events: EVENT_ASSET_LOADED {type, id, 1} when a load completed (also when it produced no
// object), EVENT_ASSET_RELEASED {type, id, 0} when a loaded entry is destroyed. Payloads are
// AssetEvent records; they carry no object: consumers look the object up with asset_find,
// which never queues a load, and treat null as "nothing to use". Events are posted after the
// cache lock is left, so a release and a completed load of the same pair racing each other
// may arrive in either order; the look-up settles it.
//
// Decoders are a table filled at start-up by the modules that own each asset kind (and by
// tests with fakes); a type without a decoder completes every load without an object. A
// decoder runs on the loader thread, must touch no shared state and returns a mem_alloc'd
// object whose first field is a 32-bit id (written by the loader, except for maps) or null.
//
// Placeholders: a failed texture or mesh answers the placeholder object installed for its
// type (the renderer's fallback texture, the unit cube mesh) once those modules install one;
// until then, and for every other type, a failure answers null.
//
// Not started (before asset_cache_start / after asset_cache_stop): requests answer
// ready = 1, failed = 1.
#include <cstdint>

enum AssetType : uint32_t {
  ASSET_TEXTURE = 0,
  ASSET_MESH = 1,
  ASSET_MAP = 2,
  ASSET_BSP = 3,
  ASSET_LIGHT = 4,
  ASSET_ANIM = 5,
  ASSET_FONT = 6,
  ASSET_SOUND = 7,
  ASSET_IMAGE = 8,
  ASSET_MUSIC = 9,
  ASSET_MORPH = 10,
  ASSET_TYPE_COUNT = 11,
};

// The ten archive slots, in the order they are opened.
enum : uint32_t { ASSET_ARCHIVE_COUNT = 10 };
extern const char* const ASSET_ARCHIVE_NAMES[ASSET_ARCHIVE_COUNT];
// Archive slot each asset type reads (images share the texture archive).
uint32_t asset_archive_of(uint32_t type);

struct AssetHandle {
  int32_t ready;   // 1 once the load completed, successfully or not
  float progress;  // 1.0 when ready, 0.0 while pending
  void* object;    // the decoded object, the type's placeholder, or null
  int32_t failed;  // 1 when completed without an object, or the request was invalid
};

struct AssetEvent {
  uint32_t type;
  uint32_t id;
  uint32_t flag;  // 1 loaded, 0 released
};
static_assert(sizeof(AssetEvent) == 12);

typedef void* (*AssetDecodeFn)(const uint8_t* data, uint32_t size);
typedef void (*AssetDestroyFn)(void* object);

struct AssetDecoder {
  AssetDecodeFn decode;
  AssetDestroyFn destroy;  // null: mem_free
};

// Installs (or with a null decode removes) the decoder of a type; 0 for a type out of range.
// Call while the loader is idle (start-up, or tests between runs).
int asset_set_decoder(uint32_t type, AssetDecoder decoder);
// Largest entry size a type loads; a larger entry is a failed load, refused before anything
// is read or allocated for it. ASSET_SIZE_LIMIT_DEFAULT until a type's decoder sets its own
// (start-up does for the built-in decoders). 0 for a type out of range.
constexpr uint64_t ASSET_SIZE_LIMIT_DEFAULT = 64ull << 20;
int asset_set_size_limit(uint32_t type, uint64_t bytes);
uint64_t asset_size_limit(uint32_t type);
// The decoder installed for a type (all null when none or out of range).
AssetDecoder asset_decoder(uint32_t type);
// The seam for the renderer's fallback texture and the unit-cube mesh: only ASSET_TEXTURE
// and ASSET_MESH take a placeholder (0 otherwise). The cache never destroys placeholders.
int asset_set_placeholder(uint32_t type, void* object);

struct Archive;
// Takes the archive table (slots may be null) and starts the loader thread. The archives
// stay owned by the caller and must outlive asset_cache_stop.
void asset_cache_start(Archive* const archives[ASSET_ARCHIVE_COUNT]);
// Stops and joins the loader, then destroys every entry (posting the release event for
// loaded ones).
void asset_cache_stop(void);

// Non-blocking; fills the handle and queues a load the first time a pair is asked for.
void asset_request(AssetHandle* handle, uint32_t type, uint32_t id);
// Repeats asset_request with 1 ms sleeps until the handle is ready.
void asset_request_wait(AssetHandle* handle, uint32_t type, uint32_t id);
// Fills the handle from the cache alone, never queueing: returns 1 when the pair is loaded
// (object may then be the placeholder or null, see failed), else 0 with ready = 0.
int asset_find(AssetHandle* handle, uint32_t type, uint32_t id);
// 1 when an entry existed and was destroyed (with the release event when it was loaded). A
// pinned entry is left alone and answers 0.
int asset_release(uint32_t type, uint32_t id);
// Pins: a count per entry that keeps asset_release from destroying it (a zone being loaded
// keeps what it preloaded until the new world is in place). 1 when the entry exists (unpin:
// and was pinned). The purge empties the cache whatever the pins.
int asset_pin(uint32_t type, uint32_t id);
int asset_unpin(uint32_t type, uint32_t id);
// Empties the cache: waits until the loader is idle, drops every queued request, destroys
// every entry as asset_release does, and returns holding the cache lock so no load can
// start; asset_purge_end releases it. Both calls must come from the same thread. Events are
// posted with the lock briefly left, so a request made meanwhile from another thread may
// survive the purge.
void asset_purge_begin(void);
void asset_purge_end(void);

// Queued requests plus the one in progress (for tests and statistics).
uint32_t asset_pending(void);
