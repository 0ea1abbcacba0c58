#include "game/character_preview.h"

#include <cstring>

#include "base/random.h"
#include "game/appearance_table.h"
#include "game/catalogue.h"
#include "game/creature_path.h"
#include "game/game_world.h"

static CharacterPreview g_preview;

static void forget(void) { memset(&g_preview, 0, sizeof(g_preview)); }

// The world was replaced: the old handle means nothing in the new one.
static void on_world_replaced(EntityWorld*) { forget(); }

static void remove_entity(void) {
  if (g_preview.handle) entity_destroy(game_world(), g_preview.handle);
  forget();
}

int character_preview_show(int32_t appearance_id, uint32_t choice) {
  game_world_listen(on_world_replaced);  // refused when already listening
  EntityWorld* world = game_world();
  if (appearance_id == 0) {
    remove_entity();
    return 1;
  }
  if (g_preview.handle && g_preview.appearance_id == appearance_id && entity_alive(world, g_preview.handle)) {
    g_preview.choice = choice;
    return 1;
  }
  remove_entity();
  uint32_t handle = catalogue_entity_create(world, SPACE_PREVIEW, 0, 3);
  if (!handle) return 0;
  Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, handle);
  t->position = {PREVIEW_X, PREVIEW_Y, PREVIEW_Z};
  t->rotation = {0, PREVIEW_HEADING, 0};
  t->scale = {1, 1, 1};
  appearance_apply(world, handle, appearance_find(appearance_id));
  g_preview.handle = handle;
  g_preview.appearance_id = appearance_id;
  g_preview.choice = choice;
  g_preview.blink_interval = random_float(1.5f, 2.0f);
  g_preview.idle_threshold = random_float(5.0f, 25.0f);
  return 1;
}

void character_preview_tick(float dt) {
  if (!g_preview.handle || !(dt > 0)) return;
  CharacterPreview& p = g_preview;
  blink_advance(&p.blink_interval, &p.blink_timer, &p.blink_step, dt);
  p.idle_timer += dt;
  if (p.idle_timer >= p.idle_threshold) {
    p.idle_request = random_int(0, 2) + 1;
    p.idle_timer = 0;
    p.idle_threshold = random_float(5.0f, 25.0f);
  }
}

int32_t character_preview_take_idle(void) {
  int32_t request = g_preview.idle_request;
  g_preview.idle_request = 0;
  return request;
}

const CharacterPreview* character_preview_state(void) { return &g_preview; }

void character_preview_shutdown(void) {
  remove_entity();
  game_world_unlisten(on_world_replaced);
}
