// Incoming chat messages, the notices and group lines shown in the chat, links in chat lines,
// and the chat's start and end.
#include <cstring>

#include "assets/locale.h"
#include "assets/locale_keys.h"
#include "base/strings.h"
#include "game/game_world.h"
#include "net/payloads.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"
#include "ui/chat_text.h"
#include "ui/chat_world.h"

enum : uint32_t {
  KEY_SAY_OWN = 0x4492B69E,
  KEY_SAY_OTHER = 0x7FFEF040,
  KEY_WHISPER_OWN = 0x17F0B8B2,
  KEY_WHISPER_OTHER = 0x76202B27,
  KEY_TYPE_5 = 0x35511C33,
  KEY_TYPE_6_OWN = 0x40B412A7,
  KEY_TYPE_6_OTHER = 0x7BD85479,
  KEY_TYPE_7_OWN = 0x58B620B0,
  KEY_TYPE_7_OTHER = 0x3966B325,
  KEY_SOUND_WHISPER = 0x06E863AD,
};

static char g_reply[CHAT_REPLY_BYTES + 1];
static float g_whisper_timer;

struct HoveredLink {
  int32_t log, age;
  uint32_t link;
  uint64_t frame;
  int32_t set;
};
static HoveredLink g_hover;

void chat_startup(void) {
  chat_commands_load();
  chat_input_startup();
  for (int32_t i = 0; i < CHAT_LOG_COUNT; i++) chat_log_clear(chat_log(i));
  g_reply[0] = 0;
  g_whisper_timer = 0;
  g_hover = HoveredLink{};
}

void chat_shutdown(void) {
  chat_input_shutdown();
  for (int32_t i = 0; i < CHAT_LOG_COUNT; i++) chat_log_clear(chat_log(i));
  g_reply[0] = 0;
  g_whisper_timer = 0;
}

void chat_tick(float dt) {
  if (g_whisper_timer > 0) g_whisper_timer -= dt;
}

const char* chat_reply_target(void) { return g_reply; }
float chat_whisper_timer(void) { return g_whisper_timer; }

static void line(uint32_t key, const char* name, const char* text, int32_t style) {
  chat_show_key_with(key, name, text, style);
}

static void bubble(uint32_t id, const char* text, int32_t style) {
  chat_world()->speech_bubble(id, text, chat_style_colour(style));
}

void chat_message_received(uint32_t sender_id, const char* sender, int32_t type, const char* text) {
  if (!sender) sender = "";
  if (!text) text = "";
  uint32_t local = local_player_id();
  int32_t own = local != 0 && sender_id == local;
  switch (type) {
    case 0:
    case 2:
      chat_add_text(CHAT_LOG_MAIN, text, CHAT_STYLE_INFO);
      break;
    case 1:
      chat_add_text(CHAT_LOG_MAIN, text, CHAT_STYLE_SYSTEM);
      break;
    case 3:
      if (own)
        line(KEY_SAY_OWN, sender, text, CHAT_STYLE_SAY);
      else
        line(KEY_SAY_OTHER, sender, text, CHAT_STYLE_SAY);
      bubble(sender_id, text, CHAT_STYLE_SAY);
      break;
    case 4:
      line(own ? KEY_WHISPER_OWN : KEY_WHISPER_OTHER, sender, text, CHAT_STYLE_WHISPER);
      if (!own) {
        if (g_whisper_timer <= 0) chat_world()->ui_sound(KEY_SOUND_WHISPER);
        g_whisper_timer = CHAT_WHISPER_QUIET;
        if (strlen(sender) <= CHAT_REPLY_BYTES) memcpy(g_reply, sender, strlen(sender) + 1);
      }
      break;
    case 5:
      line(KEY_TYPE_5, sender, text, CHAT_STYLE_NOTICE);
      break;
    case 6:
      line(own ? KEY_TYPE_6_OWN : KEY_TYPE_6_OTHER, sender, text, CHAT_STYLE_SYSTEM);
      bubble(sender_id, text, CHAT_STYLE_SYSTEM);
      break;
    case 7:
      line(own ? KEY_TYPE_7_OWN : KEY_TYPE_7_OTHER, sender, text, CHAT_STYLE_CYAN);
      break;
    case 8:
      chat_add_text_ref(CHAT_LOG_MAIN, text, CHAT_STYLE_SAY, sender_id);
      break;
    default:
      chat_add_text(CHAT_LOG_MAIN, text, CHAT_STYLE_SAY);
      break;
  }
}

// --- effects -------------------------------------------------------------------------
static void on_chat(const NetEvent*, const MsgChat* chat) {
  chat_message_received(chat->value, chat->sender, chat->kind, chat->text);
}

static void on_notice(const NetEvent* event, const MsgEmpty*) {
  if (event->form == NOTICE_CHAT || event->form == NOTICE_CHAT_NAMED)
    chat_show_key_with(event->key, nullptr, nullptr, CHAT_STYLE_SYSTEM);
  else
    chat_world()->announce(event);
}

static void on_group_invite(const NetEvent* event, const MsgText* record) {
  chat_show_key_with(event->key, record ? record->text : nullptr, nullptr, CHAT_STYLE_SYSTEM);
}
static void on_group_line(const NetEvent* event, const MsgEmpty*) {
  chat_show_key(event->key, CHAT_STYLE_SYSTEM);
}
static void on_group_clear(const NetEvent* event, const MsgEmpty*) {
  chat_show_key(event->key, CHAT_STYLE_SYSTEM);
  chat_world()->group_clear();
}

void chat_install_effects(NetEffects* effects) {
  if (!effects) return;
  effects->chat = on_chat;
  effects->notice = on_notice;
  effects->group_invite = on_group_invite;
  effects->group_line = on_group_line;
  effects->group_clear = on_group_clear;
}

void chat_remove_effects(NetEffects* effects) {
  if (!effects) return;
  if (effects->chat == on_chat) effects->chat = nullptr;
  if (effects->notice == on_notice) effects->notice = nullptr;
  if (effects->group_invite == on_group_invite) effects->group_invite = nullptr;
  if (effects->group_line == on_group_line) effects->group_line = nullptr;
  if (effects->group_clear == on_group_clear) effects->group_clear = nullptr;
}

// --- links ---------------------------------------------------------------------------
UiColour chat_link_colour(int32_t hovered, uint32_t entity) {
  if (hovered) return UiColour{1, 1, 1, 1};
  return entity ? UiColour{0, 1, 0, 1} : UiColour{0, 1, 1, 1};
}

void chat_link_hover(int32_t log, int32_t age, uint32_t link, uint64_t frame) {
  if (!link) return;
  g_hover = HoveredLink{log, age, link, frame, 1};
}

int32_t chat_link_hovered(int32_t log, int32_t age, uint32_t link, uint64_t frame) {
  return g_hover.set && g_hover.log == log && g_hover.age == age && g_hover.link == link &&
         (g_hover.frame == frame || g_hover.frame + 1 == frame);
}

void chat_link_click(int32_t log, int32_t age, uint32_t link) {
  const ChatLine* clicked = chat_log_line(chat_log(log), age);
  if (!clicked || !link) return;
  if (clicked->entity) {
    if (object_by_id(clicked->entity) && chat_world()->player_may_act()) {
      OutWords2 record = {clicked->entity, link};
      chat_send(83, &record);
    }
    return;
  }
  chat_world()->item_info_open(link);
}
