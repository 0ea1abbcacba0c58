#include "support/chat_fixture.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "assets/locale.h"
#include "ui/chat.h"

static const char* const kWords[CHAT_COMMAND_COUNT] = {
    "help",    "commands",    "shout",   "party",    "title",   "assist",   "camp",  "cast",    "chatlines",
    "clear",   "cleartarget", "bug",     "consider", "inspect", "lastname", "drink", "drop",    "accept",
    "invite",  "decline",     "eat",     "ooc",      "equip",   "follow",   "hail",  "duel",    "disband",
    "loot",    "macros",      "macro",   "afk",      "anon",    "yell",     "roll",  "who",     "friend",
    "ignore",  "unfriend",    "friends", "time",     "quit",    "rank",     "guild", "officer", "reply",
    "say",     "emote",       "read",    "sit",      "stand",   "attack",   "peace", "cancel",  "target",
    "next",    "search",      "nearest", "whisper",  "played",  "stats",    "trade", "unequip", "loc",
    "useitem", "useon",       "unlist",  "list",
};

void chat_fixture_load_locale(void) {
  std::map<uint32_t, std::string> texts;
  for (int32_t row = 0; row < CHAT_COMMAND_COUNT; row++) texts[chat_command_key(row)] = kWords[row];
  uint32_t count = 0;
  const uint32_t* keys = chat_locale_keys(&count);
  for (uint32_t i = 0; i < count; i++) texts[keys[i]] = "{name} said {text} ({name}, {text})";
  texts[0x43D8E527u] = "{name}";
  texts[0x502F7DD8u] = "{text}";
  std::vector<uint8_t> blob;
  auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; i++) blob.push_back((uint8_t)(v >> (8 * i)));
  };
  put(LOCALE_VERSION);
  put(0);
  put((uint32_t)texts.size());
  std::string strings;
  uint32_t index = 0;
  for (const auto& [key, text] : texts) {
    put(key);
    put(LOCALE_TEXT);
    put(index++);
    strings += text;
    strings += '\0';
  }
  blob.insert(blob.end(), strings.begin(), strings.end());
  locale_load_blob(blob.data(), blob.size(), 1);
  chat_commands_load();
}
