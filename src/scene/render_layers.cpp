#include "scene/render_layers.h"

#include <cstring>

#include "base/array.h"
#include "base/intmap.h"

namespace {

constexpr uint32_t LAYER_MAP_HINT = 32;
constexpr uint32_t LAYER_ARRAY_STEP = 8;

struct RenderLayer {
  Array* key0;    // key-0 items, drawn before every keyed list of the layer
  IntMap* keyed;  // key -> Array of RenderItem
};

RenderLayer g_layers[RENDER_LAYER_COUNT];
bool g_started;
bool g_walking;
uint32_t g_refused;

Array* new_item_array(void) { return array_create(sizeof(RenderItem), LAYER_ARRAY_STEP, nullptr); }

void release_item_array(void* value) { array_destroy((Array*)value, nullptr); }

// The next element of the array, grown when full; written in place so a submission copies
// its payload once.
RenderItem* append_slot(Array* array) {
  if (array->count == array->capacity) {
    array_push(array, nullptr);
    return (RenderItem*)array->data + (array->count - 1);
  }
  return (RenderItem*)array->data + array->count++;
}

void walk_array(const Array* array, EntityWorld* world) {
  const RenderItem* items = (const RenderItem*)array->data;
  for (uint32_t i = 0; i < array->count; i++)
    if (items[i].fn) items[i].fn(world, items[i].payload);
}

}  // namespace

constexpr uint32_t LAYER_MAP_SEED = 0x5EEDu;

void render_layers_startup(void) {
  if (g_started) return;
  for (RenderLayer& layer : g_layers) {
    layer.key0 = new_item_array();
    // Keys are mesh and prop ids from the content, not from a server, and the walk visits them
    // in slot order: a fixed seed draws a scene in the same order on every run.
    layer.keyed = intmap_create_seeded(LAYER_MAP_HINT, LAYER_MAP_SEED);
  }
  g_started = true;
  g_walking = false;
  g_refused = 0;
}

void render_layers_shutdown(void) {
  if (!g_started) return;
  for (RenderLayer& layer : g_layers) {
    array_destroy(layer.key0, nullptr);
    intmap_destroy(layer.keyed, release_item_array);
    layer = RenderLayer{};
  }
  g_started = false;
}

int submit_render_item(int32_t layer, uint32_t key, const void* payload, RenderItemFn fn) {
  if (!g_started) return 0;
  if (g_walking) {
#ifndef NDEBUG
    g_refused++;
#endif
    return 0;
  }
  RenderLayer* target = &g_layers[layer < 0 ? 0 : (layer > 7 ? 7 : layer)];
  Array* array = target->key0;
  if (key != 0) {
    array = (Array*)intmap_find(target->keyed, key);
    if (!array) {
      array = new_item_array();
      intmap_insert(target->keyed, key, array);
    }
  }
  RenderItem* item = append_slot(array);
  item->layer = (int32_t)(target - g_layers);
  item->key = (int32_t)key;
  if (payload)
    memcpy(item->payload, payload, RENDER_PAYLOAD_BYTES);
  else
    memset(item->payload, 0, RENDER_PAYLOAD_BYTES);
  item->fn = fn;
  return 1;
}

// The keyed maps never hold key 0 (those items have their own list), so a slot holding a
// non-zero key is exactly a used one; walking the slots directly keeps the walk free of calls.
void render_layers_walk(EntityWorld* world, int first, int last) {
  if (!g_started || g_walking) return;
  if (first < 0) first = 0;
  if (last > RENDER_LAYER_COUNT - 1) last = RENDER_LAYER_COUNT - 1;
  g_walking = true;
  for (int l = first; l <= last; l++) {
    const RenderLayer& layer = g_layers[l];
    walk_array(layer.key0, world);
    const IntMap* map = layer.keyed;
    for (uint32_t slot = 0; slot < map->capacity; slot++)
      if (map->keys[slot]) walk_array((const Array*)map->values[slot], world);
  }
  g_walking = false;
}

void render_layers_empty(void) {
  if (!g_started) return;
  for (RenderLayer& layer : g_layers) {
    layer.key0->count = 0;
    IntMap* map = layer.keyed;
    for (uint32_t slot = 0; slot < map->capacity; slot++)
      if (map->keys[slot]) ((Array*)map->values[slot])->count = 0;
  }
}

void render_layers_forget_keys(void) {
  if (!g_started || g_walking) return;
  for (RenderLayer& layer : g_layers) {
    layer.key0->count = 0;
    intmap_clear(layer.keyed, release_item_array);
  }
}

void render_layers_visit(int layer, RenderItemVisitFn visit, void* context) {
  if (!g_started || layer < 0 || layer >= RENDER_LAYER_COUNT || !visit) return;
  const RenderLayer& l = g_layers[layer];
  auto visit_array = [&](const Array* array) {
    const RenderItem* items = (const RenderItem*)array->data;
    for (uint32_t i = 0; i < array->count; i++) visit(&items[i], context);
  };
  visit_array(l.key0);
  for (uint32_t slot = 0; slot < l.keyed->capacity; slot++)
    if (l.keyed->keys[slot]) visit_array((const Array*)l.keyed->values[slot]);
}

uint32_t render_layer_item_count(int layer) {
  if (!g_started || layer < 0 || layer >= RENDER_LAYER_COUNT) return 0;
  const RenderLayer& l = g_layers[layer];
  uint32_t total = l.key0->count;
  for (uint32_t slot = 0; slot < l.keyed->capacity; slot++)
    if (l.keyed->keys[slot]) total += ((const Array*)l.keyed->values[slot])->count;
  return total;
}

uint32_t render_layers_refused(void) { return g_refused; }
