// The 67 commands: their locale words, matching and suggestion, and what each does.
#include "ui/chat_commands.h"

#include <cstdio>
#include <cstring>

#include "assets/locale.h"
#include "base/strings.h"
#include "base/utf8.h"
#include "net/opcodes.h"
#include "net/payloads.h"
#include "platform/quit.h"
#include "settings/settings.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"
#include "ui/chat_text.h"
#include "ui/chat_world.h"

// Refusal, usage and list texts.
enum : uint32_t {
  KEY_HELP = 0x07A79B6E,
  KEY_LIST_HEAD = 0x1DEBA8F2,
  KEY_LIST_TAIL = 0x1D48B0EC,
  KEY_USAGE_25 = 0x607DCAD6,
  KEY_USAGE_27 = 0x2840DEAE,
  KEY_TOO_LONG = 0x7553E44A,
  KEY_NO_TARGET_TARGET = 0x7E3C8A68,
  KEY_SPELL_SLOT = 0x108BC270,
  KEY_LINES_RANGE = 0x0A77CFDA,
  KEY_LINES_USAGE = 0x7054B543,
  KEY_UNKNOWN_ITEM = 0x5EA9CD6D,
  KEY_USE_KIND = 0x64F47DAA,
  KEY_USE_NO_TEXT = 0x54E12803,
  KEY_DROP_NO_TEXT = 0x3F8C4C2F,
  KEY_NO_TARGET_63 = 0x00350876,
  KEY_EAT_KIND = 0x6897033E,
  KEY_EAT_NO_TEXT = 0x5CF2E58F,
  KEY_USAGE_9_5 = 0x4FB0A7DF,
  KEY_EQUIP_NO_TEXT = 0x3370E55A,
  KEY_FOLLOWING = 0x44851F65,
  KEY_FOLLOW_NO_TARGET = 0x10FD9398,
  KEY_NO_TARGET_76 = 0x045BC167,
  KEY_MACRO_LINE = 0x7843B27F,
  KEY_NO_MACROS = 0x1BEE1DC9,
  KEY_MACRO_NUMBER = 0x152911C7,
  KEY_MACRO_USAGE = 0x6F0A6B5E,
  KEY_USAGE_9_7 = 0x10DCB6FC,
  KEY_NEITHER_52 = 0x39FFF4E8,
  KEY_NEITHER_56 = 0x69D546FA,
  KEY_NEITHER_55 = 0x249E3026,
  KEY_USAGE_26 = 0x22D132A7,
  KEY_USAGE_28 = 0x6AEC26DF,
  KEY_USAGE_REPLY = 0x196D5C3B,
  KEY_USAGE_9_3 = 0x051F4BAC,
  KEY_USAGE_9_6 = 0x0139EF95,
  KEY_READ_KIND = 0x2B753E32,
  KEY_READ_NO_TEXT = 0x660A6E74,
  KEY_TARGET_USAGE = 0x1BB021D8,
  KEY_WHISPER_USAGE = 0x09E17CC6,
  KEY_NO_TARGET_71 = 0x1DBAC364,
  KEY_UNEQUIP_NO_TEXT = 0x1D7AB1E6,
  KEY_BAG_USE_NO_TEXT = 0x2DA1130C,
  KEY_USE_ON_NO_TARGET = 0x70D84100,
  KEY_USE_ON_NO_TEXT = 0x21BE1A04,
  KEY_UNKNOWN_COMMAND = 0x7B66F9C6,
  KEY_SUGGESTION = 0x31529F99,
};

typedef void (*ChatCommandFn)(const char* rest, const char* const* args, int32_t count);

struct ChatCommandRow {
  uint32_t key;
  ChatCommandFn run;
};

// --- sending helpers -----------------------------------------------------------------
static const char* or_empty(const char* text) { return text ? text : ""; }

static void send_none(uint16_t opcode) { chat_send(opcode, nullptr); }
static void send_text(uint16_t opcode, const char* text) {
  OutText record = {or_empty(text)};
  chat_send(opcode, &record);
}
static void send_word(uint16_t opcode, uint32_t id) {
  OutWord record = {id};
  chat_send(opcode, &record);
}
static void send_channel(int32_t channel, const char* text) {
  OutIntText record = {channel, or_empty(text)};
  chat_send(OUT_WORLD_CHAT, &record);
}
static void send_texts(uint16_t opcode, const char* a, const char* b) {
  OutTexts record = {or_empty(a), or_empty(b)};
  chat_send(opcode, &record);
}
static void refuse(uint32_t key) { chat_show_key(key, CHAT_STYLE_SYSTEM); }

// Text required: send it as a string; otherwise the usage line.
static void text_or_usage(const char* rest, uint16_t opcode, uint32_t usage) {
  if (rest)
    send_text(opcode, rest);
  else
    refuse(usage);
}
static void channel_or_usage(const char* rest, int32_t channel, uint32_t usage) {
  if (rest)
    send_channel(channel, rest);
  else
    refuse(usage);
}

// "The target": the player named by the text, or without text the current target.
static uint32_t named_or_current_target(const char* rest) {
  ChatWorld* world = chat_world();
  return rest ? world->player_by_name(rest) : world->target_current();
}
static void send_target_or(const char* rest, uint16_t opcode, uint32_t refusal) {
  uint32_t id = named_or_current_target(rest);
  if (id)
    send_word(opcode, id);
  else
    refuse(refusal);
}

static int32_t all_digits(const char* text, int32_t* value) {
  if (!text || !text[0] || strlen(text) > 9) return 0;
  int32_t n = 0;
  for (const char* c = text; *c; c++) {
    if (*c < '0' || *c > '9') return 0;
    n = n * 10 + (*c - '0');
  }
  *value = n;
  return 1;
}

static void limited_channel_text(uint16_t opcode, int32_t value, const char* rest) {
  if (utf8_length(or_empty(rest)) > 50) {
    refuse(KEY_TOO_LONG);
    return;
  }
  OutIntText record = {value, or_empty(rest)};
  chat_send(opcode, &record);
}

// The backpack slot named by the text, or a refusal (-1).
static int32_t bag_slot_named(const char* rest, uint32_t no_text) {
  if (!rest) {
    refuse(no_text);
    return -1;
  }
  int32_t slot = chat_world()->bag_find(rest);
  if (slot < 0) chat_show_key_with(KEY_UNKNOWN_ITEM, rest, rest, CHAT_STYLE_SYSTEM);
  return slot;
}
static void use_of_kind(const char* rest, int32_t kind_a, int32_t kind_b, uint32_t wrong, uint32_t no_text) {
  int32_t slot = bag_slot_named(rest, no_text);
  if (slot < 0) return;
  int32_t kind = chat_world()->bag_kind(slot);
  if (kind == kind_a || kind == kind_b)
    chat_world()->bag_use(slot);
  else
    refuse(wrong);
}

// When the current target is a valid entity and the player may act.
static uint32_t actionable_target(void) {
  ChatWorld* world = chat_world();
  uint32_t id = world->target_current();
  if (!id || !world->entity_valid(id) || !world->player_may_act()) return 0;
  return id;
}

static void named_or_target_name(const char* rest, uint16_t opcode, uint32_t neither) {
  if (rest) {
    send_text(opcode, rest);
    return;
  }
  char name[CHAT_LINE_BYTES + 1];
  uint32_t id = chat_world()->target_current();
  if (id && chat_world()->entity_name(id, name, sizeof name) && name[0])
    send_text(opcode, name);
  else
    refuse(neither);
}

// The rest of line after its first argument, leading white space skipped.
static const char* after_first(const char* rest, const char* first) {
  const char* after = rest + strlen(first);
  while (*after && chat_is_space((uint8_t)*after)) after++;
  return after;
}

static void show_info(const char* text) { chat_add_text(CHAT_LOG_MAIN, text, CHAT_STYLE_INFO); }

// --- the commands --------------------------------------------------------------------
static void cmd_help(const char*, const char* const*, int32_t) { chat_show_key(KEY_HELP, CHAT_STYLE_INFO); }

static void cmd_list(const char*, const char* const*, int32_t) {
  chat_show_key(KEY_LIST_HEAD, CHAT_STYLE_INFO);
  for (int32_t i = 0; i < CHAT_COMMAND_COUNT; i++)
    if (chat_command_word(i)) show_info(chat_command_word(i));
  char tail[CHAT_FORMAT_BYTES];
  snprintf(tail, sizeof tail, "%d%s", (int)CHAT_COMMAND_COUNT, locale_string(KEY_LIST_TAIL));
  show_info(tail);
}

static void cmd_tell_25(const char* rest, const char* const*, int32_t) {
  text_or_usage(rest, 25, KEY_USAGE_25);
}
static void cmd_tell_27(const char* rest, const char* const*, int32_t) {
  text_or_usage(rest, 27, KEY_USAGE_27);
}
static void cmd_40(const char* rest, const char* const*, int32_t) { limited_channel_text(40, 1, rest); }

static void cmd_target_of_target(const char* rest, const char* const*, int32_t) {
  uint32_t id = named_or_current_target(rest);
  if (!id) {
    refuse(KEY_NO_TARGET_TARGET);
    return;
  }
  uint32_t next = chat_world()->target_of(id);
  if (next) chat_world()->target_set(next);
}

static void cmd_leave(const char*, const char* const*, int32_t) { send_none(OUT_WORLD_LEAVE); }

static void cmd_spell(const char*, const char* const* args, int32_t count) {
  int32_t n = 0;
  if (count == 1 && all_digits(args[0], &n) && n >= 1 && n <= 8)
    chat_world()->spell_slot_use(n);
  else
    refuse(KEY_SPELL_SLOT);
}

static void cmd_chat_lines(const char*, const char* const* args, int32_t count) {
  if (count < 1) {
    refuse(KEY_LINES_USAGE);
    return;
  }
  int32_t n = 0;
  if (!all_digits(args[0], &n) || n < 5 || n > 16) {
    refuse(KEY_LINES_RANGE);
    return;
  }
  setting_set_chat_lines(n);
  profile_save();
}

static void cmd_clear(const char*, const char* const*, int32_t) { chat_log_clear(chat_log(CHAT_LOG_MAIN)); }

static void cmd_clear_target(const char*, const char* const*, int32_t) {
  if (chat_world()->target_current()) chat_world()->target_set(0);
}

static void cmd_81(const char* rest, const char* const*, int32_t) { send_text(81, rest); }

static void cmd_consider(const char*, const char* const*, int32_t) {
  uint32_t id = actionable_target();
  if (id) send_word(80, id);
}
static void cmd_82(const char*, const char* const*, int32_t) {
  send_word(82, chat_world()->target_current());
}
static void cmd_41(const char* rest, const char* const*, int32_t) { limited_channel_text(41, 2, rest); }
static void cmd_use(const char* rest, const char* const*, int32_t) {
  use_of_kind(rest, 7, 9, KEY_USE_KIND, KEY_USE_NO_TEXT);
}
static void cmd_drop(const char* rest, const char* const*, int32_t) {
  int32_t slot = bag_slot_named(rest, KEY_DROP_NO_TEXT);
  if (slot >= 0) chat_world()->bag_drop(slot);
}
static void cmd_64(const char*, const char* const*, int32_t) { send_none(64); }
static void cmd_63(const char* rest, const char* const*, int32_t) {
  send_target_or(rest, 63, KEY_NO_TARGET_63);
}
static void cmd_65(const char*, const char* const*, int32_t) { send_none(65); }
static void cmd_eat(const char* rest, const char* const*, int32_t) {
  use_of_kind(rest, 6, 6, KEY_EAT_KIND, KEY_EAT_NO_TEXT);
}
static void cmd_chat_5(const char* rest, const char* const*, int32_t) {
  channel_or_usage(rest, 5, KEY_USAGE_9_5);
}

static void cmd_equip(const char* rest, const char* const* args, int32_t count) {
  if (!rest) {
    refuse(KEY_EQUIP_NO_TEXT);
    return;
  }
  ChatWorld* world = chat_world();
  int32_t slot = -1, n = 0;
  if (count == 1 && all_digits(args[0], &n))
    slot = (n < 30 && world->bag_kind(n) >= 0) ? n : -1;
  else
    slot = world->bag_find(rest);
  if (slot < 0) {
    chat_show_key_with(KEY_UNKNOWN_ITEM, rest, rest, CHAT_STYLE_SYSTEM);
    return;
  }
  int32_t worn = world->bag_equip_slot(slot);
  if (worn < 0) return;
  OutInts4 record = {{slot, worn, 0, 1}};
  chat_send(38, &record);
  world->item_sound(slot, 0);
}

static void cmd_follow(const char* rest, const char* const*, int32_t) {
  ChatWorld* world = chat_world();
  uint32_t id = named_or_current_target(rest);
  if (!id) {
    refuse(KEY_FOLLOW_NO_TARGET);
    return;
  }
  float distance = world->entity_distance(id);
  if (distance < 0 || distance > 12.0f) return;
  world->follow(id);
  chat_show_key(KEY_FOLLOWING, CHAT_STYLE_INFO);
}

static void cmd_hail(const char*, const char* const*, int32_t) {
  uint32_t id = actionable_target();
  if (id) send_word(70, id);
}
static void cmd_76(const char* rest, const char* const*, int32_t) {
  send_target_or(rest, 76, KEY_NO_TARGET_76);
}
static void cmd_42(const char*, const char* const*, int32_t) { send_none(42); }

static void cmd_loot(const char*, const char* const*, int32_t) {
  uint32_t id = actionable_target();
  if (id && chat_world()->entity_lootable(id)) send_word(29, id);
}

static void cmd_macros(const char*, const char* const*, int32_t) {
  int32_t shown = 0;
  for (int32_t n = 1; n <= 12; n++) {
    char name[16], number[16];
    snprintf(name, sizeof name, "MACRO_%d", (int)n);
    const char* text = macro_text(name);
    if (!text || !text[0]) continue;
    snprintf(number, sizeof number, "%d", (int)n);
    chat_show_key_with(KEY_MACRO_LINE, number, text, CHAT_STYLE_INFO);
    shown++;
  }
  if (!shown) chat_show_key(KEY_NO_MACROS, CHAT_STYLE_INFO);
}

static void cmd_macro_set(const char* rest, const char* const* args, int32_t count) {
  if (count < 2) {
    refuse(KEY_MACRO_USAGE);
    return;
  }
  int32_t n = 0;
  if (!all_digits(args[0], &n) || n < 1 || n > 12) {
    refuse(KEY_MACRO_NUMBER);
    return;
  }
  char name[16];
  snprintf(name, sizeof name, "MACRO_%d", (int)n);
  set_macro_text(name, after_first(rest, args[0]));
  profile_save();
}

static void cmd_44(const char*, const char* const*, int32_t) { send_none(44); }
static void cmd_57(const char*, const char* const*, int32_t) { send_none(57); }
static void cmd_chat_7(const char* rest, const char* const*, int32_t) {
  channel_or_usage(rest, 7, KEY_USAGE_9_7);
}
static void cmd_58(const char*, const char* const*, int32_t) { send_none(58); }
static void cmd_53(const char*, const char* const*, int32_t) { send_none(53); }
static void cmd_52(const char* rest, const char* const*, int32_t) {
  named_or_target_name(rest, 52, KEY_NEITHER_52);
}
static void cmd_56(const char* rest, const char* const*, int32_t) {
  named_or_target_name(rest, 56, KEY_NEITHER_56);
}
static void cmd_55(const char* rest, const char* const*, int32_t) {
  named_or_target_name(rest, 55, KEY_NEITHER_55);
}
static void cmd_54(const char*, const char* const*, int32_t) { send_none(54); }
static void cmd_46(const char*, const char* const*, int32_t) { send_none(46); }
static void cmd_quit(const char*, const char* const*, int32_t) { request_quit(); }

static void cmd_43(const char*, const char* const* args, int32_t count) {
  if (count >= 2)
    send_texts(43, args[0], args[1]);
  else if (count == 1)
    send_texts(43, "", args[0]);
  else
    send_texts(43, "", "");
}

static void cmd_tell_26(const char* rest, const char* const*, int32_t) {
  text_or_usage(rest, 26, KEY_USAGE_26);
}
static void cmd_tell_28(const char* rest, const char* const*, int32_t) {
  text_or_usage(rest, 28, KEY_USAGE_28);
}

static void cmd_reply(const char* rest, const char* const*, int32_t) {
  if (!rest) {
    refuse(KEY_USAGE_REPLY);
    return;
  }
  const char* name = chat_reply_target();
  if (name[0]) send_texts(8, name, rest);
}

static void cmd_chat_3(const char* rest, const char* const*, int32_t) {
  channel_or_usage(rest, 3, KEY_USAGE_9_3);
}
static void cmd_chat_6(const char* rest, const char* const*, int32_t) {
  channel_or_usage(rest, 6, KEY_USAGE_9_6);
}
static void cmd_read(const char* rest, const char* const*, int32_t) {
  use_of_kind(rest, 10, 10, KEY_READ_KIND, KEY_READ_NO_TEXT);
}
static void cmd_49(const char*, const char* const*, int32_t) { send_none(49); }
static void cmd_50(const char*, const char* const*, int32_t) { send_none(50); }

static void cmd_attack(const char*, const char* const*, int32_t) {
  ChatWorld* world = chat_world();
  uint32_t id = actionable_target();
  if (!id || world->player_attacking()) return;
  send_word(OUT_WORLD_ATTACK, id);
  world->player_set_attacking(1);
}
static void cmd_stop_attack(const char*, const char* const*, int32_t) {
  ChatWorld* world = chat_world();
  if (!world->player_attacking()) return;
  send_none(OUT_WORLD_STOP_ATTACK);
  world->player_set_attacking(0);
}
static void cmd_cancel(const char*, const char* const*, int32_t) {
  if (chat_world()->ability_cancel()) send_none(36);
}

static void cmd_target(const char* rest, const char* const*, int32_t) {
  if (!rest) {
    refuse(KEY_TARGET_USAGE);
    return;
  }
  ChatWorld* world = chat_world();
  uint32_t id = world->player_by_name(rest);
  if (!id) id = world->entity_by_name(rest);
  if (id) world->target_set(id);
}
static void set_if(uint32_t id) {
  if (id) chat_world()->target_set(id);
}
static void cmd_target_next(const char*, const char* const*, int32_t) { set_if(chat_world()->target_next()); }
static void cmd_target_search(const char*, const char* const*, int32_t) {
  set_if(chat_world()->target_search());
}
static void cmd_target_nearest(const char*, const char* const*, int32_t) {
  set_if(chat_world()->target_nearest());
}

static void cmd_whisper(const char* rest, const char* const* args, int32_t count) {
  if (count < 2) {
    refuse(KEY_WHISPER_USAGE);
    return;
  }
  send_texts(8, args[0], after_first(rest, args[0]));
}

static void cmd_45(const char*, const char* const*, int32_t) { send_none(45); }
static void cmd_48(const char*, const char* const*, int32_t) { send_none(48); }
static void cmd_71(const char* rest, const char* const*, int32_t) {
  send_target_or(rest, 71, KEY_NO_TARGET_71);
}

static void cmd_unequip(const char* rest, const char* const* args, int32_t count) {
  if (!rest) {
    refuse(KEY_UNEQUIP_NO_TEXT);
    return;
  }
  ChatWorld* world = chat_world();
  int32_t slot = -1, n = 0;
  if (count == 1 && all_digits(args[0], &n))
    slot = (n <= 9 && world->worn_filled(n)) ? n : -1;
  else
    slot = world->worn_find(rest);
  if (slot < 0) {
    chat_show_key_with(KEY_UNKNOWN_ITEM, rest, rest, CHAT_STYLE_SYSTEM);
    return;
  }
  OutInt record = {slot};
  chat_send(39, &record);
  world->item_sound(slot, 1);
}

static void cmd_47(const char*, const char* const*, int32_t) { send_none(47); }
static void cmd_bag_use(const char* rest, const char* const*, int32_t) {
  int32_t slot = bag_slot_named(rest, KEY_BAG_USE_NO_TEXT);
  if (slot >= 0) chat_world()->bag_use(slot);
}
static void cmd_use_on(const char* rest, const char* const*, int32_t) {
  int32_t slot = bag_slot_named(rest, KEY_USE_ON_NO_TEXT);
  if (slot < 0) return;
  uint32_t target = chat_world()->target_current();
  if (!target) {
    refuse(KEY_USE_ON_NO_TARGET);
    return;
  }
  chat_world()->bag_use_on(slot, target);
}
static void flag_text(int32_t flag, const char* rest) {
  OutFlagText record = {flag, or_empty(rest)};
  chat_send(51, &record);
}
static void cmd_51_off(const char* rest, const char* const*, int32_t) { flag_text(0, rest); }
static void cmd_51_on(const char* rest, const char* const*, int32_t) { flag_text(1, rest); }

static const ChatCommandRow kCommands[CHAT_COMMAND_COUNT] = {
    {0x45350776, cmd_help},
    {0x36B52DF7, cmd_list},
    {0x58B923D4, cmd_tell_25},
    {0x108437AC, cmd_tell_27},
    {0x3A6E1D9F, cmd_40},
    {0x46F8636A, cmd_target_of_target},
    {0x507BD9D6, cmd_leave},
    {0x03572210, cmd_spell},
    {0x3B647C3D, cmd_chat_lines},
    {0x276E89BB, cmd_clear},
    {0x62907EED, cmd_clear_target},
    {0x780F9BC2, cmd_81},
    {0x65B88BA6, cmd_consider},
    {0x0CAEC862, cmd_82},
    {0x64C348ED, cmd_41},
    {0x02809886, cmd_use},
    {0x11FE602B, cmd_drop},
    {0x279573D0, cmd_64},
    {0x432E0B45, cmd_63},
    {0x19530485, cmd_65},
    {0x7F2E2E71, cmd_eat},
    {0x539B617D, cmd_chat_5},
    {0x3281F839, cmd_equip},
    {0x51CFBFDF, cmd_follow},
    {0x07133973, cmd_hail},
    {0x76C10FC3, cmd_76},
    {0x3B00C2E7, cmd_42},
    {0x47D9BCFE, cmd_loot},
    {0x1B54389F, cmd_macros},
    {0x723DEA03, cmd_macro_set},
    {0x4BE40065, cmd_44},
    {0x6610CA2D, cmd_57},
    {0x28185FFE, cmd_chat_7},
    {0x287FD675, cmd_58},
    {0x197D891D, cmd_53},
    {0x2E8E7806, cmd_52},
    {0x014D5676, cmd_56},
    {0x785AD216, cmd_55},
    {0x2F015DBB, cmd_54},
    {0x2EDC4D1A, cmd_46},
    {0x083A8980, cmd_quit},
    {0x7C68972F, cmd_43},
    {0x1A15DBA5, cmd_tell_26},
    {0x5228CFDD, cmd_tell_28},
    {0x05469A99, cmd_reply},
    {0x19348D0E, cmd_chat_3},
    {0x1D122937, cmd_chat_6},
    {0x4D01DB1E, cmd_read},
    {0x2F5C7BBB, cmd_49},
    {0x4D8707C3, cmd_50},
    {0x41539A28, cmd_attack},
    {0x7F575DD3, cmd_stop_attack},
    {0x11593CFF, cmd_cancel},
    {0x079BE77A, cmd_target},
    {0x5BEA83C6, cmd_target_next},
    {0x64C68C4A, cmd_target_search},
    {0x113D9CA8, cmd_target_nearest},
    {0x15CABA64, cmd_whisper},
    {0x0E7FFD4C, cmd_45},
    {0x187D2E08, cmd_48},
    {0x1E92B6C0, cmd_71},
    {0x3473DAFB, cmd_unequip},
    {0x7AF4046D, cmd_47},
    {0x714CDD20, cmd_bag_use},
    {0x051B1675, cmd_use_on},
    {0x3B2B2BCA, cmd_51_off},
    {0x28539E0E, cmd_51_on},
};

// The words as the locale gives them (null when missing), kept as code points for matching.
static const char* g_words[CHAT_COMMAND_COUNT];
static uint32_t g_word_points[CHAT_COMMAND_COUNT][CHAT_LINE_BYTES];
static uint32_t g_word_lengths[CHAT_COMMAND_COUNT];

void chat_commands_load(void) {
  for (int32_t i = 0; i < CHAT_COMMAND_COUNT; i++) {
    const char* word = locale_string(kCommands[i].key);
    g_words[i] = word[0] ? word : nullptr;
    g_word_lengths[i] = 0;
    const char* cursor = word;
    while (*cursor && g_word_lengths[i] < CHAT_LINE_BYTES)
      g_word_points[i][g_word_lengths[i]++] = utf8_decode_lenient(&cursor);
  }
}

uint32_t chat_command_key(int32_t row) {
  return row >= 0 && row < CHAT_COMMAND_COUNT ? kCommands[row].key : 0;
}
const char* chat_command_word(int32_t row) {
  return row >= 0 && row < CHAT_COMMAND_COUNT ? g_words[row] : nullptr;
}

int32_t chat_command_match(const uint32_t* code_points, uint32_t count, uint32_t* matched) {
  int32_t best = -1;
  uint32_t best_length = 0;
  for (int32_t i = 0; i < CHAT_COMMAND_COUNT; i++) {
    uint32_t length = g_word_lengths[i];
    if (!g_words[i] || length > count || length <= best_length) continue;
    if (memcmp(code_points, g_word_points[i], length * sizeof(uint32_t)) == 0) {
      best = i;
      best_length = length;
    }
  }
  if (matched) *matched = best_length;
  return best;
}

int32_t chat_command_suggest(const char* typed) {
  if (!typed || !typed[0]) return -1;
  int32_t best = -1, best_distance = 0;
  for (int32_t i = 0; i < CHAT_COMMAND_COUNT; i++) {
    if (!g_words[i]) continue;
    int32_t distance = chat_edit_distance(typed, g_words[i]);
    if (best < 0 || distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  int32_t length = (int32_t)strnlen(typed, CHAT_LINE_BYTES);
  int32_t limit = length / 3 > 2 ? length / 3 : 2;
  return best >= 0 && best_distance <= limit ? best : -1;
}

void chat_command_run(int32_t row, const char* rest, const char* const* args, int32_t count) {
  if (row >= 0 && row < CHAT_COMMAND_COUNT) kCommands[row].run(rest, args, count);
}

void chat_command_unknown(const char* typed) {
  refuse(KEY_UNKNOWN_COMMAND);
  int32_t row = chat_command_suggest(typed);
  if (row >= 0) chat_show_key_with(KEY_SUGGESTION, nullptr, g_words[row], CHAT_STYLE_SYSTEM);
}
