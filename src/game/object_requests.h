#pragma once
// What game objects ask of the modules that animate and decorate them: animations, visual
// effects, combat reactions, the ability display, the camera, the front end and the
// definition caches. Each is a named function here; until its module exists it only records
// the request (the last OBJECT_REQUEST_KEEP of them, with a running total), which the tests and
// the headless harness read. The switch of the front end to the game is a hook the interface
// layer installs, since the game may not call it directly. Main thread only.
#include <cstdint>

enum ObjectRequestKind : int32_t {
  REQUEST_ANIMATION = 1,       // a: animation id
  REQUEST_IDLE_VARIANT,        //
  REQUEST_AIRBORNE,            // a: mode (-1 cleared, 0 ground, 1 jumping, 2 falling)
  REQUEST_EFFECT_BEGIN,        // a: ability
  REQUEST_EFFECT_ENDING,       // a: ability
  REQUEST_EFFECT_FINISH,       // a: ability, b: target id
  REQUEST_ATTACK,              // b: other id
  REQUEST_HIT,                 // b: other id
  REQUEST_ABILITY_VALUE,       // a: value
  REQUEST_CAMERA_ATTACH,       // a: entity handle
  REQUEST_ENTER_GAME,          //
  REQUEST_ITEM_DEFINITION,     // a: item id
  REQUEST_ABILITY_DEFINITION,  // a: ability id
};

struct ObjectRequest {
  int32_t kind;
  uint32_t server_id;  // the entity it concerns, 0 when none
  int32_t a, b;
};

constexpr uint32_t OBJECT_REQUEST_KEEP = 64;

void object_request_animation(uint32_t server_id, int32_t animation);
void object_request_idle_variant(uint32_t server_id);
void object_request_airborne(uint32_t server_id, int32_t mode);
// Visual effects of abilities on an entity.
void effect_begin(uint32_t server_id, int32_t ability, float duration, float elapsed);
void effect_mark_ending(uint32_t server_id, int32_t ability);
void effect_finish(uint32_t server_id, uint32_t target_id, int32_t ability);
// Combat reactions of the source and the target of a combat event.
void object_react_attack(uint32_t server_id, uint32_t other_id);
void object_react_hit(uint32_t server_id, uint32_t other_id);
// The ability display: 0 lets an effect start, otherwise the refusal code.
int32_t ability_display_may_start(int32_t ability, float duration, float elapsed);
void ability_display_value(uint32_t value);
// The camera starts following the local player's entity (player_camera.h).
void camera_attach(uint32_t handle);
// The definition caches: ask the server for a definition the client does not have.
void defcache_want_item(int32_t id);
void defcache_want_ability(int32_t id);

// The front end's switch to the game, installed by the interface layer (null: none).
typedef void (*EnterGameHook)(void);
void game_objects_set_enter_game_hook(EnterGameHook hook);
void game_objects_enter_game(void);

// The kept requests, oldest first, and how many were made since the last clear.
const ObjectRequest* object_requests(uint32_t* kept);
uint32_t object_request_total(void);
void object_requests_clear(void);
