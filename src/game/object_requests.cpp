#include "game/object_requests.h"

#include <cstring>

#include "game/player_camera.h"

static ObjectRequest g_requests[OBJECT_REQUEST_KEEP];
static uint32_t g_kept, g_total;
static EnterGameHook g_enter_game;

static void record(int32_t kind, uint32_t server_id, int32_t a, int32_t b) {
  if (g_kept == OBJECT_REQUEST_KEEP) {
    memmove(g_requests, g_requests + 1, sizeof(ObjectRequest) * (OBJECT_REQUEST_KEEP - 1));
    g_kept--;
  }
  g_requests[g_kept++] = {kind, server_id, a, b};
  g_total++;
}

void object_request_animation(uint32_t server_id, int32_t animation) {
  record(REQUEST_ANIMATION, server_id, animation, 0);
}
void object_request_idle_variant(uint32_t server_id) { record(REQUEST_IDLE_VARIANT, server_id, 0, 0); }
void object_request_airborne(uint32_t server_id, int32_t mode) {
  record(REQUEST_AIRBORNE, server_id, mode, 0);
}
void effect_begin(uint32_t server_id, int32_t ability, float, float) {
  record(REQUEST_EFFECT_BEGIN, server_id, ability, 0);
}
void effect_mark_ending(uint32_t server_id, int32_t ability) {
  record(REQUEST_EFFECT_ENDING, server_id, ability, 0);
}
void effect_finish(uint32_t server_id, uint32_t target_id, int32_t ability) {
  record(REQUEST_EFFECT_FINISH, server_id, ability, (int32_t)target_id);
}
void object_react_attack(uint32_t server_id, uint32_t other_id) {
  record(REQUEST_ATTACK, server_id, 0, (int32_t)other_id);
}
void object_react_hit(uint32_t server_id, uint32_t other_id) {
  record(REQUEST_HIT, server_id, 0, (int32_t)other_id);
}
int32_t ability_display_may_start(int32_t, float, float) { return 0; }
void ability_display_value(uint32_t value) { record(REQUEST_ABILITY_VALUE, 0, (int32_t)value, 0); }
void camera_attach(uint32_t handle) {
  record(REQUEST_CAMERA_ATTACH, 0, (int32_t)handle, 0);
  camera_follow(handle);
}
void defcache_want_item(int32_t id) { record(REQUEST_ITEM_DEFINITION, 0, id, 0); }
void defcache_want_ability(int32_t id) { record(REQUEST_ABILITY_DEFINITION, 0, id, 0); }

void game_objects_set_enter_game_hook(EnterGameHook hook) { g_enter_game = hook; }
void game_objects_enter_game(void) {
  record(REQUEST_ENTER_GAME, 0, 0, 0);
  if (g_enter_game) g_enter_game();
}

const ObjectRequest* object_requests(uint32_t* kept) {
  if (kept) *kept = g_kept;
  return g_requests;
}
uint32_t object_request_total(void) { return g_total; }
void object_requests_clear(void) {
  g_kept = 0;
  g_total = 0;
}
