#include "ui/chat_world.h"

#include "audio/game_sound.h"
#include "game/game_world.h"

// The defaults: no target, no item, nothing to do.
static uint32_t no_id(void) { return 0; }
static void set_nothing(uint32_t) {}
static uint32_t no_id_named(const char*) { return 0; }
static int32_t no_name(uint32_t, char* out, uint32_t size) {
  if (out && size) out[0] = 0;
  return 0;
}
static uint32_t no_id_of(uint32_t) { return 0; }
static int32_t not_valid(uint32_t) { return 0; }
static float no_distance(uint32_t) { return -1.0f; }
// The player may act while the local player exists; finer conditions come with combat.
static int32_t may_act(void) { return local_player_id() != 0; }
static int32_t not_attacking(void) { return 0; }
static void set_flag_nothing(int32_t) {}
static void use_nothing(int32_t) {}
static int32_t nothing_cancelled(void) { return 0; }
static int32_t no_slot(const char*) { return -1; }
static int32_t no_kind(int32_t) { return -1; }
static int32_t not_filled(int32_t) { return 0; }
static void use_on_nothing(int32_t, uint32_t) {}
static void no_sound(int32_t, int32_t) {}
static void no_bubble(uint32_t, const char*, UiColour) {}
static void no_announce(const NetEvent*) {}
static void no_group(void) {}
static void no_window(uint32_t) {}

static const ChatWorld kDefaults = {
    .target_current = no_id,
    .target_set = set_nothing,
    .player_by_name = no_id_named,
    .entity_by_name = no_id_named,
    .entity_name = no_name,
    .target_of = no_id_of,
    .entity_valid = not_valid,
    .entity_lootable = not_valid,
    .entity_distance = no_distance,
    .player_may_act = may_act,
    .player_attacking = not_attacking,
    .player_set_attacking = set_flag_nothing,
    .target_next = no_id,
    .target_search = no_id,
    .target_nearest = no_id,
    .follow = set_nothing,
    .spell_slot_use = use_nothing,
    .ability_cancel = nothing_cancelled,
    .bag_find = no_slot,
    .bag_kind = no_kind,
    .bag_equip_slot = no_kind,
    .bag_use = use_nothing,
    .bag_drop = use_nothing,
    .bag_use_on = use_on_nothing,
    .worn_find = no_slot,
    .worn_filled = not_filled,
    .item_sound = no_sound,
    .speech_bubble = no_bubble,
    .announce = no_announce,
    .group_clear = no_group,
    .item_info_open = no_window,
    .ui_sound = play_ui_sound,
};

static ChatWorld g_world = kDefaults;

ChatWorld* chat_world(void) { return &g_world; }
void chat_world_reset(void) { g_world = kDefaults; }
