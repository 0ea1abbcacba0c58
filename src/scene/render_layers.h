#pragma once
// Render layers: the eight ordered lists through which everything in a frame is drawn. Any
// module may submit an item (a fixed-size payload and the function that draws it) to a layer
// under a 32-bit batch key during the frame; the frame walks layer 0 to 7 and calls every
// item, so the layer fixes the coarse order (0 clear, 1 opaque world and models, 2 second
// model pass, 3 sky, 4 water, 5 sprites and translucent effects, 6 unused, 7 interface) and
// items sharing a key are drawn one after another, in submission order.
//
// Within a layer the key-0 items (clears, sky, world geometry, interface) come first, then
// each other key's items in the order of that key's slot in the layer's map (IntMap, which
// spreads keys that differ only in their high bits, as content ids often do). The slot order
// is stable while the set of keys does not change.
//
// Items live until render_layers_empty; the arrays and keys stay allocated for the next
// frame, so a frame whose keys were all seen before allocates nothing. A submission made
// while the layers are being walked is refused (the walk would otherwise chase a moving
// array); debug builds count such refusals. Main thread only.
#include <cstdint>

struct EntityWorld;

constexpr int RENDER_LAYER_COUNT = 8;
constexpr uint32_t RENDER_PAYLOAD_BYTES = 156;

// Called once per item during the walk with the world the frame draws (may be null) and the
// item's copy of its payload.
typedef void (*RenderItemFn)(EntityWorld* world, const void* payload);

struct RenderItem {
  int32_t layer;
  int32_t key;
  // Aligned for the pointers a producer's payload record may hold.
  alignas(8) uint8_t payload[RENDER_PAYLOAD_BYTES];
  RenderItemFn fn;
};

// Creates the eight layers; a second call does nothing.
void render_layers_startup(void);
// Frees every layer, key and array.
void render_layers_shutdown(void);

// The layer is clamped into 0..7; the payload's RENDER_PAYLOAD_BYTES are copied (null gives
// zeros). 1 accepted; 0 when refused (during the walk, or before start-up).
int submit_render_item(int32_t layer, uint32_t key, const void* payload, RenderItemFn fn);
// Calls every item of layers first..last in order (items without a function are skipped).
void render_layers_walk(EntityWorld* world, int first, int last);
// Empties every array of every layer, keeping arrays and keys.
void render_layers_empty(void);
// Frees the arrays and forgets the keys, keeping the layers (a new zone brings new keys).
void render_layers_forget_keys(void);

// Hands each waiting item of a layer, in walk order, to visit without drawing it (for tests
// and statistics); the visitor must not submit.
typedef void (*RenderItemVisitFn)(const RenderItem* item, void* context);
void render_layers_visit(int layer, RenderItemVisitFn visit, void* context);
// Items waiting in a layer (for tests and statistics); 0 outside 0..7.
uint32_t render_layer_item_count(int layer);
// Submissions refused during a walk since start-up (counted in debug builds only).
uint32_t render_layers_refused(void);
